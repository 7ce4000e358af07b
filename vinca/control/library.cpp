// What the library does as a process loads and unloads it, and the in-process
// server it is: the control and the tree object, their registration, and
// the four server entry points.
#include "platform/com/server.h"
#include "vinca/control/clipboard_qt.h"
#include "vinca/control/control.h"
#include "vinca/control/ole_drag.h"
#include "vinca/model/persist.h"

namespace {

struct LibraryLifetime {
    LibraryLifetime() { vinca::InstallQtClipboard(); }
    ~LibraryLifetime() {
        vinca::ClearDragSource();
        vinca::RemoveQtClipboard();
    }
};

LibraryLifetime g_library;

constexpr plat::GUID kCatSafeForScripting = plat::make_guid("7DD95801-9882-11CF-9FA9-00AA006C42C4");
constexpr plat::GUID kCatSafeForInitializing = plat::make_guid("7DD95802-9882-11CF-9FA9-00AA006C42C4");

plat::ServerModule& Module() {
    static plat::ServerModule module(
        {
            plat::ClassRegistration{
                .clsid = vinca::CLSID_Vinca5,
                .prog_id = "Vinca.Vinca.5",
                .type_name = "Marovia Vinca 5.0 Control",
                .create = plat::creator_of<vinca::CVincaCtrl>(),
                .control = true,
                .misc_status = vinca::kVincaMiscStatus,
                .implemented_categories = {kCatSafeForScripting, kCatSafeForInitializing},
            },
            plat::ClassRegistration{
                .clsid = vinca::CLSID_TreeSerializeObject,
                .prog_id = "Vinca.TREEOBJECT.5",
                .type_name = "Vinca.TREEOBJECT.5",
                .create = plat::creator_of<vinca::CTreeSerializeObject>(),
                .names_type_library = false,
                .implemented_categories = {},
            },
        },
        plat::TypeLibRegistration{
            .libid = vinca::LIBID_Vinca5,
            .major = 6,
            .minor = 9,
            .description = "Marovia Vinca 5.0 Control",
            .interfaces = {{vinca::IID_DVinca5, "_DVinca5"}, {vinca::IID_DVinca5Events, "_DVinca5Events"}},
        },
        {
            {kCatSafeForScripting, "Controls that are safely scriptable"},
            {kCatSafeForInitializing, "Controls safely initializable from persistent data"},
        });
    return module;
}

} // namespace

KL_SERVER_EXPORTS(Module())
