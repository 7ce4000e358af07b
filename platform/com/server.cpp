#include "platform/com/server.h"

#include <dlfcn.h>

#include <filesystem>

#include "platform/base/strings.h"
#include "platform/com/errors.h"
#include "platform/com/object.h"
#include "platform/config/registry.h"

namespace plat {

struct ServerModule::Factory {
    CLSID clsid;
    ClassFactory factory;
};

std::string clsid_key(const CLSID& clsid) {
    return "CLSID\\" + guid_to_string(clsid);
}
std::string inproc_server_key(const CLSID& clsid) {
    return clsid_key(clsid) + "\\InprocServer32";
}

namespace {

constexpr Hive kHKCR = Hive::ClassesRoot;

std::string typelib_key(const TypeLibRegistration& t) {
    return "TypeLib\\" + guid_to_string(t.libid);
}
std::string typelib_version(const TypeLibRegistration& t) {
    return strprintf("%x.%x", t.major, t.minor);
}

// Runs the writes in order and stops at the first failure.
class Writer {
  public:
    explicit Writer(Registry& reg) : m_reg(reg) {}
    Writer& text(const std::string& key, std::string_view name, std::string_view value) {
        if (m_ok) m_ok = m_reg.set_string(kHKCR, key, name, value) == SysError::Success;
        return *this;
    }
    Writer& key(const std::string& key) {
        if (m_ok) m_ok = m_reg.create_key(kHKCR, key) == SysError::Success;
        return *this;
    }
    bool ok() const { return m_ok; }

  private:
    Registry& m_reg;
    bool m_ok{true};
};

// Deleting a key that is already gone is not a failure.
bool remove_key(Registry& reg, const std::string& key) {
    SysError e = reg.delete_key(kHKCR, key);
    return e == SysError::Success || e == SysError::FileNotFound;
}

} // namespace

ServerModule::ServerModule(std::vector<ClassRegistration> classes,
                           std::optional<TypeLibRegistration> type_library,
                           std::vector<CategoryRegistration> categories)
    : m_classes(std::move(classes)), m_typelib(std::move(type_library)), m_categories(std::move(categories)) {
    for (const auto& c : m_classes)
        m_factories.push_back(new Factory{c.clsid, ClassFactory(c.create)});
}

ServerModule::~ServerModule() {
    for (Factory* f : m_factories)
        delete f;
}

HRESULT ServerModule::get_class_object(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (Factory* f : m_factories)
        if (f->clsid == clsid) return f->factory.QueryInterface(iid, out);
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT ServerModule::can_unload_now() const {
    return module_ref_count() == 0 ? S_OK : S_FALSE;
}

std::string ServerModule::library_path() const {
    Dl_info info{};
    if (!dladdr(static_cast<const void*>(this), &info) || !info.dli_fname || !*info.dli_fname) return {};
    // The name is as the library was opened; the registry needs a full path.
    std::error_code ec;
    auto full = std::filesystem::weakly_canonical(std::filesystem::absolute(info.dli_fname, ec), ec);
    return ec ? std::string(info.dli_fname) : full.string();
}

HRESULT ServerModule::register_server() {
    Registry& reg = registry();
    const std::string path = library_path();
    if (path.empty()) return SELFREG_E_CLASS;

    if (m_typelib) {
        const TypeLibRegistration& t = *m_typelib;
        const std::string key = typelib_key(t) + "\\" + typelib_version(t);
        std::string dir = path.substr(0, path.find_last_of('/') + 1);
        Writer w(reg);
        w.text(key, "", t.description).text(key + "\\0\\linux", "", path).text(key + "\\FLAGS", "", "0");
        w.text(key + "\\HELPDIR", "", dir);
        for (const auto& [iid, name] : t.interfaces) {
            const std::string ikey = "Interface\\" + guid_to_string(iid);
            w.text(ikey, "", name)
                .text(ikey + "\\TypeLib", "", guid_to_string(t.libid))
                .text(ikey + "\\TypeLib", "Version", typelib_version(t));
        }
        if (!w.ok()) return SELFREG_E_TYPELIB;
    }

    for (const auto& c : m_classes) {
        const std::string key = clsid_key(c.clsid);
        Writer w(reg);
        w.text(key, "", c.type_name).text(key + "\\InprocServer32", "", path);
        w.text(key + "\\InprocServer32", "ThreadingModel", c.threading);
        if (!c.prog_id.empty()) {
            w.text(key + "\\ProgID", "", c.prog_id);
            w.text(c.prog_id, "", c.type_name).text(c.prog_id + "\\CLSID", "", guid_to_string(c.clsid));
        }
        if (c.control) {
            w.key(key + "\\Control");
            w.text(key + "\\ToolboxBitmap32", "", strprintf("%s, %d", path.c_str(), c.toolbox_bitmap));
            w.text(key + "\\MiscStatus", "", "0")
                .text(key + "\\MiscStatus\\1", "", std::to_string(c.misc_status));
        }
        if (c.names_type_library && m_typelib) {
            w.text(key + "\\TypeLib", "", guid_to_string(m_typelib->libid));
            w.text(key + "\\Version", "", typelib_version(*m_typelib));
        }
        if (!w.ok()) return SELFREG_E_CLASS;
    }

    // Component categories: each step only after the one before succeeded,
    // and none of them fails the registration.
    bool ok = true;
    for (const auto& cat : m_categories) {
        std::string text = cat.description.substr(0, 127);
        ok = ok && reg.set_string(kHKCR, "Component Categories\\" + guid_to_string(cat.catid), "409", text) ==
                       SysError::Success;
    }
    for (const auto& c : m_classes)
        for (const GUID& cat : c.implemented_categories)
            ok = ok && reg.create_key(kHKCR, clsid_key(c.clsid) + "\\Implemented Categories\\" +
                                                 guid_to_string(cat)) == SysError::Success;
    return S_OK;
}

HRESULT ServerModule::unregister_server() {
    Registry& reg = registry();
    if (m_typelib) {
        const std::string key = typelib_key(*m_typelib);
        if (!reg.key_exists(kHKCR, key)) return SELFREG_E_TYPELIB;
        bool ok = remove_key(reg, key);
        for (const auto& iface : m_typelib->interfaces)
            ok = remove_key(reg, "Interface\\" + guid_to_string(iface.first)) && ok;
        if (!ok) return SELFREG_E_TYPELIB;
    }
    bool ok = true;
    for (const auto& c : m_classes) {
        // The category marks live under the class key and go with it.
        ok = remove_key(reg, clsid_key(c.clsid)) && ok;
        if (!c.prog_id.empty()) ok = remove_key(reg, c.prog_id) && ok;
    }
    return ok ? S_OK : SELFREG_E_CLASS;
}

} // namespace plat
