// The control data file.
#include "vinca/model/data_file.h"

#include <algorithm>
#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/com/prop_exchange.h"
#include "platform/com/stream.h"

namespace vinca {

using namespace plat;

CMappedFile::~CMappedFile() {
    Close();
}

bool CMappedFile::Open(const std::filesystem::path& path) {
    Close();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= 0x7FFFFFFF;
    void* view = nullptr;
    if (ok && st.st_size > 0) {
        view = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ | PROT_WRITE, MAP_PRIVATE, fd, 0);
        ok = view != MAP_FAILED;
    }
    ::close(fd);
    if (!ok) return false;
    m_data = static_cast<uint8_t*>(view);
    m_size = static_cast<uint32_t>(st.st_size);
    m_pos = 0;
    m_open = true;
    return true;
}

void CMappedFile::Close() {
    if (m_data) ::munmap(m_data, m_size);
    m_data = nullptr;
    m_size = 0;
    m_pos = 0;
    m_open = false;
}

uint32_t CMappedFile::Read(void* buffer, uint32_t count) {
    uint32_t n = std::min(count, Size() - std::min(m_pos, Size()));
    if (n) std::memcpy(buffer, m_data + m_pos, n);
    m_pos += n;
    return n;
}

uint32_t CMappedFile::Write(const void* buffer, uint32_t count) {
    uint32_t n = std::min(count, Size() - std::min(m_pos, Size()));
    if (n) std::memcpy(m_data + m_pos, buffer, n);
    m_pos += n;
    return n;
}

bool CMappedFile::Seek(int32_t offset, int origin) {
    int64_t target = origin == 0 ? offset : origin == 1 ? int64_t(m_pos) + offset : int64_t(Size()) + offset;
    bool ok = origin == 0   ? (offset >= 0 && target < Size())
              : origin == 1 ? (target >= 0 && target < Size())
              : origin == 2 ? (offset <= 0 && target >= 0)
                            : false;
    if (ok) m_pos = static_cast<uint32_t>(target);
    return ok;
}

void CMappedFile::Replace(const void* pattern, const void* replacement, uint32_t length) {
    if (length == 0 || Size() < length) return;
    for (uint32_t at = 0; at + length <= Size(); ++at)
        if (std::memcmp(m_data + at, pattern, length) == 0) std::memcpy(m_data + at, replacement, length);
}

int SaveDataFile(const std::filesystem::path& path, IPersistTarget& target) {
    std::filesystem::path temp = path;
    temp += ".saving";
    try {
        ComPtr<IStream> stream;
        if (FAILED(open_file_stream(temp, FileStreamMode::Create, stream))) return 1;
        bool ok = SUCCEEDED(write_class_id(stream.get(), CLSID_VincaControl));
        if (ok) {
            StreamExchange px(stream.get(), false);
            ExchangeProperties(px, target);
            ok = SUCCEEDED(px.finish());
        }
        stream.reset();
        std::error_code ec;
        if (ok) std::filesystem::rename(temp, path, ec);
        if (!ok || ec) {
            std::filesystem::remove(temp, ec);
            return 1;
        }
        return 0;
    } catch (...) {
        std::error_code ec;
        std::filesystem::remove(temp, ec);
        return 1;
    }
}

namespace {

// Whether the file starts with the class id of this control or of the
// earlier one: 16 bytes read, nothing more.
bool StartsWithControlClassId(const std::filesystem::path& path, bool& opened) {
    opened = false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    opened = true;
    CLSID head{};
    size_t got = 0;
    while (got < sizeof head) {
        const ssize_t n = ::read(fd, reinterpret_cast<char*>(&head) + got, sizeof head - got);
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    return got == sizeof head && (head == CLSID_VincaControl || head == CLSID_OldVincaControl);
}

// The bytes of a mapped file from an offset on, as a read-only stream; the
// mapping must outlive it.
class MappedStream final : public IStream {
  public:
    explicit MappedStream(std::span<const uint8_t> bytes) : m_bytes(bytes) {}
    HRESULT QueryInterface(REFIID iid, void** out) override {
        return query_self<IStream>(this, iid, out, {ISequentialStream::kIID, IStream::kIID});
    }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT Read(void* buffer, uint32_t count, uint32_t* read) override {
        const uint64_t left = m_pos < m_bytes.size() ? m_bytes.size() - m_pos : 0;
        const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(count, left));
        if (n) std::memcpy(buffer, m_bytes.data() + m_pos, n);
        m_pos += n;
        if (read) *read = n;
        return S_OK;
    }
    HRESULT Write(const void*, uint32_t, uint32_t* written) override {
        if (written) *written = 0;
        return STG_E_ACCESSDENIED;
    }
    HRESULT Seek(int64_t move, uint32_t origin, uint64_t* new_position) override {
        const int64_t base = origin == STREAM_SEEK_SET   ? 0
                             : origin == STREAM_SEEK_CUR ? static_cast<int64_t>(m_pos)
                             : origin == STREAM_SEEK_END ? static_cast<int64_t>(m_bytes.size())
                                                         : -1;
        if (base < 0 || base + move < 0) return STG_E_INVALIDFUNCTION;
        m_pos = static_cast<uint64_t>(base + move);
        if (new_position) *new_position = m_pos;
        return S_OK;
    }
    HRESULT SetSize(uint64_t) override { return STG_E_ACCESSDENIED; }
    HRESULT CopyTo(IStream*, uint64_t, uint64_t*, uint64_t*) override { return E_NOTIMPL; }
    HRESULT Commit(uint32_t) override { return S_OK; }
    HRESULT Revert() override { return S_OK; }
    HRESULT LockRegion(uint64_t, uint64_t, uint32_t) override { return STG_E_INVALIDFUNCTION; }
    HRESULT UnlockRegion(uint64_t, uint64_t, uint32_t) override { return STG_E_INVALIDFUNCTION; }
    HRESULT Stat(STATSTG* out, uint32_t) override {
        if (!out) return STG_E_INVALIDPOINTER;
        *out = STATSTG{};
        out->type = STGTY_STREAM;
        out->cbSize = m_bytes.size();
        return S_OK;
    }
    HRESULT Clone(IStream** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }

  private:
    std::span<const uint8_t> m_bytes;
    uint64_t m_pos{0};
};

} // namespace

int LoadDataFile(const std::filesystem::path& path, IPersistTarget& target) {
    try {
        bool opened = false;
        if (!StartsWithControlClassId(path, opened)) return opened ? 4 : 1;
        CMappedFile file;
        if (!file.Open(path)) return 1;
        file.Replace(&CLSID_OldVincaControl, &CLSID_VincaControl, sizeof(CLSID));
        file.Replace(&CLSID_OldTreeObject, &CLSID_TreeSerializeObject, sizeof(CLSID));
        CLSID head;
        if (file.Read(&head, sizeof head) != sizeof head || !(head == CLSID_VincaControl)) return 4;
        MappedStream stream(file.Data().subspan(sizeof(CLSID)));
        StreamExchange px(&stream, true);
        if (FAILED(px.status())) return 1;
        ExchangeProperties(px, target);
        return FAILED(px.status()) ? 1 : 0;
    } catch (...) {
        return 2;
    }
}

} // namespace vinca
