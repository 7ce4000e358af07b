#include "platform/sys/mapping.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <cerrno>
#include <utility>

#include "platform/sys/errors.h"
#include "platform/sys/unique_fd.h"

namespace plat {

FileMapping::~FileMapping() {
    close();
}

FileMapping::FileMapping(FileMapping&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)),
      m_mode(other.m_mode), m_open(std::exchange(other.m_open, false)) {}

FileMapping& FileMapping::operator=(FileMapping&& other) noexcept {
    if (this != &other) {
        close();
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
        m_mode = other.m_mode;
        m_open = std::exchange(other.m_open, false);
    }
    return *this;
}

SysError FileMapping::open(const std::string& path, Mode mode) {
    close();
    detail::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (!fd.valid()) return sys_error_from_errno(errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return sys_error_from_errno(errno);
    if (!S_ISREG(st.st_mode)) return SysError::AccessDenied;
    m_mode = mode;
    if (st.st_size > 0) {
        const int prot = mode == Mode::CopyOnWrite ? PROT_READ | PROT_WRITE : PROT_READ;
        void* p = ::mmap(nullptr, static_cast<size_t>(st.st_size), prot, MAP_PRIVATE, fd.get(), 0);
        if (p == MAP_FAILED) return sys_error_from_errno(errno);
        m_data = static_cast<uint8_t*>(p);
        m_size = static_cast<size_t>(st.st_size);
    }
    m_open = true;
    return SysError::Success;
}

void FileMapping::close() {
    if (m_data) ::munmap(m_data, m_size);
    m_data = nullptr;
    m_size = 0;
    m_open = false;
}

} // namespace plat
