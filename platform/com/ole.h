#pragma once
// The window-free part of the protocol between a control and the container
// that sites it: the control's object and control interfaces, the site's
// client-site and control-site interfaces, and the ambient properties the
// control reads through the site's IDispatch.
#include <cstddef>
#include <cstdint>

#include "platform/com/dispatch.h"
#include "platform/com/unknown.h"
#include "platform/com/variant.h"

namespace plat {

struct SIZEL {
    int32_t cx{0};
    int32_t cy{0};
};
struct POINTL {
    int32_t x{0};
    int32_t y{0};
};
struct POINTF {
    float x{0};
    float y{0};
};

// Aspect of SetExtent/GetExtent: only the content view is kept.
constexpr uint32_t DVASPECT_CONTENT = 1;

// TransformCoords directions and forms.
constexpr uint32_t XFORMCOORDS_POSITION = 0x1;
constexpr uint32_t XFORMCOORDS_SIZE = 0x2;
constexpr uint32_t XFORMCOORDS_HIMETRICTOCONTAINER = 0x4;
constexpr uint32_t XFORMCOORDS_CONTAINERTOHIMETRIC = 0x8;

// Ambient properties a control reads from its site.
constexpr DISPID DISPID_AMBIENT_SCALEUNITS = -707;
constexpr DISPID DISPID_AMBIENT_USERMODE = -709;
constexpr DISPID DISPID_UNKNOWN_AMBIENTS = -1; // "several ambients changed"

// Miscellaneous status bits of a control class.
constexpr uint32_t OLEMISC_RECOMPOSEONRESIZE = 0x1;
constexpr uint32_t OLEMISC_CANTLINKINSIDE = 0x10;
constexpr uint32_t OLEMISC_INSIDEOUT = 0x80;
constexpr uint32_t OLEMISC_ACTIVATEWHENVISIBLE = 0x100;
constexpr uint32_t OLEMISC_ALIGNABLE = 0x8000;
constexpr uint32_t OLEMISC_SIMPLEFRAME = 0x10000;
constexpr uint32_t OLEMISC_SETCLIENTSITEFIRST = 0x20000;

// Windows and device contexts travel as their numbers in the window and DC
// tables (a pointer never travels in a 32-bit value); 0 is "none".
using HWND = uint32_t;
using HDC = uint32_t;
using HACCEL = uint32_t;

struct RECT {
    int32_t left{0}, top{0}, right{0}, bottom{0};
};
using RECTL = RECT;

// A window message as the container's message loop holds it.
struct MSG {
    HWND hwnd{0};
    uint32_t message{0};
    uintptr_t wParam{0};
    intptr_t lParam{0};
    uint32_t time{0};
    POINTL pt;
};

// Keyboard mnemonics a control asks its container to pass on.
struct CONTROLINFO {
    uint32_t cb{0};
    HACCEL hAccel{0};
    uint16_t cAccel{0};
    uint32_t dwFlags{0};
};

struct LOGPALETTE; // palettes are not exchanged: callers pass null
struct DVTARGETDEVICE;
struct FORMATETC;
struct STGMEDIUM;
struct IMoniker;
struct IOleContainer;
struct IEnumOLEVERB;
struct IEnumSTATDATA;
struct IDataObject;

// Verbs of DoVerb.
constexpr int32_t OLEIVERB_PRIMARY = 0;
constexpr int32_t OLEIVERB_SHOW = -1;
constexpr int32_t OLEIVERB_OPEN = -2;
constexpr int32_t OLEIVERB_HIDE = -3;
constexpr int32_t OLEIVERB_UIACTIVATE = -4;
constexpr int32_t OLEIVERB_INPLACEACTIVATE = -5;
constexpr int32_t OLEIVERB_DISCARDUNDOSTATE = -6;
constexpr int32_t OLEIVERB_PROPERTIES = -7;

// Close options.
constexpr uint32_t OLECLOSE_SAVEIFDIRTY = 0;
constexpr uint32_t OLECLOSE_NOSAVE = 1;
constexpr uint32_t OLECLOSE_PROMPTSAVE = 2;

constexpr HRESULT OLE_E_NOCONNECTION = make_hresult(0x80040004u);
constexpr HRESULT OLE_E_NOTRUNNING = make_hresult(0x80040005u);
constexpr HRESULT OLE_E_NOT_INPLACEACTIVE = make_hresult(0x80040010u);
constexpr HRESULT OLEOBJ_E_NOVERBS = make_hresult(0x80040180u);
constexpr HRESULT OLEOBJ_S_INVALIDVERB = make_hresult(0x00040180u);
constexpr HRESULT OLE_S_USEREG = make_hresult(0x00040000u);
constexpr HRESULT DV_E_DVASPECT = make_hresult(0x8004006Bu);
constexpr HRESULT DV_E_LINDEX = make_hresult(0x80040068u);
constexpr HRESULT VIEW_E_DRAW = make_hresult(0x80040140u);

// Told of changes of an object's data and view.
struct IAdviseSink : IUnknown {
    static constexpr IID kIID = make_guid("0000010F-0000-0000-C000-000000000046");
    virtual void OnDataChange(FORMATETC* format, STGMEDIUM* medium) = 0;
    virtual void OnViewChange(uint32_t aspect, int32_t lindex) = 0;
    virtual void OnRename(IMoniker* moniker) = 0;
    virtual void OnSave() = 0;
    virtual void OnClose() = 0;

  protected:
    ~IAdviseSink() = default;
};

// The interfaces below keep the method order that their identities fix:
// a container compiled against that order calls the right method. Methods
// an implementation does not offer answer E_NOTIMPL.

struct IOleClientSite : IUnknown {
    static constexpr IID kIID = make_guid("00000118-0000-0000-C000-000000000046");
    virtual HRESULT SaveObject() = 0;
    virtual HRESULT GetMoniker(uint32_t assign, uint32_t which, IMoniker** out) = 0;
    virtual HRESULT GetContainer(IOleContainer** out) = 0;
    virtual HRESULT ShowObject() = 0;
    virtual HRESULT OnShowWindow(BOOL show) = 0;
    virtual HRESULT RequestNewObjectLayout() = 0;

  protected:
    ~IOleClientSite() = default;
};

struct IOleControlSite : IUnknown {
    static constexpr IID kIID = make_guid("B196B289-BAB4-101A-B69C-00AA00341D07");
    virtual HRESULT OnControlInfoChanged() = 0;
    virtual HRESULT LockInPlaceActive(BOOL lock) = 0;
    // The extender the container wraps around the control ("Drag", "Tag"...).
    virtual HRESULT GetExtendedControl(IDispatch** out) = 0;
    // Between HIMETRIC and the container's units, as a position or a size.
    virtual HRESULT TransformCoords(POINTL* himetric, POINTF* container, uint32_t flags) = 0;
    // S_FALSE: the container did not use the key.
    virtual HRESULT TranslateAccelerator(MSG* msg, uint32_t modifiers) = 0;
    virtual HRESULT OnFocus(BOOL got_focus) = 0;
    virtual HRESULT ShowPropertyFrame() = 0;

  protected:
    ~IOleControlSite() = default;
};

struct IOleObject : IUnknown {
    static constexpr IID kIID = make_guid("00000112-0000-0000-C000-000000000046");
    virtual HRESULT SetClientSite(IOleClientSite* site) = 0;
    virtual HRESULT GetClientSite(IOleClientSite** out) = 0;
    virtual HRESULT SetHostNames(const OLECHAR* app, const OLECHAR* object) = 0;
    virtual HRESULT Close(uint32_t save_option) = 0;
    virtual HRESULT SetMoniker(uint32_t which, IMoniker* moniker) = 0;
    virtual HRESULT GetMoniker(uint32_t assign, uint32_t which, IMoniker** out) = 0;
    virtual HRESULT InitFromData(IDataObject* data, BOOL creation, uint32_t reserved) = 0;
    virtual HRESULT GetClipboardData(uint32_t reserved, IDataObject** out) = 0;
    // The activation verbs take the container's window and the rectangle of
    // the object in it, in that window's pixels.
    virtual HRESULT DoVerb(int32_t verb, MSG* msg, IOleClientSite* active_site, int32_t lindex, HWND parent,
                           const RECT* pos) = 0;
    virtual HRESULT EnumVerbs(IEnumOLEVERB** out) = 0;
    virtual HRESULT Update() = 0;
    virtual HRESULT IsUpToDate() = 0;
    virtual HRESULT GetUserClassID(CLSID* out) = 0;
    // `out` is allocated with task_mem_alloc; the caller frees it.
    virtual HRESULT GetUserType(uint32_t form, OLECHAR** out) = 0;
    // Sizes in HIMETRIC.
    virtual HRESULT SetExtent(uint32_t aspect, SIZEL* size) = 0;
    virtual HRESULT GetExtent(uint32_t aspect, SIZEL* size) = 0;
    virtual HRESULT Advise(IAdviseSink* sink, uint32_t* cookie) = 0;
    virtual HRESULT Unadvise(uint32_t cookie) = 0;
    virtual HRESULT EnumAdvise(IEnumSTATDATA** out) = 0;
    virtual HRESULT GetMiscStatus(uint32_t aspect, uint32_t* status) = 0;
    virtual HRESULT SetColorScheme(LOGPALETTE* palette) = 0;

  protected:
    ~IOleObject() = default;
};

struct IOleControl : IUnknown {
    static constexpr IID kIID = make_guid("B196B288-BAB4-101A-B69C-00AA00341D07");
    virtual HRESULT GetControlInfo(CONTROLINFO* info) = 0;
    virtual HRESULT OnMnemonic(MSG* msg) = 0;
    virtual HRESULT OnAmbientPropertyChange(DISPID id) = 0;
    virtual HRESULT FreezeEvents(BOOL freeze) = 0;

  protected:
    ~IOleControl() = default;
};

// An object with a window: the window's number.
struct IOleWindow : IUnknown {
    static constexpr IID kIID = make_guid("00000114-0000-0000-C000-000000000046");
    virtual HRESULT GetWindow(HWND* out) = 0;
    virtual HRESULT ContextSensitiveHelp(BOOL enter) = 0;

  protected:
    ~IOleWindow() = default;
};

// The container's hold on an object active in place.
struct IOleInPlaceObject : IOleWindow {
    static constexpr IID kIID = make_guid("00000113-0000-0000-C000-000000000046");
    virtual HRESULT InPlaceDeactivate() = 0;
    virtual HRESULT UIDeactivate() = 0;
    // Where the object sits and what of it shows, in the container window's pixels.
    virtual HRESULT SetObjectRects(const RECT* pos, const RECT* clip) = 0;
    virtual HRESULT ReactivateAndUndo() = 0;

  protected:
    ~IOleInPlaceObject() = default;
};

// Drawing an object into a device context the container names by number.
struct IViewObject : IUnknown {
    static constexpr IID kIID = make_guid("0000010D-0000-0000-C000-000000000046");
    virtual HRESULT Draw(uint32_t aspect, int32_t lindex, void* aspect_info, DVTARGETDEVICE* target,
                         HDC target_dc, HDC draw_dc, const RECTL* bounds, const RECTL* wbounds,
                         BOOL (*keep_going)(uintptr_t), uintptr_t keep_going_arg) = 0;
    virtual HRESULT GetColorSet(uint32_t aspect, int32_t lindex, void* aspect_info, DVTARGETDEVICE* target,
                                HDC target_dc, LOGPALETTE** out) = 0;
    virtual HRESULT Freeze(uint32_t aspect, int32_t lindex, void* aspect_info, uint32_t* cookie) = 0;
    virtual HRESULT Unfreeze(uint32_t cookie) = 0;
    virtual HRESULT SetAdvise(uint32_t aspects, uint32_t flags, IAdviseSink* sink) = 0;
    virtual HRESULT GetAdvise(uint32_t* aspects, uint32_t* flags, IAdviseSink** out) = 0;

  protected:
    ~IViewObject() = default;
};

struct IViewObject2 : IViewObject {
    static constexpr IID kIID = make_guid("00000127-0000-0000-C000-000000000046");
    virtual HRESULT GetExtent(uint32_t aspect, int32_t lindex, DVTARGETDEVICE* target, SIZEL* size) = 0;

  protected:
    ~IViewObject2() = default;
};

// Memory that crosses an interface and is freed by the receiver (user
// type names): one allocator for both sides.
void* task_mem_alloc(size_t bytes);
void task_mem_free(void* p);

// Told when a property of an object changes (fonts tell their holders).
struct IPropertyNotifySink : IUnknown {
    static constexpr IID kIID = make_guid("9BFBBC02-EFF1-101A-84ED-00AA00341D07");
    virtual HRESULT OnChanged(DISPID id) = 0;
    virtual HRESULT OnRequestEdit(DISPID id) = 0;

  protected:
    ~IPropertyNotifySink() = default;
};

// Reads one ambient property through the site's IDispatch; false when the
// site is null, has no IDispatch, or does not answer the property.
bool read_ambient(IUnknown* site, DISPID id, Variant& out);

// The ambient run mode: true (run mode) unless the site says otherwise.
bool ambient_user_mode(IUnknown* site);

// HIMETRIC and pixels at `dpi` dots per inch, rounded to nearest.
int32_t himetric_to_pixels(int32_t himetric, int32_t dpi = 96);
int32_t pixels_to_himetric(int32_t pixels, int32_t dpi = 96);

} // namespace plat
