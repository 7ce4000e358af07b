#pragma once
// The container's side of a sited control, without a window: the client
// site with its ambients (UserMode, ScaleUnits, Font), the HIMETRIC
// transform to the container's units, the runtime's files by number and the
// extended control wrapped around the control. The windowed host and the
// headless containers (hidden controls, tests) are this one class; a window
// adds itself through the hooks at the end.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/dispatch.h"
#include "platform/com/guid.h"
#include "platform/com/host_files.h"
#include "platform/com/ole.h"
#include "platform/com/variant.h"

namespace plat::forms {

// Members of the extended control, by DISPID. Any other name or DISPID
// goes on to the control itself.
namespace extender {
inline constexpr DISPID kTag = static_cast<DISPID>(0x80010005u);
inline constexpr DISPID kVisible = static_cast<DISPID>(0x80010007u);
inline constexpr DISPID kDragIcon = static_cast<DISPID>(0x8001000Au);
inline constexpr DISPID kDragMode = static_cast<DISPID>(0x8001000Bu);
inline constexpr DISPID kSetFocus = static_cast<DISPID>(0x80011000u);
// Drag(Action): 0 cancel, 1 begin (the default), 2 end.
inline constexpr DISPID kDrag = static_cast<DISPID>(0x80011003u);
// The control's place on its form, in the container's units (Single), its
// Enabled flag and its tool tip.
inline constexpr DISPID kLeft = static_cast<DISPID>(0x80010100u);
inline constexpr DISPID kTop = static_cast<DISPID>(0x80010101u);
inline constexpr DISPID kWidth = static_cast<DISPID>(0x80010102u);
inline constexpr DISPID kHeight = static_cast<DISPID>(0x80010103u);
inline constexpr DISPID kEnabled = static_cast<DISPID>(0x8001010Eu);
inline constexpr DISPID kToolTipText = static_cast<DISPID>(0x80010119u);
} // namespace extender

inline constexpr DISPID DISPID_AMBIENT_FONT = -703;

// The font the forms and their controls are drawn with.
struct AmbientFont {
    std::string name{"DejaVu Sans"};
    double size{8}; // points
    bool bold{false};
    bool italic{false};
    bool underline{false};
    bool strikethrough{false};
};

class ControlSite : public IOleClientSite,
                    public IOleControlSite,
                    public DispatchWithoutTypeInfo,
                    public IHostFiles,
                    public IHostFileAccess {
  public:
    ControlSite();
    virtual ~ControlSite();
    ControlSite(const ControlSite&) = delete;
    ControlSite& operator=(const ControlSite&) = delete;

    // ---- controls ----
    // Creates the control by class id or ProgID, sites it here and starts it
    // as new; null on failure (`hr` receives the creation's result).
    ComPtr<IDispatch> create(const CLSID& clsid, HRESULT* hr = nullptr);
    ComPtr<IDispatch> create(std::string_view prog_id, HRESULT* hr = nullptr);
    // Gives an existing control this site.
    void site(IUnknown* control);
    // Takes the site back from every control and drops the site's
    // references, as a form does when it unloads.
    void release_all();
    // The first control sited here (null when none).
    IUnknown* control() const { return m_controls.empty() ? nullptr : m_controls.front().get(); }

    // ---- ambients; a change is announced to every control sited here ----
    bool user_mode() const { return m_userMode; }
    void set_user_mode(bool run_mode);
    const std::string& scale_units() const { return m_scaleUnits; }
    void set_scale_units(std::string units);
    const AmbientFont& font() const { return m_font; }
    void set_font(AmbientFont font);
    // The container's own units are points (else HIMETRIC) when the scale
    // units name neither pixels nor twips.
    bool points() const { return m_points; }
    void set_points(bool on) { m_points = on; }
    // A distance in screen pixels in the container's scale units.
    double pixels_to_units(double pixels, bool horizontal = true);

    // ---- the runtime's files ----
    // Without the host-file interface the site answers only the others.
    bool host_files() const { return m_hostFiles; }
    void set_host_files(bool on) { m_hostFiles = on; }
    // Binary files by number, one table per process as in a form runtime: a
    // control reaches a file through any live site. `write` creates or
    // truncates; 0 when the file cannot be opened; numbers start at 1.
    static int16_t open_file_number(const std::filesystem::path& path, bool write);
    // False when the number is not open or flushing failed.
    static bool close_file_number(int16_t number);
    static std::FILE* file_by_number(int16_t number);

    // ---- the extended control ----
    // One object for the life of the site; every call hands out the same.
    ComPtr<IDispatch> extended_control();
    // Without "Drag" the extender refuses to be a drag source.
    bool extender_can_drag() const { return m_extenderDrag; }
    void set_extender_can_drag(bool on) { m_extenderDrag = on; }
    const Variant& tag() const { return m_tag; }
    void set_tag(const Variant& tag) { m_tag = tag; }
    int16_t drag_mode() const { return m_dragMode; }
    // Visible: a windowed host hands it to the form like Enabled below.
    virtual bool visible() const { return m_visible; }
    virtual void set_visible(bool on);
    // The picture object last given as DragIcon (null when none).
    IUnknown* drag_icon() const { return m_dragIcon.get(); }
    void set_drag_icon(IUnknown* picture);
    // Where the control sits and its own Enabled flag and tool tip. Without
    // a window the site keeps them; a windowed host hands them to the form.
    struct Placement {
        float left{0}, top{0}, width{0}, height{0};
    };
    virtual Placement placement() const { return m_placement; }
    virtual void set_placement(const Placement& p) { m_placement = p; }
    virtual bool enabled() const { return m_enabled; }
    virtual void set_enabled(bool on) { m_enabled = on; }
    virtual std::string tool_tip_text() const { return m_toolTip; }
    virtual void set_tool_tip_text(const std::string& text) { m_toolTip = text; }

    IUnknown* as_unknown() { return static_cast<IOleClientSite*>(this); }
    ULONG refs() const { return m_refs; }

    // ---- COM ----
    // The container owns the site; controls' references only count.
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override { return --m_refs; }

    // IOleClientSite
    HRESULT SaveObject() override { return S_OK; }
    HRESULT GetMoniker(uint32_t, uint32_t, IMoniker** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    // A form is no linking container: it offers no container object.
    HRESULT GetContainer(IOleContainer** out) override {
        if (out) *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT ShowObject() override { return S_OK; }
    HRESULT OnShowWindow(BOOL) override { return S_OK; }
    HRESULT RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleControlSite
    HRESULT OnControlInfoChanged() override { return S_OK; }
    HRESULT LockInPlaceActive(BOOL) override { return S_OK; }
    HRESULT GetExtendedControl(IDispatch** out) override;
    HRESULT TransformCoords(POINTL* himetric, POINTF* container, uint32_t flags) override;
    // The form has no accelerators of its own to offer the key to.
    HRESULT TranslateAccelerator(MSG*, uint32_t) override { return S_FALSE; }
    HRESULT OnFocus(BOOL) override { return S_OK; }
    HRESULT ShowPropertyFrame() override { return E_NOTIMPL; }

    // IDispatch: the ambients.
    HRESULT GetIDsOfNames(REFIID, OLECHAR**, uint32_t, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    HRESULT Invoke(DISPID id, REFIID, LCID, uint16_t, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                   uint32_t*) override;

    // IHostFiles
    HRESULT GetFileAccess(REFIID iid, void** out, uint32_t) override { return QueryInterface(iid, out); }
    // IHostFileAccess
    HRESULT Read(int16_t file, void* buffer, uint16_t count) override;
    HRESULT Write(int16_t file, const void* buffer, uint16_t count) override;
    HRESULT SeekFromStart(int16_t file, int32_t offset, uint32_t* position) override;
    HRESULT SeekFromCurrent(int16_t file, int32_t offset, uint32_t* position) override;

  protected:
    // What a window adds. Without one: Drag and SetFocus succeed and do
    // nothing, Visible and DragIcon are only kept.
    // Drag(action) with action 0, 1 or 2.
    virtual HRESULT on_drag(int16_t action) { return S_OK; }
    virtual HRESULT on_set_focus() { return S_OK; }
    virtual void on_visible_changed() {}
    virtual void on_drag_icon_changed() {}
    // Further interfaces a container answers on its site (E_NOINTERFACE here).
    virtual HRESULT query_other(REFIID iid, void** out) { return E_NOINTERFACE; }

  private:
    class Extender;
    friend class Extender;
    void announce(DISPID id);

    ULONG m_refs{0};
    std::vector<ComPtr<IUnknown>> m_controls;
    Extender* m_extender{nullptr};
    std::string m_scaleUnits{"Twip"};
    AmbientFont m_font;
    Variant m_tag{std::string_view()};
    ComPtr<IUnknown> m_dragIcon;
    int16_t m_dragMode{0};
    bool m_userMode{true};
    bool m_points{false};
    bool m_extenderDrag{true};
    bool m_hostFiles{true};
    bool m_visible{true};
    bool m_enabled{true};
    std::string m_toolTip;
    Placement m_placement;
};

// Tells a sited control that an ambient changed.
void announce_ambient(IUnknown* control, DISPID id);

} // namespace plat::forms
