#include "platform/archive/zip_archive.h"
#include "platform/archive/file_io.h"
#include "platform/archive/protected_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <set>
#include <vector>

#include "platform/base/strings.h"
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
    std::string name;   // as the archive names it, '\\' turned into '/'
    std::string target; // where it goes below the folder
    bool folder = false;
    uint64_t size = 0;
    bool size_known = false;
    time_t mtime = 0;
    bool executable = false;
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
        e.name = name;
        std::replace(e.name.begin(), e.name.end(), '\\', '/');
        e.size_known = (st.valid & ZIP_STAT_SIZE) != 0;
        e.size = e.size_known ? st.size : 0;
        e.mtime = (st.valid & ZIP_STAT_MTIME) ? st.mtime : 0;
        // Only the execute permission is taken from the archive: the update
        // may run a program it brings. Owner, set-id and other bits are ours.
        zip_uint8_t opsys = 0;
        zip_uint32_t attributes = 0;
        if (zip_file_get_external_attributes(za, e.index, 0, &opsys, &attributes) == 0 &&
            opsys == ZIP_OPSYS_UNIX) {
            e.executable = ((attributes >> 16) & 0100) != 0;
            // A link would be unpacked as a file holding its target's name;
            // devices and pipes are no update's files either.
            const uint32_t type = (attributes >> 16) & S_IFMT;
            if (type != 0 && type != S_IFREG && type != S_IFDIR) return ArchiveError::UnsafeEntry;
        }
        total += e.size;
        entries.push_back(std::move(e));
    }
    return ArchiveError::Ok;
}

ArchiveError ExtractEntry(zip_t* za, const Entry& e, std::vector<char>& buffer, const Progress& progress,
                          uint64_t max_size, uint64_t& done, uint64_t total) {
    if (e.folder)
        return create_folder(e.target) == SysError::Success ? ArchiveError::Ok : ArchiveError::WriteFailed;
    // The header's size and the caller's limit bound what is written, so a
    // small archive cannot fill the disk however far its data inflates.
    uint64_t limit = e.size_known ? e.size : UINT64_MAX;
    if (max_size > 0) {
        if (e.size_known && e.size > max_size) return ArchiveError::TooLarge;
        limit = std::min(limit, max_size);
    }
    const std::string parent = parent_path(e.target);
    if (create_folder(parent) != SysError::Success || is_folder(e.target)) return ArchiveError::WriteFailed;

    ZipFilePtr in(zip_fopen_index(za, e.index, 0));
    if (!in) return FromZipError(zip_error_code_zip(zip_get_error(za)));

    std::string temp = e.target + ".klpart-XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return ArchiveError::WriteFailed;
    ArchiveError result = ArchiveError::Ok;
    uint64_t written = 0;
    for (;;) {
        const zip_int64_t n = zip_fread(in.get(), buffer.data(), buffer.size());
        if (n < 0) {
            result = FromZipError(zip_error_code_zip(zip_file_get_error(in.get())));
            if (result == ArchiveError::Ok || result == ArchiveError::WriteFailed)
                result = ArchiveError::NotAnArchive;
            break;
        }
        if (n == 0) break;
        if (static_cast<uint64_t>(n) > limit - written) {
            result = ArchiveError::TooLarge;
            break;
        }
        written += static_cast<uint64_t>(n);
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
        fchmod(fd, e.executable ? 0755 : 0644);
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

// The pieces of a split archive, read by libzip as one seekable stream.
class PieceSource {
  public:
    static zip_int64_t Callback(void* user, void* data, zip_uint64_t length, zip_source_cmd_t command) {
        return static_cast<PieceSource*>(user)->Command(data, length, command);
    }

    bool Init(const std::vector<std::string>& pieces) {
        for (const std::string& piece : pieces) {
            const auto length = file_length(piece);
            if (!length) return false;
            m_paths.push_back(piece);
            m_starts.push_back(m_total);
            m_total += *length;
        }
        return true;
    }

  private:
    zip_int64_t Fail(int code) {
        zip_error_set(&m_error, code, errno);
        return -1;
    }

    zip_int64_t Command(void* data, zip_uint64_t length, zip_source_cmd_t command) {
        switch (command) {
        case ZIP_SOURCE_OPEN:
            m_fds.clear();
            for (const std::string& path : m_paths) {
                m_fds.push_back(std::make_unique<detail::Fd>(open(path.c_str(), O_RDONLY | O_CLOEXEC)));
                if (!m_fds.back()->ok()) return Fail(ZIP_ER_OPEN);
            }
            m_pos = 0;
            return 0;
        case ZIP_SOURCE_READ:
            return Read(static_cast<char*>(data), length);
        case ZIP_SOURCE_CLOSE:
            m_fds.clear();
            return 0;
        case ZIP_SOURCE_STAT: {
            auto* st = static_cast<zip_stat_t*>(data);
            zip_stat_init(st);
            st->size = m_total;
            st->valid |= ZIP_STAT_SIZE;
            return sizeof(*st);
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&m_error, data, length);
        case ZIP_SOURCE_FREE:
            delete this;
            return 0;
        case ZIP_SOURCE_SEEK: {
            const zip_int64_t pos = zip_source_seek_compute_offset(m_pos, m_total, data, length, &m_error);
            if (pos < 0) return -1;
            m_pos = static_cast<uint64_t>(pos);
            return 0;
        }
        case ZIP_SOURCE_TELL:
            return static_cast<zip_int64_t>(m_pos);
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                                  ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE,
                                                  ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL, ZIP_SOURCE_SUPPORTS, -1);
        default:
            return Fail(ZIP_ER_OPNOTSUPP);
        }
    }

    zip_int64_t Read(char* out, zip_uint64_t length) {
        zip_uint64_t done = 0;
        while (done < length && m_pos < m_total) {
            // The piece that holds the current position.
            size_t i = m_starts.size() - 1;
            while (m_starts[i] > m_pos)
                --i;
            const uint64_t end = i + 1 < m_starts.size() ? m_starts[i + 1] : m_total;
            const size_t want = static_cast<size_t>(std::min<uint64_t>(length - done, end - m_pos));
            const ssize_t n =
                pread(m_fds[i]->get(), out + done, want, static_cast<off_t>(m_pos - m_starts[i]));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return Fail(ZIP_ER_READ);
            if (n == 0) return Fail(ZIP_ER_EOF); // a piece shrank under us
            done += static_cast<zip_uint64_t>(n);
            m_pos += static_cast<uint64_t>(n);
        }
        return static_cast<zip_int64_t>(done);
    }

    std::vector<std::string> m_paths;
    std::vector<uint64_t> m_starts;
    std::vector<std::unique_ptr<detail::Fd>> m_fds;
    uint64_t m_total = 0;
    uint64_t m_pos = 0;
    zip_error_t m_error{};
};

// An archive written straight into its pieces, so that each byte reaches the
// disk once. Pieces are written under temporary names beside the archive and
// take their own names only when libzip commits the archive; a failed or
// cancelled run leaves none of them. Writes go forward but for libzip's
// rewrite of the entry header, so at most the first piece and the current
// one are open.
class PieceWriter {
  public:
    PieceWriter(std::string archive, uint64_t piece_size, uint64_t max_pieces)
        : m_archive(std::move(archive)), m_pieceSize(piece_size), m_maxPieces(max_pieces) {
        zip_error_init(&m_error);
    }
    ~PieceWriter() {
        Discard();
        zip_error_fini(&m_error);
    }
    PieceWriter(const PieceWriter&) = delete;
    PieceWriter& operator=(const PieceWriter&) = delete;

    static zip_int64_t Callback(void* user, void* data, zip_uint64_t length, zip_source_cmd_t command) {
        return static_cast<PieceWriter*>(user)->Command(data, length, command);
    }
    // The pieces under their own names, once committed.
    const std::vector<std::string>& Pieces() const { return m_pieces; }
    bool TooManyPieces() const { return m_tooMany; }

  private:
    zip_int64_t Fail(int code, int sys = 0) {
        zip_error_set(&m_error, code, sys);
        return -1;
    }

    zip_int64_t Command(void* data, zip_uint64_t length, zip_source_cmd_t command) {
        switch (command) {
        case ZIP_SOURCE_STAT:
            // Always a new archive: nothing is read from an earlier one
            // (libzip takes a read error "no such file" as no archive yet).
            return Fail(ZIP_ER_READ, ENOENT);
        case ZIP_SOURCE_OPEN:
        case ZIP_SOURCE_READ:
        case ZIP_SOURCE_SEEK:
        case ZIP_SOURCE_TELL:
            return Fail(ZIP_ER_OPNOTSUPP);
        case ZIP_SOURCE_CLOSE:
        case ZIP_SOURCE_FREE:
            return 0; // the writer belongs to pack_file
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&m_error, data, length);
        case ZIP_SOURCE_BEGIN_WRITE:
            Discard();
            m_pos = m_end = 0;
            return Piece(0) < 0 ? -1 : 0;
        case ZIP_SOURCE_WRITE:
            return Write(static_cast<const char*>(data), length);
        case ZIP_SOURCE_SEEK_WRITE: {
            const zip_int64_t pos = zip_source_seek_compute_offset(m_pos, m_end, data, length, &m_error);
            if (pos < 0) return -1;
            m_pos = static_cast<uint64_t>(pos);
            return 0;
        }
        case ZIP_SOURCE_TELL_WRITE:
            return static_cast<zip_int64_t>(m_pos);
        case ZIP_SOURCE_COMMIT_WRITE:
            return Commit();
        case ZIP_SOURCE_ROLLBACK_WRITE:
            Discard();
            return 0;
        case ZIP_SOURCE_REMOVE:
            Discard();
            unlink(m_archive.c_str());
            detail::remove_old_pieces(m_archive);
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return ZIP_SOURCE_SUPPORTS_WRITABLE;
        default:
            return Fail(ZIP_ER_OPNOTSUPP);
        }
    }

    // The open descriptor of piece `i`, made when it is the next one.
    int Piece(size_t i) {
        if (i == 0 && m_first) return m_first->get();
        if (i > 0 && i == m_currentIndex && m_current) return m_current->get();
        if (m_maxPieces > 0 && i >= m_maxPieces) {
            m_tooMany = true;
            return static_cast<int>(Fail(ZIP_ER_WRITE, EFBIG));
        }
        if (i > m_temps.size()) return static_cast<int>(Fail(ZIP_ER_INTERNAL));
        int fd = -1;
        if (i == m_temps.size()) {
            const std::string name = i == 0 ? m_archive : piece_name(m_archive, static_cast<int>(i) + 1);
            std::string temp = join_path(parent_path(name), "." + file_name(name) + ".XXXXXX");
            fd = mkostemp(temp.data(), O_CLOEXEC);
            if (fd < 0) return static_cast<int>(Fail(ZIP_ER_TMPOPEN, errno));
            m_temps.push_back(std::move(temp));
        } else {
            fd = open(m_temps[i].c_str(), O_WRONLY | O_CLOEXEC);
            if (fd < 0) return static_cast<int>(Fail(ZIP_ER_WRITE, errno));
        }
        if (i == 0) {
            m_first = std::make_unique<detail::Fd>(fd);
            return fd;
        }
        m_current = std::make_unique<detail::Fd>(fd);
        m_currentIndex = i;
        return fd;
    }

    zip_int64_t Write(const char* data, zip_uint64_t length) {
        zip_uint64_t done = 0;
        while (done < length) {
            const size_t i = static_cast<size_t>(m_pos / m_pieceSize);
            const uint64_t at = m_pos % m_pieceSize;
            const size_t want = static_cast<size_t>(std::min<uint64_t>(length - done, m_pieceSize - at));
            const int fd = Piece(i);
            if (fd < 0) return -1;
            const ssize_t n = pwrite(fd, data + done, want, static_cast<off_t>(at));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return Fail(ZIP_ER_WRITE, errno);
            done += static_cast<zip_uint64_t>(n);
            m_pos += static_cast<uint64_t>(n);
            m_end = std::max(m_end, m_pos);
        }
        return static_cast<zip_int64_t>(done);
    }

    zip_int64_t Commit() {
        m_first.reset();
        m_current.reset();
        detail::remove_old_pieces(m_archive);
        std::vector<std::string> names;
        for (size_t i = 0; i < m_temps.size(); ++i) {
            const std::string name = i == 0 ? m_archive : piece_name(m_archive, static_cast<int>(i) + 1);
            if (chmod(m_temps[i].c_str(), 0644) != 0 || rename(m_temps[i].c_str(), name.c_str()) != 0) {
                const int sys = errno;
                // What was renamed already is no archive without the rest.
                for (const std::string& done : names)
                    unlink(done.c_str());
                m_temps.erase(m_temps.begin(), m_temps.begin() + static_cast<std::ptrdiff_t>(i));
                Discard();
                return Fail(ZIP_ER_RENAME, sys);
            }
            names.push_back(name);
        }
        m_temps.clear();
        m_pieces = std::move(names);
        return 0;
    }

    void Discard() {
        m_first.reset();
        m_current.reset();
        for (const std::string& temp : m_temps)
            unlink(temp.c_str());
        m_temps.clear();
    }

    std::string m_archive;
    uint64_t m_pieceSize;
    uint64_t m_maxPieces;
    std::vector<std::string> m_temps; // by piece index
    std::vector<std::string> m_pieces;
    std::unique_ptr<detail::Fd> m_first, m_current;
    size_t m_currentIndex = 0;
    uint64_t m_pos = 0, m_end = 0;
    bool m_tooMany = false;
    zip_error_t m_error;
};

zip_source_t* OpenPieceSource(const std::vector<std::string>& pieces, zip_error_t* error) {
    auto* reader = new PieceSource;
    if (!reader->Init(pieces)) {
        delete reader;
        zip_error_set(error, ZIP_ER_NOENT, 0);
        return nullptr;
    }
    // From here on libzip owns the reader and frees it with the source.
    zip_source_t* src = zip_source_function_create(&PieceSource::Callback, reader, error);
    if (!src) delete reader;
    return src;
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
    case ArchiveError::TooLarge:
        return "An archived file is larger than it may be";
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
    // the archive only when everything was written; pieces are written
    // directly, also under temporary names until the archive is complete.
    ZipPtr za;
    std::unique_ptr<PieceWriter> writer;
    if (options.piece_size > 0) {
        writer = std::make_unique<PieceWriter>(archive, options.piece_size, options.max_pieces);
        zip_error_t open_error;
        zip_error_init(&open_error);
        zip_source_t* out = zip_source_function_create(&PieceWriter::Callback, writer.get(), &open_error);
        if (out) za.reset(zip_open_from_source(out, ZIP_CREATE | ZIP_TRUNCATE, &open_error));
        if (out && !za) zip_source_free(out);
        zip_error_fini(&open_error);
    } else {
        za.reset(zip_open(archive.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error));
    }
    if (!za) return ArchiveError::WriteFailed;
    const int level = std::clamp(options.level, 0, 9);
    // A protected deflated entry comes already encrypted from our own source
    // (libzip's encoder is several times slower); stored ones go through
    // libzip, which cannot take stored data already encrypted.
    const bool own_encryption = !options.password.empty() && level > 0;
    PackState state;
    state.progress = &options.progress;
    state.total = *length;
    zip_source_t* src = nullptr;
    if (own_encryption) {
        detail::ProtectedSourceOptions protect;
        protect.path = source;
        protect.level = level;
        protect.password = options.password;
        protect.progress = &options.progress;
        protect.cancelled = &state.cancelled;
        src = detail::protected_file_source(za.get(), protect);
    } else {
        src = zip_source_file(za.get(), source.c_str(), 0, -1);
    }
    if (!src) return ArchiveError::ReadFailed;
    const zip_int64_t index = zip_file_add(za.get(), file_name(source).c_str(), src, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
        zip_source_free(src);
        return ArchiveError::WriteFailed;
    }
    if (zip_set_file_compression(za.get(), static_cast<zip_uint64_t>(index),
                                 level == 0 ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                 static_cast<zip_uint32_t>(level)) != 0)
        return ArchiveError::Unsupported;
    // Our source says it is already encrypted, so libzip is told the method
    // without the password and only writes the headers for it.
    if (!options.password.empty() &&
        zip_file_set_encryption(za.get(), static_cast<zip_uint64_t>(index), ZIP_EM_AES_256,
                                own_encryption ? nullptr : options.password.c_str()) != 0)
        return ArchiveError::Unsupported;

    if (!own_encryption) // our source reports its own progress
        zip_register_progress_callback_with_state(za.get(), 0.01, OnPackProgress, nullptr, &state);
    zip_register_cancel_callback_with_state(za.get(), OnPackCancel, nullptr, &state);
    if (zip_close(za.get()) != 0) {
        if (state.cancelled) return ArchiveError::Cancelled;
        if (writer && writer->TooManyPieces()) return ArchiveError::TooLarge;
        const int code = zip_error_code_zip(zip_get_error(za.get()));
        return code == ZIP_ER_READ || code == ZIP_ER_OPEN ? ArchiveError::ReadFailed
                                                          : ArchiveError::WriteFailed;
    }
    za.release(); // closed
    if (writer) {
        if (pieces) *pieces = writer->Pieces();
        return ArchiveError::Ok;
    }
    chmod(archive.c_str(), 0644);
    detail::remove_old_pieces(archive);
    if (pieces) pieces->assign({archive});
    return ArchiveError::Ok;
}

ArchiveError unpack(const std::string& archive, const std::string& folder, const UnpackOptions& options,
                    std::vector<std::string>* written) {
    return unpack_pieces({archive}, folder, options, written);
}

ArchiveError unpack_pieces(const std::vector<std::string>& pieces, const std::string& folder,
                           const UnpackOptions& options, std::vector<std::string>* written) {
    if (written) written->clear();
    if (pieces.empty()) return ArchiveError::NotFound;
    for (const std::string& piece : pieces)
        if (!is_file(piece)) return ArchiveError::NotFound;

    int error = 0;
    ZipPtr za;
    if (pieces.size() == 1) {
        za.reset(zip_open(pieces.front().c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error));
    } else {
        // The pieces are read as one archive where they lie: no joined copy
        // needs the disk space of the whole archive again.
        zip_error_t source_error;
        zip_error_init(&source_error);
        zip_source_t* src = OpenPieceSource(pieces, &source_error);
        if (!src) {
            error = zip_error_code_zip(&source_error);
            zip_error_fini(&source_error);
            return FromZipError(error) == ArchiveError::NotFound ? ArchiveError::NotFound
                                                                 : ArchiveError::ReadFailed;
        }
        zip_error_fini(&source_error);
        zip_error_t open_error;
        zip_error_init(&open_error);
        za.reset(zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, &open_error));
        error = zip_error_code_zip(&open_error);
        zip_error_fini(&open_error);
        if (!za) zip_source_free(src);
    }
    if (!za) {
        const ArchiveError e = FromZipError(error);
        return e == ArchiveError::WriteFailed ? ArchiveError::NotAnArchive : e;
    }
    if (!options.password.empty()) zip_set_default_password(za.get(), options.password.c_str());

    std::vector<Entry> entries;
    uint64_t total = 0;
    ArchiveError result = ListEntries(za.get(), folder, entries, total);
    if (result != ArchiveError::Ok) return result;
    if (!options.entry.empty()) {
        auto named = std::find_if(entries.begin(), entries.end(), [&](const Entry& e) {
            return !e.folder && iequals(file_name(e.name), options.entry);
        });
        if (named == entries.end()) return ArchiveError::NotFound;
        Entry only = std::move(*named);
        entries.assign(1, std::move(only));
        total = entries.front().size;
    }
    if (create_folder(folder) != SysError::Success) return ArchiveError::WriteFailed;
    std::vector<char> buffer(kBlock);
    uint64_t done = 0;
    std::vector<std::string> unpacked;
    for (const Entry& e : entries) {
        result = ExtractEntry(za.get(), e, buffer, options.progress, options.max_size, done, total);
        if (result == ArchiveError::Ok && !e.folder) unpacked.push_back(e.target);
        if (result == ArchiveError::Ok) continue;
        // A failed archive leaves none of its files behind.
        for (const std::string& path : unpacked)
            unlink(path.c_str());
        return result;
    }
    if (options.progress && !options.progress(total, total)) {
        for (const std::string& path : unpacked)
            unlink(path.c_str());
        return ArchiveError::Cancelled;
    }
    if (written) *written = std::move(unpacked);
    return ArchiveError::Ok;
}

} // namespace plat::archive
