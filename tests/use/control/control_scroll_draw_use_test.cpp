// Scrolling, drawing and printing of the control as a container and a
// person meet them: the registered library in a host window on a real X
// display, real pointer and wheel events, members read back by name, pixels
// from the X screen and pages from PDF files.
#include <gtest/gtest.h>

#include <QtCore/QEvent>
#include <QtGui/QPaintEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QStyle>
#include <QtWidgets/QStyleOptionSlider>
#include <cstdio>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "support/gui/printer_object.h"
#include "support/gui/x_input.h"
#include "support/temp_dir.h"
#include "vinca/control/hosted_control.h"
#include "support/servers.h"

using plat::Variant;

namespace {

namespace x = kltest::x;

// The paint regions a widget gets, in order.
class PaintLog : public QObject {
  public:
    explicit PaintLog(QWidget* w) : m_w(w) { w->installEventFilter(this); }
    ~PaintLog() override { m_w->removeEventFilter(this); }
    std::vector<QRegion> regions;
    // Everything painted since the log was cleared.
    QRegion Painted() const {
        QRegion all;
        for (const QRegion& r : regions)
            all += r;
        return all;
    }

  protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (o == m_w && e->type() == QEvent::Paint) regions.push_back(static_cast<QPaintEvent*>(e)->region());
        return false;
    }

  private:
    QWidget* m_w;
};

// Resident memory of this process, in kilobytes.
long ResidentKb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

class ScrollDraw : public kltest::HostedControl {
  protected:
    void SetUp() override {
        HostedControl::SetUp();
        if (!x::available()) GTEST_SKIP() << "no X server with XTest";
        put("ToolTipsMode", Variant(int16_t(0)));
    }

    // `n` top-level items "Item 0"..., added with drawing suspended.
    void fill(int32_t n, const std::string& prefix = "Item ") {
        put("Redraw", Variant(false));
        for (int32_t i = 0; i < n; ++i)
            call("AddItem", {Variant(std::string_view(prefix + std::to_string(i)))});
        put("Redraw", Variant(true));
    }
    // Items under item `parent` (by index), each "Child <n>".
    int32_t add_child(int32_t parent, const std::string& text) {
        call("AddItem", {Variant(std::string_view(text)), Variant(parent)});
        return get("NewIndex").to_i4();
    }
    QScrollBar* bar(Qt::Orientation o) {
        for (QScrollBar* b : view()->findChildren<QScrollBar*>())
            if (b->orientation() == o) return b;
        return nullptr;
    }
    static QRect thumb(QScrollBar* b) {
        QStyleOptionSlider opt;
        opt.initFrom(b);
        opt.orientation = b->orientation();
        opt.minimum = b->minimum();
        opt.maximum = b->maximum();
        opt.sliderPosition = b->sliderPosition();
        opt.sliderValue = b->value();
        opt.singleStep = b->singleStep();
        opt.pageStep = b->pageStep();
        opt.subControls = QStyle::SC_All;
        return b->style()->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, b);
    }
    // Where the rows are drawn: the view without its scroll bars.
    QRect rows_area() {
        QRect r = view()->rect();
        if (QScrollBar* v = bar(Qt::Vertical); v && v->isVisible()) r.setRight(v->geometry().left() - 1);
        if (QScrollBar* h = bar(Qt::Horizontal); h && h->isVisible()) r.setBottom(h->geometry().top() - 1);
        return r;
    }
    int32_t top_index() { return get("TopIndex").to_i4(); }
    int32_t bottom_index() { return get("BottomIndex").to_i4(); }
};

TEST_F(ScrollDraw, TheThumbDraggedToTheBottomShowsTheLastItems) {
    // 100,001 items: the bar's values are scaled to 16 bits.
    constexpr int32_t kItems = 100001;
    fill(kItems);
    host.resize(300, 240);
    ASSERT_TRUE(x::activate(&host));
    QScrollBar* v = bar(Qt::Vertical);
    ASSERT_TRUE(v && v->isVisible());
    ASSERT_LE(v->maximum(), 32767);

    // Held at the bottom, the rows follow the pointer there before the
    // button comes up, and stay there after it.
    const QPoint grip = thumb(v).center();
    x::press(v, grip);
    for (int y = grip.y(); y < v->height() + 40; y += 15)
        x::move(v, {grip.x(), y});
    x::move(v, {grip.x(), v->height() + 40});
    EXPECT_EQ(bottom_index(), kItems - 1) << "while the thumb is held";
    x::release(v, {grip.x(), v->height() + 40});
    EXPECT_EQ(bottom_index(), kItems - 1);
    EXPECT_EQ(top_index(), get("ListCount").to_i4() - (bottom_index() - top_index() + 1));
    // The thumb shows the last page through the 16-bit scale.
    EXPECT_GE(v->value(), v->maximum() - 3);

    // And back to the top.
    const QPoint back = thumb(v).center();
    x::drag(v, back, {back.x(), -40});
    EXPECT_EQ(top_index(), 0);

    // A drag that stops halfway shows the rows the thumb stands for.
    const QPoint at = thumb(v).center();
    const QRect groove = v->rect().adjusted(0, v->width(), 0, -v->width());
    x::drag(v, at, {at.x(), at.y() + groove.height() / 2});
    const double share = double(v->value()) / double(v->maximum());
    EXPECT_NEAR(double(top_index()) / double(kItems - (bottom_index() - top_index() + 1)), share, 0.002);
}

TEST_F(ScrollDraw, AFarItemsRectangleMeasuresNoRowsInBetween) {
    constexpr int32_t kItems = 200000;
    fill(kItems);
    ASSERT_TRUE(x::activate(&host));
    const kltest::Rect4 first = rect(0);
    ASSERT_GT(first.height(), 0);
    const int32_t h = first.height();

    // Rows near the page are placed by measuring the rows between; far
    // ones of rows with heights of their own are not placed at all, and the
    // answer costs no memory for the rows in between.
    const long before = ResidentKb();
    for (int16_t part : {1, 4}) {
        const kltest::Rect4 far = rect(kItems - 1, part);
        EXPECT_TRUE(far.empty()) << part;
        EXPECT_EQ(far.top, 0) << part;
    }
    EXPECT_EQ(rect(40).top, first.top + 40 * h);
    EXPECT_LT(ResidentKb() - before, 20 * 1024) << "kilobytes";

    // Rows of one height are placed by number, on and off the page.
    put("FixedSize", Variant(true));
    const int32_t fixed = rect(0).height();
    struct Case {
        int32_t index;
        int32_t top;
    } cases[] = {{0, first.top}, {40, first.top + 40 * fixed}, {kItems - 1, first.top + (kItems - 1) * fixed}};
    for (const Case& c : cases) {
        const kltest::Rect4 r = rect(c.index);
        EXPECT_EQ(r.top, c.top) << c.index;
        EXPECT_EQ(r.height(), fixed) << c.index;
    }
    put("TopIndex", Variant(int32_t(kItems / 2)));
    EXPECT_EQ(rect(kItems - 1).top, first.top + (kItems - 1 - top_index()) * fixed);
    EXPECT_EQ(rect(0).top, first.top - top_index() * fixed);
    EXPECT_LT(ResidentKb() - before, 20 * 1024) << "kilobytes";
}

TEST_F(ScrollDraw, PrintedPagesBreakWhereTheRowHeightsSay) {
    constexpr int32_t kItems = 60;
    fill(kItems);
    // Rows of 600 twips, 40 pixels, on screen and on paper.
    put("ItemHeight", Variant(600.0f), {Variant(int32_t(-1))});
    ASSERT_TRUE(x::activate(&host));
    const int32_t row = rect(0).height();
    ASSERT_EQ(row, 40);
    EXPECT_EQ(rect(1).top - rect(0).top, row);

    kltest::TempDir tmp;
    const std::string pdf = (tmp.path() / "rows.pdf").string();
    auto printer = plat::make_object<kltest::PrinterObject>(pdf);
    Variant report = get("Report");
    ASSERT_EQ(report.vt, plat::VT_DISPATCH);
    plat::IDispatch* rep = report.pdispVal;
    plat::CallError e;
    ASSERT_EQ(plat::dispatch_put(rep, "PrinterObject", Variant(static_cast<plat::IDispatch*>(printer.get())), {},
                                 &e),
              plat::S_OK);
    std::vector<Variant> none;
    Variant result;
    ASSERT_EQ(plat::dispatch_call(rep, "Start", none, &result, &e), plat::S_OK) << e.number;
    printer->finish();

    // The rows of a page fill its printable height (letter paper, no
    // margins) in steps of the row height.
    const int dpi = printer->dc().GetDeviceCaps(plat::gdi::LOGPIXELSY);
    const int room = 1440 * printer->dc().GetDeviceCaps(plat::gdi::VERTRES) / dpi * 96 / 1440;
    const int perPage = room / row;
    ASSERT_GT(perPage, 5);
    const int pages = (kItems + perPage - 1) / perPage;
    std::smatch m;
    const std::string info = kltest::command_output("pdfinfo '" + pdf + "' 2>/dev/null");
    ASSERT_TRUE(std::regex_search(info, m, std::regex("Pages:\\s+(\\d+)")));
    EXPECT_EQ(std::stoi(m[1]), pages);
    Variant list, count;
    ASSERT_EQ(plat::dispatch_get(rep, "Pages", list, none, &e), plat::S_OK);
    ASSERT_EQ(plat::dispatch_get(list.pdispVal, "Count", count, none, &e), plat::S_OK);
    EXPECT_EQ(count.to_i4(), pages);
    for (int p = 0; p < pages; ++p) {
        const std::string text = kltest::command_output("pdftotext -f " + std::to_string(p + 1) + " -l " + std::to_string(p + 1) +
                                       " -layout '" + pdf + "' - 2>/dev/null");
        const int first = p * perPage, last = std::min(kItems, first + perPage) - 1;
        for (int i = 0; i < kItems; ++i) {
            const std::regex word("(^|\\s)Item " + std::to_string(i) + "(\\s|$)");
            EXPECT_EQ(std::regex_search(text, word), i >= first && i <= last) << "item " << i << " page " << p + 1;
        }
    }
    // The printed rows stand one row height apart, in points.
    const std::string boxes = kltest::command_output("pdftotext -bbox -f 1 -l 1 '" + pdf + "' - 2>/dev/null");
    std::vector<double> tops;
    const std::regex item("yMin=\"([0-9.]+)\"[^>]*>Item<");
    for (auto it = std::sregex_iterator(boxes.begin(), boxes.end(), item); it != std::sregex_iterator(); ++it)
        tops.push_back(std::stod((*it)[1]));
    ASSERT_GE(tops.size(), 3u);
    EXPECT_NEAR((tops[2] - tops[1]) * 96 / 72, row, 0.5);
}

TEST_F(ScrollDraw, TheSquareBetweenTheScrollBarsShowsNoBackground) {
    // Long texts and many rows: both bars show; a gradient lies behind.
    fill(80, "An item whose text is far wider than the window it shows in, number ");
    put("GradientColorFrom", Variant(int32_t(0x0000FF)));
    put("GradientColorTo", Variant(int32_t(0xFF0000)));
    put("GradientStyle", Variant(int16_t(2)));
    host.resize(260, 200);
    ASSERT_TRUE(x::activate(&host));
    QScrollBar* v = bar(Qt::Vertical);
    QScrollBar* h = bar(Qt::Horizontal);
    ASSERT_TRUE(v && v->isVisible() && h && h->isVisible());
    x::settle(50);
    const QImage shot = x::grab(view()).convertToFormat(QImage::Format_RGB32);
    x::save_shot(shot, "control_scroll_bar_corner");
    const QRect corner(v->geometry().left(), h->geometry().top(), v->width(), h->height());
    const QRgb face = v->palette().color(QPalette::Window).rgb();
    int other = 0;
    for (int yy = corner.top(); yy <= corner.bottom(); ++yy)
        for (int xx = corner.left(); xx <= corner.right(); ++xx)
            other += shot.pixel(xx, yy) != face;
    EXPECT_EQ(other, 0) << "pixels of the corner not in the bars' colour";
    // The gradient fills the rows, red at their top to blue at their bottom.
    auto share = [&](int y, auto pick) {
        int n = 0;
        for (int xx = 0; xx < v->geometry().left(); ++xx)
            n += pick(QColor(shot.pixel(xx, y)));
        return double(n) / v->geometry().left();
    };
    double top = 0; // below the border
    for (int y = 0; y < 6; ++y)
        top = std::max(top, share(y, [](QColor c) { return c.red() > 200 && c.blue() < 40; }));
    EXPECT_GT(top, 0.5);
    EXPECT_GT(share(h->geometry().top() - 1, [](QColor c) { return c.blue() > 200 && c.red() < 40; }), 0.5);
}

TEST_F(ScrollDraw, AThumbThatOnlyMovesRepaintsWhereItWasAndWhereItIs) {
    fill(100); // a wheel step moves the thumb by some pixels
    host.resize(300, 300);
    ASSERT_TRUE(x::activate(&host));
    view()->setFocus(Qt::OtherFocusReason);
    put("ListIndex", Variant(int32_t(0)));
    x::settle(50);
    QScrollBar* v = bar(Qt::Vertical);
    ASSERT_TRUE(v && v->isVisible());
    const QPoint at = rows_area().center();
    struct Step {
        const char* what;
        std::function<void()> act;
        bool thumbOnly; // the thumb moves between the ends, nothing else changes
    };
    const Step steps[] = {
        {"the wheel down from the top", [&] { x::wheel(view(), at, -1); }, false},
        {"the wheel down", [&] { x::wheel(view(), at, -1); }, true},
        {"the wheel down again", [&] { x::wheel(view(), at, -1); }, true},
        {"End", [] { x::key(Qt::Key_End); }, false},
        {"the wheel up from the end", [&] { x::wheel(view(), at, 1); }, false},
        {"the wheel up", [&] { x::wheel(view(), at, 1); }, true},
        {"Home", [] { x::key(Qt::Key_Home); }, false},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        x::settle(50);
        const QRect was = thumb(v);
        PaintLog log(v);
        s.act();
        x::settle(100);
        const QRect now = thumb(v);
        ASSERT_NE(now, was);
        const QRegion painted = log.Painted();
        EXPECT_FALSE(painted.isEmpty());
        if (s.thumbOnly) {
            EXPECT_TRUE(was.united(now).adjusted(-3, -3, 3, 3).contains(painted.boundingRect()));
            x::save_shot(x::grab(view()), "control_bar_thumb_moved");
        }
        // What the screen shows of the bar is what a full paint draws.
        const QImage screen = x::grab(v).convertToFormat(QImage::Format_RGB32);
        const QImage full = v->grab().toImage().convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(screen, full);
        if (screen != full) {
            x::save_shot(screen, std::string("control_bar_screen_") + s.what);
            x::save_shot(full, std::string("control_bar_full_") + s.what);
        }
    }
}

// A tree of `groups` parents with `children` leaves each, all open.
class TreeScroll : public ScrollDraw {
  protected:
    void fill_tree(int groups, int children) {
        put("Redraw", Variant(false));
        for (int g = 0; g < groups; ++g) {
            call("AddItem", {Variant(std::string_view("Group " + std::to_string(g)))});
            const int32_t parent = get("NewIndex").to_i4();
            for (int c = 0; c < children; ++c)
                add_child(parent, "Leaf " + std::to_string(g) + "." + std::to_string(c));
        }
        put("ExpandToLevel", Variant(int32_t(5)));
        put("Redraw", Variant(true));
    }
};

TEST_F(TreeScroll, DashedLinesRunOnFromRowToRow) {
    fill_tree(3, 6);
    put("TreeLinesStyle", Variant(int16_t(1))); // dashes
    put("TreeLinesColor", Variant(int32_t(0)));
    host.resize(300, 400);
    ASSERT_TRUE(x::activate(&host));
    x::settle(50);
    const QImage shot = x::grab(view()).convertToFormat(QImage::Format_RGB32);
    x::save_shot(shot, "control_dashed_lines");

    // The line that joins the groups runs down the column of their
    // plus/minus boxes, past the rows of the first group's leaves.
    const kltest::Rect4 pm0 = rect(0, 8), pm1 = rect(7, 8);
    ASSERT_FALSE(pm0.empty());
    const int col = (pm0.left + pm0.right) / 2;
    std::vector<int> runs; // on, off, on, ... lengths between the two boxes
    bool on = true;
    int length = 0;
    for (int y = pm0.bottom + 1; y < pm1.top - 1; ++y) {
        const bool dark = qGray(shot.pixel(col, y)) < 100;
        if (dark == on) {
            ++length;
        } else {
            runs.push_back(length);
            on = dark;
            length = 1;
        }
    }
    ASSERT_GE(pm1.top - pm0.bottom, 6 * rect(1).height());
    // Past the first and before the last run, dashes of 18 and gaps of 6.
    ASSERT_GE(runs.size(), 5u) << "the line looks solid";
    for (size_t i = 1; i < runs.size(); ++i)
        EXPECT_EQ(runs[i], i % 2 ? 6 : 18) << "run " << i;
}

TEST_F(TreeScroll, AScrollMovesThePixelsThatStayAndPaintsOnlyTheBandUncovered) {
    fill_tree(40, 4);
    put("TreeLinesStyle", Variant(int16_t(1)));
    host.resize(320, 300);
    ASSERT_TRUE(x::activate(&host));
    x::settle(50);
    const int32_t row = rect(1).height();
    const QRect area = rows_area();
    struct Step {
        const char* what;
        std::function<void()> act;
        int32_t band; // the height (or width) painted, in pixels
        bool across;
    };
    const Step steps[] = {
        {"wheel down", [&] { x::wheel(view(), area.center(), -1); }, 3 * row, false},
        {"wheel down again", [&] { x::wheel(view(), area.center(), -1); }, 3 * row, false},
        {"wheel up", [&] { x::wheel(view(), area.center(), 1); }, 3 * row, false},
        {"line down on the bar's arrow",
         [&] {
             QScrollBar* v = bar(Qt::Vertical);
             x::click(v, {v->width() / 2, v->height() - v->width() / 2});
         },
         row, false},
    };
    for (const Step& s : steps) {
        x::settle(50);
        PaintLog log(view());
        const int32_t before = top_index();
        s.act();
        x::settle(100);
        ASSERT_NE(top_index(), before) << s.what;
        const QRect painted = log.Painted().boundingRect();
        EXPECT_LE(painted.height(), s.band + 1) << s.what << ": painted " << painted.height() << " of "
                                                << area.height();
        EXPECT_GT(painted.height(), 0) << s.what;
        // What the screen shows is what a full paint draws.
        const QImage screen = x::grab(view()).convertToFormat(QImage::Format_RGB32).copy(area);
        const QImage full = view()->grab().toImage().convertToFormat(QImage::Format_RGB32).copy(area);
        EXPECT_EQ(screen, full) << s.what;
        if (screen != full) {
            x::save_shot(screen, std::string("control_scrolled_screen_") + s.what);
            x::save_shot(full, std::string("control_scrolled_full_") + s.what);
        }
    }
}

} // namespace

namespace {

// What a step painted: the view's regions and the vertical bar's paints.
struct StepPaints {
    QRegion view;
    int bar{0};
};

// Pixels a region covers.
int64_t Area(const QRegion& r) {
    int64_t n = 0;
    for (const QRect& rect : r)
        n += int64_t(rect.width()) * rect.height();
    return n;
}

// The same list shown as the tree (false) or as the tree grid (true): rows
// wider than the window, open groups, dashed tree lines, the focus mark on
// the current row. Each step is a key or the wheel, as a person gives it.
class KeyScroll : public TreeScroll, public ::testing::WithParamInterface<bool> {
  protected:
    bool grid() const { return GetParam(); }

    void fill() {
        put("TreeLinesStyle", Variant(int16_t(1)));
        put("DrawFocusRect", Variant(true));
        if (grid()) {
            put("HasGrid", Variant::boolean(true));
            m_grid = get("Grid");
            ASSERT_EQ(m_grid.vt, plat::VT_DISPATCH);
            plat::CallError e;
            // The tree column and eight more: wider than the window.
            ASSERT_EQ(plat::dispatch_put(m_grid.pdispVal, "Cols", Variant(int32_t(10)), {}, &e), plat::S_OK);
        }
        put("Redraw", Variant(false));
        for (int g = 0; g < 30; ++g) {
            call("AddItem", {Variant(std::string_view(text("Group " + std::to_string(g))))});
            const int32_t parent = get("NewIndex").to_i4();
            for (int c = 0; c < 3; ++c)
                add_child(parent, text("Leaf " + std::to_string(g) + "." + std::to_string(c)));
        }
        put("ExpandToLevel", Variant(int32_t(5)));
        put("Redraw", Variant(true));
    }
    // A tree row is made wider than the window by its text; a grid row by
    // its columns, each cell showing where it stands.
    std::string text(const std::string& head) const {
        if (!grid())
            return head + " with a text that runs on and on and on, far past the right edge of the window it "
                          "shows in";
        std::string t = head;
        for (int col = 2; col < 10; ++col)
            t += "\t" + head + " c" + std::to_string(col);
        return t;
    }
    // A grid cell's rectangle in pixels.
    QRect cell(int32_t row, int32_t col) {
        plat::CallError e;
        Variant c, v;
        const Variant at[] = {Variant(row), Variant(col)};
        EXPECT_EQ(plat::dispatch_get(m_grid.pdispVal, "Cells", c, at, &e), plat::S_OK);
        auto px = [&](const char* name) {
            EXPECT_EQ(plat::dispatch_get(c.pdispVal, name, v, {}, &e), plat::S_OK);
            return int32_t(v.to_r8() / 15);
        };
        return QRect(px("Left"), px("Top"), px("Width"), px("Height"));
    }
    // Runs a step and records what it painted, once all is handled.
    StepPaints paints_of(const std::function<void()>& act) {
        x::settle(50);
        PaintLog viewLog(view()), barLog(bar(Qt::Vertical));
        act();
        x::settle(100);
        StepPaints p;
        p.view = viewLog.Painted();
        p.bar = int(barLog.regions.size());
        return p;
    }

    Variant m_grid;
};

TEST_P(KeyScroll, KeyMovesAndTheWheelMoveThePixelsThatStayAndPaintTheRest) {
    fill();
    host.resize(480, 330);
    ASSERT_TRUE(x::activate(&host));
    view()->setFocus(Qt::OtherFocusReason);
    put("ListIndex", Variant(int32_t(0)));
    x::settle(50);
    ASSERT_TRUE(view()->hasFocus());
    const QRect area = rows_area();
    const int32_t row = rect(1).height();
    ASSERT_GT(row, 0);
    // The fixed parts of the grid: the corner, and the column titles above
    // the rows (which move only sideways).
    const QRect corner = grid() ? cell(0, 0) : QRect();
    const QRect titles = grid() ? QRect(area.left(), area.top(), area.width(), corner.height()) : QRect();
    ASSERT_TRUE(!grid() || corner.height() > 0);
    // Sideways a step is the tree's 30 pixels, or the grid's first column
    // (the tree column, 200 pixels).
    const int32_t across = grid() ? 200 : 30;
    const int64_t rows = int64_t(row) * area.width();

    struct Step {
        const char* what;
        std::function<void()> before; // puts the current row where the step needs it
        std::function<void()> act;
        int64_t most;  // pixels it may paint
        bool sideways; // whether the column titles move
        bool scrolls;  // whether the top row or the position across changes
    };
    const int64_t all = int64_t(area.width()) * area.height();
    const Step steps[] = {
        {"Down at the bottom row", [&] { put("ListIndex", Variant(bottom_index())); },
         [] { x::key(Qt::Key_Down); }, 3 * rows, false, true},
        {"Down again", nullptr, [] { x::key(Qt::Key_Down); }, 3 * rows, false, true},
        {"the wheel down", nullptr, [&] { x::wheel(view(), area.center(), -1); }, 4 * rows, false, true},
        {"Up at the top row", [&] { put("ListIndex", Variant(top_index())); }, [] { x::key(Qt::Key_Up); },
         3 * rows, false, true},
        {"the wheel up", nullptr, [&] { x::wheel(view(), area.center(), 1); }, 4 * rows, false, true},
        {"Right", nullptr, [] { x::key(Qt::Key_Right); }, int64_t(across) * area.height() + rows, true, true},
        {"Left", nullptr, [] { x::key(Qt::Key_Left); }, int64_t(across) * area.height() + rows, true, true},
        {"Page Down", nullptr, [] { x::key(Qt::Key_PageDown); }, all, false, true},
        {"End", nullptr, [] { x::key(Qt::Key_End); }, all, false, true},
        {"Home", nullptr, [] { x::key(Qt::Key_Home); }, all, false, true},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        if (s.before) s.before();
        x::settle(50);
        const int32_t top = top_index(), bar_x = bar(Qt::Horizontal)->value();
        const StepPaints p = paints_of(s.act);
        ASSERT_TRUE(!s.scrolls || top_index() != top || bar(Qt::Horizontal)->value() != bar_x);
        // Only the rows' area is painted, and no more of it than the step
        // uncovers or changes; the bar is painted once at most.
        EXPECT_TRUE(area.contains(p.view.boundingRect()));
        EXPECT_GT(Area(p.view), 0);
        EXPECT_LE(Area(p.view), s.most) << "of " << all;
        EXPECT_LE(p.bar, 1);
        if (grid()) {
            EXPECT_TRUE(p.view.intersected(corner).isEmpty());
            if (!s.sideways) EXPECT_TRUE(p.view.intersected(titles).isEmpty());
        }
        // What the screen shows is what a full paint draws.
        const QImage screen = x::grab(view()).convertToFormat(QImage::Format_RGB32).copy(area);
        const QImage full = view()->grab().toImage().convertToFormat(QImage::Format_RGB32).copy(area);
        EXPECT_EQ(screen, full);
        if (screen != full) {
            const std::string name = std::string(grid() ? "grid_" : "tree_") + s.what;
            x::save_shot(screen, "control_key_scrolled_screen_" + name);
            x::save_shot(full, "control_key_scrolled_full_" + name);
        }
    }
    x::save_shot(x::grab(view()), grid() ? "control_key_scroll_grid" : "control_key_scroll_tree");
}

INSTANTIATE_TEST_SUITE_P(TreeAndGrid, KeyScroll, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& i) { return i.param ? "Grid" : "Tree"; });

} // namespace

namespace {

TEST_F(ScrollDraw, AThumbDragToWiderRowsGivesTheSidewaysBarItsRangeAtTheRelease) {
    // Short rows, then a last page of rows far wider than the window: the
    // sideways range is the widest row on the page shown when the thumb is
    // let go.
    put("Redraw", Variant(false));
    for (int i = 0; i < 3000; ++i)
        call("AddItem", {Variant(std::string_view(i < 2950 ? "Item " + std::to_string(i)
                                                           : "A wide item " + std::string(60, 'w') +
                                                                 std::to_string(i)))});
    put("Redraw", Variant(true));
    host.resize(300, 240);
    ASSERT_TRUE(x::activate(&host));
    QScrollBar* v = bar(Qt::Vertical);
    QScrollBar* h = bar(Qt::Horizontal);
    ASSERT_TRUE(v && v->isVisible() && h);
    EXPECT_FALSE(h->isVisible());

    const QPoint grip = thumb(v).center();
    x::drag(v, grip, {grip.x(), v->height() + 40});
    x::settle(100);
    EXPECT_EQ(bottom_index(), 2999);
    ASSERT_TRUE(h->isVisible());
    EXPECT_GT(h->maximum(), 0);
    const QRect area = rows_area();
    const QImage screen = x::grab(view()).convertToFormat(QImage::Format_RGB32).copy(area);
    const QImage full = view()->grab().toImage().convertToFormat(QImage::Format_RGB32).copy(area);
    EXPECT_EQ(screen, full);
    if (screen != full) {
        x::save_shot(screen, "control_thumb_wide_screen");
        x::save_shot(full, "control_thumb_wide_full");
    }
    // And back to the top, where the rows fit again.
    const QPoint back = thumb(v).center();
    x::drag(v, back, {back.x(), -40});
    x::settle(100);
    EXPECT_EQ(top_index(), 0);
    EXPECT_FALSE(h->isVisible());
}

} // namespace
