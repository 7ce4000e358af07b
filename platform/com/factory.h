#pragma once
// Class factories: how a library hands out new objects of one class.
#include <functional>
#include <new>

#include "platform/com/unknown.h"

namespace plat {

struct IClassFactory : IUnknown {
    static constexpr IID kIID = make_guid("00000001-0000-0000-C000-000000000046");
    virtual HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out) = 0;
    virtual HRESULT LockServer(BOOL lock) = 0;

  protected:
    ~IClassFactory() = default;
};

// Makes one new object and answers the asked interface of it.
using ObjectCreator = std::function<HRESULT(REFIID iid, void** out)>;

// A creator for a class T made with `new T()` whose first reference the
// creator owns (the objects of this layer start at 1).
template <class T> ObjectCreator creator_of() {
    return [](REFIID iid, void** out) -> HRESULT {
        if (!out) return E_POINTER;
        *out = nullptr;
        T* obj = new (std::nothrow) T();
        if (!obj) return E_OUTOFMEMORY;
        HRESULT hr = obj->QueryInterface(iid, out);
        obj->Release();
        return hr;
    };
}

// A factory object with the lifetime of the process or library; its count
// only keeps the module loaded. Aggregation is not offered.
class ClassFactory final : public IClassFactory {
  public:
    explicit ClassFactory(ObjectCreator create) : m_create(std::move(create)) {}

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
    HRESULT LockServer(BOOL lock) override;

  private:
    ObjectCreator m_create;
};

} // namespace plat
