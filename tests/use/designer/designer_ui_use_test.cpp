// The designer as a vendor meets it: the main form with the real list
// control on a real X display, driven by pointer and key events that travel
// through the window system (focus, modality, keys), and the KLDesigner
// program itself started on a description.
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QMenuBar>
#include <QProcess>
#include <QTimer>

#include "real_list_rig.h"
#include "KLDesigner/ui/progress_form.h"
#include "platform/ui/process_prompt.h"
#include "support/gui/x_input.h"

namespace x = kltest::x;
using kldtest::ActionListUi;
using plat::ui::MsgAnswer;

namespace {

// Whether something lights up a fifth of the X screen.
bool ScreenShowsAWindow() {
    const QImage shot = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    int64_t lit = 0, all = 0;
    for (int y = 0; y < shot.height(); y += 8)
        for (int x0 = 0; x0 < shot.width(); x0 += 8, ++all)
            lit += qGray(shot.pixel(x0, y)) > 32;
    return all > 0 && lit * 5 > all;
}

class DesignerInUse : public ActionListUi {
  protected:
    void SetUp() override {
        if (!x::available()) GTEST_SKIP() << "no X server with XTest";
        ActionListUi::SetUp();
        ASSERT_TRUE(x::activate(main.form().window()));
    }

    std::string PanelText() { return main.form().Get<plat::forms::TextBox>("txtOperFileName").Text(); }
    // What the panel must show for the item at `position`: a group's folder,
    // an action's file.
    std::string NameOf(int32_t position) {
        const kld::ActionRecord& r = Record(position);
        return r.IsGroup ? r.SourceFolder : r.SourcePath;
    }
    void ClickItem(int32_t position) {
        x::click(View(), TextPoint(position));
        x::settle();
    }
    // Runs `inside` from the event loop once the code that `start` enters
    // (a modal form, a build) is running, then returns when `start` does.
    void During(const std::function<void()>& start, std::function<void()> inside) {
        QTimer::singleShot(300, main.form().window(), std::move(inside));
        start();
    }
};

// Whatever moves the selection, the panel shows the selected record, and
// typing into it renames that record and no other.
TEST_F(DesignerInUse, PanelFollowsEverySelectionChange) {
    TwoGroups();
    kld::IActionTree& t = d->Operations();
    struct Cause {
        const char* what;
        std::function<void()> act;
        int32_t selected;
    };
    const Cause causes[] = {
        {"a click on a2", [&] { ClickItem(2); }, 2},
        {"Down", [] { x::key(Qt::Key_Down); }, 3},
        {"Down again", [] { x::key(Qt::Key_Down); }, 4},
        {"Home", [] { x::key(Qt::Key_Home); }, 0},
        {"End", [] { x::key(Qt::Key_End); }, 4},
        {"Up", [] { x::key(Qt::Key_Up); }, 3},
        {"Move Up on the toolbar", [&] { x::click(main.Live("cmdMoveUp").button(), {8, 8}); }, 0},
    };
    for (const Cause& c : causes) {
        SCOPED_TRACE(c.what);
        c.act();
        x::settle();
        ASSERT_EQ(t.ListIndex(), c.selected);
        EXPECT_EQ(PanelText(), NameOf(c.selected));
        EXPECT_TRUE(main.form().Find("pnlOperationProperties")->Visible());
    }

    // After a click and an arrow, typing goes into the record the list
    // selects (now "3[4] 0[1 2]": a1 then a2).
    ClickItem(3);
    x::key(Qt::Key_Down);
    x::settle();
    auto* name = main.form().Find("txtOperFileName")->widget();
    x::click(name, {name->width() - 4, name->height() / 2});
    x::key(Qt::Key_End);
    x::type(QStringLiteral("z"));
    EXPECT_EQ(d->Actions[2].SourcePath, "a2z");
    EXPECT_EQ(d->Actions[1].SourcePath, "a1");
    EXPECT_EQ(d->Actions[4].SourcePath, "b1");
}

// A Prepare that stops at an action selects it; the panel shows it before
// anything is typed, so the next edit lands there.
TEST_F(DesignerInUse, PanelFollowsTheActionAFailedPrepareSelects) {
    TwoGroups();
    d->Product.ProductName = "Widget";
    d->Product.Manufacturer = "Maker";
    d->Product.OutputFolder = dir.str() + "/out";
    d->Product.INFFileName = "widget.inf";
    d->Product.WebLocation = "http://localhost/";
    d->Product.InstallPaths[0].FolderType = 1;
    d->Product.InstallPaths[0].Path = "/opt/widget";
    ClickItem(4);
    std::filesystem::remove(std::filesystem::path(dir.str()) / "A" / "a1");
    // Anyone may install it; then the missing file is reported.
    for (int k = 0; k < 2; ++k)
        prompt.expect(kltest::ExpectedPrompt{.kind = kltest::PromptKind::Message, .answer = MsgAnswer::Yes});
    x::click(main.Live("cmdMakeStuff").button(), {8, 8});
    x::settle(200);
    ASSERT_EQ(d->Operations().ListIndex(), 1) << "Prepare stopped at a1";
    EXPECT_EQ(PanelText(), "a1");

    auto* name = main.form().Find("txtOperFileName")->widget();
    x::click(name, {name->width() - 4, name->height() / 2});
    x::key(Qt::Key_End);
    x::type(QStringLiteral("2"));
    EXPECT_EQ(Record(1).SourcePath, "a12");
    EXPECT_EQ(Record(4).SourcePath, "b1") << "the action clicked before Prepare keeps its name";
}

// Keys on the list after a click on an item.
TEST_F(DesignerInUse, KeysActOnTheListAfterAClick) {
    TwoGroups();
    kld::IActionTree& t = d->Operations();
    ClickItem(1);
    struct Step {
        const char* what;
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        std::function<void()> expect; // the chooser the key opens, if any
        std::string shape;
        int32_t selected;
    };
    const Step steps[] = {
        {"Down", Qt::Key_Down, {}, {}, "0[1 2] 3[4]", 2},
        {"Ctrl+Delete keeps it", Qt::Key_Delete, Qt::ControlModifier, {}, "0[1 2] 3[4]", 2},
        {"Enter on an action", Qt::Key_Return, {}, [&] { prompt.expect_open("Select File", std::nullopt); },
         "0[1 2] 3[4]", 2},
        {"Delete", Qt::Key_Delete, {}, {}, "0[1] 3[4]", 2},
        {"Home", Qt::Key_Home, {}, {}, "0[1] 3[4]", 0},
        {"Enter on a group", Qt::Key_Return, {},
         [&] { prompt.expect_folder("Select Source Folder", std::nullopt); }, "0[1] 3[4]", 0},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        if (s.expect) s.expect();
        x::key(s.key, s.mods);
        x::settle();
        EXPECT_EQ(prompt.pending(), 0u) << "the chooser did not open";
        EXPECT_EQ(Shape(), s.shape);
        EXPECT_EQ(t.ListIndex(), s.selected);
        EXPECT_EQ(PanelText(), NameOf(t.ListIndex()));
    }
}

TEST_F(DesignerInUse, CtrlDragCopiesAndAPlainDragMoves) {
    TwoGroups();
    x::drag(View(), TextPoint(1), TextPoint(2), Qt::ControlModifier);
    x::settle();
    EXPECT_EQ(d->Operations().ListCountEx(0).value, 3) << Shape();
    EXPECT_EQ(SavedOrder(), "A: a1 a2 a1 B: b1");
    x::drag(View(), TextPoint(1), TextPoint(3));
    x::settle();
    EXPECT_EQ(SavedOrder(), "A: a2 a1 a1 B: b1");
}

// Print Action List from the toolbar prints the list; from the menu, with
// no printer, it says so.
TEST_F(DesignerInUse, PrintActionListPrintsOrSaysThePrinterIsNotReady) {
    TwoGroups();
    plat::ui::IPrompt* before = plat::ui::SetProcessPrompt(&prompt);
    const std::string pdf = dir.str() + "/list.pdf";
    prompt.expect_printer(kltest::PromptKind::DefaultPrinter, plat::ui::PrinterChoice{"", pdf, 300});
    x::click(main.Live("cmdPrint").button(), {8, 8});
    x::settle();
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QString::fromStdString(pdf), QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(20000));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    for (const char* name : {"a1", "a2", "b1"}) EXPECT_TRUE(printed.contains(QLatin1String(name))) << name;

    prompt.expect_printer(kltest::PromptKind::DefaultPrinter, std::nullopt);
    prompt.expect_message("Default printer is not ready. Please, fix the problem and try again.");
    x::key(Qt::Key_F, Qt::AltModifier);
    x::key(Qt::Key_P);
    x::settle();
    EXPECT_EQ(prompt.pending(), 0u);
    plat::ui::SetProcessPrompt(before);
}

// About holds the keyboard until Escape closes it.
TEST_F(DesignerInUse, AboutIsModalAndEscapeClosesIt) {
    d->DocumentModified = true; // New would ask to save: nothing may ask
    bool shown = false, open_after_escape = true;
    During([&] { x::key(Qt::Key_H, Qt::AltModifier), x::key(Qt::Key_A); },
           [&] {
               QWidget* about = main.frmAbout().form().window();
               shown = about->isVisible();
               x::key(Qt::Key_N, Qt::ControlModifier);
               x::settle(100);
               x::save_shot(x::grab(about), "designer-about");
               x::key(Qt::Key_Escape);
               x::settle(100);
               open_after_escape = about->isVisible();
           });
    x::settle();
    EXPECT_TRUE(shown);
    EXPECT_EQ(main.frmAbout().form().Get<plat::forms::Label>("lblVersion").Caption(), "Version " KL_DESIGNER_VERSION);
    EXPECT_FALSE(open_after_escape);
    EXPECT_TRUE(d->DocumentModified) << "Ctrl+N reached the main window";
}

// Validate File(s) Information redraws the grid rows of every action whose
// file changed, not only the selected one.
TEST_F(DesignerInUse, ValidateRefreshesTheGridRowsItChanged) {
    TwoGroups();
    main.MenuItem("mnuViewActionListStyle", 1).Click(1);
    x::settle();
    std::ofstream(dir.str() + "/A/a1") << "longer content";
    std::ofstream(dir.str() + "/B/b1") << "much longer content";
    prompt.expect_message("Information about 2 files has been refreshed.", MsgAnswer::Ok);
    d->Operations().SetListIndex(-1);
    x::settle();
    const QImage before = x::grab(View());
    x::click(main.Live("cmdUpdateOperInfo").button(), {8, 8});
    x::settle(200);
    // Drawn again where the two rows stand: two bands of changed pixels.
    const QImage after = x::grab(View());
    ASSERT_EQ(before.size(), after.size());
    int bands = 0;
    bool in_band = false;
    for (int y = 0; y < after.height(); ++y) {
        bool changed = false;
        for (int x0 = 0; x0 < after.width() && !changed; ++x0) changed = before.pixel(x0, y) != after.pixel(x0, y);
        bands += changed && !in_band;
        in_band = changed;
    }
    EXPECT_GE(bands, 2) << "the grid rows of a1 and b1 are drawn with their new values";
    EXPECT_EQ(Record(1).FileSize, 14);
    EXPECT_EQ(Record(4).FileSize, 19);
    for (int32_t p : {1, 4}) {
        plat::Variant size;
        const plat::Variant args[] = {plat::Variant(p), plat::Variant("FSIZE")};
        plat::Variant v;
        plat::dispatch_get(list.get(), kldtest::dispid::kItemValues, v, args);
        ASSERT_EQ(v.vt, plat::VT_DISPATCH);
        plat::dispatch_get(v.pdispVal, "Value", size);
        EXPECT_EQ(size.to_utf8(), std::to_string(Record(p).FileSize) + " ") << p;
    }
    x::save_shot(x::grab(main.form().window()), "designer-tree-grid");
}

// What a vendor sees first: the list's pictures on white, the menus.
TEST_F(DesignerInUse, ScreenshotsOfTheListAndTheMenus) {
    TwoGroups();
    ClickItem(2);
    x::save_shot(x::grab(View()), "designer-action-list");
    // The picture of an unselected item stands on the list's white: no dark
    // square around it.
    const QImage shot = x::grab(View());
    const QPoint text = TextPoint(1);
    int dark = 0;
    for (int y = text.y() - 6; y <= text.y() + 6; ++y)
        for (int x0 = 0; x0 < text.x() - 2; ++x0)
            dark += qGray(shot.pixel(x0, y)) < 40;
    EXPECT_LT(dark, 20) << "a dark square behind the picture";
    QMenuBar* bar = main.form().menu_bar();
    x::click(bar, bar->actionGeometry(main.MenuItem("mnuFile").action()).center());
    x::settle(300);
    QWidget* menu = main.MenuItem("mnuFile").submenu();
    ASSERT_TRUE(menu->isVisible());
    x::save_shot(x::grab(menu), "designer-file-menu");
    x::key(Qt::Key_Escape);
    x::settle();
}

// The program started on a description: the product name takes the keys.
TEST_F(DesignerInUse, ProductNameHasTheKeyboardAfterAFileOpensAtStartUp) {
    const std::string path = dir.str() + "/start.kld";
    d->Product.ProductName = "Old";
    d->Bridge().StoreDescriptionInTree(*d);
    ASSERT_TRUE(d->Bridge().SaveTreeToFile(*d, path));
    main.form().window()->hide();
    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(QStringLiteral(KLD_PROGRAM_PATH), {QString::fromStdString(path)});
    ASSERT_TRUE(program.waitForStarted(10000));
    // Until the program's window covers the screen it had to itself.
    for (int waited = 0; waited < 60 && !ScreenShowsAWindow(); ++waited) x::settle(500);
    x::settle(1000);
    x::type(QStringLiteral("New Name"));
    x::key(Qt::Key_S, Qt::ControlModifier);
    x::settle(1500);
    program.kill();
    program.waitForFinished(10000);

    kld::CHostSite site;
    plat::ComPtr<plat::IDispatch> fresh = site.Create(kld::kTreeListClassId);
    kld::DescriptionDocument doc;
    {
        kld::CDescriptionFile reader(site, fresh.get());
        ASSERT_EQ(reader.Load(path, doc), kld::CDescriptionFile::LoadResult::Loaded);
    }
    fresh.reset();
    site.ReleaseAll();
    EXPECT_EQ(doc.product.ProductName, "New Name");
}

} // namespace

namespace {

// Prepare twice since start: the second build shows its progress form too,
// and its Cancel button stops it.
TEST_F(DesignerInUse, TheSecondPrepareCanBeCancelled) {
    const std::filesystem::path folder = std::filesystem::path(dir.str()) / "P";
    std::filesystem::create_directories(folder);
    // A program big enough that compressing it takes a while.
    std::filesystem::copy_file(KLD_PROGRAM_PATH, folder / "prog");
    prompt.expect_folder("Select Source Folder", folder.string());
    x::click(main.Live("cmdNewExecuteFile").button(), {8, 8});
    prompt.expect_open("Select File", (folder / "prog").string());
    x::click(main.Live("cmdNewItem").button(), {8, 8});
    x::settle();
    ASSERT_EQ(Shape(), "0[1]");
    Record(1).Compress = true;
    d->Product.ProductName = "Widget";
    d->Product.Manufacturer = "Maker";
    d->Product.OutputFolder = dir.str() + "/out";
    d->Product.INFFileName = "widget.inf";
    d->Product.WebLocation = "http://localhost/";
    d->Product.InstallPaths[0].FolderType = 1;
    d->Product.InstallPaths[0].Path = "/opt/widget";
    auto answer = [&](MsgAnswer a, const char* text = "") {
        prompt.expect(kltest::ExpectedPrompt{.kind = kltest::PromptKind::Message, .match = text, .answer = a});
    };

    // The first build runs to the end: anyone may install, go ahead, done.
    for (int k = 0; k < 3; ++k) answer(MsgAnswer::Yes);
    x::click(main.Live("cmdMakeStuff").button(), {8, 8});
    x::settle();
    ASSERT_EQ(prompt.pending(), 0u);
    ASSERT_TRUE(std::filesystem::exists(dir.str() + "/out/widget.inf"));

    // The second is cancelled: after the same questions and the one about
    // the full output folder, Cancel asks, and the build stops.
    for (int k = 0; k < 3; ++k) answer(MsgAnswer::Yes);
    answer(MsgAnswer::Yes, "Are you sure you want to cancel creating update stuff and INF file ?");
    answer(MsgAnswer::Ok, "Operation was cancelled by the user.\nUpdate stuff and INF file have not been created.");
    bool shown = false;
    During([&] { x::click(main.Live("cmdMakeStuff").button(), {8, 8}); },
           [&] {
               QWidget* progress = main.frmProgress().form().window();
               shown = progress->isVisible();
               EXPECT_FALSE(main.LiveOnTop("cmdMakeStuff")) << "Create INF looks live while it runs";
               x::save_shot(x::grab(progress), "designer-second-prepare");
               QWidget* cancel = main.frmProgress().form().Find("cmdCancel")->widget();
               x::click(cancel, cancel->rect().center());
           });
    x::settle();
    EXPECT_TRUE(shown);
    EXPECT_EQ(prompt.pending(), 0u);
    EXPECT_FALSE(std::filesystem::exists(dir.str() + "/out/widget.inf"));
    EXPECT_TRUE(main.LiveOnTop("cmdMakeStuff"));
}

} // namespace

namespace {

// The arrow keys move along an option group, choosing each button as the
// keyboard reaches it, round from the last to the first.
TEST_F(DesignerInUse, ArrowKeysStepThroughAnOptionGroup) {
    using plat::forms::OptionButton;
    x::key(Qt::Key_D, Qt::AltModifier);
    x::settle();
    auto option = [&](int i) -> OptionButton& { return main.form().Get<OptionButton>("optInstallPathType", i); };
    QWidget* first = option(0).widget();
    x::click(first, {6, first->height() / 2});
    x::settle();
    ASSERT_TRUE(option(0).Value());
    const struct {
        Qt::Key key;
        int chosen;
    } steps[] = {{Qt::Key_Down, 1}, {Qt::Key_Right, 2}, {Qt::Key_Down, 3}, {Qt::Key_Down, 0}, {Qt::Key_Up, 3},
                 {Qt::Key_Left, 2}};
    for (const auto& s : steps) {
        x::key(s.key);
        x::settle();
        SCOPED_TRACE(s.chosen);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(option(i).Value(), i == s.chosen);
        EXPECT_EQ(QApplication::focusWidget(), option(s.chosen).widget());
        EXPECT_EQ(d->Product.InstallPaths[0].FolderType, s.chosen);
    }
}

} // namespace
