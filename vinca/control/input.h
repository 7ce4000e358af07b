#pragma once
// The control window's input: mouse presses and releases turned into item,
// picture, mark, plus/minus and grid-cell clicks, double clicks, the stock
// mouse and key events, navigation keys, the wheel, and focus. The view
// window hands every input event here first.
#include <cstdint>
#include <memory>

// The control's headers before any that bring Qt in (its `slots` macro).
#include "vinca/control/control.h"
#include "vinca/model/item.h"
#include "vinca/views/cell_metrics.h"
#include "vinca/views/view_window.h"

class QKeyEvent;
class QObject;
class QMouseEvent;
class QWheelEvent;

namespace vinca {

class CVincaCtrl;
class CControlWindow;

// The mouse key-state word of item and grid-cell clicks.
enum : uint32_t { kMkLeft = 1, kMkRight = 2, kMkShift = 4, kMkControl = 8, kMkMiddle = 0x10 };

class CControlInput final : public IWindowInput {
  public:
    CControlInput(CVincaCtrl& ctrl, CControlWindow& window, CViewWindow& view);

    bool WindowInput(QEvent* e) override;

    // After RequestEditing let an edit start: the press that asked for it
    // is completed with its release, when that button is still down.
    void CompletePress();

    bool LeftDown() const { return m_leftDown; }

    // While the in-place editor is open, every key is its own: the
    // container's shortcuts take none.
    void KeepKeysIn(QWidget* editor);

  private:
    bool Press(QMouseEvent* e);
    bool Release(QMouseEvent* e);
    bool DoubleClick(QMouseEvent* e);
    bool Move(QMouseEvent* e);
    bool KeyDown(QKeyEvent* e);
    bool KeyUp(QKeyEvent* e);
    bool Wheel(QWheelEvent* e);

    // The release of a button at a point: the view's part, then the clicks.
    void ReleaseAt(Point p, uint32_t button, uint32_t keys, QMouseEvent* e);
    void ClickAnalysis(Point p, uint32_t keys, bool hitSpecific);
    // The navigation keys; false when the key does nothing here.
    bool NavigationKey(int32_t vk, int16_t shift);
    void MakeCurrent(int32_t row, bool shift);
    void Toggle(CItem* item);
    int32_t Index(CItem* item);
    // Whether a border is being dragged: the stock mouse events and the
    // clicks of its release are left out then.
    bool StockSkipped();
    // Whether a left press is the second of a double click (Qt follows it
    // with the double-click event, which stands for it here).
    bool SecondPress(QMouseEvent* e);
    // False once a handler took the window away.
    bool Attached() const;

    CVincaCtrl& m_ctrl;
    CControlWindow& m_window;
    CViewWindow& m_view;

    bool m_leftDown{false};
    bool m_rightDown{false};
    bool m_middleDown{false};
    bool m_swallow{false};
    // What the last left press hit; freed on release.
    struct Candidate {
        Ref<CItem> item;
        CHitTestInfo info;
        bool valid{false};
    } m_candidate;
    // The last left press, to know the press that begins a double click.
    bool m_pressKnown{false};
    uint64_t m_pressTime{0};
    Point m_pressPoint;
    Point m_lastPoint;
    uint32_t m_lastKeys{0};
    int32_t m_wheelRest{0};
    int32_t m_wheelRestX{0};
    std::unique_ptr<QObject> m_editorKeys;
};

} // namespace vinca
