#pragma once
// The window-free part of the protocol between a control and the container
// that sites it: the control's object and control interfaces, the site's
// client-site and control-site interfaces, and the ambient properties the
// control reads through the site's IDispatch.
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

struct IOleClientSite : IUnknown {
    static constexpr IID kIID = make_guid("00000118-0000-0000-C000-000000000046");
    virtual HRESULT SaveObject() = 0;
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
    virtual HRESULT OnFocus(BOOL got_focus) = 0;

  protected:
    ~IOleControlSite() = default;
};

struct IOleObject : IUnknown {
    static constexpr IID kIID = make_guid("00000112-0000-0000-C000-000000000046");
    virtual HRESULT SetClientSite(IOleClientSite* site) = 0;
    virtual HRESULT GetClientSite(IOleClientSite** out) = 0;
    virtual HRESULT SetHostNames(const OLECHAR* app, const OLECHAR* object) = 0;
    virtual HRESULT Close(uint32_t save_option) = 0;
    virtual HRESULT DoVerb(int32_t verb) = 0;
    virtual HRESULT GetUserClassID(CLSID* out) = 0;
    // Sizes in HIMETRIC.
    virtual HRESULT SetExtent(uint32_t aspect, SIZEL* size) = 0;
    virtual HRESULT GetExtent(uint32_t aspect, SIZEL* size) = 0;
    virtual HRESULT GetMiscStatus(uint32_t aspect, uint32_t* status) = 0;

  protected:
    ~IOleObject() = default;
};

struct IOleControl : IUnknown {
    static constexpr IID kIID = make_guid("B196B288-BAB4-101A-B69C-00AA00341D07");
    virtual HRESULT OnAmbientPropertyChange(DISPID id) = 0;
    virtual HRESULT FreezeEvents(BOOL freeze) = 0;

  protected:
    ~IOleControl() = default;
};

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
