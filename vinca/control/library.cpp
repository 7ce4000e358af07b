// What the library does as a process loads and unloads it, and the in-process
// server it is: the control and the tree object, their registration, and
// the four server entry points.
#include "platform/com/server.h"
#include "vinca/control/clipboard_qt.h"
#include "vinca/control/control.h"
#include "vinca/control/ole_drag.h"
#include "vinca/model/persist.h"
#include "vinca/model/picture.h"

// Qt after the model's headers (its `slots` macro).
#include "platform/gdi/picture_decode.h"

namespace {

// Pictures are measured as they are drawn: through the picture decoder.
bool MeasurePicture(vinca::PictureType type, const std::string& data, int32_t& width, int32_t& height) {
    const auto decoded = plat::gdi::DecodePicture(type, data);
    if (!decoded) return false;
    width = decoded->himetric.cx;
    height = decoded->himetric.cy;
    return true;
}

struct LibraryLifetime {
    LibraryLifetime() {
        vinca::InstallQtClipboard();
        vinca::SetPictureMeasure(&MeasurePicture);
    }
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
