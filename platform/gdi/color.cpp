#include "platform/gdi/color.h"

#include <QtGui/QColor>
#include <QtGui/QGuiApplication>
#include <QtGui/QPalette>

namespace plat::gdi {

namespace {

struct SysEntry {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

// Where each system colour comes from in the application palette.
constexpr SysEntry kSysColors[] = {
    {QPalette::Active, QPalette::Button},          // scroll bar
    {QPalette::Active, QPalette::Window},          // desktop
    {QPalette::Active, QPalette::Highlight},       // active caption
    {QPalette::Inactive, QPalette::Button},        // inactive caption
    {QPalette::Active, QPalette::Base},            // menu
    {QPalette::Active, QPalette::Base},            // window
    {QPalette::Active, QPalette::Shadow},          // window frame
    {QPalette::Active, QPalette::Text},            // menu text
    {QPalette::Active, QPalette::Text},            // window text
    {QPalette::Active, QPalette::HighlightedText}, // caption text
    {QPalette::Active, QPalette::Button},          // active border
    {QPalette::Inactive, QPalette::Button},        // inactive border
    {QPalette::Active, QPalette::Dark},            // application workspace
    {QPalette::Active, QPalette::Highlight},       // highlight
    {QPalette::Active, QPalette::HighlightedText}, // highlight text
    {QPalette::Active, QPalette::Button},          // button face
    {QPalette::Active, QPalette::Dark},            // button shadow
    {QPalette::Disabled, QPalette::Text},          // grey text
    {QPalette::Active, QPalette::ButtonText},      // button text
    {QPalette::Inactive, QPalette::ButtonText},    // inactive caption text
    {QPalette::Active, QPalette::Light},           // button highlight
    {QPalette::Active, QPalette::Shadow},          // 3-D dark shadow
    {QPalette::Active, QPalette::Midlight},        // 3-D light
    {QPalette::Active, QPalette::ToolTipText},     // tip text
    {QPalette::Active, QPalette::ToolTipBase},     // tip background
    {QPalette::Active, QPalette::Button},          // (25, unused)
    {QPalette::Active, QPalette::Link},            // hot light
    {QPalette::Active, QPalette::Highlight},       // gradient active caption
    {QPalette::Inactive, QPalette::Button},        // gradient inactive caption
    {QPalette::Active, QPalette::Highlight},       // menu highlight
    {QPalette::Active, QPalette::Button},          // menu bar
};

} // namespace

COLORREF GetSysColor(int32_t index) {
    if (index < 0 || index >= int32_t(std::size(kSysColors)) || !QGuiApplication::instance()) return 0;
    const SysEntry& e = kSysColors[index];
    return FromQColor(QGuiApplication::palette().color(e.group, e.role));
}

std::optional<COLORREF> TranslateOleColor(OLE_COLOR color) {
    switch (color >> 24) {
    case 0x80: {
        uint32_t index = color & 0x00FFFFFF;
        if (index >= std::size(kSysColors)) return std::nullopt;
        return GetSysColor(int32_t(index));
    }
    case 0x00:
    case 0x02:
        return color;
    case 0x01:
        return RGB(0, 0, 0);
    default:
        return std::nullopt;
    }
}

QColor ToQColor(COLORREF c) {
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

COLORREF FromQColor(const QColor& c) {
    return RGB(uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue()));
}

} // namespace plat::gdi
