#pragma once
// Device contexts over QPainter. A DC draws into an image (a colour image or a
// 1-bit mask, both kept as RGB32 so the raster operations work on them), a
// printer page, a recording (QPicture), or nothing at all (metrics only).
// Coordinates are logical and go through the window/viewport mapping; fills
// and blits are worked out in device pixels so that they are exact.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <type_traits>
#include <vector>

#include <QtGui/QImage>

#include "platform/base/handle_table.h"
#include "platform/gdi/color.h"
#include "platform/gdi/font.h"
#include "platform/gdi/geometry.h"

class QPainter;
class QPaintDevice;
class QPicture;

namespace plat::gdi {

enum class DcKind { Image, Printer, Recording, Metrics };

enum BkMode : int32_t { TRANSPARENT = 1, OPAQUE = 2 };
enum Rop2 : int32_t { R2_NOT = 6, R2_COPYPEN = 13 };
enum MapMode : int32_t { MM_TEXT = 1, MM_ANISOTROPIC = 8 };

// Raster operations of blits and pattern fills.
enum : uint32_t {
    SRCCOPY = 0x00CC0020,
    NOTSRCCOPY = 0x00330008,
    SRCINVERT = 0x00660046,
    SRCAND = 0x008800C6,
    SRCPAINT = 0x00EE0086,
    DSTINVERT = 0x00550009,
    PATCOPY = 0x00F00021,
    PATINVERT = 0x005A0049,
    BLACKNESS = 0x00000042,
    WHITENESS = 0x00FF0062,
    SRCINVERTNOT = 0x00990066, // destination XOR NOT source
};

enum PenStyle : int32_t {
    PS_SOLID = 0,
    PS_DASH = 1,
    PS_DOT = 2,
    PS_DASHDOT = 3,
    PS_DASHDOTDOT = 4,
    PS_NULL = 5
};

enum DeviceCap : int32_t {
    HORZRES = 8,
    VERTRES = 10,
    BITSPIXEL = 12,
    PLANES = 14,
    NUMCOLORS = 24,
    RASTERCAPS = 38,
    LOGPIXELSX = 88,
    LOGPIXELSY = 90,
    PHYSICALWIDTH = 110,
    PHYSICALHEIGHT = 111,
    PHYSICALOFFSETX = 112,
    PHYSICALOFFSETY = 113,
};
inline constexpr int32_t RC_BITBLT = 0x1;
inline constexpr int32_t RC_STRETCHBLT = 0x800;

// DrawText format bits.
enum : uint32_t {
    DT_LEFT = 0x0,
    DT_TOP = 0x0,
    DT_CENTER = 0x1,
    DT_RIGHT = 0x2,
    DT_VCENTER = 0x4,
    DT_BOTTOM = 0x8,
    DT_WORDBREAK = 0x10,
    DT_SINGLELINE = 0x20,
    DT_EXPANDTABS = 0x40,
    DT_NOCLIP = 0x100,
    DT_EXTERNALLEADING = 0x200,
    DT_CALCRECT = 0x400,
    DT_NOPREFIX = 0x800,
};

struct Pen {
    int32_t style{PS_SOLID};
    int32_t width{1};
    COLORREF color{0};
};

// The on and off lengths, in pixels, of a one-pixel pen's style: on, off,
// on, off...; empty for a solid or null pen.
std::span<const int32_t> PenPattern(int32_t style);

struct Brush {
    COLORREF color{0xFFFFFF};
    bool null{false};
    static Brush Null() { return Brush{0, true}; }
};

// A bitmap: a colour image or a 1-bit mask (black 0, white 1).
class Bitmap {
  public:
    Bitmap() = default;
    Bitmap(int32_t width, int32_t height, bool mono = false);
    explicit Bitmap(QImage image);

    bool IsNull() const { return m_image.isNull(); }
    bool IsMono() const { return m_mono; }
    Size GetSize() const { return {m_image.width(), m_image.height()}; }
    QImage& Image() { return m_image; }
    const QImage& Image() const { return m_image; }

  private:
    QImage m_image;
    bool m_mono{false};
};

class Dc {
  public:
    // A memory DC drawing into `target` (which must outlive the DC).
    explicit Dc(Bitmap& target);
    // A DC on a printer page or a recording; dpi is the device's resolution.
    // Without `start` the document starts at StartDoc, so a printer made
    // ahead of printing stays untouched until then.
    Dc(QPaintDevice& device, DcKind kind, int32_t dpiX, int32_t dpiY, bool start = true);
    // A DC that only measures (screen metrics, draws nothing).
    Dc();
    ~Dc();
    Dc(const Dc&) = delete;
    Dc& operator=(const Dc&) = delete;

    DcKind Kind() const { return m_kind; }
    // The document and page calls of a printer DC. StartDoc begins drawing
    // when it was not going; NewPage ends the page and starts the next;
    // EndDoc ends the document (a PDF is written out then).
    bool StartDoc();
    bool NewPage();
    void EndDoc();
    bool InDoc() const;
    bool IsPrinter() const { return m_kind == DcKind::Printer; }
    int32_t GetDeviceCaps(int32_t cap) const;
    Bitmap* GetBitmap() { return m_bitmap; }

    // --- state ----------------------------------------------------------
    int32_t Save();
    // Back to a saved level (negative: relative to the current one).
    bool Restore(int32_t level = -1);
    COLORREF SetBkColor(COLORREF c);
    COLORREF GetBkColor() const { return m_s.bkColor; }
    int32_t SetBkMode(int32_t mode);
    int32_t GetBkMode() const { return m_s.bkMode; }
    COLORREF SetTextColor(COLORREF c);
    COLORREF GetTextColor() const { return m_s.textColor; }
    int32_t SetROP2(int32_t rop2);
    Point SetBrushOrg(Point p);
    Point GetBrushOrg() const { return m_s.brushOrg; }
    Point SetWindowOrg(Point p);
    Point GetWindowOrg() const { return m_s.windowOrg; }
    Point SetViewportOrg(Point p);
    Point GetViewportOrg() const { return m_s.viewportOrg; }
    int32_t SetMapMode(int32_t mode);
    int32_t GetMapMode() const { return m_s.mapMode; }
    Size SetWindowExt(Size s);
    Size SetViewportExt(Size s);
    Point LPtoDP(Point p) const;
    Rect LPtoDP(const Rect& r) const;
    Point DPtoLP(Point p) const;

    // Clip in device coordinates; nullopt removes the clip.
    void SetDeviceClip(std::optional<Rect> device);
    std::optional<Rect> GetDeviceClip() const { return m_s.clip; }
    // The clip box in logical coordinates (the whole device without a clip).
    Rect GetClipBox() const;

    Pen SelectPen(const Pen& pen);
    Brush SelectBrush(const Brush& brush);
    const Font& SelectFont(const Font& font);
    const Font& GetFont() const { return *m_s.font; }

    // --- shapes ---------------------------------------------------------
    void FillRect(const Rect& r, const Brush& brush);
    bool PatBlt(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t rop);
    void MoveTo(Point p);
    Point GetCurrentPos() const { return m_pos; }
    void LineTo(Point p);
    void Rectangle(const Rect& r);
    void SetPixel(int32_t x, int32_t y, COLORREF c);
    // The colour at a logical point of an image DC; 0xFFFFFFFF elsewhere.
    COLORREF GetPixel(int32_t x, int32_t y) const;

    // --- text -----------------------------------------------------------
    TextMetrics GetTextMetrics() const { return m_s.font->Metrics(); }
    Size GetTextExtent(std::string_view utf8) const;
    bool TextOut(int32_t x, int32_t y, std::string_view utf8);
    // Tab stops: one entry gives evenly spaced stops; none gives 8 average
    // character widths. Positions count from tabOrigin.
    Size TabbedTextOut(int32_t x, int32_t y, std::string_view utf8, std::span<const int32_t> tabs,
                       int32_t tabOrigin);
    Size GetTabbedTextExtent(std::string_view utf8, std::span<const int32_t> tabs) const;
    // Lays out and draws (or with DT_CALCRECT measures) text in a rectangle;
    // returns the height of the text.
    int32_t DrawText(std::string_view utf8, Rect& rect, uint32_t format);

    // --- blits ----------------------------------------------------------
    bool BitBlt(int32_t x, int32_t y, int32_t w, int32_t h, Dc& src, int32_t sx, int32_t sy, uint32_t rop);
    bool StretchBlt(int32_t x, int32_t y, int32_t w, int32_t h, Dc& src, int32_t sx, int32_t sy, int32_t sw,
                    int32_t sh, uint32_t rop);
    // Draws an image (stretched when its size differs) with a raster operation.
    bool DrawImage(const Rect& dst, const QImage& image, uint32_t rop);
    // Plays a recording into a logical rectangle, scaled from `frame`.
    void PlayPicture(const QPicture& picture, const Rect& frame, const Rect& dst);

    // The painter with the logical mapping applied, for drawing that the
    // calls above do not cover (rich text, recordings); null for a metrics DC.
    QPainter* LogicalPainter();

  private:
    struct State {
        COLORREF bkColor{0xFFFFFF};
        int32_t bkMode{OPAQUE};
        COLORREF textColor{0};
        int32_t rop2{R2_COPYPEN};
        Point brushOrg;
        Point windowOrg;
        Point viewportOrg;
        Size windowExt{1, 1};
        Size viewportExt{1, 1};
        int32_t mapMode{MM_TEXT};
        std::optional<Rect> clip;
        Pen pen;
        Brush brush;
        const Font* font{nullptr};
    };

    void Begin(QPaintDevice& device);
    void ApplyClip();
    QPainter* DevicePainter();
    bool Blit(const Rect& dstDevice, QImage src, bool srcMono, COLORREF srcBk, uint32_t rop);
    void FillDevice(const Rect& device, COLORREF c);
    void PlotLine(Point a, Point b);

    DcKind m_kind;
    QPaintDevice* m_device{nullptr};
    Bitmap* m_bitmap{nullptr};
    std::unique_ptr<QPainter> m_painter;
    int32_t m_dpiX{96};
    int32_t m_dpiY{96};
    Size m_deviceSize;
    State m_s;
    std::vector<State> m_saved;
    Point m_pos;
    int32_t m_patternPos{0};
    std::unique_ptr<Font> m_defaultFont;
};

// Printer DCs that travel in 32-bit values (an automation "hDC") are
// registered here; every other DC is passed by reference.
plat::HandleTable<Dc>& PrinterDcs();

// Selects an object for a scope and selects the previous one back at its end.
template <typename T> class Selected {
  public:
    Selected(Dc& dc, const T& obj) : m_dc(dc), m_prev(Select(dc, obj)) {}
    ~Selected() { Select(m_dc, m_prev); }
    Selected(const Selected&) = delete;
    Selected& operator=(const Selected&) = delete;

  private:
    static T Select(Dc& dc, const T& o) {
        if constexpr (std::is_same_v<T, Pen>)
            return dc.SelectPen(o);
        else
            return dc.SelectBrush(o);
    }
    Dc& m_dc;
    T m_prev;
};

class SelectedFont {
  public:
    SelectedFont(Dc& dc, const Font& font) : m_dc(dc), m_prev(&dc.SelectFont(font)) {}
    ~SelectedFont() { m_dc.SelectFont(*m_prev); }
    SelectedFont(const SelectedFont&) = delete;
    SelectedFont& operator=(const SelectedFont&) = delete;

  private:
    Dc& m_dc;
    const Font* m_prev;
};

// Saves the DC's state for a scope.
class SavedDc {
  public:
    explicit SavedDc(Dc& dc) : m_dc(dc), m_level(dc.Save()) {}
    ~SavedDc() { m_dc.Restore(m_level); }
    SavedDc(const SavedDc&) = delete;
    SavedDc& operator=(const SavedDc&) = delete;

  private:
    Dc& m_dc;
    int32_t m_level;
};

} // namespace plat::gdi
