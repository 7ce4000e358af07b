// The wizard in this process against nginx on loopback, answered through a
// scripted prompt: the pages in turn, and the paths through its questions.
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <gtest/gtest.h>
#include <thread>

#include "client/engine/errors.h"
#include "client/ui/artwork.h"
#include "client/ui/details_dialog.h"
#include "client/ui/page_load_inf.h"
#include "client/ui/page_load_prod.h"
#include "client/ui/page_main.h"
#include "client/ui/page_view_log.h"
#include "client/ui/page_view_tree.h"
#include "client/ui/server_location_dialog.h"
#include "client/ui/settings_pages.h"
#include "platform/sys/files.h"
#include "wizard_fixture.h"

using namespace client_ui_test;
using plat::ui::MsgAnswer;
using plat::ui::PropertySheet;

namespace {

std::string Text(int id) {
    return klc::LoadClientString(id).value_or("");
}

struct ButtonState {
    std::string text;
    bool visible;
    bool enabled;
    bool operator==(const ButtonState&) const = default;
};
std::ostream& operator<<(std::ostream& os, const ButtonState& b) {
    return os << "{" << b.text << (b.visible ? " shown" : " hidden") << (b.enabled ? " enabled" : " disabled")
              << "}";
}
ButtonState State(QPushButton* b) {
    return {b->text().toStdString(), b->isVisible(), b->isEnabled()};
}

#define START_OR_SKIP(run, ...)                                                                              \
    if (!(run).StartServer(__VA_ARGS__)) GTEST_SKIP() << "nginx is not available"

TEST(ClientWizard, InteractiveRunFromServerChoiceToLog) {
    WizardRun r;
    START_OR_SKIP(r);
    r.Publish();
    r.WriteServerList(r.Updates() + "/Products.INF");
    ASSERT_TRUE(r.Open({}));

    // The server choice.
    ASSERT_EQ(r.Active(), klc::CKLMainWindow::PAGE_MAIN);
    EXPECT_EQ(r.sheet->windowTitle().toStdString(), "Kestrelite Client");
    EXPECT_EQ(State(r.Button(PropertySheet::Back)), (ButtonState{"&Settings", true, true}));
    EXPECT_EQ(State(r.Button(PropertySheet::Next)), (ButtonState{"&Next >", true, true}));
    auto* main = r.sheet->MainPage();
    EXPECT_EQ(main->WelcomeText().toStdString(), "Updates for the editor.\n");
    ASSERT_EQ(main->Servers()->count(), 2);
    EXPECT_EQ(main->Servers()->itemText(0), "Loopback");
    EXPECT_EQ(main->Servers()->itemText(1), "Specified URL...");
    Shot(r.sheet.get(), "page-main");
    r.Next();

    // The product tree, after the catalogue page loaded it.
    ASSERT_TRUE(r.WaitFor(klc::CKLMainWindow::PAGE_VIEW_TREE)) << r.Log();
    EXPECT_EQ(r.sheet->windowTitle().toStdString(), "Kestrelite Client (Products Tree)");
    EXPECT_FALSE(r.Button(PropertySheet::Back)->isVisible());
    EXPECT_EQ(State(r.Button(PropertySheet::Next)), (ButtonState{"&Next >", true, true}));
    auto* tree_page = r.sheet->TreePage();
    klc::CProductTree* tree = tree_page->Tree();
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* product = tree->topLevelItem(0);
    ASSERT_EQ(product->childCount(), 2);
    QTreeWidgetItem* a = product->child(0);
    QTreeWidgetItem* b = product->child(1);
    EXPECT_EQ(product->text(0), "Editor");
    EXPECT_EQ(a->text(0), "Update A");
    EXPECT_EQ(b->text(0), "Update B");
    EXPECT_EQ(klc::CProductTree::Image(a), 8) << "the icon file";
    EXPECT_EQ(klc::CProductTree::Image(b), 9) << "the bitmap";
    EXPECT_EQ(klc::CProductTree::State(product), klc::STATE_CHECKED);
    EXPECT_TRUE(product->isExpanded());
    EXPECT_EQ(klc::CProductTree::Image(a->child(0)), 2);
    // The icons were read and their files removed.
    // They live in the run's own folder under TEMP, wherever that is.
    for (const auto& e : fs::recursive_directory_iterator(r.dir / "temp"))
        EXPECT_NE(e.path().filename(), "Update.ico") << e.path();

    tree->setCurrentItem(a);
    EXPECT_EQ(tree_page->Texts(), (QStringList{"Vendor", "The first update", "1", "3000 bytes."}));
    EXPECT_TRUE(tree_page->DetailsButton()->isEnabled()) << "news came with this update";
    tree->setCurrentItem(a->child(0));
    EXPECT_EQ(tree_page->Texts(), (QStringList{"Vendor", "The first update", "1", "3000 bytes."}));
    tree->setCurrentItem(b);
    EXPECT_FALSE(tree_page->DetailsButton()->isEnabled()) << "no news for this update";
    tree->setCurrentItem(product);
    EXPECT_EQ(tree_page->Texts(), (QStringList{"------ // ------", "------ // ------", "2", "7000"}));
    tree->setCurrentItem(a);
    r.prompt.expect_dialog("details", [](plat::ui::IModalDialog& d) {
        auto& dlg = dynamic_cast<klc::CDetailsDlg&>(d);
        EXPECT_EQ(klc::FindControl<QPlainTextEdit>(&dlg, 1013)->toPlainText(), "Update A is faster.");
        return 0;
    });
    tree_page->ShowDetails();
    Shot(r.sheet.get(), "page-tree");
    r.Next();

    // The update page runs, then the log.
    ASSERT_TRUE(r.WaitFor(klc::CKLMainWindow::PAGE_VIEW_LOG)) << r.Log();
    EXPECT_EQ(r.sheet->windowTitle().toStdString(), "Kestrelite Client (View Log)");
    EXPECT_EQ(State(r.Button(PropertySheet::Cancel)), (ButtonState{"&Finish", true, true}));
    EXPECT_FALSE(r.Button(PropertySheet::Back)->isVisible());
    EXPECT_FALSE(r.Button(PropertySheet::Next)->isVisible());
    EXPECT_EQ(r.Installed(r.published.file_a), r.published.content_a);
    EXPECT_EQ(r.Installed(r.published.file_b), r.published.content_b);
    std::string shown = r.sheet->LogPage()->Text().toStdString();
    EXPECT_EQ(Count(shown, "Application was finished successfully."), 1u) << shown;
    EXPECT_EQ(r.sheet->UpdatePage()->TotalText(), "7000");
    // The clocks of both loading pages, on the test's clock: no time has
    // passed, so no estimate; then three seconds for all 7000 bytes.
    auto* updates = r.sheet->UpdatePage();
    for (int i = 0; i < 8; ++i)
        updates->tick();
    EXPECT_EQ(updates->TimeLeftText(), "");
    EXPECT_EQ(updates->SpeedText(), "");
    r.clock.now += 3000;
    for (int i = 0; i < 8; ++i)
        updates->tick();
    EXPECT_EQ(updates->TimeLeftText(), "0:00:00");
    EXPECT_EQ(updates->SpeedText(), "2.28");
    r.clock.now += 3658000;
    EXPECT_EQ(r.sheet->CataloguePage()->ElapsedText(), "01:01:01");
    Shot(r.sheet.get(), "page-log");
    for (int i : {klc::CKLMainWindow::PAGE_LOAD_INF, klc::CKLMainWindow::PAGE_LOAD_PROD})
        Shot(r.sheet->page(i), i == 1 ? "page-catalogue" : "page-updates");

    r.sheet->press_button(PropertySheet::Cancel);
    EXPECT_TRUE(r.WaitClosed());
    EXPECT_EQ(r.Close(), 0);
    // The page wrote the result line, and the end of the run once more.
    EXPECT_EQ(Count(r.Log(), "Application was finished successfully."), 2u) << r.Log();
    r.prompt.verify_done();
}

TEST(ClientWizard, UpdateFilterGivesThePartialState) {
    WizardRun r;
    START_OR_SKIP(r);
    r.Publish();
    ASSERT_TRUE(r.Open({"INFFILE=" + r.Updates() + "/Products.INF", "PRODUCT=Editor,Update A"}));
    ASSERT_TRUE(r.WaitFor(klc::CKLMainWindow::PAGE_VIEW_TREE)) << r.Log();
    QTreeWidgetItem* product = r.sheet->TreePage()->Tree()->topLevelItem(0);
    EXPECT_EQ(klc::CProductTree::State(product), klc::STATE_PARTIAL);
    EXPECT_EQ(klc::CProductTree::State(product->child(0)), klc::STATE_CHECKED);
    EXPECT_EQ(klc::CProductTree::State(product->child(1)), klc::STATE_UNCHECKED);
    EXPECT_NE(r.Log().find(Text(400)), std::string::npos) << "the server came from the command line";
    r.Next();
    ASSERT_TRUE(r.WaitFor(klc::CKLMainWindow::PAGE_VIEW_LOG)) << r.Log();
    EXPECT_TRUE(r.HasInstalled(r.published.file_a));
    EXPECT_FALSE(r.HasInstalled(r.published.file_b));
    r.prompt.verify_done();
}

TEST(ClientWizard, AutomaticRunAsksNothingAndCloses) {
    WizardRun r;
    START_OR_SKIP(r);
    r.Publish();
    r.WriteServerList(r.Updates() + "/Products.INF");
    ASSERT_TRUE(r.Open({"AUTO"}));
    ASSERT_TRUE(r.WaitClosed()) << r.Log();
    EXPECT_EQ(r.Close(), 0);
    EXPECT_TRUE(r.prompt.seen().empty());
    EXPECT_EQ(r.Installed(r.published.file_b), r.published.content_b);
    EXPECT_EQ(Count(r.Log(), "Application was finished successfully."), 1u) << r.Log();
}

TEST(ClientWizard, ScriptSkipsToTheLog) {
    WizardRun r;
    ASSERT_TRUE(r.Open({"SCRIPT=x"}));
    EXPECT_EQ(r.Active(), klc::CKLMainWindow::PAGE_VIEW_LOG);
    EXPECT_EQ(r.sheet->windowTitle().toStdString(), "Kestrelite Client (View Log)");
    r.prompt.verify_done();
}

TEST(ClientWizard, NothingCheckedProcessesNothing) {
    WizardRun r;
    START_OR_SKIP(r);
    r.Publish();
    ASSERT_TRUE(r.Open({"INFFILE=" + r.Updates() + "/Products.INF"}));
    ASSERT_TRUE(r.WaitFor(klc::CKLMainWindow::PAGE_VIEW_TREE)) << r.Log();
    klc::CProductTree* tree = r.sheet->TreePage()->Tree();
    tree->Toggle(tree->topLevelItem(0));
    r.Next();
    ASSERT_TRUE(r.WaitFor(klc::CKLMainWindow::PAGE_VIEW_LOG)) << r.Log();
    EXPECT_EQ(r.sheet->LogPage()->Result(), "No one update was processed.");
    EXPECT_FALSE(r.HasInstalled(r.published.file_a));
    r.prompt.verify_done();
}

TEST(ClientWizard, MissingCatalogueShowsTheLoadErrorThenTheLog) {
    WizardRun r;
    START_OR_SKIP(r);
    r.WriteServerList(r.nginx->url("/nowhere/Products.INF"));
    r.prompt.expect_message("Unable to load  product information file.");
    ASSERT_TRUE(r.Open({}));
    r.Next();
    ASSERT_TRUE(r.WaitFor(klc::CKLMainWindow::PAGE_VIEW_LOG)) << r.Log();
    EXPECT_EQ(r.ctx.last_result, klc::ERR_LOAD);
    EXPECT_EQ(Count(r.Log(), "Unable to load  product information file."), 1u) << "logged once: " << r.Log();
    r.prompt.verify_done();
    EXPECT_EQ(r.Close(), 248);
}

TEST(ClientWizard, NoServerAtAllShowsWhyAndTheLog) {
    WizardRun r;
    kltest::write_file(r.dir / "product" / "KLClient.INI", "[Information]\r\n");
    r.prompt.expect_message(Text(146));
    ASSERT_TRUE(r.Open({"NOSETTINGS"}));
    EXPECT_FALSE(r.Button(PropertySheet::Back)->isVisible()) << "NOSETTINGS hides the Settings button";
    ASSERT_TRUE(r.WaitFor(klc::CKLMainWindow::PAGE_VIEW_LOG));
    EXPECT_TRUE(r.sheet->MainPage()->WelcomeText().startsWith("Welcome to the Kestrelite update client."));
    EXPECT_NE(r.Log().find(Text(200)), std::string::npos);
    auto seen = r.prompt.seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, "KLClient Error");
    r.prompt.verify_done();
}

TEST(ClientWizard, SpecifiedUrlAddsAServerForThisRunOnly) {
    WizardRun r;
    r.WriteServerList("http://127.0.0.1:1/Products.INF");
    ASSERT_TRUE(r.Open({}));
    // The Settings button opens the settings sheet and stays on the page.
    r.prompt.expect_dialog("settings", [](plat::ui::IModalDialog& d) {
        auto& sheet = dynamic_cast<klc::SettingsSheetDialog&>(d).Sheet();
        EXPECT_EQ(sheet.windowTitle().toStdString(), "Kestrelite Client Settings");
        EXPECT_EQ(sheet.page_count(), 2);
        return 0;
    });
    r.sheet->press_button(PropertySheet::Back);
    EXPECT_EQ(r.Active(), klc::CKLMainWindow::PAGE_MAIN);
    QComboBox* combo = r.sheet->MainPage()->Servers();
    // Cancelled: the first server is selected again.
    r.prompt.expect_dialog("server", [](plat::ui::IModalDialog&) { return 0; });
    combo->setCurrentIndex(1);
    ASSERT_TRUE(PumpUntil([&] { return r.prompt.pending() == 0 && combo->currentIndex() == 0; }));
    // Given: inserted before "Specified URL..." and selected.
    r.prompt.expect_dialog("server", [](plat::ui::IModalDialog& d) {
        auto& dlg = dynamic_cast<klc::CServerLocationDlg&>(d);
        dlg.NameEdit()->setText("Mirror");
        dlg.UrlEdit()->setText("http://127.0.0.1:2/Products.INF");
        return 1;
    });
    combo->setCurrentIndex(1);
    ASSERT_TRUE(PumpUntil([&] { return r.prompt.pending() == 0 && combo->count() == 3; }));
    EXPECT_EQ(combo->itemText(1), "Mirror");
    EXPECT_EQ(combo->currentIndex(), 1);
    r.prompt.verify_done();
    EXPECT_EQ(kltest::read_file(r.dir / "product" / "KLClient.INI").find("Mirror"), std::string::npos);
}

TEST(ClientWizard, CancelDuringTheDownload) {
    for (MsgAnswer answer : {MsgAnswer::Yes, MsgAnswer::No}) {
        WizardRun r;
        START_OR_SKIP(r, "limit_rate 16k;");
        r.Publish(96 * 1024);
        r.WriteServerList(r.Updates() + "/Products.INF");
        ASSERT_TRUE(r.Open({}));
        r.Next();
        ASSERT_TRUE(r.WaitFor(klc::CKLMainWindow::PAGE_VIEW_TREE)) << r.Log();
        r.Next();
        ASSERT_EQ(r.Active(), klc::CKLMainWindow::PAGE_LOAD_PROD);
        EXPECT_FALSE(r.Button(PropertySheet::Next)->isVisible());
        r.prompt.expect_message(Text(135), answer);
        r.sheet->press_button(PropertySheet::Cancel);
        EXPECT_TRUE(r.sheet->isVisible()) << "a loading page never closes on Cancel";
        if (answer == MsgAnswer::Yes) Shot(r.sheet.get(), "page-updates-cancelled");
        ASSERT_TRUE(r.WaitFor(klc::CKLMainWindow::PAGE_VIEW_LOG))
            << "active " << r.Active() << " visible " << r.sheet->isVisible() << " result "
            << r.sheet->result();
        r.prompt.verify_done(); // no error box after the cancel
        if (answer == MsgAnswer::Yes) {
            EXPECT_EQ(r.ctx.last_result, klc::ERR_CANCELLED);
            EXPECT_FALSE(r.HasInstalled(r.published.file_b));
        } else {
            EXPECT_EQ(r.Installed(r.published.file_b), r.published.content_b);
        }
    }
}

TEST(ClientWizard, FileInUseAnswers) {
    struct Row {
        int answer;
        bool unlock_first; // a retry after the holder let go
        bool installed;
        bool pending;
    } rows[] = {
        {klc::IN_USE_SKIP, false, false, false},
        {klc::IN_USE_COPY_ON_RESTART, false, false, true},
        {klc::IN_USE_RETRY, true, true, false},
        {klc::IN_USE_CANCEL, false, false, false},
    };
    for (const Row& row : rows) {
        WizardRun r;
        START_OR_SKIP(r);
        r.Publish();
        kltest::write_file(r.dir / "product" / r.published.file_a, "old");
        auto lock = std::make_unique<plat::FileLock>();
        ASSERT_EQ(lock->lock((r.dir / "product" / r.published.file_a).string()), plat::SysError::Success);
        r.prompt.expect_dialog("in-use", [&](plat::ui::IModalDialog&) {
            if (row.unlock_first) lock.reset();
            return row.answer;
        });
        // Cancel ends the run: no error box, only the clean-up question.
        if (row.answer == klc::IN_USE_CANCEL)
            r.prompt.expect_message(Text(klc::IDS_ASK_DELETE_TEMP), MsgAnswer::No);
        if (row.pending) r.prompt.expect_message(Text(klc::IDS_ASK_REBOOT), MsgAnswer::Cancel);
        ASSERT_TRUE(r.Open({"INFFILE=" + r.Updates() + "/Products.INF", "PRODUCT=Editor,Update A"}));
        ASSERT_TRUE(r.WaitFor(klc::CKLMainWindow::PAGE_VIEW_TREE)) << r.Log();
        r.Next();
        ASSERT_TRUE(r.WaitFor(klc::CKLMainWindow::PAGE_VIEW_LOG)) << r.Log();
        EXPECT_EQ(r.Installed(r.published.file_a), row.installed ? r.published.content_a : "old")
            << row.answer;
        EXPECT_EQ(r.ctx.reboot_pending.load(), row.pending) << row.answer;
        r.Close();
        r.prompt.verify_done();
    }
}

TEST(ClientWizard, ExistingBackupAnswers) {
    struct Row {
        int answer;
        std::string backup;
        bool installed;
    } rows[] = {
        {klc::OVERWRITE_NO, "older backup", true},
        {klc::OVERWRITE_TERMINATE, "older backup", false},
        {klc::OVERWRITE_YES_FOR_ALL, "old", true},
        {klc::OVERWRITE_YES, "old", true},
    };
    for (const Row& row : rows) {
        WizardRun r;
        START_OR_SKIP(r);
        r.Publish();
        kltest::write_file(r.dir / "product" / r.published.file_a, "old");
        fs::path backup = r.dir / "backup" / "Editor" / "Update A" / r.published.file_a;
        kltest::write_file(backup, "older backup");
        r.prompt.expect_dialog("backup-exists", [&](plat::ui::IModalDialog&) { return row.answer; });
        if (row.answer == klc::OVERWRITE_TERMINATE)
            r.prompt.expect_message(Text(klc::IDS_ASK_DELETE_TEMP), MsgAnswer::No);
        ASSERT_TRUE(r.Open({"INFFILE=" + r.Updates() + "/Products.INF", "PRODUCT=Editor,Update A", "BACKUP=2",
                            "BACKUPDIR=" + (r.dir / "backup").string()}));
        ASSERT_TRUE(r.WaitFor(klc::CKLMainWindow::PAGE_VIEW_TREE)) << r.Log();
        r.Next();
        ASSERT_TRUE(r.WaitFor(klc::CKLMainWindow::PAGE_VIEW_LOG)) << r.Log();
        EXPECT_EQ(kltest::read_file(backup), row.backup) << row.answer;
        EXPECT_EQ(r.Installed(r.published.file_a), row.installed ? r.published.content_a : "old")
            << row.answer;
        r.prompt.verify_done();
    }
}

TEST(ClientWizard, RestartIsOfferedAfterCopyOnRestart) {
    for (MsgAnswer answer : {MsgAnswer::Ok, MsgAnswer::Cancel}) {
        WizardRun r;
        START_OR_SKIP(r);
        r.Publish();
        kltest::write_file(r.dir / "product" / r.published.file_a, "old");
        plat::FileLock lock;
        ASSERT_EQ(lock.lock((r.dir / "product" / r.published.file_a).string()), plat::SysError::Success);
        r.prompt.expect_dialog("in-use", [](plat::ui::IModalDialog&) { return klc::IN_USE_COPY_ON_RESTART; });
        fs::path marker = r.dir / "product" / "marker";
        kltest::ExpectedPrompt restart;
        restart.match = Text(klc::IDS_ASK_REBOOT);
        restart.answer = answer;
        restart.check = [&](const plat::ui::MessageRequest& m) {
            EXPECT_EQ(m.buttons, plat::ui::MsgButtons::OkCancel);
            EXPECT_EQ(m.default_button, 1) << "Cancel is the default";
            // The final program was started before the question.
            for (int i = 0; i < 20000 && !fs::exists(marker); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            EXPECT_TRUE(fs::exists(marker));
        };
        r.prompt.expect(restart);
        ASSERT_TRUE(r.Open(
            {"INFFILE=" + r.Updates() + "/Products.INF", "PRODUCT=Editor,Update A", "RUN=touch marker"}));
        ASSERT_TRUE(r.WaitFor(klc::CKLMainWindow::PAGE_VIEW_TREE)) << r.Log();
        r.Next();
        ASSERT_TRUE(r.WaitFor(klc::CKLMainWindow::PAGE_VIEW_LOG)) << r.Log();
        EXPECT_EQ(r.Close(), 0);
        EXPECT_EQ(r.restarter.calls, answer == MsgAnswer::Ok ? 1 : 0);
        r.prompt.verify_done();
    }
}

TEST(ClientWizard, ClosingWhileAQuestionWaitsReleasesTheWorker) {
    WizardRun r;
    START_OR_SKIP(r);
    r.Publish();
    kltest::write_file(r.dir / "product" / r.published.file_a, "old");
    plat::FileLock lock;
    ASSERT_EQ(lock.lock((r.dir / "product" / r.published.file_a).string()), plat::SysError::Success);
    bool released = false;
    r.prompt.expect_dialog("in-use", [&](plat::ui::IModalDialog&) {
        // The window goes away while the worker waits for this answer.
        r.sheet->press_button(PropertySheet::Finish);
        r.sheet->CleanupPages();
        released = !r.Busy();
        return klc::IN_USE_RETRY; // comes too late: the worker went on
    });
    ASSERT_TRUE(r.Open({"INFFILE=" + r.Updates() + "/Products.INF", "PRODUCT=Editor,Update A"}));
    ASSERT_TRUE(r.WaitFor(klc::CKLMainWindow::PAGE_VIEW_TREE)) << r.Log();
    r.Next();
    ASSERT_TRUE(r.WaitClosed());
    EXPECT_TRUE(released);
    EXPECT_FALSE(r.Busy());
    EXPECT_EQ(r.Installed(r.published.file_a), "old");
    r.prompt.verify_done();
}

TEST(ClientWizard, AnotherInstanceBringsTheWizardToTheFront) {
    WizardRun r;
    ASSERT_TRUE(r.Open({"SCRIPT=x"}));
    bool raised = false;
    QObject::connect(r.sheet.get(), &klc::CKLMainWindow::broughtToFront, [&] { raised = true; });
    r.sheet->showMinimized();
    klc::CClientContext other_ctx;
    kltest::ScriptedPrompt other_prompt;
    other_prompt.expect_message(Text(300));
    klc::CClientApp other(other_ctx, other_prompt, r.restarter, r.clock);
    EXPECT_FALSE(other.InitInstance({}));
    EXPECT_TRUE(PumpUntil([&] { return raised; }));
    EXPECT_FALSE(r.sheet->isMinimized());
    other_prompt.verify_done();
    EXPECT_EQ(other_prompt.seen()[0].caption, "Kestrelite");
}

} // namespace

namespace {

// Items address the catalogue by indexes: past 15 products or updates and
// 255 files the tree still points at the right one.
TEST(ClientWizard, TreeAddressesLargeCataloguesExactly) {
    WizardRun r;
    ASSERT_TRUE(r.Open({"SCRIPT=x"}));
    klc::CCatalogue& cat = r.app->Env().catalogue;
    for (int p = 0; p < 17; ++p) {
        klc::CProduct product;
        product.name = "P" + std::to_string(p);
        for (int u = 0; u < 17; ++u) {
            klc::CUpdate update;
            update.name = "U" + std::to_string(u);
            update.description = product.name + "/" + update.name;
            if (p == 16 && u == 16)
                for (int f = 0; f < 300; ++f) {
                    klc::CFileEntry e;
                    e.file_name = "f" + std::to_string(f);
                    e.size = f;
                    update.files.push_back(e);
                }
            product.updates.push_back(update);
        }
        cat.products.push_back(product);
    }
    klc::CPGViewTree* page = r.sheet->TreePage();
    r.ctx.script_text.clear();
    r.sheet->set_active_page(klc::CKLMainWindow::PAGE_VIEW_TREE);
    klc::CProductTree* tree = page->Tree();
    ASSERT_EQ(r.Active(), klc::CKLMainWindow::PAGE_VIEW_TREE);
    ASSERT_EQ(tree->topLevelItemCount(), 17);
    QTreeWidgetItem* update = tree->topLevelItem(16)->child(16);
    tree->setCurrentItem(update);
    EXPECT_EQ(page->Texts()[1], "P16/U16");
    EXPECT_EQ(page->Texts()[2], "300");
    tree->setCurrentItem(update->child(299));
    EXPECT_EQ(page->Texts()[3], "299 bytes.");
    klc::TreePosition pos = klc::CProductTree::Position(update->child(299));
    EXPECT_EQ(pos.product, 16);
    EXPECT_EQ(pos.update, 16);
    EXPECT_EQ(pos.file, 299);
}

} // namespace
