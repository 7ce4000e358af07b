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
    int32_t pressed;  // the view-style button down after the refresh
    bool group_tips;
    const char* item_tip; // empty: as designed
    const char* item_caption;
};

// Opens a top menu's drop-down the way the menu bar does.
void DropDown(Menu& top) {
    ASSERT_NE(top.submenu(), nullptr);
    emit top.submenu()->aboutToShow();
}

// An item's state as kept and as the menu shows it.
::testing::AssertionResult ShownEnabled(const Menu& item, bool on) {
    if (item.Enabled() != on || item.action()->isEnabled() != on)
        return ::testing::AssertionFailure() << item.Name() << "(" << item.Index() << ") enabled "
                                             << item.Enabled() << ", shown " << item.action()->isEnabled();
    return ::testing::AssertionSuccess();
}

} // namespace

TEST(MenuAndToolbarState, OneTable) {
    kldtest::UiRig rig;
    auto& m = rig.main;
    int32_t view_clicks = 0;
    for (int32_t i = 0; i < 2; ++i)
        m.ViewStyle(i).Click = [&, run = m.ViewStyle(i).Click](int32_t index) {
            if (rig.d.EditEventsEnabled) ++view_clicks;
            run(index);
        };
    // Rows run in order on one window: a row that refreshes nothing of the
    // selection's (nothing selected, another type, no document) expects what
    // the row before it left.
    // clang-format off
    const Row rows[] = {
        // Before any document the tool tips are the designed ones.
        {"no document", false, false, 0, "", {}, -1, 1, "New Open", 0, false, "", "Install &File"},
        {"new document", true, false, 0, "", {}, -1, 0, "New Open Make", 0, true, "", "Install &File"},
        {"modified", true, true, 0, "", {}, -1, 1, "New Open Save Make", 1, true, "", "Install &File"},
        {"action tab, empty list", true, false, 5, "", {}, -1, 0,
         "New Open Make Copy Exec RegNew RegDel Dup", 0, true, "", "Install &File"},
        {"one install group selected", true, false, 5, "G0", {0}, 0, 0,
         "New Open Make Copy Exec RegNew RegDel Item Dup Del Folder", 0, true, "Add 'Install File' Action",
         "Install File"},
        {"nothing selected keeps the install type's items", true, false, 5, "G0 G1", {0, 1}, -1, 0,
         "New Open Make Print Info Copy Exec RegNew RegDel Item Dup Folder", 0, true, "Add 'Install File' Action",
         "Install File"},
        {"another tab with nothing selected keeps New Group Item", true, false, 3, "G0 G1", {0, 1}, -1, 0,
         "New Open Make Folder", 0, true, "Add 'Install File' Action", "Install File"},
        {"second item of a group", true, false, 5, "G0(I1,I2) G3", {0, 0, 0, 0}, 2, 1,
         "New Open Make Print Info Copy Exec RegNew RegDel Item Up Dup Del Folder", 1, false,
         "Add 'Install File' Action", "Install File"},
        {"first item of a group", true, false, 5, "G0(I1,I2) G3", {0, 0, 0, 0}, 1, 0,
         "New Open Make Print Info Copy Exec RegNew RegDel Item Down Dup Del Folder", 0, false,
         "Add 'Install File' Action", "Install File"},
        {"row 1 never moves up", true, false, 5, "G0 G1(I2)", {0, 1, 1}, 1, 0,
         "New Open Make Print Info Copy Exec RegNew RegDel Item Dup Del", 0, true, "Add 'Execute File' Action",
         "Execute File"},
        {"nothing selected keeps the execute type's items", true, false, 5, "G0 G1(I2)", {0, 1, 1}, -1, 0,
         "New Open Make Print Info Copy Exec RegNew RegDel Item Dup", 0, true, "Add 'Execute File' Action",
         "Execute File"},
        {"an action of a later group", true, false, 5, "G0 G1(I2,I3)", {0, 1, 1, 1}, 2, 0,
         "New Open Make Print Info Copy Exec RegNew RegDel Item Down Dup Del", 0, false,
         "Add 'Execute File' Action", "Execute File"},
        {"row 2 moves up", true, false, 5, "G0 G1 G2", {0, 0, 2}, 2, 0,
         "New Open Make Print Info Copy Exec RegNew RegDel Item Up Dup Del", 0, true,
         "Add 'Create Registry Key / Set Value' Action", "Create Registry Key / Set Value"},
        {"an unknown type keeps the items", true, false, 5, "G0 G1", {7, 0}, 0, 0,
         "New Open Make Print Info Copy Exec RegNew RegDel Item Down Dup Del", 0, true,
         "Add 'Create Registry Key / Set Value' Action", "Create Registry Key / Set Value"},
        {"another tab turns the list off", true, true, 2, "G0 G1 G2", {0, 0, 3}, 2, 1, "New Open Save Make", 1,
         true, "Add 'Delete Registry Key / Value' Action", "Delete Registry Key / Value"},
        {"install group on another tab", true, false, 0, "G0", {0}, 0, 0, "New Open Make", 0, true,
         "Add 'Install File' Action", "Install File"},
        {"an action selected on the list tab", true, false, 5, "G0(I1)", {1, 1}, 1, 1,
         "New Open Make Print Info Copy Exec RegNew RegDel Item Dup Del", 1, false, "Add 'Execute File' Action",
         "Execute File"},
        // Closing keeps the tool tips, the pressed button and the captions.
        {"closed after a selection", false, false, 5, "G0(I1)", {1, 1}, 1, 0, "New Open", 1, false,
         "Add 'Execute File' Action", "Execute File"},
    };
    // clang-format on
    const std::string designed_tip = m.Live("cmdNewItem").ToolTipText();
    QWidget* toolbar = m.form().Find("pnlToolbar")->widget();
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
        for (const std::string& name : live)
            ASSERT_TRUE(kPairs.count(name)) << "no pair " << name;
        for (const auto& [shorter, pair] : kPairs) {
            const bool on = live.count(shorter) > 0;
            EXPECT_EQ(m.Live(pair).Enabled(), on) << pair;
            EXPECT_EQ(m.LiveOnTop(pair), on) << pair << ": the face is on top while off";
            EXPECT_EQ(m.Live(pair).widget()->parentWidget(), toolbar) << pair;
            EXPECT_TRUE(m.Face(pair).Enabled()) << pair << ": the face's own state is never touched";
        }
        const bool on_tab = r.open && r.tab == 5;
        for (int32_t i = 0; i < 2; ++i) {
            EXPECT_EQ(m.ViewStyle(i).Enabled(), on_tab) << "view style " << i;
            EXPECT_EQ(m.ViewStyle(i).Value(), i == r.pressed) << "view style " << i;
        }
        EXPECT_EQ(view_clicks, 0) << "the refresh never switches the view";
        EXPECT_EQ(rig.d.ActionListViewStyle, r.view_style);
        EXPECT_TRUE(rig.d.EditEventsEnabled);

        const bool g = r.group_tips;
        EXPECT_EQ(m.Live("cmdDelete").ToolTipText(), g ? "Delete Action Group" : "Delete Action");
        EXPECT_EQ(m.Live("cmdDuplicate").ToolTipText(), g ? "Duplicate Action Group" : "Duplicate Action");
        EXPECT_EQ(m.Live("cmdMoveDown").ToolTipText(), g ? "Move Action Group Down" : "Move Action Down");
        EXPECT_EQ(m.Live("cmdMoveUp").ToolTipText(), g ? "Move Action Group Up" : "Move Action Up");
        EXPECT_EQ(m.Live("cmdNewItem").ToolTipText(), *r.item_tip ? std::string(r.item_tip) : designed_tip);
        EXPECT_EQ(m.Face("cmdNewItem").ToolTipText(), "Add \"Install File\" Operation")
            << "faces keep theirs";
        EXPECT_EQ(m.MenuItem("mnuEditNewOperationItemFile").Caption(), r.item_caption);
        // The hidden commands stay hidden whatever is selected.
        for (const char* hidden : {"cmdNewRegistryKey", "cmdDelRegistryKey", "cmdNewGroupItem"}) {
            EXPECT_FALSE(m.Live(hidden).Visible()) << hidden;
            EXPECT_FALSE(m.Face(hidden).Visible()) << hidden;
        }
        for (const char* hidden : {"mnuEditNewOperationItemFolder", "mnuEditNewOperationCreateRegKey",
                                   "mnuEditNewOperationDeleteRegKey"})
            EXPECT_FALSE(m.MenuItem(hidden).Visible()) << hidden;

        // The menus, as each drop-down leaves them.
        for (const char* top : {"mnuEdit", "mnuView", "mnuTools"})
            EXPECT_TRUE(ShownEnabled(m.MenuItem(top), r.open));
        EXPECT_TRUE(ShownEnabled(m.MenuItem("mnuFile"), true));
        EXPECT_TRUE(ShownEnabled(m.MenuItem("mnuHelp"), true));
        DropDown(m.MenuItem("mnuFile"));
        EXPECT_TRUE(ShownEnabled(m.MenuItem("mnuFileSave"), live.count("Save") > 0));
        EXPECT_TRUE(ShownEnabled(m.MenuItem("mnuFileSaveAs"), r.open));
        EXPECT_TRUE(ShownEnabled(m.MenuItem("mnuFilePrepare"), r.open));
        EXPECT_TRUE(ShownEnabled(m.MenuItem("mnuFilePrintTree"), live.count("Print") > 0));
        for (const char* always : {"mnuFileNew", "mnuFileOpen", "mnuFileExit"})
            EXPECT_TRUE(ShownEnabled(m.MenuItem(always), true));
        DropDown(m.MenuItem("mnuEdit"));
        EXPECT_TRUE(ShownEnabled(m.MenuItem("mnuEditDeleteOperation"), live.count("Del") > 0));
        EXPECT_TRUE(ShownEnabled(m.MenuItem("mnuEditDuplicateOperation"), live.count("Dup") > 0));
        EXPECT_TRUE(ShownEnabled(m.MenuItem("mnuEditMoveOperationUp"), live.count("Up") > 0));
        EXPECT_TRUE(ShownEnabled(m.MenuItem("mnuEditMoveOperationDown"), live.count("Down") > 0));
        EXPECT_TRUE(ShownEnabled(m.MenuItem("mnuEditNewOperation"), live.count("Copy") > 0));
        EXPECT_TRUE(ShownEnabled(m.MenuItem("mnuEditNewOperationItem"), live.count("Item") > 0));
        DropDown(m.MenuItem("mnuView"));
        for (int32_t i = 0; i < 2; ++i) {
            EXPECT_TRUE(ShownEnabled(m.MenuItem("mnuViewActionListStyle", i), on_tab));
            EXPECT_EQ(m.MenuItem("mnuViewActionListStyle", i).Checked(), i == r.pressed);
        }
        for (int32_t k = 0; k < 6; ++k) {
            EXPECT_EQ(m.MenuItem("mnuViewTab", k).Checked(), k == r.tab);
            EXPECT_TRUE(ShownEnabled(m.MenuItem("mnuViewTab", k), true));
        }
        DropDown(m.MenuItem("mnuTools"));
        EXPECT_TRUE(ShownEnabled(m.MenuItem("mnuToolsUpdateOperation"), true));
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
