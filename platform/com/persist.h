#pragma once
// Objects that save themselves: into a stream (IPersistStream and its
// variant with InitNew), or as named values into a property bag. And saving
// or loading an object together with its class id, where loading creates
// only classes the caller names as acceptable.
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/stream.h"
#include "platform/com/variant.h"

namespace plat {

struct IPersist : IUnknown {
    static constexpr IID kIID = make_guid("0000010C-0000-0000-C000-000000000046");
    virtual HRESULT GetClassID(CLSID* out) = 0;

  protected:
    ~IPersist() = default;
};

struct IPersistStream : IPersist {
    static constexpr IID kIID = make_guid("00000109-0000-0000-C000-000000000046");
    virtual HRESULT IsDirty() = 0;
    virtual HRESULT Load(IStream* stream) = 0;
    virtual HRESULT Save(IStream* stream, BOOL clear_dirty) = 0;
    virtual HRESULT GetSizeMax(uint64_t* size) = 0;

  protected:
    ~IPersistStream() = default;
};

struct IPersistStreamInit : IPersist {
    static constexpr IID kIID = make_guid("7FD52380-4E07-101B-AE2D-08002B2EC713");
    virtual HRESULT IsDirty() = 0;
    virtual HRESULT Load(IStream* stream) = 0;
    virtual HRESULT Save(IStream* stream, BOOL clear_dirty) = 0;
    virtual HRESULT GetSizeMax(uint64_t* size) = 0;
    virtual HRESULT InitNew() = 0;

  protected:
    ~IPersistStreamInit() = default;
};

struct IErrorLog; // not offered: loaders pass null

struct IPropertyBag : IUnknown {
    static constexpr IID kIID = make_guid("55272A00-42CB-11CE-8135-00AA004BB851");
    // `value->vt` on entry names the wanted type (VT_EMPTY: as stored); a
    // missing name answers E_INVALIDARG and leaves `value` alone.
    virtual HRESULT Read(const OLECHAR* name, VARIANT* value, IErrorLog* log) = 0;
    virtual HRESULT Write(const OLECHAR* name, VARIANT* value) = 0;

  protected:
    ~IPropertyBag() = default;
};

struct IPersistPropertyBag : IPersist {
    static constexpr IID kIID = make_guid("37D84F60-42CB-11CE-8135-00AA004BB851");
    virtual HRESULT InitNew() = 0;
    virtual HRESULT Load(IPropertyBag* bag, IErrorLog* log) = 0;
    virtual HRESULT Save(IPropertyBag* bag, BOOL clear_dirty, BOOL save_all) = 0;

  protected:
    ~IPersistPropertyBag() = default;
};

// A property bag in memory: names compare without regard to case and keep
// the order in which they were first written.
class PropertyBag final : public IPropertyBag {
  public:
    static ComPtr<PropertyBag> create();

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT Read(const OLECHAR* name, VARIANT* value, IErrorLog* log) override;
    HRESULT Write(const OLECHAR* name, VARIANT* value) override;

    struct Entry {
        std::string name;
        Variant value;
    };
    const std::vector<Entry>& entries() const { return m_entries; }
    const Variant* find(std::string_view name) const;

  private:
    PropertyBag() = default;
    ~PropertyBag() = default;
    std::vector<Entry> m_entries;
    uint32_t m_refs{1};
};

// A class id as streams hold it: 16 bytes, the GUID as laid out in memory.
HRESULT write_class_id(IStream* stream, const CLSID& clsid);
// STG_E_READFAULT when fewer than 16 bytes are left.
HRESULT read_class_id(IStream* stream, CLSID& out);

// Writes the object's class id and then the object's own data, through
// IPersistStream or else IPersistStreamInit (E_NOINTERFACE, with nothing
// written, for an object with neither). A null object writes the null class id.
HRESULT save_object_to_stream(IUnknown* object, IStream* stream);

// Reads a class id and creates that class only when it is in `allowed`
// (data must not choose what code runs: anything else is E_ACCESSDENIED,
// with the stream left after the class id), then lets the new object load
// the rest. A null class id gives a null object and S_OK.
HRESULT load_object_from_stream(IStream* stream, std::span<const CLSID> allowed, REFIID iid, void** out);

} // namespace plat
