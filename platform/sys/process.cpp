#include "platform/sys/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>
#include <utility>

#include "platform/sys/errors.h"
#include "platform/sys/files.h"
#include "platform/sys/paths.h"

namespace plat {

namespace {

bool is_executable_file(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// A bare program name is looked up in the PATH of the environment the
// program gets, so that a changed PATH applies to the start as well.
std::optional<std::string> resolve_program(const std::string& program, const Environment& env) {
    if (program.find('/') != std::string::npos) return program;
    std::string path = env.get("PATH").value_or("/usr/local/bin:/usr/bin:/bin");
    for (const std::string& dir : split(path, ':')) {
        std::string candidate = join_path(dir.empty() ? "." : dir, program);
        if (is_executable_file(candidate)) return candidate;
    }
    return std::nullopt;
}

struct SpawnAttributes {
    posix_spawnattr_t attr;
    posix_spawn_file_actions_t actions;
    SpawnAttributes() {
        posix_spawnattr_init(&attr);
        posix_spawn_file_actions_init(&actions);
    }
    ~SpawnAttributes() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
    }
};

int32_t exit_code_of(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

} // namespace

Process::~Process() {
    if (m_pid > 0 && !m_exit_code && !reap(false)) {
        // Nobody waits for this program any more; it keeps running, and a
        // small thread collects its exit so that it leaves no zombie behind.
        pid_t pid = m_pid;
        std::thread([pid] {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    }
    if (m_pidfd >= 0) ::close(m_pidfd);
}

Process::Process(Process&& other) noexcept
    : m_pid(std::exchange(other.m_pid, -1)), m_pidfd(std::exchange(other.m_pidfd, -1)),
      m_exit_code(std::exchange(other.m_exit_code, std::nullopt)) {}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        Process old(std::move(*this));
        m_pid = std::exchange(other.m_pid, -1);
        m_pidfd = std::exchange(other.m_pidfd, -1);
        m_exit_code = std::exchange(other.m_exit_code, std::nullopt);
    }
    return *this;
}

SysError Process::start(const std::vector<std::string>& argv, const StartOptions& options) {
    if (m_pid > 0) *this = Process();
    if (argv.empty() || argv[0].empty()) return SysError::InvalidParameter;
    const Environment& env = options.environment ? *options.environment : Environment::process();
    auto program = resolve_program(argv[0], env);
    if (!program) return SysError::FileNotFound;
    if (!path_exists(*program)) return SysError::FileNotFound;
    if (!options.working_folder.empty() && !is_folder(options.working_folder)) return SysError::PathNotFound;

    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> env_text = env.to_envp();
    std::vector<char*> envp;
    for (std::string& e : env_text)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    SpawnAttributes sa;
    // The program starts with default signal handling and nothing blocked,
    // whatever this process changed, and gets no descriptors but the three
    // standard ones.
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&sa.attr, &all);
    posix_spawnattr_setsigmask(&sa.attr, &none);
    posix_spawnattr_setflags(&sa.attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    posix_spawn_file_actions_addclosefrom_np(&sa.actions, 3);
    if (!options.working_folder.empty())
        posix_spawn_file_actions_addchdir_np(&sa.actions, options.working_folder.c_str());

    pid_t pid = -1;
    int rc = ::posix_spawn(&pid, program->c_str(), &sa.actions, &sa.attr, args.data(), envp.data());
    if (rc != 0) return rc == ENOENT ? SysError::FileNotFound : sys_error_from_errno(rc);
    m_pid = pid;
    // Called through syscall(): this C library's header does not declare it
    // for C++. Without it the wait falls back to short sleeps.
    m_pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (m_pidfd >= 0) ::fcntl(m_pidfd, F_SETFD, FD_CLOEXEC);
    m_exit_code.reset();
    return SysError::Success;
}

bool Process::reap(bool block) {
    if (m_exit_code) return true;
    if (m_pid <= 0) return false;
    int status = 0;
    pid_t r;
    do {
        r = ::waitpid(m_pid, &status, block ? 0 : WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r != m_pid) return false;
    m_exit_code = exit_code_of(status);
    return true;
}

bool Process::running() {
    return m_pid > 0 && !reap(false);
}

WaitOutcome Process::wait(int32_t timeout_ms, Event* cancel) {
    using Clock = std::chrono::steady_clock;
    if (m_pid <= 0) return WaitOutcome::Failed;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms < 0 ? 0 : timeout_ms);
    // The cancel event is looked at between short sleeps on the process.
    constexpr int32_t kStepMs = 50;
    for (;;) {
        if (reap(false)) return WaitOutcome::Exited;
        if (cancel && cancel->is_set()) return WaitOutcome::Cancelled;
        int32_t step = cancel ? kStepMs : -1;
        if (timeout_ms >= 0) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) return WaitOutcome::Timeout;
            step =
                step < 0 ? static_cast<int32_t>(left) : std::min<int32_t>(step, static_cast<int32_t>(left));
        }
        if (m_pidfd >= 0) {
            pollfd p{m_pidfd, POLLIN, 0};
            int r = ::poll(&p, 1, step);
            if (r < 0 && errno != EINTR) return WaitOutcome::Failed;
        } else {
            // Without a process descriptor: look again every few milliseconds.
            std::this_thread::sleep_for(std::chrono::milliseconds(step < 0 ? 10 : std::min(step, 10)));
        }
    }
}

std::optional<std::vector<std::string>> split_shell_words(std::string_view s) {
    std::vector<std::string> words;
    std::string word;
    bool in_word = false;
    size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        if (c == ' ' || c == '\t' || c == '\n') {
            if (in_word) words.push_back(std::exchange(word, {}));
            in_word = false;
            ++i;
        } else if (c == '\'') {
            const size_t end = s.find('\'', i + 1);
            if (end == std::string_view::npos) return std::nullopt;
            word.append(s.substr(i + 1, end - i - 1));
            in_word = true;
            i = end + 1;
        } else if (c == '"') {
            in_word = true;
            for (++i;; ++i) {
                if (i >= s.size()) return std::nullopt;
                if (s[i] == '"') break;
                if (s[i] == '\\' && i + 1 < s.size() && std::string_view("$`\"\\\n").find(s[i + 1]) !=
                                                                std::string_view::npos) {
                    if (s[i + 1] != '\n') word += s[i + 1];
                    ++i;
                    continue;
                }
                word += s[i];
            }
            ++i;
        } else if (c == '\\') {
            if (i + 1 >= s.size()) return std::nullopt;
            if (s[i + 1] != '\n') {
                word += s[i + 1];
                in_word = true;
            }
            i += 2;
        } else {
            word += c;
            in_word = true;
            ++i;
        }
    }
    if (in_word) words.push_back(std::move(word));
    return words;
}

std::vector<std::string> split_command_line(std::string_view s) {
    std::vector<std::string> args;
    size_t i = 0;
    const size_t n = s.size();
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (i < n && blank(s[i]))
        ++i;
    if (i == n) return args;
    // The program name: quotes only group, backslashes are path separators.
    std::string program;
    if (s[i] == '"') {
        ++i;
        while (i < n && s[i] != '"')
            program.push_back(s[i++]);
        if (i < n) ++i;
    }
    while (i < n && !blank(s[i]))
        program.push_back(s[i++]);
    args.push_back(std::move(program));

    for (;;) {
        while (i < n && blank(s[i]))
            ++i;
        if (i == n) break;
        std::string cur;
        bool quoted = false;
        while (i < n) {
            char c = s[i];
            if (blank(c) && !quoted) break;
            if (c == '\\') {
                size_t count = 0;
                while (i < n && s[i] == '\\') {
                    ++count;
                    ++i;
                }
                if (i < n && s[i] == '"') {
                    cur.append(count / 2, '\\');
                    if (count % 2 == 1) {
                        cur.push_back('"');
                        ++i;
                    }
                } else {
                    cur.append(count, '\\');
                }
            } else if (c == '"') {
                if (quoted && i + 1 < n && s[i + 1] == '"') {
                    cur.push_back('"');
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                cur.push_back(c);
                ++i;
            }
        }
        args.push_back(std::move(cur));
    }
    return args;
}

std::string current_program_path() {
    char buf[4096];
    ssize_t len = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (len <= 0) return {};
    return std::string(buf, static_cast<size_t>(len));
}

} // namespace plat
