// Which commands are live, as one table run row after row on one window,
// so that the rows with nothing selected also show what they keep.
#include <iterator>
#include <map>
#include <set>
#include <sstream>

#include "ui_rig.h"

using plat::forms::Menu;

namespace {

// Short names of the sixteen button pairs.
const std::map<std::string, std::string> kPairs = {
    {"New", "cmdNew"},
    {"Open", "cmdOpen"},
    {"Save", "cmdSave"},
    {"Print", "cmdPrint"},
    {"Info", "cmdUpdateOperInfo"},
    {"Make", "cmdMakeStuff"},
    {"Copy", "cmdNewCopyFile"},
    {"Exec", "cmdNewExecuteFile"},
    {"Item", "cmdNewItem"},
    {"Down", "cmdMoveDown"},
    {"Up", "cmdMoveUp"},
    {"Dup", "cmdDuplicate"},
    {"Del", "cmdDelete"},
    {"RegNew", "cmdNewRegistryKey"},
    {"RegDel", "cmdDelRegistryKey"},
    {"Folder", "cmdNewGroupItem"},
};

struct Row {
    const char* what;
    bool open, modified;
    int16_t tab;
    const char* shape; // the action list; record r has action type types[r]
    std::vector<int16_t> types;
    int32_t selected;
    int16_t view_style;
    const char* live; // pairs live, by short name
    bool group_tips;
    const char* item_tip;
    const char* item_caption;
};

const std::string kAll = "Add 'Install File' Action";

} // namespace

TEST(MenuAndToolbarState, OneTable) {
    kldtest::UiRig rig;
    auto& m = rig.main;
    const std::string designed_tip = m.Live("cmdNewItem").ToolTipText();
    int32_t view_clicks = 0;
    for (int32_t i = 0; i < 2; ++i)
        m.ViewStyle(i).Click = [&](int32_t) {
            if (rig.d.EditEventsEnabled) ++view_clicks;
        };
    const Row rows[] = {
        {"no document", false, false, 0, "", {}, -1, 0, "New Open", true, "", "Install &File"},
        {"new document", true, false, 0, "", {}, -1, 0, "New Open Make", true, "", "Install &File"},
        {"modified", true, true, 0, "", {}, -1, 0, "New Open Save Make", true, "", "Install &File"},
        {"action tab, empty list",
         true,
         false,
         5,
         "",
         {},
         -1,
         0,
         "New Open Make Copy Exec RegNew RegDel Dup",
         true,
         "",
         "Install &File"},
        {"one install group selected",
         true,
         false,
         5,
         "G0",
         {0},
         0,
         0,
         "New Open Make Copy Exec RegNew RegDel Item Dup Del Folder",
         true,
         "Add 'Install File' Action",
         "Install File"},
        {"second item of a group",
         true,
         false,
         5,
         "G0(I1,I2) G3",
         {0, 0, 0, 0},
         2,
         1,
         "New Open Make Print Info Copy Exec RegNew RegDel Item Up Dup Del Folder",
         false,
         "Add 'Install File' Action",
         "Install File"},
        {"first item of a group",
         true,
         false,
         5,
         "G0(I1,I2) G3",
         {0, 0, 0, 0},
         1,
         0,
         "New Open Make Print Info Copy Exec RegNew RegDel Item Down Dup Del Folder",
         false,
         "Add 'Install File' Action",
         "Install File"},
        {"row 1 never moves up",
         true,
         false,
         5,
         "G0 G1(I2)",
         {0, 1, 1},
         1,
         0,
         "New Open Make Print Info Copy Exec RegNew RegDel Item Dup Del",
         true,
         "Add 'Execute File' Action",
         "Execute File"},
        {"nothing selected keeps the type's items",
         true,
         false,
         5,
         "G0 G1(I2)",
         {0, 1, 1},
         -1,
         0,
         "New Open Make Print Info Copy Exec RegNew RegDel Item Dup",
         true,
         "Add 'Execute File' Action",
         "Execute File"},
        {"row 2 moves up",
         true,
         false,
         5,
         "G0 G1 G2",
         {0, 0, 2},
         2,
         0,
         "New Open Make Print Info Copy Exec RegNew RegDel Item Up Dup Del",
         true,
         "Add 'Create Registry Key / Set Value' Action",
         "Create Registry Key / Set Value"},
        {"another tab turns the list off",
         true,
         true,
         2,
         "G0 G1 G2",
         {0, 0, 3},
         2,
         1,
         "New Open Save Make",
         true,
         "Add 'Delete Registry Key / Value' Action",
         "Delete Registry Key / Value"},
        {"install group on another tab",
         true,
         false,
         0,
         "G0",
         {0},
         0,
         0,
         "New Open Make",
         true,
         "Add 'Install File' Action",
         "Install File"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        rig.d.CurrentFileName = r.open ? "" : kld::kNoDocument;
        rig.d.DocumentModified = r.modified;
        rig.d.ActionListViewStyle = r.view_style;
        rig.d.Actions.assign(std::max<size_t>(1, r.types.size()), kld::ActionRecord{});
        for (size_t i = 0; i < r.types.size(); ++i)
            rig.d.Actions[i].ActionType = r.types[i];
        rig.tree.Build(r.shape);
        rig.tree.SetListIndex(r.selected);
        m.ShowTab(r.tab);
        rig.d.EditEventsEnabled = true;
        m.RefreshControls();

        std::istringstream in(r.live);
        std::set<std::string> live{std::istream_iterator<std::string>(in), {}};
        for (const auto& [shorter, pair] : kPairs) {
            const bool on = live.count(shorter) > 0;
            EXPECT_EQ(m.Live(pair).Enabled(), on) << pair;
            EXPECT_EQ(m.LiveOnTop(pair), on) << pair << ": the face is on top while off";
            EXPECT_TRUE(m.Face(pair).Enabled()) << pair << ": the face's own state is never touched";
        }
        const bool on_tab = r.open && r.tab == 5;
        for (int32_t i = 0; i < 2; ++i) {
            EXPECT_EQ(m.ViewStyle(i).Enabled(), on_tab);
            if (r.open) { EXPECT_EQ(m.ViewStyle(i).Value(), i == (r.view_style == 1 ? 1 : 0)); }
        }
        EXPECT_EQ(view_clicks, 0) << "the refresh never switches the view";
        EXPECT_TRUE(rig.d.EditEventsEnabled);

        if (r.open) {
            const bool g = r.group_tips;
            EXPECT_EQ(m.Live("cmdDelete").ToolTipText(), g ? "Delete Action Group" : "Delete Action");
            EXPECT_EQ(m.Live("cmdDuplicate").ToolTipText(),
                      g ? "Duplicate Action Group" : "Duplicate Action");
            EXPECT_EQ(m.Live("cmdMoveDown").ToolTipText(), g ? "Move Action Group Down" : "Move Action Down");
            EXPECT_EQ(m.Live("cmdMoveUp").ToolTipText(), g ? "Move Action Group Up" : "Move Action Up");
        }
        EXPECT_EQ(m.Live("cmdNewItem").ToolTipText(), *r.item_tip ? std::string(r.item_tip) : designed_tip);
        EXPECT_EQ(m.MenuItem("mnuEditNewOperationItemFile").Caption(), r.item_caption);
        // The hidden commands stay hidden whatever is selected.
        for (const char* hidden : {"cmdNewRegistryKey", "cmdDelRegistryKey", "cmdNewGroupItem"}) {
            EXPECT_FALSE(m.Live(hidden).Visible()) << hidden;
        }
        for (const char* hidden : {"mnuEditNewOperationItemFolder", "mnuEditNewOperationCreateRegKey",
                                   "mnuEditNewOperationDeleteRegKey"})
            EXPECT_FALSE(m.MenuItem(hidden).Visible()) << hidden;

        // The menus, as each drop-down leaves them.
        for (const char* top : {"mnuEdit", "mnuView", "mnuTools"}) {
            EXPECT_EQ(m.MenuItem(top).Enabled(), r.open) << top;
        }
        EXPECT_TRUE(m.MenuItem("mnuFile").Enabled());
        EXPECT_TRUE(m.MenuItem("mnuHelp").Enabled());
        m.MenuItem("mnuFile").Click(-1);
        EXPECT_EQ(m.MenuItem("mnuFileSave").Enabled(), live.count("Save") > 0);
        EXPECT_EQ(m.MenuItem("mnuFileSaveAs").Enabled(), r.open);
        EXPECT_EQ(m.MenuItem("mnuFilePrepare").Enabled(), r.open);
        EXPECT_EQ(m.MenuItem("mnuFilePrintTree").Enabled(), live.count("Print") > 0);
        m.MenuItem("mnuEdit").Click(-1);
        EXPECT_EQ(m.MenuItem("mnuEditDeleteOperation").Enabled(), live.count("Del") > 0);
        EXPECT_EQ(m.MenuItem("mnuEditDuplicateOperation").Enabled(), live.count("Dup") > 0);
        EXPECT_EQ(m.MenuItem("mnuEditMoveOperationUp").Enabled(), live.count("Up") > 0);
        EXPECT_EQ(m.MenuItem("mnuEditMoveOperationDown").Enabled(), live.count("Down") > 0);
        EXPECT_EQ(m.MenuItem("mnuEditNewOperation").Enabled(), live.count("Copy") > 0);
        EXPECT_EQ(m.MenuItem("mnuEditNewOperationItem").Enabled(), live.count("Item") > 0);
        m.MenuItem("mnuView").Click(-1);
        for (int32_t i = 0; i < 2; ++i) {
            EXPECT_EQ(m.MenuItem("mnuViewActionListStyle", i).Enabled(), on_tab);
            EXPECT_EQ(m.MenuItem("mnuViewActionListStyle", i).Checked(), m.ViewStyle(i).Value());
        }
        for (int32_t k = 0; k < 6; ++k) {
            EXPECT_EQ(m.MenuItem("mnuViewTab", k).Checked(), k == r.tab);
        }
    }
}

TEST(MenuAndToolbarState, SaveShortcutFollowsTheDocumentNotAStaleMenu) {
    kldtest::UiRig rig;
    rig.d.NewDocument();
    Menu& save = rig.main.MenuItem("mnuFileSave");
    save.SetEnabled(true); // stale: nothing has changed yet
    save.RunShortcut();    // the drop-down turns it off first: no dialog
    rig.d.SetDocumentChanged();
    EXPECT_TRUE(rig.main.LiveOnTop("cmdSave"));
    rig.prompt.expect_save("Save Update Description To File", std::nullopt);
    save.RunShortcut();
    rig.prompt.verify_done();
}
