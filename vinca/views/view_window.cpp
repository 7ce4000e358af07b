#include "vinca/views/view_window.h"

#include <QtGui/QKeyEvent>
#include <QtGui/QPainter>
#include <QtWidgets/QScrollBar>

#include "vinca/model/item.h"

namespace vinca {

using namespace plat::gdi;
using namespace plat::ui;

CViewWindow::CViewWindow(CVincaEngine& engine, IViewHost& host, QWidget* parent)
    : QWidget(parent), m_engine(engine), m_host(host), m_cells(host) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Moves with no button held arrive too: the tool tip follows them.
    setMouseTracking(true);
    m_vBar = new QScrollBar(Qt::Vertical, this);
    // An opaque bar: moving its thumb never repaints the rows beneath it.
    m_vBar->setAutoFillBackground(true);
    m_vInfo = std::make_unique<ScrollInfoBar>(m_vBar);
    m_scroller.reset(new CScroller(this, this, this));
    m_scroller->SetBarMode(CScroller::BARS_VERT);
    m_vInfo->onScroll = [this](int32_t code, int32_t thumb) { m_scroller->VScroll(code, thumb); };
    m_engine.SetViewSink(this);
    m_extents.SetItemCount(m_engine.VisibleCount());
    m_toolTip = std::make_unique<CItemToolTip>(static_cast<IToolTipView&>(*this));
    m_toolTip->SetParentWnd(this);
    SetTimers(std::make_unique<QtWindowTimers>());
    FrameChanged();
}

void CViewWindow::FrameChanged() {
    m_laidOut = QSize(width(), height());
    const ViewSettings& s = m_host.Settings();
    if (s.showCaption == 0) {
        m_caption.reset();
        m_captionHeight = 0;
    } else {
        if (!m_caption) m_caption = std::make_unique<CTitleStyle>(s);
        // The caption spans the rows and the vertical bar.
        m_caption->LayoutAt(width());
        m_captionHeight = std::min(m_caption->Height(), height());
    }
    ForgetLastPage();
    m_extents.RemoveOutside(0, -1);
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
    int32_t count = RowCount();
    if (count == 0) return -1;
    // Nearest: above the window the row before the top, below it the next.
    if (p.y < m_captionHeight) return std::max(0, TopRow() - 1);
    int32_t last = TopRow() + RowsPerPage() - 1;
    return std::min(count - 1, last + 1);
}

void CViewWindow::CurrentChanged(int32_t row) {
    if (row >= 0) EnsureVisible(row, row);
    RequestRepaint();
}

int32_t CViewWindow::RowCount() {
    return m_engine.VisibleCount();
}

int32_t CViewWindow::ViewportWidth() const {
    return std::max(0, width() - (!m_vBar->isHidden() ? m_vBar->sizeHint().width() : 0));
}

void CViewWindow::SetScrollInfo(int32_t bar, const SCROLLINFO& si) {
    if (bar == SB_VERT) m_vInfo->SetScrollInfo(si);
}

void CViewWindow::EnableScrollBar(int32_t bar, int32_t flags) {
    if (bar == SB_VERT || bar == SB_BOTH) m_vInfo->EnableScrollBar(flags);
}

CVincaTreeCellMetrics* CViewWindow::RowCell(int32_t row) {
    if (const auto* e = m_extents.Lookup(row)) return static_cast<CVincaTreeCellMetrics*>(e->cell.get());
    CItem* item = m_engine.RowItem(row);
    if (!item) return nullptr;
    Dc metrics;
    auto cell = m_cells.Build(item, metrics, {ViewportWidth(), -1}, nullptr);
    CVincaTreeCellMetrics* raw = cell.get();
    Size extent = cell->GetSize();
    m_extents.SetExtent(row, extent, std::move(cell));
    return raw;
}

int32_t CViewWindow::RowsPerPage() {
    int32_t h = 0, n = 0, count = RowCount(), avail = RowsHeight();
    for (int32_t row = TopRow(); row < count && h < avail; ++row, ++n) {
        CVincaTreeCellMetrics* c = RowCell(row);
        h += c ? c->Height() : 0;
        if (h > avail) break;
    }
    return std::max(1, n);
}

int32_t CViewWindow::MaxTop() {
    if (m_maxTop >= 0) return m_maxTop;
    // The last page starts where the rows from the end fill the window.
    int32_t count = RowCount(), h = 0, row = count;
    while (row > 0) {
        CVincaTreeCellMetrics* c = RowCell(row - 1);
        int32_t rh = c ? c->Height() : 0;
        if (h + rh > RowsHeight()) break;
        h += rh;
        --row;
    }
    m_maxTop = std::max(0, std::min(row, count - 1));
    return m_maxTop;
}

void CViewWindow::ForgetLastPage() {
    m_maxTop = -1;
}

void CViewWindow::TrimExtents() {
    // Rows far from the page are measured again when they come back, so a
    // walk through a long list keeps only a few pages of cells.
    int32_t keep = 4 * RowsPerPage() + kKeptRows;
    int32_t top = TopRow();
    if (m_extents.EntryCount() > size_t(4 * keep))
        m_extents.RemoveOutside(std::max(0, top - keep), top + keep);
}

void CViewWindow::UpdateScrollRange() {
    int32_t count = RowCount();
    m_scroller->SetRange(0, std::max(0, count - 1));
    // The page may have changed with the window's size: apply the bar again.
    m_scroller->SetPosition(0, TopRow());
    m_vBar->setGeometry(width() - m_vBar->sizeHint().width(), m_captionHeight, m_vBar->sizeHint().width(),
                        std::max(0, height() - m_captionHeight));
}

void CViewWindow::SetTopRow(int32_t row) {
    m_scroller->SetPosition(0, std::clamp(row, 0, MaxTop()));
}

Rect CViewWindow::RowRect(int32_t row) {
    if (row < TopRow() || row >= RowCount()) return {};
    int32_t y = m_captionHeight;
    for (int32_t r = TopRow(); r < row; ++r) {
        y += RowCell(r)->Height();
        if (y >= height()) return {};
    }
    return {0, y, ViewportWidth(), y + RowCell(row)->Height()};
}

int32_t CViewWindow::RowFromPoint(Point p) {
    if (p.x < 0 || p.x >= ViewportWidth() || p.y < m_captionHeight) return -1;
    int32_t y = m_captionHeight, count = RowCount();
    for (int32_t r = TopRow(); r < count && y < height(); ++r) {
        int32_t h = RowCell(r)->Height();
        if (p.y < y + h) return r;
        y += h;
    }
    return -1;
}

void CViewWindow::SetCurrentRow(int32_t row) {
    if (row < 0 || row >= RowCount()) return;
    m_tracker->ResetAnchor();
    m_tracker->MoveTo(row, 0);
}

void CViewWindow::PaintInto(Dc& dc, const Rect& clip) {
    BuildLayers();
    m_layers->Paint(dc, {0, 0, width(), height()}, &clip);
    if (m_caption) m_caption->Draw(dc, 0, 0, clip, 0);
    int32_t y = m_captionHeight, count = RowCount(), w = ViewportWidth();
    for (int32_t r = TopRow(); r < count && y < height(); ++r) {
        CVincaTreeCellMetrics* cell = RowCell(r);
        if (!cell) break;
        Rect rowClip = clip.Intersect({0, y, w, y + cell->Height()});
        bool selected = m_host.SelectedRows() ? m_host.SelectedRows()->Contains(r) : m_ownRows.Contains(r);
        rowClip = rowClip.Intersect({0, m_captionHeight, w, height()});
        if (!rowClip.IsEmpty()) cell->Draw(dc, 0, y, rowClip, selected ? kCellSelected : 0);
        y += cell->Height();
    }
}

QImage CViewWindow::Render() {
    // A window never shown has had no resize event yet.
    if (m_laidOut != size()) FrameChanged();
    Bitmap buffer(std::max(1, width()), std::max(1, height()));
    {
        Dc dc(buffer);
        PaintInto(dc, {0, 0, width(), height()});
    }
    TrimExtents();
    QImage img = buffer.Image();
    if (!m_vBar->isHidden()) {
        QPainter p(&img);
        m_vBar->render(&p, m_vBar->geometry().topLeft());
    }
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
    // Everything goes into an image first and reaches the screen in one blit.
    if (m_laidOut != size()) FrameChanged();
    // The buffer is kept from paint to paint: only what the paint covers is
    // drawn again.
    Size need{std::max(1, width()), std::max(1, height())};
    if (m_buffer.IsNull() || !(m_buffer.GetSize() == need)) m_buffer = Bitmap(need.cx, need.cy);
    {
        Dc dc(m_buffer);
        PaintInto(dc, {r.left(), r.top(), r.right() + 1, r.bottom() + 1});
    }
    TrimExtents();
    QPainter p(this);
    p.drawImage(r.topLeft(), m_buffer.Image(), r);
}

void CViewWindow::resizeEvent(QResizeEvent*) {
    FrameChanged();
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
    int32_t row = RowFromPoint(p);
    if (row < 0) {
        m_tracker->OnButtonDown(p, MouseKeys(e));
        return;
    }
    Rect rr = RowRect(row);
    CVincaTreeCellMetrics* cell = RowCell(row);
    CHitTestInfo info;
    if (cell && cell->HitTest({p.x - rr.left, p.y - rr.top}, info) && info.kind == HIT_PLUSMINUS) {
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
    if (e->buttons() & (Qt::LeftButton | Qt::RightButton | Qt::MiddleButton))
        m_toolTip->Cancel();
    else
        m_toolTip->OnMouseMove(m_cursor);
}

void CViewWindow::mouseReleaseEvent(QMouseEvent* e) {
    m_toolTip->Cancel();
    m_cursor = {int32_t(e->position().x()), int32_t(e->position().y())};
    m_tracker->OnButtonUp(m_cursor, MouseKeys(e));
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
    // Shift extends the selection in the extended mode; any other move starts afresh.
    if ((e->modifiers() & Qt::ShiftModifier) && m_tracker->SelectionMode() == SELECT_EXTENDED) {
        m_tracker->ExtendTo(target);
    } else {
        m_tracker->ResetAnchor();
        m_tracker->MoveTo(target, 0);
    }
}

void CViewWindow::wheelEvent(QWheelEvent* e) {
    int32_t steps = e->angleDelta().y() / 120;
    if (steps) SetTopRow(TopRow() - 3 * steps);
}

void CViewWindow::Scrolled(Point) {
    // What the tip showed has moved away; the pointer, resting, is not a move.
    m_toolTip->Cancel();
    m_toolTip->TrackCursor();
    update();
}

int32_t CViewWindow::Settle() {
    m_tracker->StopTracking();
    m_toolTip->Cancel();
    return 0;
}

bool CViewWindow::TipHitTest(Point client, CHitTestInfo& info, Rect& cellRect) {
    int32_t row = RowFromPoint(client);
    if (row < 0) return false;
    cellRect = RowRect(row);
    CVincaTreeCellMetrics* cell = RowCell(row);
    if (!cell || cellRect.IsEmpty()) return false;
    if (!cell->HitTest({client.x - cellRect.left, client.y - cellRect.top}, info)) return false;
    info.rect = info.rect.Offset(cellRect.left, cellRect.top);
    info.row = row;
    return true;
}

std::unique_ptr<CCellMetrics>
CViewWindow::TipCell(int32_t row, const std::function<void(CMapAttrChain&, CTreeCellData&)>& adjust) {
    CItem* item = m_engine.RowItem(row);
    if (!item) return nullptr;
    Dc metrics;
    return m_cells.Build(item, metrics, {-1, -1}, nullptr, adjust, LAYOUT_GROW_TO_TEXT);
}

bool CViewWindow::TipRowSelected(int32_t row) {
    return m_host.SelectedRows() ? m_host.SelectedRows()->Contains(row) : m_ownRows.Contains(row);
}

void CViewWindow::RowsInserted(int32_t first, int32_t count) {
    ForgetLastPage();
    m_extents.OnItemsInserted(first, first + count - 1);
    // Lines of the rows just above may change (a last child gets a sibling).
    m_extents.RemoveOutside(0, first - 2);
    m_tracker->OnRowsInserted(first, first + count - 1);
    UpdateScrollRange();
    RequestRepaint();
}

void CViewWindow::RowsRemoved(int32_t first, int32_t count) {
    ForgetLastPage();
    m_extents.OnItemsRemoved(first, first + count - 1);
    m_extents.RemoveOutside(0, first - 2);
    UpdateScrollRange();
    m_tracker->OnRowsRemoved(first, first + count - 1);
    SetTopRow(TopRow());
    RequestRepaint();
}

void CViewWindow::InvalidateRows(int32_t first, int32_t last) {
    if (m_frozen) return; // every row is measured again at the rebuild
    ForgetLastPage();
    m_extents.RemoveOutside(0, first - 1);
    RequestRepaint();
}

void CViewWindow::EnsureVisible(int32_t first, int32_t last) {
    if (m_frozen) return; // the rebuild brings the top row back by item
    if (first < TopRow()) {
        SetTopRow(first);
        return;
    }
    Rect shown = RowRect(last);
    if (!shown.IsEmpty() && shown.bottom <= height()) return;
    // The top that puts the last row at the bottom: measured back from it,
    // so a jump costs a page of rows however far it goes.
    CVincaTreeCellMetrics* cell = RowCell(last);
    if (!cell) return;
    int32_t top = last, h = cell->Height();
    while (top > 0) {
        CVincaTreeCellMetrics* above = RowCell(top - 1);
        if (!above || h + above->Height() > RowsHeight()) break;
        h += above->Height();
        --top;
    }
    SetTopRow(std::max(top, TopRow()));
}

void CViewWindow::CurrentRowChanged(int32_t row) {
    if (m_frozen) {
        // Rows are not tracked while frozen: the new current row waits by item.
        if (row >= 0) m_frozenCurrent = Ref<CItem>(m_engine.RowItem(row));
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
    for (const Ref<CItem>& item : selection)
        if (int32_t row = m_engine.RowOf(item.get()); row >= 0) rows.Add(row, row);
    int32_t currentRow = current ? m_engine.RowOf(current.get()) : -1;
    if (currentRow >= 0) m_tracker->SetCurrent(currentRow);
    if (int32_t topRow = top ? m_engine.RowOf(top.get()) : -1; topRow >= 0) SetTopRow(topRow);
}

void CViewWindow::RowsReset() {
    if (m_frozen) return; // the rebuild counts the rows once, at the end
    ForgetLastPage();
    m_extents.RemoveOutside(0, -1);
    m_extents.SetItemCount(RowCount());
    m_tracker->SetRowCount(RowCount());
    UpdateScrollRange();
    SetTopRow(TopRow());
    RequestRepaint();
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
    if (flags & RedrawFlag::Relayout) {
        ForgetLastPage();
        m_extents.RemoveOutside(0, -1);
        UpdateScrollRange();
    }
    if (flags & RedrawFlag::InvalidateRows) {
        ForgetLastPage();
        m_extents.RemoveOutside(0, -1);
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
    }
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
    m_layers = std::make_unique<CLayerStack>();
    m_layers->Push(std::make_unique<CColorLayer>(s.backColor));
    CGradient gradient;
    gradient.colorFrom = TranslateOleColor(b.gradientFrom).value_or(0xFFFFFF);
    gradient.colorTo = TranslateOleColor(b.gradientTo).value_or(0xFF0000);
    gradient.style = b.gradientStyle;
    m_layers->Push(std::make_unique<CGradientLayer>(gradient));
    if (b.transparentBackground)
        m_layers->Push(std::make_unique<CParentBackLayer>(
            [this](Dc& dc, const Rect& r) { return m_host.PaintParentBackground(dc, r); }));
    Transparency transparency{b.transparentBitmap, TranslateOleColor(b.transparentColor).value_or(0xFFFFFF)};
    m_layers->Push(
        std::make_unique<CPictureLayer>(CPictureHolder(b.picture), transparency, b.pictureAlignment));
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
    if (!TipHitTest(client, info, cellRect)) return false;
    if (item) *item = m_engine.RowItem(info.row);
    return info.kind != HIT_NONE;
}

int32_t CViewWindow::BottomRow() {
    int32_t y = m_captionHeight, count = RowCount(), last = TopRow();
    for (int32_t r = TopRow(); r < count; ++r) {
        CVincaTreeCellMetrics* cell = RowCell(r);
        if (!cell || y + cell->Height() > height()) break;
        y += cell->Height();
        last = r;
    }
    return last;
}

Rect CViewWindow::ItemPartRect(CItem* item, ItemPart part) {
    int32_t row = RowOfItem(item);
    Rect rr = row >= 0 ? RowRect(row) : Rect{};
    CVincaTreeCellMetrics* cell = rr.IsEmpty() ? nullptr : RowCell(row);
    return PartInRow(cell, rr, part);
}

Rect CViewWindow::PartInRow(CVincaTreeCellMetrics* cell, const Rect& rr, ItemPart part) {
    if (!cell) return {};
    Rect r;
    switch (part) {
    case ItemPart::Row:
        return rr;
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
    return r.IsEmpty() ? Rect{} : r.Offset(rr.left, rr.top).Intersect(rr);
}

Rect CViewWindow::RowRectAnywhere(int32_t row) {
    if (row < 0 || row >= RowCount()) return {};
    auto height = [&](int32_t r) {
        CVincaTreeCellMetrics* c = RowCell(r);
        return c ? c->Height() : 0;
    };
    int32_t y = m_captionHeight;
    const int32_t top = TopRow();
    for (int32_t r = top; r < row; ++r)
        y += height(r);
    for (int32_t r = row; r < top; ++r)
        y -= height(r);
    return {0, y, ViewportWidth(), y + height(row)};
}

Rect CViewWindow::ItemPartRectAnywhere(CItem* item, ItemPart part) {
    const int32_t row = RowOfItem(item);
    const Rect rr = RowRectAnywhere(row);
    return PartInRow(rr.IsEmpty() ? nullptr : RowCell(row), rr, part);
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
