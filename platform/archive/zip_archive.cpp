#include "platform/archive/zip_archive.h"
#include "platform/archive/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <cerrno>
#include <memory>
#include <set>
#include <vector>

#include "platform/sys/files.h"
#include "platform/sys/paths.h"

namespace plat::archive {

namespace {

constexpr size_t kBlock = 256 * 1024;

struct ZipCloser {
    void operator()(zip_t* z) const { zip_discard(z); }
};
using ZipPtr = std::unique_ptr<zip_t, ZipCloser>;

struct ZipFileCloser {
    void operator()(zip_file_t* f) const { zip_fclose(f); }
};
using ZipFilePtr = std::unique_ptr<zip_file_t, ZipFileCloser>;

ArchiveError FromZipError(int code) {
    switch (code) {
    case ZIP_ER_OK:
        return ArchiveError::Ok;
    case ZIP_ER_NOENT:
        return ArchiveError::NotFound;
    case ZIP_ER_NOZIP:
    case ZIP_ER_INCONS:
    case ZIP_ER_CRC:
    case ZIP_ER_ZLIB:
    case ZIP_ER_EOF:
    case ZIP_ER_COMPRESSED_DATA:
        return ArchiveError::NotAnArchive;
    case ZIP_ER_NOPASSWD:
    case ZIP_ER_WRONGPASSWD:
        return ArchiveError::WrongPassword;
    case ZIP_ER_COMPNOTSUPP:
    case ZIP_ER_ENCRNOTSUPP:
    case ZIP_ER_OPNOTSUPP:
        return ArchiveError::Unsupported;
    case ZIP_ER_CANCELLED:
        return ArchiveError::Cancelled;
    case ZIP_ER_OPEN:
    case ZIP_ER_READ:
    case ZIP_ER_SEEK:
        return ArchiveError::ReadFailed;
    default:
        return ArchiveError::WriteFailed;
    }
}

// Progress and cancel of a pack run, seen from libzip's callbacks.
struct PackState {
    const Progress* progress = nullptr;
    uint64_t total = 0;
    bool cancelled = false;
};

void OnPackProgress(zip_t*, double fraction, void* user) {
    auto* s = static_cast<PackState*>(user);
    if (*s->progress &&
        !(*s->progress)(static_cast<uint64_t>(fraction * static_cast<double>(s->total)), s->total))
        s->cancelled = true;
}

int OnPackCancel(zip_t*, void* user) {
    return static_cast<PackState*>(user)->cancelled ? 1 : 0;
}

struct Entry {
    zip_uint64_t index = 0;
    std::string target; // where it goes below the folder
    bool folder = false;
    uint64_t size = 0;
    time_t mtime = 0;
};

// Reads the directory and checks every name before anything is written.
ArchiveError ListEntries(zip_t* za, const std::string& folder, std::vector<Entry>& entries, uint64_t& total) {
    const zip_int64_t count = zip_get_num_entries(za, 0);
    if (count < 0) return ArchiveError::NotAnArchive;
    total = 0;
    std::set<std::string> targets;
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(za, static_cast<zip_uint64_t>(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME))
            return ArchiveError::NotAnArchive;
        std::string name = st.name;
        Entry e;
        e.index = static_cast<zip_uint64_t>(i);
        e.folder = !name.empty() && (name.back() == '/' || name.back() == '\\');
        if (e.folder) name.pop_back();
        // A leading separator or drive is refused by safe_join; so is "..".
        const auto target = safe_join(folder, name);
        if (!target) return ArchiveError::UnsafeEntry;
        e.target = *target;
        e.size = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
        e.mtime = (st.valid & ZIP_STAT_MTIME) ? st.mtime : 0;
        total += e.size;
        entries.push_back(std::move(e));
    }
    return ArchiveError::Ok;
}

ArchiveError ExtractEntry(zip_t* za, const Entry& e, std::vector<char>& buffer, const Progress& progress,
                          uint64_t& done, uint64_t total) {
    if (e.folder)
        return create_folder(e.target) == SysError::Success ? ArchiveError::Ok : ArchiveError::WriteFailed;
    const std::string parent = parent_path(e.target);
    if (create_folder(parent) != SysError::Success || is_folder(e.target)) return ArchiveError::WriteFailed;

    ZipFilePtr in(zip_fopen_index(za, e.index, 0));
    if (!in) return FromZipError(zip_error_code_zip(zip_get_error(za)));

    std::string temp = e.target + ".klpart-XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return ArchiveError::WriteFailed;
    ArchiveError result = ArchiveError::Ok;
    for (;;) {
        const zip_int64_t n = zip_fread(in.get(), buffer.data(), buffer.size());
        if (n < 0) {
            result = FromZipError(zip_error_code_zip(zip_file_get_error(in.get())));
            if (result == ArchiveError::Ok || result == ArchiveError::WriteFailed)
                result = ArchiveError::NotAnArchive;
            break;
        }
        if (n == 0) break;
        if (!detail::write_all(fd, buffer.data(), static_cast<size_t>(n))) {
            result = ArchiveError::WriteFailed;
            break;
        }
        done += static_cast<uint64_t>(n);
        if (progress && !progress(done, total)) {
            result = ArchiveError::Cancelled;
            break;
        }
    }
    if (result == ArchiveError::Ok) {
        fchmod(fd, 0644);
        if (e.mtime > 0) {
            const timespec times[2] = {{e.mtime, 0}, {e.mtime, 0}};
            futimens(fd, times);
        }
    }
    if (close(fd) != 0 && result == ArchiveError::Ok) result = ArchiveError::WriteFailed;
    if (result == ArchiveError::Ok && rename(temp.c_str(), e.target.c_str()) != 0)
        result = ArchiveError::WriteFailed;
    if (result != ArchiveError::Ok) unlink(temp.c_str());
    return result;
}

} // namespace

const char* archive_error_text(ArchiveError e) {
    switch (e) {
    case ArchiveError::Ok:
        return "Success";
    case ArchiveError::NotFound:
        return "The archive or one of its pieces does not exist";
    case ArchiveError::NotAnArchive:
        return "The file is not an archive or the archive is damaged";
    case ArchiveError::WrongPassword:
        return "The archive is protected and the password does not open it";
    case ArchiveError::UnsafeEntry:
        return "The archive names a file outside its folder";
    case ArchiveError::ReadFailed:
        return "The file could not be read";
    case ArchiveError::WriteFailed:
        return "The file could not be written";
    case ArchiveError::Cancelled:
        return "Cancelled";
    case ArchiveError::Unsupported:
        return "The archive uses a method this program cannot read";
    }
    return "Unknown archive error";
}

ArchiveError pack_file(const std::string& source, const std::string& archive, const PackOptions& options,
                       std::vector<std::string>* pieces) {
    if (pieces) pieces->clear();
    const auto length = file_length(source);
    if (!length || is_folder(source)) return ArchiveError::NotFound;
    if (access(source.c_str(), R_OK) != 0) return ArchiveError::ReadFailed;

    int error = 0;
    // libzip writes a temporary file beside the archive and renames it over
    // the archive only when everything was written.
    ZipPtr za(zip_open(archive.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error));
    if (!za) return ArchiveError::WriteFailed;
    zip_source_t* src = zip_source_file(za.get(), source.c_str(), 0, -1);
    if (!src) return ArchiveError::ReadFailed;
    const zip_int64_t index = zip_file_add(za.get(), file_name(source).c_str(), src, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
        zip_source_free(src);
        return ArchiveError::WriteFailed;
    }
    const int level = std::clamp(options.level, 0, 9);
    if (zip_set_file_compression(za.get(), static_cast<zip_uint64_t>(index),
                                 level == 0 ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                 static_cast<zip_uint32_t>(level)) != 0)
        return ArchiveError::Unsupported;
    if (!options.password.empty() && zip_file_set_encryption(za.get(), static_cast<zip_uint64_t>(index),
                                                             ZIP_EM_AES_256, options.password.c_str()) != 0)
        return ArchiveError::Unsupported;

    PackState state;
    state.progress = &options.progress;
    state.total = *length;
    zip_register_progress_callback_with_state(za.get(), 0.01, OnPackProgress, nullptr, &state);
    zip_register_cancel_callback_with_state(za.get(), OnPackCancel, nullptr, &state);
    if (zip_close(za.get()) != 0) {
        if (state.cancelled) return ArchiveError::Cancelled;
        const int code = zip_error_code_zip(zip_get_error(za.get()));
        return code == ZIP_ER_READ || code == ZIP_ER_OPEN ? ArchiveError::ReadFailed
                                                          : ArchiveError::WriteFailed;
    }
    za.release(); // closed
    chmod(archive.c_str(), 0644);
    return split_file(archive, options.piece_size, pieces);
}

ArchiveError unpack(const std::string& archive, const std::string& folder, const UnpackOptions& options,
                    std::vector<std::string>* written) {
    if (written) written->clear();
    if (!is_file(archive)) return ArchiveError::NotFound;
    int error = 0;
    ZipPtr za(zip_open(archive.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error));
    if (!za) {
        const ArchiveError e = FromZipError(error);
        return e == ArchiveError::WriteFailed ? ArchiveError::NotAnArchive : e;
    }
    if (!options.password.empty()) zip_set_default_password(za.get(), options.password.c_str());

    std::vector<Entry> entries;
    uint64_t total = 0;
    ArchiveError result = ListEntries(za.get(), folder, entries, total);
    if (result != ArchiveError::Ok) return result;
    if (create_folder(folder) != SysError::Success) return ArchiveError::WriteFailed;
    std::vector<char> buffer(kBlock);
    uint64_t done = 0;
    for (const Entry& e : entries) {
        result = ExtractEntry(za.get(), e, buffer, options.progress, done, total);
        if (result != ArchiveError::Ok) return result;
        if (written && !e.folder) written->push_back(e.target);
    }
    if (options.progress && !options.progress(total, total)) return ArchiveError::Cancelled;
    return ArchiveError::Ok;
}

ArchiveError unpack_pieces(const std::vector<std::string>& pieces, const std::string& folder,
                           const UnpackOptions& options, std::vector<std::string>* written) {
    if (pieces.empty()) return ArchiveError::NotFound;
    if (pieces.size() == 1) return unpack(pieces.front(), folder, options, written);
    // The joined archive lies beside the pieces and goes when the run ends.
    const std::string joined = parent_path(pieces.front()) + "/" + file_stem(pieces.front()) + ".kljoined";
    ArchiveError result = join_pieces(pieces, joined);
    if (result == ArchiveError::Ok) result = unpack(joined, folder, options, written);
    unlink(joined.c_str());
    return result;
}

} // namespace plat::archive
