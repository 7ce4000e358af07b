#include "platform/sys/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/base/strings.h"
#include "platform/sys/errors.h"
#include "platform/sys/paths.h"
#include "platform/sys/unique_fd.h"

namespace plat {

using detail::UniqueFd;

namespace {

// Where the emulated hidden, system and archive bits live.
constexpr const char* kAttrXattr = "user.kl.attributes";
constexpr uint32_t kStoredBits = attr::Hidden | attr::System | attr::Archive;

template <typename T> void set_err(SysError* err, T value) {
    if (err) *err = value;
}

bool is_read_only_mode(const struct stat& st) {
    return !S_ISDIR(st.st_mode) && !(st.st_mode & S_IWUSR);
}

uint32_t stored_bits_fd(int fd) {
    char buf[16] = {};
    ssize_t n = fgetxattr(fd, kAttrXattr, buf, sizeof buf - 1);
    if (n <= 0) return 0;
    return static_cast<uint32_t>(std::strtoul(buf, nullptr, 10)) & kStoredBits;
}

// Gives a freshly written file the stored bits of the one it replaces.
void store_bits_fd(int fd, uint32_t bits) {
    if (bits == 0) return;
    std::string text = std::to_string(bits);
    ::fsetxattr(fd, kAttrXattr, text.data(), text.size(), 0);
}

uint32_t stored_bits(const std::string& path) {
    char buf[16] = {};
    ssize_t n = getxattr(path.c_str(), kAttrXattr, buf, sizeof buf - 1);
    if (n <= 0) return 0;
    return static_cast<uint32_t>(std::strtoul(buf, nullptr, 10)) & kStoredBits;
}

uint32_t attributes_of(const std::string& name, const struct stat& st, uint32_t stored) {
    uint32_t a = stored;
    if (S_ISDIR(st.st_mode)) a |= attr::Directory;
    if (is_read_only_mode(st)) a |= attr::ReadOnly;
    if (!name.empty() && name[0] == '.' && name != "." && name != "..") a |= attr::Hidden;
    return a == 0 ? attr::Normal : a;
}

FileTime mtime_of(const struct stat& st) {
    return file_time_from_timespec(st.st_mtim);
}

// The folder a path lies in, "." for a bare name.
std::string folder_of(const std::string& path) {
    std::string p = parent_path(path);
    return p.empty() ? std::string(".") : p;
}

bool folder_exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A missing file is FileNotFound, but a missing folder on the way to it is
// PathNotFound, as callers tell the two apart.
SysError not_found_error(const std::string& path) {
    return folder_exists(folder_of(path)) ? SysError::FileNotFound : SysError::PathNotFound;
}

SysError errno_error(const std::string& path, int e) {
    if (e == ENOENT) return not_found_error(path);
    return sys_error_from_errno(e);
}

mode_t process_umask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
    return 022;
}

// A new temporary file beside `target`, named so that listings by mask do
// not mistake it for the target: ".<name>.XXXXXX".
UniqueFd make_sibling_temp(const std::string& target, std::string& temp_path) {
    std::string name = file_name(target);
    if (name.size() > 200) name.resize(200);
    temp_path = join_path(folder_of(target), "." + name + ".XXXXXX");
    return UniqueFd(mkostemp(temp_path.data(), O_CLOEXEC));
}

SysError write_all(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno == ENOSPC ? SysError::DiskFull : SysError::WriteFault;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return SysError::Success;
}

SysError copy_bytes(int from, int to) {
    char buf[1 << 16];
    for (;;) {
        ssize_t n = ::read(from, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            return SysError::ReadFault;
        }
        if (n == 0) return SysError::Success;
        if (SysError e = write_all(to, buf, static_cast<size_t>(n)); e != SysError::Success) return e;
    }
}

void sync_folder(const std::string& folder) {
    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid()) ::fsync(dir.get());
}

// The file a write to `path` lands in. A symbolic link is followed to the
// file it names, also when that file does not exist yet, so that writing
// through a link changes its target and the link stays a link. nullopt for a
// loop of links.
std::optional<std::string> write_target(const std::string& path) {
    std::filesystem::path p = path;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(p, ec))) return p.string();
        std::filesystem::path link = std::filesystem::read_symlink(p, ec);
        if (ec) return p.string();
        p = link.is_absolute() ? link : p.parent_path() / link;
    }
    return std::nullopt;
}

// Checks shared by everything that replaces or removes an existing file.
SysError check_replaceable(const std::string& path, const struct stat& st) {
    if (S_ISDIR(st.st_mode)) return SysError::AccessDenied;
    if (!S_ISLNK(st.st_mode) && is_read_only_mode(st)) return SysError::AccessDenied;
    if (file_in_use(path)) return SysError::SharingViolation;
    return SysError::Success;
}

} // namespace

bool path_exists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool is_folder(const std::string& path) {
    return !path.empty() && folder_exists(path);
}

bool is_file(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool mask_match(std::string_view mask, std::string_view name) {
    if (mask.empty() || mask == "*" || mask == "*.*") return true;
    if (wildcard_match(mask, name)) return true;
    return mask.size() > 2 && mask.substr(mask.size() - 2) == ".*" &&
           wildcard_match(mask.substr(0, mask.size() - 2), name);
}

std::optional<uint64_t> file_length(const std::string& path, SysError* err) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        set_err(err, errno_error(path, errno));
        return std::nullopt;
    }
    set_err(err, SysError::Success);
    return S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
}

std::optional<FileTime> file_modified(const std::string& path, SysError* err) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        set_err(err, errno_error(path, errno));
        return std::nullopt;
    }
    set_err(err, SysError::Success);
    return mtime_of(st);
}

SysError set_file_modified(const std::string& path, FileTime t) {
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1] = timespec_from_file_time(t);
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) return errno_error(path, errno);
    return SysError::Success;
}

std::optional<uint32_t> get_attributes(const std::string& path, SysError* err) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        set_err(err, path.empty() ? SysError::InvalidParameter : errno_error(path, errno));
        return std::nullopt;
    }
    set_err(err, SysError::Success);
    return attributes_of(file_name(native_path(path)), st, stored_bits(path));
}

SysError set_attributes(const std::string& path, uint32_t attributes) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return path.empty() ? SysError::InvalidParameter : errno_error(path, errno);
    const bool dir = S_ISDIR(st.st_mode);
    const mode_t writable = st.st_mode | S_IWUSR;
    // The extended attribute needs write access to the file, so a read-only
    // file is made writable first and read-only again at the end.
    if (!dir && !(st.st_mode & S_IWUSR) && ::chmod(path.c_str(), writable & 07777) != 0)
        return errno_error(path, errno);
    SysError result = SysError::Success;
    const uint32_t stored = attributes & kStoredBits;
    if (stored != 0) {
        std::string text = std::to_string(stored);
        if (::setxattr(path.c_str(), kAttrXattr, text.data(), text.size(), 0) != 0)
            result = errno == ENOTSUP ? SysError::AccessDenied : sys_error_from_errno(errno);
    } else if (::removexattr(path.c_str(), kAttrXattr) != 0 && errno != ENODATA && errno != ENOTSUP) {
        result = sys_error_from_errno(errno);
    }
    if (!dir) {
        mode_t mode =
            (attributes & attr::ReadOnly) ? (writable & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH)) : writable;
        if (::chmod(path.c_str(), mode & 07777) != 0 && result == SysError::Success)
            result = errno_error(path, errno);
    }
    return result;
}

bool file_in_use(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd.valid()) return false;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return errno == EWOULDBLOCK;
    ::flock(fd.get(), LOCK_UN);
    return false;
}

std::optional<std::vector<DirEntry>> list_folder(const std::string& folder, std::string_view mask,
                                                 SysError* err) {
    UniqueFd dfd(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dfd.valid()) {
        int e = errno;
        set_err(err, e == ENOENT || e == ENOTDIR ? SysError::PathNotFound : sys_error_from_errno(e));
        return std::nullopt;
    }
    DIR* dir = ::fdopendir(dfd.get());
    if (!dir) {
        set_err(err, sys_error_from_errno(errno));
        return std::nullopt;
    }
    const int fd = dfd.release(); // now owned by `dir`
    std::vector<DirEntry> out;
    while (dirent* d = ::readdir(dir)) {
        std::string name = d->d_name;
        if (name == "." || name == ".." || !mask_match(mask, name)) continue;
        struct stat st {};
        if (::fstatat(fd, d->d_name, &st, 0) != 0 && ::fstatat(fd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue; // vanished while listing
        DirEntry e;
        e.attributes = attributes_of(name, st, stored_bits(join_path(folder, name)));
        e.size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
        e.modified = mtime_of(st);
        e.name = std::move(name);
        out.push_back(std::move(e));
    }
    ::closedir(dir);
    std::sort(out.begin(), out.end(), [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
    set_err(err, SysError::Success);
    return out;
}

namespace {

SysError copy_file_from(const std::string& source, const std::string& target, bool overwrite,
                        bool read_held) {
    if (source.empty() || target.empty()) return SysError::InvalidParameter;
    UniqueFd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (!in.valid()) return errno_error(source, errno);
    struct stat sst {};
    if (::fstat(in.get(), &sst) != 0) return sys_error_from_errno(errno);
    if (S_ISDIR(sst.st_mode)) return SysError::AccessDenied;
    // A source held exclusively by another process is being written: its
    // bytes are not to be trusted, as the original platform refuses it too.
    if (!read_held && ::flock(in.get(), LOCK_SH | LOCK_NB) != 0)
        return errno == EWOULDBLOCK ? SysError::SharingViolation : sys_error_from_errno(errno);

    struct stat tst {};
    if (::stat(target.c_str(), &tst) == 0) {
        if (!overwrite) return SysError::FileExists;
        if (tst.st_dev == sst.st_dev && tst.st_ino == sst.st_ino)
            return SysError::SharingViolation; // a file cannot replace itself
        if (SysError e = check_replaceable(target, tst); e != SysError::Success) return e;
    } else if (!folder_exists(folder_of(target))) {
        return SysError::PathNotFound;
    }

    std::string temp;
    UniqueFd out = make_sibling_temp(target, temp);
    if (!out.valid()) return sys_error_from_errno(errno);
    SysError e = copy_bytes(in.get(), out.get());
    if (e == SysError::Success) {
        timespec times[2] = {sst.st_atim, sst.st_mtim};
        store_bits_fd(out.get(), stored_bits_fd(in.get()));
        if (::fchmod(out.get(), sst.st_mode & 07777) != 0 || ::futimens(out.get(), times) != 0 ||
            ::fsync(out.get()) != 0)
            e = sys_error_from_errno(errno);
    }
    if (e == SysError::Success && ::rename(temp.c_str(), target.c_str()) != 0)
        e = sys_error_from_errno(errno);
    if (e != SysError::Success) {
        ::unlink(temp.c_str());
        return e;
    }
    return SysError::Success;
}

} // namespace

SysError copy_file(const std::string& source, const std::string& target, bool overwrite) {
    return copy_file_from(source, target, overwrite, false);
}

SysError copy_held_file(const std::string& source, const std::string& target, bool overwrite) {
    return copy_file_from(source, target, overwrite, true);
}

SysError move_file(const std::string& source, const std::string& target, bool overwrite) {
    if (source.empty() || target.empty()) return SysError::InvalidParameter;
    struct stat sst {};
    if (::lstat(source.c_str(), &sst) != 0) return errno_error(source, errno);
    if (!S_ISDIR(sst.st_mode) && file_in_use(source)) return SysError::SharingViolation;
    struct stat tst {};
    if (::lstat(target.c_str(), &tst) == 0) {
        if (tst.st_dev == sst.st_dev && tst.st_ino == sst.st_ino) return SysError::Success;
        if (!overwrite) return SysError::FileExists;
        if (SysError e = check_replaceable(target, tst); e != SysError::Success) return e;
    } else if (!folder_exists(folder_of(target))) {
        return SysError::PathNotFound;
    }
    const unsigned flags = overwrite ? 0u : RENAME_NOREPLACE;
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), flags) == 0) return SysError::Success;
    if (errno == EEXIST) return SysError::FileExists;
    if (errno != EXDEV) return errno_error(target, errno);
    if (S_ISDIR(sst.st_mode)) return SysError::AccessDenied; // folders move only within one file system
    if (SysError e = copy_file(source, target, overwrite); e != SysError::Success) return e;
    if (::unlink(source.c_str()) != 0) return sys_error_from_errno(errno);
    return SysError::Success;
}

SysError delete_file(const std::string& path) {
    struct stat st {};
    if (path.empty()) return SysError::InvalidParameter;
    if (::lstat(path.c_str(), &st) != 0) return errno_error(path, errno);
    if (SysError e = check_replaceable(path, st); e != SysError::Success) return e;
    if (::unlink(path.c_str()) != 0) return errno_error(path, errno);
    return SysError::Success;
}

SysError delete_files(const std::string& pattern, int32_t* deleted) {
    if (deleted) *deleted = 0;
    const std::string folder = folder_of(pattern);
    const std::string mask = file_name(pattern);
    if (mask.empty()) return SysError::InvalidParameter;
    SysError err = SysError::Success;
    auto entries = list_folder(folder, mask, &err);
    if (!entries) return err;
    SysError first = SysError::Success;
    for (const DirEntry& e : *entries) {
        if (e.is_folder()) continue;
        SysError r = delete_file(join_path(folder, e.name));
        if (r == SysError::Success) {
            if (deleted) ++*deleted;
        } else if (first == SysError::Success) {
            first = r;
        }
    }
    return first;
}

SysError create_folder(const std::string& path, bool recursive) {
    if (path.empty()) return SysError::InvalidParameter;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode) ? SysError::Success : SysError::AlreadyExists;
    if (::mkdir(path.c_str(), 0777) == 0) return SysError::Success;
    int e = errno;
    if (e == EEXIST) return is_folder(path) ? SysError::Success : SysError::AlreadyExists;
    if (e != ENOENT) return sys_error_from_errno(e);
    if (!recursive) return SysError::PathNotFound;
    const std::string parent = parent_path(path);
    if (parent.empty() || parent == path) return SysError::PathNotFound;
    if (SysError pe = create_folder(parent, true); pe != SysError::Success) return pe;
    if (::mkdir(path.c_str(), 0777) == 0 || (errno == EEXIST && is_folder(path))) return SysError::Success;
    return sys_error_from_errno(errno);
}

SysError remove_folder(const std::string& path) {
    if (path.empty()) return SysError::InvalidParameter;
    if (::rmdir(path.c_str()) == 0) return SysError::Success;
    if (errno == EEXIST || errno == ENOTEMPTY) return SysError::DirNotEmpty;
    if (errno == ENOTDIR) return SysError::PathNotFound;
    return errno_error(path, errno);
}

SysError remove_folder_tree(const std::string& path) {
    if (path.empty()) return SysError::InvalidParameter;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return errno_error(path, errno);
    if (!S_ISDIR(st.st_mode)) return SysError::PathNotFound;
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
    return ec ? sys_error_from_errno(ec.value()) : SysError::Success;
}

SysError read_whole_file(const std::string& path, std::string& bytes) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (!fd.valid()) return errno_error(path, errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return sys_error_from_errno(errno);
    if (S_ISDIR(st.st_mode)) return SysError::AccessDenied;
    std::string out;
    out.reserve(static_cast<size_t>(st.st_size));
    char buf[1 << 16];
    for (;;) {
        ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            return SysError::ReadFault;
        }
        if (n == 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    bytes = std::move(out);
    return SysError::Success;
}

SysError write_file_atomic(const std::string& path, std::string_view bytes) {
    return write_file_atomic(
        path, [bytes](const std::string&, int fd) { return write_all(fd, bytes.data(), bytes.size()); });
}

SysError write_file_atomic(const std::string& path, const AtomicFill& fill) {
    if (path.empty() || !fill) return SysError::InvalidParameter;
    const std::optional<std::string> resolved = write_target(path);
    if (!resolved) return SysError::BadPathname;
    const std::string& target = *resolved;
    mode_t mode = 0666 & ~process_umask();
    uint32_t bits = 0;
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode) || is_read_only_mode(st)) return SysError::AccessDenied;
        mode = st.st_mode & 07777;
        bits = stored_bits(target);
    } else if (!folder_exists(folder_of(target))) {
        return SysError::PathNotFound;
    }
    std::string temp;
    UniqueFd out = make_sibling_temp(target, temp);
    if (!out.valid()) return sys_error_from_errno(errno);
    SysError e = fill(temp, out.get());
    store_bits_fd(out.get(), bits);
    if (e == SysError::Success && (::fchmod(out.get(), mode) != 0 || ::fsync(out.get()) != 0))
        e = errno == ENOSPC ? SysError::DiskFull : SysError::WriteFault;
    if (e == SysError::Success && ::rename(temp.c_str(), target.c_str()) != 0)
        e = sys_error_from_errno(errno);
    if (e != SysError::Success) {
        ::unlink(temp.c_str());
        return e;
    }
    sync_folder(folder_of(target));
    return SysError::Success;
}

std::optional<std::string> make_temp_file(const std::string& folder, std::string_view prefix, SysError* err) {
    std::string templ = join_path(folder.empty() ? "." : folder, std::string(prefix) + "XXXXXX.tmp");
    UniqueFd fd(::mkostemps(templ.data(), 4, O_CLOEXEC));
    if (!fd.valid()) {
        set_err(err, errno == ENOENT ? SysError::PathNotFound : sys_error_from_errno(errno));
        return std::nullopt;
    }
    set_err(err, SysError::Success);
    return templ;
}

std::string temp_folder() {
    const char* t = std::getenv("TMPDIR");
    return t && *t ? std::string(t) : std::string("/tmp");
}

FileLock::~FileLock() {
    unlock();
}

FileLock::FileLock(FileLock&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        unlock();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

SysError FileLock::lock(const std::string& path, bool exclusive, bool create) {
    return acquire(path, exclusive, create, false);
}

SysError FileLock::wait_lock(const std::string& path, bool exclusive) {
    return acquire(path, exclusive, false, true);
}

SysError FileLock::acquire(const std::string& path, bool exclusive, bool create, bool wait) {
    unlock();
    const int flags = O_CLOEXEC | O_NOCTTY | (create ? O_CREAT : 0);
    UniqueFd fd(::open(path.c_str(), O_RDWR | flags, 0666));
    if (!fd.valid() && (errno == EACCES || errno == EISDIR))
        fd.reset(::open(path.c_str(), O_RDONLY | flags, 0666));
    if (!fd.valid()) return errno_error(path, errno);
    const int operation = (exclusive ? LOCK_EX : LOCK_SH) | (wait ? 0 : LOCK_NB);
    while (::flock(fd.get(), operation) != 0) {
        if (errno == EINTR) continue;
        return errno == EWOULDBLOCK ? SysError::SharingViolation : sys_error_from_errno(errno);
    }
    m_fd = fd.release();
    return SysError::Success;
}

void FileLock::unlock() {
    if (m_fd >= 0) {
        ::flock(m_fd, LOCK_UN);
        ::close(m_fd);
        m_fd = -1;
    }
}

} // namespace plat
