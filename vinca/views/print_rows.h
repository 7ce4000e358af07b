#pragma once
// Rows, headers and footers measured and painted on a printer DC, for the
// control's report printing, which lays pages out row by row. Every cell is
// made for the one call under a print view and freed again, so printing
// never touches the cells of the window.
#include <cstdint>
#include <string>
#include <vector>

#include "vinca/model/containers.h"
#include "vinca/views/attr_chain.h"
#include "vinca/views/item_cell.h"

namespace vinca {

class CVincaEngine;
class CTreeGrid;

// What the caller prints on: the printer DC (mapped to screen units, so a
// row measures the same printed as on screen) and whether pictures go
// through an off-screen band.
struct PrintContext {
    Dc* dc{nullptr};
    bool printScaled{false};
};

// Root of the cells made for printing: answers with the printer DC.
class CPrintView : public CViewAbs {
  public:
    explicit CPrintView(const PrintContext& ctx) : m_ctx(ctx) {}
    Dc* ParentHook() const override { return m_ctx.dc; }
    bool IsPrinting() const override { return true; }
    bool PrintScaled() const override { return m_ctx.printScaled; }

  private:
    PrintContext m_ctx;
};

class CPrintRows {
  public:
    CPrintRows(CVincaEngine& engine, IViewHost& host) : m_engine(engine), m_host(host), m_cells(host) {}
    // The size of the shown row at `index`; (0, 0) when there is none.
    Size MeasureItemRow(int32_t index, const PrintContext& ctx);
    // Paints the row with its top-left at (x, y) inside `clip` and answers
    // its size; paints nothing and answers (0, 0) when there is no row.
    Size PrintItemRow(int32_t index, const PrintContext& ctx, int32_t x, int32_t y, const Rect& clip);

    // With a grid that has columns, rows print as grid rows, after their
    // row titles when those show, and the grid's column titles can print
    // above them.
    void SetGrid(CTreeGrid* grid);
    // The column-title row: the corner over the row titles when those show,
    // then each column's title at its column's width. False, with `size`
    // untouched, when there are no titles to print (no grid with columns,
    // or titles hidden).
    bool MeasureColumnTitles(const PrintContext& ctx, Size& size);
    // Paints the title row with its top-left at (x, y), so that each title
    // stands over its column of the grid rows printed at the same x; answers
    // its size, (0, 0) without titles.
    Size PrintColumnTitles(const PrintContext& ctx, int32_t x, int32_t y, const Rect& clip);

  private:
    // A tree row's cell laid out at the height the window gives the row.
    std::unique_ptr<CVincaTreeCellMetrics> TreeRow(CItem* item, const PrintContext& ctx, CPrintView& view);
    int32_t RowHeight(CItem* item, const PrintContext& ctx, CPrintView& view);
    bool GridRows() const;
    bool TitlesShown() const;
    int32_t RowTitleWidth() const;
    int32_t TitleHeight() const;
    Size GridRow(int32_t index, const PrintContext& ctx, const Point* at, const Rect& clip);

    CVincaEngine& m_engine;
    IViewHost& m_host;
    CItemCellBuilder m_cells;
    Ref<CTreeGrid> m_grid;
};

// Page header and footer lines: centred text in the control's colours and
// font, wrapped to the page width when wider.
class CReportPrinter {
  public:
    explicit CReportPrinter(IViewHost& host) : m_host(host) {}
    int32_t MeasureHeaderText(const PrintContext& ctx, const std::string& text, int32_t width);
    void PrintPageHeader(const PrintContext& ctx, const std::string& text, const Rect& rect);
    void PrintPageFooter(const PrintContext& ctx, const std::string& text, const Rect& rect);

    // The page's background under the rows, as the window paints its own:
    // the back colour, the gradient and the background picture.
    void PrintPageBackground(const PrintContext& ctx, const Rect& rect);

  private:
    void PrintLine(const PrintContext& ctx, const std::string& text, const Rect& rect, bool top);
    IViewHost& m_host;
};

// The expansion of the shown items, kept around printing (which may expand
// or collapse them all) and put back afterwards. Items are kept by counted
// reference, not by row: expanding moves the rows of every item below.
class CExpandSnapshot {
  public:
    // Records the shown items' expansion; then option 1 expands each of
    // them and any other non-zero option collapses them.
    void Capture(CVincaEngine& engine, int32_t option);
    // Expands or collapses each recorded item as it was. Items removed
    // meanwhile are skipped.
    void Restore(CVincaEngine& engine);
    size_t Count() const { return m_items.size(); }

  private:
    std::vector<std::pair<Ref<CItem>, bool>> m_items;
};

} // namespace vinca
