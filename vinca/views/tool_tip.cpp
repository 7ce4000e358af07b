#include "vinca/views/tool_tip.h"

#include <QtGui/QCursor>
#include <QtGui/QGuiApplication>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtGui/QScreen>
#include <QtGui/QWheelEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

#include "platform/gdi/color.h"
#include "vinca/views/paint.h"
#include "vinca/views/tree_cell.h"

namespace vinca {

using namespace plat::gdi;

namespace {

QPoint ToQ(Point p) {
    return {p.x, p.y};
}
Point FromQ(QPoint p) {
    return {p.x(), p.y()};
}

} // namespace

// ---- desktop ----

Point IToolTipDesktop::CursorPos() const {
    return FromQ(QCursor::pos());
}

Rect IToolTipDesktop::ScreenRect(Point at) const {
    QScreen* screen = QGuiApplication::screenAt(ToQ(at));
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return {0, 0, 0, 0};
    QRect g = screen->geometry();
    return {g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
}

bool IToolTipDesktop::IsActive(QWidget* parent) const {
    QWidget* active = QApplication::activeWindow();
    return parent && active && active == parent->window();
}

// ---- the popup ----

CToolTipWnd::~CToolTipWnd() {
    // The popup is a child of the parent window; it goes with the tip.
    delete m_popup;
}

void CToolTipWnd::SetParentWnd(QWidget* parent) {
    Destroy();
    m_parent = parent;
}

void CToolTipWnd::Destroy() {
    if (!m_popup) return;
    if (m_shown) {
        m_provider->TipHidden();
        Hide();
    }
    delete m_popup;
    m_popup = nullptr;
}

bool CToolTipWnd::Show() {
    if (m_shown) return true;
    if (!m_parent) return false;
    if (!m_popup) {
        m_popup = new plat::ui::PopupWindow(m_parent);
        m_popup->onPaint = [this](QPainter& p, const QRect& r) {
            Bitmap buffer(std::max(1, m_popup->width()), std::max(1, m_popup->height()));
            {
                Dc dc(buffer);
                Rect all{0, 0, m_popup->width(), m_popup->height()};
                FillSolid(dc, 0xFFFFFF, all);
                {
                    SavedDc saved(dc); // the cell leaves its clip behind
                    m_provider->PaintTip(dc, {1, 1}, {r.left(), r.top(), r.right() + 1, r.bottom() + 1});
                }
                // The frame goes last, so no cell paints over it.
                int32_t w = all.right, h = all.bottom;
                for (const Rect& side :
                     {Rect{0, 0, w, 1}, Rect{0, h - 1, w, h}, Rect{0, 0, 1, h}, Rect{w - 1, 0, w, h}})
                    FillSolid(dc, 0x000000, side);
            }
            p.drawImage(r.topLeft(), buffer.Image(), r);
        };
        m_popup->onPointer = [this](QPoint at) { PointerCheck(FromQ(at)); };
        m_popup->onMouse = [this](QEvent* e) { ForwardMouse(e); };
    }
    Rect tip;
    if (!m_provider->ComputeTip(m_last, tip)) return false;
    // Kept on the screen that holds it: past the far edge it moves back,
    // never past the near one.
    Rect screen = m_desktop->ScreenRect({tip.left, tip.top});
    if (tip.left < screen.left) tip = tip.Offset(screen.left - tip.left, 0);
    if (tip.top < screen.top) tip = tip.Offset(0, screen.top - tip.top);
    if (tip.right > screen.right) {
        tip.left = std::max(screen.left, screen.right + tip.left - tip.right);
        tip.right = screen.right;
    }
    if (tip.bottom > screen.bottom) {
        tip.top = std::max(screen.top, screen.bottom + tip.top - tip.bottom);
        tip.bottom = screen.bottom;
    }
    m_tipRect = tip;
    QPoint origin = m_parent->mapToGlobal(QPoint(0, 0));
    Rect parentRect{origin.x(), origin.y(), origin.x() + m_parent->width(), origin.y() + m_parent->height()};
    m_visibleRect = tip.Intersect(parentRect);
    m_popup->setGeometry(tip.left, tip.top, tip.Width(), tip.Height());
    m_popup->show();
    m_popup->update();
    m_shown = true;
    m_provider->TipShown();
    return true;
}

void CToolTipWnd::Hide() {
    if (m_shown && m_popup) {
        m_popup->hide();
        if (m_parent) m_parent->update();
    }
    m_shown = false;
}

void CToolTipWnd::PointerCheck(Point screen) {
    if (!m_shown || m_visibleRect.Contains(screen)) return;
    m_provider->TipHidden();
    Hide();
}

void CToolTipWnd::ForwardMouse(QEvent* e) {
    if (!m_parent) return;
    // The same screen point, in the parent's client coordinates.
    if (e->type() == QEvent::Wheel) {
        auto* w = static_cast<QWheelEvent*>(e);
        QPointF at = m_parent->mapFromGlobal(w->globalPosition());
        QWheelEvent copy(at, w->globalPosition(), w->pixelDelta(), w->angleDelta(), w->buttons(),
                         w->modifiers(), w->phase(), w->inverted());
        QApplication::sendEvent(m_parent, &copy);
    } else {
        auto* m = static_cast<QMouseEvent*>(e);
        QPointF at = m_parent->mapFromGlobal(m->globalPosition());
        QMouseEvent copy(m->type(), at, m->globalPosition(), m->button(), m->buttons(), m->modifiers());
        QApplication::sendEvent(m_parent, &copy);
    }
    if (m_shown && m_popup) m_popup->update();
}

// ---- the timers ----

void CToolTipController::StartShow() {
    if (m_timers) m_showTimer.Start(*m_timers);
}
void CToolTipController::StopShow() {
    if (m_timers) m_showTimer.Stop(*m_timers);
}
void CToolTipController::StartHide() {
    if (m_timers) m_hideTimer.Start(*m_timers);
}
void CToolTipController::StopHide() {
    if (m_timers) m_hideTimer.Stop(*m_timers);
}

void CToolTipController::SetHideDelay(uint32_t ms, bool autoHide) {
    m_hideElapse = ms;
    m_hideTimer.SetElapse(ms);
    m_autoHide = autoHide;
}

bool CToolTipController::SameApplication() const {
    return m_parent && m_desktop->IsActive(m_parent);
}

void CToolTipController::OnMouseMove(Point client) {
    if (!m_enabled || !m_parent) return;
    Point screen = FromQ(m_parent->mapToGlobal(ToQ(client)));
    if (screen.x == m_last.x && screen.y == m_last.y) return;
    StopHide();
    Hide();
    m_last = screen;
    if (m_showTimer.IsRunning()) {
        m_pending = true;
        return;
    }
    m_pending = false;
    if (m_showElapse > 0)
        StartShow();
    else
        OnDelayTimer();
}

void CToolTipController::OnDelayTimer() {
    if (!m_parent || !SameApplication() || !m_enabled) {
        Hide();
        StopShow();
        return;
    }
    if (m_pending) {
        // The pointer moved meanwhile: looked at again one delay later.
        Hide();
        m_pending = false;
        return;
    }
    StopShow();
    Point now = m_desktop->CursorPos();
    if (now.x != m_last.x || now.y != m_last.y) {
        Cancel();
        return;
    }
    Hide();
    if (Show()) StartHide();
}

void CToolTipController::OnHideTimer() {
    if (m_pending || !m_enabled || m_autoHide || !SameApplication()) {
        StopHide();
        Hide();
        return;
    }
    Show();
}

void CToolTipController::Cancel() {
    m_pending = true;
    StopShow();
    StopHide();
    Hide();
}

void CToolTipController::TrackCursor() {
    if (!m_parent) return;
    Point screen = m_desktop->CursorPos();
    m_last = screen;
    OnMouseMove(FromQ(m_parent->mapFromGlobal(ToQ(screen))));
}

void CToolTipController::Disable() {
    Cancel();
    Destroy();
}

// ---- the item tip ----

CItemToolTip::CItemToolTip(IToolTipView& view) : CToolTipController(this), m_view(view) {}

CItemToolTip::~CItemToolTip() {
    // The popup paints through this object: it goes first.
    delete m_popup;
    m_popup = nullptr;
}

bool CItemToolTip::SameHit(const CHitTestInfo& a, const CHitTestInfo& b) {
    return a.kind == b.kind && a.key == b.key && a.rect == b.rect && a.allVisible == b.allVisible &&
           a.textFits == b.textFits && a.row == b.row && a.col == b.col;
}

bool CItemToolTip::ComputeTip(Point screen, Rect& tipRect) {
    if (!m_parent) return false;
    Point client = FromQ(m_parent->mapFromGlobal(ToQ(screen)));
    CHitTestInfo info;
    Rect cellRect;
    bool hit = m_view.TipHitTest(client, info, cellRect);
    // The tip's attributes: never transparent, and the tool-tip colours
    // unless the cell has colours of its own and the style keeps them.
    auto adjust = [this](CMapAttrChain& attrs, CTreeCellData& data) {
        attrs.SetInt("__UnSetTransparentCLRs", 1);
        bool own = attrs.Has("__ForeColor") && attrs.Has("__BackColor");
        if (m_viewStyle == 1 || !own) {
            COLORREF fore = TranslateOleColor(m_foreColor).value_or(0);
            COLORREF back = TranslateOleColor(m_backColor).value_or(0xFFFFFF);
            attrs.SetInt("__ForeColor", int32_t(fore)).SetInt("__BackColor", int32_t(back));
            // The window colour behind the text becomes the tip's too.
            attrs.SetInt("__InnerBackColor", int32_t(back));
            data.foreColor = fore;
            data.backColor = back;
        }
        data.transparent = false;
    };
    std::unique_ptr<CCellMetrics> cell;
    if (hit) {
        cell = m_view.TipCell(info, adjust);
        // Cut off by the view's edge: the cell at its natural size runs past
        // what the view shows.
        Rect visible = m_view.TipVisibleArea();
        Rect natural{cellRect.left, cellRect.top, cellRect.left + (cell ? cell->Width() : 0),
                     cellRect.top + (cell ? cell->Height() : 0)};
        if (!(natural.Intersect(visible) == natural)) info.allVisible = false;
        info.rect = info.rect.Intersect(visible);
    }
    bool isNew = true;
    if (m_autoHide) {
        if (m_shownForHit && SameHit(info, m_lastHit)) {
            isNew = false;
        } else {
            m_shownForHit = false;
            m_lastHit = info;
        }
    }
    if (!hit || !isNew || !cell || info.allVisible || info.kind == HIT_NONE) return false;
    m_tipCell = std::move(cell);
    m_tipRow = info.row;
    QPoint origin = m_parent->mapToGlobal(QPoint(cellRect.left, cellRect.top));
    tipRect = Rect{origin.x(), origin.y(), origin.x() + m_tipCell->Width(), origin.y() + m_tipCell->Height()}
                  .Inflate(1, 1);
    return true;
}

void CItemToolTip::PaintTip(Dc& dc, Point origin, const Rect& update) {
    if (!m_tipCell) return;
    bool selected = m_tipRow >= 0 && m_viewStyle != 1 && m_view.TipRowSelected(m_tipRow);
    Rect clip{origin.x, origin.y, origin.x + m_tipCell->Width(), origin.y + m_tipCell->Height()};
    m_tipCell->Draw(dc, origin.x, origin.y, clip.Intersect(update), selected ? kCellSelected : 0);
}

} // namespace vinca
