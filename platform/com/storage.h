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

using SNB = OLECHAR**; // names left out of a copy (null-terminated list)
struct IEnumSTATSTG;
constexpr uint32_t STGTY_STORAGE = 1;

// The standard method order of structured storage; the reserved arguments
// are 0 (or null).
struct IStorage : IUnknown {
    static constexpr IID kIID = make_guid("0000000B-0000-0000-C000-000000000046");
    // A new stream, or with STGM_CREATE one that replaces an element of that
    // name; STG_E_FILEALREADYEXISTS otherwise.
    virtual HRESULT CreateStream(const OLECHAR* name, uint32_t mode, uint32_t reserved1, uint32_t reserved2,
                                 IStream** out) = 0;
    // The stream at its start; STG_E_FILENOTFOUND when there is none.
    virtual HRESULT OpenStream(const OLECHAR* name, void* reserved1, uint32_t mode, uint32_t reserved2,
                               IStream** out) = 0;
    virtual HRESULT CreateStorage(const OLECHAR* name, uint32_t mode, uint32_t reserved1, uint32_t reserved2,
                                  IStorage** out) = 0;
    virtual HRESULT OpenStorage(const OLECHAR* name, IStorage* priority, uint32_t mode, SNB exclude,
                                uint32_t reserved, IStorage** out) = 0;
    virtual HRESULT CopyTo(uint32_t exclude_count, const IID* exclude_iids, SNB exclude_names, IStorage* dest) = 0;
    virtual HRESULT MoveElementTo(const OLECHAR* name, IStorage* dest, const OLECHAR* new_name,
                                  uint32_t flags) = 0;
    virtual HRESULT Commit(uint32_t flags) = 0;
    virtual HRESULT Revert() = 0;
    virtual HRESULT EnumElements(uint32_t reserved1, void* reserved2, uint32_t reserved3, IEnumSTATSTG** out) = 0;
    virtual HRESULT DestroyElement(const OLECHAR* name) = 0;
    virtual HRESULT RenameElement(const OLECHAR* old_name, const OLECHAR* new_name) = 0;
    virtual HRESULT SetElementTimes(const OLECHAR* name, const FILETIME* created, const FILETIME* accessed,
                                    const FILETIME* modified) = 0;
    virtual HRESULT SetClass(REFCLSID clsid) = 0;
    virtual HRESULT SetStateBits(uint32_t bits, uint32_t mask) = 0;
    virtual HRESULT Stat(STATSTG* out, uint32_t flags) = 0;

  protected:
    ~IStorage() = default;
};

// An empty storage; its first reference belongs to the caller.
ComPtr<IStorage> create_memory_storage();

} // namespace plat
