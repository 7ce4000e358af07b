#include <QtGui/QPdfWriter>
#include <QtGui/QTextDocument>
#include <cstdio>
#include <gtest/gtest.h>

#include "support/offscreen_gui.h"
#include "support/temp_dir.h"
#include "view_fixtures.h"
#include "vinca/views/font_holder.h"
#include "vinca/views/rich_text_host.h"

using namespace vinca;
using namespace plat::gdi;
using viewtest::At;
using viewtest::Filled;

namespace {

const bool kGui = kltest::InstallOffscreenGui();

TEST(FontHolder, ReadsAndChangesItsFont) {
    CFontHolder h;
    EXPECT_FALSE(h.GetFlag(FontFlag::Bold));
    EXPECT_EQ(h.GetSize(), 0.0f);
    h.SetFlag(FontFlag::Bold, true); // starts from the default description
    EXPECT_TRUE(h.GetFlag(FontFlag::Bold));
    EXPECT_FLOAT_EQ(h.GetSize(), 8.25f);
    h.SetSize(10);
    h.SetName("DejaVu Serif");
    EXPECT_EQ(h.GetName(), "DejaVu Serif");
    EXPECT_EQ(h.GetHandle().PixelSize(), 13);
    EXPECT_EQ(h.GetHandle().QtFont().weight(), QFont::Bold);
}

TEST(RichText, CellFormatOfABoldItalicTenPointFont) {
    FontDesc d = DefaultFontDesc();
    d.size = 100000;
    d.weight = 700;
    d.italic = true;
    RichCharFormat cf = CellCharFormat(d, RGB(1, 2, 3));
    EXPECT_EQ(cf.height, 200);
    EXPECT_EQ(cf.effects, 3u);
    EXPECT_EQ(CellParaFormat(0x1).alignment, PFA_CENTER);
    EXPECT_EQ(CellParaFormat(0x6).alignment, PFA_RIGHT);
    EXPECT_EQ(CellParaFormat(0x4).alignment, PFA_LEFT);
}

TEST(RichText, UnparsableTextShowsItsPlainCharacters) {
    CRichTextHost host(true);
    host.ApplyFormat(RichCharFormat{}, RichParaFormat{});
    EXPECT_FALSE(host.SetText("{\\rtf1 {unbalanced"));
    EXPECT_EQ(host.Document().toPlainText().toStdString(), "{\\rtf1 {unbalanced");
    EXPECT_TRUE(host.SetText("  {\\rtf1 {\\b ok}}"));
    EXPECT_EQ(host.Document().toPlainText().toStdString(), "ok");
}

TEST(RichText, MeasuresNaturallyOrAtAWidth) {
    CRichTextHost multi(true), single(false);
    multi.ApplyFormat({}, {});
    single.ApplyFormat({}, {});
    const char* text = "{\\rtf1 several words that will need more than one line}";
    Rect natural = single.Measure(text, {10, 20, 0, 0}); // no right edge
    EXPECT_EQ(natural.left, 10);
    EXPECT_EQ(natural.top, 20);
    EXPECT_GT(natural.Width(), 150);
    Rect wrapped = multi.Measure(text, {0, 0, 60, 0});
    EXPECT_LE(wrapped.Width(), 60);
    EXPECT_GT(wrapped.Width(), 30);
    EXPECT_GT(wrapped.Height(), 2 * natural.Height());
    EXPECT_TRUE(multi.Measure("", {0, 0, 60, 0}).IsEmpty());
}

TEST(RichText, DrawsInsideItsRectangleOnScreenAndOnAPage) {
    CRichTextHost host(true);
    FontDesc d = DefaultFontDesc();
    d.size = 100000;
    host.ApplyFormat(CellCharFormat(d, RGB(0, 0, 0)), {});
    const char* text = "{\\rtf1{\\colortbl;\\red200\\green0\\blue0;}{\\b Bold} {\\i italic} {\\cf1 red} "
                       "{\\ul under} caf\\'e9 \\u8364?\\par\\qc centred line}";
    Bitmap bmp = Filled(240, 80, RGB(255, 255, 255));
    {
        Dc dc(bmp);
        host.Draw(dc, text, {10, 10, 200, 60}, false);
    }
    viewtest::Save(bmp.Image(), "rich_text");
    bool ink = false, redInk = false;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 240; ++x) {
            COLORREF c = At(bmp, x, y);
            if (c == RGB(255, 255, 255)) continue;
            ink = true;
            if (GetRValue(c) > 150 && GetGValue(c) < 80) redInk = true;
            EXPECT_TRUE(x >= 10 && x < 200 && y >= 10 && y < 60) << x << "," << y;
        }
    EXPECT_TRUE(ink);
    EXPECT_TRUE(redInk);

    kltest::TempDir tmp;
    std::string pdf = (tmp / "rich.pdf").string();
    {
        QPdfWriter writer(QString::fromStdString(pdf));
        writer.setResolution(300);
        Dc dc(writer, DcKind::Printer, 300, 300);
        dc.SetMapMode(MM_ANISOTROPIC);
        dc.SetWindowExt({96, 96});
        dc.SetViewportExt({300, 300});
        host.Draw(dc, text, {10, 10, 300, 60}, true);
    }
    std::string cmd = "pdftotext '" + pdf + "' -";
    FILE* f = popen(cmd.c_str(), "r");
    ASSERT_TRUE(f);
    std::string out;
    char buf[256];
    while (size_t n = fread(buf, 1, sizeof buf, f))
        out.append(buf, n);
    pclose(f);
    for (const char* word : {"Bold", "italic", "red", "under", "café", "€", "centred line"})
        EXPECT_NE(out.find(word), std::string::npos) << word << " in " << out;
}

} // namespace
