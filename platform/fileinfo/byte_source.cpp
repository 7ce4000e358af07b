#include "platform/fileinfo/byte_source.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {

std::optional<std::vector<uint8_t>> ByteSource::bytes(uint64_t offset, size_t count) const {
    if (offset > size() || count > size() - offset) return std::nullopt;
    std::vector<uint8_t> out(count);
    if (!read(offset, out)) return std::nullopt;
    return out;
}

bool MemorySource::read(uint64_t offset, std::span<uint8_t> out) const {
    if (offset > m_data.size() || out.size() > m_data.size() - offset) return false;
    if (!out.empty()) std::memcpy(out.data(), m_data.data() + offset, out.size());
    return true;
}

std::optional<FileSource> FileSource::open(const std::string& path) {
    // Non-blocking so that a named pipe given as a path cannot hang us; it is
    // refused below anyway.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    return FileSource(fd, static_cast<uint64_t>(st.st_size));
}

FileSource::FileSource(FileSource&& other) noexcept : m_fd(other.m_fd), m_size(other.m_size) {
    other.m_fd = -1;
}

FileSource::~FileSource() {
    if (m_fd >= 0) ::close(m_fd);
}

bool FileSource::read(uint64_t offset, std::span<uint8_t> out) const {
    size_t done = 0;
    while (done < out.size()) {
        const ssize_t n =
            ::pread(m_fd, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false; // error, or the file is shorter than it was
        done += static_cast<size_t>(n);
    }
    return true;
}

uint16_t read_u16(std::span<const uint8_t> b, size_t off) {
    if (off > b.size() || b.size() - off < 2) return 0;
    return static_cast<uint16_t>(b[off] | (b[off + 1] << 8));
}

uint32_t read_u32(std::span<const uint8_t> b, size_t off) {
    if (off > b.size() || b.size() - off < 4) return 0;
    return uint32_t(read_u16(b, off)) | (uint32_t(read_u16(b, off + 2)) << 16);
}

uint64_t read_u64(std::span<const uint8_t> b, size_t off) {
    if (off > b.size() || b.size() - off < 8) return 0;
    return uint64_t(read_u32(b, off)) | (uint64_t(read_u32(b, off + 4)) << 32);
}

} // namespace plat
