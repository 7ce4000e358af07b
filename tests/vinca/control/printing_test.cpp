// Printing through the control made by class id: the report object and the
// one-call print member, onto a container's printer object, a DC number and
// the printers the prompt hands out, read back from the PDF with the
// poppler tools. This program never links the model.
#include <gtest/gtest.h>

#include <QtCore/QTimer>
#include <QtGui/QImage>
#include <QtWidgets/QApplication>
#include <QtWidgets/QPushButton>
#include <array>
#include <cstdio>
#include <functional>
#include <regex>

#include "platform/com/dispatch_client.h"
#include "platform/com/event_sink.h"
#include "platform/com/loader.h"
#include "platform/forms/control_host.h"
#include "platform/gdi/dc.h"
#include "platform/ui/process_prompt.h"
#include "support/gui/printer_object.h"
#include "support/offscreen_gui.h"
#include "support/scripted_prompt.h"
#include "support/temp_dir.h"
#include "support/servers.h"

using plat::Variant;

namespace {

constexpr plat::CLSID kControl = plat::make_guid("9D998150-B884-11CE-8D47-444553540000");
constexpr plat::IID kEvents = plat::make_guid("9D998152-B884-11CE-8D47-444553540000");

int PdfPages(const std::string& pdf) {
    std::smatch m;
    std::string info = kltest::command_output("pdfinfo '" + pdf + "' 2>/dev/null");
    return std::regex_search(info, m, std::regex("Pages:\\s+(\\d+)")) ? std::stoi(m[1]) : -1;
}

std::string PdfText(const std::string& pdf) {
    return kltest::command_output("pdftotext -layout '" + pdf + "' - 2>/dev/null");
}

// Occurrences of `word` as whole words ("Item 1" is not in "Item 10").
long Words(const std::string& text, const std::string& word) {
    std::regex exact("(^|\\s)" + word + "(?=\\s|$)");
    return std::distance(std::sregex_iterator(text.begin(), text.end(), exact), std::sregex_iterator());
}

size_t Count(const std::string& text, const std::string& word) {
    size_t n = 0;
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
        ++n;
    return n;
}

// The tops of the words `word` on page 1, in points.
std::vector<double> WordTops(const std::string& pdf, const std::string& word) {
    std::vector<double> tops;
    const std::string xml = kltest::command_output("pdftotext -bbox -f 1 -l 1 '" + pdf + "' - 2>/dev/null");
    std::regex re("yMin=\"([0-9.]+)\"[^>]*>" + word + "<");
    for (auto it = std::sregex_iterator(xml.begin(), xml.end(), re); it != std::sregex_iterator(); ++it)
        tops.push_back(std::stod((*it)[1]));
    return tops;
}

// The boxes of the words `word` on page 1, in points: xMin, yMin, xMax, yMax.
std::vector<std::array<double, 4>> WordBoxes(const std::string& pdf, const std::string& word) {
    std::vector<std::array<double, 4>> boxes;
    const std::string xml = kltest::command_output("pdftotext -bbox -f 1 -l 1 '" + pdf + "' - 2>/dev/null");
    std::regex re("xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">" + word +
                  "<");
    for (auto it = std::sregex_iterator(xml.begin(), xml.end(), re); it != std::sregex_iterator(); ++it)
        boxes.push_back({std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3]), std::stod((*it)[4])});
    return boxes;
}

// Pages a report of `rows` rows of `row` pixels takes on `dc` at `zoom`
// with top and bottom margins in twips, as the engine rounds.
int ExpectedPages(plat::gdi::Dc& dc, int rows, int row, int zoom, int top, int bottom) {
    const int dpi = dc.GetDeviceCaps(plat::gdi::LOGPIXELSY);
    const int pageH = 1440 * dc.GetDeviceCaps(plat::gdi::VERTRES) / dpi;
    const int room = (pageH - top - bottom) * 96 / 1440;
    int perPage = 0;
    while ((perPage + 1) * row * zoom <= room * 100)
        ++perPage;
    return (rows + perPage - 1) / perPage;
}

class Printing : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(plat::call_library_registration(KL_VINCA5_PATH, false), plat::S_OK);
        plat::ui::SetProcessPrompt(&prompt);
        host.resize(240, 160);
        host.show();
        ctl = host.create(kControl);
        ASSERT_TRUE(ctl);
    }
    void TearDown() override {
        ctl.reset();
        host.release();
        prompt.verify_done();
        plat::ui::SetProcessPrompt(nullptr);
    }

    std::string pdf(const std::string& name) { return (tmp / (name + ".pdf")).string(); }

    Variant get(plat::IDispatch* obj, std::string_view name, std::initializer_list<Variant> index = {}) {
        Variant v;
        plat::CallError e;
        std::vector<Variant> args(index);
        EXPECT_EQ(plat::dispatch_get(obj, name, v, args, &e), plat::S_OK) << name << ": " << e.number;
        return v;
    }
    // The error number of a put (0 when it worked).
    int put(plat::IDispatch* obj, std::string_view name, const Variant& value,
            std::initializer_list<Variant> index = {}) {
        plat::CallError e;
        std::vector<Variant> args(index);
        plat::dispatch_put(obj, name, value, args, &e);
        return e.number;
    }
    int call(plat::IDispatch* obj, std::string_view name, std::vector<Variant> args = {},
             Variant* out = nullptr) {
        Variant v;
        plat::CallError e;
        plat::dispatch_call(obj, name, args, out ? out : &v, &e);
        return e.number;
    }
    plat::ComPtr<plat::IDispatch> report() {
        Variant r = get(ctl.get(), "Report");
        EXPECT_EQ(r.vt, plat::VT_DISPATCH);
        return plat::ComPtr<plat::IDispatch>(r.pdispVal);
    }
    // `n` top-level items "Item 0".. with two children each under every
    // fifth.
    void fill(int n, bool children = false, bool expand = true) {
        for (int i = 0; i < n; ++i) {
            call(ctl.get(), "AddItem", {Variant(std::string_view("Item " + std::to_string(i)))});
            if (children && i % 5 == 0) {
                const int32_t parent = get(ctl.get(), "NewIndex").to_i4();
                for (int c = 0; c < 2; ++c)
                    call(ctl.get(), "AddItem",
                         {Variant(std::string_view("Child " + std::to_string(i) + "." + std::to_string(c))),
                          Variant(parent)});
            }
        }
        if (expand) put(ctl.get(), "ExpandToLevel", Variant(int32_t(10)));
    }
    // Runs the one-call print with the designer's argument types.
    int print_one_step(const Variant& output, int32_t margin, int32_t first, int32_t last, int32_t options,
                       std::string_view header, std::string_view footer, const Variant& zoom) {
        return call(ctl.get(), "PrintOneStep",
                    {output, Variant(margin), Variant(margin), Variant(margin), Variant(margin),
                     Variant(first), Variant(last), Variant(options), Variant(header), Variant(footer),
                     zoom});
    }

    kltest::TempDir tmp;
    kltest::ScriptedPrompt prompt;
    plat::forms::ControlHost host;
    plat::ComPtr<plat::IDispatch> ctl;
};

TEST_F(Printing, PagesFollowTheZoomAndEveryRowPrintsOnceInOrder) {
    constexpr int kRows = 120;
    fill(kRows);
    auto printer = plat::make_object<kltest::PrinterObject>(pdf("zoom"));
    auto rep = report();
    ASSERT_EQ(put(rep.get(), "PrinterObject", Variant(static_cast<plat::IDispatch*>(printer.get()))), 0);
    put(rep.get(), "TopMargin", Variant(int32_t(720)));
    put(rep.get(), "BottomMargin", Variant(int32_t(720)));
    ASSERT_EQ(call(rep.get(), "Start"), 0);
    const int count = get(get(rep.get(), "Pages").pdispVal, "Count").to_i4();
    // Pages turn through the object's NewPage, never before the first; the
    // document stays the container's.
    EXPECT_EQ(printer->new_pages(), count - 1);
    EXPECT_EQ(printer->end_docs(), 0);
    printer->finish();
    EXPECT_EQ(PdfPages(pdf("zoom")), count);

    // The row height as printed at zoom 100: points to screen pixels.
    const std::vector<double> tops = WordTops(pdf("zoom"), "Item");
    ASSERT_GT(tops.size(), 2u);
    const int row = static_cast<int>(std::lround((tops[1] - tops[0]) * 96 / 72));
    ASSERT_GT(row, 5);
    EXPECT_EQ(count, ExpectedPages(printer->dc(), kRows, row, 100, 720, 720));
    ASSERT_EQ(put(rep.get(), "Zoom", Variant(int32_t(125))), 0);
    Variant zoomed;
    ASSERT_EQ(call(rep.get(), "PrepareForPrinting", {}, &zoomed), 0);
    EXPECT_EQ(zoomed.to_i4(), ExpectedPages(printer->dc(), kRows, row, 125, 720, 720));
    EXPECT_GT(zoomed.to_i4(), count);

    const std::string text = PdfText(pdf("zoom"));
    size_t at = 0;
    for (int i = 0; i < kRows; ++i) {
        // Whole words: "Item 1" is also the start of "Item 10".
        const std::string line = "Item " + std::to_string(i);
        std::regex exact("(^|\\s)" + line + "(\\s|$)");
        EXPECT_EQ(
            std::distance(std::sregex_iterator(text.begin(), text.end(), exact), std::sregex_iterator()), 1)
            << line;
        std::smatch m;
        const std::string rest = text.substr(at);
        ASSERT_TRUE(std::regex_search(rest, m, exact)) << line << " after offset " << at;
        at += size_t(m.position(0)) + 1;
    }
}

TEST_F(Printing, OneStepThroughThePrintDialogNumbersItsPages) {
    fill(120);
    prompt.expect_printer(kltest::PromptKind::PrintDialog, plat::ui::PrinterChoice{{}, pdf("dialog"), 300});
    ASSERT_EQ(print_one_step(Variant(int16_t(-2)), 720, 0, -1, 0, "Header \\<p>\\ of the list",
                             "Footer \\<p>\\ \\<p>\\", Variant::missing()),
              0);
    const int pages = PdfPages(pdf("dialog"));
    ASSERT_GE(pages, 2);
    const std::string text = PdfText(pdf("dialog"));
    for (int p = 1; p <= pages; ++p) {
        const std::string n = std::to_string(p);
        EXPECT_EQ(Count(text, "Header " + n + " of the list"), 1u) << text;
        EXPECT_EQ(Count(text, "Footer " + n + " " + n), 1u) << p;
    }
    EXPECT_EQ(Count(text, "<p>"), 0u);

    // Look at the first page.
    kltest::command_output("pdftoppm -png -r 50 -f 1 -l 1 '" + pdf("dialog") + "' '" + (tmp / "page").string() + "'");
    QImage page(QString::fromStdString((tmp / "page-1.png").string()));
    ASSERT_FALSE(page.isNull());
    kltest::SaveArtifact(page, "vinca", "printed_page");
}

// The designer prints on the default printer: -1 as a 16-bit integer,
// margins 100, items 1 to the end, options 20, zoom 125 as a 16-bit integer,
// and the list passed by reference.
TEST_F(Printing, TheDesignersCallPrintsOnTheDefaultPrinter) {
    fill(12, true);
    const size_t dcs = plat::gdi::PrinterDcs().size();
    prompt.expect_printer(kltest::PromptKind::DefaultPrinter,
                          plat::ui::PrinterChoice{{}, pdf("designer"), 0});
    int32_t first = 1, last = -1, options = 20;
    plat::VARIANT vf{}, vl{}, vo{};
    vf.vt = vl.vt = vo.vt = plat::VT_I4;
    vf.lVal = first;
    vl.lVal = last;
    vo.lVal = options;
    plat::CallError e;
    std::vector<Variant> args = {Variant(int16_t(-1)),
                                 Variant(int32_t(100)),
                                 Variant(int32_t(100)),
                                 Variant(int32_t(100)),
                                 Variant(int32_t(100)),
                                 Variant::ref(&vf),
                                 Variant::ref(&vl),
                                 Variant::ref(&vo),
                                 Variant(std::string_view("")),
                                 Variant(std::string_view("")),
                                 Variant(int16_t(125))};
    ASSERT_EQ(plat::dispatch_call(ctl.get(), "PrintOneStep", args, nullptr, &e), plat::S_OK) << e.number;
    EXPECT_EQ(PdfPages(pdf("designer")), 1);
    const std::string text = PdfText(pdf("designer"));
    EXPECT_EQ(Words(text, "Item 0"), 0) << text;
    for (const char* word : {"Child 0.0", "Child 0.1", "Item 1", "Item 5", "Child 10.1", "Item 11"})
        EXPECT_EQ(Words(text, word), 1) << word;
    // The DC opened for -1 stays with the control until it goes.
    EXPECT_EQ(plat::gdi::PrinterDcs().size(), dcs + 1);
    ctl.reset();
    host.release();
    EXPECT_EQ(plat::gdi::PrinterDcs().size(), dcs);
}

// Options 1 and 2 print the tree expanded or collapsed; with 4 the tree is
// as it was afterwards.
TEST_F(Printing, OptionsExpandOrCollapseForThePrintOnly) {
    fill(6, true, false);
    struct Case {
        int32_t options;
        bool expandedBefore;
        long children;
    } cases[] = {{4 | 1, false, 4}, {0, false, 0}, {4 | 2, true, 0}, {4 | 3, true, 0}, {4, true, 4}};
    int n = 0;
    for (const Case& c : cases) {
        for (int32_t parent : {0, 7})
            put(ctl.get(), "Expand", Variant::boolean(c.expandedBefore), {Variant(parent)});
        auto printer = plat::make_object<kltest::PrinterObject>(pdf("options" + std::to_string(n)));
        ASSERT_EQ(
            print_one_step(Variant(int32_t(printer->hdc())), 0, 0, -1, c.options, "", "", Variant::missing()),
            0);
        printer->finish();
        const std::string text = PdfText(pdf("options" + std::to_string(n++)));
        EXPECT_EQ(Count(text, "Child"), size_t(c.children)) << c.options << text;
        EXPECT_EQ(get(ctl.get(), "Expand", {Variant(int32_t(0))}).boolVal != 0, c.expandedBefore)
            << c.options;
        EXPECT_EQ(Words(text, "Item 5"), 1) << c.options;
    }
}

// The DC opened for the default printer goes when another printer takes
// its place.
TEST_F(Printing, ADcOpenedForThePrinterGoesWhenReplaced) {
    auto printer = plat::make_object<kltest::PrinterObject>(pdf("other"));
    const size_t dcs = plat::gdi::PrinterDcs().size();
    auto rep = report();
    prompt.expect_printer(kltest::PromptKind::DefaultPrinter, plat::ui::PrinterChoice{{}, pdf("default"), 0});
    ASSERT_EQ(put(rep.get(), "PrinterObject", Variant(int16_t(-1))), 0);
    const int32_t number = get(rep.get(), "PrinterObject").to_i4();
    EXPECT_NE(number, -1);
    EXPECT_NE(plat::gdi::PrinterDcs().get(uint32_t(number)), nullptr);
    EXPECT_EQ(plat::gdi::PrinterDcs().size(), dcs + 1);
    put(rep.get(), "PrinterObject", Variant(int32_t(printer->hdc())));
    EXPECT_EQ(plat::gdi::PrinterDcs().size(), dcs);
    EXPECT_EQ(plat::gdi::PrinterDcs().get(uint32_t(number)), nullptr);
    // A cancelled dialog leaves no printer.
    prompt.expect_printer(kltest::PromptKind::PrintDialog, std::nullopt);
    EXPECT_EQ(put(rep.get(), "PrinterObject", Variant(int16_t(-2))), 0);
    EXPECT_TRUE(get(rep.get(), "PrinterObject").is_empty());
    fill(2);
    EXPECT_EQ(call(rep.get(), "Start"), 20124);
}

// The printable area takes the control's back colour unless asked not to.
TEST_F(Printing, BackgroundFollowsPrintBackground) {
    fill(3);
    put(ctl.get(), "BackColor", Variant(int32_t(0x0000FF)));
    auto rep = report();
    for (bool background : {true, false}) {
        const std::string name = background ? "red" : "white";
        auto printer = plat::make_object<kltest::PrinterObject>(pdf(name));
        put(rep.get(), "PrinterObject", Variant(int32_t(printer->hdc())));
        put(rep.get(), "PrintBackground", Variant::boolean(background));
        ASSERT_EQ(call(rep.get(), "Start"), 0);
        printer->finish();
        kltest::command_output("pdftoppm -png -r 20 '" + pdf(name) + "' '" + (tmp / name).string() + "'");
        QImage page(QString::fromStdString((tmp / (name + "-1.png")).string()));
        ASSERT_FALSE(page.isNull());
        if (background) kltest::SaveArtifact(page, "vinca", "printed_background");
        // Below the three rows, in the middle of the page.
        const QColor middle = page.pixelColor(page.width() / 2, page.height() / 2);
        EXPECT_EQ(middle, background ? QColor(255, 0, 0) : QColor(255, 255, 255)) << name;
    }
}

TEST_F(Printing, PagesShowTheGradientAndTheBackgroundPicture) {
    fill(2);
    auto rep = report();
    auto render = [&](const std::string& name) {
        auto printer = plat::make_object<kltest::PrinterObject>(pdf(name));
        put(rep.get(), "PrinterObject", Variant(int32_t(printer->hdc())));
        EXPECT_EQ(call(rep.get(), "Start"), 0);
        printer->finish();
        kltest::command_output("pdftoppm -png -r 20 '" + pdf(name) + "' '" + (tmp / name).string() + "'");
        return QImage(QString::fromStdString((tmp / (name + "-1.png")).string()));
    };
    // White at the top to blue at the bottom of the page.
    put(ctl.get(), "GradientColorFrom", Variant(int32_t(0xFFFFFF)));
    put(ctl.get(), "GradientColorTo", Variant(int32_t(0xFF0000)));
    put(ctl.get(), "GradientStyle", Variant(int16_t(2)));
    QImage gradient = render("gradient");
    ASSERT_FALSE(gradient.isNull());
    kltest::SaveArtifact(gradient, "vinca", "printed_gradient");
    const QColor upper = gradient.pixelColor(gradient.width() / 2, gradient.height() * 3 / 10);
    const QColor lower = gradient.pixelColor(gradient.width() / 2, gradient.height() * 9 / 10);
    EXPECT_GT(upper.red(), lower.red() + 100) << upper.name().toStdString() << lower.name().toStdString();
    EXPECT_GT(lower.blue(), 220);
    EXPECT_LT(lower.red(), 60);

    // A stretched picture covers the page.
    put(ctl.get(), "GradientStyle", Variant(int16_t(0)));
    QImage green(8, 8, QImage::Format_RGB32);
    green.fill(QColor(0, 160, 0));
    const std::string png = (tmp / "green.png").string();
    ASSERT_TRUE(green.save(QString::fromStdString(png)));
    Variant picture;
    ASSERT_EQ(call(ctl.get(), "LoadPicture", {Variant(std::string_view(png))}, &picture), 0);
    ASSERT_EQ(put(ctl.get(), "BackPicture", picture), 0);
    ASSERT_EQ(put(ctl.get(), "BackPictureAlignment", Variant(int16_t(9))), 0);
    QImage stretched = render("picture");
    ASSERT_FALSE(stretched.isNull());
    kltest::SaveArtifact(stretched, "vinca", "printed_back_picture");
    const QColor middle = stretched.pixelColor(stretched.width() / 2, stretched.height() * 3 / 4);
    EXPECT_LT(std::abs(middle.green() - 160) + middle.red() + middle.blue(), 30) << middle.name().toStdString();
}

TEST_F(Printing, ColumnTitlesTakeTheirRowOnTheFirstOrEveryPage) {
    fill(150);
    ASSERT_EQ(put(ctl.get(), "HasGrid", Variant::boolean(true)), 0);
    Variant grid = get(ctl.get(), "Grid");
    ASSERT_EQ(grid.vt, plat::VT_DISPATCH);
    ASSERT_EQ(put(grid.pdispVal, "Cols", Variant(int32_t(3))), 0);
    Variant title = get(grid.pdispVal, "Cells", {Variant(int32_t(0)), Variant(int32_t(2))});
    ASSERT_EQ(put(title.pdispVal, "Value", Variant(std::string_view("Quantity"))), 0);
    auto rep = report();
    std::vector<int> firstRows;
    std::string text;
    for (int32_t show : {0, 1, 2}) {
        const std::string name = "titles" + std::to_string(show);
        auto printer = plat::make_object<kltest::PrinterObject>(pdf(name));
        put(rep.get(), "PrinterObject", Variant(int32_t(printer->hdc())));
        ASSERT_EQ(put(rep.get(), "ShowColumnTitles", Variant(show)), 0);
        ASSERT_EQ(call(rep.get(), "Start"), 0);
        printer->finish();
        Variant pages = get(rep.get(), "Pages");
        ASSERT_GE(get(pages.pdispVal, "Count").to_i4(), 2);
        Variant second = get(pages.pdispVal, "Item", {Variant(int32_t(1))});
        firstRows.push_back(get(second.pdispVal, "FirstItem").to_i4());
        text = PdfText(pdf(name));
        if (show == 2) {
            kltest::command_output("pdftoppm -png -r 60 -f 2 -l 2 '" + pdf(name) + "' '" + (tmp / name).string() + "'");
            QImage page(QString::fromStdString((tmp / (name + "-2.png")).string()));
            if (!page.isNull()) kltest::SaveArtifact(page, "vinca", "printed_column_titles");
        }
        EXPECT_EQ(Count(text, "Quantity"), size_t(show == 0 ? 0 : show == 1 ? 1 : PdfPages(pdf(name)))) << show;
    }
    // The title row takes room from the rows of the pages it prints on.
    EXPECT_LT(firstRows[1], firstRows[0]);
    EXPECT_LT(firstRows[2], firstRows[0]);
    // Every row still prints once, after the titles.
    EXPECT_EQ(Words(text, "Item 149"), 1);
    EXPECT_LT(text.find("Quantity"), text.find("Item 0"));
}

// A grid with row titles prints its rows as the window shows them: the row
// title, then the cells; the title row starts with the corner over the row
// titles, so each column's title stands over the column's cells.
TEST_F(Printing, ColumnTitlesStandOverTheirCells) {
    fill(3);
    ASSERT_EQ(put(ctl.get(), "HasGrid", Variant::boolean(true)), 0);
    plat::ComPtr<plat::IDispatch> grid(get(ctl.get(), "Grid").pdispVal);
    ASSERT_EQ(put(grid.get(), "Cols", Variant(int32_t(3))), 0);
    ASSERT_EQ(put(grid.get(), "AutoFillRowTitles", Variant(int16_t(1))), 0);
    Variant title = get(grid.get(), "Cells", {Variant(int32_t(0)), Variant(int32_t(2))});
    ASSERT_EQ(put(title.pdispVal, "Value", Variant(std::string_view("Quantity"))), 0);
    // Left-aligned as the cells are, so that the texts start alike.
    Variant titleDef = get(title.pdispVal, "CellDef");
    ASSERT_EQ(put(titleDef.pdispVal, "TextAlignment", Variant(int16_t(2))), 0);
    Variant cell = get(grid.get(), "Cells", {Variant(int32_t(1)), Variant(int32_t(2))});
    Variant value = get(cell.pdispVal, "Value");
    ASSERT_EQ(value.vt, plat::VT_DISPATCH);
    ASSERT_EQ(put(value.pdispVal, "Value", Variant(std::string_view("Quantity"))), 0);
    auto rep = report();
    auto printer = plat::make_object<kltest::PrinterObject>(pdf("grid"));
    put(rep.get(), "PrinterObject", Variant(int32_t(printer->hdc())));
    ASSERT_EQ(put(rep.get(), "ShowColumnTitles", Variant(int32_t(1))), 0);
    ASSERT_EQ(call(rep.get(), "Start"), 0);
    printer->finish();
    kltest::command_output("pdftoppm -png -r 96 -f 1 -l 1 '" + pdf("grid") + "' '" + (tmp / "grid").string() + "'");
    QImage page(QString::fromStdString((tmp / "grid-1.png").string()));
    ASSERT_FALSE(page.isNull());
    kltest::SaveArtifact(page.copy(0, 0, 400, 140), "vinca", "printed_grid_titles");
    const auto boxes = WordBoxes(pdf("grid"), "Quantity");
    ASSERT_EQ(boxes.size(), 2u) << PdfText(pdf("grid"));
    // The title above, the cell below, both in the same column.
    EXPECT_LT(boxes[0][1], boxes[1][1]);
    EXPECT_NEAR(boxes[0][0], boxes[1][0], 1.0);
    // The rows print as grid rows, numbered in their row titles.
    const std::string text = PdfText(pdf("grid"));
    EXPECT_EQ(Words(text, "3"), 1) << text;
}

// Pages laid out before a change of the grid or of a setting that lays the
// rows out are laid out again by the next run.
TEST_F(Printing, PagesGoStaleWhenTheGridOrTheLayoutChanges) {
    fill(150);
    ASSERT_EQ(put(ctl.get(), "HasGrid", Variant::boolean(true)), 0);
    plat::ComPtr<plat::IDispatch> grid(get(ctl.get(), "Grid").pdispVal);
    ASSERT_EQ(put(grid.get(), "Cols", Variant(int32_t(3))), 0);
    auto rep = report();
    auto printer = plat::make_object<kltest::PrinterObject>(pdf("stale"));
    put(rep.get(), "PrinterObject", Variant(int32_t(printer->hdc())));
    ASSERT_EQ(put(rep.get(), "ShowColumnTitles", Variant(int32_t(2))), 0);
    Variant prepared;
    ASSERT_EQ(call(rep.get(), "PrepareForPrinting", {}, &prepared), 0);
    int32_t pages = prepared.to_i4();
    struct Case {
        const char* change;
        std::function<void()> apply;
        bool more; // more pages than before
    } cases[] = {
        // Five inches of titles on every page.
        {"title height", [&] { EXPECT_EQ(put(grid.get(), "ColTitlesHeight", Variant(7200.0f)), 0); }, true},
        {"titles hidden", [&] { EXPECT_EQ(put(grid.get(), "ShowColTitles", Variant::boolean(false)), 0); },
         false},
        {"titles shown", [&] { EXPECT_EQ(put(grid.get(), "ShowColTitles", Variant::boolean(true)), 0); },
         true},
        // The tree's rows, without the titles.
        {"grid hidden", [&] { EXPECT_EQ(put(grid.get(), "Visible", Variant::boolean(false)), 0); }, false},
        {"font", [&] { EXPECT_EQ(put(ctl.get(), "FontSize", Variant(24.0f)), 0); }, true},
    };
    for (const Case& c : cases) {
        c.apply();
        // The run lays the pages out again before it prints them.
        ASSERT_EQ(call(rep.get(), "Start", {Variant(int32_t(0)), Variant(int32_t(0))}), 0) << c.change;
        const int32_t now = get(get(rep.get(), "Pages").pdispVal, "Count").to_i4();
        if (c.more)
            EXPECT_GT(now, pages) << c.change;
        else
            EXPECT_LT(now, pages) << c.change;
        pages = now;
    }
    printer->finish();
}

TEST_F(Printing, PreviewModeDrawsPagesOfThePreviewSizeWithoutTurningDevicePages) {
    fill(120);
    auto rep = report();
    put(rep.get(), "PreviewPageWidth", Variant(int32_t(4000)));
    put(rep.get(), "PreviewPageHeight", Variant(int32_t(3000)));
    // Switching the mode forgets the size.
    ASSERT_EQ(put(rep.get(), "PreviewMode", Variant::boolean(true)), 0);
    EXPECT_EQ(get(rep.get(), "PreviewPageWidth").to_i4(), -1);
    EXPECT_EQ(get(rep.get(), "PreviewPageHeight").to_i4(), -1);
    put(rep.get(), "PreviewPageWidth", Variant(int32_t(4320)));
    put(rep.get(), "PreviewPageHeight", Variant(int32_t(2880)));
    put(rep.get(), "LeftMargin", Variant(int32_t(144)));
    put(rep.get(), "AbortWindowStyle", Variant(int32_t(1)));
    bool dialogShown = false;
    auto sink = plat::make_event_sink(kEvents, [&](plat::DISPID id, plat::EventArgs&) {
        if (id != 25) return;
        for (QWidget* w : QApplication::topLevelWidgets())
            dialogShown |= w->objectName() == "PrintingAbortDialog" && w->isVisible();
    });
    uint32_t cookie = 0;
    ASSERT_EQ(plat::connect_events(ctl.get(), kEvents, sink.get(), cookie), plat::S_OK);

    auto printer = plat::make_object<kltest::PrinterObject>(pdf("preview"));
    put(rep.get(), "PrinterObject", Variant(int32_t(printer->hdc())));
    Variant count;
    ASSERT_EQ(call(rep.get(), "PrepareForPrinting", {}, &count), 0);
    Variant page = get(get(rep.get(), "Pages").pdispVal, "Item", {Variant(int32_t(0))});
    EXPECT_EQ(get(page.pdispVal, "Width").to_i4(), 4320 - 144);
    EXPECT_EQ(get(page.pdispVal, "Height").to_i4(), 2880);
    // Two inches of rows a page: far more pages than a letter page gives.
    EXPECT_GE(count.to_i4(), 8);
    // Three pages drawn where the container wants them, on one device page.
    ASSERT_EQ(call(rep.get(), "Start", {Variant(int32_t(0)), Variant(int32_t(2))}), 0);
    printer->finish();
    EXPECT_EQ(PdfPages(pdf("preview")), 1);
    EXPECT_EQ(printer->new_pages(), 0);
    EXPECT_FALSE(dialogShown);
    plat::disconnect_events(ctl.get(), kEvents, cookie);
}

TEST_F(Printing, WithoutAPrinterNothingPrints) {
    fill(3);
    // No output device: nothing printed, nothing asked.
    EXPECT_EQ(print_one_step(Variant(), 0, 0, -1, 0, "", "", Variant::missing()), 0);
    // No default printer, the dialog cancelled: the printer is not ready.
    prompt.expect_printer(kltest::PromptKind::DefaultPrinter, std::nullopt);
    EXPECT_EQ(print_one_step(Variant(int16_t(-1)), 0, 0, -1, 0, "", "", Variant::missing()), 20124);
    prompt.expect_printer(kltest::PromptKind::PrintDialog, std::nullopt);
    EXPECT_EQ(print_one_step(Variant(int32_t(-2)), 0, 0, -1, 0, "", "", Variant::missing()), 20124);
    // A number that names no DC.
    EXPECT_EQ(print_one_step(Variant(int32_t(987654)), 0, 0, -1, 0, "", "", Variant::missing()), 20124);
}

TEST_F(Printing, StatusErrors) {
    fill(200);
    auto printer = plat::make_object<kltest::PrinterObject>(pdf("errors"));
    auto rep = report();
    Variant obj(static_cast<plat::IDispatch*>(printer.get()));
    // No printer yet.
    EXPECT_EQ(call(rep.get(), "Start"), 20124);
    put(rep.get(), "PrinterObject", obj);
    // Left and right margins as wide as the page.
    const int width = 1440 * printer->dc().GetDeviceCaps(plat::gdi::HORZRES) / 300;
    put(rep.get(), "LeftMargin", Variant(int32_t(width / 2)));
    put(rep.get(), "RightMargin", Variant(int32_t(width - width / 2)));
    EXPECT_EQ(call(rep.get(), "PrepareForPrinting"), 20123);
    EXPECT_EQ(get(rep.get(), "LeftMargin").to_i4(), 0);
    Variant pages;
    ASSERT_EQ(call(rep.get(), "PrepareForPrinting", {}, &pages), 0);
    ASSERT_GT(pages.to_i4(), 1);
    EXPECT_EQ(call(rep.get(), "Start", {Variant(int32_t(0)), Variant(pages.to_i4())}), 20125);
    EXPECT_EQ(call(rep.get(), "Start", {Variant(int32_t(1)), Variant(int32_t(0))}), 20125);
    EXPECT_EQ(printer->new_pages(), 0);
    // Pages 2 and 3 only.
    ASSERT_EQ(call(rep.get(), "Start", {Variant(int32_t(1)), Variant(int32_t(2))}), 0);
    printer->finish();
    EXPECT_EQ(PdfPages(pdf("errors")), 2);
    EXPECT_EQ(Words(PdfText(pdf("errors")), "Item 0"), 0);
}

TEST_F(Printing, NoRowsPrintNothingAndSucceed) {
    auto printer = plat::make_object<kltest::PrinterObject>(pdf("empty"));
    auto rep = report();
    put(rep.get(), "PrinterObject", Variant(int32_t(printer->hdc())));
    Variant pages;
    EXPECT_EQ(call(rep.get(), "PrepareForPrinting", {}, &pages), 0);
    EXPECT_EQ(pages.to_i4(), 0);
    EXPECT_EQ(call(rep.get(), "Start"), 0);
    EXPECT_EQ(printer->new_pages(), 0);
}

TEST_F(Printing, PrintLevelsZeroPrintsTheTopLevelOnly) {
    fill(10, true);
    auto printer = plat::make_object<kltest::PrinterObject>(pdf("levels"));
    auto rep = report();
    put(rep.get(), "PrinterObject", Variant(int32_t(printer->hdc())));
    put(rep.get(), "PrintLevels", Variant(int32_t(0)));
    ASSERT_EQ(call(rep.get(), "Start"), 0);
    printer->finish();
    const std::string text = PdfText(pdf("levels"));
    EXPECT_EQ(Count(text, "Child"), 0u) << text;
    EXPECT_EQ(Words(text, "Item 9"), 1) << text;
}

TEST_F(Printing, CancelInTheAbortDialogStopsBetweenRows) {
    fill(200);
    auto printer = plat::make_object<kltest::PrinterObject>(pdf("cancel"));
    auto rep = report();
    put(rep.get(), "PrinterObject", Variant(int32_t(printer->hdc())));
    ASSERT_EQ(put(rep.get(), "AbortWindowStyle", Variant(int32_t(1))), 0);
    Variant pages;
    ASSERT_EQ(call(rep.get(), "PrepareForPrinting", {}, &pages), 0);
    ASSERT_GT(pages.to_i4(), 2);
    bool seen = false;
    // Runs at the run's first look at waiting events: the dialog is up.
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->windowTitle() == "Printing")
                if (auto* cancel = w->findChild<QPushButton*>()) {
                    EXPECT_EQ(cancel->text(), "Cancel");
                    seen = true;
                    cancel->click();
                }
    });
    EXPECT_EQ(call(rep.get(), "Start"), 0);
    EXPECT_TRUE(seen);
    EXPECT_EQ(printer->new_pages(), 0);
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(w->isVisible() && w->windowTitle() == "Printing");
    printer->finish();
    EXPECT_EQ(PdfPages(pdf("cancel")), 1);
}

// The container edits the page it is handed while the pages are laid out.
TEST_F(Printing, PreparePageEditsTheLayout) {
    fill(40);
    std::vector<int32_t> tops;
    auto sink = plat::make_event_sink(kEvents, [&](plat::DISPID id, plat::EventArgs& args) {
        if (id != 27) return;
        Variant page = args.value(1);
        ASSERT_EQ(page.vt, plat::VT_DISPATCH);
        tops.push_back(get(page.pdispVal, "Top").to_i4());
        EXPECT_EQ(put(page.pdispVal, "Top", Variant(int32_t(2880))), 0);
        EXPECT_EQ(put(page.pdispVal, "Height", Variant(int32_t(100))), 383);
    });
    uint32_t cookie = 0;
    ASSERT_EQ(plat::connect_events(ctl.get(), kEvents, sink.get(), cookie), plat::S_OK);
    auto printer = plat::make_object<kltest::PrinterObject>(pdf("prepare"));
    auto rep = report();
    put(rep.get(), "PrinterObject", Variant(int32_t(printer->hdc())));
    Variant count;
    ASSERT_EQ(call(rep.get(), "PrepareForPrinting", {}, &count), 0);
    EXPECT_EQ(int(tops.size()), count.to_i4());
    Variant page = get(get(rep.get(), "Pages").pdispVal, "Item", {Variant(int32_t(0))});
    EXPECT_EQ(get(page.pdispVal, "Top").to_i4(), 2880);
    // Outside the event the page is read-only.
    EXPECT_EQ(put(page.pdispVal, "Top", Variant(int32_t(0))), 383);
    plat::disconnect_events(ctl.get(), kEvents, cookie);
}

TEST_F(Printing, ReportMembersCheckTheirValues) {
    auto rep = report();
    // Nothing made yet: numbers read -1, flags 0.
    EXPECT_EQ(get(rep.get(), "LeftMargin").to_i4(), -1);
    EXPECT_EQ(get(rep.get(), "Zoom").to_i4(), -1);
    EXPECT_EQ(get(rep.get(), "AutoNewPage").boolVal, 0);
    struct Case {
        const char* member;
        int32_t value;
        int error;
    } cases[] = {
        {"Zoom", 0, 380},
        {"Zoom", 1, 0},
        {"Zoom", 10000, 0},
        {"Zoom", 10001, 380},
        {"PrintLevels", -2, 380},
        {"PrintLevels", -1, 0},
        {"PrintLevels", 255, 0},
        {"PrintLevels", 256, 380},
        {"ShowColumnTitles", 2, 0},
        {"ShowColumnTitles", 3, 380},
        {"AbortWindowStyle", 3, 380},
        {"AbortWindow", 123456, 380},
    };
    for (const Case& c : cases) {
        const int32_t before = get(rep.get(), c.member).to_i4();
        EXPECT_EQ(put(rep.get(), c.member, Variant(c.value)), c.error) << c.member << " " << c.value;
        EXPECT_EQ(get(rep.get(), c.member).to_i4(), c.error ? before : c.value) << c.member << " " << c.value;
    }
    // The container's own abort window must be a window.
    const int32_t window = static_cast<int32_t>(host.window_handle());
    EXPECT_EQ(put(rep.get(), "AbortWindow", Variant(window)), 0);
    EXPECT_EQ(get(rep.get(), "AbortWindow").to_i4(), window);
    // The pages: none at Count or at -1.
    put(rep.get(), "Zoom", Variant(int32_t(100)));
    fill(5);
    auto printer = plat::make_object<kltest::PrinterObject>(pdf("table"));
    put(rep.get(), "PrinterObject", Variant(int32_t(printer->hdc())));
    call(rep.get(), "PrepareForPrinting");
    Variant pages = get(rep.get(), "Pages");
    const int32_t count = get(pages.pdispVal, "Count").to_i4();
    EXPECT_EQ(count, 1);
    for (int32_t index : {count, int32_t(-1)}) {
        Variant item = get(pages.pdispVal, "Item", {Variant(index)});
        EXPECT_EQ(item.vt, plat::VT_DISPATCH);
        EXPECT_EQ(item.pdispVal, nullptr) << index;
    }
    Variant page = get(pages.pdispVal, "Item", {Variant(int32_t(0))});
    EXPECT_EQ(get(page.pdispVal, "FirstItem").to_i4(), 0);
    EXPECT_EQ(get(page.pdispVal, "LastItem").to_i4(), 4);
    // New rows make the pages stale: the run lays them out again, and the
    // old list keeps its pages.
    fill(200);
    ASSERT_EQ(call(rep.get(), "Start"), 0);
    EXPECT_GT(get(get(rep.get(), "Pages").pdispVal, "Count").to_i4(), 1);
    EXPECT_EQ(get(pages.pdispVal, "Count").to_i4(), 1);
    EXPECT_EQ(get(page.pdispVal, "LastItem").to_i4(), 4);
    printer->finish();
}

} // namespace
