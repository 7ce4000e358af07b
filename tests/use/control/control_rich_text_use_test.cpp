// Grid cells as a person sees them on the screen: the registered control
// made by its ProgID in a host window on a real X display, its cells set up
// through IDispatch, and the ink read back from the X screen. Rich text
// stands in its cell where plain text of the same words stands; a metafile
// picture drawn into a cell of another size covers the whole cell.
#include <gtest/gtest.h>

#include <QtGui/QImage>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "support/gui/x_input.h"
#include "support/metafiles.h"
#include "support/temp_dir.h"
#include "vinca/control/hosted_control.h"

using plat::Variant;

namespace {

namespace x = kltest::x;

Variant I2(int16_t v) {
    return Variant(v);
}
Variant I4(int32_t v) {
    return Variant(v);
}

// Members of the automation objects the control hands out.
Variant Get(const Variant& obj, std::string_view name, std::vector<Variant> index = {}) {
    EXPECT_EQ(obj.vt, plat::VT_DISPATCH) << name;
    Variant v;
    plat::CallError e;
    if (obj.vt == plat::VT_DISPATCH)
        EXPECT_EQ(plat::dispatch_get(obj.pdispVal, name, v, index, &e), plat::S_OK)
            << name << ": " << e.number;
    return v;
}
void Put(const Variant& obj, std::string_view name, const Variant& value, std::vector<Variant> index = {}) {
    EXPECT_EQ(obj.vt, plat::VT_DISPATCH) << name;
    plat::CallError e;
    if (obj.vt == plat::VT_DISPATCH)
        EXPECT_EQ(plat::dispatch_put(obj.pdispVal, name, value, index, &e), plat::S_OK)
            << name << ": " << e.number;
}

// The bounding box of the pixels of `img` inside `area` that `ink` picks.
QRect InkIn(const QImage& img, const QRect& area, const std::function<bool(QColor)>& ink) {
    QRect box;
    const QRect r = area.intersected(img.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int xx = r.left(); xx <= r.right(); ++xx)
            if (ink(QColor(img.pixel(xx, y)))) box |= QRect(xx, y, 1, 1);
    return box;
}

bool Dark(QColor c) {
    return qGray(c.rgb()) < 128;
}

// The ink of a cell cut into its lines of text: bands of rows with ink,
// separated by rows without.
std::vector<QRect> InkLines(const QImage& img, const QRect& area) {
    std::vector<QRect> lines;
    QRect line;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const QRect row = InkIn(img, QRect(area.left(), y, area.width(), 1), Dark);
        if (!row.isEmpty()) {
            line |= row;
        } else if (!line.isEmpty()) {
            lines.push_back(line);
            line = {};
        }
    }
    if (!line.isEmpty()) lines.push_back(line);
    return lines;
}

class CellDrawing : public kltest::HostedControl {
  protected:
    plat::ComPtr<plat::IDispatch> create_control() override { return host.create("Vinca.Vinca.5"); }
    void SetUp() override {
        HostedControl::SetUp();
        if (!x::available()) GTEST_SKIP() << "no X server with XTest";
        put("ToolTipsMode", I2(0));
    }

    // The tree grid with `widths.size()` columns beside the tree column,
    // each `widths[i]` pixels wide, and `rows` items whose rows are
    // `rowHeight` pixels high.
    Variant grid(const std::vector<int32_t>& widths, int32_t rows, int32_t rowHeight) {
        put("Redraw", Variant::boolean(false));
        put("HasGrid", Variant::boolean(true));
        Variant g = get("Grid");
        Put(g, "Cols", I4(int32_t(widths.size()) + 2));
        const Variant defs = Get(g, "ColDefs");
        for (size_t i = 0; i < widths.size(); ++i)
            Put(Get(defs, "Item", {I4(int32_t(i) + 2)}), "Width", Variant(float(widths[i] * 15)));
        for (int32_t i = 0; i < rows; ++i)
            call("AddItem", {Variant(std::string_view(std::to_string(i + 1)))});
        Put(g, "RowHeight", Variant(float(rowHeight * 15)), {I4(-1)});
        return g;
    }
    static Variant cell_def(const Variant& g, int32_t row, int32_t col) {
        return Get(Get(g, "Cells", {I4(row), I4(col)}), "CellDef");
    }
    static void set_value(const Variant& g, int32_t row, int32_t col, std::string_view text) {
        Put(Get(Get(g, "Cells", {I4(row), I4(col)}), "Value"), "Value", Variant(text));
    }
    // A grid cell's rectangle in the view's pixels, from its twips.
    static QRect cell(const Variant& g, int32_t row, int32_t col) {
        const Variant c = Get(g, "Cells", {I4(row), I4(col)});
        auto px = [&](const char* name) { return int32_t(Get(c, name).to_r8() / 15); };
        return QRect(px("Left"), px("Top"), px("Width"), px("Height"));
    }
    // The part of a cell inside its grid lines, which take its last column
    // and row of pixels.
    static QRect inside(const QRect& cell) { return cell.adjusted(0, 0, -1, -1); }
    QImage screen(const std::string& name) {
        put("Redraw", Variant::boolean(true));
        EXPECT_TRUE(x::activate(&host));
        x::settle(50);
        const QImage img = x::grab(view()).convertToFormat(QImage::Format_RGB32);
        x::save_shot(img, name);
        return img;
    }
};

// Plain text in one column and the same words as rich text in the next,
// both columns of one width, for every text alignment and beside a picture:
// the rich text's ink stands where the plain text's does, and without a
// picture both stand where the alignment says.
TEST_F(CellDrawing, RichTextStandsInItsCellWherePlainTextStands) {
    constexpr int32_t kWidth = 240, kHeight = 40;
    constexpr int16_t kNoPicture = -1, kPicLeft = 0, kPicRight = 1;
    struct Case {
        int16_t align;
        int16_t picture; // EAlignment of the picture, or none
    };
    std::vector<Case> cases;
    for (int16_t align = 1; align <= 9; ++align)
        cases.push_back({align, kNoPicture});
    for (const Case& k : {Case{5, kPicLeft}, Case{5, kPicRight}, Case{8, kPicLeft}, Case{2, kPicRight}})
        cases.push_back(k);
    const char* plain = "Wide Words";
    const char* rich = "{\\rtf1 Wide Words}";

    // A pale picture, so that only the text is dark.
    kltest::TempDir dir;
    QImage pale(40, 20, QImage::Format_RGB32);
    pale.fill(qRgb(170, 240, 170));
    ASSERT_TRUE(pale.save(QString::fromStdString((dir / "pale.bmp").string()), "BMP"));
    const Variant pic = call("LoadPicture", {Variant(std::string_view((dir / "pale.bmp").string()))});
    ASSERT_EQ(pic.vt, plat::VT_DISPATCH);

    host.resize(760, 640);
    const Variant g = grid({kWidth, kWidth}, int32_t(cases.size()), kHeight);
    for (size_t i = 0; i < cases.size(); ++i) {
        const int32_t row = int32_t(i) + 1;
        for (int32_t col : {2, 3}) {
            const Variant def = cell_def(g, row, col);
            Put(def, "TextAlignment", I2(cases[i].align));
            Put(def, "RTFStyle", I2(1));
            if (cases[i].picture != kNoPicture) {
                Put(def, "Picture", pic);
                Put(def, "PictureAlignment", I2(5));
                Put(def, "Alignment", I2(cases[i].picture));
            }
            set_value(g, row, col, col == 3 ? rich : plain);
        }
    }
    const QImage img = screen("control_rich_text_aligned");

    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& k = cases[i];
        const int32_t row = int32_t(i) + 1;
        SCOPED_TRACE("alignment " + std::to_string(k.align) + ", picture " + std::to_string(k.picture));
        const QRect pc = inside(cell(g, row, 2)), rc = inside(cell(g, row, 3));
        ASSERT_EQ(pc.size(), rc.size());
        ASSERT_EQ(pc.size(), QSize(kWidth - 1, kHeight - 1));
        const QRect p = InkIn(img, pc, Dark), r = InkIn(img, rc, Dark);
        ASSERT_FALSE(p.isEmpty());
        ASSERT_FALSE(r.isEmpty()) << "no rich text drawn";
        // The same words in the same font: the same ink, at the same place
        // in its cell.
        EXPECT_NEAR(r.width(), p.width(), 1);
        EXPECT_NEAR(r.left() - rc.left(), p.left() - pc.left(), 1);
        EXPECT_NEAR(r.top() - rc.top(), p.top() - pc.top(), 1);
        if (k.picture != kNoPicture) continue;
        // Where the alignment puts it: columns of three, left, centre, right;
        // in each, top, middle, bottom.
        const int hc = (k.align - 1) / 3, vc = (k.align - 1) % 3;
        for (const auto& [ink, box] : {std::pair{p, pc}, std::pair{r, rc}}) {
            const int spareLeft = ink.left() - box.left(), spareRight = box.right() - ink.right();
            const int spareTop = ink.top() - box.top(), spareBottom = box.bottom() - ink.bottom();
            if (hc == 0) EXPECT_LE(spareLeft, 4);
            if (hc == 1) EXPECT_NEAR(spareLeft, spareRight, 2);
            if (hc == 2) EXPECT_LE(spareRight, 4);
            if (vc == 0) EXPECT_LE(spareTop, 6);
            if (vc == 1) EXPECT_NEAR(spareTop, spareBottom, 4);
            if (vc == 2) EXPECT_LE(spareBottom, 8);
        }
    }
}

// Lines of different widths, broken by the text or wrapped at the cell's
// width: each line stands by the alignment on its own, in rich text as in
// plain.
TEST_F(CellDrawing, EachLineOfMultiLineRichTextIsAlignedOnItsOwn) {
    constexpr int32_t kWidth = 180, kHeight = 64;
    struct Case {
        int16_t align;
        const char* what;
        const char* plain;
        const char* rich;
    } cases[] = {
        {5, "centred", "A much wider line\r\nab", "{\\rtf1 A much wider line\\par ab}"},
        {8, "right", "A much wider line\r\nab", "{\\rtf1 A much wider line\\par ab}"},
        {2, "left", "A much wider line\r\nab", "{\\rtf1 A much wider line\\par ab}"},
        {5, "wrapped and centred", "Words enough to wrap onto a line",
         "{\\rtf1 Words enough to wrap onto a line}"},
    };
    constexpr int32_t kRows = int32_t(std::size(cases));
    host.resize(620, 400);
    const Variant g = grid({kWidth, kWidth}, kRows, kHeight);
    for (int32_t i = 0; i < kRows; ++i) {
        for (int32_t col : {2, 3}) {
            const Variant def = cell_def(g, i + 1, col);
            Put(def, "TextAlignment", I2(cases[i].align));
            Put(def, "RTFStyle", I2(1));
        }
        set_value(g, i + 1, 2, cases[i].plain);
        set_value(g, i + 1, 3, cases[i].rich);
    }
    const QImage img = screen("control_rich_text_lines");

    for (int32_t i = 0; i < kRows; ++i) {
        SCOPED_TRACE(cases[i].what);
        const QRect pc = inside(cell(g, i + 1, 2)), rc = inside(cell(g, i + 1, 3));
        const std::vector<QRect> p = InkLines(img, pc), r = InkLines(img, rc);
        ASSERT_EQ(p.size(), 2u);
        ASSERT_EQ(r.size(), 2u);
        for (size_t line = 0; line < 2; ++line) {
            SCOPED_TRACE("line " + std::to_string(line + 1));
            EXPECT_NEAR(r[line].left() - rc.left(), p[line].left() - pc.left(), 1);
            EXPECT_NEAR(r[line].right() - rc.left(), p[line].right() - pc.left(), 1);
            EXPECT_NEAR(r[line].top() - rc.top(), p[line].top() - pc.top(), 1);
        }
        // The short line is not left where the long one starts.
        const int shortLeft = r[1].left() - rc.left(), longLeft = r[0].left() - rc.left();
        if (cases[i].align == 2)
            EXPECT_NEAR(shortLeft, longLeft, 1);
        else
            EXPECT_GT(shortLeft, longLeft + 10);
    }
}

// A metafile of 100 x 50 pixels drawn into cells of other sizes, stretched
// or centred in a cell smaller than itself: its window is mapped onto the
// whole picture rectangle (the cell, less a pixel all round when centred),
// the red square on the left half and the blue ellipse on the right, nothing
// cut off, nothing offset and nothing outside.
TEST_F(CellDrawing, AMetafileDrawnIntoACellOfAnotherSizeFillsTheCell) {
    constexpr int16_t kStretch = 10, kCentre = 5;
    struct Case {
        const char* file;
        std::string bytes;
        int32_t width, height;
        int16_t picAlign;
        int margin; // pixels left free at each edge
    } cases[] = {
        {"pic.wmf", kltest::RedSquareBlueEllipseWmf(), 40, 40, kStretch, 0},
        {"pic.emf", kltest::RedSquareBlueEllipseEmf(), 40, 40, kStretch, 0},
        {"pic.wmf", kltest::RedSquareBlueEllipseWmf(), 160, 30, kStretch, 0},
        {"pic.emf", kltest::RedSquareBlueEllipseEmf(), 160, 30, kStretch, 0},
        {"pic.wmf", kltest::RedSquareBlueEllipseWmf(), 40, 40, kCentre, 1},
        {"pic.emf", kltest::RedSquareBlueEllipseEmf(), 40, 40, kCentre, 1},
    };
    kltest::TempDir dir;
    host.resize(400, 200);
    for (const Case& k : cases) {
        const std::string what = std::string(k.file).substr(4) + "_" + std::to_string(k.width) + "x" +
                                 std::to_string(k.height) + "_aligned_" + std::to_string(k.picAlign);
        SCOPED_TRACE(what);
        call("Clear");
        kltest::write_file(dir / k.file, k.bytes);
        const Variant pic = call("LoadPicture", {Variant(std::string_view((dir / k.file).string()))});
        ASSERT_EQ(pic.vt, plat::VT_DISPATCH);
        const Variant g = grid({k.width}, 1, k.height);
        const Variant def = cell_def(g, 1, 2);
        Put(def, "PictureAlignment", I2(k.picAlign));
        Put(def, "TextAlignment", I2(0));
        Put(def, "Picture", pic);
        const QImage img = screen("control_metafile_" + what);

        const QRect c = cell(g, 1, 2);
        ASSERT_EQ(c.size(), QSize(k.width, k.height));
        auto red = [](QColor q) { return q.red() > 200 && q.green() < 60 && q.blue() < 60; };
        auto blue = [](QColor q) { return q.blue() > 200 && q.red() < 60 && q.green() < 60; };
        const QRect r = InkIn(img, c, red), b = InkIn(img, c, blue);
        ASSERT_FALSE(r.isEmpty());
        ASSERT_FALSE(b.isEmpty());
        const QRect in = inside(c).adjusted(k.margin, k.margin, -k.margin, -k.margin);
        EXPECT_LE(std::abs(r.left() - in.left()), 1);
        EXPECT_LE(std::abs(in.right() - b.right()), 1);
        EXPECT_NEAR(r.width(), in.width() / 2, 2);
        EXPECT_NEAR(b.width(), in.width() / 2, 2);
        EXPECT_NEAR(b.left(), r.right() + 1, 2);
        for (const QRect& part : {r, b}) {
            EXPECT_LE(std::abs(part.top() - in.top()), 1);
            EXPECT_LE(std::abs(in.bottom() - part.bottom()), 1);
        }
        // Nothing of the picture beyond its cell.
        EXPECT_EQ(InkIn(img, img.rect(), red), r);
        EXPECT_EQ(InkIn(img, img.rect(), blue), b);
    }
}

} // namespace
