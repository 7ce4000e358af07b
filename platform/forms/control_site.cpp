#include "platform/forms/control_site.h"

#include <cmath>

#include "platform/base/strings.h"
#include "platform/com/object.h"
#include "platform/com/variant.h"

namespace plat::forms {

namespace {

constexpr DISPID kDrag = 1, kDragIcon = 2, kDragMode = 3;

// The extender a form runtime wraps around a control. It answers "Drag"
// only when the container lets the control be a drag source.
class Extender final : public DispatchWithoutTypeInfo {
  public:
    explicit Extender(bool can_drag) : m_canDrag(can_drag) {}

    HRESULT QueryInterface(REFIID iid, void** out) override {
        return query_self(static_cast<IDispatch*>(this), iid, out, {IID_IDispatch});
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        ULONG n = --m_refs;
        if (n == 0) delete this;
        return n;
    }
    HRESULT GetIDsOfNames(REFIID, OLECHAR** names, uint32_t count, LCID, DISPID* ids) override {
        if (!names || !ids || count == 0) return E_INVALIDARG;
        const std::string name = utf16_to_utf8(std::u16string_view(names[0]));
        ids[0] = DISPID_UNKNOWN;
        if (iequals(name, "Drag") && m_canDrag) ids[0] = kDrag;
        if (iequals(name, "DragIcon")) ids[0] = kDragIcon;
        if (iequals(name, "DragMode")) ids[0] = kDragMode;
        return ids[0] == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
    }
    HRESULT Invoke(DISPID id, REFIID, LCID, uint16_t flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                   uint32_t*) override {
        if (id == kDrag && m_canDrag) return S_OK;
        if (id == kDragMode) {
            if ((flags & DISPATCH_PROPERTYPUT) && params && params->cArgs)
                m_dragMode = Variant(params->rgvarg[0]).to_i2();
            else if (result)
                *result = Variant(m_dragMode).detach();
            return S_OK;
        }
        if (id == kDragIcon) return S_OK;
        return DISP_E_MEMBERNOTFOUND;
    }

  private:
    ~Extender() = default;
    bool m_canDrag;
    int16_t m_dragMode{0};
    ULONG m_refs{1};
};

} // namespace

HRESULT ControlSite::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IOleClientSite::kIID)
        *out = static_cast<IOleClientSite*>(this);
    else if (iid == IOleControlSite::kIID)
        *out = static_cast<IOleControlSite*>(this);
    else if (iid == IID_IDispatch)
        *out = static_cast<IDispatch*>(this);
    else
        return query_other(iid, out);
    AddRef();
    return S_OK;
}

HRESULT ControlSite::GetExtendedControl(IDispatch** out) {
    if (!out) return E_POINTER;
    *out = new Extender(m_extenderDrag);
    return S_OK;
}

HRESULT ControlSite::TransformCoords(POINTL* himetric, POINTF* container, uint32_t flags) {
    if (!himetric || !container) return E_POINTER;
    // HIMETRIC per container unit: points, or HIMETRIC itself.
    const double per = m_points ? 2540.0 / 72.0 : 1.0;
    if (flags & XFORMCOORDS_HIMETRICTOCONTAINER) {
        container->x = static_cast<float>(himetric->x / per);
        container->y = static_cast<float>(himetric->y / per);
    } else if (flags & XFORMCOORDS_CONTAINERTOHIMETRIC) {
        himetric->x = static_cast<int32_t>(std::lround(container->x * per));
        himetric->y = static_cast<int32_t>(std::lround(container->y * per));
    } else {
        return E_INVALIDARG;
    }
    return S_OK;
}

HRESULT ControlSite::Invoke(DISPID id, REFIID, LCID, uint16_t, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                            uint32_t*) {
    Variant v;
    if (id == DISPID_AMBIENT_USERMODE)
        v = Variant::boolean(m_userMode);
    else if (id == DISPID_AMBIENT_SCALEUNITS)
        v = Variant(std::string_view(m_scaleUnits));
    else
        return DISP_E_MEMBERNOTFOUND;
    if (result) *result = v.detach();
    return S_OK;
}

void announce_ambient(IUnknown* control, DISPID id) {
    ComPtr<IOleControl> ctl;
    if (control && SUCCEEDED(control->QueryInterface(IOleControl::kIID, ctl.put_void())) && ctl)
        ctl->OnAmbientPropertyChange(id);
}

} // namespace plat::forms
