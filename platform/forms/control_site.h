#pragma once
// The container's side of a sited control, without a window: the client
// site with its ambients (UserMode, ScaleUnits), the HIMETRIC transform to
// the container's units and the extender wrapped around the control. The
// windowed host and the headless containers share it.
#include <cstdint>
#include <string>

#include "platform/com/dispatch.h"
#include "platform/com/ole.h"

namespace plat::forms {

class ControlSite : public IOleClientSite, public IOleControlSite, public DispatchWithoutTypeInfo {
  public:
    ControlSite() = default;
    virtual ~ControlSite() = default;
    ControlSite(const ControlSite&) = delete;
    ControlSite& operator=(const ControlSite&) = delete;

    // IUnknown: the container owns the site; controls' references only count.
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override { return --m_refs; }

    // IOleClientSite
    HRESULT SaveObject() override { return S_OK; }
    HRESULT ShowObject() override { return S_OK; }
    HRESULT OnShowWindow(BOOL) override { return S_OK; }
    HRESULT RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleControlSite
    HRESULT OnControlInfoChanged() override { return S_OK; }
    HRESULT LockInPlaceActive(BOOL) override { return S_OK; }
    HRESULT GetExtendedControl(IDispatch** out) override;
    HRESULT TransformCoords(POINTL* himetric, POINTF* container, uint32_t flags) override;
    HRESULT OnFocus(BOOL) override { return S_OK; }

    // IDispatch: the ambients.
    HRESULT GetIDsOfNames(REFIID, OLECHAR**, uint32_t, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    HRESULT Invoke(DISPID id, REFIID, LCID, uint16_t, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                   uint32_t*) override;

    bool user_mode() const { return m_userMode; }
    const std::string& scale_units() const { return m_scaleUnits; }
    // The container's own units are points (else HIMETRIC).
    bool points() const { return m_points; }
    bool extender_can_drag() const { return m_extenderDrag; }
    void set_user_mode(bool on) { m_userMode = on; }
    void set_scale_units(std::string units) { m_scaleUnits = std::move(units); }
    void set_points(bool on) { m_points = on; }
    // Without "Drag" the extender refuses to be a drag source.
    void set_extender_can_drag(bool on) { m_extenderDrag = on; }

    IUnknown* as_unknown() { return static_cast<IOleClientSite*>(this); }
    ULONG refs() const { return m_refs; }

  protected:
    // Further interfaces a container answers on its site (E_NOINTERFACE here).
    virtual HRESULT query_other(REFIID iid, void** out) { return E_NOINTERFACE; }

  private:
    ULONG m_refs{0};
    std::string m_scaleUnits;
    bool m_userMode{true};
    bool m_points{false};
    bool m_extenderDrag{true};
};

// Tells a sited control that an ambient changed.
void announce_ambient(IUnknown* control, DISPID id);

} // namespace plat::forms
