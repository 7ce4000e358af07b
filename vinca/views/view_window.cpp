#include "vinca/views/view_window.h"

#include <climits>
#include <cmath>
#include <optional>

#include <QtGui/QKeyEvent>
#include <QtGui/QPainter>
#include <QtWidgets/QScrollBar>

#include "platform/gdi/font.h"
#include "platform/gdi/picture_decode.h"
#include "platform/ui/cursors.h"
#include "vinca/model/item.h"
#include "vinca/views/grid_panes.h"
#include "vinca/views/window_frame.h"

namespace vinca {

using namespace plat::gdi;
using namespace plat::ui;

CViewWindow::CViewWindow(CVincaEngine& engine, IViewHost& host, QWidget* parent)
    : QWidget(parent), m_engine(engine), m_host(host), m_cells(host) {
    m_tree =
        std::make_unique<CTreePane>(m_engine, m_host, m_cells, static_cast<CTreePane::IPlacement&>(*this));
    m_gridPanes = std::make_unique<CGridPanes>(m_engine, m_host);
    m_gridPanes->isSelected = [this](int32_t row) { return TipRowSelected(row); };
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Moves with no button held arrive too: the tool tip follows them.
    setMouseTracking(true);
    m_vBar = new ThumbScrollBar(Qt::Vertical, this);
    // An opaque bar: moving its thumb never repaints the rows beneath it.
    m_vBar->setAutoFillBackground(true);
    m_vInfo = std::make_unique<ScrollInfoBar>(m_vBar);
    m_hBar = new ThumbScrollBar(Qt::Horizontal, this);
    m_hBar->setAutoFillBackground(true);
    m_hBar->hide();
    m_hInfo = std::make_unique<ScrollInfoBar>(m_hBar);
    m_barSize = {m_vBar->sizeHint().width(), m_hBar->sizeHint().height()};
    m_scroller.reset(new CScroller(this, this, m_tree.get()));
    m_scroller->SetBarMode(m_host.Behaviour().scrollBars);
    m_vInfo->onScroll = [this](int32_t code, int32_t thumb) { ScrollCommand(SB_VERT, code, thumb); };
    m_hInfo->onScroll = [this](int32_t code, int32_t thumb) { ScrollCommand(SB_HORZ, code, thumb); };
    m_engine.SetViewSink(this);
    if (MirrorsTree()) ReadTreeSelection();
    m_toolTip = std::make_unique<CItemToolTip>(static_cast<IToolTipView&>(*this));
    m_toolTip->SetParentWnd(this);
    SetTimers(std::make_unique<QtWindowTimers>());
    FrameChanged();
}

void CViewWindow::FrameChanged() {
    m_laidOut = QSize(width(), height());
    m_barSize = {m_vBar->sizeHint().width(), m_hBar->sizeHint().height()};
    const ViewSettings& s = m_host.Settings();
    // The border never takes more than the window has.
    m_frame = std::clamp(WindowFrameWidth(s.borderStyle, s.appearance), 0,
                         std::max(0, std::min(width(), height()) / 2));
    if (s.showCaption == 0) {
        m_caption.reset();
        m_captionHeight = 0;
    } else {
        if (!m_caption) m_caption = std::make_unique<CTitleStyle>(s);
        // The caption spans the rows and the vertical bar, inside the border.
        m_caption->LayoutAt(std::max(0, width() - 2 * m_frame));
        m_captionHeight = std::clamp(m_caption->Height(), 0, std::max(0, height() - 2 * m_frame));
    }
    m_tree->Invalidate();
    UpdateScrollRange();
    RequestRepaint();
}

CViewWindow::~CViewWindow() {
    m_toolTip.reset();
    m_engine.SetViewSink(nullptr);
}

void CViewWindow::SetTimers(std::unique_ptr<WindowTimers> timers) {
    // The tracker holds the timers by reference: it is made again over the
    // new ones, keeping its state through the same selection set.
    int32_t current = m_tracker ? m_tracker->Current() : -1;
    CRangeSet* rows = m_host.SelectedRows();
    m_tracker.reset();
    m_timers = std::move(timers);
    m_timers->onTimer = [this](uint32_t id) {
        if (id == kToolTipShowTimer)
            m_toolTip->OnDelayTimer();
        else if (id == kToolTipHideTimer)
            m_toolTip->OnHideTimer();
        else
            m_tracker->OnTimer(id, m_cursor);
    };
    m_toolTip->SetTimers(m_timers.get());
    m_tracker = std::make_unique<CMouseTracker>(static_cast<CMouseTracker::IPane&>(*this),
                                                rows ? *rows : m_ownRows, *m_timers);
    m_tracker->SetRowCount(RowCount());
    m_tracker->SetSelectionMode(m_host.SelectionMode());
    if (current >= 0) m_tracker->SetCurrent(current);
}

int32_t CViewWindow::PositionAt(Point p, int32_t mode) {
    int32_t row = RowFromPoint(p);
    if (row >= 0 || mode == 2) return row;
    int32_t count = GridActive() ? m_gridPanes->RowCount() : RowCount();
    if (count == 0) return -1;
    // Nearest: the point is taken into the rows' area; above it the row
    // before the top, below it the one after the page.
    const Rect area = RowsHitArea();
    if (p.y < area.top) return std::max(0, TopRow() - 1);
    if (p.y >= area.bottom) return std::min(count - 1, TopRow() + RowsPerPage());
    row = RowFromPoint({std::clamp(p.x, area.left, std::max(area.left, area.right - 1)), p.y});
    // Below the last row of a short list: the last row.
    return row >= 0 ? row : count - 1;
}

Rect CViewWindow::RowsHitArea() const {
    if (!GridActive()) return RowsArea();
    // The row titles and the cells; the column titles and the corner above
    // them are no part of any row.
    const Rect& titles = m_gridPanes->RowTitlesRect();
    const Rect& cells = m_gridPanes->CellsRect();
    if (titles.IsEmpty()) return cells;
    return {std::min(titles.left, cells.left), cells.top, std::max(titles.right, cells.right), cells.bottom};
}

void CViewWindow::CurrentChanged(int32_t row) {
    m_currentItem = Ref<CItem>(row >= 0 ? m_engine.RowItem(row) : nullptr);
    m_host.CurrentRowMoved(row);
    if (row >= 0) EnsureVisible(row, row);
    // The focus mark leaves one row for another; where the rows stand now.
    const int32_t was = std::exchange(m_markRow, row);
    if (m_frozen) return RequestRepaint();
    RepaintRow(was);
    RepaintRow(row);
}

int32_t CViewWindow::RowCount() {
    return m_engine.VisibleCount();
}

int32_t CViewWindow::ViewportWidth() const {
    return std::max(0, width() - 2 * m_frame - (!m_vBar->isHidden() ? BarWidth() : 0));
}

int32_t CViewWindow::HorzBarHeight() const {
    return !m_hBar->isHidden() ? BarHeight() : 0;
}

bool CViewWindow::HorzBarShown() const {
    return !m_hBar->isHidden();
}

void CViewWindow::SetScrollInfo(int32_t bar, const SCROLLINFO& si) {
    QScrollBar* other = bar == SB_VERT ? m_hBar : m_vBar;
    const bool otherShown = !other->isHidden();
    const bool wasShown = bar == SB_VERT ? !m_vBar->isHidden() : !m_hBar->isHidden();
    (bar == SB_VERT ? m_vInfo : m_hInfo)->SetScrollInfo(si);
    const bool shown = bar == SB_VERT ? !m_vBar->isHidden() : !m_hBar->isHidden();
    if (shown != wasShown || otherShown != !other->isHidden()) {
        // A bar came or went: the rows have another height or width.
        m_tree->ForgetLastPage();
        PlaceBars();
    }
}

void CViewWindow::EnableScrollBar(int32_t bar, int32_t flags) {
    if (bar == SB_VERT || bar == SB_BOTH) m_vInfo->EnableScrollBar(flags);
    if (bar == SB_HORZ || bar == SB_BOTH) m_hInfo->EnableScrollBar(flags);
}

Rect CViewWindow::BarCorner() const {
    if (m_vBar->isHidden() || m_hBar->isHidden()) return {};
    const Rect rows = RowsArea();
    return {rows.right, rows.bottom, width() - m_frame, height() - m_frame};
}

void CViewWindow::PlaceBars() {
    const int32_t vw = BarWidth();
    m_vBar->setGeometry(width() - m_frame - vw, RowsTop(), vw, RowsHeight());
    const int32_t hh = BarHeight();
    m_hBar->setGeometry(m_frame, height() - m_frame - hh, ViewportWidth(), hh);
}

void CViewWindow::UpdateHorzRange() {
    if (GridActive()) return; // columns set the grid's range
    // The widest row on the page sets the range.
    const int32_t widest = m_tree->WidestOnPage();
    m_scroller->SetRange(std::max(0, widest - 1), m_scroller->RangeY());
}

int32_t CViewWindow::HorzScrollMax() {
    return std::max(0, m_scroller->RangeX() + 1 - ViewportWidth());
}

void CViewWindow::SetHorzScrollPosition(int32_t x) {
    // The thumb carries 16 bits: a wider range goes through the scaled value.
    const int32_t range = m_scroller->RangeX();
    x = std::clamp(x, 0, HorzScrollMax());
    const int32_t thumb = range <= 32767 ? x : int32_t(std::ceil(double(x) * 32767.0 / double(range)));
    m_scroller->HScroll(SB_THUMBPOSITION, thumb);
    m_scroller->HScroll(SB_ENDSCROLL, 0);
}

int32_t CViewWindow::RowsPerPage() {
    return GridActive() ? m_gridPanes->PageSize(1) : m_tree->RowsPerPage();
}

void CViewWindow::UpdateScrollRange() {
    if (GridActive()) return LayoutGrid();
    int32_t count = RowCount();
    m_scroller->SetRange(m_scroller->RangeX(), std::max(0, count - 1));
    // The page may have changed with the window's size: apply the bar again.
    m_scroller->SetPosition(HorzScrollPosition(), TopRow());
    UpdateHorzRange();
    PlaceBars();
    // A bar that came or went changed the rows' width: rows were laid out
    // at the old one, so measure them again before the sideways range counts.
    if (!m_tree->LaidOutAtWidth()) {
        UpdateHorzRange();
        PlaceBars();
    }
}

void CViewWindow::SetTopRow(int32_t row) {
    // The first row is always a top; the last page's is found only when a
    // row beyond it may be asked for (it measures the rows of that page).
    if (row <= 0) return m_scroller->SetPosition(HorzScrollPosition(), 0);
    if (GridActive())
        return m_scroller->SetPosition(HorzScrollPosition(), std::min(row, m_gridPanes->LastPageTop()));
    m_scroller->SetPosition(HorzScrollPosition(), std::min(row, m_tree->LastPageTop()));
}

Rect CViewWindow::RowRect(int32_t row) {
    return GridActive() ? m_gridPanes->RowRect(row) : m_tree->RowRect(row);
}

int32_t CViewWindow::RowFromPoint(Point p) {
    return GridActive() ? m_gridPanes->RowFromPoint(p) : m_tree->RowFromPoint(p);
}

void CViewWindow::SetCurrentRow(int32_t row) {
    if (row < 0 || row >= RowCount()) return;
    m_tracker->ResetAnchor();
    m_tracker->MoveCurrent(row);
}

void CViewWindow::PaintInto(Dc& dc, const Rect& clip) {
    BuildLayers();
    // The background lies behind the rows; the caption and the scroll bars
    // are the window's frame, and so is the square where the bars meet.
    m_layers->Paint(dc, RowsArea(), &clip);
    if (const Rect corner = BarCorner(); !corner.Intersect(clip).IsEmpty())
        FillSolid(dc, FromQColor(m_vBar->palette().color(QPalette::Window)), corner.Intersect(clip));
    // Styled tree lines run on from row to row and move with the rows.
    // In a grid the position across counts columns; the cells' offset is
    // in pixels.
    const int32_t across = GridActive() ? m_gridPanes->CrossOffset() : HorzScrollPosition();
    dc.SetBrushOrg({m_frame - across, RowsTop() - m_linePhase});
    if (m_caption) m_caption->Draw(dc, m_frame, m_frame, clip, 0);
    int32_t y = RowsTop(), count = GridActive() ? 0 : RowCount(), w = ViewportWidth();
    const int32_t bottom = RowsTop() + RowsHeight(), x = m_frame - HorzScrollPosition();
    // The background is painted in one piece; rows of its colour need not
    // fill their bands again (the layers never show behind a row otherwise).
    const OLE_COLOR onBack =
        LayeredBackground(m_host.Background()) ? plat::gdi::kNoColorBit : m_host.Settings().backColor;
    FollowGridRows();
    if (GridActive()) m_gridPanes->Paint(dc, clip.Intersect({m_frame, y, m_frame + w, bottom}));
    for (int32_t r = TopRow(); r < count && y < bottom; ++r) {
        CVincaTreeCellMetrics* cell = m_tree->RowCell(r);
        if (!cell) break;
        Rect rowClip = clip.Intersect({m_frame, y, m_frame + w, y + cell->Height()});
        bool selected = m_host.SelectedRows() ? m_host.SelectedRows()->Contains(r) : m_ownRows.Contains(r);
        rowClip = rowClip.Intersect({m_frame, RowsTop(), m_frame + w, bottom});
        if (!rowClip.IsEmpty())
            cell->Draw(dc, x, y, rowClip,
                       (selected ? kCellSelected : 0) | (cell->BackColor() == onBack ? kCellOnBackColor : 0));
        y += cell->Height();
    }
    PaintFocusMark(dc, clip);
    if (m_frame > 0) {
        const ViewSettings& s = m_host.Settings();
        CDCClip scope(dc, clip, {0, 0, width(), height()});
        DrawWindowFrame(dc, {0, 0, width(), height()}, s.borderStyle, s.appearance);
    }
}

void CViewWindow::PaintFocusMark(Dc& dc, const Rect& clip) {
    if (!FocusMarkShown()) return;
    const ViewSettings& s = m_host.Settings();
    const int32_t row = CurrentRow();
    Rect mark;
    if (GridActive()) {
        mark = m_gridPanes->RowRect(row);
    } else if (s.textShown && (s.invStyle == 0 || s.invStyle == 2)) {
        // Where only the text shows selected, the mark goes round the text.
        mark = ItemPartRect(m_engine.RowItem(row), ItemPart::Text);
    } else {
        mark = RowRect(row);
    }
    // The rows leave their own clip behind: the mark sets the paint's.
    CDCClip scope(dc, clip, {0, 0, width(), height()});
    DrawFocusMark(dc, mark.Intersect(RowsHitArea()), clip);
}

bool CViewWindow::FocusMarkShown() const {
    // The mark shows where the keys act: on the current row while the focus
    // is in the window (not in an open editor).
    return m_host.Settings().drawFocusRect && hasFocus() && !m_editor && CurrentRow() >= 0;
}

void CViewWindow::RepaintArea(const Rect& r) {
    if (r.IsEmpty()) return;
    if (m_redrawLock > 0) {
        m_repaintDeferred = true;
        return;
    }
    update(r.left, r.top, r.Width(), r.Height());
}

QImage CViewWindow::Render() {
    // A window never shown has had no resize event yet.
    if (m_laidOut != size()) FrameChanged();
    // Painted as a paint would, into the window's own buffer: the first paint
    // after a suspension finds it made.
    const Size need{std::max(1, width()), std::max(1, height())};
    if (m_buffer.IsNull() || !(m_buffer.GetSize() == need)) m_buffer = Bitmap(need.cx, need.cy);
    {
        Dc dc(m_buffer);
        PaintInto(dc, {0, 0, width(), height()});
        PaintTrackerLine(dc, {0, 0, width(), height()});
    }
    // The bars go onto a copy; the buffer keeps only what paints draw.
    QImage img = m_buffer.Image().copy();
    QPainter p(&img);
    for (QScrollBar* bar : {m_vBar, m_hBar})
        if (!bar->isHidden()) bar->render(&p, bar->geometry().topLeft());
    return img;
}

void CViewWindow::paintEvent(QPaintEvent* e) {
    QRect r = e->rect();
    if (!CanRedraw()) {
        // The picture from before the suspension; without one, a word why
        // nothing changes.
        QPainter p(this);
        if (!m_snapshot.IsNull()) {
            p.drawImage(r.topLeft(), m_snapshot.Image(), r);
        } else {
            Bitmap note(std::max(1, r.width()), std::max(1, r.height()));
            {
                Dc dc(note);
                FillSolid(dc, 0xFFFFFF, {0, 0, r.width(), r.height()});
                dc.TextOut(0, 0, "Vinca1.Redraw is False!");
            }
            p.drawImage(r.topLeft(), note.Image());
        }
        return;
    }
    if (m_laidOut != size()) FrameChanged();
    if (PaintIntoStore(e)) return;
    // Otherwise everything goes into an image first and reaches the screen in
    // one blit. The buffer is kept from paint to paint: only what the paint
    // covers is drawn again.
    Size need{std::max(1, width()), std::max(1, height())};
    if (m_buffer.IsNull() || !(m_buffer.GetSize() == need)) m_buffer = Bitmap(need.cx, need.cy);
    {
        Dc dc(m_buffer);
        const Rect clip{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
        PaintInto(dc, clip);
        // A resize drag's line lies over everything; the buffer keeps it,
        // so the tracker takes it away by drawing it once more.
        PaintTrackerLine(dc, clip);
    }
    QPainter p(this);
    p.drawImage(r.topLeft(), m_buffer.Image(), r);
}

bool CViewWindow::PaintIntoStore(QPaintEvent* e) {
    // Where the window's pixels are kept in an image of the same kind as the
    // paint buffer, the paint goes straight into it: the pixels are written
    // once, and not copied after. Only with a plain offset and no scaling.
    QPainter p(this);
    QPaintDevice* device = p.paintEngine() ? p.paintEngine()->paintDevice() : nullptr;
    const QTransform to = p.deviceTransform();
    if (!device || device->devType() != QInternal::Image || to.type() > QTransform::TxTranslate) return false;
    QImage* store = static_cast<QImage*>(device);
    if (store->format() != QImage::Format_RGB32 || store->devicePixelRatio() != 1.0) return false;
    const QPoint at(int(to.dx()), int(to.dy()));
    p.end();
    // Each rectangle of the paint's region is painted through an image of
    // just that rectangle of the store: nothing around it (a child, a
    // sibling over the window) can be touched.
    const QRect bounds = store->rect().translated(-at);
    for (const QRect& part : e->region()) {
        const QRect r = part.intersected(bounds);
        if (r.isEmpty()) continue;
        uchar* first = store->bits() + qsizetype(r.top() + at.y()) * store->bytesPerLine() +
                       qsizetype(r.left() + at.x()) * 4;
        Bitmap target(QImage(first, r.width(), r.height(), store->bytesPerLine(), QImage::Format_RGB32));
        Dc dc(target);
        dc.SetViewportOrg({-r.left(), -r.top()});
        const Rect clip{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
        PaintInto(dc, clip);
        PaintTrackerLine(dc, clip);
    }
    return true;
}

bool CViewWindow::event(QEvent* e) {
    if (m_input && m_input->WindowInput(e)) return true;
    return QWidget::event(e);
}

void CViewWindow::ScrollCommand(int32_t bar, int32_t code, int32_t thumb) {
    // The host hears the thumb's place in the view's own range.
    const bool thumbCode = code == SB_THUMBPOSITION || code == SB_THUMBTRACK;
    const int32_t range = bar == SB_VERT ? m_scroller->RangeY() : m_scroller->RangeX();
    if (!m_host.OfferScroll(bar, code, thumbCode ? ScaleToScrollRange(thumb, range) : 0)) return;
    if (bar == SB_VERT)
        m_scroller->VScroll(code, thumb);
    else
        m_scroller->HScroll(code, thumb);
}

void CViewWindow::resizeEvent(QResizeEvent*) {
    // A window sized while hidden hears of it again when first shown; it was
    // laid out for that size already, and its measured rows still hold.
    if (m_laidOut != size()) FrameChanged();
    SetTopRow(TopRow());
}

namespace {

uint32_t MouseKeys(QMouseEvent* e) {
    uint32_t keys = 0;
    if (e->buttons() & Qt::LeftButton) keys |= MK_LBUTTON;
    if (e->modifiers() & Qt::ShiftModifier) keys |= MK_SHIFT;
    if (e->modifiers() & Qt::ControlModifier) keys |= MK_CONTROL;
    return keys;
}

} // namespace

void CViewWindow::mousePressEvent(QMouseEvent* e) {
    m_toolTip->Cancel();
    Point p{int32_t(e->position().x()), int32_t(e->position().y())};
    // A border under the pointer is dragged before anything in the cells
    // is clicked.
    m_tracker->SetCursorPoint(p);
    if (e->button() == Qt::LeftButton && m_tracker->PickResizeTracker() &&
        m_tracker->ActiveResizeTracker()->HitTest(p)) {
        m_cursor = p;
        m_tracker->OnButtonDown(p, MouseKeys(e));
        return;
    }
    // The caption, the border, a grid's column titles and corner lie outside
    // the rows: a press there takes no row (nor starts a drag that would
    // scroll through them).
    if (!RowsHitArea().Contains(p)) return;
    int32_t row = RowFromPoint(p);
    if (row < 0) {
        m_tracker->OnButtonDown(p, MouseKeys(e));
        return;
    }
    if (GridActive()) {
        // A plus/minus box in the grid's tree column opens or closes its item.
        CHitTestInfo hit;
        int32_t at = -1;
        if (m_gridPanes->HitTest(p, hit, &at) && hit.kind == HIT_PLUSMINUS) {
            if (CItem* item = m_gridPanes->RowItem(at)) {
                VResult r = m_engine.SetItemExpanded(item, !item->IsExpanded());
                if (r != VE_OK) m_host.RaiseError(r);
            }
            return;
        }
        m_cursor = p;
        m_tracker->OnButtonDown(p, MouseKeys(e));
        return;
    }
    Rect rr = RowRect(row);
    CVincaTreeCellMetrics* cell = m_tree->RowCell(row);
    CHitTestInfo info;
    const int32_t left = rr.left - HorzScrollPosition();
    if (cell && cell->HitTest({p.x - left, p.y - rr.top}, info) && info.kind == HIT_PLUSMINUS) {
        if (CItem* item = m_engine.RowItem(row)) {
            VResult r = m_engine.SetItemExpanded(item, !item->IsExpanded());
            if (r != VE_OK) m_host.RaiseError(r);
        }
        return;
    }
    m_cursor = p;
    m_tracker->OnButtonDown(p, MouseKeys(e));
}

void CViewWindow::mouseMoveEvent(QMouseEvent* e) {
    m_cursor = {int32_t(e->position().x()), int32_t(e->position().y())};
    m_tracker->OnMouseMove(m_cursor, MouseKeys(e));
    UpdateCursor();
    if (e->buttons() & (Qt::LeftButton | Qt::RightButton | Qt::MiddleButton))
        m_toolTip->Cancel();
    else
        m_toolTip->OnMouseMove(m_cursor);
}

void CViewWindow::mouseReleaseEvent(QMouseEvent* e) {
    m_toolTip->Cancel();
    m_cursor = {int32_t(e->position().x()), int32_t(e->position().y())};
    m_tracker->OnButtonUp(m_cursor, MouseKeys(e));
    // A drag that ended may leave the pointer off every border.
    UpdateCursor();
}

void CViewWindow::keyPressEvent(QKeyEvent* e) {
    m_toolTip->Cancel();
    int32_t row = CurrentRow();
    int32_t target = -1;
    switch (e->key()) {
    case Qt::Key_Down:
        target = std::min(RowCount() - 1, row + 1);
        break;
    case Qt::Key_Up:
        target = std::max(0, row - 1);
        break;
    case Qt::Key_PageDown:
        target = std::min(RowCount() - 1, std::max(0, row) + RowsPerPage());
        break;
    case Qt::Key_PageUp:
        target = std::max(0, row - RowsPerPage());
        break;
    case Qt::Key_Home:
        target = 0;
        break;
    case Qt::Key_End:
        target = RowCount() - 1;
        break;
    case Qt::Key_Plus:
    case Qt::Key_Minus:
        if (CItem* item = m_engine.RowItem(row)) m_engine.SetItemExpanded(item, e->key() == Qt::Key_Plus);
        break;
    default:
        QWidget::keyPressEvent(e);
        return;
    }
    if (target < 0) return;
    m_tracker->KeyMove(target, e->modifiers() & Qt::ShiftModifier);
}

void CViewWindow::wheelEvent(QWheelEvent* e) {
    int32_t steps = e->angleDelta().y() / 120;
    if (steps) SetTopRow(TopRow() - 3 * steps);
    // A sideways wheel moves the rows a line at a time.
    for (int32_t across = e->angleDelta().x() / 120; across != 0; across += across > 0 ? -1 : 1)
        m_scroller->HScroll(across > 0 ? SB_LINEUP : SB_LINEDOWN, 0);
    if (e->angleDelta().x() / 120 != 0) m_scroller->HScroll(SB_ENDSCROLL, 0);
}

void CViewWindow::Scrolled(Point old) {
    if (GridActive()) return GridScrolled(old);
    // How far the rows moved, measured before anything is laid out anew.
    const Point now = m_scroller->Position();
    std::optional<int32_t> down = m_tree->Distance(old.y, now.y);
    const Rect before = RowsArea();
    // Another page of rows may be wider or narrower; while the thumb is
    // held that waits for its release.
    if (old.y != now.y) {
        if (m_scroller->ThumbTracking())
            m_horzRangeStale = true;
        else
            UpdateHorzRange();
    }
    // What the tip showed has moved away; the pointer, resting, is not a move.
    m_toolTip->Cancel();
    m_toolTip->TrackCursor();
    if (down) m_linePhase = (m_linePhase + *down) % kLinePhasePeriod;
    // A bar that came or went changed the rows' area: all of it is new.
    const Rect rows = RowsArea();
    if (!(rows == before)) return RequestRepaint();
    const int32_t dx = old.x - HorzScrollPosition();
    MovePixels(rows, dx, down ? std::optional<int32_t>(-*down) : std::nullopt);
    RepaintFocusBand();
}

void CViewWindow::GridScrolled(Point old) {
    // The lists come to rest where whole rows and columns allow.
    const Point pos = m_scroller->Position();
    const CGridPanes::Move move = m_gridPanes->ScrollWith(pos.x, pos.y);
    m_toolTip->Cancel();
    // The tree column's styled lines move with the rows.
    if (move.dy) m_linePhase = (m_linePhase - *move.dy) % kLinePhasePeriod;
    const CGridPanes& g = *m_gridPanes;
    const bool across = old.x != move.at.x, along = old.y != move.at.y;
    const std::optional<int32_t> dx = across ? move.dx : 0, dy = along ? move.dy : 0;
    // The corner stays; the column titles move only sideways, the row
    // titles only up and down, the cells both ways.
    if (across) MovePixels(g.ColumnTitlesRect(), dx, 0);
    if (along) MovePixels(g.RowTitlesRect(), 0, dy);
    if (across || along) MovePixels(g.CellsRect(), dx, dy);
    RepaintFocusBand();
    if (!(move.at == pos)) m_scroller->SetPosition(move.at.x, move.at.y);
}

bool CViewWindow::MayMovePixels() {
    return isVisible() && m_redrawLock == 0 && CanRedraw() && !LayeredBackground(m_host.Background());
}

void CViewWindow::MovePixels(const Rect& area, std::optional<int32_t> dx, std::optional<int32_t> dy) {
    if (area.IsEmpty() || (dx == 0 && dy == 0)) return;
    if (!dx || !dy || std::abs(*dx) >= area.Width() || std::abs(*dy) >= area.Height() || !MayMovePixels())
        return RepaintArea(area);
    scroll(*dx, *dy, QRect(area.left, area.top, area.Width(), area.Height()));
}

void CViewWindow::RepaintFocusBand() {
    if (FocusMarkShown()) RepaintRow(CurrentRow());
}

void CViewWindow::ScrollEnds() {
    if (!std::exchange(m_horzRangeStale, false)) return;
    const Rect before = RowsArea();
    const bool atEnd = TopRow() >= m_tree->LastPageTop();
    UpdateHorzRange();
    if (RowsArea() == before) return;
    // A bar came or went: a list shown to its end still ends at the bottom.
    RequestRepaint();
    if (atEnd) SetTopRow(m_tree->LastPageTop());
}

int32_t CViewWindow::Settle() {
    m_tracker->StopTracking();
    m_toolTip->Cancel();
    return 0;
}

bool CViewWindow::TipHitTest(Point client, CHitTestInfo& info, Rect& cellRect) {
    if (GridActive()) {
        // The grid's cell under the point, where the grid shows it.
        int32_t row = -1;
        if (!m_gridPanes->HitTest(client, info, &row)) return false;
        cellRect = m_gridPanes->CellRect(info.row, info.col);
        if (cellRect.IsEmpty()) return false;
        info.row = row;
        return true;
    }
    int32_t row = RowFromPoint(client);
    if (row < 0) return false;
    cellRect = RowRect(row);
    CVincaTreeCellMetrics* cell = m_tree->RowCell(row);
    if (!cell || cellRect.IsEmpty()) return false;
    const int32_t left = cellRect.left - HorzScrollPosition();
    if (!cell->HitTest({client.x - left, client.y - cellRect.top}, info)) return false;
    info.rect = info.rect.Offset(left, cellRect.top);
    info.row = row;
    return true;
}

std::unique_ptr<CCellMetrics>
CViewWindow::TipCell(const CHitTestInfo& hit,
                     const std::function<void(CMapAttrChain&, CTreeCellData&)>& adjust) {
    if (GridActive()) {
        // The window's row -1 is the title row, grid row 0.
        const int32_t gridRow = hit.row + 1;
        Dc metrics;
        return m_gridPanes->MakeCell(gridRow > 0 ? m_gridPanes->RowItem(hit.row) : nullptr, gridRow, hit.col,
                                     metrics, {-1, -1}, adjust);
    }
    CItem* item = m_engine.RowItem(hit.row);
    if (!item) return nullptr;
    Dc metrics;
    return m_cells.Build(item, metrics, {-1, -1}, nullptr, adjust, LAYOUT_GROW_TO_TEXT);
}

bool CViewWindow::TipRowSelected(int32_t row) {
    return m_host.SelectedRows() ? m_host.SelectedRows()->Contains(row) : m_ownRows.Contains(row);
}

void CViewWindow::RowsInserted(int32_t first, int32_t count) {
    if (m_gridPanes->Grid()) m_gridPanes->RowsInserted(first, first + count - 1);
    m_tree->RowsInserted(first, first + count - 1);
    m_tracker->OnRowsInserted(first, first + count - 1);
    // Rows that come back (an item opened again) bring their marks along.
    if (MirrorsTree() && m_engine.MaySelect())
        for (int32_t row = first; row < first + count; ++row)
            if (m_engine.IsSelected(m_engine.RowItem(row))) m_ownRows.Add(row, row);
    UpdateScrollRange();
    m_markRow = CurrentRow();
    RequestRepaint();
}

void CViewWindow::RowsRemoved(int32_t first, int32_t count) {
    if (m_gridPanes->Grid()) m_gridPanes->RowsRemoved(first, first + count - 1);
    m_tree->RowsRemoved(first, first + count - 1);
    UpdateScrollRange();
    m_tracker->OnRowsRemoved(first, first + count - 1);
    SetTopRow(TopRow());
    m_markRow = CurrentRow();
    RequestRepaint();
}

void CViewWindow::InvalidateRows(int32_t first, int32_t last) {
    if (m_frozen) return; // every row is measured again at the rebuild
    if (m_gridPanes->Grid()) m_gridPanes->TreeRowsChanged(first, last);
    m_tree->InvalidateFrom(first);
    RequestRepaint();
}

void CViewWindow::EnsureVisible(int32_t first, int32_t last) {
    if (m_frozen) return; // the rebuild brings the top row back by item
    if (GridActive()) return SetTopRow(m_gridPanes->TopForRows(first, last));
    if (first < TopRow()) {
        SetTopRow(first);
        return;
    }
    Rect shown = RowRect(last);
    if (!shown.IsEmpty() && shown.bottom <= RowsTop() + RowsHeight()) return;
    // The top that puts the last row at the bottom.
    if (const int32_t top = m_tree->TopForBottom(last); top >= 0) SetTopRow(top);
}

void CViewWindow::CurrentRowChanged(int32_t row) {
    if (m_frozen) {
        // Rows are not tracked while frozen: the new current row waits by item.
        if (row >= 0) {
            m_frozenCurrent = Ref<CItem>(m_engine.RowItem(row));
            m_frozenCurrentMoved = true;
        }
        return;
    }
    SetCurrentRow(row);
}

void CViewWindow::SuspendRedraw() {
    if (m_suspended++ > 0 || m_frozen) return;
    m_snapshot = Bitmap();
    if (width() > 0 && height() > 0) {
        QImage picture = Render();
        if (!picture.isNull()) m_snapshot = Bitmap(picture);
    }
    MarkForRebuild();
}

void CViewWindow::ResumeRedraw() {
    if (m_suspended > 0 && --m_suspended > 0) return;
    m_snapshot = Bitmap();
    Rebuild();
    RequestRepaint();
}

void CViewWindow::MarkForRebuild() {
    m_frozenTop = Ref<CItem>(m_engine.RowItem(TopRow()));
    m_frozenCurrent = Ref<CItem>(CurrentRow() >= 0 ? m_engine.RowItem(CurrentRow()) : nullptr);
    m_frozenCurrentMoved = false;
    // The selection waits in a set of its own: the items' flags are theirs
    // (their sort bits among them) and stay untouched.
    m_frozenSelection.clear();
    const CRangeSet& rows = m_host.SelectedRows() ? *m_host.SelectedRows() : m_ownRows;
    for (const CRangeSet::Range& range : rows.Ranges())
        for (int32_t r = range.first; r <= range.last && r < RowCount(); ++r)
            if (CItem* item = m_engine.RowItem(r)) m_frozenSelection.emplace_back(item);
    m_frozen = true;
}

void CViewWindow::Rebuild() {
    if (!m_frozen) {
        Redraw(RedrawFlag::Relayout);
        return;
    }
    m_frozen = false;
    Ref<CItem> top = std::move(m_frozenTop);
    Ref<CItem> current = std::move(m_frozenCurrent);
    std::vector<Ref<CItem>> selection = std::move(m_frozenSelection);
    RowsReset();
    CRangeSet& rows = m_host.SelectedRows() ? *m_host.SelectedRows() : m_ownRows;
    rows.Clear();
    if (MirrorsTree()) {
        ReadTreeSelection(); // the marks changed with the tree meanwhile
    } else {
        for (const Ref<CItem>& item : selection)
            if (int32_t row = m_engine.RowOf(item.get()); row >= 0) rows.Add(row, row);
    }
    int32_t currentRow = current ? m_engine.RowOf(current.get()) : -1;
    const bool moved = std::exchange(m_frozenCurrentMoved, false);
    // A row made current meanwhile takes the selection with it, as it would
    // have at once; otherwise the current row only finds its item again.
    if (currentRow >= 0 && !moved) m_tracker->SetCurrent(currentRow);
    if (int32_t topRow = top ? m_engine.RowOf(top.get()) : -1; topRow >= 0) SetTopRow(topRow);
    if (currentRow >= 0 && moved) {
        SetCurrentRow(currentRow);
        EnsureVisible(currentRow, currentRow);
    }
}

void CViewWindow::ChangeBatch(int32_t which) {
    if (which == 0) {
        if (m_batchDepth++ == 0) m_batchRows = SelectedSet();
        return;
    }
    if (m_batchDepth == 0 || --m_batchDepth > 0) return;
    // Only the rows on the page whose selection changed are painted again.
    const CRangeSet& now = SelectedSet();
    if (m_frozen) {
        RequestRepaint();
    } else {
        const int32_t count = GridActive() ? m_gridPanes->RowCount() : RowCount();
        const int32_t last = std::min(count - 1, TopRow() + RowsPerPage());
        for (int32_t row = TopRow(); row <= last; ++row)
            if (now.Contains(row) != m_batchRows.Contains(row)) RepaintRow(row);
    }
    if (MirrorsTree()) WriteTreeSelection();
    m_batchRows.Clear();
}

void CViewWindow::WriteTreeSelection() {
    m_writingBack = true;
    for (const CRangeSet::Range& r : m_ownRows.Ranges())
        for (int32_t row = r.first; row <= r.last && row < RowCount(); ++row)
            if (!m_batchRows.Contains(row)) m_engine.SetSelected(m_engine.RowItem(row), true);
    for (const CRangeSet::Range& r : m_batchRows.Ranges())
        for (int32_t row = r.first; row <= r.last && row < RowCount(); ++row)
            if (!m_ownRows.Contains(row)) m_engine.SetSelected(m_engine.RowItem(row), false);
    m_writingBack = false;
    m_batchRows.Clear();
}

void CViewWindow::ReadTreeSelection() {
    m_ownRows.Clear();
    for (CItem* item : m_engine.SelectedRowItems())
        if (int32_t row = m_engine.RowOf(item); row >= 0) m_ownRows.Add(row, row);
}

void CViewWindow::RowSelectionChanged(int32_t row, bool selected) {
    if (m_writingBack || !MirrorsTree()) return;
    if (selected)
        m_ownRows.Add(row, row);
    else
        m_ownRows.Remove(row, row);
    RequestRepaint();
}

void CViewWindow::SelectionReset() {
    if (!MirrorsTree()) return;
    ReadTreeSelection();
    RequestRepaint();
}

void CViewWindow::RowsReset() {
    if (m_frozen) return; // the rebuild counts the rows once, at the end
    if (m_gridPanes->Grid()) m_gridPanes->ResetRows();
    // The rows are another list now: their marks are read again.
    if (MirrorsTree()) ReadTreeSelection();
    m_tree->Reset();
    m_tracker->SetRowCount(RowCount());
    // So is the current row: the selection that follows it must leave the
    // row its item now has, not the number it had in the old list.
    if (m_currentItem)
        if (const int32_t row = m_engine.RowOf(m_currentItem.get()); row >= 0) m_tracker->PlaceCurrent(row);
    UpdateScrollRange();
    SetTopRow(TopRow());
    m_markRow = CurrentRow();
    RequestRepaint();
}

void CViewWindow::Repaint() {
    FollowGridRows();
    update();
}

void CViewWindow::FollowGridRows() {
    // An item grid's rows may have changed without a notice of the tree's.
    if (GridActive() && m_gridPanes->FollowOwnerRows()) UpdateScrollRange();
}

void CViewWindow::RequestRepaint() {
    if (m_redrawLock > 0) {
        m_repaintDeferred = true;
        return;
    }
    ++m_repaintRequests;
    update();
}

void CViewWindow::BeginRedrawLock() {
    ++m_redrawLock;
}

void CViewWindow::EndRedrawLock() {
    if (m_redrawLock == 0 || --m_redrawLock > 0) return;
    // What was asked while locked is painted once, now.
    if (std::exchange(m_repaintDeferred, false)) RequestRepaint();
}

void CViewWindow::Redraw(RedrawFlags flags) {
    if (flags & RedrawFlag::EndEditing) EndLabelEdit();
    if (flags & RedrawFlag::ToolTip) {
        m_toolTip->Cancel();
        m_toolTip->TrackCursor();
    }
    if (flags & RedrawFlag::Frame) FrameChanged();
    if (m_gridPanes->Grid() && ((flags & RedrawFlag::Relayout) || (flags & RedrawFlag::InvalidateRows))) {
        // Settings and grid definitions may have changed: columns and rows
        // are measured again.
        m_gridPanes->ColumnsChanged();
    }
    if (flags & RedrawFlag::Relayout) {
        m_tree->Invalidate();
        UpdateScrollRange();
    }
    if (flags & RedrawFlag::InvalidateRows) {
        m_tree->Invalidate();
    }
    if ((flags & RedrawFlag::Repaint) || (flags & RedrawFlag::Relayout) ||
        (flags & RedrawFlag::InvalidateRows))
        RequestRepaint();
}

void CViewWindow::PropertyChanged(ViewProperty property) {
    const ViewBehaviour& b = m_host.Behaviour();
    switch (property) {
    case ViewProperty::ShowCaption:
    case ViewProperty::Caption:
        Redraw(RedrawFlag::Frame);
        break;
    case ViewProperty::SelectionMode:
        m_tracker->SetSelectionMode(m_host.SelectionMode());
        RequestRepaint();
        break;
    case ViewProperty::BackColor:
    case ViewProperty::ForeColor:
    case ViewProperty::Font:
    case ViewProperty::Indent:
    case ViewProperty::TreeLines:
    case ViewProperty::Pictures:
    case ViewProperty::MarkPicture:
    case ViewProperty::Background:
    case ViewProperty::Palette:
        m_layers.reset();
        // Every row is measured and drawn again with the new setting.
        Redraw(RedrawFlag::Relayout | RedrawFlag::Repaint);
        break;
    case ViewProperty::DragHighlight:
    case ViewProperty::FocusRect:
        RequestRepaint();
        break;
    case ViewProperty::ScrollBars:
        m_scroller->SetBarMode(b.scrollBars);
        UpdateScrollRange();
        break;
    case ViewProperty::DisableNoScroll:
        m_scroller->SetDisableNoScroll(b.disableNoScroll);
        UpdateScrollRange();
        break;
    case ViewProperty::HiddenItems:
        // What shows changed: the rows are counted again out of sight.
        SuspendRedraw();
        m_engine.InvalidateRowList();
        ResumeRedraw();
        break;
    case ViewProperty::ToolTipsMode:
        m_toolTip->SetEnabled(b.toolTipsOn);
        if (!b.toolTipsOn) m_toolTip->Cancel();
        break;
    case ViewProperty::ToolTipsDelay:
        m_toolTip->SetShowDelay(b.toolTipsDelay);
        m_toolTip->TrackCursor();
        break;
    case ViewProperty::ToolTipsColors:
        m_toolTip->SetViewStyle(b.toolTipsViewStyle);
        m_toolTip->SetColors(b.toolTipsForeColor, b.toolTipsBackColor);
        break;
    case ViewProperty::Environment:
        m_toolTip->SetEnvironment(b.environment);
        break;
    case ViewProperty::AutoDragMode:
        m_tracker->SetDragMode(b.autoDragMode);
        break;
    case ViewProperty::SmartDrag:
        m_smartDrag = b.smartDrag;
        break;
    case ViewProperty::FixedSize:
        // Every row is measured again, at its own height or the first's.
        Redraw(RedrawFlag::Relayout | RedrawFlag::Repaint);
        break;
    case ViewProperty::MousePointer:
        UpdateCursor();
        break;
    }
}

CursorClaim CViewWindow::ClaimCursor(Point client, QCursor& shape) {
    // A resize tracker under the pointer, or one being dragged wherever the
    // pointer is.
    m_tracker->SetCursorPoint(client);
    if (m_tracker->PickResizeTracker()) {
        switch (m_tracker->ActiveResizeTracker()->Cursor()) {
        case TrackerCursor::SizeWE:
            shape = QCursor(Qt::SizeHorCursor);
            break;
        case TrackerCursor::SizeNS:
            shape = QCursor(Qt::SizeVerCursor);
            break;
        case TrackerCursor::SplitH:
            shape = QCursor(ModuleCursorShape(kCursorSplitVerticalLine));
            break;
        default:
            shape = QCursor(ModuleCursorShape(kCursorSplitHorizontalLine));
            break;
        }
        return CursorClaim::Tracker;
    }
    // An item whose link a click follows: over its picture and its text.
    CHitTestInfo info;
    CItem* item = nullptr;
    if (!m_tracker->Captured() && HitTest(client, info, &item) && item &&
        (info.kind == HIT_TEXT_ITEM || info.kind == HIT_PICTURE_ITEM || info.kind == HIT_IMAGE) &&
        m_host.ItemHasLink(item)) {
        shape = QCursor(Qt::PointingHandCursor);
        return CursorClaim::Link;
    }
    // The control's own pointer; the default leaves the window's arrow.
    const ViewBehaviour& b = m_host.Behaviour();
    Qt::CursorShape standard = Qt::ArrowCursor;
    if (b.mousePointer == kPointerCustom && b.mouseIcon && b.mouseIcon->Type() == PICTYPE_ICON) {
        // The icon is decoded once per picture, not at every move.
        if (m_icon.get() != b.mouseIcon.get()) {
            m_icon = b.mouseIcon;
            auto decoded = DecodePicture(PIC_ICON, b.mouseIcon->Data());
            m_iconOk = decoded && CursorFromIcon(decoded->image, m_iconCursor);
        }
        if (m_iconOk) {
            shape = m_iconCursor;
            return CursorClaim::Pointer;
        }
    }
    StandardPointerShape(b.mousePointer, standard);
    shape = QCursor(standard);
    return CursorClaim::Pointer;
}

void CViewWindow::UpdateCursor() {
    QCursor shape;
    const CursorClaim claim = ClaimCursor(m_cursor, shape);
    if (claim == CursorClaim::Pointer && m_host.Behaviour().mousePointer == kPointerDefault)
        unsetCursor();
    else
        setCursor(shape);
}

void CViewWindow::BuildLayers() {
    // The control may change a colour and only ask for a repaint: the
    // layers are made again whenever what they show differs.
    const ViewSettings& s = m_host.Settings();
    const ViewBackground& b = m_host.Background();
    LayerKey key{s.backColor,         b.gradientFrom,     b.gradientTo,
                 b.gradientStyle,     b.picture.get(),    b.pictureAlignment,
                 b.transparentBitmap, b.transparentColor, b.transparentBackground};
    if (m_layers && key == m_layerKey) return;
    m_layerKey = key;
    // Painted in this order; the stack starts at the last layer that covers
    // everything below it.
    m_layers = MakeBackgroundLayers(
        s, b, [this](Dc& dc, const Rect& r) { return m_host.PaintParentBackground(dc, r); });
}

void CViewWindow::DrawInto(Dc& dc, const Rect& rect) {
    if (m_laidOut != size()) FrameChanged();
    Bitmap picture(std::max(1, width()), std::max(1, height()));
    {
        Dc inner(picture);
        PaintInto(inner, {0, 0, width(), height()});
    }
    Blit(picture.Image(), dc, rect, SRCCOPY);
}

bool CViewWindow::HitTest(Point client, CHitTestInfo& info, CItem** item) {
    Rect cellRect;
    if (item) *item = nullptr;
    if (GridActive()) {
        // The record names the grid column; its row is the window's row (-1
        // on the column titles), whose item is the hit item.
        int32_t row = -1;
        if (!m_gridPanes->HitTest(client, info, &row)) return false;
        info.row = row;
        if (item) *item = m_gridPanes->RowItem(row);
        return true;
    }
    if (!TipHitTest(client, info, cellRect)) return false;
    if (item) *item = m_engine.RowItem(info.row);
    return info.kind != HIT_NONE;
}

int32_t CViewWindow::BottomRow() {
    return GridActive() ? m_gridPanes->BottomRow() : m_tree->BottomRow();
}

Rect CViewWindow::ItemPartRect(CItem* item, ItemPart part) {
    if (GridActive()) {
        const int32_t row = m_gridPanes->RowOfItem(item);
        return PartInGridRow(row, row >= 0 ? m_gridPanes->RowRect(row) : Rect{}, part);
    }
    int32_t row = RowOfItem(item);
    Rect rr = row >= 0 ? RowRect(row) : Rect{};
    CVincaTreeCellMetrics* cell = rr.IsEmpty() ? nullptr : m_tree->RowCell(row);
    return PartInRow(cell, rr, part);
}

Rect CViewWindow::PartInRow(CVincaTreeCellMetrics* cell, const Rect& rr, ItemPart part) const {
    if (!cell) return {};
    if (part == ItemPart::Row) return rr;
    const Rect r = PartOfCell(cell, {rr.left - HorzScrollPosition(), rr.top}, part);
    return r.IsEmpty() ? Rect{} : r.Intersect(rr);
}

Rect CViewWindow::PartInGridRow(int32_t row, const Rect& rr, ItemPart part) {
    if (rr.IsEmpty()) return {};
    if (part == ItemPart::Row) return rr;
    // The parts stand in the tree column, and show where its cell shows.
    Rect treeRect;
    CVincaTreeCellMetrics* cell = m_gridPanes->TreeCell(row, rr, treeRect);
    if (!cell) return {};
    const Rect& cells = m_gridPanes->CellsRect();
    const Rect r = PartOfCell(cell, {treeRect.left, treeRect.top}, part);
    return r.IsEmpty() ? Rect{}
                       : r.Intersect(treeRect).Intersect({cells.left, rr.top, cells.right, rr.bottom});
}

Rect CViewWindow::PartOfCell(CVincaTreeCellMetrics* cell, Point origin, ItemPart part) {
    Rect r;
    switch (part) {
    case ItemPart::Row:
        return {origin.x, origin.y, origin.x + cell->Width(), origin.y + cell->Height()};
    case ItemPart::Text:
        r = {cell->TextX(), cell->TextY(), cell->TextX() + cell->TextCell().Width(),
             cell->TextY() + cell->TextCell().Height()};
        break;
    case ItemPart::Picture:
        r = cell->PictureRect();
        break;
    case ItemPart::PlusMinus:
        r = cell->PlusMinusRect();
        break;
    case ItemPart::Mark:
        r = cell->MarkRect();
        break;
    }
    return r.IsEmpty() ? Rect{} : r.Offset(origin.x, origin.y);
}

Rect CViewWindow::RowRectAnywhere(int32_t row) {
    return GridActive() ? m_gridPanes->RowRectAnywhere(row) : m_tree->RowRectAnywhere(row);
}

Rect CViewWindow::ItemPartRectAnywhere(CItem* item, ItemPart part) {
    if (GridActive()) {
        const int32_t row = m_gridPanes->RowOfItem(item);
        return PartInGridRow(row, m_gridPanes->RowRectAnywhere(row), part);
    }
    const int32_t row = RowOfItem(item);
    const Rect rr = RowRectAnywhere(row);
    return PartInRow(rr.IsEmpty() ? nullptr : m_tree->RowCell(row), rr, part);
}

int32_t CViewWindow::HScrollPercent() const {
    const int32_t range = m_scroller->RangeX();
    if (range <= 0) return 0;
    return int32_t(int64_t(m_scroller->Position().x) * 100 / range);
}

void CViewWindow::SetHScrollPercent(int32_t percent) {
    const int32_t range = m_scroller->RangeX();
    if (range <= 0) return;
    const int32_t x = int32_t(int64_t(std::clamp(percent, 0, 100)) * range / 100);
    m_scroller->SetPosition(x, TopRow());
}

int32_t CViewWindow::DragOverRow(Point client, Rect& rowRect) {
    int32_t row = RowFromPoint(client);
    rowRect = row >= 0 ? RowRect(row) : Rect{};
    return row;
}

} // namespace vinca

namespace vinca {

bool CViewWindow::GridActive() const {
    return m_gridPanes && m_gridPanes->Grid();
}

CTreeGrid* CViewWindow::Grid() const {
    return m_gridPanes ? m_gridPanes->Grid() : nullptr;
}

CTreeGrid* CViewWindow::SetGrid(CTreeGrid* grid) {
    CTreeGrid* attached = m_gridPanes->Grid();
    const bool shown = grid && grid->m_gridFlag != 0;
    if (grid == attached && (!grid || shown)) return attached;
    if (shown) {
        // A shown grid is attached, in place of the tree or of another grid.
        m_gridPanes->Connect(grid);
    } else {
        // No grid, or a hidden one: the tree comes back, if it had gone.
        if (!attached) return nullptr;
        m_gridPanes->Connect(nullptr);
    }
    GridSwitched();
    return m_gridPanes->Grid();
}

void CViewWindow::GridSwitched() {
    m_toolTip->Cancel();
    if (IsEditing()) EndLabelEdit();
    // The steps and the sideways position mean columns in a grid and pixels
    // in the tree; the rows of the group left behind are dropped.
    m_scroller->SetSteps(GridActive() ? static_cast<IScrollSteps*>(m_gridPanes.get())
                                      : static_cast<IScrollSteps*>(m_tree.get()));
    m_tree->Invalidate();
    m_scroller->SetRange(0, m_scroller->RangeY());
    m_scroller->SetPosition(0, TopRow());
    UpdateScrollRange();
    SetTopRow(TopRow());
    RequestRepaint();
}

CResizeTracker* CViewWindow::FindResizeTracker(Point p) {
    for (CResizeTracker* t : {&m_titleHeightTracker, &m_rowTitleWidthTracker, &m_rowHeightTracker})
        if (t->IsTracking()) return t;
    if (!GridActive()) return nullptr;
    const int32_t bands = Grid()->m_titleBands;
    const bool titles = bands == 1 || bands == 3;
    const CGridPanes& g = *m_gridPanes;
    const Rect& area = g.GetRect();
    // Lines are dragged within the grid's area; the bands run across it.
    if (titles) {
        m_titleHeightTracker.Setup(area.top, area.bottom, g.TitleHeight(), area.left, area.right);
        if (m_titleHeightTracker.HitTest(p)) return &m_titleHeightTracker;
    }
    if (bands == 2 || bands == 3) {
        m_rowTitleWidthTracker.Setup(area.left, area.right, g.RowTitleWidth(), area.top, area.bottom);
        if (m_rowTitleWidthTracker.HitTest(p)) return &m_rowTitleWidthTracker;
    }
    if (!titles || !(g.CellsRect().Contains(p) || g.RowTitlesRect().Contains(p))) return nullptr;
    // The row under the point, or the one whose bottom lies just above it.
    for (int32_t row :
         {m_gridPanes->RowFromPoint(p), m_gridPanes->RowFromPoint({p.x, p.y - CResizeTracker::kHalfBand})}) {
        const Rect rr = row >= 0 ? m_gridPanes->RowRect(row) : Rect{};
        if (rr.IsEmpty()) continue;
        m_rowHeightTracker.Setup(rr.top, area.bottom, rr.Height(), area.left, area.right);
        if (m_rowHeightTracker.HitTest(p)) {
            m_rowHeightRow = row;
            return &m_rowHeightTracker;
        }
    }
    return nullptr;
}

void CViewWindow::ResizeDone(CResizeTracker* tracker, int32_t size) {
    if (!GridActive()) return;
    // Nothing is smaller than 4 pixels, so a border stays in reach.
    size = std::max(size, CGridPanes::kMinTitleHeight);
    if (tracker == &m_titleHeightTracker)
        m_gridPanes->SetTitleHeight(size);
    else if (tracker == &m_rowTitleWidthTracker)
        m_gridPanes->SetRowTitleWidth(size);
    else if (tracker == &m_rowHeightTracker && m_rowHeightRow >= 0 &&
             m_rowHeightRow < m_gridPanes->RowCount())
        m_gridPanes->SetRowHeight(m_rowHeightRow, size);
    else
        return;
    LayoutGrid();
    RequestRepaint();
}

void CViewWindow::DrawTracker(const std::function<void(Dc&)>& draw) {
    CResizeTracker* tracker = m_tracker->ActiveResizeTracker();
    const Rect before = tracker ? tracker->LineRect() : Rect{};
    if (m_buffer.IsNull() || !(m_buffer.GetSize() == Size{width(), height()})) {
        // Nothing painted yet: the next paint draws the line.
        Dc none;
        draw(none);
    } else {
        Dc dc(m_buffer);
        draw(dc);
    }
    const Rect after = tracker ? tracker->LineRect() : Rect{};
    for (const Rect& r : {before, after})
        if (!r.IsEmpty()) update(r.left, r.top, r.Width(), r.Height());
}

void CViewWindow::PaintTrackerLine(Dc& dc, const Rect& clip) {
    CResizeTracker* tracker = m_tracker->ActiveResizeTracker();
    if (!tracker || !tracker->IsTracking()) return;
    dc.SetDeviceClip(dc.LPtoDP(clip));
    tracker->DrawLine(dc);
    dc.SetDeviceClip(std::nullopt);
}

void CViewWindow::LayoutGrid() {
    // Twice: a bar that comes or goes changes the room the grid has.
    for (int pass = 0; pass < 2; ++pass) {
        const QSize room(ViewportWidth(), RowsHeight());
        m_gridPanes->SetRect({m_frame, RowsTop(), m_frame + ViewportWidth(), RowsTop() + RowsHeight()});
        m_scroller->SetRange(m_gridPanes->RangeX(), m_gridPanes->RangeY());
        const Point at = m_gridPanes->ScrollTo(m_scroller->Position().x, m_scroller->Position().y);
        m_scroller->SetPosition(at.x, at.y);
        PlaceBars();
        if (room == QSize(ViewportWidth(), RowsHeight())) break;
    }
}

} // namespace vinca
