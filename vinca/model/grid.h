#pragma once
// Tree grids: columns laid over the children of one item (an item grid) or
// over the whole list (the tree grid). Each row is a child item, each column
// a column definition keyed by a column name, and each cell the row item's
// value of that name. The grid keeps the layout settings (titles, lines,
// sizes) and its cell definitions; drawing is the views' business.
//
// Sizes are kept in twips and handed out in pixels at the screen's dots per
// inch (96 unless set).
#include <cstdint>
#include <string>
#include <vector>

#include "vinca/model/attr.h"
#include "vinca/model/engine.h"
#include "vinca/model/item.h"

namespace vinca {

class CTreeStream;
class CTreeGrid;

// One column: its key, width, visibility and title.
class CColumnDef : public CVincaObject {
  public:
    static Ref<CColumnDef> New(const CVincaName* key, int32_t width);

    const CVincaName* Key() const { return m_key; }
    void SetKey(const CVincaName* key) { m_key = key; }
    int32_t Width() const { return m_width; }
    void SetWidth(int32_t width) { m_width = width; }
    bool Visible() const { return m_visible; }
    void SetVisible(bool visible) { m_visible = visible; }

    // Made on first use; `create` false only looks.
    CAttrSet* TitleDefs(bool create = true);
    CAttrEntry* TitleEntry(bool create = true);
    // The title entry's nested set (its cell definition).
    CAttrSet* TitleCellDef(bool create = true);

    void Write(CTreeStream& ts);
    bool Read(CTreeStream& ts);

  private:
    CColumnDef(const CVincaName* key, int32_t width) : m_key(key), m_width(width) {}
    Ref<CAttrSet> m_titleDefs;
    Ref<CAttrEntry> m_titleEntry;
    const CVincaName* m_key;
    int32_t m_width;
    bool m_visible{true};
};

class CTreeGrid : public CItemGridBase {
  public:
    enum Kind { TREE_GRID, ITEM_GRID };

    // A grid with the control's default definitions.
    static Ref<CTreeGrid> New(Kind kind, float col_title_height_twips = -1.0f);

    Kind GetKind() const { return m_kind; }
    CItem* OwnerItem() const { return m_owner; }
    void SetOwnerItem(CItem* item) override { m_owner = item; }
    Ref<CItemGridBase> CloneGrid() const override;
    // A deep copy (made through a memory tree stream); null when it fails.
    Ref<CTreeGrid> Clone() const;

    // ---- columns -----------------------------------------------------------
    int32_t ColumnCount() const { return static_cast<int32_t>(m_columns.size()); }
    CColumnDef* Column(int32_t index) const;
    // The key of column `index`: 0 "__RowTitle", 1 "__Tree" (tree grid) or
    // "__ItemTreeColumn" (item grid), others "T<n>" or "I<n>".
    const CVincaName* ColumnKey(int32_t index) const;
    // Adds missing columns up to `n`, or removes columns from the end (column
    // 0 stays).
    VResult SetColumnCount(int32_t n);
    // The position of a column definition, -1 when it is not in the list.
    int32_t ColumnIndexOf(const CColumnDef* column) const;
    // Moves a column definition to another position; false when either
    // position is outside the list.
    bool MoveColumn(int32_t from, int32_t to);
    // Appends a column read from a stream.
    void AppendColumn(Ref<CColumnDef> column);
    // Visible columns: visible with a width above 0, counted from column 1
    // for the tree grid or when the row-title column is off.
    int32_t VisibleColumnCount() const;
    // The column shown at visible position `pos`, -1 when none; and back.
    int32_t ColumnAtVisible(int32_t pos) const;
    int32_t VisiblePosition(int32_t column) const;

    // ---- rows (children of the owner item) --------------------------------
    int32_t RowCount() const;
    // Row 0 is the title row; rows 1.. are the owner's children.
    CItem* RowItem(int32_t row) const;
    // The cell: the row item's entry named by the column key; null when none.
    CAttrEntry* Cell(int32_t column, int32_t row) const;

    // Rows and the control's item positions (by its current index method).
    // Row 0 is the owner item itself; -1 when the item is no row of this grid.
    int32_t ItemIndexToRow(CVincaEngine& engine, int32_t index) const;
    // -1 for a row beyond the count.
    int32_t RowToItemIndex(CVincaEngine& engine, int32_t row) const;
    // Adds a row at the end through the control's add-item operation, with
    // the index method switched to the grid's (children of the owner for an
    // item grid, every item for the tree grid) and restored afterwards.
    bool AppendRow(CVincaEngine& engine, std::string_view text);
    // Inserts a row before data row `before` (1-based; anything outside the
    // data rows appends), the same way; `made` receives the new row's item.
    VResult InsertRow(CVincaEngine& engine, int32_t before, std::string_view text, CItem** made);
    VResult RemoveRow(CVincaEngine& engine, int32_t row);
    // Cuts `text` at `delimiter` into the cells of `item`'s row: pieces are
    // numbered from column 1, the column count grows as needed, an empty
    // piece leaves its cell alone, and a piece for the tree column becomes
    // the item's text.
    VResult FillRow(CVincaEngine& engine, CItem& item, std::string_view text, char delimiter);

    // ---- definitions and settings ------------------------------------------
    CAttrSet* GridCellDef(bool create = true);
    CAttrSet* ColTitleCellDef(bool create = true);
    // The title definitions of column 0.
    CAttrSet* RowTitleCellDef(bool create = true);

    // Reserved-name lookups the grid answers for cell metrics.
    bool Lookup(const CVincaName* name, plat::Variant& out) const;

    int32_t RowTitleWidthPixels() const;
    void SetRowTitleWidthPixels(int32_t px);
    // -1 automatic.
    int32_t ColTitleHeightPixels() const;
    void SetColTitleHeightPixels(int32_t px);
    float RowHeightTwips() const { return m_rowHeight; }
    void SetRowHeightTwips(float twips) { m_rowHeight = twips; }
    int32_t GridLinesColor() const { return m_gridLinesColor; }
    bool HorLinesVisible() const { return m_horThickness > 0; }
    bool VerLinesVisible() const { return m_verThickness > 0; }

    // The screen's dots per inch used for pixel sizes.
    static void SetPixelsPerInch(int32_t dpi);
    static int32_t PixelsPerInch();

    void Write(CTreeStream& ts);
    bool Read(CTreeStream& ts);

    // Stored settings, public for the automation object and the views.
    uint8_t m_gridFlag{1};
    uint8_t m_titleBands{3};
    int32_t m_horThickness{1};
    int32_t m_horLineColor{0};
    int32_t m_gridLinesColor{0x808080};
    int32_t m_verThickness{1};
    int32_t m_verLineColor{0};
    uint8_t m_rowTitleColumn{1};
    uint8_t m_displayFlag2{1};
    uint8_t m_autoFillColTitles{2};
    uint8_t m_autoFillRowTitles{1};
    float m_rowTitleWidth; // twips
    float m_colTitleHeight{-1.0f};
    float m_rowHeight{-1.0f};
    // Kept while the grid lives, not stored.
    int32_t m_allowResizing{0};
    int32_t m_gridLinesStyle{3};

  private:
    explicit CTreeGrid(Kind kind);
    void SetDefaultDefinitions();

    Kind m_kind;
    CItem* m_owner{nullptr};
    std::vector<Ref<CColumnDef>> m_columns;
    Ref<CAttrSet> m_gridCellDef;
    Ref<CAttrSet> m_colTitleCellDef;
};

// The grid record inside an item record (presence byte, then the grid).
void WriteGridRecord(CTreeStream& ts, CItemGridBase* grid);
// A grid read from the stream, or null for presence 0; false on a damaged
// record. New grids read this way are item grids.
bool ReadGridRecord(CTreeStream& ts, Ref<CItemGridBase>& out);

} // namespace vinca
