// Pieces of a split archive: a plain byte split, joined again in order.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/archive/file_io.h"
#include "platform/archive/zip_archive.h"
#include "platform/base/strings.h"
#include "platform/sys/files.h"
#include "platform/sys/paths.h"

namespace plat::archive {

namespace {

constexpr size_t kBlock = 1024 * 1024;

// Copies `length` bytes from `in` at `offset` to `out`'s current position.
ArchiveError CopyRange(int in, uint64_t offset, uint64_t length, int out, std::vector<char>& buffer) {
    while (length > 0) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(length, buffer.size()));
        const ssize_t n = pread(in, buffer.data(), want, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return ArchiveError::ReadFailed;
        if (!detail::write_all(out, buffer.data(), static_cast<size_t>(n))) return ArchiveError::WriteFailed;
        offset += static_cast<uint64_t>(n);
        length -= static_cast<uint64_t>(n);
    }
    return ArchiveError::Ok;
}

bool IsPieceName(std::string_view name, std::string_view stem) {
    if (name.size() < stem.size() + 4 || !istarts_with(name, stem)) return false;
    name.remove_prefix(stem.size());
    if (!istarts_with(name, ".Z")) return false;
    name.remove_prefix(2);
    return std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

// Pieces of an earlier archive of the same name would be taken for pieces of
// the new one (readers pass over gaps in the numbering): they all go first.
void detail::remove_old_pieces(const std::string& archive) {
    const std::string stem = file_stem(archive);
    const auto entries = list_folder(parent_path(archive), stem + ".Z*");
    if (!entries) return;
    for (const DirEntry& e : *entries)
        if (!e.is_folder() && IsPieceName(e.name, stem)) delete_file(join_path(parent_path(archive), e.name));
}

std::string piece_name(const std::string& archive, int number) {
    std::string base, extension;
    split_file_extension(archive, base, extension);
    return base + strprintf(".Z%02d", number);
}

std::vector<std::string> find_pieces(const std::string& first) {
    std::vector<std::string> pieces{first};
    for (int n = 2;; ++n) {
        const std::string piece = piece_name(first, n);
        if (!is_file(piece)) break;
        pieces.push_back(piece);
    }
    return pieces;
}

ArchiveError join_pieces(const std::vector<std::string>& pieces, const std::string& joined,
                         const Progress& progress) {
    if (pieces.empty()) return ArchiveError::NotFound;
    uint64_t total = 0;
    for (const std::string& piece : pieces) {
        const auto length = file_length(piece);
        if (!length || is_folder(piece)) return ArchiveError::NotFound;
        total += *length;
    }
    SysError err = SysError::Success;
    const auto temp = make_temp_file(parent_path(joined), ".kljoin-", &err);
    if (!temp) return ArchiveError::WriteFailed;
    ArchiveError result = ArchiveError::Ok;
    {
        detail::Fd out(open(temp->c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
        std::vector<char> buffer(kBlock);
        uint64_t done = 0;
        if (!out.ok()) result = ArchiveError::WriteFailed;
        for (size_t i = 0; result == ArchiveError::Ok && i < pieces.size(); ++i) {
            detail::Fd in(open(pieces[i].c_str(), O_RDONLY | O_CLOEXEC));
            const uint64_t length = file_length(pieces[i]).value_or(0);
            result = in.ok() ? CopyRange(in.get(), 0, length, out.get(), buffer) : ArchiveError::ReadFailed;
            done += length;
            if (result == ArchiveError::Ok && progress && !progress(done, total))
                result = ArchiveError::Cancelled;
        }
        if (result == ArchiveError::Ok && close(out.release()) != 0) result = ArchiveError::WriteFailed;
    }
    if (result == ArchiveError::Ok && rename(temp->c_str(), joined.c_str()) != 0)
        result = ArchiveError::WriteFailed;
    if (result != ArchiveError::Ok) unlink(temp->c_str());
    return result;
}

} // namespace plat::archive
