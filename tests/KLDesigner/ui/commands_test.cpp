// The document commands through the main form: the empty start, closing
// and Exit on a modified document, Save As that fails, the recent files,
// and the main window locked while the progress form shows.
#include <QApplication>
#include <QTest>

#include "KLDesigner/ui/progress_form.h"
#include "ui_rig.h"

using plat::ui::MsgAnswer;

namespace {
const char* kChanged = "Update description has changed. Do you want to save changes ?";
}

TEST(MainCommands, EmptyStartOffersNewAndOpen) {
    kldtest::UiRig rig;
    rig.d.Main("", rig.dir.str());
    plat::forms::Form& f = rig.main.form();
    EXPECT_TRUE(f.Visible());
    EXPECT_EQ(f.Caption(), "Marovia Kestrelite Designer  ");
    EXPECT_EQ(rig.d.CurrentFileName, kld::kNoDocument);
    EXPECT_FALSE(f.Find("ctlTabs")->Visible());
    EXPECT_TRUE(rig.main.LiveOnTop("cmdNew"));
    EXPECT_FALSE(rig.main.LiveOnTop("cmdSave"));
    // The recent files wait, hidden, until there are some.
    for (int32_t i = 1; i <= 4; ++i)
        EXPECT_FALSE(rig.main.RecentMenuVisible(i)) << i;
    EXPECT_EQ(rig.main.RecentMenuCaption(3), "&3");
    kldtest::Screenshot(f.window(), "empty-start");

    // New: a document, the Product tab in front and the list hidden.
    rig.main.cmdNew_Click();
    EXPECT_EQ(f.Caption(), "Marovia Kestrelite Designer  <new description>");
    EXPECT_TRUE(f.Find("ctlTabs")->Visible());
    EXPECT_EQ(f.Get<plat::forms::TabStrip>("ctlTabs").Tab(), 0);
    EXPECT_FALSE(rig.main.vntOperations().Visible());
    EXPECT_EQ(rig.main.vntOperations().Tag, "KLD_TREE");
    EXPECT_TRUE(rig.main.LiveOnTop("cmdMakeStuff"));
    kldtest::Screenshot(f.window(), "new-document");
}

TEST(MainCommands, CloseBoxOnAModifiedDocumentAsks) {
    kldtest::UiRig rig;
    rig.d.Main("", rig.dir.str());
    rig.main.cmdNew_Click();
    rig.d.SetDocumentChanged();
    plat::forms::Form& f = rig.main.form();

    rig.Expect(kChanged, MsgAnswer::Cancel);
    f.window()->close();
    EXPECT_TRUE(f.Visible()) << "Cancel keeps the window";

    const std::string path = rig.dir.str() + "/closing.kld";
    rig.Expect(kChanged, MsgAnswer::Yes);
    rig.prompt.expect_save("Save Update Description To File", path);
    f.window()->close();
    EXPECT_FALSE(f.Visible());
    EXPECT_FALSE(rig.d.DocumentModified);
    // The settings were stored on the way out.
    EXPECT_EQ(rig.d.GetSettingValue("LastKLD", ""), path);
    rig.prompt.verify_done();
}

TEST(MainCommands, ExitAsksOnceAndStoresTheSettings) {
    kldtest::UiRig rig;
    rig.d.Main("", rig.dir.str());
    rig.main.cmdNew_Click();
    rig.d.SetDocumentChanged();
    rig.Expect(kChanged, MsgAnswer::No);
    rig.main.MenuItem("mnuFileExit").Click(-1);
    EXPECT_FALSE(rig.main.form().Visible());
    EXPECT_FALSE(rig.d.GetSettingValue("WindowWidth", "").empty());
    rig.prompt.verify_done(); // a second question would have failed at once
}

TEST(MainCommands, FailedSaveAsChangesNothing) {
    kldtest::UiRig rig;
    rig.d.Main("", rig.dir.str());
    rig.main.cmdNew_Click();
    rig.d.SetDocumentChanged();
    const std::string caption = rig.main.form().Caption();
    rig.bridge.fail_save = true;
    rig.prompt.expect_save("Save Update Description To File", rig.dir.str() + "/nowhere.kld");
    rig.main.mnuFileSaveAs_Click();
    EXPECT_EQ(rig.prompt.seen().back().file.file_name, "Untitled.KLD");
    EXPECT_EQ(rig.d.CurrentFileName, "");
    EXPECT_TRUE(rig.d.DocumentModified);
    EXPECT_EQ(rig.main.form().Caption(), caption);
    EXPECT_FALSE(rig.main.RecentMenuVisible(1));
    EXPECT_TRUE(rig.main.LiveOnTop("cmdSave"));

    // Written: the new name, unmodified, offered again next time.
    rig.bridge.fail_save = false;
    const std::string path = rig.dir.str() + "/saved.kld";
    rig.prompt.expect_save("Save Update Description To File", path);
    rig.main.mnuFileSaveAs_Click();
    EXPECT_EQ(rig.d.CurrentFileName, path);
    EXPECT_FALSE(rig.d.DocumentModified);
    EXPECT_FALSE(rig.main.LiveOnTop("cmdSave"));
    EXPECT_EQ(rig.main.RecentMenuCaption(1), "&1 " + path);
    rig.prompt.expect_save("Save Update Description To File", std::nullopt);
    rig.main.mnuFileSaveAs_Click();
    EXPECT_EQ(rig.prompt.seen().back().file.file_name, path);
    rig.prompt.verify_done();
}

TEST(MainCommands, RecentItemOpensThePathAfterItsPrefix) {
    kldtest::UiRig rig;
    rig.d.Main("", rig.dir.str());
    const std::string path = rig.dir.str() + "/gone away.kld";
    rig.main.SetRecentMenuCaption(3, "&3 " + path);
    rig.main.SetRecentMenuVisible(3, true);
    rig.Expect("File '" + path + "' not found.", MsgAnswer::Ok);
    rig.main.MenuItem("mnuFileRecentlyUsedKLD", 3).Trigger();
    EXPECT_EQ(rig.d.CurrentFileName, kld::kNoDocument);
    rig.prompt.verify_done();
}

TEST(MainCommands, MainWindowTakesNoInputWhileProgressShows) {
    kldtest::UiRig rig;
    rig.d.Main("", rig.dir.str());
    rig.main.cmdNew_Click();
    rig.main.ShowProgress();
    QWidget* progress = rig.main.frmProgress().form().window();
    EXPECT_TRUE(progress->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), progress);
    // Open would ask for a file: the click never reaches it.
    QWidget* open = rig.main.Live("cmdOpen").widget();
    QWidget* window = rig.main.form().window();
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, open->mapTo(window, open->rect().center()));
    EXPECT_TRUE(rig.main.form().window()->isEnabled()) << "the window itself is not disabled";
    rig.main.HideProgress();
    EXPECT_FALSE(progress->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    rig.prompt.verify_done();
}
