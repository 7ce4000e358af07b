#pragma once
// The full cell: background, gradient, flat and 3-D borders, picture, plain
// or rich text; the title and corner cells and the inner cell of a tree item
// built on it; and the border cell that draws grid lines around one of them.
#include <cstdint>
#include <memory>
#include <string>

#include "vinca/views/cell_metrics.h"
#include "vinca/views/rich_text_host.h"

namespace vinca {

enum EPicAlignment : int32_t {
    PICALIGN_HIDDEN = 0,
    PICALIGN_STRETCH = 10,
    PICALIGN_COUPLED = 11,
    PICALIGN_TILE = 12
};
enum EAlignment : int32_t {
    ALIGN_PIC_LEFT = 0,
    ALIGN_PIC_RIGHT = 1,
    ALIGN_PIC_ABOVE = 2,
    ALIGN_PIC_BELOW = 3
};
enum EBorderStyle : int32_t {
    BORDER_NONE = 0,
    BORDER_FLAT1 = 1,
    BORDER_FLAT2 = 2,
    BORDER_3D_INSET = 3,
    BORDER_3D_OUTSET = 4
};

// Longest plain text a cell lays out; longer ones are cut and end in "...".
inline constexpr size_t kMaxCellText = 1024;
inline constexpr int32_t kMaxCellSize = 16000;

// True when the text is rich text for a cell of that style: style 1 and,
// after leading spaces, "{\rtf1" (a text under 7 characters never is).
bool IsRichCellText(std::string_view text, int32_t rtfStyle);

// The hosts that measure and draw rich text, one for multi-line and one for
// single-line cells, made on first use.
CRichTextHost& RichHostFor(bool multiLine);

class CMVGridCellMetrics : public CMVCellMetrics {
  public:
    CMVGridCellMetrics() = default;
    std::unique_ptr<CCellMetrics> Clone() const override {
        return std::make_unique<CMVGridCellMetrics>(*this);
    }

    void Layout(Dc& dc, Size size, const IAttrChain& attrs, int32_t kind) override;
    void Draw(Dc& dc, int32_t x, int32_t y, const Rect& clip, uint32_t state) override;
    bool HitTest(Point p, CHitTestInfo& info) const override;
    Rect GetPartRect(std::string_view part) const override;
    std::string GetText(const IAttrChain& attrs) const override;
    bool GetProperty(std::string_view key, plat::Variant& out) const override;

    // Laid-out geometry and state, read by the views, tool tips and editors.
    const std::string& Text() const { return m_text; }
    const Rect& TextRect() const { return m_textRect; }
    const Rect& TextDrawRect() const { return m_textDrawRect; }
    bool UsesTextDrawRect() const { return m_useTextDrawRect; }
    const Rect& PictureRect() const { return m_pictureRect; }
    int32_t TextWidth() const { return m_textWidth; }
    int32_t TextHeight() const { return m_textHeight; }
    int32_t Margin() const { return m_border3D.width * m_has3D + m_borderWidth; }
    int32_t DrawFormat() const { return m_drawFormat; }
    bool MultiLine() const { return m_multiLine; }
    bool AllVisible() const { return m_allVisible; }
    bool TextFits() const { return m_textFits; }
    bool IsRich() const { return IsRichCellText(m_text, m_rtfStyle); }
    const CFontHolder& Font() const { return m_font; }
    COLORREF ForeColor() const { return m_foreColor; }
    COLORREF BackColor() const { return m_backColor; }

  protected:
    // The keys a class reads; the inner cell of a tree item reads its own.
    virtual int32_t GetMaxTextWidth(const IAttrChain&) const { return -2; }
    virtual int32_t GetMinTextWidth(const IAttrChain&) const { return -2; }
    virtual int32_t GetTabStop(const IAttrChain&) const { return -2; }
    virtual int32_t GetPictureWidth(const IAttrChain& a) const { return a.GetInt("__PicWidth"); }
    virtual int32_t GetPictureHeight(const IAttrChain& a) const { return a.GetInt("__PicHeight"); }
    virtual int32_t GetBorderStyle(const IAttrChain& a) const { return a.GetInt("__BorderStyle"); }
    virtual int32_t GetInvBorderStyle(const IAttrChain& a) const { return a.GetInt("__InvBorderStyle"); }
    virtual int32_t GetGradientStyle(const IAttrChain& a) const { return a.GetInt("__GradientStyle"); }
    virtual void ReadColors(const IAttrChain& a);
    virtual void ReadAlignments(const IAttrChain& a);
    void ReadColorKeys(const IAttrChain& a, const char* back, const char* border, const char* grdFrom,
                       const char* grdTo);
    void ReadAlignmentKeys(const IAttrChain& a, const char* pic, const char* text, const char* align,
                           const char* rtf);

    void FullLayout(Dc& dc, Size size, const IAttrChain& attrs);
    void ReadBorder(const IAttrChain& a);
    void ReadPicture(const IAttrChain& a);
    void MeasureText(Dc& dc, int32_t width, const IAttrChain& a, bool growToText);
    Size MeasurePlainOrRich(Dc& dc, int32_t limit);
    Size ContentSize() const;
    void Arrange();
    void Refresh(const IAttrChain& a);
    void DrawText(Dc& dc, const Rect& clip, bool selected);
    void DrawPicture(Dc& dc, bool selected);

    // gradient
    CGradient m_gradient{0xFFFFFF, 0xFF0000, GRADIENT_NONE};
    // text
    std::string m_text;
    Rect m_textRect;
    Rect m_textDrawRect;
    bool m_useTextDrawRect{false};
    int32_t m_textWidth{0};
    int32_t m_textHeight{0};
    int32_t m_textAlign{-1};
    int32_t m_drawFormat{0};
    bool m_multiLine{false};
    int32_t m_tabStop{0};
    int32_t m_maxTextWidth{-3};
    int32_t m_rtfStyle{-1};
    bool m_fixedWidth{true};
    bool m_allVisible{true};
    bool m_textFits{true};
    CFontHolder m_font;
    // pictures
    CPictureHolder m_picture;
    CPictureHolder m_pictureSelected;
    Rect m_pictureRect;
    int32_t m_pictureWidth{0};
    int32_t m_pictureHeight{0};
    int32_t m_picAlign{-1};
    int32_t m_alignment{-1};
    // borders and colours
    bool m_has3D{false};
    C3DBorder m_border3D{0x808080, kNoColor, 1, false};
    int32_t m_borderWidth{0};
    COLORREF m_borderColor{0};
    COLORREF m_foreColor{0};
    COLORREF m_backColor{0xFFFFFF};
    COLORREF m_selForeColor{0xFFFFFF};
    COLORREF m_selBackColor{0};
    bool m_invertBorder{false};
    int32_t m_invStyle{0};
    bool m_transparent{false};
    COLORREF m_transparentColor{0xFFFFFF};
    // the boxes the picture and the text are placed in
    Rect m_picBox;
    Rect m_textBox;
};

class CMVGridColTitleCellMetrics : public CMVGridCellMetrics {
  public:
    std::unique_ptr<CCellMetrics> Clone() const override {
        return std::make_unique<CMVGridColTitleCellMetrics>(*this);
    }
    std::string GetText(const IAttrChain& attrs) const override;
};

class CMVGridRowTitleCellMetrics : public CMVGridCellMetrics {
  public:
    std::unique_ptr<CCellMetrics> Clone() const override {
        return std::make_unique<CMVGridRowTitleCellMetrics>(*this);
    }
    std::string GetText(const IAttrChain& attrs) const override;
};

class CMVGridCornerCellMetrics : public CMVGridCellMetrics {
  public:
    std::unique_ptr<CCellMetrics> Clone() const override {
        return std::make_unique<CMVGridCornerCellMetrics>(*this);
    }
};

// The text part of a tree item: reads the "__Inner..." keys.
class CGeneralizedGridCellMetrics : public CMVGridCellMetrics {
  public:
    std::unique_ptr<CCellMetrics> Clone() const override {
        return std::make_unique<CGeneralizedGridCellMetrics>(*this);
    }
    std::string GetText(const IAttrChain& attrs) const override;
    bool HitTest(Point p, CHitTestInfo& info) const override;

  protected:
    int32_t GetMaxTextWidth(const IAttrChain& a) const override { return IntOr(a, "__MaxTextWidth", -2); }
    int32_t GetMinTextWidth(const IAttrChain& a) const override { return IntOr(a, "__MinTextWidth", -2); }
    int32_t GetTabStop(const IAttrChain& a) const override { return IntOr(a, "__TabStopDistance", -2); }
    int32_t GetPictureWidth(const IAttrChain& a) const override { return a.GetInt("__InnerPicWidth"); }
    int32_t GetPictureHeight(const IAttrChain& a) const override { return a.GetInt("__InnerPicHeight"); }
    int32_t GetBorderStyle(const IAttrChain& a) const override { return a.GetInt("__InnerBorderStyle"); }
    int32_t GetGradientStyle(const IAttrChain& a) const override { return a.GetInt("__InnerGradientStyle"); }
    void ReadColors(const IAttrChain& a) override;
    void ReadAlignments(const IAttrChain& a) override;

  private:
    static int32_t IntOr(const IAttrChain& a, const char* key, int32_t absent) {
        return a.FindInt(key).value_or(absent);
    }
};

// The cell of the item-text column.
class CItemColumnCellMetrics : public CMVGridCellMetrics {
  public:
    std::unique_ptr<CCellMetrics> Clone() const override {
        return std::make_unique<CItemColumnCellMetrics>(*this);
    }
    std::string GetText(const IAttrChain& attrs) const override;
};

// Grid lines around one inner cell, which it owns. Made with the bottom and
// right sides, so neighbouring cells share one line.
class CMVBorderCellMetrics : public CMVCellMetrics {
  public:
    enum : int32_t { SIDE_TOP = 1, SIDE_BOTTOM = 2, SIDE_LEFT = 4, SIDE_RIGHT = 8 };
    explicit CMVBorderCellMetrics(std::unique_ptr<CCellMetrics> inner);
    CMVBorderCellMetrics(const CMVBorderCellMetrics& o);
    std::unique_ptr<CCellMetrics> Clone() const override {
        return std::make_unique<CMVBorderCellMetrics>(*this);
    }

    void Layout(Dc& dc, Size size, const IAttrChain& attrs, int32_t kind) override;
    void Draw(Dc& dc, int32_t x, int32_t y, const Rect& clip, uint32_t state) override;
    bool HitTest(Point p, CHitTestInfo& info) const override;
    std::string GetText(const IAttrChain& attrs) const override { return m_inner->GetText(attrs); }
    bool GetProperty(std::string_view key, plat::Variant& out) const override {
        return m_inner->GetProperty(key, out);
    }

    CCellMetrics& Inner() { return *m_inner; }
    const CCellMetrics& Inner() const { return *m_inner; }
    int32_t sides{SIDE_BOTTOM | SIDE_RIGHT};
    int32_t row{-1};
    int32_t col{-1};

  private:
    void ReadLines(const IAttrChain& a);
    void PlaceInner();
    std::unique_ptr<CCellMetrics> m_inner;
    int32_t m_horLineThickness{0};
    int32_t m_verLineThickness{0};
    COLORREF m_horLineColor{0};
    COLORREF m_verLineColor{0};
    bool m_verLinesVisible{false};
    bool m_horLinesVisible{false};
};

class CVincaTreeCellMetrics;

// A border cell around the inner cell a column key asks for.
std::unique_ptr<CMVBorderCellMetrics> CreateCellMetrics(CViewAbs* view, std::string_view columnKey);

// The cell at a grid position: the corner at (0, 0), column titles in row 0,
// row titles in column 0, else the cell its column's key asks for.
std::unique_ptr<CMVBorderCellMetrics> CreateGridPositionCell(int32_t gridRow, int32_t col, std::string_view columnKey);

} // namespace vinca
