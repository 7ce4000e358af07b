#pragma once
// Starting programs. A program gets its arguments as a vector, exactly as
// given: nothing goes through a shell, so blanks, quotes and "%" in an
// argument reach the program unchanged.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/types.h"
#include "platform/sys/environment.h"
#include "platform/sys/sync.h"

namespace plat {

struct StartOptions {
    std::string working_folder;              // empty: the current one
    const Environment* environment{nullptr}; // null: Environment::process()
};

enum class WaitOutcome { Exited, Timeout, Cancelled, Failed };

// A started child process. Dropping the object does not stop the program:
// a program nobody waits for keeps running and is reaped when it ends.
class Process {
  public:
    Process() = default;
    ~Process();
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // argv[0] is the program: a path, or a bare name looked up in PATH.
    // FileNotFound when it does not exist, AccessDenied when it cannot be run,
    // PathNotFound for a missing working folder, InvalidParameter for an
    // empty vector.
    SysError start(const std::vector<std::string>& argv, const StartOptions& options = {});

    // Waits until the program ends, the time-out passes or `cancel` (if
    // given) is set. Cancelling only stops the wait, never the program.
    WaitOutcome wait(int32_t timeout_ms = kInfinite, Event* cancel = nullptr);

    bool started() const { return m_pid > 0; }
    bool running();
    int32_t pid() const { return m_pid; }
    // The exit code once the program ended; a program ended by a signal
    // gives 128 + the signal number. nullopt while it runs.
    std::optional<int32_t> exit_code() const { return m_exit_code; }

  private:
    bool reap(bool block);
    int32_t m_pid{-1};
    int m_pidfd{-1};
    std::optional<int32_t> m_exit_code;
};

// Splits a command line into arguments by the original platform's rules:
// blanks separate arguments outside double quotes; "\"" is a literal quote;
// 2n backslashes before a quote give n backslashes and the quote toggles
// quoting, 2n+1 give n backslashes and a literal quote; other backslashes
// are literal; "" inside quotes gives one quote. The program name (first
// element) takes everything up to the next blank, or between quotes, with
// backslashes kept.
std::vector<std::string> split_command_line(std::string_view command_line);

// Splits a command line into words as a POSIX shell does, without any
// expansion: blanks, tabs and line breaks separate words; single quotes keep
// everything up to the next single quote; double quotes keep everything but
// a backslash before $ ` " \ or a line break; a backslash outside quotes
// keeps the next character (a backslash and a line break vanish). nullopt
// for an unclosed quote or a trailing backslash.
std::optional<std::vector<std::string>> split_shell_words(std::string_view command_line);

// The full path of the running program.
std::string current_program_path();

} // namespace plat
