#pragma once
// Colours as the control stores them. A COLORREF is 0x00BBGGRR. An OLE colour
// is a COLORREF, or 0x800000nn for system colour nn, or 0x01000000 | index
// for a palette entry. Bit 0x02000000 marks "no colour": whatever would be
// filled with it is left alone. There are no palettes here; palette indexes
// translate to black.
#include <cstdint>
#include <optional>

class QColor;

namespace plat::gdi {

using COLORREF = uint32_t;
using OLE_COLOR = uint32_t;

inline constexpr uint32_t kNoColorBit = 0x02000000;
inline constexpr uint32_t kSysColorBit = 0x80000000;

constexpr COLORREF RGB(uint8_t r, uint8_t g, uint8_t b) {
    return COLORREF(r) | (COLORREF(g) << 8) | (COLORREF(b) << 16);
}
constexpr uint8_t GetRValue(COLORREF c) {
    return uint8_t(c);
}
constexpr uint8_t GetGValue(COLORREF c) {
    return uint8_t(c >> 8);
}
constexpr uint8_t GetBValue(COLORREF c) {
    return uint8_t(c >> 16);
}
constexpr bool IsNoColor(uint32_t c) {
    return (c & kSysColorBit) == 0 && (c & kNoColorBit) != 0;
}

// System colour indexes the control uses.
enum SysColor : int32_t {
    COLOR_SCROLLBAR = 0,
    COLOR_BACKGROUND = 1,
    COLOR_ACTIVECAPTION = 2,
    COLOR_INACTIVECAPTION = 3,
    COLOR_MENU = 4,
    COLOR_WINDOW = 5,
    COLOR_WINDOWFRAME = 6,
    COLOR_MENUTEXT = 7,
    COLOR_WINDOWTEXT = 8,
    COLOR_CAPTIONTEXT = 9,
    COLOR_ACTIVEBORDER = 10,
    COLOR_INACTIVEBORDER = 11,
    COLOR_APPWORKSPACE = 12,
    COLOR_HIGHLIGHT = 13,
    COLOR_HIGHLIGHTTEXT = 14,
    COLOR_BTNFACE = 15,
    COLOR_BTNSHADOW = 16,
    COLOR_GRAYTEXT = 17,
    COLOR_BTNTEXT = 18,
    COLOR_INACTIVECAPTIONTEXT = 19,
    COLOR_BTNHIGHLIGHT = 20,
    COLOR_3DDKSHADOW = 21,
    COLOR_3DLIGHT = 22,
    COLOR_INFOTEXT = 23,
    COLOR_INFOBK = 24,
    COLOR_HOTLIGHT = 26,
    COLOR_GRADIENTACTIVECAPTION = 27,
    COLOR_GRADIENTINACTIVECAPTION = 28,
    COLOR_MENUHILIGHT = 29,
    COLOR_MENUBAR = 30,
};

// A system colour read from the application's palette (black before an
// application exists or for an unknown index).
COLORREF GetSysColor(int32_t index);

// The COLORREF an OLE colour stands for. System colours are resolved now;
// the no-colour bit is kept, so a later fill still leaves the area alone.
// Empty for an unknown system colour or an unknown high byte.
std::optional<COLORREF> TranslateOleColor(OLE_COLOR color);

QColor ToQColor(COLORREF c);
COLORREF FromQColor(const QColor& c);

} // namespace plat::gdi
