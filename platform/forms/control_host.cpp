#include "platform/forms/control_host.h"

#include <cmath>

#include "platform/base/strings.h"
#include "platform/com/inplace.h"
#include "platform/com/loader.h"
#include "platform/com/persist.h"
#include "platform/forms/manual_drag.h"
#include "platform/gdi/picture_decode.h"
#include "platform/ui/window_table.h"
// Pictures handed to DragIcon are the picture objects of the control
// library; reading their image needs their interface only.
#include "vinca/model/picture.h"
#include "vinca/model/values.h"

namespace plat::forms {

namespace {

// Stock mouse events: Button, Shift, X, Y with X and Y in pixels.
constexpr DISPID kMouseDown = -605, kMouseMove = -606, kMouseUp = -607;

RECT Whole(const QWidget& w) {
    return {0, 0, w.width(), w.height()};
}

// The control's in-place side (null when it has no window to offer).
ComPtr<IOleInPlaceObject> InPlace(const ComPtr<IUnknown>& control) {
    ComPtr<IOleInPlaceObject> inplace;
    if (control && FAILED(control.query(IOleInPlaceObject::kIID, inplace))) inplace.reset();
    return inplace;
}

} // namespace

// ---- the window side of the site ----

HRESULT HostSite::on_drag(int16_t action) {
    if (action == 1) return manual_drag::begin(m_host) ? S_OK : E_FAIL;
    if (manual_drag::source() == &m_host) manual_drag::cancel();
    return S_OK;
}

HRESULT HostSite::on_set_focus() {
    QWidget* target = ui::WindowFromHandle(m_host.control_window());
    if (!target) target = &m_host;
    target->setFocus(Qt::OtherFocusReason);
    return S_OK;
}

void HostSite::on_visible_changed() {
    m_host.setVisible(visible());
}

void HostSite::on_drag_icon_changed() {
    m_host.read_drag_icon();
}

ControlSite::Placement HostSite::placement() const {
    return m_host.owner() ? m_host.owner()->placement() : ControlSite::placement();
}

void HostSite::set_placement(const Placement& p) {
    if (ExtenderOwner* owner = m_host.owner()) return owner->set_placement(p);
    ControlSite::set_placement(p);
    auto px = [](float twips) { return static_cast<int>(std::lround(twips / 15.0)); };
    m_host.setGeometry(px(p.left), px(p.top), px(p.width), px(p.height));
}

bool HostSite::visible() const {
    return m_host.owner() ? m_host.owner()->visible() : ControlSite::visible();
}

void HostSite::set_visible(bool on) {
    if (ExtenderOwner* owner = m_host.owner()) return owner->set_visible(on);
    ControlSite::set_visible(on);
}

bool HostSite::enabled() const {
    return m_host.owner() ? m_host.owner()->enabled() : ControlSite::enabled();
}

void HostSite::set_enabled(bool on) {
    if (ExtenderOwner* owner = m_host.owner()) return owner->set_enabled(on);
    ControlSite::set_enabled(on);
    m_host.setEnabled(on);
}

std::string HostSite::tool_tip_text() const {
    return m_host.owner() ? m_host.owner()->tool_tip_text() : ControlSite::tool_tip_text();
}

void HostSite::set_tool_tip_text(const std::string& text) {
    if (ExtenderOwner* owner = m_host.owner()) return owner->set_tool_tip_text(text);
    ControlSite::set_tool_tip_text(text);
    m_host.setToolTip(QString::fromStdString(text));
}

// ---- the host ----

ControlHost::ControlHost(QWidget* parent) : QWidget(parent), m_handle(ui::Windows().add(this)) {
    // The forms' own font, so that the layout does not follow the desktop.
    const AmbientFont& f = m_site.font();
    QFont font(QString::fromStdString(f.name));
    font.setPointSizeF(f.size);
    setFont(font);
}

ControlHost::~ControlHost() {
    if (manual_drag::source() == this) manual_drag::cancel();
    release();
    ui::Windows().remove(m_handle);
}

ComPtr<IDispatch> ControlHost::create(const CLSID& clsid, HRESULT* hr) {
    release();
    ComPtr<IDispatch> disp = m_site.create(clsid, hr);
    IUnknown* obj = m_site.control();
    if (!obj) return disp;
    m_control = obj;
    // Activated in place inside this widget, as a container does: the
    // verb names the parent window and the control's rectangle in it.
    ComPtr<IOleObject> ole;
    if (SUCCEEDED(m_control.query(IOleObject::kIID, ole)) && ole) {
        const RECT whole = Whole(*this);
        ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &m_site, -1, m_handle, &whole);
    }
    // Focus given to the container (SetFocus, a click on its frame, Tab)
    // belongs to the control's window, which reads the keys.
    setFocusProxy(ui::WindowFromHandle(control_window()));
    connect_events();
    return disp;
}

ComPtr<IDispatch> ControlHost::create(std::string_view prog_id, HRESULT* hr) {
    CLSID clsid;
    const HRESULT found = clsid_from_prog_id(prog_id, clsid);
    if (FAILED(found)) {
        if (hr) *hr = found;
        return nullptr;
    }
    return create(clsid, hr);
}

void ControlHost::release() {
    if (!m_control) return;
    if (manual_drag::source() == this) manual_drag::cancel();
    disconnect_events();
    setFocusProxy(nullptr);
    ComPtr<IUnknown> control = std::move(m_control);
    if (ComPtr<IOleInPlaceObject> inplace = InPlace(control)) inplace->InPlaceDeactivate();
    m_site.release_all();
}

uint32_t ControlHost::control_window() const {
    HWND window = 0;
    if (ComPtr<IOleInPlaceObject> inplace = InPlace(m_control)) inplace->GetWindow(&window);
    return window;
}

void ControlHost::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (ComPtr<IOleInPlaceObject> inplace = InPlace(m_control)) {
        const RECT whole = Whole(*this);
        inplace->SetObjectRects(&whole, &whole);
    }
}

// ---- events ----

void ControlHost::set_events(const IID& events_iid, std::vector<EventName> names) {
    disconnect_events();
    m_eventsIID = events_iid;
    m_events = std::move(names);
    connect_events();
}

bool ControlHost::bind(std::string_view event, EventProcedure procedure) {
    std::string name;
    for (const char* own : {"DragOver", "DragDrop"})
        if (iequals(event, own)) name = own;
    for (const EventName& e : m_events)
        if (name.empty() && iequals(event, e.name)) name = e.name;
    if (name.empty()) return false;
    if (procedure)
        m_procedures[name] = std::move(procedure);
    else
        m_procedures.erase(name);
    return true;
}

void ControlHost::connect_events() {
    if (!m_control || m_events.empty() || m_sink) return;
    ComPtr<IDispatch> sink =
        make_event_sink(m_eventsIID, [this](DISPID id, EventArgs& args) { on_event(id, args); });
    uint32_t cookie = 0;
    if (FAILED(plat::connect_events(m_control.get(), m_eventsIID, sink.get(), cookie))) return;
    m_sink = sink;
    m_cookie = cookie;
}

void ControlHost::disconnect_events() {
    if (!m_sink) return;
    if (m_control) plat::disconnect_events(m_control.get(), m_eventsIID, m_cookie);
    m_sink.reset();
    m_cookie = 0;
}

void ControlHost::on_event(DISPID id, EventArgs& args) {
    const EventName* row = nullptr;
    for (const EventName& e : m_events)
        if (e.id == id) row = &e;
    if (!row) return;
    auto it = m_procedures.find(row->name);
    if (it == m_procedures.end()) return;
    // The procedure may unbind itself or close the form around this host.
    EventProcedure procedure = it->second;
    const size_t n = args.count();
    if ((id != kMouseDown && id != kMouseMove && id != kMouseUp) || n < 4) {
        procedure(args);
        return;
    }
    // The stock mouse events come in pixels; the form reads its own units.
    // Their arguments are all by value, so copies serve.
    static_assert(sizeof(Variant) == sizeof(VARIANT));
    std::vector<Variant> values(n);
    for (size_t i = 0; i < n; ++i)
        values[n - 1 - i] = args.value(i);
    values[n - 1 - 2] = Variant(static_cast<float>(m_site.pixels_to_units(args.value(2).to_r8(), true)));
    values[n - 1 - 3] = Variant(static_cast<float>(m_site.pixels_to_units(args.value(3).to_r8(), false)));
    DISPPARAMS params{values.data(), nullptr, static_cast<uint32_t>(n), 0};
    EventArgs converted(params);
    procedure(converted);
}

void ControlHost::run(const std::string& event, DISPPARAMS& params) {
    auto it = m_procedures.find(event);
    if (it == m_procedures.end()) return;
    // The procedure may unbind itself or close the form around this host.
    EventProcedure procedure = it->second;
    EventArgs args(params);
    procedure(args);
}

// ---- the manual drag ----

void ControlHost::set_drag_icon(const QImage& icon) {
    m_dragIcon = icon;
    if (manual_drag::source() == this) manual_drag::update_cursor();
}

void ControlHost::read_drag_icon() {
    QImage image;
    ComPtr<vinca::IVincaPicture> picture;
    if (IUnknown* icon = m_site.drag_icon();
        icon && SUCCEEDED(icon->QueryInterface(vinca::IID_IPicture, picture.put_void())) && picture)
        if (auto decoded = gdi::DecodePicture(picture->Type(), picture->Data())) image = decoded->image;
    set_drag_icon(image);
}

void ControlHost::fire_drag(IDispatch* source, QPoint pixel, int16_t state) {
    const bool drop = state < 0;
    Variant args[4];
    // Declaration order Source, X, Y[, State]; DISPPARAMS holds them reversed.
    const Variant src(source);
    const Variant x(static_cast<float>(m_site.pixels_to_units(pixel.x(), true)));
    const Variant y(static_cast<float>(m_site.pixels_to_units(pixel.y(), false)));
    if (drop) {
        args[0] = y;
        args[1] = x;
        args[2] = src;
    } else {
        args[0] = Variant(state);
        args[1] = y;
        args[2] = x;
        args[3] = src;
    }
    DISPPARAMS params{args, nullptr, drop ? 3u : 4u, 0};
    run(drop ? "DragDrop" : "DragOver", params);
}

bool bind_event(QWidget& form, std::string_view control, std::string_view event, EventProcedure procedure) {
    for (ControlHost* host : form.findChildren<ControlHost*>())
        if (iequals(host->objectName().toStdString(), control))
            return host->bind(event, std::move(procedure));
    return false;
}

} // namespace plat::forms
