#pragma once
// The tree column cell of one item: from left to right the mark, the
// indentation with the tree lines, the plus/minus box, the item picture and
// the item text (an inner grid cell, so item text has every feature of a
// grid cell).
#include <cstdint>
#include <vector>

#include "vinca/model/grid.h"
#include "vinca/views/embedded_grid.h"
#include "vinca/views/grid_cell.h"

namespace vinca {

enum ETreeLinesStyle : int32_t {
    LINES_SOLID = 0,
    LINES_DASH = 1,
    LINES_DOT = 2,
    LINES_DASHDOT = 3,
    LINES_DASHDOTDOT = 4,
};

enum EPlusMinusState : int32_t { PM_NONE = -1, PM_PLUS = 4, PM_MINUS = 5 };

// What the control works out for an item's tree cell before it is laid out.
struct CTreeCellData {
    bool hasItem{true};
    int32_t level{0};
    int32_t indent{19};
    int32_t xOffset{0};
    bool stretchImages{false};
    OLE_COLOR linesColor{0x808080};
    int32_t invStyle{0};
    int32_t picInMultiLine{0};
    bool markShown{false};
    CPictureHolder markPicture;
    int32_t markWidth{0};
    int32_t markHeight{0};
    bool linesShown{true};
    // Ancestor levels whose vertical line continues past this item.
    std::vector<bool> lineLevels;
    int32_t lineStyle{LINES_SOLID};
    bool lastChild{false};
    bool pmShown{true};
    CPictureHolder plusPicture;
    CPictureHolder minusPicture;
    int32_t pmState{PM_NONE};
    bool picturesShown{true};
    CPictureHolder picture;
    CPictureHolder pictureSelected;
    int32_t defPictureWidth{0};
    int32_t defPictureHeight{0};
    bool textShown{true};
    // The item's own grid, shown in place of its picture and text, with the
    // item's child count + 1 rows.
    bool itemGridShown{false};
    Ref<CTreeGrid> itemGrid;
    int32_t itemGridRows{-1};
    // A row of the tree grid below the item, shown while it is expanded.
    bool treeGridShown{false};
    Ref<CTreeGrid> treeGrid;
    // The item itself and the control, for the grid cells' attributes.
    CItem* item{nullptr};
    IViewHost* host{nullptr};
    bool hasChildren{false};
    bool expanded{false};
    int32_t column{0};
    bool compactLayout{false};
    OLE_COLOR backColor{0xFFFFFF};
    OLE_COLOR foreColor{0};
    OLE_COLOR selBackColor{0x800000};
    OLE_COLOR selForeColor{0xFFFFFF};
    bool transparent{false};
    OLE_COLOR transparentColor{0xFFFFFF};
};

class CVincaTreeCellMetrics : public CMVCellMetrics {
  public:
    CVincaTreeCellMetrics();
    CVincaTreeCellMetrics(const CVincaTreeCellMetrics& o);
    std::unique_ptr<CCellMetrics> Clone() const override {
        return std::make_unique<CVincaTreeCellMetrics>(*this);
    }

    void Layout(Dc& dc, Size size, const IAttrChain& attrs, int32_t kind) override;
    void Draw(Dc& dc, int32_t x, int32_t y, const Rect& clip, uint32_t state) override;
    OLE_COLOR BackColor() const { return m_data.backColor; }
    bool HitTest(Point p, CHitTestInfo& info) const override;
    Rect GetPartRect(std::string_view part) const override;
    std::string GetText(const IAttrChain& attrs) const override { return m_text.GetText(attrs); }
    bool GetProperty(std::string_view key, plat::Variant& out) const override {
        return m_text.GetProperty(key, out);
    }

    const Rect& MarkRect() const { return m_markRect; }
    const Rect& PlusMinusRect() const { return m_pmRect; }
    const Rect& PictureRect() const { return m_pictureRect; }
    int32_t LineX() const { return m_lineX; }
    int32_t LineY() const { return m_lineY; }
    int32_t TextX() const { return m_textX; }
    int32_t TextY() const { return m_textY; }
    const CGeneralizedGridCellMetrics& TextCell() const { return m_text; }
    // The embedded grids (null when not shown); offsets are in the cell.
    const CEmbeddedGridView* ItemGrid() const { return m_itemGrid.get(); }
    const CEmbeddedGridView* TreeGrid() const { return m_treeGrid.get(); }

  private:
    void LayoutHorizontal(int32_t requestedWidth);
    int32_t NaturalHeight() const;
    void LayoutVertical(int32_t height);
    void DrawLines(Dc& dc, bool selected);
    void DrawPlusMinus(Dc& dc, bool selected);
    COLORREF LineColour(bool selected) const;
    bool HandDrawnBox() const;

    CTreeCellData m_data;
    CGeneralizedGridCellMetrics m_text;
    Size m_markSize;
    Size m_pmSize;
    Size m_pictureSize;
    Rect m_markRect;
    Rect m_pmRect;
    Rect m_pictureRect;
    int32_t m_lineX{0};
    int32_t m_lineY{0};
    int32_t m_textX{0};
    int32_t m_textY{0};
    int32_t m_textWidth{0};
    int32_t m_textHeight{0};
    std::unique_ptr<CEmbeddedGridView> m_itemGrid;
    std::unique_ptr<CEmbeddedGridView> m_treeGrid;
    int32_t m_treePart{0}; // height of the tree grid part
    bool m_fixedHeight{false};
};

} // namespace vinca
