// The action list on the main form with the real tree-list control made by
// class id: its commands, its keys, and dragging its items with the mouse
// to reorder or copy them, read back from the control, the document and a
// saved description file.
#include "real_list_rig.h"

using kldtest::ActionListUi;
using plat::ui::MsgAnswer;

namespace {

// The list positions of the rows painted in the selection colour.
std::vector<int32_t> PaintedSelected(QWidget* view, plat::IDispatch* list) {
    QApplication::processEvents();
    const QImage image = view->grab().toImage();
    const QRgb selection = QApplication::palette().color(QPalette::Active, QPalette::Highlight).rgb();
    std::vector<int32_t> rows;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != selection) continue;
            const plat::Variant args[] = {plat::Variant(int16_t(x)), plat::Variant(int16_t(y)),
                                          plat::Variant(int16_t(1))};
            plat::Variant item;
            plat::dispatch_call(list, kldtest::dispid::kGetItemByXY, args, &item);
            if (rows.empty() || rows.back() != item.to_i4()) rows.push_back(item.to_i4());
            break;
        }
    return rows;
}

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
    prompt.expect_folder("Select Source Folder", std::nullopt);
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
    EXPECT_EQ(d->Operations().ListIndex(), 1);
    EXPECT_EQ(PaintedSelected(View(), list.get()), std::vector<int32_t>{1})
        << "the copy alone shows selected";
    kldtest::Screenshot(main.form().window(), "action-list-after-copy");
    EXPECT_FALSE(main.listDrag().CopyDrag);
    EXPECT_FALSE(main.listDrag().CtrlHeld) << "the drop ends the copy";

    // The next plain drag moves again.
    DragItem(1, 2, false);
    EXPECT_EQ(Shape(), "3[4 5] 0[2 1]");
    EXPECT_EQ(PaintedSelected(View(), list.get()), std::vector<int32_t>{2});

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
    // The pressed item's selection is shown (by its Click, and on a real
    // display once more as the panel catches up with the input); the
    // refused drop refreshes nothing of its own.
    EXPECT_GE(panelRefreshes, refreshes + 1);
    EXPECT_LE(panelRefreshes, refreshes + 2) << "only the selection of the pressed item";

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
    for (const char* name : {"A/a3", "B/b2"})
        std::ofstream(dir.str() + "/" + name) << "x";
    prompt.expect_open("Select File", dir.str() + "/B/b2");
    main.MenuItem("mnuEditNewOperationItemFile").Click(-1);
    EXPECT_EQ(Shape(), "0[1 2] 3[4 5]");
    EXPECT_NE(t.Expand(3).value, 0);
    EXPECT_EQ(t.ListIndex(), 5);

    // An action selected: the new one joins that action's group, with the
    // group's settings.
    t.SetListIndex(1);
    d->Actions[0].Destinations[0].Path = "%WINDIR%";
    prompt.expect_open("Select File", dir.str() + "/A/a3");
    main.Live("cmdNewItem").button()->click();
    EXPECT_EQ(Shape(), "0[1 2 6] 3[4 5]");
    EXPECT_EQ(d->Actions[6].ActionType, kld::action::ExecuteFile);
    EXPECT_EQ(d->Actions[6].Destinations[0].Path, "%WINDIR%");
    EXPECT_FALSE(d->Actions[6].IsFolder);

    // A folder action takes every file of its folder; the new group comes
    // after the selected one.
    prompt.expect_folder("Select Source Folder", std::nullopt);
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

TEST_F(ActionListUi, EnterOpensTheSourceChooserOfFileKindsOnly) {
    // Nothing to refresh yet: no message, and the document stays as it was.
    d->DocumentModified = false;
    main.cmdUpdateOperInfo_Click(0);
    EXPECT_FALSE(d->DocumentModified);

    const std::string file = dir.str() + "/one.txt";
    std::ofstream(file) << "1";
    prompt.expect_folder("Select Source Folder", std::nullopt);
    main.cmdNewCopyFile_Click(0);
    prompt.expect_open("Select File", file);
    main.cmdNewItem_Click(0);
    prompt.expect_folder("Select Source Folder", std::nullopt);
    main.cmdNewExecuteFile_Click(0);
    main.cmdNewRegistryKey_Click(0);
    ASSERT_EQ(Shape(), "0[1] 2[] 3[]");

    QWidget* view = View();
    struct Row {
        int32_t position;
        kltest::PromptKind chooser; // Message: none
        const char* what;
    };
    const Row rows[] = {{0, kltest::PromptKind::Folder, "install group"},
                        {1, kltest::PromptKind::OpenFile, "install file"},
                        {2, kltest::PromptKind::Folder, "execute group"},
                        {3, kltest::PromptKind::Message, "registry group"}};
    for (const Row& r : rows) {
        const size_t asked = prompt.seen().size();
        d->Operations().SetListIndex(r.position);
        if (r.chooser == kltest::PromptKind::Folder) prompt.expect_folder("Select Source Folder", std::nullopt);
        if (r.chooser == kltest::PromptKind::OpenFile) prompt.expect_open("Select File", std::nullopt);
        QTest::keyClick(view, Qt::Key_Return);
        EXPECT_EQ(prompt.seen().size(), asked + (r.chooser == kltest::PromptKind::Message ? 0 : 1)) << r.what;
        EXPECT_EQ(prompt.pending(), 0u) << r.what;
    }
    // Cancelled there, the existing action keeps its file.
    EXPECT_EQ(Shape(), "0[1] 2[] 3[]");
    EXPECT_EQ(d->Actions[1].SourcePath, "one.txt");
}
