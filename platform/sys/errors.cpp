#include "platform/sys/errors.h"

#include <cerrno>

namespace plat {

SysError sys_error_from_errno(int err) {
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
    case EBADF:
        return SysError::InvalidHandle;
    case ENOMEM:
        return SysError::NotEnoughMemory;
    case EEXIST:
        return SysError::AlreadyExists;
    case ENOTEMPTY:
        return SysError::DirNotEmpty;
    case ENOSPC:
    case EDQUOT:
        return SysError::DiskFull;
    case EWOULDBLOCK:
    case EBUSY:
    case ETXTBSY:
        return SysError::SharingViolation;
    case EINVAL:
    case ERANGE:
        return SysError::InvalidParameter;
    case ENAMETOOLONG:
    case ELOOP:
        return SysError::BadPathname;
    case ETIMEDOUT:
        return SysError::Timeout;
    case ECANCELED:
        return SysError::Cancelled;
    case EIO:
        return SysError::WriteFault;
    default:
        return SysError::AccessDenied;
    }
}

SysError last_sys_error() {
    return sys_error_from_errno(errno);
}

const char* sys_error_text(SysError e) {
    switch (e) {
    case SysError::Success:
        return "The operation completed successfully.";
    case SysError::FileNotFound:
        return "The system cannot find the file specified.";
    case SysError::PathNotFound:
        return "The system cannot find the path specified.";
    case SysError::AccessDenied:
        return "Access is denied.";
    case SysError::InvalidHandle:
        return "The handle is invalid.";
    case SysError::NotEnoughMemory:
        return "Not enough storage is available to process this command.";
    case SysError::InvalidData:
        return "The data is invalid.";
    case SysError::WriteFault:
        return "The system cannot write to the specified device.";
    case SysError::ReadFault:
        return "The system cannot read from the specified device.";
    case SysError::SharingViolation:
        return "The process cannot access the file because it is being used by another "
               "process.";
    case SysError::HandleEof:
        return "Reached the end of the file.";
    case SysError::FileExists:
        return "The file exists.";
    case SysError::InvalidParameter:
        return "The parameter is incorrect.";
    case SysError::DiskFull:
        return "There is not enough space on the disk.";
    case SysError::InsufficientBuffer:
        return "The data area passed to a system call is too small.";
    case SysError::AlreadyExists:
        return "Cannot create a file when that file already exists.";
    case SysError::MoreData:
        return "More data is available.";
    case SysError::NoMoreItems:
        return "No more data is available.";
    case SysError::BadPathname:
        return "The specified path is invalid.";
    case SysError::DirNotEmpty:
        return "The directory is not empty.";
    case SysError::KeyDeleted:
        return "Illegal operation attempted on a registry key that has been marked for "
               "deletion.";
    case SysError::BadDatabase:
        return "The configuration registry database is corrupt.";
    case SysError::Timeout:
        return "This operation returned because the timeout period expired.";
    case SysError::Cancelled:
        return "The operation was canceled by the user.";
    }
    return "Unknown error.";
}

} // namespace plat
