#include "platform/com/persist.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/base/strings.h"
#include "platform/com/errors.h"
#include "platform/com/loader.h"
#include "platform/com/object.h"

namespace plat {

ComPtr<PropertyBag> PropertyBag::create() {
    module_add_ref();
    return ComPtr<PropertyBag>::adopt(new PropertyBag());
}

HRESULT PropertyBag::QueryInterface(REFIID iid, void** out) {
    return query_self<IPropertyBag>(this, iid, out, {IPropertyBag::kIID});
}

ULONG PropertyBag::AddRef() {
    return ++m_refs;
}

ULONG PropertyBag::Release() {
    const ULONG n = --m_refs;
    if (n == 0) {
        delete this;
        module_release();
    }
    return n;
}

const Variant* PropertyBag::find(std::string_view name) const {
    for (const auto& e : m_entries)
        if (iequals(e.name, name)) return &e.value;
    return nullptr;
}

HRESULT PropertyBag::Read(const OLECHAR* name, VARIANT* value, IErrorLog*) {
    if (!name || !value) return E_POINTER;
    const Variant* stored = find(utf16_to_utf8(name));
    if (!stored) return E_INVALIDARG;
    if (value->vt == VT_EMPTY) return VariantCopy(value, stored);
    Variant converted;
    HRESULT hr = VariantChangeType(&converted, stored, 0, value->vt);
    if (FAILED(hr)) return hr;
    VariantClear(value);
    *value = converted.detach();
    return S_OK;
}

HRESULT PropertyBag::Write(const OLECHAR* name, VARIANT* value) {
    if (!name || !value) return E_POINTER;
    Variant copy;
    HRESULT hr = VariantCopyInd(&copy, value);
    if (FAILED(hr)) return hr;
    try {
        std::string key = utf16_to_utf8(name);
        for (auto& e : m_entries) {
            if (iequals(e.name, key)) {
                e.value = std::move(copy);
                return S_OK;
            }
        }
        m_entries.push_back({std::move(key), std::move(copy)});
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT write_class_id(IStream* stream, const CLSID& clsid) {
    return write_all(stream, &clsid, sizeof clsid);
}

HRESULT read_class_id(IStream* stream, CLSID& out) {
    return read_exact(stream, &out, sizeof out);
}

HRESULT save_object_to_stream(IUnknown* object, IStream* stream) {
    if (!stream) return E_POINTER;
    if (!object) return write_class_id(stream, GUID_NULL);
    ComPtr<IPersistStream> plain;
    ComPtr<IPersistStreamInit> init;
    CLSID clsid{};
    HRESULT hr;
    if (SUCCEEDED(object->QueryInterface(IPersistStream::kIID, plain.put_void())))
        hr = plain->GetClassID(&clsid);
    else if (SUCCEEDED(object->QueryInterface(IPersistStreamInit::kIID, init.put_void())))
        hr = init->GetClassID(&clsid);
    else
        return E_NOINTERFACE;
    if (FAILED(hr)) return hr;
    hr = write_class_id(stream, clsid);
    if (FAILED(hr)) return hr;
    return plain ? plain->Save(stream, 1) : init->Save(stream, 1);
}

HRESULT load_object_from_stream(IStream* stream, std::span<const CLSID> allowed, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!stream) return E_POINTER;
    CLSID clsid;
    HRESULT hr = read_class_id(stream, clsid);
    if (FAILED(hr)) return hr;
    if (clsid.is_null()) return S_OK;
    if (std::find(allowed.begin(), allowed.end(), clsid) == allowed.end()) return E_ACCESSDENIED;
    ComPtr<IUnknown> object;
    hr = create_instance(clsid, IID_IUnknown, object.put_void());
    if (FAILED(hr)) return hr;
    ComPtr<IPersistStream> plain;
    ComPtr<IPersistStreamInit> init;
    if (SUCCEEDED(object->QueryInterface(IPersistStream::kIID, plain.put_void())))
        hr = plain->Load(stream);
    else if (SUCCEEDED(object->QueryInterface(IPersistStreamInit::kIID, init.put_void())))
        hr = init->Load(stream);
    else
        hr = E_NOINTERFACE;
    if (FAILED(hr)) return hr;
    return object->QueryInterface(iid, out);
}

} // namespace plat
