#pragma once
// Byte streams as components exchange them: a sequential reader/writer with
// a signed 64-bit seek, in a memory form and a file form.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "platform/com/unknown.h"

namespace plat {

struct ISequentialStream : IUnknown {
    static constexpr IID kIID = make_guid("0C733A30-2A1C-11CE-ADE5-00AA0044773D");
    // A read past the end answers S_OK with fewer bytes (possibly none).
    virtual HRESULT Read(void* buffer, uint32_t count, uint32_t* read) = 0;
    virtual HRESULT Write(const void* buffer, uint32_t count, uint32_t* written) = 0;

  protected:
    ~ISequentialStream() = default;
};

enum StreamSeek : uint32_t {
    STREAM_SEEK_SET = 0,
    STREAM_SEEK_CUR = 1,
    STREAM_SEEK_END = 2,
};

constexpr uint32_t STGTY_STREAM = 2;
constexpr uint32_t STATFLAG_DEFAULT = 0;
constexpr uint32_t STATFLAG_NONAME = 1;

struct FILETIME {
    uint32_t dwLowDateTime{0};
    uint32_t dwHighDateTime{0};
};

// The whole record a container's stream fills: a caller's Stat may be
// answered by a stream written to the standard layout.
struct STATSTG {
    OLECHAR* pwcsName; // with STATFLAG_DEFAULT: the name, which the caller frees with free_stat_name
    uint32_t type;
    uint64_t cbSize;
    FILETIME mtime;
    FILETIME ctime;
    FILETIME atime;
    uint32_t grfMode;
    uint32_t grfLocksSupported;
    GUID clsid;
    uint32_t grfStateBits;
    uint32_t reserved;
};

void free_stat_name(STATSTG& stat);

struct IStream : ISequentialStream {
    static constexpr IID kIID = make_guid("0000000C-0000-0000-C000-000000000046");
    // A position before the start is refused (STG_E_INVALIDFUNCTION) and the
    // position is kept; a position past the end is allowed.
    virtual HRESULT Seek(int64_t move, uint32_t origin, uint64_t* new_position) = 0;
    virtual HRESULT SetSize(uint64_t size) = 0;
    virtual HRESULT CopyTo(IStream* target, uint64_t count, uint64_t* read, uint64_t* written) = 0;
    virtual HRESULT Commit(uint32_t flags) = 0;
    virtual HRESULT Revert() = 0;
    virtual HRESULT LockRegion(uint64_t offset, uint64_t count, uint32_t type) = 0;
    virtual HRESULT UnlockRegion(uint64_t offset, uint64_t count, uint32_t type) = 0;
    virtual HRESULT Stat(STATSTG* out, uint32_t flags) = 0;
    virtual HRESULT Clone(IStream** out) = 0;

  protected:
    ~IStream() = default;
};

// A stream over bytes in memory, positioned at the start. Clones share the
// bytes and have a position of their own.
ComPtr<IStream> create_memory_stream(std::vector<uint8_t> initial = {});
// The bytes of a stream made by create_memory_stream; empty for any other.
std::vector<uint8_t> memory_stream_bytes(IStream* stream);

enum class FileStreamMode {
    Read,      // an existing file, read only
    ReadWrite, // an existing file
    Create,    // a new or truncated file
};
// STG_E_FILENOTFOUND, STG_E_ACCESSDENIED or STG_E_INVALIDPARAMETER on failure.
HRESULT open_file_stream(const std::filesystem::path& path, FileStreamMode mode, ComPtr<IStream>& out);

// Reads exactly `count` bytes: a short read is STG_E_READFAULT, for callers
// whose data has a fixed layout.
HRESULT read_exact(IStream* stream, void* buffer, uint32_t count);
// Writes all bytes: a short write is STG_E_WRITEFAULT.
HRESULT write_all(IStream* stream, const void* buffer, uint32_t count);

} // namespace plat
