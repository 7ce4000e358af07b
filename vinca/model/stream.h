#pragma once
// Byte streams under the tree stream: an abstract stream that keeps its
// first error (every later call does nothing), and its file and memory
// forms. Numbers are little-endian and unaligned.
//
// Reading is strict: a read that cannot deliver every byte asked for is an
// error (20202), never a partial success.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "vinca/model/errors.h"

namespace vinca {

enum StreamOrigin : int { FROM_START = 0, FROM_CURRENT = 1 };

class CVincaStream {
  public:
    CVincaStream() = default;
    CVincaStream(const CVincaStream&) = delete;
    CVincaStream& operator=(const CVincaStream&) = delete;
    virtual ~CVincaStream() = default;

    // Keeps `code` when it is non-zero and no error is kept yet; answers the
    // kept code (called with 0 it only reads it).
    virtual VResult SetError(VResult code);
    virtual void ClearError() { m_error = VE_OK; }
    // One call moves at most 65535 bytes; larger blocks go through
    // WriteBlock / ReadBlock.
    virtual VResult Write(const void* buffer, uint16_t count) = 0;
    virtual VResult Read(void* buffer, uint16_t count) = 0;
    // `offset` is signed for both origins; the new position goes to `pos`.
    virtual VResult Seek(int32_t offset, int origin, uint32_t* pos = nullptr) = 0;
    // Bytes left from the position to the end, when the stream knows it.
    // Readers check stored lengths against it before allocating.
    virtual std::optional<uint64_t> Remaining() { return std::nullopt; }

    VResult Error() { return m_error; }
    bool Failed() { return m_error != VE_OK; }

    // Blocks of any 32-bit length, in pieces of at most 32000 bytes.
    VResult WriteBlock(const void* buffer, uint32_t length);
    VResult ReadBlock(void* buffer, uint32_t length);
    // Reads `length` bytes into `out`. The text grows with the bytes that
    // actually arrive, so a damaged length cannot make it allocate more
    // than the stream holds.
    VResult ReadBytes(std::string& out, uint32_t length);
    // Skips `length` bytes forwards.
    VResult Skip(uint32_t length);
    uint32_t Position();

    void WriteU8(uint8_t v) { Put(&v, 1); }
    void WriteU16(uint16_t v) { Put(&v, 2); }
    void WriteU32(uint32_t v) { Put(&v, 4); }
    void WriteI32(int32_t v) { Put(&v, 4); }
    void WriteF32(float v) { Put(&v, 4); }
    void WriteF64(double v) { Put(&v, 8); }
    void WriteI64(int64_t v) { Put(&v, 8); }

    // Each answers false (and keeps an error) when the bytes are not there;
    // the out value is then 0.
    bool ReadU8(uint8_t& v) { return Get(v); }
    bool ReadU16(uint16_t& v) { return Get(v); }
    bool ReadU32(uint32_t& v) { return Get(v); }
    bool ReadI32(int32_t& v) { return Get(v); }
    bool ReadF32(float& v) { return Get(v); }
    bool ReadF64(double& v) { return Get(v); }
    bool ReadI64(int64_t& v) { return Get(v); }

  protected:
    // Folds what went through the windows below into the stream's own
    // position and buffers and closes them. Every operation of a stream
    // form that keeps windows starts with it; so does keeping an error.
    virtual void Settle() {}

    // Windows on the stream's own buffer: bytes ready to be read and room
    // ready to be written. Small reads and writes go through them without
    // a call; they are empty while an error is kept, so that the first
    // error still stops everything after it.
    const uint8_t* m_readNext{nullptr};
    const uint8_t* m_readEnd{nullptr};
    uint8_t* m_writeNext{nullptr};
    uint8_t* m_writeEnd{nullptr};
    VResult m_error{VE_OK};

  private:
    void Put(const void* p, size_t n) {
        if (static_cast<size_t>(m_writeEnd - m_writeNext) >= n) {
            std::memcpy(m_writeNext, p, n);
            m_writeNext += n;
        } else {
            Write(p, static_cast<uint16_t>(n));
        }
    }
    template <class T> bool Get(T& v) {
        if (static_cast<size_t>(m_readEnd - m_readNext) >= sizeof(T)) {
            std::memcpy(&v, m_readNext, sizeof(T));
            m_readNext += sizeof(T);
            return true;
        }
        if (Read(&v, sizeof(T)) == VE_OK) return true;
        v = T{};
        return false;
    }
};

// A stream over a file handle of the platform. Small reads and writes are
// gathered in a buffer; the handle's position is brought back in step on
// every seek and when the stream goes, so a borrowed handle ends where the
// stream's own position is.
class CVincaFileStream : public CVincaStream {
  public:
    enum OpenMode { OPEN_EXISTING = 10000, CREATE_ALWAYS = 10001 };
    enum Access { ACCESS_READ = 0, ACCESS_WRITE = 1, ACCESS_READ_WRITE = 2 };

    // Wraps a handle opened elsewhere; it is not closed here.
    explicit CVincaFileStream(int handle = -1) : m_handle(handle) { Track(); }
    // Opens a path: OPEN_EXISTING with `access`, or CREATE_ALWAYS
    // (read and write). A failed open keeps 20201.
    CVincaFileStream(const std::string& path, OpenMode mode, Access access = ACCESS_READ);
    ~CVincaFileStream() override;

    bool IsOpen() const { return m_handle >= 0; }
    int Handle() const { return m_handle; }

    VResult Write(const void* buffer, uint16_t count) override;
    VResult Read(void* buffer, uint16_t count) override;
    VResult Seek(int32_t offset, int origin, uint32_t* pos = nullptr) override;
    std::optional<uint64_t> Remaining() override;

  protected:
    void Settle() override;

  private:
    bool Flush();
    void DropReadAhead();
    void Track();
    // The position with what went through the windows.
    uint64_t CurrentPos() const;

    int m_handle{-1};
    // The stream's own position (up to the windows) and, for a regular
    // file, its size: kept here so that length checks cost no system call.
    uint64_t m_pos{0};
    std::optional<uint64_t> m_size;
    bool m_owns{false};
    std::vector<uint8_t> m_out; // written, not yet passed on: the first m_outLen bytes
    size_t m_outLen{0};
    std::vector<uint8_t> m_in; // read ahead
    size_t m_inPos{0};
};

// Memory in equal blocks that never move, so growth costs no copying.
class CVincaByteArray {
  public:
    explicit CVincaByteArray(uint32_t block_size = 5120) : m_blockSize(block_size ? block_size : 5120) {}

    uint32_t Length() const { return m_length; }
    uint32_t BlockSize() const { return m_blockSize; }
    // The block of that number, null when it was never made.
    uint8_t* Block(uint32_t index) const { return index < m_blocks.size() ? m_blocks[index] : nullptr; }
    // Bytes up to `length` were written in place (through a block).
    void Extend(uint32_t length) {
        if (length > m_length) m_length = length;
    }
    // Copies bytes in at `pos`, making blocks as needed; false when memory
    // runs out. The length becomes the highest position written.
    bool WriteAt(uint32_t pos, const void* data, uint32_t count);
    // Copies bytes out; false when any of them lies beyond the length.
    bool ReadAt(uint32_t pos, void* data, uint32_t count) const;
    // The whole data as one contiguous copy.
    std::vector<uint8_t> ToVector() const;
    void Clear();

  private:
    // Makes zero-filled blocks up to `count`; false when memory runs out.
    bool AddBlocks(size_t count);

    struct FreeSlab {
        void operator()(uint8_t* p) const { std::free(p); }
    };
    // Blocks are carved from slabs that grow with the store, so a large
    // store costs few allocations; a block never moves once made. Slabs
    // come from the heap, which hands back memory a tree freed before.
    std::vector<uint8_t*> m_blocks;
    std::vector<std::unique_ptr<uint8_t, FreeSlab>> m_slabs;
    uint32_t m_blockSize;
    uint32_t m_length{0};
};

// A stream over a memory store (shared or owned).
class CVincaMemStream : public CVincaStream {
  public:
    // Owns a new store of the block size.
    explicit CVincaMemStream(uint32_t block_size = 5120);
    // Works on a store the caller keeps.
    explicit CVincaMemStream(CVincaByteArray& store) : m_store(&store) {}
    // A shared store gets the length of what was written in place.
    ~CVincaMemStream() override { Settle(); }

    CVincaByteArray& Store() {
        Settle();
        return *m_store;
    }
    uint32_t Pos() const { return m_pos + Progress(); }

    VResult Write(const void* buffer, uint16_t count) override;
    VResult Read(void* buffer, uint16_t count) override;
    // Origin 0 sets the position, 1 adds to it; any other origin leaves it.
    // A position before the start is 20201.
    VResult Seek(int32_t offset, int origin, uint32_t* pos = nullptr) override;
    std::optional<uint64_t> Remaining() override;

  protected:
    void Settle() override;

  private:
    // Bytes that went through the open window since it was opened.
    uint32_t Progress() const;
    void OpenReadWindow();
    void OpenWriteWindow();

    std::unique_ptr<CVincaByteArray> m_owned;
    CVincaByteArray* m_store;
    uint32_t m_pos{0};            // up to the window
    uint8_t* m_window{nullptr};   // where the open window began
};

// A stream over bytes the caller keeps, read only (a global block handed in
// by a host, a fuzzer's input). Writes keep 20203.
class CVincaSpanStream : public CVincaStream {
  public:
    explicit CVincaSpanStream(std::span<const uint8_t> bytes) : m_bytes(bytes) { OpenWindow(); }

    VResult Write(const void* buffer, uint16_t count) override;
    VResult Read(void* buffer, uint16_t count) override;
    VResult Seek(int32_t offset, int origin, uint32_t* pos = nullptr) override;
    std::optional<uint64_t> Remaining() override { return m_bytes.size() - CurrentPos(); }

  protected:
    void Settle() override;

  private:
    uint32_t CurrentPos() const {
        return m_readNext ? static_cast<uint32_t>(m_readNext - m_bytes.data()) : m_pos;
    }
    void OpenWindow();

    std::span<const uint8_t> m_bytes;
    uint32_t m_pos{0}; // up to the window
};

// Global memory blocks (what the clipboard and hosts receive): the data of a
// store, optionally behind a uint32 prefix holding the whole block size.
using GlobalBlock = std::vector<uint8_t>;

// Refuses an empty store or one of 0x7FFFFFFF bytes or more.
std::optional<GlobalBlock> DetachToGlobal(const CVincaByteArray& store, bool length_prefix);
// Writes a block's data into the store from position 0. With a prefix the
// stored size must be at least 4 and no more than the block holds.
bool AttachFromGlobal(CVincaByteArray& store, std::span<const uint8_t> block, bool length_prefix);

} // namespace vinca
