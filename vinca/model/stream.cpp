// Byte streams: kept first error, little-endian numbers, file and memory forms.
#include "vinca/model/stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <new>

namespace vinca {

static_assert(std::endian::native == std::endian::little, "the stored byte order is the machine's");

namespace {
constexpr uint32_t kPiece = 32000;
}

// ---- CVincaStream --------------------------------------------------------

VResult CVincaStream::SetError(VResult code) {
    if (code != VE_OK && m_error == VE_OK) {
        Settle();
        m_error = code;
    }
    return m_error;
}

VResult CVincaStream::WriteBlock(const void* buffer, uint32_t length) {
    const auto* p = static_cast<const uint8_t*>(buffer);
    if (length <= static_cast<size_t>(m_writeEnd - m_writeNext) && m_error == VE_OK) {
        if (length) std::memcpy(m_writeNext, p, length);
        m_writeNext += length;
        return VE_OK;
    }
    while (length && !Failed()) {
        uint32_t n = std::min(length, kPiece);
        if (Write(p, static_cast<uint16_t>(n)) != VE_OK) return SetError(VE_FILE_OUTPUT);
        p += n;
        length -= n;
    }
    return Error();
}

VResult CVincaStream::ReadBlock(void* buffer, uint32_t length) {
    auto* p = static_cast<uint8_t*>(buffer);
    if (length <= static_cast<size_t>(m_readEnd - m_readNext) && m_error == VE_OK) {
        if (length) std::memcpy(p, m_readNext, length);
        m_readNext += length;
        return VE_OK;
    }
    while (length && !Failed()) {
        uint32_t n = std::min(length, kPiece);
        if (Read(p, static_cast<uint16_t>(n)) != VE_OK) return SetError(VE_FILE_INPUT);
        p += n;
        length -= n;
    }
    return Error();
}

VResult CVincaStream::ReadBytes(std::string& out, uint32_t length) {
    // The bytes are in the window: they are there, so take them at once.
    if (length <= static_cast<size_t>(m_readEnd - m_readNext) && m_error == VE_OK) {
        try {
            out.assign(reinterpret_cast<const char*>(m_readNext), length);
        } catch (const std::bad_alloc&) {
            out.clear();
            return SetError(VE_OUT_OF_MEMORY);
        }
        m_readNext += length;
        return VE_OK;
    }
    out.clear();
    if (Failed()) return Error();
    if (auto left = Remaining(); left && *left < length) return SetError(VE_FILE_INPUT);
    try {
        while (length && !Failed()) {
            uint32_t n = std::min(length, kPiece);
            size_t at = out.size();
            out.resize(at + n);
            if (Read(out.data() + at, static_cast<uint16_t>(n)) != VE_OK) break;
            length -= n;
        }
    } catch (const std::bad_alloc&) {
        SetError(VE_OUT_OF_MEMORY);
    }
    if (Failed()) out.clear();
    return Error();
}

VResult CVincaStream::Skip(uint32_t length) {
    if (Failed()) return Error();
    if (auto left = Remaining(); left && *left < length) return SetError(VE_FILE_INPUT);
    while (length && !Failed()) {
        int32_t n = static_cast<int32_t>(std::min<uint32_t>(length, 0x40000000u));
        Seek(n, FROM_CURRENT);
        length -= static_cast<uint32_t>(n);
    }
    return Error();
}

uint32_t CVincaStream::Position() {
    uint32_t pos = 0;
    Seek(0, FROM_CURRENT, &pos);
    return pos;
}

// ---- CVincaFileStream ----------------------------------------------------

CVincaFileStream::CVincaFileStream(const std::string& path, OpenMode mode, Access access) {
    int flags = O_CLOEXEC;
    if (mode == CREATE_ALWAYS)
        flags |= O_RDWR | O_CREAT | O_TRUNC;
    else
        flags |= access == ACCESS_WRITE ? O_WRONLY : access == ACCESS_READ_WRITE ? O_RDWR : O_RDONLY;
    m_handle = ::open(path.c_str(), flags, 0644);
    m_owns = m_handle >= 0;
    if (m_handle < 0) SetError(VE_FILE_IO);
    Track();
}

void CVincaFileStream::Track() {
    struct stat st {};
    off_t cur = m_handle >= 0 ? ::lseek(m_handle, 0, SEEK_CUR) : -1;
    m_pos = cur > 0 ? static_cast<uint64_t>(cur) : 0;
    if (m_handle >= 0 && ::fstat(m_handle, &st) == 0 && S_ISREG(st.st_mode))
        m_size = static_cast<uint64_t>(st.st_size);
}

namespace {
constexpr size_t kFileBuffer = 64 * 1024;

bool write_all(int fd, const uint8_t* p, size_t left) {
    while (left) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}
} // namespace

CVincaFileStream::~CVincaFileStream() {
    Settle();
    Flush();
    DropReadAhead();
    if (m_owns && m_handle >= 0) ::close(m_handle);
}

void CVincaFileStream::Settle() {
    if (m_readNext) {
        size_t n = static_cast<size_t>(m_readNext - (m_in.data() + m_inPos));
        m_inPos += n;
        m_pos += n;
    }
    if (m_writeNext) {
        size_t n = static_cast<size_t>(m_writeNext - (m_out.data() + m_outLen));
        m_outLen += n;
        m_pos += n;
        if (m_size) m_size = std::max(*m_size, m_pos);
    }
    m_readNext = m_readEnd = nullptr;
    m_writeNext = m_writeEnd = nullptr;
}

uint64_t CVincaFileStream::CurrentPos() const {
    if (m_readNext) return m_pos + static_cast<size_t>(m_readNext - (m_in.data() + m_inPos));
    if (m_writeNext) return m_pos + static_cast<size_t>(m_writeNext - (m_out.data() + m_outLen));
    return m_pos;
}

bool CVincaFileStream::Flush() {
    if (m_outLen == 0) return true;
    bool ok = m_handle >= 0 && write_all(m_handle, m_out.data(), m_outLen);
    m_outLen = 0;
    return ok;
}

void CVincaFileStream::DropReadAhead() {
    size_t unread = m_in.size() - m_inPos;
    if (unread && m_handle >= 0) ::lseek(m_handle, -static_cast<off_t>(unread), SEEK_CUR);
    m_in.clear();
    m_inPos = 0;
}

VResult CVincaFileStream::Write(const void* buffer, uint16_t count) {
    if (Failed()) return Error();
    Settle();
    if (m_handle < 0) return SetError(VE_FILE_OUTPUT);
    DropReadAhead();
    if (m_outLen + count > kFileBuffer && !Flush()) return SetError(VE_FILE_OUTPUT);
    try {
        if (m_out.size() < kFileBuffer) m_out.resize(kFileBuffer);
    } catch (const std::bad_alloc&) {
        return SetError(VE_OUT_OF_MEMORY);
    }
    if (count) std::memcpy(m_out.data() + m_outLen, buffer, count);
    m_outLen += count;
    m_pos += count;
    if (m_size) m_size = std::max(*m_size, m_pos);
    m_writeNext = m_out.data() + m_outLen;
    m_writeEnd = m_out.data() + m_out.size();
    return VE_OK;
}

VResult CVincaFileStream::Read(void* buffer, uint16_t count) {
    if (Failed()) return Error();
    Settle();
    if (m_handle < 0 || !Flush()) return SetError(VE_FILE_INPUT);
    auto* p = static_cast<uint8_t*>(buffer);
    size_t left = count;
    while (left) {
        if (m_inPos == m_in.size()) {
            m_in.resize(kFileBuffer);
            ssize_t n;
            do
                n = ::read(m_handle, m_in.data(), m_in.size());
            while (n < 0 && errno == EINTR);
            m_in.resize(n > 0 ? static_cast<size_t>(n) : 0);
            m_inPos = 0;
            if (n <= 0) return SetError(VE_FILE_INPUT);
        }
        size_t take = std::min(left, m_in.size() - m_inPos);
        std::memcpy(p, m_in.data() + m_inPos, take);
        m_inPos += take;
        m_pos += take;
        p += take;
        left -= take;
    }
    m_readNext = m_in.data() + m_inPos;
    m_readEnd = m_in.data() + m_in.size();
    return VE_OK;
}

VResult CVincaFileStream::Seek(int32_t offset, int origin, uint32_t* pos) {
    if (Failed()) return Error();
    Settle();
    if (!Flush()) return SetError(VE_FILE_OUTPUT);
    DropReadAhead();
    int whence = origin == FROM_START ? SEEK_SET : origin == FROM_CURRENT ? SEEK_CUR : -1;
    off_t r = whence >= 0 && m_handle >= 0 ? ::lseek(m_handle, offset, whence) : -1;
    if (r < 0 || r > 0xFFFFFFFF) return SetError(VE_FILE_IO);
    m_pos = static_cast<uint64_t>(r);
    if (pos) *pos = static_cast<uint32_t>(r);
    return VE_OK;
}

std::optional<uint64_t> CVincaFileStream::Remaining() {
    if (!m_size) return std::nullopt;
    uint64_t at = CurrentPos();
    uint64_t size = std::max(*m_size, at);
    return size - at;
}

// ---- CVincaByteArray -----------------------------------------------------

bool CVincaByteArray::WriteAt(uint32_t pos, const void* data, uint32_t count) {
    if (count == 0) return true;
    // The common case: a small write inside one block that exists.
    uint32_t block = pos / m_blockSize, off = pos % m_blockSize;
    if (block < m_blocks.size() && off + count <= m_blockSize) {
        std::memcpy(m_blocks[block] + off, data, count);
        m_length = std::max(m_length, pos + count);
        return true;
    }
    uint64_t end = uint64_t(pos) + count;
    if (end > 0xFFFFFFFFull) return false;
    if (!AddBlocks(static_cast<size_t>((end + m_blockSize - 1) / m_blockSize))) return false;
    const auto* src = static_cast<const uint8_t*>(data);
    while (count) {
        uint32_t off = pos % m_blockSize;
        uint32_t n = std::min(count, m_blockSize - off);
        std::memcpy(m_blocks[pos / m_blockSize] + off, src, n);
        pos += n;
        src += n;
        count -= n;
    }
    m_length = std::max<uint32_t>(m_length, static_cast<uint32_t>(end));
    return true;
}

bool CVincaByteArray::ReadAt(uint32_t pos, void* data, uint32_t count) const {
    if (uint64_t(pos) + count > m_length) return false;
    uint32_t block = pos / m_blockSize, off = pos % m_blockSize;
    if (off + count <= m_blockSize) {
        if (count) std::memcpy(data, m_blocks[block] + off, count);
        return true;
    }
    auto* dst = static_cast<uint8_t*>(data);
    while (count) {
        uint32_t off = pos % m_blockSize;
        uint32_t n = std::min(count, m_blockSize - off);
        std::memcpy(dst, m_blocks[pos / m_blockSize] + off, n);
        pos += n;
        dst += n;
        count -= n;
    }
    return true;
}

std::vector<uint8_t> CVincaByteArray::ToVector() const {
    std::vector<uint8_t> out(m_length);
    ReadAt(0, out.data(), m_length);
    return out;
}

bool CVincaByteArray::AddBlocks(size_t count) {
    // Slabs double with the store up to 256 blocks (1.25 MB at the usual
    // block size): a small store stays small, a large one costs few calls.
    constexpr size_t kMaxSlabBlocks = 256;
    try {
        while (m_blocks.size() < count) {
            size_t want = count - m_blocks.size();
            size_t blocks = std::clamp<size_t>(std::max(m_blocks.size(), want), 1, kMaxSlabBlocks);
            m_slabs.reserve(m_slabs.size() + 1);
            m_blocks.reserve(m_blocks.size() + blocks);
            auto* data = static_cast<uint8_t*>(std::calloc(blocks, m_blockSize)); // zero-filled
            if (!data) return false;
            m_slabs.emplace_back(data);
            for (size_t i = 0; i < blocks; ++i)
                m_blocks.push_back(data + i * m_blockSize);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void CVincaByteArray::Clear() {
    m_blocks.clear();
    m_slabs.clear();
    m_length = 0;
}

// ---- CVincaMemStream -----------------------------------------------------

CVincaMemStream::CVincaMemStream(uint32_t block_size)
    : m_owned(std::make_unique<CVincaByteArray>(block_size)), m_store(m_owned.get()) {}

void CVincaMemStream::Settle() {
    uint32_t n = Progress();
    m_pos += n;
    if (m_writeNext && n) m_store->Extend(m_pos);
    m_readNext = m_readEnd = nullptr;
    m_writeNext = m_writeEnd = nullptr;
    m_window = nullptr;
}

uint32_t CVincaMemStream::Progress() const {
    if (m_readNext) return static_cast<uint32_t>(m_readNext - m_window);
    if (m_writeNext) return static_cast<uint32_t>(m_writeNext - m_window);
    return 0;
}

// The windows reach to the end of the block the position is in (for reading
// no further than the data).
void CVincaMemStream::OpenReadWindow() {
    uint32_t size = m_store->BlockSize(), index = m_pos / size, off = m_pos % size;
    uint8_t* block = m_store->Block(index);
    if (!block || m_pos >= m_store->Length()) return;
    uint32_t end = std::min<uint64_t>(size, uint64_t(m_store->Length()) - uint64_t(index) * size);
    m_window = block + off;
    m_readNext = m_window;
    m_readEnd = block + end;
}

void CVincaMemStream::OpenWriteWindow() {
    uint32_t size = m_store->BlockSize(), off = m_pos % size;
    uint8_t* block = m_store->Block(m_pos / size);
    if (!block || uint64_t(m_pos) + (size - off) > 0xFFFFFFFFull) return;
    m_window = block + off;
    m_writeNext = m_window;
    m_writeEnd = block + size;
}

VResult CVincaMemStream::Write(const void* buffer, uint16_t count) {
    if (Failed()) return Error();
    Settle();
    if (!m_store->WriteAt(m_pos, buffer, count)) return SetError(VE_OUT_OF_MEMORY);
    m_pos += count;
    OpenWriteWindow();
    return VE_OK;
}

VResult CVincaMemStream::Read(void* buffer, uint16_t count) {
    if (Failed()) return Error();
    Settle();
    if (!m_store->ReadAt(m_pos, buffer, count)) return SetError(VE_FILE_INPUT);
    m_pos += count;
    OpenReadWindow();
    return VE_OK;
}

VResult CVincaMemStream::Seek(int32_t offset, int origin, uint32_t* pos) {
    if (Failed()) return Error();
    Settle();
    int64_t target = m_pos;
    if (origin == FROM_START)
        target = offset;
    else if (origin == FROM_CURRENT)
        target = int64_t(m_pos) + offset;
    if (target < 0 || target > 0xFFFFFFFFll) return SetError(VE_FILE_IO);
    m_pos = static_cast<uint32_t>(target);
    if (pos) *pos = m_pos;
    return VE_OK;
}

std::optional<uint64_t> CVincaMemStream::Remaining() {
    uint32_t at = Pos();
    uint32_t length = std::max(m_store->Length(), m_writeNext ? at : 0u);
    return at >= length ? 0 : length - at;
}

// ---- CVincaSpanStream ----------------------------------------------------

void CVincaSpanStream::Settle() {
    m_pos = CurrentPos();
    m_readNext = m_readEnd = nullptr;
}

void CVincaSpanStream::OpenWindow() {
    if (m_error != VE_OK || m_pos >= m_bytes.size()) return;
    m_readNext = m_bytes.data() + m_pos;
    m_readEnd = m_bytes.data() + m_bytes.size();
}

VResult CVincaSpanStream::Write(const void*, uint16_t) {
    return SetError(VE_FILE_OUTPUT);
}

VResult CVincaSpanStream::Read(void* buffer, uint16_t count) {
    if (Failed()) return Error();
    Settle();
    if (uint64_t(m_pos) + count > m_bytes.size()) return SetError(VE_FILE_INPUT);
    if (count) std::memcpy(buffer, m_bytes.data() + m_pos, count);
    m_pos += count;
    OpenWindow();
    return VE_OK;
}

VResult CVincaSpanStream::Seek(int32_t offset, int origin, uint32_t* pos) {
    if (Failed()) return Error();
    Settle();
    int64_t target = origin == FROM_START ? int64_t(offset) : int64_t(m_pos) + offset;
    if (origin != FROM_START && origin != FROM_CURRENT) target = m_pos;
    if (target < 0 || uint64_t(target) > m_bytes.size()) return SetError(VE_FILE_IO);
    m_pos = static_cast<uint32_t>(target);
    if (pos) *pos = m_pos;
    OpenWindow();
    return VE_OK;
}

// ---- global blocks -------------------------------------------------------

std::optional<GlobalBlock> DetachToGlobal(const CVincaByteArray& store, bool length_prefix) {
    uint32_t len = store.Length();
    if (len == 0 || len >= 0x7FFFFFFF - 4) return std::nullopt;
    try {
        GlobalBlock block(len + (length_prefix ? 4 : 0));
        uint8_t* data = block.data();
        if (length_prefix) {
            uint32_t total = len + 4;
            std::memcpy(data, &total, 4);
            data += 4;
        }
        if (!store.ReadAt(0, data, len)) return std::nullopt;
        return block;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

bool AttachFromGlobal(CVincaByteArray& store, std::span<const uint8_t> block, bool length_prefix) {
    std::span<const uint8_t> data = block;
    if (length_prefix) {
        uint32_t total = 0;
        if (block.size() < 4) return false;
        std::memcpy(&total, block.data(), 4);
        if (total < 4 || total > block.size()) return false;
        data = block.subspan(4, total - 4);
    }
    if (data.size() > 0xFFFFFFFFull) return false;
    return store.WriteAt(0, data.data(), static_cast<uint32_t>(data.size()));
}

} // namespace vinca
