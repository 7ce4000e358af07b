// The action list on the main form with the real tree-list control made by
// class id: its commands, its keys, and dragging its items with the mouse
// to reorder or copy them, read back from the control, the document and a
// saved description file.
#include <QApplication>
#include <QPushButton>
#include <QTest>

#include "KLDesigner/bridge/action_display.h"
#include "KLDesigner/bridge/dispatch_action_tree.h"
#include "KLDesigner/bridge/host_site.h"
#include "KLDesigner/bridge/kld_file.h"
#include "platform/com/dispatch_client.h"
#include "platform/com/loader.h"
#include "platform/forms/control_host.h"
#include "platform/forms/manual_drag.h"
#include "platform/ui/window_table.h"
#include "ui_rig.h"
#include "vinca/control/dispids.h"

using plat::Variant;
using plat::ui::MsgAnswer;
namespace id = vinca::dispid;

namespace {

class ActionListUi : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(plat::call_library_registration(KLD_VINCA5_PATH, false), plat::S_OK);
        list = main.vntOperations().Create(kld::kTreeListClassId);
        ASSERT_TRUE(list);
        buffer = buffer_site.Create(kld::kTreeListClassId);
        ASSERT_TRUE(buffer);
        tree = std::make_unique<kld::CDispatchActionTree>(list.get());
        display = std::make_unique<kld::CActionDisplay>(list.get());
        file = std::make_unique<kld::CDescriptionFile>(buffer_site, buffer.get());
        bridge = std::make_unique<kld::CDescriptionBridge>(*display, *file);
        d = std::make_unique<kld::Designer>(kld::DesignerServices{main, prompt, *tree, *bridge});
        main.hooks.RefreshOperAttributes = [this](int16_t) { ++panelRefreshes; };
        main.Attach(*d);
        d->Main("", dir.str());
        main.cmdNew_Click();
        main.ShowTab(kld::tab::ActionList);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main.form().window()));
    }
    void TearDown() override {
        plat::forms::manual_drag::cancel();
        prompt.verify_done();
        d.reset();
        bridge.reset();
        file.reset();
        display.reset();
        tree.reset();
        buffer.reset();
        buffer_site.ReleaseAll();
        list.reset();
        main.vntOperations().host().release();
    }

    // Two execute groups through the toolbar: the first with actions "a1"
    // and "a2", the second with "b1" alone. The records are numbered in
    // the order they were added: 0 [1 2] 3 [4].
    void TwoGroups() {
        for (const char* group : {"A", "B"}) {
            main.Live("cmdNewExecuteFile").button()->click();
            Record(d->Operations().ListIndex()).SourceFolder = group;
            for (int k = 1; k <= (*group == 'A' ? 2 : 1); ++k) {
                const int32_t at = d->Operations().ListIndex();
                main.Live("cmdNewItem").button()->click();
                ASSERT_NE(d->Operations().ListIndex(), at);
                Record(d->Operations().ListIndex()).SourcePath = std::string(1, char(*group + 32)) + std::to_string(k);
            }
        }
        for (int32_t p = 0; p < d->Operations().ListCount(); ++p)
            d->Bridge().RefreshOperationItem(*d, p, d->Operations().ItemLngValue(p).value);
        ASSERT_EQ(Shape(), "0[1 2] 3[4]");
    }

    kld::ActionRecord& Record(int32_t position) {
        return d->Actions[static_cast<size_t>(d->Operations().ItemLngValue(position).value)];
    }
    // The list as record numbers, each group with its actions in brackets.
    std::string Shape() {
        kld::IActionTree& t = d->Operations();
        std::string out;
        for (int32_t p = 0; p < t.ListCount(); ++p) {
            const std::string rec = std::to_string(t.ItemLngValue(p).value);
            if (t.Shift(p).value == 0)
                out += (out.empty() ? "" : "] ") + rec + "[";
            else
                out += (out.back() == '[' ? "" : " ") + rec;
        }
        return out.empty() ? out : out + "]";
    }

    QWidget* View() { return plat::ui::WindowFromHandle(main.vntOperations().host().control_window()); }
    // A pixel on the text of the item at `position`, in the control's window.
    QPoint TextPoint(int32_t position) {
        QApplication::processEvents();
        QWidget* view = View();
        for (int y = 1; y < view->height(); y += 2)
            for (int x = 1; x < view->width() / 2; x += 2) {
                const Variant args[] = {Variant(int16_t(x)), Variant(int16_t(y)), Variant(int16_t(4))};
                Variant item;
                plat::dispatch_call(list.get(), id::kGetItemByXY, args, &item);
                if (item.to_i4() == position) return {x + 2, y};
            }
        ADD_FAILURE() << "no text of item " << position;
        return {};
    }
    // Presses on one item and drags it onto another, Ctrl held or not; what
    // the pointer showed just before the release is kept.
    void DragItem(int32_t from, int32_t to, bool ctrl) {
        QWidget* view = View();
        const QPoint start = TextPoint(from);
        const QPoint end = TextPoint(to);
        if (ctrl) QTest::keyPress(view, Qt::Key_Control, Qt::ControlModifier);
        QTest::mousePress(view, Qt::LeftButton, {}, start);
        QTest::mouseMove(view, start + QPoint(0, 8));
        ASSERT_TRUE(plat::forms::manual_drag::active()) << "the drag did not start";
        QTest::mouseMove(view, end);
        QTest::mouseMove(view, end + QPoint(1, 0));
        shownBeforeDrop = main.vntOperations().host().drag_icon();
        QTest::mouseRelease(view, Qt::LeftButton, {}, end + QPoint(1, 0));
        if (ctrl) QTest::keyRelease(view, Qt::Key_Control, Qt::NoModifier);
        EXPECT_FALSE(plat::forms::manual_drag::active());
    }
    // The actions' names in the order a fresh control reads them back from
    // the saved description.
    std::string SavedOrder() {
        const std::string path = dir.str() + "/order.kld";
        d->Bridge().StoreDescriptionInTree(*d);
        EXPECT_TRUE(d->Bridge().SaveTreeToFile(*d, path));
        kld::CHostSite site;
        plat::ComPtr<plat::IDispatch> fresh = site.Create(kld::kTreeListClassId);
        kld::DescriptionDocument doc;
        {
            kld::CDescriptionFile reader(site, fresh.get());
            EXPECT_EQ(reader.Load(path, doc), kld::CDescriptionFile::LoadResult::Loaded);
        }
        fresh.reset();
        site.ReleaseAll();
        std::string out;
        for (const kld::ActionRecord& r : doc.actions)
            out += (out.empty() ? "" : " ") + (r.IsGroup ? r.SourceFolder + ":" : r.SourcePath);
        return out;
    }

    kltest::ScriptedPrompt prompt;
    kltest::TempDir dir;
    kld::ui::MainForm main;
    plat::ComPtr<plat::IDispatch> list;
    kld::CHostSite buffer_site;
    plat::ComPtr<plat::IDispatch> buffer;
    std::unique_ptr<kld::CDispatchActionTree> tree;
    std::unique_ptr<kld::CActionDisplay> display;
    std::unique_ptr<kld::CDescriptionFile> file;
    std::unique_ptr<kld::CDescriptionBridge> bridge;
    std::unique_ptr<kld::Designer> d;
    int panelRefreshes = 0;
    QImage shownBeforeDrop;
};

} // namespace

TEST_F(ActionListUi, DropRuleKeepsGroupsWhole) {
    TwoGroups();
    kld::IActionTree& t = d->Operations();
    // Positions: 0 group A, 1 a1, 2 a2, 3 group B, 4 b1.
    struct Row {
        int32_t item, target;
        bool copy, allowed;
        const char* what;
    };
    const Row rows[] = {
        {1, 0, false, true, "an action onto its own group"},
        {1, 2, false, true, "an action onto its sibling"},
        {1, 1, false, true, "an action onto itself"},
        {1, 4, false, false, "an action onto another group's action"},
        {1, 4, true, false, "copied onto another group's action"},
        {1, 3, false, false, "an action onto another group"},
        {4, 3, false, false, "a group's only action moved"},
        {4, 4, false, false, "a group's only action onto itself"},
        {4, 3, true, true, "a group's only action copied"},
        {0, 3, false, true, "a group onto a group"},
        {3, 1, false, true, "a group onto another group's action"},
        {0, 0, false, true, "a group onto itself"},
        {1, 99, false, false, "onto no item"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(kld::ui::DropRuleHolds(t, r.item, r.target, r.copy), r.allowed) << r.what;

    // The list's only group cannot move, but can be copied.
    prompt.expect_message("Do you want to remove this operation group from list ?", MsgAnswer::Yes);
    t.SetListIndex(3);
    main.cmdDelete_Click(0);
    prompt.expect_message("Do you want to remove this operation group from list ?", MsgAnswer::Yes);
    t.SetListIndex(0);
    main.cmdDelete_Click(0);
    main.Live("cmdNewExecuteFile").button()->click();
    ASSERT_EQ(t.ListCount(), 1);
    EXPECT_FALSE(kld::ui::DropRuleHolds(t, 0, 0, false));
    EXPECT_TRUE(kld::ui::DropRuleHolds(t, 0, 0, true));
}

TEST_F(ActionListUi, DraggingReordersAndCtrlDragCopies) {
    TwoGroups();
    kldtest::Screenshot(main.form().window(), "action-list-before-drag");

    // a1 onto a2: it moves behind it within its group.
    d->DocumentModified = false;
    DragItem(1, 2, false);
    EXPECT_EQ(Shape(), "0[2 1] 3[4]");
    EXPECT_EQ(shownBeforeDrop, main.DragPicture(0));
    EXPECT_TRUE(d->DocumentModified);
    EXPECT_EQ(d->Operations().ListIndex(), 2) << "the moved action is selected";

    // Group B onto a2 of group A: the group goes before A.
    DragItem(3, 1, false);
    EXPECT_EQ(Shape(), "3[4] 0[2 1]");

    // b1 with Ctrl onto its group: a copy with its own record, first in
    // the group.
    DragItem(1, 0, true);
    EXPECT_EQ(shownBeforeDrop, main.DragPicture(1));
    EXPECT_EQ(Shape(), "3[5 4] 0[2 1]");
    EXPECT_EQ(d->Actions[5].SourcePath, "b1");
    EXPECT_FALSE(main.listDrag().CopyDrag);
    EXPECT_FALSE(main.listDrag().CtrlHeld) << "the drop ends the copy";

    // The next plain drag moves again.
    DragItem(1, 2, false);
    EXPECT_EQ(Shape(), "3[4 5] 0[2 1]");

    EXPECT_EQ(SavedOrder(), "B: b1 b1 A: a2 a1");
    kldtest::Screenshot(main.form().window(), "action-list-after-drag");
}

TEST_F(ActionListUi, GroupsOnlyActionRefusesAMove) {
    TwoGroups();
    d->DocumentModified = false;
    const int refreshes = panelRefreshes;
    DragItem(4, 3, false);
    EXPECT_EQ(shownBeforeDrop, main.DragPicture(2)) << "the no-drop pointer";
    EXPECT_EQ(Shape(), "0[1 2] 3[4]");
    EXPECT_FALSE(d->DocumentModified);
    EXPECT_EQ(panelRefreshes, refreshes + 1) << "only the selection of the pressed item";

    // Onto another group's action nothing drops either.
    DragItem(1, 4, false);
    EXPECT_EQ(Shape(), "0[1 2] 3[4]");
    EXPECT_EQ(SavedOrder(), "A: a1 a2 B: b1");
}

TEST_F(ActionListUi, DragStartsBeyondSeventyFiveTwips) {
    TwoGroups();
    QWidget* view = View();
    const QPoint at = TextPoint(2);
    QTest::mousePress(view, Qt::LeftButton, {}, at);
    const auto& drag = main.listDrag();
    ASSERT_EQ(drag.DragItem, 2);
    ASSERT_FLOAT_EQ(drag.PressX, at.x() * 15.0f);
    const float x = drag.PressX, y = drag.PressY;
    struct Step {
        float dx, dy;
        int16_t button;
        bool dragging;
    };
    const Step steps[] = {
        {75, 0, 1, false}, {0, -75, 1, false}, {76, 0, 0, false}, // no button held
        {0, 76, 1, true},  {-76, 0, 1, true},  {-75.5f, 75, 1, true},
    };
    for (const Step& s : steps) {
        main.vntOperations_MouseMove(s.button, 0, x + s.dx, y + s.dy);
        EXPECT_EQ(plat::forms::manual_drag::active(), s.dragging) << s.dx << "," << s.dy;
        plat::forms::manual_drag::cancel();
    }
    QTest::mouseRelease(view, Qt::LeftButton, {}, at);

    // A press below the last item carries nothing: no drag follows.
    const QPoint empty(at.x(), view->height() - 3);
    QTest::mousePress(view, Qt::LeftButton, {}, empty);
    EXPECT_EQ(drag.DragItem, -1);
    EXPECT_EQ(drag.PressX, 0);
    QTest::mouseMove(view, empty - QPoint(0, 40));
    EXPECT_FALSE(plat::forms::manual_drag::active());
    QTest::mouseRelease(view, Qt::LeftButton, {}, empty - QPoint(0, 40));
}

TEST_F(ActionListUi, DeleteKeyButNotCtrlDelete) {
    TwoGroups();
    QWidget* view = View();
    kld::IActionTree& t = d->Operations();

    // Ctrl+Delete leaves the action.
    t.SetListIndex(2);
    QTest::keyClick(view, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(Shape(), "0[1 2] 3[4]");

    // Delete removes it; the neighbour now at its place shows at once,
    // though the selected position may not change.
    QTest::keyClick(view, Qt::Key_Delete);
    EXPECT_EQ(Shape(), "0[1] 3[4]");
    EXPECT_EQ(t.ListIndex(), 2);
    EXPECT_EQ(main.Live("cmdDelete").ToolTipText(), "Delete Action Group") << "the toolbar follows the group";

    // A refused group deletion changes nothing, not even the modified flag.
    d->DocumentModified = false;
    const int refreshes = panelRefreshes;
    prompt.expect_message("Do you want to remove this operation group from list ?", MsgAnswer::No);
    QTest::keyClick(view, Qt::Key_Delete);
    EXPECT_EQ(Shape(), "0[1] 3[4]");
    EXPECT_FALSE(d->DocumentModified);
    EXPECT_GT(panelRefreshes, refreshes);

    // Deleting the last item clears the panel and the toolbar.
    t.SetListIndex(0);
    prompt.expect_message("Do you want to remove this operation group from list ?", MsgAnswer::Yes);
    main.cmdDelete_Click(0);
    prompt.expect_message("Do you want to remove this operation group from list ?", MsgAnswer::Yes);
    main.cmdDelete_Click(0);
    EXPECT_EQ(t.ListCount(), 0);
    EXPECT_TRUE(d->DocumentModified);
    EXPECT_FALSE(main.LiveOnTop("cmdDelete"));
}

TEST_F(ActionListUi, NewActionsJoinTheSelectedGroup) {
    TwoGroups();
    kld::IActionTree& t = d->Operations();
    // A collapsed group selected: it opens, and the action comes last in it.
    t.SetExpand(3, false);
    t.SetListIndex(3);
    main.MenuItem("mnuEditNewOperationItemFile").Click(-1);
    EXPECT_EQ(Shape(), "0[1 2] 3[4 5]");
    EXPECT_NE(t.Expand(3).value, 0);
    EXPECT_EQ(t.ListIndex(), 5);

    // An action selected: the new one joins that action's group, with the
    // group's settings.
    t.SetListIndex(1);
    d->Actions[0].Destinations[0].Path = "%WINDIR%";
    main.Live("cmdNewItem").button()->click();
    EXPECT_EQ(Shape(), "0[1 2 6] 3[4 5]");
    EXPECT_EQ(d->Actions[6].ActionType, kld::action::ExecuteFile);
    EXPECT_EQ(d->Actions[6].Destinations[0].Path, "%WINDIR%");
    EXPECT_FALSE(d->Actions[6].IsFolder);

    // A folder action takes every file of its folder; the new group comes
    // after the selected one.
    main.cmdNewCopyFile_Click(0);
    main.cmdNewGroupItem_Click(0);
    EXPECT_EQ(Shape(), "0[1 2 6] 7[8] 3[4 5]");
    EXPECT_TRUE(d->Actions[8].IsFolder);
    EXPECT_EQ(d->Actions[8].SourcePath, "*.*");
    EXPECT_EQ(d->Actions[8].ActionType, kld::action::InstallFile);

    // Nothing selected: nothing to add to.
    t.SetListIndex(-1);
    main.cmdNewItem_Click(0);
    EXPECT_EQ(Shape(), "0[1 2 6] 7[8] 3[4 5]");
}

TEST_F(ActionListUi, ViewMenuPressesTheStyleAndTabsShowTheirPanels) {
    TwoGroups();
    auto& grid = main.ViewStyle(1);
    main.MenuItem("mnuViewActionListStyle", 1).Click(1);
    EXPECT_TRUE(grid.Value());
    EXPECT_FALSE(main.ViewStyle(0).Value());
    EXPECT_EQ(d->ActionListViewStyle, 1);
    kldtest::Screenshot(main.form().window(), "action-list-grid");
    // The same style again changes nothing; the first one switches back.
    const int refreshes = panelRefreshes;
    main.MenuItem("mnuViewActionListStyle", 1).Click(1);
    EXPECT_EQ(panelRefreshes, refreshes);
    main.MenuItem("mnuViewActionListStyle", 0).Click(0);
    EXPECT_EQ(d->ActionListViewStyle, 0);
    EXPECT_TRUE(main.ViewStyle(0).Value());

    // The Actions tab shows the property panel only beside a selection.
    plat::forms::Form& f = main.form();
    for (int32_t selected : {-1, 2}) {
        d->Operations().SetListIndex(selected);
        main.ShowTab(kld::tab::Product);
        EXPECT_TRUE(f.Find("pnlProductAttributes")->Visible());
        EXPECT_FALSE(main.vntOperations().Visible());
        main.ShowTab(kld::tab::ActionList);
        EXPECT_FALSE(f.Find("pnlProductAttributes")->Visible());
        EXPECT_TRUE(main.vntOperations().Visible());
        EXPECT_EQ(f.Find("pnlOperationProperties")->Visible(), selected >= 0) << selected;
    }
    main.mnuView_Click();
    EXPECT_TRUE(main.MenuItem("mnuViewTab", 5).Checked());
    EXPECT_FALSE(main.MenuItem("mnuViewTab", 0).Checked());
}
