#pragma once
// The control's outgoing events: every event reaches the sinks connected to
// the control's event interface through its connection points. The typed
// firers below build each event's arguments in declaration order and read
// back what the container handed back through its by-reference ones.
#include <cstdint>
#include <span>
#include <string>

#include "platform/com/dispatch.h"
#include "platform/com/events.h"
#include "platform/com/variant.h"

namespace vinca {

class CVincaCtrl;

// The control's connection point container: one point, for the event
// interface. It lives inside the control and shares its reference count.
class CControlEvents final : public plat::IConnectionPointContainer {
  public:
    explicit CControlEvents(plat::IUnknown& control);
    ~CControlEvents();

    plat::HRESULT QueryInterface(plat::REFIID iid, void** out) override;
    plat::ULONG AddRef() override;
    plat::ULONG Release() override;
    plat::HRESULT EnumConnectionPoints(void** out) override;
    plat::HRESULT FindConnectionPoint(plat::REFIID iid, plat::IConnectionPoint** out) override;

    // Fires to every sink; nothing once the control is closing.
    void Fire(plat::DISPID id, std::span<const plat::Variant> args);
    // The control is going: sinks are dropped and nothing fires any more.
    void Close();
    size_t SinkCount() const { return m_point ? m_point->sink_count() : 0; }

  private:
    plat::IUnknown& m_control;
    plat::ConnectionPoints m_points;
    plat::ConnectionPoint* m_point{nullptr};
    bool m_closed{false};
};

// Fires event `id` with its arguments (in declaration order) to every sink
// of the control's event interface. Without connection points nothing happens.
void FireControlEvent(CVincaCtrl& ctrl, plat::DISPID id, std::span<const plat::Variant> args);

// ---- typed events ----
// Stock mouse events: Button 1 left, 2 right, 4 middle; Shift 1 Shift,
// 2 Ctrl, 4 Alt; X and Y in the window's pixels.
void FireMouseEvent(CVincaCtrl& ctrl, plat::DISPID id, int16_t button, int16_t shift, int32_t x, int32_t y);
// KeyDown and KeyUp: the container may change the key code (0 stops the
// control's own handling).
void FireKeyEvent(CVincaCtrl& ctrl, plat::DISPID id, int16_t& key, int16_t shift);
void FireKeyPress(CVincaCtrl& ctrl, int16_t& character);
// Click, DblClick, PictureClick, PictureDblClick.
void FireSimpleEvent(CVincaCtrl& ctrl, plat::DISPID id);
// Expand, Collapse, MarkClick, MarkDblClick, PlusMinusClick, PlusMinusDblClick.
void FireItemEvent(CVincaCtrl& ctrl, plat::DISPID id, int32_t index);
// ItemClick and ItemDblClick: the item's index and the mouse key-state word.
void FireItemClick(CVincaCtrl& ctrl, plat::DISPID id, int32_t index, int16_t button);
// GridCellClick and GridCellDblClick with the cell object.
void FireGridCellClick(CVincaCtrl& ctrl, plat::DISPID id, plat::IDispatch* cell, int16_t button);
// HScroll and VScroll; true when the container cancelled the scroll.
bool FireScroll(CVincaCtrl& ctrl, plat::DISPID id, int16_t code, int32_t pos);
// RequestEditing: true when the container let the edit start; the text and
// the options may come back changed.
bool FireRequestEditing(CVincaCtrl& ctrl, int32_t index, std::string& text, int16_t& options);
void FireAfterEditing(CVincaCtrl& ctrl, int32_t index, std::string& text, int16_t cancelledBy);
// EditingKeyDown and EditingKeyUp; EditingKeyPress.
void FireEditingKey(CVincaCtrl& ctrl, plat::DISPID id, int32_t index, int16_t& key, int16_t& shift);
void FireEditingKeyPress(CVincaCtrl& ctrl, int32_t index, int16_t& character);
void FireItemQueryData(CVincaCtrl& ctrl, int32_t index, int32_t siblingIndex);
// AutoDragRequest: true when the container lets the drag start.
bool FireAutoDragRequest(CVincaCtrl& ctrl, int32_t& sourceItem);
// AutoDragComplete: the operation may come back changed; true unless cancelled.
bool FireAutoDragComplete(CVincaCtrl& ctrl, plat::IDispatch*& sourceControl, int32_t sourceItem,
                          int32_t targetItem, int16_t& operation);
// OLEDragOver and OLEDragDrop; the effect may come back changed.
void FireOleDragOver(CVincaCtrl& ctrl, plat::IDispatch* data, int32_t& effect, int16_t button, int16_t shift,
                     double x, double y, int16_t state);
void FireOleDragDrop(CVincaCtrl& ctrl, plat::IDispatch* data, int32_t& effect, int16_t button, int16_t shift,
                     double x, double y);

// The engine's flags word around Expand and Collapse: while one is being
// fired, another is not (a handler expanding items raises no nested event).
inline constexpr uint32_t kFiringExpandCollapse = 0x200;
class CFlagGuard {
  public:
    CFlagGuard(uint32_t& flags, uint32_t bit) : m_flags(flags), m_bit(bit), m_entered(!(flags & bit)) {
        if (m_entered) m_flags |= m_bit;
    }
    ~CFlagGuard() {
        if (m_entered) m_flags &= ~m_bit;
    }
    CFlagGuard(const CFlagGuard&) = delete;
    CFlagGuard& operator=(const CFlagGuard&) = delete;
    // False when the bit was set already: the caller stays out.
    bool Entered() const { return m_entered; }

  private:
    uint32_t& m_flags;
    uint32_t m_bit;
    bool m_entered;
};

} // namespace vinca
