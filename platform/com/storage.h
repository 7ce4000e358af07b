#pragma once
// Structured storage kept in memory: a tree of named streams and nested
// storages, as objects embedded in rich text ask their container for. Names
// compare without regard to case. Nothing is ever written to a file; commit
// and revert have nothing to do.
#include <cstdint>

#include "platform/com/stream.h"
#include "platform/com/unknown.h"

namespace plat {

// Access and creation flags of the open calls.
enum : uint32_t {
    STGM_READ = 0x0,
    STGM_WRITE = 0x1,
    STGM_READWRITE = 0x2,
    STGM_SHARE_EXCLUSIVE = 0x10,
    STGM_CREATE = 0x1000,
};

constexpr HRESULT STG_E_FILEALREADYEXISTS = make_hresult(0x80030050u);
constexpr HRESULT STG_E_INVALIDNAME = make_hresult(0x800300FCu);

struct IStorage : IUnknown {
    static constexpr IID kIID = make_guid("0000000B-0000-0000-C000-000000000046");
    // A new stream, or with STGM_CREATE one that replaces an element of that
    // name; STG_E_FILEALREADYEXISTS otherwise.
    virtual HRESULT CreateStream(const OLECHAR* name, uint32_t mode, IStream** out) = 0;
    // The stream at its start; STG_E_FILENOTFOUND when there is none.
    virtual HRESULT OpenStream(const OLECHAR* name, uint32_t mode, IStream** out) = 0;
    virtual HRESULT CreateStorage(const OLECHAR* name, uint32_t mode, IStorage** out) = 0;
    virtual HRESULT OpenStorage(const OLECHAR* name, uint32_t mode, IStorage** out) = 0;
    virtual HRESULT DestroyElement(const OLECHAR* name) = 0;
    virtual HRESULT Commit(uint32_t flags) = 0;
    virtual HRESULT Revert() = 0;

  protected:
    ~IStorage() = default;
};

// An empty storage; its first reference belongs to the caller.
ComPtr<IStorage> create_memory_storage();

} // namespace plat
