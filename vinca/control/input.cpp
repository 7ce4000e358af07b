#include "vinca/control/input.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "platform/ui/virtual_keys.h"
#include "vinca/control/dispids.h"
#include "vinca/control/events.h"
#include "vinca/control/objects/grid.h"
#include "vinca/control/web.h"
#include "vinca/control/window.h"
#include "vinca/model/names.h"
#include "vinca/model/values.h"
#include "vinca/views/grid_panes.h"

// Qt after the control's headers (its `slots` macro).
#include <QtGui/QGuiApplication>
#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtGui/QStyleHints>
#include <QtGui/QWheelEvent>

namespace vinca {

namespace ev = dispid::event;
using namespace plat::ui;

namespace {

Point PointOf(QMouseEvent* e) {
    return {int32_t(e->position().x()), int32_t(e->position().y())};
}

// The key-state word: held buttons and Shift and Ctrl.
uint32_t KeyState(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) {
    uint32_t keys = 0;
    if (buttons & Qt::LeftButton) keys |= kMkLeft;
    if (buttons & Qt::RightButton) keys |= kMkRight;
    if (buttons & Qt::MiddleButton) keys |= kMkMiddle;
    if (mods & Qt::ShiftModifier) keys |= kMkShift;
    if (mods & Qt::ControlModifier) keys |= kMkControl;
    return keys;
}

uint32_t KeyBit(Qt::MouseButton b) {
    switch (b) {
    case Qt::LeftButton:
        return kMkLeft;
    case Qt::RightButton:
        return kMkRight;
    case Qt::MiddleButton:
        return kMkMiddle;
    default:
        return 0;
    }
}

// The stock events' button numbers: 1 left, 2 right, 4 middle.
int16_t StockButton(Qt::MouseButton b) {
    return b == Qt::LeftButton ? 1 : b == Qt::RightButton ? 2 : b == Qt::MiddleButton ? 4 : 0;
}

int16_t StockButtons(Qt::MouseButtons b) {
    return int16_t(((b & Qt::LeftButton) ? 1 : 0) | ((b & Qt::RightButton) ? 2 : 0) |
                   ((b & Qt::MiddleButton) ? 4 : 0));
}

// The virtual-key code of a key press: the numeric pad's keys have codes
// of their own, and the main keyboard's plus and minus are not the pad's.
int32_t VirtualKeyOf(QKeyEvent* e) {
    const int key = e->key();
    if (e->modifiers() & Qt::KeypadModifier) {
        if (key >= Qt::Key_0 && key <= Qt::Key_9) return 0x60 + (key - Qt::Key_0);
        switch (key) {
        case Qt::Key_Asterisk:
            return VK_MULTIPLY;
        case Qt::Key_Plus:
            return VK_ADD;
        case Qt::Key_Minus:
            return VK_SUBTRACT;
        case Qt::Key_Slash:
            return 0x6F;
        case Qt::Key_Period:
        case Qt::Key_Comma:
            return 0x6E;
        default:
            break;
        }
    }
    switch (key) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        return 0xBB;
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
        return 0xBD;
    case Qt::Key_Asterisk:
        return '8';
    default:
        return VirtualKeyFromQt(key);
    }
}

// The characters a key press types, one per UTF-16 unit; Ctrl with a
// letter types the control characters 1 to 26.
std::u16string CharactersOf(QKeyEvent* e) {
    const int key = e->key();
    const auto mods = e->modifiers();
    if ((mods & Qt::ControlModifier) && !(mods & Qt::AltModifier) && key >= Qt::Key_A && key <= Qt::Key_Z)
        return std::u16string(1, char16_t(key - Qt::Key_A + 1));
    if (key == Qt::Key_Delete) return {};
    return e->text().toStdU16String();
}

bool IsPicture(int32_t kind) {
    return kind == HIT_IMAGE || kind == HIT_PICTURE_ITEM;
}

bool IsGridCell(int32_t kind) {
    return kind >= HIT_BORDER && kind <= HIT_TEXT;
}

// Accepts every shortcut override of the widget it watches.
class CTakeAllKeys final : public QObject {
  protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() != QEvent::ShortcutOverride) return false;
        e->accept();
        return true;
    }
};

// The grid a grid hit lies in: the item's parent's grid (the control's own
// grid for a top-level item).
plat::ComPtr<COleGrid> HitGrid(CVincaCtrl& ctrl, CItem* item) {
    CItem* parent = item->GetParentItem();
    Ref<CItem> owner(parent && parent != ctrl.Engine().Root() ? parent : nullptr);
    return plat::make_object<COleGrid>(ctrl.Link(), std::move(owner));
}

// The cell a grid hit names: the item's row in that grid, at the hit column.
plat::ComPtr<COleGridCell> HitCell(CVincaCtrl& ctrl, CItem* item, const CHitTestInfo& info) {
    return plat::make_object<COleGridCell>(HitGrid(ctrl, item), item->GetIndex() + 1, std::max(0, info.col));
}

// The link of a hit grid cell: its URL attribute as the cell is drawn with
// it (its own value, its column's, its row's or the grid's); empty without.
std::string HitCellLink(CVincaCtrl& ctrl, IViewHost& host, CItem* item, const CHitTestInfo& info) {
    CTreeGrid* grid = HitGrid(ctrl, item)->Find();
    if (!grid) return {};
    CGridCellSources sources(*grid, item, item->GetIndex() + 1, std::max(0, info.col), &host);
    plat::Variant url;
    if (!sources.Lookup(names::Url()->Text(), url)) return {};
    return url.to_utf8();
}

} // namespace

CControlInput::CControlInput(CVincaCtrl& ctrl, CControlWindow& window, CViewWindow& view)
    : m_ctrl(ctrl), m_window(window), m_view(view) {}

void CControlInput::KeepKeysIn(QWidget* editor) {
    if (!editor) return;
    if (!m_editorKeys) m_editorKeys = std::make_unique<CTakeAllKeys>();
    editor->installEventFilter(m_editorKeys.get());
}

bool CControlInput::WindowInput(QEvent* e) {
    switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
        break;
    case QEvent::ShortcutOverride: {
        // Arrows stay with the control: the container's shortcuts and focus
        // moves never take them.
        auto* k = static_cast<QKeyEvent*>(e);
        const int key = k->key();
        if (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down) {
            e->accept();
            return true;
        }
        return false;
    }
    case QEvent::FocusIn:
    case QEvent::FocusOut:
        // The focus rectangle is drawn again.
        m_view.update();
        return false;
    default:
        return false;
    }
    CControlWindow::HandlerScope scope(m_window);
    switch (e->type()) {
    case QEvent::MouseButtonPress:
        return Press(static_cast<QMouseEvent*>(e));
    case QEvent::MouseButtonRelease:
        return Release(static_cast<QMouseEvent*>(e));
    case QEvent::MouseButtonDblClick:
        return DoubleClick(static_cast<QMouseEvent*>(e));
    case QEvent::MouseMove:
        return Move(static_cast<QMouseEvent*>(e));
    case QEvent::KeyPress:
        return KeyDown(static_cast<QKeyEvent*>(e));
    case QEvent::KeyRelease:
        return KeyUp(static_cast<QKeyEvent*>(e));
    case QEvent::Wheel:
        return Wheel(static_cast<QWheelEvent*>(e));
    default:
        return false;
    }
}

bool CControlInput::Attached() const {
    return m_window.View() == &m_view;
}

bool CControlInput::StockSkipped() {
    CResizeTracker* resize = m_view.Tracker().ActiveResizeTracker();
    return resize && resize->IsTracking();
}

int32_t CControlInput::Index(CItem* item) {
    int32_t index = m_ctrl.Engine().ItemIndex(item);
    m_ctrl.ClearPending();
    return index;
}

// ---- mouse ----

bool CControlInput::SecondPress(QMouseEvent* e) {
    const Point p = PointOf(e);
    const bool second =
        m_pressKnown &&
        e->timestamp() - m_pressTime < uint64_t(QGuiApplication::styleHints()->mouseDoubleClickInterval());
    const int32_t near = QGuiApplication::styleHints()->mouseDoubleClickDistance();
    const bool close = std::abs(p.x - m_pressPoint.x) <= near && std::abs(p.y - m_pressPoint.y) <= near;
    // A third press starts afresh, as the platform counts.
    m_pressKnown = !(second && close);
    m_pressTime = e->timestamp();
    m_pressPoint = p;
    return second && close;
}

bool CControlInput::Press(QMouseEvent* e) {
    const Point p = PointOf(e);
    m_lastPoint = p;
    const int16_t shift = ShiftMask(e->modifiers());
    e->accept();
    if (e->button() == Qt::LeftButton) {
        if (SecondPress(e)) return true;
        // The stock event first, then the engine.
        if (!StockSkipped()) FireMouseEvent(m_ctrl, ev::kMouseDown, 1, shift, p.x, p.y);
        if (!Attached()) return true;
        m_leftDown = true;
        m_candidate = {};
        CHitTestInfo info;
        CItem* item = nullptr;
        if (!m_view.HitTest(p, info, &item) || !item) {
            // Empty space: the view tracks a selection from there.
            m_view.PassInput(e);
            return true;
        }
        m_candidate = {Ref<CItem>(item), info, true};
        // The sign opens and closes at the release; the view never sees it.
        if (info.kind != HIT_PLUSMINUS) m_view.PassInput(e);
        return true;
    }
    // Right and middle presses are only noted; the stock event follows.
    if (e->button() == Qt::RightButton)
        m_rightDown = true;
    else if (e->button() == Qt::MiddleButton)
        m_middleDown = true;
    else
        return true;
    if (!StockSkipped()) FireMouseEvent(m_ctrl, ev::kMouseDown, StockButton(e->button()), shift, p.x, p.y);
    return true;
}

bool CControlInput::Release(QMouseEvent* e) {
    const Point p = PointOf(e);
    m_lastPoint = p;
    e->accept();
    const Qt::MouseButton button = e->button();
    const uint32_t keys = KeyState(e->buttons(), e->modifiers()) | KeyBit(button);
    if (StockButton(button) && !StockSkipped())
        FireMouseEvent(m_ctrl, ev::kMouseUp, StockButton(button), ShiftMask(e->modifiers()), p.x, p.y);
    if (!Attached()) return true;
    ReleaseAt(p, KeyBit(button), keys, e);
    return true;
}

void CControlInput::ReleaseAt(Point p, uint32_t button, uint32_t keys, QMouseEvent* e) {
    if (button == kMkLeft) {
        // A press on a border went to its resize tracker, not to an item:
        // the release ends the drag in the view and clicks nothing.
        const bool resized = StockSkipped();
        m_view.PassInput(e);
        if (std::exchange(m_leftDown, false) && !resized && !m_view.IsBusy()) ClickAnalysis(p, keys, true);
        m_candidate = {};
        return;
    }
    bool& down = button == kMkRight ? m_rightDown : m_middleDown;
    if (button && std::exchange(down, false) && !m_view.IsBusy()) ClickAnalysis(p, keys, false);
}

void CControlInput::CompletePress() {
    if (!m_leftDown) return;
    const QPointF local(m_lastPoint.x, m_lastPoint.y);
    QMouseEvent release(QEvent::MouseButtonRelease, local, m_view.mapToGlobal(local), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    ReleaseAt(m_lastPoint, kMkLeft, kMkLeft, &release);
}

void CControlInput::ClickAnalysis(Point p, uint32_t keys, bool hitSpecific) {
    CHitTestInfo info;
    CItem* hit = nullptr;
    if (!m_view.HitTest(p, info, &hit) || !hit) return;
    Ref<CItem> item(hit);
    // A click that started on the current item stays on it.
    CItem* current = m_view.ItemAtRow(m_view.CurrentRow());
    if (m_candidate.valid && m_candidate.item.get() != hit && m_candidate.item.get() == current) {
        item = m_candidate.item;
        info = m_candidate.info;
    }
    const int32_t index = Index(item.get());
    const int16_t flags = int16_t(keys);
    if (IsGridCell(info.kind)) {
        auto cell = HitCell(m_ctrl, item.get(), info);
        FireGridCellClick(m_ctrl, ev::kGridCellClick, cell.get(), flags);
    } else {
        FireItemClick(m_ctrl, ev::kItemClick, index, flags);
    }
    if (!hitSpecific || !Attached() || !item->ParentNode()) return;
    if (IsPicture(info.kind)) {
        FireSimpleEvent(m_ctrl, ev::kPictureClick);
    } else if (info.kind == HIT_MARK) {
        FireItemEvent(m_ctrl, ev::kMarkClick, index);
    } else if (info.kind == HIT_PLUSMINUS && m_ctrl.Engine().IsExpandable(item.get())) {
        FireItemEvent(m_ctrl, ev::kPlusMinusClick, index);
        const int32_t autoExpand = m_ctrl.Prop(dispid::kAutoExpand).to_i4();
        if ((autoExpand == 1 || autoExpand == 2) && item->ParentNode()) Toggle(item.get());
    } else {
        FireSimpleEvent(m_ctrl, ev::kClick);
    }
}

bool CControlInput::DoubleClick(QMouseEvent* e) {
    // Only the left button double-clicks; another button's second press
    // came as a press of its own already.
    if (e->button() != Qt::LeftButton) return true;
    e->accept();
    m_pressKnown = false;
    const Point p = PointOf(e);
    m_lastPoint = p;
    m_view.ToolTip().Cancel();
    CHitTestInfo info;
    CItem* hit = nullptr;
    if (!m_view.HitTest(p, info, &hit) || !hit) return true;
    Ref<CItem> item(hit);
    const int32_t index = Index(item.get());
    const int16_t flags = int16_t(KeyState(e->buttons(), e->modifiers()) | kMkLeft);
    if (IsGridCell(info.kind)) {
        auto cell = HitCell(m_ctrl, item.get(), info);
        FireGridCellClick(m_ctrl, ev::kGridCellDblClick, cell.get(), flags);
        // The cell's link is followed once the container has heard of the
        // double click (and only while the item is still there).
        if (Attached() && item->ParentNode()) AutoNavigate(m_ctrl, HitCellLink(m_ctrl, m_window, item.get(), info));
        return true;
    }
    FireItemClick(m_ctrl, ev::kItemDblClick, index, flags);
    if (!Attached() || !item->ParentNode()) return true;
    if (IsPicture(info.kind)) {
        FireSimpleEvent(m_ctrl, ev::kPictureDblClick);
    } else if (info.kind == HIT_MARK) {
        FireItemEvent(m_ctrl, ev::kMarkDblClick, index);
    } else if (info.kind == HIT_PLUSMINUS) {
        if (m_ctrl.Engine().IsExpandable(item.get()))
            FireItemEvent(m_ctrl, ev::kPlusMinusDblClick, index);
        else
            FireSimpleEvent(m_ctrl, ev::kDblClick);
    } else {
        const int32_t autoExpand = m_ctrl.Prop(dispid::kAutoExpand).to_i4();
        if (autoExpand == 1 || autoExpand == 3) Toggle(item.get());
        if (!Attached() || !item->ParentNode()) return true;
        if (const CItemData* data = item->ItemData()) AutoNavigate(m_ctrl, data->GetTreeUrl());
        FireSimpleEvent(m_ctrl, ev::kDblClick);
    }
    return true;
}

bool CControlInput::Move(QMouseEvent* e) {
    const Point p = PointOf(e);
    m_lastPoint = p;
    // The view tracks the selection and the tool tip follows; then the stock event.
    m_view.PassInput(e);
    if (!Attached() || StockSkipped()) return true;
    FireMouseEvent(m_ctrl, ev::kMouseMove, StockButtons(e->buttons()), ShiftMask(e->modifiers()), p.x, p.y);
    return true;
}

void CControlInput::Toggle(CItem* item) {
    m_ctrl.Engine().SetItemExpanded(item, !item->IsExpanded());
    m_ctrl.ClearPending();
}

// ---- keys ----

bool CControlInput::KeyDown(QKeyEvent* e) {
    e->accept();
    m_view.ToolTip().Cancel();
    m_swallow = false;
    const int16_t shift = ShiftMask(e->modifiers());
    const int32_t vk = VirtualKeyOf(e);
    if (vk) {
        int16_t code = int16_t(vk);
        FireKeyEvent(m_ctrl, ev::kKeyDown, code, shift);
        if (!Attached()) return true;
        if (code == 0) {
            // The container took the key: its character and release go too.
            m_swallow = true;
            return true;
        }
        if (m_view.RowCount() > 0) NavigationKey(code, shift);
        if (!Attached()) return true;
    }
    for (char16_t unit : CharactersOf(e)) {
        if (m_swallow || !Attached()) break;
        int16_t ch = int16_t(unit);
        FireKeyPress(m_ctrl, ch);
    }
    return true;
}

bool CControlInput::KeyUp(QKeyEvent* e) {
    e->accept();
    // Held keys repeat their presses, not their releases.
    if (e->isAutoRepeat()) return true;
    if (std::exchange(m_swallow, false)) return true;
    const int32_t vk = VirtualKeyOf(e);
    if (!vk) return true;
    int16_t code = int16_t(vk);
    FireKeyEvent(m_ctrl, ev::kKeyUp, code, ShiftMask(e->modifiers()));
    return true;
}

void CControlInput::MakeCurrent(int32_t row, bool shift) {
    const int32_t rows = m_view.RowCount();
    if (rows <= 0) return;
    row = std::clamp(row, 0, rows - 1);
    m_view.Tracker().KeyMove(row, shift);
    m_view.EnsureVisible(row, row);
}

bool CControlInput::NavigationKey(int32_t vk, int16_t shift) {
    const int32_t rows = m_view.RowCount();
    const int32_t current = m_view.CurrentRow();
    const int32_t explorerMode = m_ctrl.Prop(dispid::kExplorerCompatible).to_i4();
    const bool explorer = explorerMode == 1 || explorerMode == 3;
    const bool ctrl = shift & 2;
    const bool extend = shift & 1;
    CVincaEngine& engine = m_ctrl.Engine();
    Ref<CItem> item(m_view.ItemAtRow(current));
    auto expand = [&](bool open) {
        if (!item) return;
        engine.SetItemExpanded(item.get(), open);
        m_ctrl.ClearPending();
    };
    switch (vk) {
    case VK_SPACE:
        if (m_ctrl.Prop(dispid::kMultiSelect).to_i4() != 0 && current >= 0)
            m_view.Tracker().SetSelection(current, current, !m_view.IsRowSelected(current));
        return true;
    case VK_PRIOR:
        m_view.PageUp();
        if (!(explorer && ctrl)) MakeCurrent(m_view.TopRow(), extend);
        return true;
    case VK_NEXT: {
        m_view.PageDown();
        if (explorer && ctrl) return true;
        const int32_t bottom = m_view.BottomRow();
        const int32_t row = bottom == rows - 1 ? bottom : std::max(bottom - 1, m_view.TopRow());
        MakeCurrent(row, extend);
        return true;
    }
    case VK_END:
        if (explorer && ctrl)
            m_view.EnsureVisible(rows - 1, rows - 1);
        else
            MakeCurrent(rows - 1, extend);
        return true;
    case VK_HOME:
        if (explorer && ctrl)
            m_view.SetTopRow(0);
        else
            MakeCurrent(0, extend);
        return true;
    case VK_LEFT:
        if (explorer && !ctrl) {
            if (item && item->IsExpanded() && item->HasChildren()) {
                expand(false);
            } else if (CItem* parent = item ? item->GetParentItem() : nullptr) {
                const int32_t row = m_view.RowOfItem(parent);
                if (row >= 0) MakeCurrent(row, extend);
            }
            return true;
        }
        // With a horizontal bar the view scrolls (the container hears it
        // as HScroll and may cancel); without one Left acts as Up.
        if (m_view.HorzBarShown()) {
            m_view.ScrollCommand(SB_HORZ, SB_LINEUP, 0);
            if (Attached()) m_view.HScroll(SB_ENDSCROLL, 0);
            return true;
        }
        [[fallthrough]];
    case VK_UP:
        if (explorer && ctrl)
            m_view.SetTopRow(m_view.TopRow() - 1);
        else
            MakeCurrent(current < 0 ? 0 : std::max(0, current - 1), extend);
        return true;
    case VK_RIGHT:
        if (explorer && !ctrl) {
            if (!item) return true;
            if (!item->IsExpanded() && engine.IsExpandable(item.get()))
                expand(true);
            else if (item->IsExpanded() && item->HasChildren())
                MakeCurrent(current + 1, extend);
            return true;
        }
        if (m_view.HorzBarShown()) {
            m_view.ScrollCommand(SB_HORZ, SB_LINEDOWN, 0);
            if (Attached()) m_view.HScroll(SB_ENDSCROLL, 0);
            return true;
        }
        [[fallthrough]];
    case VK_DOWN:
        if (explorer && ctrl)
            m_view.SetTopRow(m_view.TopRow() + 1);
        else
            MakeCurrent(current < 0 ? 0 : std::min(rows - 1, current + 1), extend);
        return true;
    case VK_MULTIPLY:
        if (explorer && item) {
            engine.BeginUpdate();
            engine.ExpandSubtree(item.get(), true);
            engine.EndUpdate();
            m_ctrl.ClearPending();
        }
        return true;
    case VK_ADD:
        if (explorer) expand(true);
        return true;
    case VK_SUBTRACT:
        if (explorer) expand(false);
        return true;
    default:
        return false;
    }
}

// ---- wheel ----

bool CControlInput::Wheel(QWheelEvent* e) {
    e->accept();
    // Each notch is three line scrolls through the scroll path, so the
    // container hears of each and may cancel it.
    auto notches = [&](int32_t& rest, int32_t delta, int32_t bar) {
        rest += delta;
        bool scrolled = false;
        while (rest >= 120 || rest <= -120) {
            const int32_t code = rest > 0 ? SB_LINEUP : SB_LINEDOWN;
            rest += rest > 0 ? -120 : 120;
            for (int i = 0; i < 3 && Attached(); ++i)
                m_view.ScrollCommand(bar, code, 0);
            scrolled = true;
        }
        // The scroll ends on either bar: a bar left scrolling keeps the other
        // from following its rows.
        if (scrolled && Attached()) {
            if (bar == SB_VERT)
                m_view.VScroll(SB_ENDSCROLL, 0);
            else
                m_view.HScroll(SB_ENDSCROLL, 0);
        }
    };
    notches(m_wheelRest, e->angleDelta().y(), SB_VERT);
    if (Attached()) notches(m_wheelRestX, e->angleDelta().x(), SB_HORZ);
    return true;
}

} // namespace vinca
