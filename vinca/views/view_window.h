#pragma once
// The control's window: the rows of the item tree drawn as tree cells in a
// viewport with a vertical scroll bar. It is the engine's view sink, so the
// engine's visible rows are its rows; it paints into an image (the window's
// backing image, or a buffer blitted there), so raster operations are exact.
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include <QtWidgets/QWidget>

#include "platform/ui/child_editor.h"
#include "platform/ui/scroll_info_bar.h"
#include "vinca/model/engine.h"
#include "vinca/views/caption_cell.h"
#include "vinca/views/item_cell.h"
#include "vinca/views/layers.h"
#include "vinca/views/mouse_tracker.h"
#include "vinca/views/scroller.h"
#include "vinca/views/tool_tip.h"
#include "vinca/views/tree_cell.h"
#include "vinca/views/tree_pane.h"
#include "vinca/views/view_host.h"
#include "vinca/views/view_support.h"

class QScrollBar;

namespace vinca {

class CGridPanes;
class CTreeGrid;

// What a redraw request asks for; named, so no number crosses the interface.
enum class RedrawFlag : uint32_t {
    InvalidateRows = 1,
    Repaint = 2,
    Relayout = 4,
    Frame = 8,
    EndEditing = 16, // an in-place edit ends, its text not kept
    ToolTip = 32     // the tip hides and follows the pointer afresh
};
class RedrawFlags {
  public:
    RedrawFlags() = default;
    RedrawFlags(RedrawFlag f) : m_bits(uint32_t(f)) {}
    RedrawFlags operator|(RedrawFlag f) const { return Bits(m_bits | uint32_t(f)); }
    bool operator&(RedrawFlag f) const { return m_bits & uint32_t(f); }
    bool operator&(RedrawFlags f) const { return m_bits & f.m_bits; }

  private:
    static RedrawFlags Bits(uint32_t b) {
        RedrawFlags r;
        r.m_bits = b;
        return r;
    }
    uint32_t m_bits{0};
};
inline RedrawFlags operator|(RedrawFlag a, RedrawFlag b) {
    return RedrawFlags(a) | b;
}

// The control's properties whose change the views react to.
enum class ViewProperty {
    BackColor,
    ForeColor,
    Font,
    Indent,
    TreeLines,
    Pictures,
    ShowCaption,
    Caption,
    SelectionMode,
    Background,    // the layers behind the rows (picture, gradient, transparency)
    MarkPicture,   // mark pictures and their width
    DragHighlight, // the row a drag is over
    ScrollBars,    // which bars show
    DisableNoScroll,
    FocusRect,
    HiddenItems,    // what shows changed: the rows are counted again
    Palette,        // the colours are looked up again
    ToolTipsMode,   // tips on or off
    ToolTipsDelay,  // the show delay
    ToolTipsColors, // colours and view style of the tips
    Environment,    // the tips' hide delay and auto-hide
    AutoDragMode,
    SmartDrag,
    FixedSize,   // every row as high as the first, or each its own height
    MousePointer // the pointer's shape (and its custom icon)
};

// Who decides the pointer's shape over the window.
enum class CursorClaim {
    Pointer, // the control's MousePointer (nothing else claims it)
    Tracker, // a resize tracker under the pointer, or one being dragged
    Link     // an item whose link the control follows on a click
};

// The parts of an item's row whose rectangle the control asks for.
enum class ItemPart { Row, Text, Picture, PlusMinus, Mark };

class CViewWindow : public QWidget,
                    public IViewSink,
                    private IScrollBars,
                    private IScrollOwner,
                    private CTreePane::IPlacement,
                    private CMouseTracker::IPane,
                    private IToolTipView {
    Q_OBJECT
  public:
    CViewWindow(CVincaEngine& engine, IViewHost& host, QWidget* parent = nullptr);
    ~CViewWindow() override;

    int32_t RowCount();
    int32_t TopRow() const override { return m_scroller ? m_scroller->Position().y : 0; }
    void SetTopRow(int32_t row);
    int32_t CurrentRow() const { return m_tracker->Current(); }
    CMouseTracker& Tracker() { return *m_tracker; }
    plat::ui::WindowTimers& Timers() { return *m_timers; }
    // Tests run the timers on a manual clock.
    void SetTimers(std::unique_ptr<plat::ui::WindowTimers> timers);
    void SetCurrentRow(int32_t row);
    // The row under a viewport point, -1 off the rows.
    int32_t RowFromPoint(Point p);
    // A row's rectangle in the viewport (empty when it does not show).
    Rect RowRect(int32_t row);
    // Paints the whole window into an image, as a paint event would.
    QImage Render();
    int32_t RowsPerPage();
    const CTreePane& TreePane() const { return *m_tree; }
    // Height of the caption strip (0 without a caption).
    int32_t CaptionHeight() const { return m_captionHeight; }
    const CTitleStyle* Caption() const { return m_caption.get(); }
    // The frame changed (caption shown, hidden or retitled, border): lay it
    // out again.
    void FrameChanged();
    // Pixels the border takes on each side of the window (0 without one).
    int32_t FrameWidth() const { return m_frame; }
    // Where the rows are drawn: inside the border, below the caption, beside
    // the scroll bars.
    Rect RowsArea() const override {
        return {m_frame, RowsTop(), m_frame + ViewportWidth(), RowsTop() + RowsHeight()};
    }
    // Where a press takes a row: the rows area of the tree, or a grid's row
    // titles and cells.
    Rect RowsHitArea() const;
    // The pointer over a client point: a resize tracker claims it first,
    // then an item with a link, else the control's MousePointer. A drag the
    // container runs shows its own cursor above all of these.
    CursorClaim ClaimCursor(Point client, QCursor& shape);
    // Shows what the claim gives at the pointer's last place in the window.
    void UpdateCursor();
    void Redraw(RedrawFlags flags);
    void PropertyChanged(ViewProperty property);
    // While locked, repaints are held back and made once at the end; the
    // lock changes nothing else (whether the control may redraw is the
    // control's own setting).
    void BeginRedrawLock();
    void EndRedrawLock();
    // In-place editing of an item's text. Each window has its own editor;
    // the end it posts on focus loss ends that editor only.
    VResult BeginLabelEdit(CItem* item);
    // Reads the editor's text, closes it and offers the text to the host;
    // when accepted, the item's text is set.
    VResult CommitLabelEdit(int32_t flag);
    // Closes the editor without keeping its text.
    VResult EndLabelEdit();
    bool IsEditing() const { return m_editor != nullptr; }
    plat::ui::ChildEditor* Editor() const { return m_editor.get(); }
    CItem* EditedItem() const { return m_editItem.get(); }

    // ---- what the control asks of the view ----
    void SetInputHook(IWindowInput* hook) { m_input = hook; }
    // The window's own handling of an input event, the hook left out.
    bool PassInput(QEvent* e) { return QWidget::event(e); }
    // A scroll through the scroll path: offered to the host, then done.
    void ScrollCommand(int32_t bar, int32_t code, int32_t thumb);
    // Paints the window into a rectangle of a DC (the control's own drawing).
    void DrawInto(Dc& dc, const Rect& rect);
    // The hit under a client point; false off the items (the record then
    // says what was hit, if anything).
    bool HitTest(Point client, CHitTestInfo& info, CItem** item = nullptr);
    // Whether the mouse is being tracked (a selection or resize drag).
    bool IsBusy() const { return m_tracker->Captured(); }
    CItem* ItemAtRow(int32_t row) { return row < 0 ? nullptr : m_engine.RowItem(row); }
    int32_t RowOfItem(CItem* item) { return item ? m_engine.RowOf(item) : -1; }
    bool IsRowSelected(int32_t row) { return TipRowSelected(row); }
    // The last row that shows whole (the top row when none does).
    int32_t BottomRow();
    void PageUp() {
        m_scroller->VScroll(plat::ui::SB_PAGEUP, 0), m_scroller->VScroll(plat::ui::SB_ENDSCROLL, 0);
    }
    void PageDown() {
        m_scroller->VScroll(plat::ui::SB_PAGEDOWN, 0), m_scroller->VScroll(plat::ui::SB_ENDSCROLL, 0);
    }
    void VScroll(int32_t code, int32_t thumb) { m_scroller->VScroll(code, thumb); }
    // Horizontal scrolling, in pixels: rows wider than the viewport scroll
    // sideways by the widest row on the page. The position is how far the
    // rows are scrolled to the left; the maximum is how far they can go (0
    // when everything fits). Setting moves the thumb there and ends the
    // scroll, as a thumb drag does; the position is kept within 0..maximum.
    int32_t HorzScrollPosition() const override { return m_scroller->Position().x; }
    int32_t HorzScrollMax() override;
    void SetHorzScrollPosition(int32_t x);
    void HScroll(int32_t code, int32_t thumb) { m_scroller->HScroll(code, thumb); }
    bool HorzBarShown() const;
    // Measures a row again at the next paint; first..last (-1: to the end).
    void InvalidateRow(int32_t row) { InvalidateRows(row, row); }
    void InvalidateAll() { Redraw(RedrawFlag::InvalidateRows); }
    // A part of an item's row in client pixels; empty when it does not show.
    Rect ItemPartRect(CItem* item, ItemPart part);
    // The row under a point while something is dragged over the window, and
    // the rectangle to highlight; -1 off the rows.
    int32_t DragOverRow(Point client, Rect& rowRect);
    bool SmartDrag() const { return m_smartDrag; }
    // Lays the window out for its present size when no resize or paint has
    // done so yet (a window made and sized but not shown).
    void EnsureLayout() {
        if (m_laidOut != size()) FrameChanged();
    }
    // A row's rectangle in client pixels wherever the row lies: above the
    // top row it starts above the window, below the page past its bottom.
    // Empty when there is no such row.
    Rect RowRectAnywhere(int32_t row);
    // A part of an item's row the same way; empty when the item has no row
    // or the part does not show.
    Rect ItemPartRectAnywhere(CItem* item, ItemPart part);
    // The horizontal scroll position as a share 0..100 of what scrolls
    // (0 when nothing does), and a move to one (nothing when nothing scrolls).
    int32_t HScrollPercent() const;
    void SetHScrollPercent(int32_t percent);

    // Drawing suspended while many items change: the first suspension keeps
    // a picture of the window, which paints show meanwhile, and freezes the
    // rows; the last resumption rebuilds them (top row, current row and
    // selection kept by item) and repaints. Resuming when nothing is
    // suspended just repaints.
    void SuspendRedraw();
    void ResumeRedraw();
    bool CanRedraw() const { return m_suspended == 0; }
    bool IsFrozen() const { return m_frozen; }
    bool TracksRows() const override { return !m_frozen; }

    // The control's tool tip over this window; its timers run on the
    // window's timers.
    CItemToolTip& ToolTip() { return *m_toolTip; }
    // Before an error is raised: tracking stops and the tip hides; 0.
    int32_t Settle();

    // How many repaints the window has asked Qt for.
    int32_t RepaintRequests() const { return m_repaintRequests; }

    // A shown grid takes the place of the tree (held counted; another shown
    // grid replaces it); a hidden grid or none brings the tree back. Answers
    // the grid attached afterwards.
    CTreeGrid* SetGrid(CTreeGrid* grid);
    CTreeGrid* Grid() const;
    CGridPanes* GridPanes() const { return m_gridPanes.get(); }

    // IViewSink
    void RowsInserted(int32_t first, int32_t count) override;
    void RowsRemoved(int32_t first, int32_t count) override;
    void InvalidateRows(int32_t first, int32_t last) override;
    void Repaint() override;
    void EnsureVisible(int32_t first, int32_t last) override;
    void CurrentRowChanged(int32_t row) override;
    void RowsReset() override;
    void RowSelectionChanged(int32_t row, bool selected) override;
    void SelectionReset() override;

  protected:
    // The resize tracker of a shown grid under a client point: the title
    // row's height, the row titles' width, then the height of the row under
    // the point. One being dragged answers wherever the point is.
    CResizeTracker* FindResizeTracker(Point p) override;

    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent*) override;
    // Paints straight into the window's backing image where it can; false
    // when the paint must go through the buffer.
    bool PaintIntoStore(QPaintEvent* e);
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void wheelEvent(QWheelEvent*) override;

  private:
    // IScrollBars
    void SetScrollInfo(int32_t bar, const plat::ui::SCROLLINFO& si) override;
    void EnableScrollBar(int32_t bar, int32_t flags) override;
    // IScrollOwner
    void Scrolled(Point old) override;
    void ScrollEnds() override;
    // The grid's lists follow the scroller: the panes that move take their
    // pixels along, the fixed ones stay.
    void GridScrolled(Point old);
    // Moves the pixels of an area that stay by (dx, dy); Qt paints what the
    // move uncovers. Without either distance the whole area is painted.
    void MovePixels(const Rect& area, std::optional<int32_t> dx, std::optional<int32_t> dy);
    // Whether moved pixels can stand for a paint: the window shows, may
    // draw, and no background that stays put shows through the rows.
    bool MayMovePixels();
    // After a move: the current row's band, where the focus mark's edges
    // and dots would otherwise have moved with the pixels.
    void RepaintFocusBand();
    // The sideways range waits for the thumb's release.
    bool m_horzRangeStale{false};

    // CMouseTracker::IPane
    int32_t PositionAt(Point p, int32_t mode) override;
    void ChangeBatch(int32_t which) override;
    void CurrentChanged(int32_t row) override;
    void ResizeDone(CResizeTracker* tracker, int32_t size) override;
    // The tracker's line goes into the paint buffer, and the window shows
    // the pixels it changed.
    void DrawTracker(const std::function<void(Dc&)>& draw) override;

    // IToolTipView
    bool TipHitTest(Point client, CHitTestInfo& info, Rect& cellRect) override;
    std::unique_ptr<CCellMetrics>
    TipCell(const CHitTestInfo& hit,
            const std::function<void(CMapAttrChain&, CTreeCellData&)>& adjust) override;
    Rect TipVisibleArea() override { return RowsArea(); }
    bool TipRowSelected(int32_t row) override;

    // CTreePane::IPlacement
    bool ThumbTracking() const override { return m_scroller && m_scroller->ThumbTracking(); }
    void RequestRepaint();
    // Paints part of the window again (the whole of it once a redraw lock
    // ends, when one is held).
    void RepaintArea(const Rect& r);
    // Paints a row's band across the rows (a grid's row titles and cells)
    // again, when it shows.
    void RepaintRow(int32_t row) {
        if (row >= 0) RepaintArea(RowRect(row));
    }
    // Whether the focus mark shows on the current row.
    bool FocusMarkShown() const;
    // The row the focus mark was last asked onto.
    int32_t m_markRow{-1};
    int32_t RowsTop() const { return m_frame + m_captionHeight; }
    int32_t RowsHeight() const { return std::max(0, height() - RowsTop() - HorzBarHeight() - m_frame); }
    int32_t ViewportWidth() const;
    // The bars' thickness, asked of the style when the frame is laid out:
    // the rows' width is wanted for every row measured.
    int32_t BarWidth() const { return m_barSize.width(); }
    int32_t BarHeight() const { return m_barSize.height(); }
    QSize m_barSize;
    int32_t HorzBarHeight() const;
    // The widest row on the page sets how far the rows scroll sideways.
    void UpdateHorzRange();
    void PlaceBars();
    // The square where the two scroll bars meet (empty unless both show).
    Rect BarCorner() const;
    // Where the rows' top lies in the patterns of styled lines: moved with
    // the rows as they scroll, so moved pixels and painted ones agree.
    int32_t m_linePhase{0};
    static constexpr int32_t kLinePhasePeriod = 720720; // every pattern length divides it
    void UpdateScrollRange();
    void PaintInto(Dc& dc, const Rect& clip);
    void PaintFocusMark(Dc& dc, const Rect& clip);
    // The tree cell an item's text is edited in, scrolled into view, and
    // where its top-left corner stands in the window; null when the item's
    // text cannot be edited there (a grid without a tree column).
    CVincaTreeCellMetrics* EditedCell(CItem* item, int32_t row, Point& origin);
    // A part of a row's cell placed at the row's rectangle.
    Rect PartInRow(CVincaTreeCellMetrics* cell, const Rect& rowRect, ItemPart part) const;
    // The same for a grid row: the parts of its tree column's cell.
    Rect PartInGridRow(int32_t row, const Rect& rowRect, ItemPart part);
    // A part of a tree cell whose top-left corner stands at `origin`.
    static Rect PartOfCell(CVincaTreeCellMetrics* cell, Point origin, ItemPart part);
    // The line of a resize drag, drawn last over a paint.
    void PaintTrackerLine(Dc& dc, const Rect& clip);

    CVincaEngine& m_engine;
    IViewHost& m_host;
    CItemCellBuilder m_cells;
    QScrollBar* m_vBar;
    std::unique_ptr<plat::ui::ScrollInfoBar> m_vInfo;
    QScrollBar* m_hBar;
    std::unique_ptr<plat::ui::ScrollInfoBar> m_hInfo;
    std::unique_ptr<CScroller> m_scroller;
    // The plain tree's rows, shown while no grid is.
    std::unique_ptr<CTreePane> m_tree;
    std::unique_ptr<plat::ui::WindowTimers> m_timers;
    // Without a set of the host's, the selected rows mirror the tree's own
    // marks: read from them, and what the mouse and the keys change is
    // written back to them at the end of each change.
    CRangeSet m_ownRows;
    CRangeSet m_batchRows; // the rows as a change began
    const CRangeSet& SelectedSet() { return m_host.SelectedRows() ? *m_host.SelectedRows() : m_ownRows; }
    int32_t m_batchDepth{0};
    bool m_writingBack{false};
    bool MirrorsTree() { return m_host.SelectedRows() == nullptr; }
    void ReadTreeSelection();
    void WriteTreeSelection();
    std::unique_ptr<CMouseTracker> m_tracker;
    Point m_cursor;
    std::unique_ptr<CTitleStyle> m_caption;
    int32_t m_captionHeight{0};
    int32_t m_frame{0};
    // The custom pointer made from the control's icon, and the icon it was
    // made from.
    plat::ComPtr<IVincaPicture> m_icon;
    QCursor m_iconCursor;
    bool m_iconOk{false};
    QSize m_laidOut;
    plat::gdi::Bitmap m_buffer; // what paints draw into before the blit
    int32_t m_redrawLock{0};
    bool m_repaintDeferred{false};
    int32_t m_repaintRequests{0};
    std::unique_ptr<plat::ui::ChildEditor> m_editor;
    Ref<CItem> m_editItem;
    uint32_t m_editSerial{0};
    // The background layers, made again after a change of them.
    void BuildLayers();
    std::unique_ptr<CLayerStack> m_layers;
    struct LayerKey {
        OLE_COLOR back, from, to;
        int32_t style;
        const void* picture;
        int32_t alignment;
        bool transparentBitmap;
        OLE_COLOR transparentColor;
        bool transparentBackground;
        friend bool operator==(const LayerKey&, const LayerKey&) = default;
    } m_layerKey{};
    // Freezing: what the rebuild restores, held by item.
    void MarkForRebuild();
    void Rebuild();
    bool m_smartDrag{false};
    int32_t m_suspended{0};
    bool m_frozen{false};
    Ref<CItem> m_frozenTop;
    Ref<CItem> m_frozenCurrent;
    // The item of the current row, by which a reset of the rows finds it again.
    Ref<CItem> m_currentItem;
    bool m_frozenCurrentMoved{false}; // the current row was moved while frozen
    std::vector<Ref<CItem>> m_frozenSelection;
    plat::gdi::Bitmap m_snapshot;            // shown while drawing is suspended
    std::unique_ptr<CItemToolTip> m_toolTip; // before the children go: it owns a popup child
    IWindowInput* m_input{nullptr};
    // The grid panes, shown in place of the tree while a grid is attached.
    std::unique_ptr<CGridPanes> m_gridPanes;
    // The resize trackers of a shown grid, and the row the row-height one
    // was set up for.
    CResizeTracker m_titleHeightTracker{false};
    CResizeTracker m_rowTitleWidthTracker{true};
    CResizeTracker m_rowHeightTracker{false};
    int32_t m_rowHeightRow{-1};
    bool GridActive() const;
    void LayoutGrid();
    void FollowGridRows();
    void GridSwitched();
};

// The worker of the control's item-editing property: action 0 cancels, 1
// commits, 2 starts an edit (refused while the view style is 2 or 3).
VResult SetItemEditText(CViewWindow* window, CItem* item, int32_t action, int32_t viewStyle);

} // namespace vinca
