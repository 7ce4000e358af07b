#include "vinca/views/print_rows.h"

#include "vinca/model/engine.h"
#include "vinca/model/item.h"
#include "vinca/views/grid_cell.h"
#include "vinca/views/grid_panes.h"
#include "vinca/views/layers.h"

namespace vinca {

int32_t CPrintRows::RowHeight(CItem* item, const PrintContext& ctx, CPrintView& view) {
    // As the window lays its rows out: with uniform rows every row is as
    // high as the first, else each at its own or the control's item height.
    if (!m_host.Settings().uniformRows) return ItemRowHeight(m_engine, item);
    CItem* first = m_engine.RowItem(0);
    if (!first) return -1;
    return m_cells.Build(first, *ctx.dc, {-1, ItemRowHeight(m_engine, first)}, &view)->Height();
}

std::unique_ptr<CVincaTreeCellMetrics> CPrintRows::TreeRow(CItem* item, const PrintContext& ctx,
                                                           CPrintView& view) {
    return m_cells.Build(item, *ctx.dc, {-1, RowHeight(item, ctx, view)}, &view);
}

Size CPrintRows::MeasureItemRow(int32_t index, const PrintContext& ctx) {
    CItem* item = index >= 0 && ctx.dc ? m_engine.RowItem(index) : nullptr;
    if (!item) return {0, 0};
    if (GridRows()) return GridRow(index, ctx, nullptr, {});
    CPrintView view(ctx);
    return TreeRow(item, ctx, view)->GetSize();
}

Size CPrintRows::PrintItemRow(int32_t index, const PrintContext& ctx, int32_t x, int32_t y,
                              const Rect& clip) {
    CItem* item = index >= 0 && ctx.dc ? m_engine.RowItem(index) : nullptr;
    if (!item) return {0, 0};
    if (GridRows()) {
        const Point at{x, y};
        return GridRow(index, ctx, &at, clip);
    }
    CPrintView view(ctx);
    auto cell = TreeRow(item, ctx, view);
    cell->Draw(*ctx.dc, x, y, clip, 0);
    return cell->GetSize();
}

void CPrintRows::SetGrid(CTreeGrid* grid) {
    m_grid = Ref<CTreeGrid>(grid);
}

bool CPrintRows::GridRows() const {
    return m_grid && m_grid->VisibleColumnCount() > 0;
}

int32_t CPrintRows::RowTitleWidth() const {
    return (m_grid->m_titleBands & 2) ? std::max(0, m_grid->RowTitleWidthPixels()) : 0;
}

Size CPrintRows::GridRow(int32_t index, const PrintContext& ctx, const Point* at, const Rect& clip) {
    CItem* item = m_engine.RowItem(index);
    CGridPanes panes(m_engine, m_host);
    panes.Connect(m_grid.get());
    CPrintView view(ctx);
    CGridRowView row(panes, item, index + 1);
    row.SetParent(&view);
    CMapAttrChain none;
    row.Layout(*ctx.dc, {-1, -1}, none, LAYOUT_FULL);
    const int32_t titleWidth = RowTitleWidth();
    if (at) {
        if (titleWidth > 0) {
            // The row title, with a line on its left too.
            auto title = CreateCellMetrics(&view, "__RowTitle");
            title->sides |= CMVBorderCellMetrics::SIDE_LEFT;
            title->row = index + 1;
            title->col = 0;
            CGridCellSources sources(*m_grid, item, index + 1, 0, &m_host);
            title->Layout(*ctx.dc, {titleWidth, row.Height()}, sources, LAYOUT_FULL);
            title->Draw(*ctx.dc, at->x, at->y, clip, 0);
        }
        row.Draw(*ctx.dc, at->x + titleWidth, at->y, clip, 0);
    }
    return {row.Width() + titleWidth, row.Height()};
}

bool CPrintRows::TitlesShown() const {
    return GridRows() && (m_grid->m_titleBands & 1);
}

int32_t CPrintRows::TitleHeight() const {
    // As tall as the window shows them.
    const int32_t px = m_grid->ColTitleHeightPixels();
    return px < 0 ? CGridPanes::kDefaultTitleHeight : std::max(px, CGridPanes::kMinTitleHeight);
}

bool CPrintRows::MeasureColumnTitles(const PrintContext& ctx, Size& size) {
    if (!ctx.dc || !TitlesShown()) return false;
    CPrintView view(ctx);
    const int32_t height = TitleHeight();
    int32_t width = RowTitleWidth();
    for (int32_t pos = 0, col; (col = m_grid->ColumnAtVisible(pos)) >= 0; ++pos) {
        auto title = CreateCellMetrics(&view, "__ColTitle");
        title->row = 0;
        title->col = col;
        CGridCellSources sources(*m_grid, nullptr, 0, col, &m_host);
        title->Layout(*ctx.dc, {std::max(0, m_grid->Column(col)->Width()), height}, sources, LAYOUT_FULL);
        width += title->Width();
    }
    size = {width, height};
    return true;
}

Size CPrintRows::PrintColumnTitles(const PrintContext& ctx, int32_t x, int32_t y, const Rect& clip) {
    Size size;
    if (!MeasureColumnTitles(ctx, size)) return {0, 0};
    CPrintView view(ctx);
    const int32_t height = size.cy, titleWidth = RowTitleWidth();
    if (titleWidth > 0) {
        // The corner over the row titles, with a line on its left as they have.
        CMVBorderCellMetrics corner(std::make_unique<CMVGridCornerCellMetrics>());
        corner.SetParent(&view);
        corner.sides |= CMVBorderCellMetrics::SIDE_LEFT;
        corner.row = corner.col = 0;
        CGridCellSources sources(*m_grid, nullptr, 0, 0, &m_host);
        corner.Layout(*ctx.dc, {titleWidth, height}, sources, LAYOUT_FULL);
        corner.Draw(*ctx.dc, x, y, clip, 0);
        x += titleWidth;
    }
    for (int32_t pos = 0, col; (col = m_grid->ColumnAtVisible(pos)) >= 0; ++pos) {
        // Each title with a line on its top too: the printed row has no
        // frame above it.
        auto title = CreateCellMetrics(&view, "__ColTitle");
        title->sides |= CMVBorderCellMetrics::SIDE_TOP;
        title->row = 0;
        title->col = col;
        CGridCellSources sources(*m_grid, nullptr, 0, col, &m_host);
        title->Layout(*ctx.dc, {std::max(0, m_grid->Column(col)->Width()), height}, sources, LAYOUT_FULL);
        title->Draw(*ctx.dc, x, y, clip, 0);
        x += title->Width();
    }
    return size;
}

namespace {

// The header's own values first, then the control's defaults.
struct HeaderCell {
    CMapAttrChain defaults;
    CMapAttrChain attrs{&defaults};
    plat::ComPtr<IVincaFont> font;
    CPrintView view;
    CMVGridCellMetrics cell;

    HeaderCell(IViewHost& host, const PrintContext& ctx, const std::string& text, int32_t width) : view(ctx) {
        const ViewSettings& s = host.Settings();
        font = NewFont(s.font);
        defaults.Set("__Font", plat::Variant(static_cast<plat::IDispatch*>(font.get())));
        defaults.SetInt("__ForeColor", int32_t(s.foreColor));
        defaults.SetInt("__PicAlign", 2);
        host.DefaultCellAttributes(defaults);
        // A header wraps at the page's width rather than running off it.
        attrs.SetText("__Value", text)
            .SetInt("__TextAlign", 5)
            .SetInt("__Multiline", 1)
            .SetInt("__BackColor", int32_t(s.backColor));
        cell.SetParent(&view);
        cell.Layout(*ctx.dc, {-1, -1}, attrs, LAYOUT_FULL);
        // Wider than the page: wrap at the page's width.
        if (width >= 0 && cell.Width() > width) cell.Layout(*ctx.dc, {width, -1}, attrs, LAYOUT_FULL);
    }
};

} // namespace

int32_t CReportPrinter::MeasureHeaderText(const PrintContext& ctx, const std::string& text, int32_t width) {
    if (!ctx.dc) return 0;
    return HeaderCell(m_host, ctx, text, width).cell.Height();
}

void CReportPrinter::PrintLine(const PrintContext& ctx, const std::string& text, const Rect& rect, bool top) {
    if (!ctx.dc) return;
    HeaderCell h(m_host, ctx, text, rect.Width());
    int32_t x = rect.left + (rect.Width() - h.cell.Width()) / 2;
    int32_t y = top ? rect.top : rect.bottom - h.cell.Height();
    h.cell.Draw(*ctx.dc, x, y, rect, 0);
}

void CReportPrinter::PrintPageBackground(const PrintContext& ctx, const Rect& rect) {
    if (!ctx.dc) return;
    MakeBackgroundLayers(m_host.Settings(), m_host.Background(), nullptr)->Paint(*ctx.dc, rect, &rect);
}

void CReportPrinter::PrintPageHeader(const PrintContext& ctx, const std::string& text, const Rect& rect) {
    PrintLine(ctx, text, rect, true);
}

void CReportPrinter::PrintPageFooter(const PrintContext& ctx, const std::string& text, const Rect& rect) {
    PrintLine(ctx, text, rect, false);
}

void CExpandSnapshot::Capture(CVincaEngine& engine, int32_t option) {
    m_items.clear();
    int32_t n = engine.VisibleCount();
    m_items.reserve(size_t(std::max(0, n)));
    for (int32_t i = 0; i < n; ++i)
        if (CItem* item = engine.RowItem(i)) m_items.emplace_back(Ref<CItem>(item), item->IsExpanded());
    if (option == 0) return;
    for (auto& [item, expanded] : m_items)
        engine.SetItemExpanded(item.get(), option == 1);
}

void CExpandSnapshot::Restore(CVincaEngine& engine) {
    for (auto& [item, expanded] : m_items)
        if (item->ParentNode() && item->IsExpanded() != expanded)
            engine.SetItemExpanded(item.get(), expanded);
    m_items.clear();
}

} // namespace vinca
