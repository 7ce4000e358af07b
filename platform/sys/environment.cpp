#include "platform/sys/environment.h"

extern char** environ;

namespace plat {

Environment::Environment(const Environment& other) {
    std::shared_lock lock(other.m_mutex);
    m_vars = other.m_vars;
}

Environment& Environment::operator=(const Environment& other) {
    if (this != &other) {
        auto copy = other.entries();
        std::unique_lock lock(m_mutex);
        m_vars.clear();
        for (auto& [k, v] : copy)
            m_vars.emplace(std::move(k), std::move(v));
    }
    return *this;
}

Environment Environment::from_process() {
    Environment env;
    for (char** e = environ; e && *e; ++e) {
        std::string_view entry(*e);
        size_t eq = entry.find('=');
        if (eq == std::string_view::npos || eq == 0) continue;
        env.m_vars.insert_or_assign(std::string(entry.substr(0, eq)), std::string(entry.substr(eq + 1)));
    }
    return env;
}

Environment& Environment::process() {
    static Environment env = from_process();
    return env;
}

std::optional<std::string> Environment::get(std::string_view name) const {
    std::shared_lock lock(m_mutex);
    auto it = m_vars.find(std::string(name));
    if (it == m_vars.end()) return std::nullopt;
    return it->second;
}

std::string Environment::value(std::string_view name) const {
    return get(name).value_or("");
}

bool Environment::contains(std::string_view name) const {
    return get(name).has_value();
}

bool Environment::set(std::string_view name, std::string_view value) {
    if (name.empty() || name.find('=') != std::string_view::npos ||
        name.find('\0') != std::string_view::npos || value.find('\0') != std::string_view::npos)
        return false;
    std::unique_lock lock(m_mutex);
    // A name that differs only in case replaces the old entry, and the new
    // spelling is kept.
    m_vars.erase(std::string(name));
    m_vars.emplace(std::string(name), std::string(value));
    return true;
}

void Environment::unset(std::string_view name) {
    std::unique_lock lock(m_mutex);
    m_vars.erase(std::string(name));
}

std::string Environment::expand(std::string_view text) const {
    std::shared_lock lock(m_mutex);
    std::string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        size_t open = text.find('%', pos);
        if (open == std::string_view::npos) {
            out.append(text.substr(pos));
            break;
        }
        out.append(text.substr(pos, open - pos));
        size_t close = text.find('%', open + 1);
        if (close == std::string_view::npos) {
            out.append(text.substr(open));
            break;
        }
        std::string name(text.substr(open + 1, close - open - 1));
        auto it = name.empty() ? m_vars.end() : m_vars.find(name);
        if (it != m_vars.end()) {
            out.append(it->second);
            pos = close + 1;
        } else if (name.empty()) {
            out.append("%%");
            pos = close + 1;
        } else {
            // Not a variable: keep the text and let the closing "%" start
            // the next reference.
            out.push_back('%');
            out.append(name);
            pos = close;
        }
    }
    return out;
}

std::vector<std::pair<std::string, std::string>> Environment::entries() const {
    std::shared_lock lock(m_mutex);
    return {m_vars.begin(), m_vars.end()};
}

std::vector<std::string> Environment::to_envp() const {
    std::shared_lock lock(m_mutex);
    std::vector<std::string> out;
    out.reserve(m_vars.size());
    for (const auto& [k, v] : m_vars)
        out.push_back(k + "=" + v);
    return out;
}

std::string expand_environment(std::string_view text) {
    return Environment::process().expand(text);
}

std::optional<std::string> get_environment(std::string_view name) {
    return Environment::process().get(name);
}

bool set_environment(std::string_view name, std::string_view value) {
    return Environment::process().set(name, value);
}

} // namespace plat
