// Forms: sizes in twips, Resize, unloading, menus and accelerators, the
// global objects and the prompts; and a picture of every control kind.
#include <QApplication>
#include <QDir>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QSortFilterProxyModel>
#include <QTemporaryDir>
#include <QImage>
#include <QLineEdit>
#include <QMenuBar>
#include <QTest>
#include <gtest/gtest.h>

#include "platform/forms/form.h"
#include "platform/forms/forms_runtime.h"
#include "platform/ui/qt_prompt.h"
#include "support/scripted_prompt.h"

using namespace plat::forms;
using plat::ui::MsgAnswer;

TEST(FormsForm, ControlGeometryIsKeptInTwips) {
    Form form("frmGeo");
    auto& lbl = form.Add<Label>("lbl");
    lbl.Move(150, 300, 1507, 450);
    EXPECT_EQ(lbl.widget()->geometry(), QRect(10, 20, 100, 30));
    // What code set reads back exactly, not rounded through pixels.
    EXPECT_EQ(lbl.Width(), 1507);
    auto& a = form.Add<CommandButton>("cmd", 0);
    auto& b = form.Add<CommandButton>("cmd", 1);
    EXPECT_TRUE(b.IsAbove(a));
    a.ZOrder(0);
    EXPECT_TRUE(a.IsAbove(b));
    a.ZOrder(1);
    EXPECT_TRUE(b.IsAbove(a));
    EXPECT_EQ(&form.Get<CommandButton>("cmd", 1), &b);
    EXPECT_EQ(form.Find("cmd"), nullptr);
}

TEST(FormsForm, SettingTheSizeFiresResizeAtOnceAndReentryEnds) {
    Form form("frmResize");
    form.Move(0, 0, 6000, 4500);
    int resizes = 0;
    // A handler that keeps a minimum width re-enters once.
    form.OnResize = [&] {
        ++resizes;
        if (form.Width() < 3000) form.SetWidth(3000);
    };
    form.SetWidth(1500); // hidden: Resize still fires now
    EXPECT_EQ(resizes, 2);
    EXPECT_EQ(form.Width(), 3000);
    form.Show();
    EXPECT_EQ(resizes, 2) << "showing at the same size fires nothing more";
    form.SetHeight(6000);
    EXPECT_EQ(resizes, 3);
    // A handler that always grows the form stops at the depth guard.
    resizes = 0;
    form.OnResize = [&] {
        ++resizes;
        form.SetWidth(form.Width() + 150);
    };
    form.SetWidth(4500);
    EXPECT_EQ(resizes, Form::kMaxResizeDepth);
}

TEST(FormsForm, ScaleSizeIsTheClientAreaBelowTheMenuBar) {
    Form form("frmScale");
    form.Move(0, 0, 6000, 4500);
    form.Show();
    EXPECT_EQ(form.ScaleHeight(), form.window()->height() * 15) << "no menu bar yet";
    auto& file = form.AddMenu("mnuFile");
    file.SetCaption("&File");
    const int bar = form.menu_bar()->height();
    ASSERT_GT(bar, 0);
    EXPECT_EQ(form.ScaleHeight(), (form.window()->height() - bar) * 15);
    EXPECT_EQ(form.ScaleWidth(), form.window()->width() * 15);
    EXPECT_EQ(form.client()->y(), bar);
}

TEST(FormsForm, QueryUnloadTellsTheCloseBoxFromCode) {
    Form form("frmUnload");
    std::vector<int> modes;
    bool cancel_next = true;
    form.OnQueryUnload = [&](bool& cancel, UnloadMode mode) {
        modes.push_back(static_cast<int>(mode));
        cancel = cancel_next;
    };
    int unloads = 0;
    form.OnUnload = [&](bool&) { ++unloads; };
    form.Show();
    form.window()->close(); // the close box
    EXPECT_TRUE(form.window()->isVisible()) << "cancelled";
    EXPECT_EQ(unloads, 0);
    EXPECT_FALSE(form.Unload());
    cancel_next = false;
    EXPECT_TRUE(form.Unload());
    EXPECT_FALSE(form.window()->isVisible());
    EXPECT_EQ(modes, (std::vector<int>{0, 1, 1}));
    EXPECT_EQ(unloads, 1);
    form.Show();
    form.window()->close();
    EXPECT_EQ(modes.back(), 0);
    EXPECT_EQ(unloads, 2);
}

TEST(FormsForm, AcceleratorRunsTheDropDownClickFirst) {
    Form form("frmMenus");
    auto& file = form.AddMenu("mnuFile");
    auto& save = form.AddMenu("mnuFileSave", &file);
    save.SetCaption("&Save");
    save.SetShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
    std::vector<std::string> log;
    bool document_modified = false;
    file.Click = [&](int32_t) {
        log.push_back("file");
        save.SetEnabled(document_modified);
    };
    save.Click = [&](int32_t) { log.push_back("save"); };
    save.SetEnabled(true); // stale: the document is no longer modified
    save.RunShortcut();
    EXPECT_EQ(log, (std::vector<std::string>{"file"}));
    document_modified = true;
    save.RunShortcut();
    EXPECT_EQ(log, (std::vector<std::string>{"file", "file", "save"}));
    // A disabled top menu swallows its items' shortcuts too.
    file.Click = nullptr;
    file.SetEnabled(false);
    save.RunShortcut();
    EXPECT_EQ(log.size(), 3u);
    EXPECT_TRUE(save.action()->text().endsWith(QStringLiteral("\tCtrl+S")));
}

TEST(FormsForm, AcceleratorKeyReachesTheMenu) {
    Form form("frmKeys");
    auto& file = form.AddMenu("mnuFile");
    file.SetCaption("&File");
    auto& save = form.AddMenu("mnuFileSave", &file);
    save.SetCaption("&Save");
    save.SetShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
    std::vector<std::string> log;
    file.Click = [&](int32_t) { log.push_back("file"); };
    save.Click = [&](int32_t) { log.push_back("save"); };
    auto& txt = form.Add<TextBox>("txt");
    txt.Move(0, 0, 1500, 300);
    form.Show();
    form.window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.window()));
    QTest::keyClick(txt.line_edit(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(log, (std::vector<std::string>{"file", "save"}));
    save.SetEnabled(false);
    QTest::keyClick(txt.line_edit(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(log, (std::vector<std::string>{"file", "save", "file"}));
}

TEST(FormsForm, ModalShowReturnsWhenTheFormHides) {
    Form dialog("frmAbout");
    int loads = 0;
    dialog.OnLoad = [&] { ++loads; };
    // Queued, so it runs inside the modal loop.
    dialog.OnActivate = [&] {
        QMetaObject::invokeMethod(
            dialog.window(), [&] { dialog.Hide(); }, Qt::QueuedConnection);
    };
    dialog.Show(true);
    EXPECT_FALSE(dialog.window()->isVisible());
    EXPECT_EQ(dialog.window()->windowModality(), Qt::NonModal);
    dialog.Show(true);
    EXPECT_EQ(loads, 1);
}

TEST(FormsForm, MenuArrayElementsLoadAfterTheirArray) {
    Form form("frmRecent");
    auto& file = form.AddMenu("mnuFile");
    form.AddMenu("mnuFileOpen", &file).SetCaption("Open");
    form.AddMenu("mnuRecent", &file, 0).SetCaption("-");
    form.AddMenu("mnuFileExit", &file).SetCaption("Exit");
    form.AddMenu("mnuRecent", &file, 1).SetCaption("1 a.kld");
    form.AddMenu("mnuRecent", &file, 2).SetCaption("2 b.kld");
    QStringList order;
    for (auto* a : file.submenu()->actions())
        order << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(order, (QStringList{"Open", "-", "1 a.kld", "2 b.kld", "Exit"}));
    int clicked = -1;
    auto* recent = form.FindMenu("mnuRecent", 2);
    recent->Click = [&](int32_t index) { clicked = index; };
    recent->Trigger();
    EXPECT_EQ(clicked, 2);
    form.RemoveMenu(*form.FindMenu("mnuRecent", 1));
    EXPECT_EQ(file.submenu()->actions().size(), 4);
}

TEST(FormsRuntime, MsgBoxAndCommonDialogGoThroughThePrompt) {
    kltest::ScriptedPrompt prompt;
    prompt.expect({.kind = kltest::PromptKind::Message,
                   .match = "Save changes?",
                   .answer = MsgAnswer::No,
                   .check = [](const plat::ui::MessageRequest& r) {
                       EXPECT_EQ(r.buttons, plat::ui::MsgButtons::YesNoCancel);
                       EXPECT_EQ(r.icon, plat::ui::MsgIcon::Question);
                       EXPECT_EQ(r.default_button, 1);
                       EXPECT_EQ(r.caption, "Designer");
                   }});
    EXPECT_EQ(MsgBox(prompt, "Save changes?", 3 + 32 + 256, "Designer"), MsgAnswer::No);

    CommonDialog dlg(prompt);
    dlg.DialogTitle = "Open";
    dlg.FileName = "old.kld";
    prompt.expect_open("Open", std::nullopt);
    EXPECT_FALSE(dlg.ShowOpen());
    EXPECT_EQ(dlg.FileName, "old.kld");
    dlg.CancelError = true;
    prompt.expect_open("Open", std::nullopt);
    EXPECT_THROW(dlg.ShowOpen(), CommonDialog::Cancelled);
    dlg.DialogTitle = "Save As";
    prompt.expect_save("Save As", "/tmp/x/New.KLD");
    EXPECT_TRUE(dlg.ShowSave());
    EXPECT_EQ(dlg.FileTitle, "New.KLD");
    EXPECT_TRUE(prompt.seen().back().file.overwrite_prompt);
    prompt.expect_folder("Pick", std::nullopt);
    EXPECT_EQ(BrowseForFolder(prompt, "Pick"), "");
    prompt.verify_done();
}

TEST(FormsRuntime, FileChoosersAreOurOwnCaseBlindDialogs) {
    plat::ui::FileRequest r;
    r.title = "Save Update Description To File";
    r.filter = "Update Description Files (*.kld)|*.kld|All Files (*.*)|*.*";
    r.filter_index = 2;
    r.initial_folder = QDir::tempPath().toStdString();
    r.file_name = "Untitled.KLD";
    QFileDialog save;
    plat::ui::ConfigureFileDialog(save, r, true);
    EXPECT_TRUE(save.testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_FALSE(save.filter() & QDir::CaseSensitive) << "*.kld shows Untitled.KLD";
    EXPECT_EQ(save.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_FALSE(save.testOption(QFileDialog::DontConfirmOverwrite)) << "saving asks before overwriting";
    EXPECT_EQ(save.selectedNameFilter(), QStringLiteral("All Files (*)"));
    EXPECT_EQ(save.windowTitle().toStdString(), r.title);

    r.must_exist = true;
    r.filter_index = 7; // past the end: the last one
    QFileDialog open;
    plat::ui::ConfigureFileDialog(open, r, false);
    EXPECT_EQ(open.fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(open.acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(open.selectedNameFilter(), QStringLiteral("All Files (*)"));
    r.filter_index = 1;
    plat::ui::ConfigureFileDialog(open, r, false);
    EXPECT_EQ(open.selectedNameFilter(), QStringLiteral("Update Description Files (*.kld)"));
}

// The programs choice lists what one may run, whatever its name, and the
// other choices list by name again once the user picks one.
TEST(FormsRuntime, ProgramsChoiceListsWhatMayRun) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto make = [&](const QString& name, QFileDevice::Permissions perms) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.close();
        f.setPermissions(perms);
    };
    const auto rw = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    make("tool", rw | QFileDevice::ExeOwner);
    make("notes.txt", rw);
    make("setup.exe", rw);
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));

    plat::ui::FileRequest r;
    r.filter = "Executable Files (*.exe;*.com;*.bat)|*.exe;*.com;*.bat|All Files (*.*)|*.*";
    r.programs = true;
    r.must_exist = true;
    r.initial_folder = dir.path().toStdString();
    QFileDialog dialog;
    plat::ui::ConfigureFileDialog(dialog, r, false);
    EXPECT_EQ(dialog.nameFilters(),
              (QStringList{"Programs (*)", "Executable Files (*.exe *.com *.bat)", "All Files (*)"}));
    EXPECT_EQ(dialog.selectedNameFilter(), QStringLiteral("Programs (*)"));

    auto* files = dialog.findChild<QFileSystemModel*>();
    ASSERT_NE(files, nullptr);
    auto listed = [&] {
        QStringList names;
        QAbstractProxyModel* shown = dialog.proxyModel();
        const QModelIndex root = shown->mapFromSource(files->index(dir.path()));
        for (int i = 0; i < shown->rowCount(root); ++i) {
            const QModelIndex source = shown->mapToSource(shown->index(i, 0, root));
            if (files->flags(source) & Qt::ItemIsEnabled) names << shown->index(i, 0, root).data().toString();
        }
        names.sort();
        return names;
    };
    QTRY_COMPARE_WITH_TIMEOUT(listed(), (QStringList{"sub", "tool"}), 5000);

    // A user picking the next choice in the chooser's list.
    auto* types = dialog.findChild<QComboBox*>("fileTypeCombo");
    ASSERT_NE(types, nullptr);
    types->setCurrentIndex(1);
    emit types->activated(1);
    QTRY_COMPARE_WITH_TIMEOUT(listed(), (QStringList{"setup.exe", "sub"}), 5000);
}

TEST(FormsRuntime, ScreenAndApp) {
    Screen::SetMousePointer(Screen::kHourglass);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    Screen::SetMousePointer(Screen::kHourglass);
    Screen::SetMousePointer(Screen::kDefaultPointer);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "one restore undoes it";
    EXPECT_EQ(App::Path(), QCoreApplication::applicationDirPath().toStdString());
    EXPECT_GT(Screen::Width(), 0);
}

TEST(FormsRuntime, PictureBoxDrawsLinesAndBoxes) {
    Form form("frmPic");
    auto& pic = form.Add<PictureBox>("pic");
    pic.Move(0, 0, 1500, 1500); // 100 x 100 px
    pic.SetBackColor(0xFFFFFF);
    pic.Line(150, 150, 750, 750, 0x0000FF, PictureBox::LineStyle::FilledBox); // red, BGR order
    pic.Line(900, 150, 1350, 600, 0xFF0000, PictureBox::LineStyle::Box);
    const QImage& img = pic.canvas();
    EXPECT_EQ(img.size(), QSize(100, 100));
    EXPECT_EQ(img.pixelColor(30, 30), QColor(255, 0, 0));
    EXPECT_EQ(img.pixelColor(60, 10), QColor(0, 0, 255)) << "box outline";
    EXPECT_EQ(img.pixelColor(75, 25), QColor(255, 255, 255)) << "B leaves the inside";
    pic.Cls();
    EXPECT_EQ(pic.canvas().pixelColor(30, 30), QColor(255, 255, 255));
}

TEST(FormsScreenshot, SampleFormWithEveryKind) {
    Form form("frmSample");
    form.SetCaption("Sample form");
    form.AddMenu("mnuFile").SetCaption("&File");
    form.AddMenu("mnuHelp").SetCaption("&Help");
    form.Move(0, 0, 9000, 6750);
    auto& lbl = form.Add<Label>("lblName");
    lbl.Move(150, 150, 1500, 300);
    lbl.SetCaption("Name:");
    auto& txt = form.Add<TextBox>("txtName");
    txt.Move(1650, 120, 3000, 315);
    txt.SetText("Example product");
    auto& cbo = form.Add<ComboBox>("cboKind");
    cbo.Move(1650, 540, 3000, 315);
    cbo.AddItem("Install");
    cbo.AddItem("Execute");
    cbo.SetListIndex(0);
    auto& lst = form.Add<ListBox>("lstFiles");
    lst.Move(150, 1000, 2500, 1500);
    for (auto* s : {"readme.txt", "setup.exe", "data.bin"})
        lst.AddItem(s);
    lst.SetListIndex(1);
    auto& chk = form.Add<CheckBox>("chkReboot");
    chk.Move(2800, 1000, 2500, 300);
    chk.SetCaption("Restart afterwards");
    chk.SetValue(1);
    auto& fra = form.Add<Frame>("fraMode");
    fra.Move(2800, 1400, 2500, 1100);
    fra.SetCaption("Mode");
    for (int i = 0; i < 2; ++i) {
        auto& o = form.Add<OptionButton>("optMode", i, fra.inner());
        o.Move(150, 300 + i * 350, 2200, 300);
        o.SetCaption(i == 0 ? "Quiet" : "Ask first");
    }
    form.Get<OptionButton>("optMode", 1).SetValue(true);
    auto& pnl = form.Add<Panel>("pnlStatus");
    pnl.Move(5500, 150, 3200, 500);
    pnl.SetCaption("Panel");
    pnl.SetBevelOuter(1);
    QImage face(16, 16, QImage::Format_RGB32);
    face.fill(QColor(40, 120, 200));
    for (int i = 0; i < 2; ++i) {
        auto& rib = form.Add<RibbonButton>("ribTool", i);
        rib.Move(5500 + i * 450, 800, 420, 420);
        rib.SetPicture(face);
    }
    auto& cmd = form.Add<CommandButton>("cmdOK");
    cmd.Move(7400, 800, 1200, 420);
    cmd.SetCaption("OK");
    auto& tab = form.Add<TabStrip>("tabMain", -1, nullptr, 3);
    tab.Move(150, 2700, 5200, 2500);
    for (int i = 0; i < 3; ++i)
        tab.SetTabCaption(i, "Page " + std::to_string(i + 1));
    auto& onPage = form.Add<Label>("lblOnPage", -1, tab.page(0));
    onPage.Move(150, 150, 3000, 300);
    onPage.SetCaption("Owned by page 1");
    auto& pic = form.Add<PictureBox>("picProgress");
    pic.Move(5500, 2700, 3000, 360);
    pic.SetBackColor(0xFFFFFF);
    pic.Line(0, 0, 1500, 360, 0x800000, PictureBox::LineStyle::FilledBox);
    form.Show();
    QDir().mkpath(QStringLiteral(KL_SCREENSHOT_DIR));
    const QImage shot = form.window()->grab().toImage();
    ASSERT_TRUE(shot.save(QStringLiteral(KL_SCREENSHOT_DIR "/sample_form.png")));
    // Not blank: the picture box's fill shows.
    EXPECT_EQ(shot.pixelColor(5500 / 15 + 10, form.client()->y() + 2700 / 15 + 10), QColor(0, 0, 128));
}

// A person's change of tab takes the keyboard from the page that goes away
// to the first control of the new one; a keyboard elsewhere stays put.
TEST(FormsForm, TabChangeTakesTheKeyboardAlongFromTheOldPage) {
    Form form("frmTabs");
    auto& outside = form.Add<TextBox>("txtOutside");
    outside.Move(0, 0, 1500, 300);
    auto& tab = form.Add<TabStrip>("tab", -1, nullptr, 3);
    tab.Move(0, 600, 6000, 3000);
    std::vector<TextBox*> first;
    for (int page = 0; page < 3; ++page) {
        auto& label = form.Add<Label>("lbl", page, tab.page(page));
        label.Move(150, 450, 1500, 300);
        // Page 2's first box is hidden: the keyboard goes to the next one.
        for (int k = 0; k < 2; ++k) {
            auto& box = form.Add<TextBox>("txt" + std::to_string(page), k, tab.page(page));
            box.Move(1800, 450 + k * 400, 1500, 300);
            if (k == 0) first.push_back(&box);
        }
    }
    first[2]->SetVisible(false);
    form.Show();
    form.window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.window()));

    first[0]->line_edit()->setFocus();
    tab.tab_bar()->setCurrentIndex(1);
    EXPECT_EQ(QApplication::focusWidget(), first[1]->line_edit());
    tab.tab_bar()->setCurrentIndex(2);
    EXPECT_EQ(QApplication::focusWidget(), form.Get<TextBox>("txt2", 1).line_edit());

    outside.line_edit()->setFocus();
    tab.SetTab(0);
    EXPECT_EQ(QApplication::focusWidget(), outside.line_edit());
}
