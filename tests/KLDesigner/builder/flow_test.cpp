// Start-up, new, open and save, the save question, settings and recent
// files, checked in the emulated machine's settings store.
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/config/registry.h"
#include "support/designer_fixture.h"

using namespace kld;
using plat::ui::MsgAnswer;
namespace fs = std::filesystem;

namespace {

const char* kApp = "Marovia Kestrelite Pro";
const char* kSection = "Marovia Kestrelite Designer";

// Runs a block in another current folder.
class InFolder {
  public:
    explicit InFolder(const fs::path& p) : m_old(fs::current_path()) { fs::current_path(p); }
    ~InFolder() { fs::current_path(m_old); }

  private:
    fs::path m_old;
};

struct FlowRig : kldtest::DesignerRig {
    fs::path program = dir / "program";
    fs::path work = dir / "work";
    FlowRig() {
        fs::create_directories(program);
        fs::create_directories(work);
        host.forms[Form::Main] = {0, 100, 100, 9000, 6000};
    }
    void PutDocument(const fs::path& file, const std::string& name) {
        ProductSettings p;
        p.ProductName = name;
        ActionRecord g;
        g.ActionType = action::InstallFile;
        g.IsGroup = true;
        bridge.Put(file.string(), p, {g});
    }
};

} // namespace

TEST(DesignerFlow, StartupPicksTheDocumentToOpen) {
    struct {
        const char* name;
        std::string commandLine;
        std::string lastKld;
        std::string opened; // relative to the rig's folder; empty: nothing
        bool missingMessage;
    } cases[] = {
        {"relative name in the current folder", "here.kld", "", "work/here.kld", false},
        {"relative name in the program's folder", "there.kld", "", "program/there.kld", false},
        {"quoted name with blanks", "\"  with blank.kld \"", "", "work/with blank.kld", false},
        {"the last document", "", "LAST", "work/last.kld", false},
        {"a name found nowhere", "nowhere.kld", "", "", true},
        {"nothing at all", "", "", "", false},
        {"no document at exit", "", "::NO::", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        plat::delete_setting(kApp);
        FlowRig rig;
        rig.PutDocument(rig.work / "here.kld", "Here");
        rig.PutDocument(rig.program / "there.kld", "There");
        rig.PutDocument(rig.work / "with blank.kld", "Blank");
        rig.PutDocument(rig.work / "last.kld", "Last");
        const std::string last = c.lastKld == "LAST" ? (rig.work / "last.kld").string() : c.lastKld;
        if (!last.empty()) plat::save_setting(kApp, kSection, "LastKLD", last);
        if (c.missingMessage) rig.ExpectMessage("File 'nowhere.kld' not found.", mb::Exclamation);
        {
            InFolder in(rig.work);
            rig.d.Main(c.commandLine, rig.program.string());
        }
        rig.prompt.verify_done();
        if (c.opened.empty()) {
            EXPECT_EQ(rig.d.CurrentFileName, "::NO::");
            if (!c.missingMessage) {
                EXPECT_EQ(rig.host.caption, "Marovia Kestrelite Designer  ");
            }
        } else {
            const std::string path = (rig.dir / c.opened).string();
            EXPECT_EQ(rig.d.CurrentFileName, path);
            EXPECT_EQ(rig.host.caption, "Marovia Kestrelite Designer  " + path);
            EXPECT_EQ(rig.d.LastDialogFolder, fs::path(path).parent_path().string());
            EXPECT_EQ(rig.host.RecentMenuCaption(1), "&1 " + path);
            EXPECT_EQ(rig.tree.ListIndex(), 0);
            EXPECT_FALSE(rig.d.DocumentModified);
        }
        EXPECT_EQ(rig.d.StartupFileName,
                  c.opened.empty() && last.empty() && c.commandLine.empty() ? "" : "::NO::");
        EXPECT_EQ(rig.host.Calls("FillCombo(").size(), 16u);
        EXPECT_EQ(rig.host.Calls("ShowMainForm").size(), 1u);
    }
}

TEST(DesignerFlow, NewSaveAndTheSaveQuestion) {
    FlowRig rig;
    rig.d.InitGlobals(rig.program.string());
    rig.d.NewDocument();
    EXPECT_EQ(rig.d.CurrentFileName, "");
    EXPECT_EQ(rig.d.Product.ProductName, "<-- Input Product Name Here -->");
    EXPECT_EQ(rig.host.caption, "Marovia Kestrelite Designer  <new description>");
    EXPECT_TRUE(rig.d.AskSaveChanges(true)); // nothing changed: no question

    rig.d.SetDocumentChanged();
    rig.d.SetDocumentChanged();
    EXPECT_EQ(rig.host.Calls("DisplaySaveButtons(1)").size(), 1u);

    // A cancelled dialog saves nothing.
    rig.prompt.expect_save("Save Update Description To File", std::nullopt);
    EXPECT_FALSE(rig.d.SaveDocument());
    EXPECT_TRUE(rig.d.DocumentModified);
    EXPECT_EQ(rig.d.CurrentFileName, "");
    EXPECT_EQ(rig.prompt.seen().back().file.file_name, "Untitled.KLD");
    EXPECT_EQ(rig.prompt.seen().back().file.initial_folder, rig.program.string());

    rig.ExpectMessage("Update description has changed. Do you want to save changes ?",
                      mb::YesNoCancel | mb::Exclamation, MsgAnswer::Cancel);
    EXPECT_FALSE(rig.d.AskSaveChanges(true));
    rig.ExpectMessage("Update description has changed. Do you want to save changes ?",
                      mb::YesNoCancel | mb::Exclamation, MsgAnswer::No);
    EXPECT_TRUE(rig.d.AskSaveChanges(true));

    const std::string target = (rig.work / "Mine.KLD").string();
    rig.prompt.expect_save("Save Update Description To File", target);
    EXPECT_TRUE(rig.d.AskSaveChanges(false)); // saves without a question
    EXPECT_EQ(rig.d.CurrentFileName, target);
    EXPECT_FALSE(rig.d.DocumentModified);
    EXPECT_EQ(rig.d.LastDialogFolder, rig.work.string());
    EXPECT_EQ(rig.host.RecentMenuCaption(1), "&1 " + target);

    // A named document is saved in place; a failed write changes nothing.
    rig.d.SetDocumentChanged();
    rig.bridge.fail_save = true;
    EXPECT_FALSE(rig.d.SaveDocument());
    EXPECT_TRUE(rig.d.DocumentModified);
    rig.bridge.fail_save = false;
    EXPECT_TRUE(rig.d.SaveDocument());
    rig.prompt.verify_done();

    // Opening a missing file keeps the open document.
    rig.ExpectMessage("File '" + (rig.work / "gone.kld").string() + "' not found.", mb::Exclamation);
    rig.d.OpenDocument((rig.work / "gone.kld").string());
    EXPECT_EQ(rig.d.CurrentFileName, target);
    // So does a file the tree cannot read.
    kltest::write_file(rig.work / "foreign.kld", "x");
    rig.d.OpenDocument((rig.work / "foreign.kld").string());
    EXPECT_EQ(rig.d.CurrentFileName, target);
    rig.prompt.verify_done();
}

TEST(DesignerFlow, OpenDialogCancelAndViewStyle) {
    FlowRig rig;
    rig.prompt.expect_open("Select File", std::nullopt);
    EXPECT_EQ(rig.d.ShowOpenDialog("*.*|*.*", true, "", "", "Select File"), "::CANCEL::");
    rig.prompt.expect_open("Select File", std::nullopt);
    EXPECT_EQ(rig.d.ShowOpenDialog("*.*|*.*", true, "", "a.txt", "Select File"), "");
    EXPECT_TRUE(rig.prompt.seen().back().file.must_exist);

    rig.tree.Build("G0(I1) G2");
    rig.d.ActionListViewStyle = 1;
    rig.d.SetActionListViewStyle(1); // already active: nothing, no redraw
    rig.d.SetActionListViewStyle(3);
    EXPECT_EQ(rig.tree.redraw_off, 0);
    rig.d.SetActionListViewStyle(0);
    EXPECT_EQ(rig.d.ActionListViewStyle, 0);
    EXPECT_FALSE(rig.tree.GridVisible(0));
    EXPECT_TRUE(rig.tree.GridVisible(1)); // items keep theirs
    EXPECT_FALSE(rig.tree.GridVisible(2));
    EXPECT_EQ(rig.host.Calls("ResizeSceneryTab").size(), 1u);
}

TEST(DesignerSettings, StoredPlacementIsReadWithItsLimits) {
    struct {
        const char* name;
        std::vector<std::pair<std::string, std::string>> stored;
        FormPlacement expected;
        int16_t style;
    } cases[] = {
        {"nothing stored", {}, {0, 0, 0, 28800, 16200}, 0},
        {"minimised opens normal",
         {{"WindowState", "1"},
          {"WindowTop", "300"},
          {"WindowLeft", "450"},
          {"WindowHeight", "5000"},
          {"WindowWidth", "7000"}},
         {0, 450, 300, 7000, 5000},
         0},
        {"too small and off screen",
         {{"WindowHeight", "100"}, {"WindowWidth", "10"}, {"WindowLeft", "99999"}, {"WindowTop", "-5"}},
         {0, 0, 0, 620, 280},
         0},
        {"too large",
         {{"WindowHeight", "99999"}, {"WindowWidth", "99999"}, {"ActionListViewStyle", "2"}},
         {0, 0, 0, 28800, 16200},
         1},
        {"style that is no number", {{"ActionListViewStyle", "abc"}}, {0, 0, 0, 28800, 16200}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        plat::delete_setting(kApp);
        FlowRig rig;
        for (const auto& [k, v] : c.stored)
            plat::save_setting(kApp, kSection, k, v);
        rig.d.LoadSettings();
        const FormPlacement p = rig.host.forms[Form::Main];
        EXPECT_EQ(p.state, c.expected.state);
        EXPECT_EQ(p.left, c.expected.left);
        EXPECT_EQ(p.top, c.expected.top);
        EXPECT_EQ(p.width, c.expected.width);
        EXPECT_EQ(p.height, c.expected.height);
        EXPECT_EQ(rig.d.ActionListViewStyle, c.style);
        EXPECT_FALSE(rig.host.recent_separator);
    }
    FlowRig maximised;
    plat::save_setting(kApp, kSection, "WindowState", "2");
    plat::save_setting(kApp, kSection, "WindowTop", "300");
    maximised.d.LoadSettings();
    EXPECT_EQ(maximised.host.forms[Form::Main].state, 2);
    EXPECT_EQ(maximised.host.forms[Form::Main].top, 100); // placement left alone
}

TEST(DesignerSettings, RecentFilesMoveUpAndAreStoredAtExit) {
    FlowRig rig;
    rig.d.CreateRecentFilesMenu();
    for (const char* p : {"/d/one.kld", "/d/two.kld", "/d/three.kld", "/d/four.kld"})
        rig.d.AddRecentFile(p);
    EXPECT_EQ(rig.host.RecentMenuCaption(1), "&1 /d/four.kld");
    EXPECT_EQ(rig.host.RecentMenuCaption(4), "&4 /d/one.kld");
    rig.d.AddRecentFile("/D/TWO.kld"); // entry 3 in another case moves up
    EXPECT_EQ(rig.host.RecentMenuCaption(1), "&1 /D/TWO.kld");
    EXPECT_EQ(rig.host.RecentMenuCaption(2), "&2 /d/four.kld");
    EXPECT_EQ(rig.host.RecentMenuCaption(3), "&3 /d/three.kld");
    EXPECT_EQ(rig.host.RecentMenuCaption(4), "&4 /d/one.kld");
    rig.d.AddRecentFile("/d/five.kld"); // a fifth drops the oldest
    EXPECT_EQ(rig.host.RecentMenuCaption(4), "&4 /d/three.kld");
    EXPECT_TRUE(rig.host.recent_separator);

    rig.host.forms[Form::Main] = {1, 10, 20, 3000, 4000};
    rig.d.CurrentFileName = "::NO::";
    rig.d.ActionListViewStyle = 1;
    rig.d.SaveSettingsOnExit();
    auto get = [](const char* key) { return plat::get_setting(kApp, kSection, key, "<none>"); };
    EXPECT_EQ(get("WindowState"), "0");
    EXPECT_EQ(get("WindowTop"), "20");
    EXPECT_EQ(get("WindowLeft"), "10");
    EXPECT_EQ(get("WindowHeight"), "4000");
    EXPECT_EQ(get("WindowWidth"), "3000");
    EXPECT_EQ(get("LastKLD"), "::NO::");
    EXPECT_EQ(get("ActionListViewStyle"), "1");
    EXPECT_EQ(get("RecentKLD1"), "/d/five.kld");
    EXPECT_EQ(get("RecentKLD4"), "/d/three.kld");
    EXPECT_EQ(rig.host.Calls("UnloadForm(").size(), 2u);

    FlowRig next;
    next.d.CreateRecentFilesMenu();
    next.d.LoadSettings();
    EXPECT_EQ(next.host.RecentMenuCaption(2), "&2 /D/TWO.kld");
    EXPECT_TRUE(next.host.RecentMenuVisible(4));
    EXPECT_EQ(next.d.StartupFileName, "::NO::");
}

TEST(DesignerFlow, CenterFormOnlyMovesANormalWindow) {
    FlowRig rig;
    rig.host.forms[Form::About] = {0, 0, 0, 3001, 2000};
    rig.d.CenterForm(Form::About);
    EXPECT_EQ(rig.host.forms[Form::About].left, (28800 - 3001) / 2);
    EXPECT_EQ(rig.host.forms[Form::About].top, (16200 - 2000) / 2);
    rig.host.forms[Form::Progress] = {2, 5, 5, 100, 100};
    rig.d.CenterForm(Form::Progress);
    EXPECT_EQ(rig.host.forms[Form::Progress].left, 5);
}

TEST(DesignerFlow, HelpOpensWithTheRegisteredEditor) {
    FlowRig rig;
    rig.d.AppPath = rig.program.string();
    const std::string key = "SOFTWARE\\Classes\\Wordpad.Document.1\\Protocol\\StdFileEditing\\Server";
    plat::registry().set_string(plat::Hive::LocalMachine, key, "", "/bin/true");
    rig.d.ShowHelpDocument(); // starts, nothing to say
    plat::registry().set_string(plat::Hive::LocalMachine, key, "", (rig.dir / "no-editor").string());
    rig.ExpectMessage("WordPad.Exe cannot open KLDesigner.DOC file.", mb::Exclamation);
    rig.d.ShowHelpDocument();
    rig.prompt.verify_done();
}
