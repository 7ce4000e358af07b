// The dated log file. Each line is opened, locked, appended and closed on its
// own, so several writers (page workers, a second client) never interleave
// inside a line.
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

#include "client/engine/context.h"
#include "client/engine/errors.h"
#include "platform/base/strings.h"
#include "platform/sys/files.h"
#include "platform/sys/paths.h"

namespace klc {
namespace {

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

// Every entry is one line, also when its text holds line breaks (some
// message texts do): a break and the blanks around it become one blank.
std::string one_line(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] != '\r' && text[i] != '\n') {
            out += text[i++];
            continue;
        }
        while (!out.empty() && (out.back() == ' ' || out.back() == '\t'))
            out.pop_back();
        while (i < text.size() && (text[i] == '\r' || text[i] == '\n' || text[i] == ' ' || text[i] == '\t'))
            ++i;
        if (!out.empty() && i < text.size()) out += ' ';
    }
    return out;
}

bool write_all(int fd, const std::string& s) {
    size_t done = 0;
    while (done < s.size()) {
        ssize_t n = ::write(fd, s.data() + done, s.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

void CClientContext::WriteLog(std::string_view text, int32_t level) {
    if (log_level <= 0 || text.empty() || level > log_level) return;
    std::string path = LogFilePath();
    if (path.empty()) return;

    std::lock_guard guard(m_log_mutex);
    // The first line of a run starts the log anew.
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (log_started.load() ? 0 : O_TRUNC);
    Fd f;
    f.fd = ::open(path.c_str(), flags, 0644);
    if (f.fd < 0) return;

    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    std::string line = plat::strprintf("%d/%02d/%02d %02d:%02d:%02d  ", tm.tm_year + 1900, tm.tm_mon + 1,
                                       tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    line.append(one_line(text));
    line += "\r\n";

    off_t end = ::lseek(f.fd, 0, SEEK_END);
    if (end < 0) return;
    struct flock lk {};
    lk.l_type = F_WRLCK;
    lk.l_whence = SEEK_SET;
    lk.l_start = end;
    lk.l_len = 0;
    if (::fcntl(f.fd, F_SETLKW, &lk) != 0) return;
    // Another writer may have appended while we waited for the lock.
    ::lseek(f.fd, 0, SEEK_END);
    write_all(f.fd, line);
    lk.l_type = F_UNLCK;
    ::fcntl(f.fd, F_SETLK, &lk);
    log_started = true;
}

void CClientContext::WriteLogString(int32_t id, int32_t level) {
    auto text = LoadClientString(id);
    WriteLog(text ? *text : plat::strprintf("Message #%d", id), level);
}

std::optional<std::string> CClientContext::ReadLog(std::optional<std::string_view> path) const {
    std::string p = path ? plat::native_path(*path) : LogFilePath();
    if (p.empty()) return std::nullopt;
    std::string bytes;
    if (plat::read_whole_file(p, bytes) != plat::SysError::Success || bytes.empty()) return std::nullopt;
    return bytes;
}

std::string CClientContext::ResultLine() {
    int32_t r = last_result.load();
    if (r >= 0) r = 0;
    if (reboot_pending && r == 0) r = 2;
    // A failure stays a failure even when it left nothing to process.
    if (!processed && r == 0) r = 1;
    std::string line;
    if (r == 0 || r == 1 || r == 2)
        line = *LoadClientString(IDS_RESULT_SUCCESS + r);
    else
        line = plat::strprintf("Error %d was occured during update.", r);
    WriteLog(line, 1);
    return line;
}

} // namespace klc
