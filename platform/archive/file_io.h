#pragma once
// Plain descriptor helpers the archive layer shares: a descriptor closed with
// its scope, and a write that goes on until every byte is out.
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <string>

namespace plat::archive::detail {

class Fd {
  public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0) close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    bool ok() const { return m_fd >= 0; }
    // Hands the descriptor over, so that closing it can be checked.
    int release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

  private:
    int m_fd;
};

inline bool write_all(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Removes the further pieces of an earlier archive of that name.
void remove_old_pieces(const std::string& archive);

} // namespace plat::archive::detail
