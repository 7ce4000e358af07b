#pragma once
// Zip archives over libzip: one file packed (deflated, optionally protected
// with AES-256) and split into pieces of a given size; pieces joined again and
// archives unpacked into a folder. Archives are standard zip files that common
// tools read; pieces are a plain byte split of the archive.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace plat::archive {

enum class ArchiveError : int32_t {
    Ok = 0,
    NotFound = 1,      // the archive, a piece or the source file does not exist
    NotAnArchive = 2,  // not a zip archive, or a damaged one
    WrongPassword = 3, // protected, and the password does not open it
    UnsafeEntry = 4,   // an entry names a place outside the target folder
    ReadFailed = 5,    // a source or piece could not be read
    WriteFailed = 6,   // the archive or an unpacked file could not be written
    Cancelled = 7,
    Unsupported = 8, // a compression or protection method this build cannot read
    TooLarge = 9,    // an entry holds more than its header or the caller allows
};

// An English description for messages and logs.
const char* archive_error_text(ArchiveError e);

// Bytes done of the total; answering false stops the run (Cancelled).
using Progress = std::function<bool(uint64_t done, uint64_t total)>;

struct PackOptions {
    int level = 9;           // 0 stores, 1-9 deflate
    std::string password;    // not empty: the entry is protected with AES-256
    uint64_t piece_size = 0; // 0: one file; else pieces of at most this many bytes
    uint64_t max_pieces = 0; // above 0: an archive that needs more pieces fails with TooLarge
    Progress progress;
};

// Packs `source` as the single entry named by its file name into `archive`
// (written through a temporary file; an existing archive is replaced only when
// the new one is complete). With a piece size the archive is written straight
// into pieces: `archive` holds the first and the others follow as
// piece_name(archive, 2), 3, ... `pieces` receives every file written, in
// order. Pieces left from an earlier run under the same name are removed.
ArchiveError pack_file(const std::string& source, const std::string& archive, const PackOptions& options,
                       std::vector<std::string>* pieces = nullptr);

// The name of a further piece: the archive's name with its extension replaced
// by "Z" and the number, at least two digits ("_0001.ZIP", 2 → "_0001.Z02").
std::string piece_name(const std::string& archive, int number);

// The first piece and the further pieces beside it, numbered without a gap.
std::vector<std::string> find_pieces(const std::string& first);

// Writes the pieces one after the other into `joined` (through a temporary
// file; `joined` appears only when complete).
ArchiveError join_pieces(const std::vector<std::string>& pieces, const std::string& joined,
                         const Progress& progress = nullptr);

struct UnpackOptions {
    std::string password; // tried on protected entries
    Progress progress;
    // Not empty: only the first entry whose last name element is this one
    // (without regard to case) is unpacked; NotFound when there is none.
    std::string entry;
    // Above 0: the most bytes any unpacked file may hold.
    uint64_t max_size = 0;
};

// Unpacks every entry below `folder` (created when missing). Entry names are
// checked before anything is written: an absolute name, a drive, ".." or any
// other element that could leave the folder refuses the whole archive
// (UnsafeEntry); so does an entry that is a symbolic link or another special
// file. A file stops at the size its header gives (and at max_size): one that
// inflates to more fails with TooLarge when the excess arrives, before it is
// written. Each file is written to a temporary name and renamed when
// complete, and a failed run removes the files it had unpacked, so it leaves
// nothing behind. `written` receives the paths of the files unpacked.
ArchiveError unpack(const std::string& archive, const std::string& folder, const UnpackOptions& options,
                    std::vector<std::string>* written = nullptr);

// Unpacks an archive given as its pieces, in order.
ArchiveError unpack_pieces(const std::vector<std::string>& pieces, const std::string& folder,
                           const UnpackOptions& options, std::vector<std::string>* written = nullptr);

} // namespace plat::archive
