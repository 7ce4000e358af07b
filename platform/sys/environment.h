#pragma once
// The process environment as the system sees it: a thread-safe map of
// variables whose names compare without regard to case (as on the original
// platform) and may contain blanks ("PROGRAM FILES"). It starts as a copy of
// the real environment; changes go to the map (and so to programs started
// by process.h), not to the C library's environ.
#include <map>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/strings.h"

namespace plat {

class Environment {
  public:
    // An empty map; `from_process` copies the real environment.
    Environment() = default;
    static Environment from_process();

    // The one map of this process, made from the real environment on first use.
    static Environment& process();

    std::optional<std::string> get(std::string_view name) const;
    // get() with an empty text for a missing variable.
    std::string value(std::string_view name) const;
    bool contains(std::string_view name) const;
    // An empty name or one holding "=" or NUL is refused (false).
    bool set(std::string_view name, std::string_view value);
    void unset(std::string_view name);

    // Replaces every "%NAME%" with the variable's value. An unknown name is
    // left as it stands, and its closing "%" may open the next reference
    // ("100% of %WINDIR%" expands WINDIR); "%%" and a lone "%" stay. The
    // expansion is one pass: values are not expanded again.
    std::string expand(std::string_view text) const;

    // "NAME=value" texts for a child process, in name order.
    std::vector<std::string> to_envp() const;
    std::vector<std::pair<std::string, std::string>> entries() const;

    Environment(const Environment& other);
    Environment& operator=(const Environment& other);

  private:
    struct Less {
        bool operator()(const std::string& a, const std::string& b) const { return icompare(a, b) < 0; }
    };
    mutable std::shared_mutex m_mutex;
    std::map<std::string, std::string, Less> m_vars;
};

// Shorthands on Environment::process().
std::string expand_environment(std::string_view text);
std::optional<std::string> get_environment(std::string_view name);
bool set_environment(std::string_view name, std::string_view value);

} // namespace plat
