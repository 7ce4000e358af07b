#include "vinca/views/grid_panes.h"

#include <algorithm>
#include <climits>

#include "platform/gdi/font.h"
#include "vinca/model/item.h"
#include "vinca/model/names.h"
#include "vinca/views/tree_cell.h"

namespace vinca {

// ---- attribute sources ----------------------------------------------------------

namespace {

const CAttrSet* RowSet(CItem* item, const char* key) {
    CItemData* data = item ? item->ItemData() : nullptr;
    return data ? data->GetValueSet(GlobalName(key), false) : nullptr;
}

// The entry an item keeps for a column, holding the cell's value and its
// own definition.
const CAttrEntry* CellEntry(CTreeGrid& grid, CItem* item, int32_t col) {
    CColumnDef* def = grid.Column(col);
    CItemData* data = item ? item->ItemData() : nullptr;
    return def && data ? data->Values().Find(def->Key()) : nullptr;
}

} // namespace

void AppendGridCellSources(CTreeGrid& grid, CItem* item, int32_t row, int32_t col,
                           std::vector<const CAttrSet*>& out) {
    const bool treeGrid = grid.GetKind() == CTreeGrid::TREE_GRID;
    CColumnDef* def = grid.Column(col);
    auto add = [&](const CAttrSet* set) {
        if (set) out.push_back(set);
    };
    auto rowSets = [&](bool withTree) {
        if (withTree) add(RowSet(item, "__Tree"));
        add(RowSet(item, treeGrid ? "__TreeGridRowDef" : "__ItemGridRowDef"));
    };
    if (row == 0) {
        add(grid.ColTitleCellDef(false));
    } else if (col == 0) {
        if (def) add(def->TitleDefs(false));
        rowSets(!treeGrid);
        add(grid.RowTitleCellDef(false));
    } else {
        if (def) add(def->TitleDefs(false));
        rowSets(!treeGrid || col == 1);
        add(grid.GridCellDef(false));
    }
}

CGridCellDefaults::CGridCellDefaults(IViewHost* host) {
    if (!host) return;
    const ViewSettings& s = host->Settings();
    SetInt("__ForeColor", int32_t(s.foreColor));
    SetInt("__SelFrColor", int32_t(s.selForeColor)).SetInt("__SelBkColor", int32_t(s.selBackColor));
    host->DefaultCellAttributes(*this);
}

CGridCellSources::CGridCellSources(CTreeGrid& grid, CItem* item, int32_t row, int32_t col, IViewHost* host,
                                   const CGridCellDefaults* defaults)
    : m_grid(grid), m_ownDefaults(defaults || !host ? nullptr : std::make_unique<CGridCellDefaults>(host)),
      m_tail(defaults ? defaults : m_ownDefaults.get()) {
    CColumnDef* def = grid.Column(col);
    m_own = row == 0 ? (def ? def->TitleEntry(false) : nullptr) : CellEntry(grid, item, col);
    AppendGridCellSources(grid, item, row, col, m_sets);
    // Titles are numbered 1, 2, ... or lettered A, B, ...
    auto index = [](int32_t autoFill, int32_t n) {
        return autoFill == 1 ? plat::Variant(n) : plat::Variant(std::string_view(ColumnLetters(n - 1)));
    };
    m_tail.Set("__ColTitleIndex", index(grid.m_autoFillColTitles, col));
    m_tail.Set("__RowTitleIndex", index(grid.m_autoFillRowTitles, row));
    if (def) m_tail.SetInt("__Width", def->Width());
    m_tail.SetInt("__HorLineThickness", std::max(0, grid.m_horThickness));
    m_tail.SetInt("__VerLineThickness", std::max(0, grid.m_verThickness));
    m_tail.SetInt("__TextAlign", 2).SetInt("__InnerTextAlign", 2);
}

bool CGridCellSources::Lookup(std::string_view key, plat::Variant& out) const {
    if (const CVincaName* name = GlobalNameTable().Find(key)) {
        if (m_own && m_own->GetValue(name, out)) return true;
        for (const CAttrSet* set : m_sets)
            if (const CAttrEntry* e = set->Find(name); e && !e->IsEmpty()) {
                out = e->Value();
                return true;
            }
        if (m_grid.Lookup(name, out)) {
            // Cells read flags as whole numbers.
            if (out.vt == plat::VT_BOOL) out = plat::Variant(int32_t(out.boolVal ? 1 : 0));
            return true;
        }
    }
    return m_tail.Lookup(key, out);
}

// ---- the lists --------------------------------------------------------------------

class CGridPanes::ColumnTitles : public CMVHorizontalListBox {
  public:
    explicit ColumnTitles(CGridPanes& panes) : m_panes(panes) {}

  protected:
    std::unique_ptr<CCellMetrics> MeasureItem(int32_t index, Dc& dc, Size& extent) override {
        CTreeGrid* grid = m_panes.Grid();
        const int32_t col = grid ? grid->ColumnAtVisible(index) : -1;
        const int32_t w = m_panes.ColumnWidth(col);
        extent = {w, m_panes.TitleHeight()};
        if (col < 0) return nullptr;
        return m_panes.MakeCell(nullptr, 0, col, dc, extent);
    }

  private:
    CGridPanes& m_panes;
};

class CGridPanes::RowTitles : public CMVVerticalListBox {
  public:
    explicit RowTitles(CGridPanes& panes) : m_panes(panes) {}

  protected:
    std::unique_ptr<CCellMetrics> MeasureItem(int32_t index, Dc& dc, Size& extent) override;
    bool IsItemSelected(int32_t row) override { return m_panes.isSelected && m_panes.isSelected(row); }

  private:
    CGridPanes& m_panes;
};

class CGridPanes::CellRows : public CMVVerticalListBox {
  public:
    explicit CellRows(CGridPanes& panes) : m_panes(panes) {}

  protected:
    std::unique_ptr<CCellMetrics> MeasureItem(int32_t index, Dc& dc, Size& extent) override {
        auto view = std::make_unique<CGridRowView>(m_panes, m_panes.RowItem(index), index + 1);
        CMapAttrChain none;
        view->Layout(dc, {-1, -1}, none, LAYOUT_FULL);
        extent = view->GetSize();
        return view;
    }
    bool IsItemSelected(int32_t row) override { return m_panes.isSelected && m_panes.isSelected(row); }

  private:
    CGridPanes& m_panes;
};

std::unique_ptr<CCellMetrics> CGridPanes::RowTitles::MeasureItem(int32_t index, Dc& dc, Size& extent) {
    // As high as the row's cells.
    const int32_t h = m_panes.m_rows->ItemExtent(index).cy;
    extent = {m_panes.RowTitleWidth(), h};
    if (!m_panes.Grid()) return nullptr;
    return m_panes.MakeCell(m_panes.RowItem(index), index + 1, 0, dc, extent);
}

// ---- one row ------------------------------------------------------------------------

CGridRowView::CGridRowView(CGridPanes& panes, CItem* item, int32_t gridRow)
    : CMVHorizontalListBox(0, MODE_ITEM_STEP, true), m_panes(panes), m_item(item), m_gridRow(gridRow) {}

std::unique_ptr<CCellMetrics> CGridRowView::MeasureItem(int32_t index, Dc& dc, Size& extent) {
    CTreeGrid* grid = m_panes.Grid();
    const int32_t col = grid ? grid->ColumnAtVisible(index) : -1;
    const int32_t w = m_panes.ColumnWidth(col);
    auto cell = col >= 0 ? m_panes.MakeCell(m_item.get(), m_gridRow, col, dc, {w, m_rowHeight}) : nullptr;
    if (cell) cell->SetParent(this);
    extent = {w, cell ? cell->Height() : 0};
    return cell;
}

void CGridRowView::Layout(Dc& dc, Size, const IAttrChain&, int32_t) {
    CTreeGrid* grid = m_panes.Grid();
    m_layoutDc = &dc;
    // A row given a height of its own is exactly that high, whatever its
    // cells would need.
    m_rowHeight = m_panes.RowHeightOf(m_item.get());
    const bool fixed = m_rowHeight >= 0;
    SetCount(grid ? grid->VisibleColumnCount() : 0);
    InvalidateItems(0, -1);
    Recalc();
    // Every cell takes the height of the tallest, so the lines of a row meet.
    int32_t tallest = 0, width = 0;
    for (int32_t i = 0; i < Count(); ++i) {
        const Size e = ItemExtent(i);
        tallest = std::max(tallest, e.cy);
        width += e.cx;
    }
    if (fixed) tallest = m_rowHeight;
    bool uneven = false;
    for (int32_t i = 0; i < Count() && !fixed; ++i)
        uneven = uneven || ItemExtent(i).cy != tallest;
    if (uneven) {
        m_rowHeight = tallest;
        InvalidateItems(0, -1);
        Recalc();
    }
    m_width = width;
    m_height = tallest;
    SetClientRect({0, 0, m_width, m_height});
    m_layoutDc = nullptr;
}

CMVBorderCellMetrics* CGridRowView::CellAt(int32_t pos) {
    return static_cast<CMVBorderCellMetrics*>(ItemCell(pos));
}

void CGridRowView::DrawItem(Dc& dc, int32_t, const Rect& rect, bool, CCellMetrics* cell, const Rect& clip) {
    if (cell) cell->Draw(dc, rect.left, rect.top, clip, m_selected ? kCellSelected : 0);
}

void CGridRowView::Draw(Dc& dc, int32_t x, int32_t y, const Rect& clip, uint32_t state) {
    m_selected = (state & kCellSelected) != 0;
    SetClientRect({x, y, x + m_width, y + m_height});
    Paint(dc, clip);
    SetClientRect({0, 0, m_width, m_height});
}

bool CGridRowView::HitTest(Point p, CHitTestInfo& info) const {
    auto* self = const_cast<CGridRowView*>(this);
    int32_t index = -1;
    if (!self->CMVListBox::HitTest(p, info, &index)) return false;
    // The cell's place in the grid, whatever the cell inside reported.
    info.row = m_gridRow;
    info.col = m_panes.Grid() ? m_panes.Grid()->ColumnAtVisible(index) : -1;
    return info.kind != HIT_NONE;
}

// ---- the pane group ------------------------------------------------------------------

CGridPanes::CGridPanes(CVincaEngine& engine, IViewHost& host)
    : m_engine(engine), m_host(host), m_treeCells(host), m_titles(std::make_unique<ColumnTitles>(*this)),
      m_rowTitles(std::make_unique<RowTitles>(*this)), m_rows(std::make_unique<CellRows>(*this)) {}

CGridPanes::~CGridPanes() = default;

int32_t CGridPanes::TopRow() const {
    return std::max(0, m_rows->TopIndex());
}

int32_t CGridPanes::FirstColumn() const {
    return std::max(0, m_titles->TopIndex());
}

int32_t CGridPanes::RangeX() const {
    return m_titles->ItemRange();
}

int32_t CGridPanes::RangeY() const {
    return m_rows->ItemRange();
}

int32_t CGridPanes::LastPageTop() {
    return m_rows->LastPageTop();
}

int32_t CGridPanes::BottomRow() {
    m_rows->Recalc();
    const int32_t top = TopRow();
    int32_t last = m_rows->LastVisible();
    if (last > top && m_rows->GetItemVisibility(last) != 2) --last;
    return std::max(top, last);
}

CMVListBox& CGridPanes::List(int axis) {
    return axis == 0 ? static_cast<CMVListBox&>(*m_titles) : static_cast<CMVListBox&>(*m_rows);
}

void CGridPanes::Connect(CTreeGrid* grid) {
    m_grid = Ref<CTreeGrid>(grid);
    m_cornerCell.reset();
    m_titles->Clear();
    m_rowTitles->Clear();
    m_rows->Clear();
    m_rowCount = 0;
    if (!grid) return;
    m_titles->SetCount(grid->VisibleColumnCount());
    ResetRows();
    Layout();
}

int32_t CGridPanes::CountRows() const {
    if (!m_grid) return 0;
    // The tree grid has a row for every row of the tree; an item grid one
    // for each child of its item.
    return m_grid->GetKind() == CTreeGrid::TREE_GRID ? m_engine.VisibleCount() : m_grid->RowCount();
}

CItem* CGridPanes::RowItem(int32_t row) const {
    if (!m_grid || row < 0) return nullptr;
    return m_grid->GetKind() == CTreeGrid::TREE_GRID ? m_engine.RowItem(row) : m_grid->RowItem(row + 1);
}

int32_t CGridPanes::ColumnWidth(int32_t col) const {
    CColumnDef* def = m_grid ? m_grid->Column(col) : nullptr;
    return def ? std::max(0, def->Width()) : 0;
}

int32_t CGridPanes::RowOfItem(CItem* item) {
    if (!m_grid || !item) return -1;
    if (!ItemGrid()) return m_engine.RowOf(item);
    CItem* owner = m_grid->OwnerItem();
    CItemNode* node = owner ? owner->ChildNode() : nullptr;
    return node && item->ParentNode() == node ? item->GetIndex() : -1;
}

int32_t CGridPanes::RowHeightOf(CItem* item) const {
    if (!item) return -1;
    float twips = -1;
    m_engine.GetItemHeight(0, item, twips);
    if (!(twips >= 0)) return -1;
    return plat::gdi::MulDiv(plat::gdi::ScreenPixelsPerInch(), int32_t(std::min(twips, 2.0e9f)), 1440);
}

void CGridPanes::SetRowHeight(int32_t row, int32_t px) {
    CItem* item = RowItem(row);
    if (!item) return;
    // Kept in twips: the pixels come back the same at this resolution.
    const float twips =
        float(std::max(px, kMinTitleHeight)) * 1440.0f / float(plat::gdi::ScreenPixelsPerInch());
    if (m_engine.SetItemHeight(0, item, twips) != VE_OK) return;
    if (row < m_rowCount) {
        m_rows->InvalidateItems(row, row);
        m_rowTitles->InvalidateItems(row, row);
    }
}

void CGridPanes::ResetRows() {
    m_rowCount = CountRows();
    m_rows->SetCount(m_rowCount);
    m_rowTitles->SetCount(m_rowCount);
    m_rows->InvalidateItems(0, -1);
    m_rowTitles->InvalidateItems(0, -1);
}

bool CGridPanes::FollowOwnerRows() {
    if (!ItemGrid()) return false;
    const int32_t n = CountRows();
    auto same = [&](int32_t row, CCellMetrics* cell) {
        auto* view = dynamic_cast<CGridRowView*>(cell);
        return !view || (row < n && view->Item() == RowItem(row));
    };
    int32_t first = m_rows->FirstCachedMismatch(same);
    // Neither the count nor any measured row changed: the notice was about
    // other items of the tree.
    if (n == m_rowCount && first < 0) return false;
    // Rows past every measured one changed: they are measured when they show.
    if (first < 0) first = std::min(n, m_rowCount);
    first = std::min(first, std::min(n, m_rowCount));
    if (n > m_rowCount) {
        m_rows->InsertItems(first, first + n - m_rowCount - 1);
        m_rowTitles->InsertItems(first, first + n - m_rowCount - 1);
    } else if (n < m_rowCount) {
        m_rows->RemoveItems(first, first + m_rowCount - n - 1);
        m_rowTitles->RemoveItems(first, first + m_rowCount - n - 1);
    }
    const bool counted = n != m_rowCount;
    m_rowCount = n;
    // From there on rows hold other items and titles other numbers.
    m_rows->InvalidateItems(first, -1);
    m_rowTitles->InvalidateItems(first, -1);
    return counted;
}

void CGridPanes::RefreshOwnerRows(int32_t first, int32_t last) {
    FollowOwnerRows();
    CItem* owner = m_grid->OwnerItem();
    CItemNode* node = owner ? owner->ChildNode() : nullptr;
    // The children show in the tree only under an owner open on a row.
    if (!node || m_rowCount == 0 || !owner->IsExpanded() || m_engine.RowOf(owner) < 0) return;
    const int32_t count = m_engine.VisibleCount();
    last = last < 0 ? count - 1 : std::min(last, count - 1);
    first = std::max(first, 0);
    // A long stretch: every row is measured again, which costs the page
    // that shows; a short one is looked at row by row.
    if (last - first > std::max(64, 2 * (m_rows->LastVisible() - m_rows->TopIndex() + 1))) {
        m_rows->InvalidateItems(0, -1);
        m_rowTitles->InvalidateItems(0, -1);
        return;
    }
    for (int32_t r = first; r <= last; ++r) {
        CItem* item = m_engine.RowItem(r);
        if (!item || item->ParentNode() != node) continue;
        const int32_t row = item->GetIndex();
        m_rows->InvalidateItems(row, row);
        m_rowTitles->InvalidateItems(row, row);
    }
}

void CGridPanes::RowsInserted(int32_t first, int32_t last) {
    if (ItemGrid()) {
        FollowOwnerRows();
        return;
    }
    m_rows->InsertItems(first, last);
    m_rowTitles->InsertItems(first, last);
    m_rowCount = m_rows->Count();
    // Lines of the rows just above may change with the new ones.
    if (first > 0) RefreshRows(first - 1, first - 1);
}

void CGridPanes::RowsRemoved(int32_t first, int32_t last) {
    if (ItemGrid()) {
        FollowOwnerRows();
        return;
    }
    m_rows->RemoveItems(first, last);
    m_rowTitles->RemoveItems(first, last);
    m_rowCount = m_rows->Count();
    if (first > 0) RefreshRows(first - 1, first - 1);
}

void CGridPanes::RefreshRows(int32_t first, int32_t last) {
    if (first < 1 && last == -1) {
        m_allRefreshed = true;
        m_cornerCell.reset();
        m_titles->InvalidateItems(0, -1);
        m_rows->InvalidateItems(0, -1);
        m_rowTitles->InvalidateItems(0, -1);
        return;
    }
    first = std::max(first, 0);
    m_rows->InvalidateItems(first, last);
    m_rowTitles->InvalidateItems(first, last);
}

void CGridPanes::TreeRowsChanged(int32_t first, int32_t last) {
    if (ItemGrid())
        RefreshOwnerRows(first, last);
    else
        RefreshRows(first, last);
}

void CGridPanes::ColumnsChanged() {
    if (!m_grid) return;
    m_titles->SetCount(m_grid->VisibleColumnCount());
    RefreshRows(0, -1);
    Layout();
}

void CGridPanes::SetRect(const Rect& r) {
    m_rect = r;
    Layout();
}

void CGridPanes::Layout() {
    const int32_t w = m_rect.Width(), h = m_rect.Height();
    if (w <= 0 || h <= 0) return;
    int32_t rw = kDefaultRowTitleWidth, th = kDefaultTitleHeight;
    if (m_grid) {
        rw = std::max(0, m_grid->RowTitleWidthPixels());
        const int32_t px = m_grid->ColTitleHeightPixels();
        th = px < 0 ? kDefaultTitleHeight : std::max(px, kMinTitleHeight);
        if (!(m_grid->m_titleBands & 2)) rw = 0;
        if (!(m_grid->m_titleBands & 1)) th = 0;
    }
    rw = std::min(rw, w);
    th = std::min(th, h);
    if (th != m_titleHeight || rw != m_rowTitleWidth) {
        m_cornerCell.reset();
        m_titles->InvalidateItems(0, -1);
        m_rowTitles->InvalidateItems(0, -1);
    }
    m_titleHeight = th;
    m_rowTitleWidth = rw;
    const int32_t x = m_rect.left, y = m_rect.top;
    m_cellsRect = {x + rw, y + th, m_rect.right, m_rect.bottom};
    m_corner = {x, y, x + rw, y + th};
    m_rowTitlesRect = {x, y + th, x + rw, m_rect.bottom};
    m_colTitlesRect = {x + rw, y, m_rect.right, y + th};
    m_rows->SetClientRect(m_cellsRect);
    m_rowTitles->SetClientRect(m_rowTitlesRect);
    // A hidden title row still lays its columns out: the cells follow them.
    m_titles->SetClientRect({m_colTitlesRect.left, y, m_colTitlesRect.right, y + std::max(th, 1)});
    FollowColumns();
}

void CGridPanes::SetTitleHeight(int32_t px) {
    px = std::max(px, kMinTitleHeight);
    if (m_grid) m_grid->SetColTitleHeightPixels(px);
    m_titleHeight = px;
    m_cornerCell.reset();
    m_titles->InvalidateItems(0, -1);
    Layout();
}

void CGridPanes::SetRowTitleWidth(int32_t px) {
    px = std::max(px, 0);
    if (m_grid) m_grid->SetRowTitleWidthPixels(px);
    m_rowTitleWidth = px;
    m_cornerCell.reset();
    m_rowTitles->InvalidateItems(0, -1);
    Layout();
}

void CGridPanes::FollowColumns() {
    // The cells scroll sideways with their titles.
    m_rows->SetCrossOffset(m_titles->OffsetOf(FirstColumn()));
}

Point CGridPanes::ScrollTo(int32_t column, int32_t row) {
    const int32_t col = m_titles->ScrollToItem(column);
    const int32_t top = m_rows->ScrollToItem(row);
    m_rowTitles->ScrollToItem(top);
    FollowColumns();
    return {std::max(col, 0), std::max(top, 0)};
}

CGridPanes::Move CGridPanes::ScrollWith(int32_t column, int32_t row) {
    const int32_t oldTop = TopRow(), oldCross = m_rows->CrossOffset();
    Move m;
    m.at = ScrollTo(column, row);
    // The rows between the two tops were laid out on one page or the
    // other; the titles' offsets are the columns' widths.
    if (const auto along = m_rows->Distance(oldTop, TopRow())) m.dy = -*along;
    const int32_t dx = oldCross - m_rows->CrossOffset();
    if (std::abs(dx) < m_cellsRect.Width()) m.dx = dx;
    return m;
}

int32_t CGridPanes::CrossOffset() const {
    return m_rows->CrossOffset();
}

int32_t CGridPanes::TopForRows(int32_t first, int32_t last) {
    if (m_rowCount == 0) return 0;
    first = std::clamp(first, 0, m_rowCount - 1);
    last = std::clamp(last, first, m_rowCount - 1);
    const int32_t top = TopRow();
    if (first < top) return first;
    if (m_rows->GetItemVisibility(last) == 2) return top;
    // The top that puts the last row at the bottom of the cells.
    const int32_t avail = m_cellsRect.Height();
    int32_t t = last, h = m_rows->ItemExtent(last).cy;
    while (t > 0) {
        const int32_t above = m_rows->ItemExtent(t - 1).cy + m_rows->Spacing();
        if (h + above > avail) break;
        h += above;
        --t;
    }
    // Rows taller together than the cells show from the first.
    return std::max(std::min(t, first), top);
}

int32_t CGridPanes::RowFromPoint(Point p) {
    if (m_rowTitlesRect.Contains(p)) return m_rowTitles->ItemFromPoint(p, 2);
    return m_rows->ItemFromPoint(p, 2);
}

Rect CGridPanes::RowRect(int32_t row) {
    const Rect r = m_rows->GetItemRect(row);
    if (r.IsEmpty()) return {};
    return {m_rect.left, r.top, m_cellsRect.right, r.bottom};
}

CGridRowView* CGridPanes::LaidOutRow(int32_t row) {
    if (m_rows->GetItemRect(row).IsEmpty()) return nullptr;
    return dynamic_cast<CGridRowView*>(m_rows->ItemCell(row));
}

Rect CGridPanes::RowRectAnywhere(int32_t row) {
    if (!m_grid || row < 0 || row >= m_rowCount) return {};
    const int32_t top = TopRow();
    if (std::abs(int64_t(row) - top) > m_rows->KeptItems()) {
        // Placing a far row would measure every row between: only rows that
        // all have one height are placed from their number.
        if (!m_rows->UniformExtent()) return {};
        const int32_t h = m_rows->ItemExtent(row).cy;
        const int64_t y = m_cellsRect.top + int64_t(row - top) * (h + m_rows->Spacing());
        if (h <= 0 || y < INT32_MIN / 2 || y > INT32_MAX / 2) return {};
        return {m_rect.left, int32_t(y), m_cellsRect.right, int32_t(y) + h};
    }
    int32_t y = m_cellsRect.top;
    for (int32_t r = top; r < row; ++r)
        y += m_rows->ItemExtent(r).cy + m_rows->Spacing();
    for (int32_t r = row; r < top; ++r)
        y -= m_rows->ItemExtent(r).cy + m_rows->Spacing();
    return {m_rect.left, y, m_cellsRect.right, y + m_rows->ItemExtent(row).cy};
}

int32_t CGridPanes::TreeColumnPosition() const {
    if (!m_grid) return -1;
    for (int32_t c = 1; c < m_grid->ColumnCount(); ++c)
        if (m_grid->ColumnKey(c) == names::Tree()) return m_grid->VisiblePosition(c);
    return -1;
}

CVincaTreeCellMetrics* CGridPanes::TreeCell(int32_t row, const Rect& rowRect, Rect& cellRect) {
    cellRect = {};
    if (!m_grid || rowRect.IsEmpty()) return nullptr;
    const int32_t pos = TreeColumnPosition();
    auto* view = pos >= 0 ? dynamic_cast<CGridRowView*>(m_rows->ItemCell(row)) : nullptr;
    CMVBorderCellMetrics* cell = view ? view->CellAt(pos) : nullptr;
    auto* tree = cell ? dynamic_cast<CVincaTreeCellMetrics*>(&cell->Inner()) : nullptr;
    if (!tree) return nullptr;
    const int32_t left = m_cellsRect.left + m_titles->OffsetOf(pos) - m_rows->CrossOffset();
    cellRect = {left + tree->X(), rowRect.top + tree->Y(), left + tree->X() + tree->Width(),
                rowRect.top + tree->Y() + tree->Height()};
    return tree;
}

bool CGridPanes::HitTest(Point p, CHitTestInfo& info, int32_t* row) {
    int32_t index = -1;
    if (row) *row = -1;
    if (!m_grid || !m_rect.Contains(p)) return false;
    bool hit = false;
    if (m_cellsRect.Contains(p)) {
        hit = m_rows->HitTest(p, info, &index);
    } else if (m_rowTitlesRect.Contains(p)) {
        hit = m_rowTitles->HitTest(p, info, &index);
    } else if (m_colTitlesRect.Contains(p)) {
        hit = m_titles->HitTest(p, info, nullptr);
        index = -1;
    } else if (m_corner.Contains(p)) {
        if (!m_cornerCell) CellRect(0, 0); // lays the corner out
        if (m_cornerCell) {
            hit = m_cornerCell->HitTest({p.x - m_corner.left, p.y - m_corner.top}, info);
            info.rect = info.rect.Offset(m_corner.left, m_corner.top);
        }
    }
    if (!hit || info.kind == HIT_NONE) return false;
    if (row) *row = index;
    return true;
}

std::unique_ptr<CMVBorderCellMetrics> CGridPanes::MakeCell(CItem* item, int32_t gridRow, int32_t col, Dc& dc,
                                                           Size size,
                                                           const CItemCellBuilder::Adjust& adjust) {
    if (!m_grid || !m_grid->Column(col)) return nullptr;
    CGridCellSources sources(*m_grid, item, gridRow, col, &m_host);
    const CVincaName* key = m_grid->ColumnKey(col);
    std::unique_ptr<CMVBorderCellMetrics> cell;
    if (gridRow != 0 && col != 0 && item && key == names::Tree()) {
        // The tree column draws the item as the tree does: lines, plus/minus,
        // pictures and text.
        cell = CreateCellMetrics(nullptr, "__Tree");
        CMapAttrChain attrs(&sources);
        m_treeCells.Attributes(item, attrs);
        CTreeCellData data;
        FillTreeData(m_host.Settings(), item, data);
        data.host = &m_host;
        m_host.ItemTreeData(item, data);
        if (adjust) adjust(attrs, data);
        attrs.SetTreeCellData(&data);
        cell->row = gridRow;
        cell->col = col;
        cell->Layout(dc, size, attrs, LAYOUT_FULL);
        return cell;
    }
    cell = CreateGridPositionCell(gridRow, col, key ? key->Text() : std::string_view());
    cell->row = gridRow;
    cell->col = col;
    if (adjust) {
        CMapAttrChain attrs(&sources);
        CTreeCellData unused;
        adjust(attrs, unused);
        cell->Layout(dc, size, attrs, LAYOUT_FULL);
    } else {
        cell->Layout(dc, size, sources, LAYOUT_FULL);
    }
    return cell;
}

std::unique_ptr<CMVBorderCellMetrics> CGridPanes::CellMetrics(int32_t gridRow, int32_t col) {
    if (!m_grid || gridRow < 0 || col < 0) return nullptr;
    Dc metrics;
    const int32_t height = gridRow == 0 ? m_titleHeight : -1;
    const int32_t width = col == 0 ? m_rowTitleWidth : ColumnWidth(col);
    auto cell = MakeCell(gridRow > 0 ? RowItem(gridRow - 1) : nullptr, gridRow, col, metrics, {width, height});
    // A row's cells are as high as the row.
    if (cell && gridRow > 0 && gridRow - 1 < m_rowCount) {
        const int32_t h = m_rows->ItemExtent(gridRow - 1).cy;
        CGridCellSources sources(*m_grid, RowItem(gridRow - 1), gridRow, col, &m_host);
        if (h != cell->Height()) cell->Layout(metrics, {width, h}, sources, LAYOUT_HEIGHT);
    }
    return cell;
}

Rect CGridPanes::CellRect(int32_t gridRow, int32_t col) {
    if (!m_grid || gridRow < 0 || col < 0) return {};
    if (gridRow == 0 && col == 0) {
        if (!m_cornerCell && !m_corner.IsEmpty()) {
            Dc metrics;
            m_cornerCell = MakeCell(nullptr, 0, 0, metrics, {m_corner.Width(), m_corner.Height()});
        }
        return m_corner;
    }
    Rect rowBand, colBand;
    if (gridRow == 0) {
        rowBand = m_colTitlesRect;
    } else {
        const Rect r = m_rows->GetItemRect(gridRow - 1);
        if (r.IsEmpty()) return {};
        rowBand = {m_rect.left, r.top, m_rect.right, r.bottom};
    }
    if (col == 0) {
        colBand = m_rowTitlesRect.IsEmpty() ? Rect{} : Rect{m_rowTitlesRect.left, m_rect.top, m_rowTitlesRect.right,
                                                              m_rect.bottom};
    } else {
        const int32_t pos = m_grid->VisiblePosition(col);
        if (pos < 0) return {};
        const int32_t left = m_cellsRect.left + m_titles->OffsetOf(pos) - m_rows->CrossOffset();
        colBand = {left, m_rect.top, left + m_titles->ItemExtent(pos).cx, m_rect.bottom};
        colBand = colBand.Intersect({m_cellsRect.left, m_rect.top, m_cellsRect.right, m_rect.bottom});
    }
    Rect cell = rowBand.Intersect(colBand);
    if (gridRow > 0) cell = cell.Intersect({m_rect.left, m_cellsRect.top, m_rect.right, m_cellsRect.bottom});
    return cell;
}

void CGridPanes::Paint(Dc& dc, const Rect& clip) {
    if (!m_grid || m_rect.IsEmpty()) return;
    m_allRefreshed = false;
    m_rows->Paint(dc, clip);
    m_rowTitles->Paint(dc, clip);
    if (m_titleHeight > 0) m_titles->Paint(dc, clip);
    const Rect corner = m_corner.Intersect(clip);
    if (!corner.IsEmpty()) {
        CellRect(0, 0);
        if (m_cornerCell) m_cornerCell->Draw(dc, m_corner.left, m_corner.top, corner, 0);
    }
}

} // namespace vinca
