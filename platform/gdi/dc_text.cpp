// Text output of the DC: plain, tabbed and laid out in a rectangle. Lines are
// broken the way the window system breaks them: at line ends, and with word
// breaking between words, never inside a word that is wider than the line.
#include "platform/gdi/dc.h"

#include <QtCore/QString>
#include <QtGui/QPainter>

namespace plat::gdi {

namespace {

// The width a tab at `pos` (measured from the tab origin) advances to.
int32_t NextTab(int32_t pos, std::span<const int32_t> tabs, int32_t defaultStep) {
    if (tabs.size() > 1) {
        for (int32_t t : tabs)
            if (t > pos) return t;
        int32_t step = tabs.back() > 0 ? tabs.back() : defaultStep;
        return (pos / step + 1) * step;
    }
    int32_t step = tabs.size() == 1 && tabs[0] > 0 ? tabs[0] : defaultStep;
    return (pos / step + 1) * step;
}

// Runs of text between tabs with their x positions.
struct Run {
    int32_t x;
    std::u32string text;
};

std::vector<Run> TabRuns(const Font& font, std::u32string_view text, std::span<const int32_t> tabs,
                         int32_t originOffset, int32_t& width) {
    std::vector<Run> runs;
    int32_t step = font.Metrics().tmAveCharWidth * 8;
    if (step <= 0) step = 8;
    int32_t x = 0;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == U'\t') {
            std::u32string piece(text.substr(start, i - start));
            int32_t w = font.Extent(piece);
            if (!piece.empty()) runs.push_back({x, std::move(piece)});
            x += w;
            if (i < text.size()) x = NextTab(x + originOffset, tabs, step) - originOffset;
            start = i + 1;
        }
    }
    width = x;
    return runs;
}

QString ToQString(std::u32string_view t) {
    return QString::fromUcs4(t.data(), qsizetype(t.size()));
}

} // namespace

Size Dc::GetTextExtent(std::string_view utf8) const {
    return {m_s.font->Extent(utf8), m_s.font->Metrics().tmHeight};
}

bool Dc::TextOut(int32_t x, int32_t y, std::string_view utf8) {
    std::u32string text = ToU32(utf8);
    const Font& font = *m_s.font;
    int32_t w = font.Extent(text);
    if (m_s.bkMode == OPAQUE) FillDevice(LPtoDP(Rect{x, y, x + w, y + font.Metrics().tmHeight}), m_s.bkColor);
    QPainter* p = LogicalPainter();
    if (!p) return m_kind == DcKind::Metrics;
    p->setFont(font.QtFont());
    p->setPen(ToQColor(m_s.textColor));
    // Character by character at our own advances, so drawn text lines up
    // exactly with what the measuring calls answered.
    int32_t cx = x;
    int32_t base = y + font.Metrics().tmAscent;
    if (font.Spec().underline || font.Spec().strikeout) {
        // Lines run under the spaces too, so the text goes in one piece.
        p->drawText(QPointF(cx, base), ToQString(text));
        return true;
    }
    size_t i = 0;
    while (i < text.size()) {
        size_t j = i;
        while (j < text.size() && text[j] != U' ')
            ++j;
        if (j > i) p->drawText(QPointF(cx, base), ToQString(std::u32string_view(text).substr(i, j - i)));
        cx += font.Extent(std::u32string_view(text).substr(i, j - i));
        while (j < text.size() && text[j] == U' ')
            cx += font.Advance(text[j++]);
        i = j;
    }
    return true;
}

Size Dc::GetTabbedTextExtent(std::string_view utf8, std::span<const int32_t> tabs) const {
    int32_t width = 0;
    TabRuns(*m_s.font, ToU32(utf8), tabs, 0, width);
    return {width, m_s.font->Metrics().tmHeight};
}

Size Dc::TabbedTextOut(int32_t x, int32_t y, std::string_view utf8, std::span<const int32_t> tabs,
                       int32_t tabOrigin) {
    int32_t width = 0;
    auto runs = TabRuns(*m_s.font, ToU32(utf8), tabs, x - tabOrigin, width);
    int32_t h = m_s.font->Metrics().tmHeight;
    if (m_s.bkMode == OPAQUE) FillDevice(LPtoDP(Rect{x, y, x + width, y + h}), m_s.bkColor);
    int32_t mode = SetBkMode(TRANSPARENT);
    for (const Run& r : runs)
        TextOut(x + r.x, y, ToUtf8(r.text));
    SetBkMode(mode);
    return {width, h};
}

int32_t Dc::DrawText(std::string_view utf8, Rect& rect, uint32_t format) {
    const Font& font = *m_s.font;
    const TextMetrics& tm = font.Metrics();
    int32_t lineHeight = tm.tmHeight + ((format & DT_EXTERNALLEADING) ? tm.tmExternalLeading : 0);
    std::u32string text = ToU32(utf8);
    std::span<const int32_t> noTabs;
    bool tabs = format & DT_EXPANDTABS;
    auto width = [&](std::u32string_view s) {
        if (!tabs) return font.Extent(s);
        int32_t w = 0;
        TabRuns(font, s, noTabs, 0, w);
        return w;
    };

    // Split into lines.
    std::vector<std::u32string> lines;
    if (format & DT_SINGLELINE) {
        lines.push_back(text);
    } else {
        std::vector<std::u32string> paragraphs;
        std::u32string cur;
        for (size_t i = 0; i < text.size(); ++i) {
            char32_t c = text[i];
            if (c == U'\r' || c == U'\n') {
                paragraphs.push_back(std::move(cur));
                cur.clear();
                if (c == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') ++i;
            } else {
                cur.push_back(c);
            }
        }
        paragraphs.push_back(std::move(cur));
        int32_t limit = rect.Width();
        for (auto& para : paragraphs) {
            if (!(format & DT_WORDBREAK) || width(para) <= limit) {
                lines.push_back(std::move(para));
                continue;
            }
            // Greedy: as many words as fit; spaces at a break are dropped.
            size_t pos = 0, n = para.size();
            std::u32string_view pv(para);
            while (pos < n) {
                size_t lineEnd = std::u32string::npos, scan = pos;
                while (scan < n) {
                    size_t wordEnd = scan;
                    while (wordEnd < n && pv[wordEnd] != U' ')
                        ++wordEnd;
                    if (lineEnd != std::u32string::npos && width(pv.substr(pos, wordEnd - pos)) > limit)
                        break;
                    lineEnd = wordEnd; // the first word of a line always stays on it
                    scan = wordEnd;
                    while (scan < n && pv[scan] == U' ')
                        ++scan;
                    if (width(pv.substr(pos, lineEnd - pos)) > limit) break;
                }
                lines.emplace_back(pv.substr(pos, lineEnd - pos));
                pos = lineEnd;
                while (pos < n && pv[pos] == U' ')
                    ++pos;
            }
        }
    }

    int32_t maxWidth = 0;
    for (auto& l : lines)
        maxWidth = std::max(maxWidth, width(l));
    int32_t total = lineHeight * int32_t(lines.size());
    if (format & DT_CALCRECT) {
        rect.right = rect.left + maxWidth;
        rect.bottom = rect.top + total;
        return total;
    }

    int32_t y = rect.top;
    if (format & DT_SINGLELINE) {
        if (format & DT_BOTTOM)
            y = rect.bottom - lineHeight;
        else if (format & DT_VCENTER)
            y = rect.top + (rect.Height() - lineHeight) / 2;
    }
    std::optional<Rect> savedClip = m_s.clip;
    if (!(format & DT_NOCLIP)) {
        Rect d = LPtoDP(rect);
        SetDeviceClip(savedClip ? savedClip->Intersect(d) : d);
    }
    for (auto& l : lines) {
        int32_t w = width(l);
        int32_t x = rect.left;
        if (format & DT_CENTER)
            x = rect.left + (rect.Width() - w) / 2;
        else if (format & DT_RIGHT)
            x = rect.right - w;
        if (tabs)
            TabbedTextOut(x, y, ToUtf8(l), noTabs, x);
        else
            TextOut(x, y, ToUtf8(l));
        y += lineHeight;
    }
    if (!(format & DT_NOCLIP)) SetDeviceClip(savedClip);
    return (y - lineHeight * int32_t(lines.size()) - rect.top) + total;
}

} // namespace plat::gdi
