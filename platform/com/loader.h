#pragma once
// Creating objects by class id or ProgID. Classes linked into the program
// (registered here at run time) are found first; any other class is looked
// up in the registry store of the current machine: the ProgID's "CLSID" key
// gives the class id, the class's "InprocServer32" key the library, which is
// loaded once and kept loaded for the rest of the process (objects it handed
// out may still be alive anywhere).
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/com/factory.h"
#include "platform/com/guid.h"
#include "platform/com/unknown.h"

namespace plat {

// Library entry points by the names a server library exports.
using DllGetClassObjectFn = HRESULT (*)(const CLSID&, const IID&, void**);
using DllCanUnloadNowFn = HRESULT (*)();
using DllRegisterServerFn = HRESULT (*)();

// REGDB_E_CLASSNOTREG when the class is neither linked in nor registered,
// CO_E_DLLNOTFOUND when its library cannot be loaded, CO_E_ERRORINDLL when
// the library has no class-object entry.
HRESULT get_class_object(REFCLSID clsid, REFIID iid, void** out);
HRESULT create_instance(REFCLSID clsid, REFIID iid, void** out);
// A ProgID ("Vendor.Class.1") or a class id in text form.
HRESULT create_instance(std::string_view prog_id, REFIID iid, void** out);

// CO_E_CLASSSTRING when the ProgID is not known (nor a class id in text form).
HRESULT clsid_from_prog_id(std::string_view prog_id, CLSID& out);
// The registered ProgID of a class; empty when none.
std::string prog_id_from_clsid(REFCLSID clsid);

// Self-registration of a library: loads it by its full path (a relative
// path is made absolute first, since the library records where it was
// loaded from) and calls DllRegisterServer, or DllUnregisterServer.
// CO_E_DLLNOTFOUND when the library does not load (`detail` then says why),
// CO_E_ERRORINDLL when it lacks the entry point, else the entry's result.
// The library stays loaded.
HRESULT call_library_registration(const std::filesystem::path& library, bool unregister,
                                  std::string* detail = nullptr);

// Classes linked into the program: found before the registry is consulted.
void register_linked_class(REFCLSID clsid, ObjectCreator create, std::string_view prog_id = {});
void revoke_linked_class(REFCLSID clsid);

} // namespace plat
