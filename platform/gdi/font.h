#pragma once
// Fonts and text measuring. A font is made from a description (face, size in
// points, weight, effects) at 96 pixels per inch: its pixel size is
// MulDiv(points, LOGPIXELSY, 72) and it is used without kerning, so the width
// of a text is the sum of its characters' integer advances, the same on the
// screen, in an image and on a printer page mapped to screen units.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <QtGui/QFont>

#include "platform/gdi/geometry.h"

class QFontMetrics;

namespace plat::gdi {

struct FontSpec {
    std::string face{"DejaVu Sans"};
    int64_t size{80000}; // points in units of 1/10000
    int32_t weight{400};
    bool italic{false};
    bool underline{false};
    bool strikeout{false};
    friend bool operator==(const FontSpec&, const FontSpec&) = default;
};

struct TextMetrics {
    int32_t tmHeight{0};
    int32_t tmAscent{0};
    int32_t tmDescent{0};
    int32_t tmInternalLeading{0};
    int32_t tmExternalLeading{0};
    int32_t tmAveCharWidth{0};
    int32_t tmMaxCharWidth{0};
    int32_t tmWeight{0};
};

// Logical pixels per inch of the screen, 96 unless a test or the user set
// another value (applies to fonts made afterwards).
int32_t ScreenPixelsPerInch();
void SetScreenPixelsPerInch(int32_t dpi);

class Font {
  public:
    Font();
    explicit Font(const FontSpec& spec);
    ~Font();
    Font(const Font&);
    Font& operator=(const Font&);

    const FontSpec& Spec() const { return m_spec; }
    const QFont& QtFont() const { return m_font; }
    int32_t PixelSize() const { return m_pixelSize; }
    const TextMetrics& Metrics() const { return m_metrics; }

    // Advance of one character in whole pixels.
    int32_t Advance(char32_t c) const;
    // Sum of the advances of a UTF-8 text.
    int32_t Extent(std::string_view utf8) const;
    int32_t Extent(std::u32string_view text) const;

  private:
    void Build();

    FontSpec m_spec;
    QFont m_font;
    int32_t m_pixelSize{0};
    TextMetrics m_metrics;
    std::unique_ptr<QFontMetrics> m_fm;
    mutable int16_t m_ascii[128];
};

std::u32string ToU32(std::string_view utf8);
std::string ToUtf8(std::u32string_view text);

} // namespace plat::gdi
