#include <QtGui/QTextBlock>
#include <QtGui/QTextDocument>
#include <gtest/gtest.h>

#include "platform/gdi/rtf.h"
#include "support/offscreen_gui.h"

using namespace plat::gdi;

namespace {

const bool kGui = kltest::InstallOffscreenGui();

// Runs of a document as "text|b i u s|halfPoints" joined by "/".
std::string Runs(const QTextDocument& doc) {
    std::string out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        if (b != doc.begin()) out += "//";
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            QTextCharFormat cf = it.fragment().charFormat();
            if (!out.empty() && out.back() != '/') out += "/";
            out += it.fragment().text().toStdString() + "|";
            out += cf.fontWeight() >= QFont::Bold ? "b" : "";
            out += cf.fontItalic() ? "i" : "";
            out += cf.fontUnderline() ? "u" : "";
            out += cf.fontStrikeOut() ? "s" : "";
            out += "|" + std::to_string(cf.intProperty(kRtfHalfPointsProperty));
        }
    }
    return out;
}

TEST(Rtf, ReadsRunsCharactersAndSkipsDestinations) {
    struct Case {
        const char* rtf;
        const char* runs;
    } cases[] = {
        {"{\\rtf1 plain}", "plain||24"},
        {"  {\\rtf1\\ansi {\\b bold}{\\i\\fs20 it} \\ul u\\ulnone n\\strike s\\strike0 e}",
         "bold|b|24/it|i|20/ ||24/u|u|24/n||24/s|s|24/e||24"},
        {"{\\rtf1 caf\\'e9}", "café||24"},
        {"{\\rtf1\\ansicpg1251 \\'c4}", "Д||24"},
        {"{\\rtf1 a\\u8364?b\\uc2\\u8364xyc}", "a€b€c||24"},
        {"{\\rtf1 x{\\*\\unknown hidden}{\\pict 0123abcd}{\\object{\\objdata 00}}y}", "xy||24"},
        {"{\\rtf1 one\\par two\\line three\\tab four}", "one||24//two\u2028three\tfour||24"},
        {"{\\rtf1 \\{braces\\}\\\\}", "{braces}\\||24"},
        {"{\\rtf1 {\\b\\plain p}}", "p||24"},
    };
    for (const Case& c : cases) {
        QTextDocument doc;
        ASSERT_TRUE(ReadRtf(c.rtf, doc)) << c.rtf;
        EXPECT_EQ(Runs(doc), c.runs) << c.rtf;
    }
}

// The plain characters of a document, paragraphs joined by "//".
std::string Plain(const char* rtf) {
    QTextDocument doc;
    EXPECT_TRUE(ReadRtf(rtf, doc)) << rtf;
    QStringList blocks;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        blocks << b.text();
    return blocks.join(QStringLiteral("//")).toStdString();
}

TEST(Rtf, NamedCharactersHiddenTextAndFontCharacterSets) {
    struct Case {
        const char* rtf;
        const char* text;
    } cases[] = {
        {"{\\rtf1 \\lquote a\\rquote  \\ldblquote b\\rdblquote}", "\u2018a\u2019 \u201Cb\u201D"},
        {"{\\rtf1 \\bullet x\\endash y\\emdash z}", "\u2022x\u2013y\u2014z"},
        {"{\\rtf1 a\\emspace b\\enspace c\\qmspace d\\~e\\_f\\-g}",
         "a\u2003b\u2002c\u2005d\u00A0e\u2011f\u00ADg"},
        // Hidden text is left out, in a group or up to \v0, bytes included.
        {"{\\rtf1 a{\\v hidden}b\\v  gone\\'e9\\u8364?\\v0 c\\v\\rquote\\plain d}", "abcd"},
        {"{\\rtf1 one\\v\\par\\v0 two\\par three}", "onetwo//three"},
        // \fcharset of the font table decodes the font's bytes; without one
        // the document's code page applies.
        {"{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0\\fcharset0 A;}{\\f1\\fcharset204 B;}"
         "{\\f2\\fcharset161 C;}{\\f3\\fcharset128 D;}{\\f4\\cpg1250 E;}{\\f5 F;}}"
         "\\f0\\'e9 \\f1\\'c4\\'e0 \\f2\\'c1\\'e1 \\f3\\'82\\'a0 \\f4\\'9a \\f5\\'e9}",
         "\u00E9 \u0414\u0430 \u0391\u03B1 \u3042 \u0161 \u00E9"},
        // A font without a character set inherits the default font's.
        {"{\\rtf1\\deff1{\\fonttbl{\\f1\\fcharset204 B;}}\\'c4}", "\u0414"},
        // Font names in the table read in their own character set.
        {"{\\rtf1{\\fonttbl{\\f0\\fcharset204 \\'d8\\'f0;}}\\f0 x}", "x"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(QString::fromStdString(Plain(c.rtf)), QString::fromUtf8(c.text)) << c.rtf;
}

TEST(Rtf, RefusesWhatItCannotParseAndLeavesTheDocument) {
    std::string deep = "{\\rtf1 ";
    for (int i = 0; i < 100; ++i)
        deep += "{";
    for (int i = 0; i < 100; ++i)
        deep += "}";
    deep += "}";
    const std::string bad[] = {
        "plain text",     "{\\rtf1 unclosed", "{\\rtf1 x}}", "{\\rtf1 \\fs99999999999 x}",
        "{\\rtf1 \\'zz}", "{\\rtf1 \\'4",     deep,          "{\\rtf1 \\u-}",
    };
    for (const std::string& b : bad) {
        QTextDocument doc;
        doc.setPlainText("kept");
        EXPECT_FALSE(ReadRtf(b, doc)) << b;
        EXPECT_EQ(doc.toPlainText().toStdString(), "kept") << b;
    }
    std::string ok = "{\\rtf1 " + std::string(99, '{') + std::string(99, '}') + "}";
    QTextDocument doc;
    EXPECT_TRUE(ReadRtf(ok, doc)); // 99 groups inside the outer one
}

TEST(Rtf, FontsColoursAndParagraphs) {
    QTextDocument doc;
    ASSERT_TRUE(ReadRtf("{\\rtf1\\deff0{\\fonttbl{\\f0 DejaVu Sans;}{\\f1\\fmodern DejaVu Sans Mono;}}"
                        "{\\colortbl;\\red255\\green0\\blue0;}"
                        "\\pard\\qc\\li300 {\\f1\\cf1 red mono}\\par\\pard\\qr right}",
                        doc));
    QTextBlock first = doc.begin();
    EXPECT_TRUE(first.blockFormat().alignment() & Qt::AlignHCenter);
    EXPECT_DOUBLE_EQ(first.blockFormat().leftMargin(), 20.0);
    QTextCharFormat cf = first.begin().fragment().charFormat();
    EXPECT_EQ(cf.fontFamilies().toStringList().value(0), "DejaVu Sans Mono");
    EXPECT_EQ(cf.foreground().color(), QColor(255, 0, 0));
    EXPECT_TRUE(first.next().blockFormat().alignment() & Qt::AlignRight);
}

TEST(Rtf, WriterOutputReadsBackTheSame) {
    QTextDocument doc;
    const char* src =
        "{\\rtf1{\\colortbl;\\red0\\green128\\blue0;}\\pard\\qc{\\b\\fs20 Bold }{\\i\\cf1 green "
        "caf\\'e9 \\u8364?}\\par\\pard\\li150\\fi-75 {\\ul\\strike x\\{y\\}\\tab z}}";
    ASSERT_TRUE(ReadRtf(src, doc));
    std::string written = WriteRtf(doc);
    QTextDocument back;
    ASSERT_TRUE(ReadRtf(written, back)) << written;
    EXPECT_EQ(Runs(back), Runs(doc));
    EXPECT_EQ(back.toPlainText(), doc.toPlainText());
    EXPECT_TRUE(back.begin().blockFormat().alignment() & Qt::AlignHCenter);
    EXPECT_DOUBLE_EQ(back.begin().next().blockFormat().textIndent(), -5.0);
    EXPECT_EQ(Runs(back), "Bold |b|20/green café €|i|24//x{y}\tz|us|24");
}

} // namespace
