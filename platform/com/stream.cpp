#include "platform/com/stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/base/strings.h"
#include "platform/com/errors.h"
#include "platform/com/object.h"

namespace plat {

void free_stat_name(STATSTG& stat) {
    std::free(stat.pwcsName);
    stat.pwcsName = nullptr;
}

namespace {

// Where a seek lands, or why it cannot.
HRESULT seek_target(int64_t base, int64_t move, uint32_t origin, uint64_t size, uint64_t current,
                    int64_t& out) {
    int64_t from;
    switch (origin) {
    case STREAM_SEEK_SET:
        from = 0;
        break;
    case STREAM_SEEK_CUR:
        from = static_cast<int64_t>(current);
        break;
    case STREAM_SEEK_END:
        from = static_cast<int64_t>(size);
        break;
    default:
        return STG_E_INVALIDFUNCTION;
    }
    (void)base;
    if ((move > 0 && from > std::numeric_limits<int64_t>::max() - move) || from + move < 0)
        return STG_E_INVALIDFUNCTION;
    out = from + move;
    return S_OK;
}

OLECHAR* stat_name(std::string_view name) {
    std::u16string w = utf8_to_utf16(name);
    auto* p = static_cast<OLECHAR*>(std::calloc(w.size() + 1, sizeof(OLECHAR)));
    if (p) std::memcpy(p, w.data(), w.size() * sizeof(OLECHAR));
    return p;
}

// What both forms share: the interface plumbing and CopyTo.
class StreamBase : public IStream, public CountedObject {
  public:
    HRESULT QueryInterface(REFIID iid, void** out) override {
        return query_self<IStream>(this, iid, out, {ISequentialStream::kIID, IStream::kIID});
    }
    ULONG AddRef() override { return add_ref(); }
    ULONG Release() override { return release_ref(); }

    HRESULT CopyTo(IStream* target, uint64_t count, uint64_t* read, uint64_t* written) override {
        if (read) *read = 0;
        if (written) *written = 0;
        if (!target) return STG_E_INVALIDPOINTER;
        uint8_t buf[16384];
        while (count > 0) {
            uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(count, sizeof buf));
            uint32_t got = 0;
            HRESULT hr = Read(buf, want, &got);
            if (FAILED(hr)) return hr;
            if (read) *read += got;
            if (got == 0) break;
            uint32_t put = 0;
            hr = target->Write(buf, got, &put);
            if (written) *written += put;
            if (FAILED(hr)) return hr;
            if (put != got) return STG_E_WRITEFAULT;
            count -= got;
        }
        return S_OK;
    }
    HRESULT Commit(uint32_t) override { return S_OK; }
    HRESULT Revert() override { return S_OK; }
    HRESULT LockRegion(uint64_t, uint64_t, uint32_t) override { return STG_E_INVALIDFUNCTION; }
    HRESULT UnlockRegion(uint64_t, uint64_t, uint32_t) override { return STG_E_INVALIDFUNCTION; }
};

// ---- memory ----

// Streams past this size are refused: automation sizes are 32-bit.
constexpr uint64_t kMaxMemoryStream = 0x7FFFFFFF;

class MemoryStream final : public StreamBase {
  public:
    explicit MemoryStream(std::shared_ptr<std::vector<uint8_t>> data) : m_data(std::move(data)) {}

    HRESULT Read(void* buffer, uint32_t count, uint32_t* read) override {
        if (read) *read = 0;
        if (!buffer && count) return STG_E_INVALIDPOINTER;
        const uint64_t size = m_data->size();
        const uint64_t n = m_pos >= size ? 0 : std::min<uint64_t>(count, size - m_pos);
        if (n) std::memcpy(buffer, m_data->data() + m_pos, n);
        m_pos += n;
        if (read) *read = static_cast<uint32_t>(n);
        return S_OK;
    }

    HRESULT Write(const void* buffer, uint32_t count, uint32_t* written) override {
        if (written) *written = 0;
        if (!buffer && count) return STG_E_INVALIDPOINTER;
        if (m_pos + count > kMaxMemoryStream) return STG_E_MEDIUMFULL;
        try {
            if (m_pos + count > m_data->size()) m_data->resize(m_pos + count);
        } catch (const std::bad_alloc&) {
            return STG_E_MEDIUMFULL;
        }
        if (count) std::memcpy(m_data->data() + m_pos, buffer, count);
        m_pos += count;
        if (written) *written = count;
        return S_OK;
    }

    HRESULT Seek(int64_t move, uint32_t origin, uint64_t* new_position) override {
        int64_t to;
        HRESULT hr = seek_target(0, move, origin, m_data->size(), m_pos, to);
        if (FAILED(hr)) return hr;
        m_pos = static_cast<uint64_t>(to);
        if (new_position) *new_position = m_pos;
        return S_OK;
    }

    HRESULT SetSize(uint64_t size) override {
        if (size > kMaxMemoryStream) return STG_E_MEDIUMFULL;
        try {
            m_data->resize(size);
        } catch (const std::bad_alloc&) {
            return STG_E_MEDIUMFULL;
        }
        return S_OK;
    }

    HRESULT Stat(STATSTG* out, uint32_t flags) override {
        if (!out) return STG_E_INVALIDPOINTER;
        *out = STATSTG{};
        out->type = STGTY_STREAM;
        out->cbSize = m_data->size();
        return S_OK;
        (void)flags;
    }

    HRESULT Clone(IStream** out) override {
        if (!out) return STG_E_INVALIDPOINTER;
        auto* copy = new MemoryStream(m_data);
        copy->m_pos = m_pos;
        *out = copy;
        return S_OK;
    }

    const std::vector<uint8_t>& bytes() const { return *m_data; }

  private:
    std::shared_ptr<std::vector<uint8_t>> m_data;
    uint64_t m_pos{0};
};

// ---- file ----

class FileStream final : public StreamBase {
  public:
    FileStream(int fd, std::filesystem::path path, bool writable)
        : m_fd(fd), m_path(std::move(path)), m_writable(writable) {}
    ~FileStream() override {
        if (m_fd >= 0) ::close(m_fd);
    }

    HRESULT Read(void* buffer, uint32_t count, uint32_t* read) override {
        if (read) *read = 0;
        if (!buffer && count) return STG_E_INVALIDPOINTER;
        uint32_t done = 0;
        while (done < count) {
            ssize_t n = ::pread(m_fd, static_cast<char*>(buffer) + done, count - done, m_pos);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return STG_E_READFAULT;
            if (n == 0) break;
            done += static_cast<uint32_t>(n);
            m_pos += static_cast<uint64_t>(n);
        }
        if (read) *read = done;
        return S_OK;
    }

    HRESULT Write(const void* buffer, uint32_t count, uint32_t* written) override {
        if (written) *written = 0;
        if (!buffer && count) return STG_E_INVALIDPOINTER;
        if (!m_writable) return STG_E_ACCESSDENIED;
        uint32_t done = 0;
        while (done < count) {
            ssize_t n = ::pwrite(m_fd, static_cast<const char*>(buffer) + done, count - done, m_pos);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                if (written) *written = done;
                return errno == ENOSPC ? STG_E_MEDIUMFULL : STG_E_WRITEFAULT;
            }
            done += static_cast<uint32_t>(n);
            m_pos += static_cast<uint64_t>(n);
        }
        if (written) *written = done;
        return S_OK;
    }

    HRESULT Seek(int64_t move, uint32_t origin, uint64_t* new_position) override {
        uint64_t size = 0;
        if (origin == STREAM_SEEK_END) {
            struct stat st {};
            if (::fstat(m_fd, &st) != 0) return STG_E_SEEKERROR;
            size = static_cast<uint64_t>(st.st_size);
        }
        int64_t to;
        HRESULT hr = seek_target(0, move, origin, size, m_pos, to);
        if (FAILED(hr)) return hr;
        m_pos = static_cast<uint64_t>(to);
        if (new_position) *new_position = m_pos;
        return S_OK;
    }

    HRESULT SetSize(uint64_t size) override {
        if (!m_writable) return STG_E_ACCESSDENIED;
        if (size > static_cast<uint64_t>(std::numeric_limits<off_t>::max()) ||
            ::ftruncate(m_fd, static_cast<off_t>(size)) != 0)
            return STG_E_MEDIUMFULL;
        return S_OK;
    }

    HRESULT Commit(uint32_t) override { return m_writable && ::fsync(m_fd) != 0 ? STG_E_WRITEFAULT : S_OK; }

    HRESULT Stat(STATSTG* out, uint32_t flags) override {
        if (!out) return STG_E_INVALIDPOINTER;
        *out = STATSTG{};
        struct stat st {};
        if (::fstat(m_fd, &st) != 0) return STG_E_ACCESSDENIED;
        out->type = STGTY_STREAM;
        out->cbSize = static_cast<uint64_t>(st.st_size);
        if (!(flags & STATFLAG_NONAME)) out->pwcsName = stat_name(m_path.string());
        return S_OK;
    }

    HRESULT Clone(IStream** out) override {
        if (!out) return STG_E_INVALIDPOINTER;
        *out = nullptr;
        int fd = ::dup(m_fd);
        if (fd < 0) return STG_E_INSUFFICIENTMEMORY;
        auto* copy = new FileStream(fd, m_path, m_writable);
        copy->m_pos = m_pos;
        *out = copy;
        return S_OK;
    }

  private:
    int m_fd;
    std::filesystem::path m_path;
    bool m_writable;
    uint64_t m_pos{0};
};

} // namespace

ComPtr<IStream> create_memory_stream(std::vector<uint8_t> initial) {
    return ComPtr<IStream>::adopt(
        new MemoryStream(std::make_shared<std::vector<uint8_t>>(std::move(initial))));
}

std::vector<uint8_t> memory_stream_bytes(IStream* stream) {
    if (auto* m = dynamic_cast<MemoryStream*>(stream)) return m->bytes();
    return {};
}

HRESULT open_file_stream(const std::filesystem::path& path, FileStreamMode mode, ComPtr<IStream>& out) {
    out.reset();
    if (path.empty()) return STG_E_INVALIDPARAMETER;
    int flags = O_CLOEXEC;
    switch (mode) {
    case FileStreamMode::Read:
        flags |= O_RDONLY;
        break;
    case FileStreamMode::ReadWrite:
        flags |= O_RDWR;
        break;
    case FileStreamMode::Create:
        flags |= O_RDWR | O_CREAT | O_TRUNC;
        break;
    }
    int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0) {
        switch (errno) {
        case ENOENT:
        case ENOTDIR:
            return STG_E_FILENOTFOUND;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
            return STG_E_ACCESSDENIED;
        default:
            return STG_E_INVALIDPARAMETER;
        }
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return STG_E_ACCESSDENIED;
    }
    out = ComPtr<IStream>::adopt(new FileStream(fd, path, mode != FileStreamMode::Read));
    return S_OK;
}

HRESULT read_exact(IStream* stream, void* buffer, uint32_t count) {
    if (!stream) return STG_E_INVALIDPOINTER;
    uint32_t got = 0;
    HRESULT hr = stream->Read(buffer, count, &got);
    if (FAILED(hr)) return hr;
    return got == count ? S_OK : STG_E_READFAULT;
}

HRESULT write_all(IStream* stream, const void* buffer, uint32_t count) {
    if (!stream) return STG_E_INVALIDPOINTER;
    uint32_t put = 0;
    HRESULT hr = stream->Write(buffer, count, &put);
    if (FAILED(hr)) return hr;
    return put == count ? S_OK : STG_E_WRITEFAULT;
}

} // namespace plat
