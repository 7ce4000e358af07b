// The control as an embedded object: the verbs, the user type, the advise
// sinks, activation in place through the standard interfaces and drawing
// into a device context the container names by number. What a control of
// this kind has no use for (monikers, data transfer of the whole object,
// colour schemes) answers E_NOTIMPL so that a container falls back.
// The model's headers first: Qt's keywords are macros.
#include "vinca/control/control.h"

#include <algorithm>
#include <cstring>

#include "platform/base/strings.h"
#include "platform/gdi/dc.h"
#include "vinca/control/designer_link.h"
#include "vinca/control/window.h"
#include "vinca/views/view_window.h"

namespace vinca {

namespace {

constexpr char kUserType[] = "Marovia Vinca 5.0 Control";
constexpr uint32_t kOleAdviseCookie = 1;

bool IsActivationVerb(int32_t verb) {
    return verb == plat::OLEIVERB_PRIMARY || verb == plat::OLEIVERB_SHOW || verb == plat::OLEIVERB_UIACTIVATE ||
           verb == plat::OLEIVERB_INPLACEACTIVATE;
}

} // namespace

// ---- IOleObject ----

plat::HRESULT CVincaCtrl::GetMoniker(uint32_t, uint32_t, plat::IMoniker** out) {
    if (out) *out = nullptr;
    return plat::E_NOTIMPL;
}

plat::HRESULT CVincaCtrl::GetClipboardData(uint32_t, plat::IDataObject** out) {
    if (out) *out = nullptr;
    return plat::E_NOTIMPL;
}

plat::HRESULT CVincaCtrl::DoVerb(int32_t verb, plat::MSG*, plat::IOleClientSite*, int32_t, plat::HWND parent,
                                 const plat::RECT* pos) {
    if (verb == kVerbProperties || verb == plat::OLEIVERB_PROPERTIES) {
        Designer().Launch();
        return plat::S_OK;
    }
    if (verb == plat::OLEIVERB_DISCARDUNDOSTATE) return plat::S_OK;
    if (!IsActivationVerb(verb)) return plat::E_NOTIMPL;
    // Without a container window the control can only show the window it
    // already has.
    if (!parent || !pos) return WindowHandle() != 0 ? plat::S_OK : plat::E_INVALIDARG;
    return m_window->Activate(parent, *pos);
}

plat::HRESULT CVincaCtrl::EnumVerbs(plat::IEnumOLEVERB** out) {
    if (out) *out = nullptr;
    return plat::E_NOTIMPL;
}

plat::HRESULT CVincaCtrl::GetUserType(uint32_t, plat::OLECHAR** out) {
    if (!out) return plat::E_POINTER;
    const std::u16string name = plat::utf8_to_utf16(kUserType);
    const size_t bytes = (name.size() + 1) * sizeof(plat::OLECHAR);
    auto* text = static_cast<plat::OLECHAR*>(plat::task_mem_alloc(bytes));
    if (!text) {
        *out = nullptr;
        return plat::E_OUTOFMEMORY;
    }
    std::memcpy(text, name.c_str(), bytes);
    *out = text;
    return plat::S_OK;
}

// One sink is kept: a container advises once for its site.
plat::HRESULT CVincaCtrl::Advise(plat::IAdviseSink* sink, uint32_t* cookie) {
    if (!sink || !cookie) return plat::E_POINTER;
    m_oleAdvise = sink;
    *cookie = kOleAdviseCookie;
    return plat::S_OK;
}

plat::HRESULT CVincaCtrl::Unadvise(uint32_t cookie) {
    if (cookie != kOleAdviseCookie || !m_oleAdvise) return plat::OLE_E_NOCONNECTION;
    m_oleAdvise.reset();
    return plat::S_OK;
}

plat::HRESULT CVincaCtrl::EnumAdvise(plat::IEnumSTATDATA** out) {
    if (out) *out = nullptr;
    return plat::E_NOTIMPL;
}

// ---- IOleControl ----

plat::HRESULT CVincaCtrl::GetControlInfo(plat::CONTROLINFO* info) {
    if (!info) return plat::E_POINTER;
    // No mnemonics: the control takes its keys only while it has the focus.
    const uint32_t cb = info->cb;
    *info = plat::CONTROLINFO{};
    info->cb = cb ? cb : sizeof(plat::CONTROLINFO);
    return plat::S_OK;
}

// ---- IOleInPlaceObject ----

plat::HRESULT CVincaCtrl::GetWindow(plat::HWND* out) {
    if (!out) return plat::E_POINTER;
    *out = WindowHandle();
    return *out ? plat::S_OK : plat::E_FAIL;
}

plat::HRESULT CVincaCtrl::InPlaceDeactivate() {
    return m_window->Deactivate();
}

plat::HRESULT CVincaCtrl::SetObjectRects(const plat::RECT* pos, const plat::RECT*) {
    if (!pos) return plat::E_POINTER;
    if (!WindowHandle()) return plat::OLE_E_NOT_INPLACEACTIVE;
    return m_window->SetRect(*pos);
}

// ---- IViewObject2 ----

plat::HRESULT CVincaCtrl::Draw(uint32_t aspect, int32_t lindex, void*, plat::DVTARGETDEVICE*, plat::HDC,
                               plat::HDC draw_dc, const plat::RECTL* bounds, const plat::RECTL*,
                               plat::BOOL (*)(uintptr_t), uintptr_t) {
    if (aspect != plat::DVASPECT_CONTENT) return plat::DV_E_DVASPECT;
    if (lindex != -1) return plat::DV_E_LINDEX;
    if (!bounds) return plat::E_INVALIDARG;
    plat::gdi::Dc* dc = plat::gdi::PrinterDcs().get(draw_dc);
    if (!dc) return plat::E_INVALIDARG;
    CViewWindow* view = m_window->View();
    // The drawing is the window's: without one there is nothing to draw.
    if (!view) return plat::OLE_E_BLANK;
    view->DrawInto(*dc, {bounds->left, bounds->top, bounds->right, bounds->bottom});
    return plat::S_OK;
}

plat::HRESULT CVincaCtrl::GetColorSet(uint32_t aspect, int32_t, void*, plat::DVTARGETDEVICE*, plat::HDC,
                                      plat::LOGPALETTE** out) {
    if (!out) return plat::E_POINTER;
    *out = nullptr;
    // No palette of its own: S_FALSE says the object has no colour set.
    return aspect == plat::DVASPECT_CONTENT ? plat::S_FALSE : plat::DV_E_DVASPECT;
}

plat::HRESULT CVincaCtrl::Freeze(uint32_t aspect, int32_t, void*, uint32_t* cookie) {
    if (!cookie) return plat::E_POINTER;
    *cookie = 0;
    if (aspect != plat::DVASPECT_CONTENT) return plat::DV_E_DVASPECT;
    SuspendRedraw();
    *cookie = ++m_nextFreeze;
    m_viewFreezes.push_back(*cookie);
    return plat::S_OK;
}

plat::HRESULT CVincaCtrl::Unfreeze(uint32_t cookie) {
    auto it = std::find(m_viewFreezes.begin(), m_viewFreezes.end(), cookie);
    if (it == m_viewFreezes.end()) return plat::OLE_E_NOCONNECTION;
    m_viewFreezes.erase(it);
    ResumeRedraw();
    return plat::S_OK;
}

plat::HRESULT CVincaCtrl::SetAdvise(uint32_t aspects, uint32_t flags, plat::IAdviseSink* sink) {
    if (sink && !(aspects & plat::DVASPECT_CONTENT)) return plat::DV_E_DVASPECT;
    m_viewAdvise = sink;
    m_viewAdviseAspects = sink ? aspects : 0;
    m_viewAdviseFlags = sink ? flags : 0;
    return plat::S_OK;
}

plat::HRESULT CVincaCtrl::GetAdvise(uint32_t* aspects, uint32_t* flags, plat::IAdviseSink** out) {
    if (aspects) *aspects = m_viewAdviseAspects;
    if (flags) *flags = m_viewAdviseFlags;
    if (out) {
        *out = m_viewAdvise.get();
        if (*out) (*out)->AddRef();
    }
    return plat::S_OK;
}

plat::HRESULT CVincaCtrl::GetExtent(uint32_t aspect, int32_t, plat::DVTARGETDEVICE*, plat::SIZEL* size) {
    return GetExtent(aspect, size);
}

} // namespace vinca
