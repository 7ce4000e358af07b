#include "platform/com/loader.h"

#include <dlfcn.h>

#include <map>
#include <mutex>
#include <vector>

#include "platform/base/strings.h"
#include "platform/com/errors.h"
#include "platform/com/server.h"
#include "platform/config/registry.h"

namespace plat {

namespace {

struct LinkedClass {
    CLSID clsid;
    std::string prog_id;
    std::unique_ptr<ClassFactory> factory;
};

struct LoaderState {
    std::mutex lock;
    std::vector<LinkedClass> linked;
    // Libraries stay loaded for the life of the process: objects they handed
    // out may be held anywhere, and their code must stay mapped.
    std::map<std::string, DllGetClassObjectFn> libraries;
};

LoaderState& state() {
    static LoaderState* s = new LoaderState; // never destroyed: used until the very end
    return *s;
}

HRESULT library_entry(const std::string& path, DllGetClassObjectFn& out) {
    LoaderState& s = state();
    std::lock_guard guard(s.lock);
    if (auto it = s.libraries.find(path); it != s.libraries.end()) {
        out = it->second;
        return S_OK;
    }
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return CO_E_DLLNOTFOUND;
    auto fn = reinterpret_cast<DllGetClassObjectFn>(dlsym(handle, "DllGetClassObject"));
    if (!fn) {
        dlclose(handle); // handed nothing out yet
        return CO_E_ERRORINDLL;
    }
    s.libraries.emplace(path, fn);
    out = fn;
    return S_OK;
}

HRESULT registry_failure(SysError e) {
    return e == SysError::FileNotFound ? REGDB_E_CLASSNOTREG : REGDB_E_READREGDB;
}

} // namespace

void register_linked_class(REFCLSID clsid, ObjectCreator create, std::string_view prog_id) {
    LoaderState& s = state();
    std::lock_guard guard(s.lock);
    std::erase_if(s.linked, [&](const LinkedClass& c) { return c.clsid == clsid; });
    s.linked.push_back({clsid, std::string(prog_id), std::make_unique<ClassFactory>(std::move(create))});
}

void revoke_linked_class(REFCLSID clsid) {
    LoaderState& s = state();
    std::lock_guard guard(s.lock);
    std::erase_if(s.linked, [&](const LinkedClass& c) { return c.clsid == clsid; });
}

HRESULT clsid_from_prog_id(std::string_view prog_id, CLSID& out) {
    if (prog_id.starts_with('{')) {
        auto g = guid_from_string(prog_id);
        if (!g) return CO_E_CLASSSTRING;
        out = *g;
        return S_OK;
    }
    if (prog_id.empty()) return CO_E_CLASSSTRING;
    {
        LoaderState& s = state();
        std::lock_guard guard(s.lock);
        for (const auto& c : s.linked) {
            if (!c.prog_id.empty() && iequals(c.prog_id, prog_id)) {
                out = c.clsid;
                return S_OK;
            }
        }
    }
    RegValue v;
    if (registry().get_value(Hive::ClassesRoot, std::string(prog_id) + "\\CLSID", "", v) != SysError::Success)
        return CO_E_CLASSSTRING;
    auto g = guid_from_string(v.as_string());
    if (!g) return CO_E_CLASSSTRING;
    out = *g;
    return S_OK;
}

std::string prog_id_from_clsid(REFCLSID clsid) {
    return registry().get_string(Hive::ClassesRoot, clsid_key(clsid) + "\\ProgID", "");
}

HRESULT get_class_object(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    {
        LoaderState& s = state();
        std::lock_guard guard(s.lock);
        for (const auto& c : s.linked)
            if (c.clsid == clsid) return c.factory->QueryInterface(iid, out);
    }
    RegValue v;
    SysError e = registry().get_value(Hive::ClassesRoot, inproc_server_key(clsid), "", v);
    if (e != SysError::Success) return registry_failure(e);
    std::string path = v.as_string();
    if (path.empty()) return REGDB_E_CLASSNOTREG;
    DllGetClassObjectFn entry = nullptr;
    HRESULT hr = library_entry(path, entry);
    if (FAILED(hr)) return hr;
    return entry(clsid, iid, out);
}

HRESULT call_library_registration(const std::filesystem::path& library, bool unregister,
                                  std::string* detail) {
    std::error_code ec;
    std::filesystem::path full =
        std::filesystem::weakly_canonical(std::filesystem::absolute(library, ec), ec);
    if (ec) full = library;
    void* handle = dlopen(full.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        if (detail) *detail = dlerror();
        return CO_E_DLLNOTFOUND;
    }
    const char* name = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto entry = reinterpret_cast<DllRegisterServerFn>(dlsym(handle, name));
    if (!entry) {
        if (detail) *detail = std::string("no entry point ") + name;
        return CO_E_ERRORINDLL;
    }
    // Not unloaded afterwards: the library may have left work behind (a
    // thread, a handler) that must not lose its code.
    return entry();
}

HRESULT create_instance(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    ComPtr<IClassFactory> factory;
    HRESULT hr = get_class_object(clsid, IClassFactory::kIID, factory.put_void());
    if (FAILED(hr)) return hr;
    return factory->CreateInstance(nullptr, iid, out);
}

HRESULT create_instance(std::string_view prog_id, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    CLSID clsid;
    HRESULT hr = clsid_from_prog_id(prog_id, clsid);
    if (FAILED(hr)) return hr;
    return create_instance(clsid, iid, out);
}

} // namespace plat
