#pragma once
// Rows, headers and footers measured and painted on a printer DC, for the
// control's report printing, which lays pages out row by row. Every cell is
// made for the one call under a print view and freed again, so printing
// never touches the cells of the window.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "vinca/model/containers.h"
#include "vinca/views/attr_chain.h"
#include "vinca/views/item_cell.h"

namespace vinca {

class CVincaEngine;

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

  private:
    CVincaEngine& m_engine;
    IViewHost& m_host;
    CItemCellBuilder m_cells;
};

// One column title of a printed grid row: the column, its width in screen
// pixels and what its title cell reads.
struct PrintTitle {
    int32_t column{0};
    int32_t width{0};
    const IAttrChain* attrs{nullptr};
};
// The column-title row, each title at its column's width and `height`
// pixels tall (-1: as tall as the tallest title needs); (0, 0) without
// titles.
Size MeasureColumnTitles(const PrintContext& ctx, std::span<const PrintTitle> titles, int32_t height);
// Paints the row with its top-left at (x, y) inside `clip`, every title
// with its own top line, and answers its size.
Size PrintColumnTitles(const PrintContext& ctx, std::span<const PrintTitle> titles, int32_t height, int32_t x,
                       int32_t y, const Rect& clip);

// Page header and footer lines: centred text in the control's colours and
// font, wrapped to the page width when wider.
class CReportPrinter {
  public:
    explicit CReportPrinter(IViewHost& host) : m_host(host) {}
    int32_t MeasureHeaderText(const PrintContext& ctx, const std::string& text, int32_t width);
    void PrintPageHeader(const PrintContext& ctx, const std::string& text, const Rect& rect);
    void PrintPageFooter(const PrintContext& ctx, const std::string& text, const Rect& rect);

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
