#include "vinca/control/events.h"

#include "vinca/control/control.h"
#include "vinca/control/dispids.h"

namespace vinca {

namespace ev = dispid::event;
using plat::Variant;

// ---- the connection point container ----

CControlEvents::CControlEvents(plat::IUnknown& control) : m_control(control) {
    m_point = &m_points.add(*this, IID_DVinca5Events);
}

CControlEvents::~CControlEvents() = default;

plat::HRESULT CControlEvents::QueryInterface(plat::REFIID iid, void** out) {
    if (!out) return plat::E_POINTER;
    if (iid == plat::IConnectionPointContainer::kIID) {
        *out = static_cast<plat::IConnectionPointContainer*>(this);
        AddRef();
        return plat::S_OK;
    }
    return m_control.QueryInterface(iid, out);
}

plat::ULONG CControlEvents::AddRef() {
    return m_control.AddRef();
}

plat::ULONG CControlEvents::Release() {
    return m_control.Release();
}

plat::HRESULT CControlEvents::EnumConnectionPoints(void** out) {
    if (out) *out = nullptr;
    return plat::E_NOTIMPL;
}

plat::HRESULT CControlEvents::FindConnectionPoint(plat::REFIID iid, plat::IConnectionPoint** out) {
    return m_points.find(iid, out);
}

void CControlEvents::Fire(plat::DISPID id, std::span<const Variant> args) {
    // A control being destroyed must not be counted up again by the fire's hold.
    if (m_closed || !m_point || m_point->sink_count() == 0) return;
    m_point->fire(id, args);
}

void CControlEvents::Close() {
    m_closed = true;
    m_points.disconnect_all();
}

void FireControlEvent(CVincaCtrl& ctrl, plat::DISPID id, std::span<const Variant> args) {
    ctrl.Events().Fire(id, args);
}

// ---- typed events ----

namespace {

// By-reference arguments over the caller's own storage.
Variant RefI2(int16_t& v) {
    Variant r;
    r.vt = plat::VT_BYREF | plat::VT_I2;
    r.piVal = &v;
    return r;
}

Variant RefI4(int32_t& v) {
    Variant r;
    r.vt = plat::VT_BYREF | plat::VT_I4;
    r.plVal = &v;
    return r;
}

Variant RefBstr(Variant& text) {
    Variant r;
    r.vt = plat::VT_BYREF | plat::VT_BSTR;
    r.pbstrVal = &text.bstrVal;
    return r;
}

Variant RefDispatch(plat::IDispatch*& p) {
    Variant r;
    r.vt = plat::VT_BYREF | plat::VT_DISPATCH;
    r.ppdispVal = &p;
    return r;
}

template <size_t N> void Fire(CVincaCtrl& ctrl, plat::DISPID id, const Variant (&args)[N]) {
    ctrl.Events().Fire(id, std::span<const Variant>(args, N));
}

// A string argument the container may replace; always a text.
struct TextArg {
    explicit TextArg(const std::string& s) : value(std::string_view(s)) {}
    std::string Read() const { return value.vt == plat::VT_BSTR ? value.to_utf8() : std::string(); }
    Variant value;
};

} // namespace

void FireMouseEvent(CVincaCtrl& ctrl, plat::DISPID id, int16_t button, int16_t shift, int32_t x, int32_t y) {
    const Variant args[] = {Variant(button), Variant(shift), Variant(x), Variant(y)};
    Fire(ctrl, id, args);
}

void FireKeyEvent(CVincaCtrl& ctrl, plat::DISPID id, int16_t& key, int16_t shift) {
    const Variant args[] = {RefI2(key), Variant(shift)};
    Fire(ctrl, id, args);
}

void FireKeyPress(CVincaCtrl& ctrl, int16_t& character) {
    const Variant args[] = {RefI2(character)};
    Fire(ctrl, ev::kKeyPress, args);
}

void FireSimpleEvent(CVincaCtrl& ctrl, plat::DISPID id) {
    ctrl.Events().Fire(id, {});
}

void FireItemEvent(CVincaCtrl& ctrl, plat::DISPID id, int32_t index) {
    const Variant args[] = {Variant(index)};
    Fire(ctrl, id, args);
}

void FireItemClick(CVincaCtrl& ctrl, plat::DISPID id, int32_t index, int16_t button) {
    const Variant args[] = {Variant(index), Variant(button)};
    Fire(ctrl, id, args);
}

void FireGridCellClick(CVincaCtrl& ctrl, plat::DISPID id, plat::IDispatch* cell, int16_t button) {
    const Variant args[] = {Variant(cell), Variant(button)};
    Fire(ctrl, id, args);
}

bool FireScroll(CVincaCtrl& ctrl, plat::DISPID id, int16_t code, int32_t pos) {
    int16_t cancel = 0;
    const Variant args[] = {RefI2(cancel), Variant(code), Variant(pos)};
    Fire(ctrl, id, args);
    return cancel != 0;
}

bool FireRequestEditing(CVincaCtrl& ctrl, int32_t index, std::string& text, int16_t& options) {
    int16_t cancel = 0;
    TextArg edit(text);
    const Variant args[] = {RefI2(cancel), Variant(index), RefBstr(edit.value), RefI2(options)};
    Fire(ctrl, ev::kRequestEditing, args);
    text = edit.Read();
    return cancel == 0;
}

void FireAfterEditing(CVincaCtrl& ctrl, int32_t index, std::string& text, int16_t cancelledBy) {
    TextArg edited(text);
    const Variant args[] = {Variant(index), RefBstr(edited.value), Variant(cancelledBy)};
    Fire(ctrl, ev::kAfterEditing, args);
    text = edited.Read();
}

void FireEditingKey(CVincaCtrl& ctrl, plat::DISPID id, int32_t index, int16_t& key, int16_t& shift) {
    const Variant args[] = {Variant(index), RefI2(key), RefI2(shift)};
    Fire(ctrl, id, args);
}

void FireEditingKeyPress(CVincaCtrl& ctrl, int32_t index, int16_t& character) {
    const Variant args[] = {Variant(index), RefI2(character)};
    Fire(ctrl, ev::kEditingKeyPress, args);
}

void FireItemQueryData(CVincaCtrl& ctrl, int32_t index, int32_t siblingIndex) {
    const Variant args[] = {Variant(index), Variant(siblingIndex)};
    Fire(ctrl, ev::kItemQueryData, args);
}

bool FireAutoDragRequest(CVincaCtrl& ctrl, int32_t& sourceItem) {
    int16_t cancel = 0;
    const Variant args[] = {RefI4(sourceItem), RefI2(cancel)};
    Fire(ctrl, ev::kAutoDragRequest, args);
    return cancel == 0;
}

bool FireAutoDragComplete(CVincaCtrl& ctrl, plat::IDispatch*& sourceControl, int32_t sourceItem,
                          int32_t targetItem, int16_t& operation) {
    int16_t cancel = 0;
    const Variant args[] = {RefDispatch(sourceControl), Variant(sourceItem), Variant(targetItem),
                            RefI2(operation), RefI2(cancel)};
    Fire(ctrl, ev::kAutoDragComplete, args);
    return cancel == 0;
}

void FireOleDragOver(CVincaCtrl& ctrl, plat::IDispatch* data, int32_t& effect, int16_t button, int16_t shift,
                     double x, double y, int16_t state) {
    const Variant args[] = {Variant(data), RefI4(effect), Variant(button), Variant(shift),
                            Variant(x),    Variant(y),    Variant(state)};
    Fire(ctrl, ev::kOLEDragOver, args);
}

void FireOleDragDrop(CVincaCtrl& ctrl, plat::IDispatch* data, int32_t& effect, int16_t button, int16_t shift,
                     double x, double y) {
    const Variant args[] = {Variant(data),  RefI4(effect), Variant(button),
                            Variant(shift), Variant(x),    Variant(y)};
    Fire(ctrl, ev::kOLEDragDrop, args);
}

// ---- the engine's event slots ----

bool CVincaCtrl::RequestExpand(int32_t index) {
    CFlagGuard guard(m_engineFlags, kFiringExpandCollapse);
    if (guard.Entered()) FireItemEvent(*this, ev::kExpand, index);
    return true;
}

bool CVincaCtrl::RequestCollapse(int32_t index) {
    CFlagGuard guard(m_engineFlags, kFiringExpandCollapse);
    if (guard.Entered()) FireItemEvent(*this, ev::kCollapse, index);
    return true;
}

void CVincaCtrl::ItemCollapsedByAncestor(int32_t index) {
    CFlagGuard guard(m_engineFlags, kFiringExpandCollapse);
    if (guard.Entered()) FireItemEvent(*this, ev::kCollapse, index);
}

void CVincaCtrl::ItemQueryData(int32_t index, int32_t childIndex) {
    FireItemQueryData(*this, index, childIndex);
}

} // namespace vinca
