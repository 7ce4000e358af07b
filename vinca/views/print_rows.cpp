#include "vinca/views/print_rows.h"

#include "vinca/model/engine.h"
#include "vinca/model/item.h"
#include "vinca/views/grid_cell.h"

namespace vinca {

Size CPrintRows::MeasureItemRow(int32_t index, const PrintContext& ctx) {
    CItem* item = index >= 0 && ctx.dc ? m_engine.RowItem(index) : nullptr;
    if (!item) return {0, 0};
    CPrintView view(ctx);
    return m_cells.Build(item, *ctx.dc, {-1, -1}, &view)->GetSize();
}

Size CPrintRows::PrintItemRow(int32_t index, const PrintContext& ctx, int32_t x, int32_t y,
                              const Rect& clip) {
    CItem* item = index >= 0 && ctx.dc ? m_engine.RowItem(index) : nullptr;
    if (!item) return {0, 0};
    CPrintView view(ctx);
    auto cell = m_cells.Build(item, *ctx.dc, {-1, -1}, &view);
    cell->Draw(*ctx.dc, x, y, clip, 0);
    return cell->GetSize();
}

namespace {

// The title cells of one printed row, laid out at one height.
struct TitleRow {
    CPrintView view;
    std::vector<std::unique_ptr<CMVBorderCellMetrics>> cells;
    Size size{0, 0};

    TitleRow(const PrintContext& ctx, std::span<const PrintTitle> titles, int32_t height) : view(ctx) {
        if (!ctx.dc) return;
        for (const PrintTitle& t : titles) {
            if (!t.attrs || t.width <= 0) continue;
            auto cell = CreateCellMetrics(&view, "__ColTitle");
            cell->sides = CMVBorderCellMetrics::SIDE_TOP | CMVBorderCellMetrics::SIDE_BOTTOM |
                          CMVBorderCellMetrics::SIDE_RIGHT;
            cell->row = 0;
            cell->col = t.column;
            cell->Layout(*ctx.dc, {t.width, height}, *t.attrs, LAYOUT_FULL);
            size.cy = std::max(size.cy, cell->Height());
            cells.push_back(std::move(cell));
        }
        // Titles of different heights: all as tall as the tallest.
        if (height < 0)
            for (size_t i = 0, n = 0; i < titles.size(); ++i) {
                const PrintTitle& t = titles[i];
                if (!t.attrs || t.width <= 0) continue;
                CMVBorderCellMetrics& cell = *cells[n++];
                if (cell.Height() != size.cy) cell.Layout(*ctx.dc, {t.width, size.cy}, *t.attrs, LAYOUT_FULL);
            }
        for (const auto& cell : cells)
            size.cx += cell->Width();
        if (cells.empty()) size = {0, 0};
    }
};

} // namespace

Size MeasureColumnTitles(const PrintContext& ctx, std::span<const PrintTitle> titles, int32_t height) {
    return TitleRow(ctx, titles, height).size;
}

Size PrintColumnTitles(const PrintContext& ctx, std::span<const PrintTitle> titles, int32_t height, int32_t x,
                       int32_t y, const Rect& clip) {
    TitleRow row(ctx, titles, height);
    for (const auto& cell : row.cells) {
        cell->Draw(*ctx.dc, x, y, clip, 0);
        x += cell->Width();
    }
    return row.size;
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
