#pragma once
// An in-process server library: the classes it serves, its type library and
// component categories, and the four entry points a library exports:
//
//   extern "C" HRESULT DllGetClassObject(const CLSID&, const IID&, void**);
//   extern "C" HRESULT DllCanUnloadNow();
//   extern "C" HRESULT DllRegisterServer();
//   extern "C" HRESULT DllUnregisterServer();
//
// A library keeps one ServerModule and forwards the exports to it (see
// KL_SERVER_EXPORTS). Registration writes the library's own keys into the
// registry store of the current machine; the library's path is found from
// the module object's own address, so it is right wherever the file lives.
#include <optional>
#include <string>
#include <vector>

#include "platform/com/factory.h"
#include "platform/com/guid.h"

namespace plat {

struct ClassRegistration {
    CLSID clsid;
    std::string prog_id;   // empty: none
    std::string type_name; // the class key's and the ProgID key's default value
    ObjectCreator create;
    std::string threading{"Apartment"};
    // Controls also get the "Control", "ToolboxBitmap32" and "MiscStatus" keys.
    bool control{false};
    uint32_t misc_status{0};
    int toolbox_bitmap{1};
    // Whether the class names the module's type library ("TypeLib", "Version").
    bool names_type_library{true};
    std::vector<GUID> implemented_categories;
};

struct TypeLibRegistration {
    GUID libid;
    uint16_t major{1};
    uint16_t minor{0};
    std::string description;
    // Dispatch interfaces described by the library: identity and name.
    std::vector<std::pair<IID, std::string>> interfaces;
};

struct CategoryRegistration {
    GUID catid;
    std::string description; // registered for locale 1033, cut to 127 characters
};

class ServerModule {
  public:
    ServerModule(std::vector<ClassRegistration> classes, std::optional<TypeLibRegistration> type_library = {},
                 std::vector<CategoryRegistration> categories = {});
    ~ServerModule();
    ServerModule(const ServerModule&) = delete;
    ServerModule& operator=(const ServerModule&) = delete;

    HRESULT get_class_object(REFCLSID clsid, REFIID iid, void** out);
    // S_OK when no object or lock of the library is alive, else S_FALSE.
    HRESULT can_unload_now() const;

    // In order: the type library (failure SELFREG_E_TYPELIB), the classes
    // (failure SELFREG_E_CLASS), the component categories (failures ignored).
    HRESULT register_server();
    // In order: the type library (missing or failing: SELFREG_E_TYPELIB, the
    // class keys are then left alone), the classes (SELFREG_E_CLASS).
    HRESULT unregister_server();

    // The file this module lives in (the shared library, or the program).
    std::string library_path() const;
    const std::vector<ClassRegistration>& classes() const { return m_classes; }

  private:
    struct Factory;
    std::vector<ClassRegistration> m_classes;
    std::optional<TypeLibRegistration> m_typelib;
    std::vector<CategoryRegistration> m_categories;
    std::vector<Factory*> m_factories;
};

// The registry key paths this layer reads and writes, under HKEY_CLASSES_ROOT.
std::string clsid_key(const CLSID& clsid);         // "CLSID\{...}"
std::string inproc_server_key(const CLSID& clsid); // "CLSID\{...}\InprocServer32"

} // namespace plat

// Defines the four exports of a library over one ServerModule expression.
#define KL_SERVER_EXPORTS(module_expr)                                                                       \
    extern "C" __attribute__((visibility("default"))) plat::HRESULT DllGetClassObject(                       \
        const plat::CLSID& clsid, const plat::IID& iid, void** out) {                                        \
        return (module_expr).get_class_object(clsid, iid, out);                                              \
    }                                                                                                        \
    extern "C" __attribute__((visibility("default"))) plat::HRESULT DllCanUnloadNow() {                      \
        return (module_expr).can_unload_now();                                                               \
    }                                                                                                        \
    extern "C" __attribute__((visibility("default"))) plat::HRESULT DllRegisterServer() {                    \
        return (module_expr).register_server();                                                              \
    }                                                                                                        \
    extern "C" __attribute__((visibility("default"))) plat::HRESULT DllUnregisterServer() {                  \
        return (module_expr).unregister_server();                                                            \
    }
