#include "vinca/control/ole_drag.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "platform/com/dispatch_client.h"
#include "platform/config/ini.h"
#include "platform/config/machine.h"
#include "vinca/control/dispids.h"
#include "vinca/control/events.h"
#include "vinca/control/objects/data_object.h"
#include "vinca/control/ole_formats.h"
#include "vinca/control/window.h"
#include "vinca/views/view_window.h"

#include <QtCore/QBuffer>
#include <QtCore/QMimeData>
#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <QtGui/QDropEvent>
#include <QtGui/QImage>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtWidgets/QApplication>

namespace vinca {

namespace {

namespace d = dispid;
using plat::Variant;

// Event numbers of the control's event interface.
constexpr plat::DISPID kEvOLEDragDrop = 21, kEvOLEDragOver = 22, kEvAutoDragRequest = 28,
                       kEvAutoDragComplete = 29;

// Item codes of a drag source.
constexpr int32_t kWholeTree = -1, kNothing = -2, kSeveral = -3, kOneSelected = -4;

// ---- what the application saw last ----

// The last global mouse position and keyboard modifiers of any input the
// application delivered. The window system's own cursor position does not
// follow synthetic input, and a container's drag keeps the mouse grabbed
// away from the control's window.
class CInputWatch final : public QObject {
  public:
    bool eventFilter(QObject*, QEvent* e) override {
        switch (e->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseMove:
        case QEvent::MouseButtonDblClick: {
            auto* m = static_cast<QMouseEvent*>(e);
            m_pos = m->globalPosition().toPoint();
            m_modifiers = m->modifiers();
            break;
        }
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            m_modifiers = static_cast<QKeyEvent*>(e)->modifiers();
            break;
        default:
            break;
        }
        return false;
    }
    QPoint m_pos;
    Qt::KeyboardModifiers m_modifiers;
};

// Process-wide state lives on the heap and is never destroyed with the
// other statics: the library's end clears it whatever their order.
CInputWatch* g_watch = nullptr;
QCoreApplication* g_watchedApp = nullptr;

CInputWatch* Watch() {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return g_watch;
    if (!g_watch) {
        g_watch = new CInputWatch;
        g_watch->m_pos = QCursor::pos();
    }
    if (g_watchedApp != app) {
        app->installEventFilter(g_watch);
        g_watchedApp = app;
    }
    return g_watch;
}

QPoint CursorPos() {
    CInputWatch* w = Watch();
    return w ? w->m_pos : QCursor::pos();
}

Qt::KeyboardModifiers Modifiers() {
    CInputWatch* w = Watch();
    return w ? w->m_modifiers | QGuiApplication::keyboardModifiers() : QGuiApplication::keyboardModifiers();
}

// ---- the drag source record ----

struct DragSource {
    plat::ComPtr<plat::IDispatch> control; // the source's automation
    const CVincaCtrl* ctrl{nullptr};       // for comparisons only
    int32_t code{kNothing};
};
DragSource& Source() {
    static auto* source = new DragSource;
    return *source;
}

// ---- automation calls, answering whether they worked ----

struct Auto {
    plat::IDispatch* d;
    bool get(std::string_view name, Variant& out, std::vector<Variant> index = {}) const {
        return plat::SUCCEEDED(plat::dispatch_get(d, name, out, index));
    }
    bool put(std::string_view name, const Variant& v, std::vector<Variant> index = {}) const {
        return plat::SUCCEEDED(plat::dispatch_put(d, name, v, index));
    }
    bool call(std::string_view name, std::vector<Variant> args, Variant* out = nullptr) const {
        return plat::SUCCEEDED(plat::dispatch_call(d, name, args, out));
    }
    // A Long read, `fallback` when the read fails.
    int32_t num(std::string_view name, std::vector<Variant> index, int32_t fallback) const {
        Variant v;
        return get(name, v, std::move(index)) ? v.to_i4() : fallback;
    }
};

plat::ComPtr<plat::IDispatch> Dispatch(CVincaCtrl& ctrl) {
    plat::ComPtr<plat::IDispatch> disp;
    ctrl.QueryInterface(plat::IID_IDispatch, disp.put_void());
    return disp;
}

bool SameObject(plat::IUnknown* a, plat::IUnknown* b) {
    plat::ComPtr<plat::IUnknown> ua, ub;
    if (!a || !b) return false;
    a->QueryInterface(plat::IID_IUnknown, ua.put_void());
    b->QueryInterface(plat::IID_IUnknown, ub.put_void());
    return ua && ua.get() == ub.get();
}

// ---- drag cursors ----

// The pictures of cursors 215 (nothing), 216 (one item), 217 (several
// items) and 218 (an item with its subtree), as bitmap files.
std::string CursorPicture(int32_t id) {
    QImage img(32, 32, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::NoBrush);
    switch (id) {
    case 215:
        p.setPen(QPen(Qt::black, 3));
        p.drawEllipse(6, 6, 20, 20);
        p.drawLine(10, 22, 22, 10);
        break;
    case 216:
        p.drawRect(8, 12, 16, 8);
        break;
    case 217:
        p.drawRect(8, 6, 16, 6), p.drawRect(8, 14, 16, 6), p.drawRect(8, 22, 16, 6);
        break;
    default:
        p.drawRect(4, 4, 14, 6), p.drawRect(12, 14, 14, 6), p.drawRect(12, 24, 14, 6);
        p.drawLine(8, 10, 8, 27), p.drawLine(8, 17, 12, 17), p.drawLine(8, 27, 12, 27);
        break;
    }
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "BMP");
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

int32_t ItemIndex(CVincaCtrl& ctrl, CItem* item) {
    return item ? ctrl.Engine().ItemIndex(item) : -1;
}

int32_t SelectionCode(CVincaCtrl& ctrl) {
    const int32_t n = Auto{Dispatch(ctrl).get()}.num("SelItemCount", {}, 0);
    return n <= 0 ? kNothing : n == 1 ? kOneSelected : kSeveral;
}

// The cursor a drag shows under DragIconStyle 2.
int32_t SmartCursor(CVincaCtrl& ctrl) {
    int32_t code = kNothing;
    if (Source().control)
        code = Source().code;
    else if (ctrl.Prop(d::kMultiSelect).to_i2() == 0)
        code = ItemIndex(ctrl, const_cast<CItem*>(ctrl.Engine().CurrentRowItem()));
    else
        code = SelectionCode(ctrl);
    switch (code) {
    case kNothing:
        return 215;
    case kOneSelected:
        return 216;
    case kSeveral:
        return 217;
    case kWholeTree:
        return 218;
    default: {
        CItem* item = ctrl.ItemOrNull(code);
        if (!item) return 215;
        return item->ChildNode() && item->ChildNode()->GetCount() > 0 ? 218 : 216;
    }
    }
}

// ---- the part a control window takes in dragging ----

class CDragAgent final : public QObject {
  public:
    CDragAgent(CVincaCtrl& ctrl, CViewWindow* view) : QObject(view), m_ctrl(ctrl), m_view(view) {
        view->installEventFilter(this);
        m_scrollTimer.setInterval(10); // asked for at once: the platform's shortest
        connect(&m_scrollTimer, &QTimer::timeout, this, [this] { AutoScrollStep(CursorPos()); });
        ApplyDropMode();
        ApplyDragMode();
    }
    ~CDragAgent() override {
        // A drag that started here keeps no reference once the window goes.
        if (Source().ctrl == &m_ctrl) Source() = {};
    }

    static CDragAgent* Of(CVincaCtrl& ctrl) {
        CViewWindow* view = ctrl.Window().View();
        if (!view) return nullptr;
        for (QObject* child : view->children())
            if (auto* agent = dynamic_cast<CDragAgent*>(child)) return agent;
        return nullptr;
    }

    void ApplyDropMode() { m_view->setAcceptDrops(m_ctrl.Prop(d::kOLEDropMode).to_i2() != 0); }
    // While items may be dragged out, a press does not start the view's own
    // selection tracking, which would keep the view busy and the drag away.
    void ApplyDragMode() { m_view->Tracker().SetDragMode(m_ctrl.Prop(d::kAutoDragMode).to_i2()); }

    // A press noted for an automatic drag starts none.
    void DropPress() { m_pressed = false; }

    // Ends the window's own handling of a left press (only while the button
    // is down), straight through its handler.
    void SendRelease() {
        if (!m_leftDown) return;
        const QPoint global = CursorPos();
        QMouseEvent release(QEvent::MouseButtonRelease, m_view->mapFromGlobal(QPointF(global)),
                            QPointF(global), Qt::LeftButton, Qt::NoButton, Modifiers());
        QCoreApplication::sendEvent(m_view, &release);
    }

    // ---- feedback while something is dragged over the window ----
    void Feedback(int state, QPoint global) {
        const QPoint p = m_view->mapFromGlobal(global);
        switch (state) {
        case 0:
            SetHighlight(-1);
            m_hide = 0;
            if (!m_scrollTimer.isActive()) m_scrollTimer.start();
            TrackRow(p);
            break;
        case 1:
            m_scrollTimer.stop();
            m_hide = 0;
            m_lastRow = TrackRow(p);
            SetHighlight(-1);
            break;
        default:
            if (m_scrollTimer.isActive()) AutoScrollStep(global);
            TrackRow(p);
            break;
        }
    }
    int32_t LastRow() const { return m_lastRow; }

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched != m_view) return false;
        switch (e->type()) {
        case QEvent::MouseButtonPress:
            return Press(static_cast<QMouseEvent*>(e));
        case QEvent::MouseMove:
            return Move(static_cast<QMouseEvent*>(e));
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton)
                m_leftDown = false, m_pressed = false;
            return false;
        case QEvent::DragEnter:
        case QEvent::DragMove:
            OleDragOver(static_cast<QDragMoveEvent*>(e), e->type() == QEvent::DragEnter ? 0 : 2);
            return true;
        case QEvent::DragLeave:
            OleDragLeave();
            return true;
        case QEvent::Drop:
            OleDrop(static_cast<QDropEvent*>(e));
            return true;
        case QEvent::Paint:
            if (m_highlight < 0 || m_hide > 0) return false;
            static_cast<QObject*>(m_view)->event(e); // the rows first, then the highlight on top
            PaintHighlight();
            return true;
        default:
            return false;
        }
    }

  private:
    // ---- automatic dragging, source side ----
    bool Press(QMouseEvent* e) {
        if (e->button() != Qt::LeftButton) return false;
        // A new press ends whatever an earlier, unfinished drag left behind.
        Source() = {};
        m_leftDown = true;
        m_pressed = false;
        if (m_ctrl.Prop(d::kAutoDragMode).to_i2() == 0) return false;
        CHitTestInfo info;
        CItem* item = nullptr;
        const QPoint p = e->position().toPoint();
        if (!m_view->HitTest({p.x(), p.y()}, info, &item) || !item) return false;
        m_pressed = true;
        m_pressAt = p;
        Source().control = Dispatch(m_ctrl);
        Source().ctrl = &m_ctrl;
        Source().code =
            m_ctrl.Prop(d::kMultiSelect).to_i2() == 0 ? ItemIndex(m_ctrl, item) : SelectionCode(m_ctrl);
        return false;
    }

    bool Move(QMouseEvent* e) {
        if (!m_pressed || !(e->buttons() & Qt::LeftButton) || m_view->IsBusy()) return false;
        if ((e->position().toPoint() - m_pressAt).manhattanLength() < QApplication::startDragDistance())
            return false;
        m_pressed = false;
        if (m_ctrl.Prop(d::kAutoDragMode).to_i2() == 0 || Source().ctrl != &m_ctrl) return false;
        // The press has selected by now (a press on an unselected row selects
        // it): the selection is what is dragged.
        if (m_ctrl.Prop(d::kMultiSelect).to_i2() != 0) Source().code = SelectionCode(m_ctrl);
        // The container may change what is dragged, or refuse the drag.
        int32_t code = Source().code;
        int16_t cancel = 0;
        std::vector<Variant> args(2);
        args[0].vt = plat::VT_BYREF | plat::VT_I4, args[0].plVal = &code;
        args[1].vt = plat::VT_BYREF | plat::VT_I2, args[1].piVal = &cancel;
        plat::ComPtr<plat::IDispatch> keep = Dispatch(m_ctrl);
        FireControlEvent(m_ctrl, kEvAutoDragRequest, args);
        args[0].vt = args[1].vt = plat::VT_EMPTY;
        if (cancel != 0) return false;
        if (Source().ctrl == &m_ctrl) Source().code = code;
        StartContainerDrag();
        return true;
    }

    void StartContainerDrag() {
        plat::ComPtr<plat::IDispatch> ext = m_ctrl.ExtendedControl();
        plat::DISPID drag = 0;
        if (!ext || plat::FAILED(plat::dispatch_id(ext.get(), "Drag", drag))) return;
        RunBeforeDrag(m_ctrl);
        // The container's drag runs to its end here; its failure is its own.
        const Variant begin(int16_t(1));
        plat::dispatch_call(ext.get(), drag, std::span<const Variant>(&begin, 1));
    }

  public:
    static void RunBeforeDrag(CVincaCtrl& ctrl) {
        const int16_t style = ctrl.Prop(d::kDragIconStyle).to_i2();
        if (style != 0) {
            const int32_t cursor = style == 1 ? 215 : SmartCursor(ctrl);
            plat::ComPtr<IVincaPicture> pic = NewPicture(PICTYPE_BITMAP, CursorPicture(cursor));
            if (plat::ComPtr<plat::IDispatch> ext = ctrl.ExtendedControl(); ext && pic)
                plat::dispatch_put(ext.get(), "DragIcon", Variant(static_cast<plat::IDispatch*>(pic.get())));
        }
        // The control's own press handling ends before the container's drag.
        if (CDragAgent* agent = Of(ctrl)) {
            agent->m_pressed = false;
            // The release ends the press without its deferred click.
            QPointer<CViewWindow> view(agent->m_view);
            view->Tracker().SetDragging(true);
            agent->SendRelease();
            if (view) view->Tracker().SetDragging(false);
        }
    }

  private:
    // ---- drops from any program ----
    int32_t ProposedEffect(Qt::KeyboardModifiers keys) const {
        if ((keys & Qt::ControlModifier) && (keys & Qt::ShiftModifier)) return Qt::LinkAction;
        return keys & Qt::ControlModifier ? Qt::CopyAction : Qt::MoveAction;
    }

    static int16_t ButtonOf(Qt::MouseButtons b) {
        return int16_t(((b & Qt::LeftButton) ? 1 : 0) | ((b & Qt::RightButton) ? 2 : 0) |
                       ((b & Qt::MiddleButton) ? 4 : 0));
    }
    static int16_t ShiftOf(Qt::KeyboardModifiers k) {
        return int16_t(((k & Qt::ShiftModifier) ? 1 : 0) | ((k & Qt::ControlModifier) ? 2 : 0) |
                       ((k & Qt::AltModifier) ? 4 : 0));
    }

    // Fires OLEDragOver (state 0, 1, 2) or OLEDragDrop (state -1) and answers
    // the effect the container leaves, limited to what the source allows.
    int32_t FireOle(const QMimeData* mime, int32_t effect, int32_t allowed, Qt::MouseButtons buttons,
                    Qt::KeyboardModifiers keys, QPoint local, int state) {
        plat::ComPtr<plat::IDispatch> keep = Dispatch(m_ctrl);
        auto data = plat::make_object<COleVincaDataObject>(MimeDataObject(mime).get());
        std::vector<Variant> args;
        args.emplace_back(static_cast<plat::IDispatch*>(data.get()));
        args.emplace_back();
        args.back().vt = plat::VT_BYREF | plat::VT_I4;
        args.back().plVal = &effect;
        args.emplace_back(ButtonOf(buttons));
        args.emplace_back(ShiftOf(keys));
        args.emplace_back(m_ctrl.FromPixels(local.x(), true));
        args.emplace_back(m_ctrl.FromPixels(local.y(), false));
        if (state >= 0) args.emplace_back(int16_t(state));
        FireControlEvent(m_ctrl, state >= 0 ? kEvOLEDragOver : kEvOLEDragDrop, args);
        args[1].vt = plat::VT_EMPTY;
        // A data object kept by the container answers as if nothing were offered.
        data->Detach();
        return effect & allowed;
    }

    void OleDragOver(QDragMoveEvent* e, int state) {
        if (m_ctrl.Prop(d::kOLEDropMode).to_i2() == 0) {
            e->ignore();
            return;
        }
        m_lastMime = e->mimeData();
        m_lastButtons = e->buttons();
        m_lastKeys = e->modifiers();
        const int32_t allowed = int32_t(e->possibleActions());
        const int32_t proposed = ProposedEffect(e->modifiers()) & allowed;
        const QPoint local = e->position().toPoint();
        Feedback(state, m_view->mapToGlobal(local));
        if (proposed == 0) {
            // Nothing the source allows: refused without asking the container.
            if (state == 0)
                e->accept(); // keep hearing the moves: the keys may change
            else
                e->ignore();
            return;
        }
        const int32_t effect =
            FireOle(e->mimeData(), proposed, allowed, e->buttons(), e->modifiers(), local, state);
        if (state == 0) {
            // Entering is always taken, so that the moves follow; each move says yes or no.
            e->accept();
            if (effect) e->setDropAction(Qt::DropAction(effect & -effect));
            return;
        }
        if (effect) {
            e->setDropAction(Qt::DropAction(effect & -effect));
            e->accept();
        } else {
            e->ignore();
        }
    }

    void OleDragLeave() {
        const QPoint global = CursorPos();
        Feedback(1, global);
        if (m_ctrl.Prop(d::kOLEDropMode).to_i2() == 0 || !m_lastMime) return;
        const int32_t all = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
        FireOle(m_lastMime.data(), ProposedEffect(m_lastKeys), all, m_lastButtons, m_lastKeys,
                m_view->mapFromGlobal(global), 1);
        m_lastMime = nullptr;
    }

    void OleDrop(QDropEvent* e) {
        m_lastMime = nullptr;
        if (m_ctrl.Prop(d::kOLEDropMode).to_i2() == 0) {
            e->ignore();
            return;
        }
        const QPoint local = e->position().toPoint();
        Feedback(1, m_view->mapToGlobal(local));
        const int32_t allowed = int32_t(e->possibleActions());
        const int32_t proposed = ProposedEffect(e->modifiers()) & allowed;
        if (proposed == 0) {
            e->ignore();
            return;
        }
        const int32_t effect =
            FireOle(e->mimeData(), proposed, allowed, e->buttons(), e->modifiers(), local, -1);
        if (effect) {
            e->setDropAction(Qt::DropAction(effect & -effect));
            e->accept();
        } else {
            e->ignore();
        }
    }

    // ---- highlight and auto-scroll ----
    int32_t TrackRow(QPoint p) {
        Rect rect;
        const int32_t row = m_view->rect().contains(p) ? m_view->DragOverRow({p.x(), p.y()}, rect) : -1;
        if (row != m_highlight) SetHighlight(row);
        return row;
    }

    void SetHighlight(int32_t row) {
        if (row == m_highlight) return;
        if (m_highlight >= 0) m_view->update();
        m_highlight = row;
        if (row >= 0) m_view->update();
    }

    void PaintHighlight() {
        const int16_t style = m_ctrl.Prop(d::kDragHighlight).to_i2();
        if (style == 0) return;
        CItem* item = m_view->ItemAtRow(m_highlight);
        Rect r = item ? m_view->ItemPartRect(item, ItemPart::Text) : Rect{};
        if (r.Width() <= 0) r = m_view->RowRect(m_highlight);
        if (r.Width() <= 0) return;
        QPainter p(m_view);
        const QRect q(r.left, r.top, r.Width(), r.bottom - r.top);
        if (style == 1) {
            p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            p.fillRect(q, Qt::white);
        } else {
            p.setBackground(Qt::white);
            p.setBackgroundMode(Qt::OpaqueMode);
            p.setPen(QPen(Qt::black, 1, Qt::DotLine));
            p.drawRect(q.adjusted(0, 0, -1, -1));
            p.drawRect(q.adjusted(1, 1, -2, -2));
        }
    }

    void AutoScrollStep(QPoint global) {
        const QPoint p = m_view->mapFromGlobal(global);
        const Rect rows = m_view->RowsArea();
        const QRect area(rows.left, rows.top, rows.Width(), m_view->height() - m_view->FrameWidth() - rows.top);
        if (!area.contains(p)) return;
        const int32_t inset = DragScrollInset();
        const int16_t mode = m_ctrl.Prop(d::kAutoScrDuringDragDrop).to_i2();
        int32_t top = m_view->TopRow();
        if (p.y() < area.top() + inset)
            top = std::max(0, top - 1);
        else if (p.y() >= area.bottom() - inset)
            top = std::min(top + 1, std::max(0, m_view->RowCount() - 1));
        if (top != m_view->TopRow() && (mode == 2 || mode == 3)) {
            ++m_hide; // the highlight stays away while the rows move
            m_view->SetTopRow(top);
            m_view->repaint();
            return;
        }
        if (m_hide > 0) {
            m_hide = 0;
            m_view->update();
        }
    }

    CVincaCtrl& m_ctrl;
    CViewWindow* m_view;
    bool m_leftDown{false};
    bool m_pressed{false};
    QPoint m_pressAt;
    QTimer m_scrollTimer;
    int32_t m_highlight{-1};
    int32_t m_lastRow{-1};
    int32_t m_hide{0};
    QPointer<const QMimeData> m_lastMime;
    Qt::MouseButtons m_lastButtons;
    Qt::KeyboardModifiers m_lastKeys;
};

// ---- automatic dragging, target side ----

// The item under a row of the control window (null off the items).
CItem* RowItem(CVincaCtrl& ctrl, int32_t row) {
    CViewWindow* view = ctrl.Window().View();
    return view && row >= 0 ? view->ItemAtRow(row) : nullptr;
}

// Where dropped items go, by AutoDragMode: under the target (1), before it
// (2), before its next sibling or else under its parent (3). Null: the top
// level.
CItem* Destination(CItem* target, int16_t mode, bool& insert) {
    insert = false;
    if (!target || mode == 1) return target;
    if (mode == 2) {
        insert = true;
        return target;
    }
    CItemNode* node = target->ParentNode();
    const int32_t pos = node ? node->IndexOf(target) : -1;
    if (node && pos >= 0 && pos + 1 < node->GetCount()) {
        insert = true;
        return node->GetAt(pos + 1);
    }
    CItem* parent = target->GetParentItem();
    return parent && parent->ParentNode() ? parent : nullptr;
}

// Whether `target` is `item` or lies in its subtree.
bool Within(CItem* target, CItem* item) {
    for (CItem* at = target; at; at = at->GetParentItem())
        if (at == item) return true;
    return false;
}

int32_t Transfer(CVincaCtrl& self, int32_t row) {
    const DragSource source = Source();
    if (!source.control) return VE_DRAG_SOURCE;
    const int16_t mode = self.Prop(d::kAutoDragMode).to_i2();
    const Auto src{source.control.get()};
    plat::ComPtr<plat::IDispatch> meDisp = Dispatch(self);
    const Auto me{meDisp.get()};
    // The row becomes an item, held by bookmark, and an index under the
    // index method before any member runs: the container's handlers may
    // change the tree.
    CVincaEngine& e = self.Engine();
    CItem* hit = RowItem(self, row);
    const uint32_t targetBM = hit ? e.ItemBM(hit) : 0;
    const int32_t target = ItemIndex(self, hit);

    plat::ComPtr<plat::IDispatch> sourceRef = source.control;
    int16_t operation = (Modifiers() & Qt::ControlModifier) ? 0 : 1;
    int16_t cancel = 0;
    {
        std::vector<Variant> args(5);
        plat::IDispatch* sourceDisp = sourceRef.get();
        args[0].vt = plat::VT_BYREF | plat::VT_DISPATCH, args[0].ppdispVal = &sourceDisp;
        args[1] = Variant(source.code);
        args[2] = Variant(target);
        args[3].vt = plat::VT_BYREF | plat::VT_I2, args[3].piVal = &operation;
        args[4].vt = plat::VT_BYREF | plat::VT_I2, args[4].piVal = &cancel;
        FireControlEvent(self, kEvAutoDragComplete, args);
        args[0].vt = args[3].vt = args[4].vt = plat::VT_EMPTY;
    }
    if (cancel != 0 || source.code == kNothing) return 0;
    CItem* targetItem = targetBM ? e.ItemFromBookmark(targetBM) : nullptr;
    const bool move = operation == 1;
    const bool same = SameObject(source.control.get(), meDisp.get());
    if (move && same) {
        if (source.code == kWholeTree) return VE_DRAG_MOVE;
        if (source.code >= 0) {
            if (CItem* item = self.ItemOrNull(source.code); item && targetItem && Within(targetItem, item))
                return VE_DRAG_MOVE;
        } else if (targetItem) {
            const int32_t n = me.num("SelItemCount", {}, 0);
            for (int32_t i = 0; i < n; ++i)
                if (CItem* sel = self.ItemOrNull(me.num("SelItemIndex", {Variant(i)}, -1));
                    sel && Within(targetItem, sel))
                    return VE_DRAG_MOVE;
        }
    }

    const bool selection = source.code == kSeveral || source.code == kOneSelected;
    Variant buffer;
    if (selection ? !src.get("CopySelected", buffer) : !src.get("CopyItem", buffer, {Variant(source.code)}))
        return 0;
    const int32_t handle = buffer.to_i4();
    if (handle == 0) return 0;

    int32_t result = 0;
    me.put("Redraw", Variant::boolean(false));
    // The source's items are held by bookmark: the insertion may move them.
    const int32_t sourceBM = move && source.code >= 0 ? src.num("ItemBM", {Variant(source.code)}, 0) : 0;
    bool insert = false;
    CItem* destination = Destination(targetItem, mode, insert);
    const uint32_t usedBM = destination ? e.ItemBM(destination) : 0;
    // Looked up last, so that a method that counts within a parent has it.
    const int32_t used = ItemIndex(self, destination);
    if (!(insert ? me.put("Insert", Variant(handle), {Variant(used)})
                 : me.put("Add", Variant(handle), {Variant(used)}))) {
        // Nothing arrived: the source keeps its items.
        result = VE_DRAG_TRANSFER;
    } else {
        if (move) {
            if (source.code >= 0) {
                const int32_t at = sourceBM ? src.num("IndexByBM", {Variant(sourceBM)}, -1) : -1;
                if (at >= 0) src.call("RemoveItem", {Variant(at)});
            } else if (source.code == kWholeTree) {
                src.call("RemoveItem", {Variant(kWholeTree)});
            } else {
                // Until the selection is empty, or stops shrinking (a source
                // that refuses to remove keeps the rest).
                int32_t count = src.num("SelItemCount", {}, 0);
                while (count > 0) {
                    Variant index;
                    if (!src.get("SelItemIndex", index, {Variant(count - 1)})) break;
                    src.call("RemoveItem", {index});
                    const int32_t now = src.num("SelItemCount", {}, 0);
                    if (now >= count) break;
                    count = now;
                }
            }
        }
        CItem* now = usedBM ? e.ItemFromBookmark(usedBM) : nullptr;
        const int32_t current = ItemIndex(self, now);
        if (!me.put("ListIndex", Variant(current))) result = VE_DRAG_TRANSFER;
    }
    me.put("Redraw", Variant::boolean(true));
    me.call("FreeBuffer", {Variant(handle)});
    return result;
}

} // namespace

int32_t DragScrollInset() {
    static const int32_t inset = [] {
        const std::filesystem::path windows = plat::windows_folder();
        for (const char* name : {"WIN.INI", "win.ini", "Win.ini"}) {
            std::error_code ec;
            if (std::filesystem::exists(windows / name, ec))
                return plat::ini_get_int(windows / name, "windows", "ScrollInset", 11);
        }
        return 11;
    }();
    return inset;
}

void AttachDragAndDrop(CVincaCtrl& ctrl, CViewWindow* view) {
    if (!view || CDragAgent::Of(ctrl)) return;
    Watch();
    DragScrollInset();
    new CDragAgent(ctrl, view);
}

void ClearDragSource() {
    Source() = {};
    delete g_watch;
    g_watch = nullptr;
    g_watchedApp = nullptr;
}

namespace oledrag {

void PutOLEDropMode(CVincaCtrl& self, Call& c) {
    const int16_t v = c.value().iVal;
    if (v < 0 || v > 1) ThrowVincaError(VE_INVALID_ARGUMENT);
    self.StoreProp(d::kOLEDropMode, Variant(v));
    self.MarkModified();
    if (CDragAgent* agent = CDragAgent::Of(self)) agent->ApplyDropMode();
}

void PutAutoDragMode(CVincaCtrl& self, Call& c) {
    // The container's extender must be able to drag.
    plat::ComPtr<plat::IDispatch> ext = self.ExtendedControl();
    plat::DISPID drag = 0;
    if (!ext || plat::FAILED(plat::dispatch_id(ext.get(), "Drag", drag))) ThrowVincaError(VE_DRAG_START);
    const int16_t v = c.value().iVal;
    if (v < 0 || v > 3) ThrowVincaError(VE_INVALID_ARGUMENT);
    CDragAgent* agent = CDragAgent::Of(self);
    if (self.Prop(d::kAutoDragMode).to_i2() != v) {
        self.StoreProp(d::kAutoDragMode, Variant(v));
        self.RequestRefresh(0, 23);
        if (agent) agent->ApplyDragMode();
    }
    if (v == 0) return;
    // Every switch on prepares the container again, even to the same mode:
    // a press noted before starts no drag, and the container, whose drag
    // mode form code may have changed meanwhile, drags only when asked to.
    if (agent) agent->DropPress();
    plat::dispatch_put(ext.get(), "DragMode", Variant(int16_t(0)));
    if (self.Prop(d::kMultiSelect).to_i2() != 0 && !self.Prop(d::kSmartDragDrop).to_bool()) {
        self.StoreProp(d::kSmartDragDrop, Variant::boolean(true));
        self.RequestRefresh(0, 20);
    }
}

void PutDragIconStyle(CVincaCtrl& self, Call& c) {
    const int16_t v = c.value().iVal;
    if (v < 0 || v > 2) ThrowVincaError(VE_INVALID_ARGUMENT);
    self.StoreProp(d::kDragIconStyle, Variant(v));
}

void BeforeDrag(CVincaCtrl& self, Call&) {
    if (!self.Window().View()) ThrowVincaError(VE_NO_WINDOW);
    CDragAgent::RunBeforeDrag(self);
}

void OnDragOver(CVincaCtrl& self, Call& c) {
    CDragAgent* agent = CDragAgent::Of(self);
    if (!agent) ThrowVincaError(VE_NO_WINDOW);
    const int16_t state = c.i2(2);
    // The container's states: 0 entering, 1 leaving, 2 moving over.
    agent->Feedback(state == 0 ? 0 : state == 1 ? 1 : 2, CursorPos());
}

void OnDragDrop(CVincaCtrl& self, Call& c) {
    CDragAgent* agent = CDragAgent::Of(self);
    if (!agent) {
        // The result says so; nothing is raised.
        c.result() = Variant(int32_t(VE_NO_WINDOW));
        return;
    }
    agent->Feedback(1, CursorPos());
    const int32_t row = agent->LastRow();
    plat::ComPtr<plat::IDispatch> keep = Dispatch(self);
    int32_t result = 0;
    if (self.Prop(d::kAutoDragMode).to_i2() != 0) {
        try {
            result = Transfer(self, row);
        } catch (...) {
            result = VE_DRAG_TRANSFER;
        }
    }
    Source() = {};
    c.result() = Variant(result);
}

} // namespace oledrag

} // namespace vinca
