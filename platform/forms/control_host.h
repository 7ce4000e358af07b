#pragma once
// The container of one control on a form: a widget that creates the control
// by class id or ProgID, is its site (ambients UserMode, ScaleUnits "Twip"
// and the form's font; the runtime's files; the extended control) and
// activates it in place, so that the control's window is a child of this
// widget and follows its size.
//
// Form code hears the control's events through procedures bound by event
// name; the names come from the caller, since a control carries no type
// information. Stock mouse events reach the procedure with X and Y in the
// host's scale units. The host's own events are "DragOver" (Source, X, Y,
// State) and "DragDrop" (Source, X, Y) of the manual drag (manual_drag.h).
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <QtGui/QImage>
#include <QtWidgets/QWidget>

#include "platform/com/dispatch.h"
#include "platform/com/event_sink.h"
#include "platform/com/guid.h"
#include "platform/forms/control_site.h"

namespace plat::forms {

class ControlHost;

// An event procedure: the event's arguments in declaration order; a
// by-reference one (KeyCode, Cancel) is written back with `args.set`.
using EventProcedure = std::function<void(EventArgs& args)>;

// One row of a control's event table: the name form code binds by.
struct EventName {
    std::string name;
    DISPID id;
};

// The form's wrapper of a host (the runtime's control): it keeps the place
// in twips and the own Visible and Enabled flags and tool tip that the
// extender reads and writes.
class ExtenderOwner {
  public:
    virtual ~ExtenderOwner() = default;
    virtual ControlSite::Placement placement() const = 0;
    virtual void set_placement(const ControlSite::Placement& p) = 0;
    virtual bool visible() const = 0;
    virtual void set_visible(bool on) = 0;
    virtual bool enabled() const = 0;
    virtual void set_enabled(bool on) = 0;
    virtual std::string tool_tip_text() const = 0;
    virtual void set_tool_tip_text(const std::string& text) = 0;
};

// The window side of the host's site: what Drag, SetFocus, Visible and
// DragIcon do to the widget. The place, Visible, Enabled and the tool tip
// are the owner's when the host has one; else the site keeps them and the
// widget follows (the place in twips, 15 to a pixel).
class HostSite final : public ControlSite {
  public:
    explicit HostSite(ControlHost& host) : m_host(host) {}

    Placement placement() const override;
    void set_placement(const Placement& p) override;
    bool visible() const override;
    void set_visible(bool on) override;
    bool enabled() const override;
    void set_enabled(bool on) override;
    std::string tool_tip_text() const override;
    void set_tool_tip_text(const std::string& text) override;

  protected:
    HRESULT on_drag(int16_t action) override;
    HRESULT on_set_focus() override;
    void on_visible_changed() override;
    void on_drag_icon_changed() override;

  private:
    ControlHost& m_host;
};

class ControlHost : public QWidget {
    Q_OBJECT
  public:
    explicit ControlHost(QWidget* parent = nullptr);
    ~ControlHost() override;

    // Creates the control, sites it, initialises it as new and activates it
    // in this widget; null on failure (`hr` receives the reason). A control
    // this host had before is released first.
    ComPtr<IDispatch> create(const CLSID& clsid, HRESULT* hr = nullptr);
    ComPtr<IDispatch> create(std::string_view prog_id, HRESULT* hr = nullptr);
    // Destroys the control's window and takes the site back.
    void release();

    ControlSite& site() { return m_site; }
    IUnknown* control() const { return m_control.get(); }
    // The extended control: the host's members, then the control's.
    ComPtr<IDispatch> extender() { return m_site.extended_control(); }
    // This widget's window number and the control's (0 without one).
    uint32_t window_handle() const { return m_handle; }
    uint32_t control_window() const;

    // The wrapper that keeps the extender's place and flags (null: none).
    ExtenderOwner* owner() const { return m_owner; }
    void set_owner(ExtenderOwner* owner) { m_owner = owner; }

    void set_user_mode(bool on) { m_site.set_user_mode(on); }
    void set_scale_units(std::string units) { m_site.set_scale_units(std::move(units)); }

    // ---- events ----
    // The control's event interface and the names of its events. The host
    // connects to the control when both are there, whichever comes first.
    void set_events(const IID& events_iid, std::vector<EventName> names);
    // Binds a procedure to an event by name ("Click", "MouseDown",
    // "DragOver"...); false for a name the table does not know. A second
    // binding replaces the first; an empty procedure unbinds.
    bool bind(std::string_view event, EventProcedure procedure);

    // ---- the manual drag ----
    // The picture the pointer shows while this control is dragged: the
    // DragIcon set through the extender, or one set here (a null image
    // leaves the standard drag pointer).
    QImage drag_icon() const { return m_dragIcon; }
    void set_drag_icon(const QImage& icon);
    // Runs "DragOver" or "DragDrop" with `pixel` in this widget's pixels;
    // the procedure gets X and Y in the scale units. State: 0 enter, 1 leave,
    // 2 over; a state below 0 fires DragDrop.
    void fire_drag(IDispatch* source, QPoint pixel, int16_t state);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    friend class HostSite;
    void connect_events();
    void disconnect_events();
    void on_event(DISPID id, EventArgs& args);
    void run(const std::string& event, DISPPARAMS& params);
    void read_drag_icon();

    HostSite m_site{*this};
    ExtenderOwner* m_owner{nullptr};
    ComPtr<IUnknown> m_control;
    uint32_t m_handle{0};
    IID m_eventsIID{};
    std::vector<EventName> m_events;
    std::map<std::string, EventProcedure, std::less<>> m_procedures;
    ComPtr<IDispatch> m_sink;
    uint32_t m_cookie{0};
    QImage m_dragIcon;
};

// Binds `procedure` to `event` of the hosted control named `control` (its
// object name) among the children of `form`; false when there is no such
// control or event.
bool bind_event(QWidget& form, std::string_view control, std::string_view event, EventProcedure procedure);

} // namespace plat::forms
