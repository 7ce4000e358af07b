#include "platform/com/factory.h"

#include "platform/com/errors.h"
#include "platform/com/object.h"

namespace plat {

HRESULT ClassFactory::QueryInterface(REFIID iid, void** out) {
    return query_self<IClassFactory>(this, iid, out, {IClassFactory::kIID});
}

ULONG ClassFactory::AddRef() {
    module_add_ref();
    return 2;
}

ULONG ClassFactory::Release() {
    module_release();
    return 1;
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    try {
        return m_create(iid, out);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT ClassFactory::LockServer(BOOL lock) {
    if (lock)
        module_add_ref();
    else
        module_release();
    return S_OK;
}

} // namespace plat
