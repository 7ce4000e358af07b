#include "platform/gdi/font.h"

#include <QtCore/QString>
#include <QtGui/QFontMetrics>
#include <atomic>

namespace plat::gdi {

namespace {
std::atomic<int32_t> g_dpi{96};
}

int32_t ScreenPixelsPerInch() {
    return g_dpi.load();
}
void SetScreenPixelsPerInch(int32_t dpi) {
    g_dpi = dpi > 0 ? dpi : 96;
}

Font::Font() : Font(FontSpec{}) {}

Font::Font(const FontSpec& spec) : m_spec(spec) {
    Build();
}

Font::~Font() = default;

Font::Font(const Font& o) : m_spec(o.m_spec) {
    Build();
}

Font& Font::operator=(const Font& o) {
    if (this != &o) {
        m_spec = o.m_spec;
        Build();
    }
    return *this;
}

void Font::Build() {
    // Points in 1/10000 to pixels, rounded the way the window system does.
    int64_t px = (m_spec.size * ScreenPixelsPerInch() * 2 + 720000) / (720000 * 2);
    m_pixelSize = int32_t(std::max<int64_t>(1, std::min<int64_t>(px, 4096)));
    m_font = QFont(QString::fromStdString(m_spec.face));
    m_font.setPixelSize(m_pixelSize);
    m_font.setKerning(false);
    m_font.setWeight(QFont::Weight(std::clamp(m_spec.weight, 1, 1000)));
    m_font.setItalic(m_spec.italic);
    m_font.setUnderline(m_spec.underline);
    m_font.setStrikeOut(m_spec.strikeout);
    m_font.setHintingPreference(QFont::PreferFullHinting);
    m_fm = std::make_unique<QFontMetrics>(m_font);
    m_metrics.tmAscent = m_fm->ascent();
    m_metrics.tmDescent = m_fm->descent();
    m_metrics.tmHeight = m_metrics.tmAscent + m_metrics.tmDescent;
    m_metrics.tmInternalLeading = std::max(0, m_metrics.tmHeight - m_pixelSize);
    m_metrics.tmExternalLeading = std::max(0, m_fm->leading());
    m_metrics.tmAveCharWidth = m_fm->averageCharWidth();
    m_metrics.tmMaxCharWidth = m_fm->maxWidth();
    m_metrics.tmWeight = m_spec.weight;
    for (auto& a : m_ascii)
        a = -1;
}

int32_t Font::Advance(char32_t c) const {
    if (c < 128) {
        if (m_ascii[c] < 0) m_ascii[c] = int16_t(m_fm->horizontalAdvance(QChar(char16_t(c))));
        return m_ascii[c];
    }
    char32_t buf[1] = {c};
    return m_fm->horizontalAdvance(QString::fromUcs4(buf, 1));
}

int32_t Font::Extent(std::u32string_view text) const {
    int32_t w = 0;
    for (char32_t c : text)
        w += Advance(c);
    return w;
}

int32_t Font::Extent(std::string_view utf8) const {
    return Extent(ToU32(utf8));
}

std::u32string ToU32(std::string_view utf8) {
    std::u32string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        auto b = uint8_t(utf8[i]);
        char32_t c = 0xFFFD;
        size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        if (n == 1) {
            c = b;
        } else if (n && i + n <= utf8.size()) {
            c = b & (0x7F >> n);
            bool ok = true;
            for (size_t k = 1; k < n; ++k) {
                auto cb = uint8_t(utf8[i + k]);
                if ((cb & 0xC0) != 0x80) ok = false;
                c = (c << 6) | (cb & 0x3F);
            }
            if (!ok) {
                c = 0xFFFD;
                n = 1;
            }
        } else {
            n = 1;
        }
        out.push_back(c);
        i += n;
    }
    return out;
}

std::string ToUtf8(std::u32string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t c : text) {
        if (c < 0x80) {
            out.push_back(char(c));
        } else if (c < 0x800) {
            out.push_back(char(0xC0 | (c >> 6)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(char(0xE0 | (c >> 12)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else {
            out.push_back(char(0xF0 | (c >> 18)));
            out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

} // namespace plat::gdi
