#include "platform/config/file_write.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plat::config_detail {

SysError errno_to_syserror(int err) {
    switch (err) {
    case 0:
        return SysError::Success;
    case ENOENT:
        return SysError::FileNotFound;
    case ENOTDIR:
        return SysError::PathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return SysError::AccessDenied;
    case ENOSPC:
    case EDQUOT:
        return SysError::DiskFull;
    case ENAMETOOLONG:
        return SysError::BadPathname;
    case ENOMEM:
        return SysError::NotEnoughMemory;
    default:
        return SysError::WriteFault;
    }
}

namespace {

// Closes a descriptor when the scope ends.
struct Fd {
    int fd{-1};
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

bool write_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

std::filesystem::path parent_or_dot(const std::filesystem::path& file) {
    auto parent = file.parent_path();
    return parent.empty() ? std::filesystem::path(".") : parent;
}

} // namespace

SysError read_whole_file(const std::filesystem::path& file, std::string& out) {
    out.clear();
    Fd f{::open(file.c_str(), O_RDONLY | O_CLOEXEC)};
    if (f.fd < 0) return errno_to_syserror(errno);
    struct stat st {};
    if (::fstat(f.fd, &st) == 0 && S_ISDIR(st.st_mode)) return SysError::AccessDenied;
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(f.fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            return SysError::ReadFault;
        }
        if (n == 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    return SysError::Success;
}

SysError replace_file(const std::filesystem::path& link_or_file, std::string_view bytes) {
    // A link stays a link: the file it points to gets the new content.
    std::error_code ec;
    std::filesystem::path file = link_or_file;
    if (std::filesystem::is_symlink(link_or_file, ec)) {
        auto target = std::filesystem::weakly_canonical(link_or_file, ec);
        if (!ec) file = target;
    }
    if (file.filename().empty()) return SysError::InvalidParameter;
    const auto folder = parent_or_dot(file);
    std::string tmpl = (folder / ("." + file.filename().string() + ".XXXXXX")).string();
    Fd tmp{::mkostemp(tmpl.data(), O_CLOEXEC)};
    if (tmp.fd < 0) {
        int err = errno;
        return err == ENOENT ? SysError::PathNotFound : errno_to_syserror(err);
    }
    // The new file keeps the permissions of the one it replaces; a new one
    // gets the usual mode for documents under the process's umask.
    struct stat old {};
    if (::stat(file.c_str(), &old) == 0) {
        if (S_ISDIR(old.st_mode)) {
            ::unlink(tmpl.c_str());
            return SysError::AccessDenied;
        }
        ::fchmod(tmp.fd, old.st_mode & 07777);
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(tmp.fd, 0666 & ~mask);
    }
    if (!write_all(tmp.fd, bytes) || ::fsync(tmp.fd) != 0) {
        SysError e = errno_to_syserror(errno);
        ::unlink(tmpl.c_str());
        return e == SysError::Success ? SysError::WriteFault : e;
    }
    if (::rename(tmpl.c_str(), file.c_str()) != 0) {
        SysError e = errno_to_syserror(errno);
        ::unlink(tmpl.c_str());
        return e;
    }
    // The folder is not flushed: after a crash the name shows the old or the
    // new content, both whole, which is all callers rely on.
    return SysError::Success;
}

FolderLock::FolderLock(const std::filesystem::path& folder) {
    auto dir = folder.empty() ? std::filesystem::path(".") : folder;
    m_fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0) {
        int err = errno;
        m_status = err == ENOENT || err == ENOTDIR ? SysError::PathNotFound : errno_to_syserror(err);
        return;
    }
    while (::flock(m_fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            m_status = errno_to_syserror(errno);
            return;
        }
    }
}

FolderLock::~FolderLock() {
    if (m_fd >= 0) ::close(m_fd); // releases the lock
}

} // namespace plat::config_detail
