#pragma once
// Files and folders as the designer and the client use them. Paths given
// here are native ("/" separated; see paths.h to convert Windows-style text).
//
// Attributes are emulated on Linux:
//  - read-only: the owner has no write permission. delete_file and
//    copy_file onto such a file fail with AccessDenied, as the callers
//    expect; set_attributes without ReadOnly gives the write permission back.
//    Folders are never read-only (a folder without write permission would
//    refuse new files, which the original platform does not do).
//  - hidden, system, archive: kept in the extended attribute
//    "user.kl.attributes" of the file (a decimal number). A name that begins
//    with "." is always reported hidden as well. On a file system without
//    user extended attributes, setting them fails with AccessDenied.
//  - "file in use": another open file description holds an flock on the
//    file (see FileLock). Copying onto, deleting or renaming such a file gives
//    SharingViolation.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/types.h"
#include "platform/sys/file_time.h"

namespace plat {

// Attribute bits, with the values stored documents and INF files use.
namespace attr {
constexpr uint32_t ReadOnly = 0x01;
constexpr uint32_t Hidden = 0x02;
constexpr uint32_t System = 0x04;
constexpr uint32_t Directory = 0x10;
constexpr uint32_t Archive = 0x20;
constexpr uint32_t Normal = 0x80; // reported when no other bit is set
} // namespace attr

// --- tests ---------------------------------------------------------------
bool path_exists(const std::string& path); // file or folder
bool is_folder(const std::string& path);
bool is_file(const std::string& path); // anything that is not a folder

// --- masks ---------------------------------------------------------------
// Folder-listing masks: "*" and "?" without regard to case; as on the
// original platform "*.*" matches every name, and a mask ending in ".*"
// also matches the name without any extension ("readme.*" matches "readme").
bool mask_match(std::string_view mask, std::string_view name);

// --- information ---------------------------------------------------------
std::optional<uint64_t> file_length(const std::string& path, SysError* err = nullptr);
std::optional<FileTime> file_modified(const std::string& path, SysError* err = nullptr);
SysError set_file_modified(const std::string& path, FileTime t);

// Attribute bits of a file or folder; nullopt when it cannot be read.
std::optional<uint32_t> get_attributes(const std::string& path, SysError* err = nullptr);
// Sets ReadOnly, Hidden, System and Archive as given (Directory and Normal
// are ignored). Clearing ReadOnly restores the owner's write permission.
SysError set_attributes(const std::string& path, uint32_t attributes);

// True when another open file description holds an flock on the file.
bool file_in_use(const std::string& path);

// --- listing -------------------------------------------------------------
struct DirEntry {
    std::string name;        // the element only, never "." or ".."
    uint32_t attributes = 0; // as get_attributes
    uint64_t size = 0;       // 0 for folders
    FileTime modified;
    bool is_folder() const { return (attributes & attr::Directory) != 0; }
};

// Entries of `folder` whose names match `mask` ("*" for all), files and
// folders alike, sorted by name (byte order) so that results are stable.
// nullopt with the error when the folder cannot be read.
std::optional<std::vector<DirEntry>> list_folder(const std::string& folder, std::string_view mask = "*",
                                                 SysError* err = nullptr);

// --- changing ------------------------------------------------------------
// Copies bytes, then the modification time and the permission bits, through
// a temporary file beside the target and a rename, so a failed copy never
// leaves half a target. With `overwrite` false an existing target gives
// FileExists. A read-only target gives AccessDenied, one in use
// SharingViolation; a missing source FileNotFound; a missing target folder
// PathNotFound.
SysError copy_file(const std::string& source, const std::string& target, bool overwrite = true);
// The same, but the source is read even while another process holds it
// locked: a backup of a file in use, which only its holder may change.
SysError copy_held_file(const std::string& source, const std::string& target, bool overwrite = true);

// Renames or moves (across file systems: copy, then delete). With
// `overwrite` false an existing target gives FileExists.
SysError move_file(const std::string& source, const std::string& target, bool overwrite = false);

// Deletes one file (never a folder: AccessDenied). Read-only: AccessDenied;
// in use: SharingViolation; missing: FileNotFound.
SysError delete_file(const std::string& path);

// Deletes every file (not folder) in the folder of `pattern` whose name
// matches its last element ("/tmp/x/*.tmp"). `deleted` counts the files
// removed. The result is Success when every match was deleted (also when
// nothing matched), else the first error met; the other matches are still
// tried.
SysError delete_files(const std::string& pattern, int32_t* deleted = nullptr);

// Creates a folder; with `recursive` its missing parents too. An existing
// folder is Success; an existing file AlreadyExists.
SysError create_folder(const std::string& path, bool recursive = true);
// Removes an empty folder (DirNotEmpty otherwise).
SysError remove_folder(const std::string& path);
// Removes a folder with everything in it, read-only files included. Symbolic
// links are removed, never followed.
SysError remove_folder_tree(const std::string& path);

// --- whole files ---------------------------------------------------------
// The whole content of a file. A folder gives AccessDenied; a missing file
// FileNotFound, a missing folder on the way PathNotFound.
SysError read_whole_file(const std::string& path, std::string& bytes);

// Writes the bytes to a temporary file in the target's folder, flushes it to
// disk and renames it over the target. On any failure the temporary file is
// removed and an existing target is left exactly as it was. A new file gets
// permission 0666 less the umask; an existing target keeps its permission and
// its hidden, system and archive bits. A read-only target or a folder gives
// AccessDenied. A symbolic link is written through: the file it names (made
// when missing) gets the bytes and the link stays; a loop of links gives
// BadPathname.
SysError write_file_atomic(const std::string& path, std::string_view bytes);
// The same for content that is not at hand as bytes: `fill` writes it into
// the temporary file, named by its path and open as `fd`, and answers Success
// when it is complete. Whatever `fill` opens on the file it closes again
// before it returns; any other answer is the result, and the target stays.
using AtomicFill = std::function<SysError(const std::string& temp_path, int fd)>;
SysError write_file_atomic(const std::string& path, const AtomicFill& fill);

// Creates a new empty file "<prefix><unique>.tmp" in `folder` and returns
// its path (the file stays, as callers then fill and rename it).
std::optional<std::string> make_temp_file(const std::string& folder, std::string_view prefix,
                                          SysError* err = nullptr);

// The folder for temporary files: $TMPDIR, else "/tmp".
std::string temp_folder();

// --- locking -------------------------------------------------------------
// Holds an flock on a file for as long as the object lives; while it does,
// the file counts as in use for other open file descriptions.
class FileLock {
  public:
    FileLock() = default;
    ~FileLock();
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Opens (with `create`, creates) the file and locks it, shared or
    // exclusive, without waiting. SharingViolation when another holds it.
    SysError lock(const std::string& path, bool exclusive = true, bool create = false);
    // The same, but waits for the other holders to let go. `path` may name a
    // folder: processes that rewrite files in one folder hold its lock to
    // serialise their read-modify-write cycles.
    SysError wait_lock(const std::string& path, bool exclusive = true);
    void unlock();
    bool locked() const { return m_fd >= 0; }
    int fd() const { return m_fd; }

  private:
    SysError acquire(const std::string& path, bool exclusive, bool create, bool wait);

    int m_fd{-1};
};

} // namespace plat
