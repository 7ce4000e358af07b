#include <QtGui/QTextBlock>
#include <QtGui/QTextDocument>
#include <map>
#include <vector>

#include "platform/gdi/font.h"
#include "platform/gdi/rtf.h"

namespace plat::gdi {

namespace {

void Escape(std::string& out, const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        char16_t c = text[i].unicode();
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '{':
            out += "\\{";
            break;
        case '}':
            out += "\\}";
            break;
        case '\t':
            out += "\\tab ";
            break;
        case 0x2028:
        case '\n':
            out += "\\line ";
            break;
        default:
            if (c >= 0x20 && c < 0x80) {
                out.push_back(char(c));
            } else if (c >= 0x80) {
                // Every character beyond ASCII as Unicode with a '?' fallback;
                // surrogate halves go one by one, as the format wants.
                out += "\\u" + std::to_string(int16_t(c)) + "?";
            }
        }
    }
}

} // namespace

std::string WriteRtf(const QTextDocument& doc) {
    std::vector<QString> fonts;
    std::vector<COLORREF> colors;
    auto fontIndex = [&](const QString& face) {
        for (size_t i = 0; i < fonts.size(); ++i)
            if (fonts[i] == face) return int(i);
        fonts.push_back(face);
        return int(fonts.size() - 1);
    };
    auto colorIndex = [&](COLORREF c) {
        for (size_t i = 0; i < colors.size(); ++i)
            if (colors[i] == c) return int(i + 1);
        colors.push_back(c);
        return int(colors.size());
    };

    std::string body;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        QTextBlockFormat bf = block.blockFormat();
        body += "\\pard";
        Qt::Alignment a = bf.alignment() & Qt::AlignHorizontal_Mask;
        body += (a & Qt::AlignHCenter)   ? "\\qc"
                : (a & Qt::AlignRight)   ? "\\qr"
                : (a & Qt::AlignJustify) ? "\\qj"
                                         : "\\ql";
        if (int li = int(bf.leftMargin() * 15 + 0.5)) body += "\\li" + std::to_string(li);
        if (int ri = int(bf.rightMargin() * 15 + 0.5)) body += "\\ri" + std::to_string(ri);
        if (int fi = int(bf.textIndent() * 15 + (bf.textIndent() < 0 ? -0.5 : 0.5)))
            body += "\\fi" + std::to_string(fi);
        body += ' ';
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            QTextFragment frag = it.fragment();
            if (!frag.isValid()) continue;
            QTextCharFormat cf = frag.charFormat();
            QStringList families = cf.fontFamilies().toStringList();
            QString face = families.isEmpty() ? QStringLiteral("DejaVu Sans") : families.front();
            int halfPoints =
                cf.hasProperty(kRtfHalfPointsProperty) ? cf.intProperty(kRtfHalfPointsProperty)
                : cf.hasProperty(QTextFormat::FontPixelSize)
                    ? (cf.intProperty(QTextFormat::FontPixelSize) * 144 + ScreenPixelsPerInch() / 2) /
                          ScreenPixelsPerInch()
                : cf.fontPointSize() > 0 ? int(cf.fontPointSize() * 2 + 0.5)
                                         : 24;
            body += "{\\plain\\f" + std::to_string(fontIndex(face)) + "\\fs" + std::to_string(halfPoints);
            if (cf.fontWeight() >= QFont::DemiBold) body += "\\b";
            if (cf.fontItalic()) body += "\\i";
            if (cf.fontUnderline()) body += "\\ul";
            if (cf.fontStrikeOut()) body += "\\strike";
            if (cf.hasProperty(QTextFormat::ForegroundBrush))
                body += "\\cf" + std::to_string(colorIndex(FromQColor(cf.foreground().color())));
            body += ' ';
            Escape(body, frag.text());
            body += '}';
        }
        if (block.next().isValid()) body += "\\par\n";
    }

    std::string out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl";
    if (fonts.empty()) fonts.push_back(QStringLiteral("DejaVu Sans"));
    for (size_t i = 0; i < fonts.size(); ++i) {
        out += "{\\f" + std::to_string(i) + " ";
        Escape(out, fonts[i]);
        out += ";}";
    }
    out += "}\n{\\colortbl;";
    for (COLORREF c : colors)
        out += "\\red" + std::to_string(GetRValue(c)) + "\\green" + std::to_string(GetGValue(c)) + "\\blue" +
               std::to_string(GetBValue(c)) + ";";
    out += "}\n";
    out += body;
    out += "}";
    return out;
}

} // namespace plat::gdi
