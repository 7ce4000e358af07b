#include "vinca/views/embedded_grid.h"

#include <algorithm>

#include "vinca/model/grid.h"
#include "vinca/model/item.h"
#include "vinca/model/names.h"
#include "vinca/views/grid_panes.h"

namespace vinca {

CEmbeddedGridView::CEmbeddedGridView(const CEmbeddedGridView& o) : CMVCellMetrics(o) {
    m_rows.reserve(o.m_rows.size());
    for (const Row& r : o.m_rows) {
        Row copy{r.gridRow, r.top, r.height, {}};
        for (const Slot& c : r.cells) {
            std::unique_ptr<CCellMetrics> clone = c.cell->Clone();
            auto* border = static_cast<CMVBorderCellMetrics*>(clone.release());
            border->SetParent(this);
            copy.cells.push_back({c.col, c.left, std::unique_ptr<CMVBorderCellMetrics>(border)});
        }
        m_rows.push_back(std::move(copy));
    }
}

void CEmbeddedGridView::Reset() {
    m_rows.clear();
    m_width = m_height = 0;
}

std::unique_ptr<CMVBorderCellMetrics> CEmbeddedGridView::MakeCell(Dc& dc, CTreeGrid& grid,
                                                                  const CGridCellSources& sources, CItem* item,
                                                                  int32_t gridRow, int32_t col, Size size) {
    const CVincaName* key = grid.ColumnKey(col);
    std::unique_ptr<CMVBorderCellMetrics> cell =
        CreateGridPositionCell(gridRow, col, key ? key->Text() : std::string_view());
    cell->SetParent(this);
    cell->row = gridRow;
    cell->col = col;
    // The item column shows the row item's text unless the cell has a value.
    CMapAttrChain attrs(&sources);
    if (item && gridRow > 0 && key == names::ItemTreeColumn()) attrs.SetText("__Text", item->Text());
    cell->Layout(dc, size, attrs, LAYOUT_FULL);
    return cell;
}

void CEmbeddedGridView::AddRow(Dc& dc, CTreeGrid& grid, CItem* item, int32_t gridRow,
                               const std::vector<int32_t>& cols, int32_t fixedHeight, IViewHost* host,
                               const CGridCellDefaults& defaults) {
    Row row{gridRow, m_height, 0, {}};
    auto widthOf = [&](int32_t col) {
        CColumnDef* def = grid.Column(col);
        return def ? std::max(0, def->Width()) : 0;
    };
    // Each cell's sources are read once, for both layouts a cell may need.
    std::vector<std::unique_ptr<CGridCellSources>> sources;
    sources.reserve(cols.size());
    int32_t tallest = 0;
    for (int32_t col : cols) {
        sources.push_back(std::make_unique<CGridCellSources>(grid, item, gridRow, col, host, &defaults));
        auto cell = MakeCell(dc, grid, *sources.back(), item, gridRow, col, {widthOf(col), fixedHeight});
        tallest = std::max(tallest, cell->Height());
        row.cells.push_back({col, 0, std::move(cell)});
    }
    // Every cell of a row is as high as the tallest, so the lines meet.
    int32_t x = 0;
    for (size_t i = 0; i < row.cells.size(); ++i) {
        Slot& c = row.cells[i];
        if (c.cell->Height() != tallest)
            c.cell = MakeCell(dc, grid, *sources[i], item, gridRow, c.col, {widthOf(c.col), tallest});
        c.left = x;
        c.cell->SetOffset(x, row.top);
        x += c.cell->Width();
    }
    row.height = tallest;
    m_width = std::max(m_width, x);
    m_height += tallest;
    m_rows.push_back(std::move(row));
}

void CEmbeddedGridView::LayoutItemGrid(Dc& dc, CTreeGrid& grid, IViewHost* host) {
    Reset();
    std::vector<int32_t> cols;
    for (int32_t pos = 0; pos < grid.VisibleColumnCount(); ++pos) {
        const int32_t col = grid.ColumnAtVisible(pos);
        if (col == 0 && !(grid.m_titleBands & 2)) continue; // row titles hidden
        if (col >= 0) cols.push_back(col);
    }
    // Row titles alone show nothing of the rows: the item keeps its plain cell.
    if (std::none_of(cols.begin(), cols.end(), [](int32_t c) { return c > 0; })) return;
    const CGridCellDefaults defaults(host);
    if (grid.m_titleBands & 1) {
        // A title height of its own, else as high as the titles need.
        const int32_t h = grid.ColTitleHeightPixels();
        AddRow(dc, grid, nullptr, 0, cols, h >= 0 ? h : -1, host, defaults);
    }
    for (int32_t r = 1; r <= grid.RowCount(); ++r)
        AddRow(dc, grid, grid.RowItem(r), r, cols, -1, host, defaults);
}

void CEmbeddedGridView::LayoutTreeGridRow(Dc& dc, CTreeGrid& grid, CItem* item, IViewHost* host) {
    Reset();
    std::vector<int32_t> cols;
    for (int32_t pos = 0; pos < grid.VisibleColumnCount(); ++pos) {
        const int32_t col = grid.ColumnAtVisible(pos);
        // The tree column is the tree cell itself.
        if (col > 0 && grid.ColumnKey(col) != names::Tree()) cols.push_back(col);
    }
    if (cols.empty() || !item) return;
    AddRow(dc, grid, item, 1, cols, -1, host, CGridCellDefaults(host));
}

void CEmbeddedGridView::Draw(Dc& dc, int32_t x, int32_t y, const Rect& clip, uint32_t) {
    const Rect visible = clip.Intersect({x, y, x + m_width, y + m_height});
    if (visible.IsEmpty()) return;
    for (const Row& r : m_rows) {
        if (y + r.top >= visible.bottom) break;
        if (y + r.top + r.height <= visible.top) continue;
        for (const Slot& c : r.cells)
            c.cell->Draw(dc, x + c.left, y + r.top, visible, 0);
    }
}

bool CEmbeddedGridView::HitTest(Point p, CHitTestInfo& info) const {
    if (!Rect{0, 0, m_width, m_height}.Contains(p)) return false;
    for (const Row& r : m_rows) {
        if (p.y < r.top || p.y >= r.top + r.height) continue;
        for (const Slot& c : r.cells) {
            const Rect cell{c.left, r.top, c.left + c.cell->Width(), r.top + r.height};
            if (!cell.Contains(p)) continue;
            CHitTestInfo inner = info;
            if (!c.cell->HitTest({p.x - c.left, p.y - r.top}, inner)) return false;
            inner.rect = inner.rect.Offset(c.left, r.top);
            inner.row = r.gridRow;
            inner.col = c.col;
            info = inner;
            return true;
        }
    }
    return false;
}

const CMVBorderCellMetrics* CEmbeddedGridView::Cell(int32_t gridRow, int32_t col) const {
    for (const Row& r : m_rows)
        if (r.gridRow == gridRow)
            for (const Slot& c : r.cells)
                if (c.col == col) return c.cell.get();
    return nullptr;
}

Rect CEmbeddedGridView::CellRect(int32_t gridRow, int32_t col) const {
    for (const Row& r : m_rows)
        if (r.gridRow == gridRow)
            for (const Slot& c : r.cells)
                if (c.col == col) return {c.left, r.top, c.left + c.cell->Width(), r.top + r.height};
    return {};
}

} // namespace vinca
