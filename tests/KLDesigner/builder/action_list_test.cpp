// Add, delete, duplicate, move and drop on the stand-in tree: after every
// step the tree, the records and their count must agree.
#include <gtest/gtest.h>

#include "support/designer_fixture.h"

using namespace kld;
using plat::ui::MsgAnswer;

namespace {

struct ListRig : kldtest::DesignerRig {
    // Records for the shape's values: groups from "G", items from "I"; the
    // slots in between stay free.
    void Doc(const std::string& shape) {
        tree.Build(shape);
        int32_t top = 0;
        for (int32_t p = 0; p < tree.ListCount(); ++p)
            top = std::max(top, tree.ItemLngValue(p).value);
        d.Actions.assign(static_cast<size_t>(top) + 1, ActionRecord{});
        d.ActionCount = 0;
        for (int32_t p = 0; p < tree.ListCount(); ++p) {
            ActionRecord& r = d.Actions[static_cast<size_t>(tree.ItemLngValue(p).value)];
            r.ActionType = action::InstallFile;
            r.IsGroup = tree.Shift(p).value == 0;
            r.SourcePath = "file" + std::to_string(tree.ItemLngValue(p).value);
            ++d.ActionCount;
        }
    }
    // Every item names a used record of its own kind, no record twice, and
    // the count matches.
    void CheckInStep() {
        ASSERT_EQ(d.ActionCount, tree.ListCount()) << tree.Shape();
        std::vector<bool> seen(d.Actions.size());
        int32_t used = 0;
        for (const auto& r : d.Actions)
            used += r.ActionType != action::Free;
        EXPECT_EQ(used, d.ActionCount);
        for (int32_t p = 0; p < tree.ListCount(); ++p) {
            const int32_t rec = tree.ItemLngValue(p).value;
            ASSERT_TRUE(d.IsRecordIndex(rec)) << tree.Shape();
            EXPECT_FALSE(seen[static_cast<size_t>(rec)]) << "record " << rec << " twice in " << tree.Shape();
            seen[static_cast<size_t>(rec)] = true;
            EXPECT_NE(d.Actions[static_cast<size_t>(rec)].ActionType, action::Free) << tree.Shape();
            EXPECT_EQ(d.Actions[static_cast<size_t>(rec)].IsGroup, tree.Shift(p).value == 0) << tree.Shape();
        }
    }
};

} // namespace

TEST(DesignerActionList, AddingGroupsAndItems) {
    ListRig rig;
    rig.d.ClearOperations();
    EXPECT_FALSE(rig.d.AddOperation(action::InstallFile, false)); // no group selected
    EXPECT_EQ(rig.d.ActionCount, 0);

    ASSERT_TRUE(rig.d.AddOperation(action::InstallFile, true));
    EXPECT_EQ(rig.tree.Shape(), "G0"); // the empty document's slot 0
    EXPECT_EQ(rig.d.ActionCount, 1);
    EXPECT_TRUE(rig.d.DocumentModified);
    const ActionRecord& g = rig.d.Actions[0];
    EXPECT_EQ(g.Compare, 12);
    EXPECT_EQ(g.Destinations[0].FolderType, 1);
    EXPECT_EQ(g.Destinations[0].Path, "%PRODUCT%");
    EXPECT_EQ(rig.host.Calls("RefreshOperAttributes(0)").size(), 2u);

    rig.d.Actions[0].SourceFolder = "/src";
    rig.d.Actions[0].Encrypt = true;
    ASSERT_TRUE(rig.d.AddOperation(action::InstallFile, false));
    EXPECT_EQ(rig.tree.Shape(), "G0(I1)");
    const ActionRecord& item = rig.d.Actions[1];
    EXPECT_FALSE(item.IsGroup);
    EXPECT_EQ(item.SourceFolder, "/src"); // the group's defaults come along
    EXPECT_TRUE(item.Encrypt);
    EXPECT_EQ(item.Compare, 12);

    ASSERT_TRUE(rig.d.AddOperation(action::CreateRegistry, true));
    EXPECT_EQ(rig.tree.Shape(), "G0(I1) G2");
    EXPECT_EQ(rig.d.Actions[2].RegDataType, 1);
    EXPECT_EQ(rig.d.Actions[2].Compare, 0);
    EXPECT_EQ(rig.d.Actions[2].Destinations[0].Path, "%PRODUCT%");
    rig.CheckInStep();
}

TEST(DesignerActionList, DeletedSlotsAreReusedLowestFirst) {
    ListRig rig;
    rig.Doc("G0(I1,I2,I3) G4");
    rig.ExpectMessage("Do you want to remove this operation group from list ?",
                      mb::YesNo | mb::Exclamation | mb::DefaultButton2, MsgAnswer::No);
    rig.d.DeleteOperation(0);
    EXPECT_EQ(rig.tree.Shape(), "G0(I1,I2,I3) G4");
    EXPECT_FALSE(rig.d.DocumentModified);

    rig.ExpectMessage("Do you want to remove this operation group from list ?",
                      mb::YesNo | mb::Exclamation | mb::DefaultButton2, MsgAnswer::Yes);
    rig.d.DeleteOperation(0);
    EXPECT_EQ(rig.tree.Shape(), "G4");
    EXPECT_EQ(rig.d.ActionCount, 1);
    rig.CheckInStep();
    rig.tree.SetListIndex(0);
    ASSERT_TRUE(rig.d.AddOperation(action::InstallFile, false));
    EXPECT_EQ(rig.tree.Shape(), "G4(I0)");
    rig.d.DeleteOperation(1); // an item goes without a question
    EXPECT_EQ(rig.tree.Shape(), "G4");
    rig.d.DeleteOperation(7);
    rig.d.DeleteOperation(-1);
    rig.CheckInStep();
    rig.prompt.verify_done();
}

TEST(DesignerActionList, DuplicatesRepointTheirRecords) {
    ListRig rig;
    rig.Doc("G0(I1,I2) G3(I4)");
    rig.d.Actions[2].IsFolder = true;
    rig.d.Actions[2].IncludeSubfolders = true;
    rig.d.Actions[2].SourcePath = "*.*";

    rig.d.DuplicateOperation(2); // the last item of a group
    EXPECT_EQ(rig.tree.Shape(), "G0(I1,I2,I5) G3(I4)");
    EXPECT_EQ(rig.tree.ListIndex(), 3);
    EXPECT_TRUE(rig.d.Actions[5].IsFolder);
    EXPECT_FALSE(rig.d.Actions[5].IncludeSubfolders);
    EXPECT_EQ(rig.d.Actions[5].SourcePath, "*.*");
    rig.CheckInStep();

    rig.d.DuplicateOperation(1); // the copy follows its item
    EXPECT_EQ(rig.tree.Shape(), "G0(I1,I6,I2,I5) G3(I4)");

    rig.d.DuplicateOperation(5); // the last group goes to the end
    EXPECT_EQ(rig.tree.Shape(), "G0(I1,I6,I2,I5) G3(I4) G7(I8)");
    rig.d.DuplicateOperation(0);
    EXPECT_EQ(rig.tree.Shape(), "G0(I1,I6,I2,I5) G9(I10,I11,I12,I13) G3(I4) G7(I8)");
    EXPECT_EQ(rig.d.Actions[12].SourcePath, "*.*");
    EXPECT_TRUE(rig.d.Actions[12].IsFolder);
    EXPECT_EQ(rig.tree.OpenBuffers(), 0);
    rig.CheckInStep();
}

TEST(DesignerActionList, MovesStayInsideTheirGroups) {
    ListRig rig;
    rig.Doc("G0(I1,I2) G3(I4) G5");
    rig.d.MoveOperation(0, true);  // first group up
    rig.d.MoveOperation(5, false); // last group down
    rig.d.MoveOperation(2, false); // last item of its group
    rig.d.MoveOperation(4, true);  // first item of its group
    EXPECT_EQ(rig.tree.Shape(), "G0(I1,I2) G3(I4) G5");
    EXPECT_FALSE(rig.d.DocumentModified);
    EXPECT_TRUE(rig.tree.redraw);

    rig.d.MoveOperation(0, false);
    EXPECT_EQ(rig.tree.Shape(), "G3(I4) G0(I1,I2) G5");
    EXPECT_EQ(rig.tree.ListIndex(), 2);
    EXPECT_TRUE(rig.d.DocumentModified);
    rig.d.MoveOperation(2, true);
    EXPECT_EQ(rig.tree.Shape(), "G0(I1,I2) G3(I4) G5");
    rig.d.MoveOperation(1, false); // items trade records
    EXPECT_EQ(rig.tree.Shape(), "G0(I2,I1) G3(I4) G5");
    EXPECT_EQ(rig.tree.ListIndex(), 2);
    rig.CheckInStep();
}

TEST(DesignerActionList, DropsFollowTheGroupRules) {
    struct {
        const char* name;
        int32_t source, target;
        bool copy;
        const char* shape;
    } cases[] = {
        {"item below its group's end", 1, 4, false, "G0(I2,I1) G3(I4)"},
        {"item onto a group header above", 2, 0, false, "G0(I2,I1) G3(I4)"},
        {"item onto an item of another group above", 4, 2, false, "G0(I1,I4,I2) G3"},
        {"item on itself", 1, 1, false, "G0(I1,I2) G3(I4)"},
        {"group further up", 3, 0, false, "G3(I4) G0(I1,I2)"},
        {"group onto an item further down", 0, 4, false, "G3(I4) G0(I1,I2)"},
        {"group copied to the end", 0, 4, true, "G0(I1,I2) G3(I4) G5(I6,I7)"},
        {"item copied after another", 1, 2, true, "G0(I1,I2,I5) G3(I4)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ListRig rig;
        rig.Doc("G0(I1,I2) G3(I4)");
        rig.d.DropOperation(c.source, c.target, c.copy);
        EXPECT_EQ(rig.tree.Shape(), c.shape);
        rig.CheckInStep();
    }
}

TEST(DesignerActionList, TheRecordLimitStopsNewRecordsOnly) {
    ListRig rig;
    rig.Doc("G0(I1) G2");
    rig.d.Actions.resize(10000); // upper bound 9999, the new slots free
    rig.ExpectMessage("Too many operations.", mb::Critical);
    EXPECT_FALSE(rig.d.AddOperation(action::InstallFile, true));
    rig.ExpectMessage("Too many operations.", mb::Critical);
    rig.d.DropOperation(0, 2, true);
    EXPECT_EQ(rig.tree.Shape(), "G0(I1) G2");
    rig.d.DropOperation(2, 0, false); // a move needs no record
    EXPECT_EQ(rig.tree.Shape(), "G2 G0(I1)");
    rig.prompt.verify_done();

    ListRig full;
    full.Doc("G0(I1,I2)");
    full.d.ActionCount = 9998; // as if the rest were elsewhere in the list
    full.ExpectMessage("Too many operations.", mb::Critical);
    full.d.DuplicateOperation(0);
    EXPECT_EQ(full.tree.Shape(), "G0(I1,I2)");
}
