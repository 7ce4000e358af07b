// Document model defaults, record copies, selection lists and the runtime
// conversions the stored texts rely on.
#include <gtest/gtest.h>

#include "KLDesigner/builder/vb.h"
#include "KLDesigner/builder/vocabulary.h"
#include "support/designer_fixture.h"

using namespace kld;

TEST(DesignerModel, ClearedProductAndFreshRecordHoldTheirDefaults) {
    kldtest::DesignerRig rig;
    rig.d.ClearProduct();
    const ProductSettings& p = rig.d.Product;
    ASSERT_EQ(p.InstallCriteria.size(), 3u);
    ASSERT_EQ(p.InstallPaths.size(), 3u);
    EXPECT_EQ(p.InstallCriteria[0].CriterionType, 1);
    EXPECT_EQ(p.InstallCriteria[1].CriterionType, 0);
    EXPECT_EQ(p.InstallPaths[0].FolderType, 2);
    EXPECT_EQ(p.InstallPaths[2].FolderType, 0);
    EXPECT_EQ(p.ChunkSize, 0);
    EXPECT_FALSE(p.InstallNew || p.AutoUninstall || p.ResumeDownloading);

    rig.d.Actions.resize(2);
    ActionRecord& r = rig.d.Actions[1];
    r.ReservedFlag = true;
    r.SourcePath = "x.dll";
    r.RegDataType = 4;
    r.Destinations.resize(5);
    r.ProducedFiles.resize(3);
    rig.d.InitOperationRecord(1);
    EXPECT_TRUE(r.ReservedFlag); // kept through a reset
    EXPECT_EQ(r.ActionType, -1);
    EXPECT_EQ(r.FileDate, 0.0);
    EXPECT_EQ(r.RegDataType, 1);
    EXPECT_EQ(r.SourcePath, "");
    EXPECT_EQ(r.Destinations.size(), 3u);
    EXPECT_EQ(r.ProducedFiles.size(), 1u);
}

TEST(DesignerModel, ClearedOperationsLeaveOneZeroedSlotAndAnEmptyTree) {
    kldtest::DesignerRig rig;
    rig.tree.Build("G0(I1) G2");
    rig.d.Actions.resize(3);
    rig.d.ActionCount = 3;
    rig.d.ClearOperations();
    ASSERT_EQ(rig.d.Actions.size(), 1u);
    EXPECT_EQ(rig.d.Actions[0].ActionType, 0);
    EXPECT_EQ(rig.d.ActionCount, 0);
    EXPECT_EQ(rig.tree.ListCount(), 0);
}

TEST(DesignerModel, CopyOperationRecordCarriesTheListedFieldsOnly) {
    kldtest::DesignerRig rig;
    rig.d.Actions.assign(2, ActionRecord{});
    ActionRecord& s = rig.d.Actions[0];
    s.ReservedFlag = true;
    s.ActionType = 1;
    s.IsGroup = true;
    s.IsFolder = true;
    s.IncludeSubfolders = true;
    s.SourcePath = "*.*";
    s.FileType = 2;
    s.VersionHigh = 5;
    s.FileDate = 40000.5;
    s.FileReserved = 7;
    s.SourceFolder = "/src";
    s.RegKey = "HKLM\\X";
    s.RegDataType = 4;
    s.Compress = s.Encrypt = s.CreateNew = true;
    s.Compare = 12;
    s.CriteriaType = -1;
    s.CriteriaRegKey = "HKCU\\Y";
    s.Edition = 2.5f;
    s.Destinations[2] = {2, "%WIN%", "HKLM\\Z", "V", true};
    s.AskClose = s.UpdateOnRestart = s.Register = true;
    s.LogToRegistryData = "done";
    s.ProducedFiles[0].SourcePath = "_0001.KL_";

    rig.d.CopyOperationRecord(0, 1);
    const ActionRecord& t = rig.d.Actions[1];
    EXPECT_EQ(t.SourcePath, "*.*");
    EXPECT_EQ(t.FileType, 2);
    EXPECT_EQ(t.VersionHigh, 5);
    EXPECT_EQ(t.FileDate, 40000.5);
    EXPECT_EQ(t.FileReserved, 7);
    EXPECT_EQ(t.SourceFolder, "/src");
    EXPECT_EQ(t.RegDataType, 4);
    EXPECT_TRUE(t.Compress && t.Encrypt && t.CreateNew && t.AskClose && t.UpdateOnRestart && t.Register);
    EXPECT_EQ(t.Compare, 12);
    EXPECT_EQ(t.CriteriaType, -1);
    EXPECT_EQ(t.Edition, 2.5f);
    EXPECT_EQ(t.Destinations[2], s.Destinations[2]);
    EXPECT_EQ(t.LogToRegistryData, "done");
    // Kind, mask and build output stay the target's own.
    EXPECT_FALSE(t.ReservedFlag);
    EXPECT_EQ(t.ActionType, -1);
    EXPECT_FALSE(t.IsGroup || t.IsFolder || t.IncludeSubfolders);
    EXPECT_EQ(t.ProducedFiles[0].SourcePath, "");

    rig.d.CopyOperationRecord(0, 5); // no such record: nothing happens
    EXPECT_EQ(rig.d.Actions.size(), 2u);
}

TEST(DesignerVocabulary, ListsFindCodesByTheirData) {
    struct Case {
        std::vector<ListEntry> list;
        int32_t code;
        int16_t index;
    } cases[] = {
        {InstallCriteriaList(), -1, 10},  {InstallCriteriaList(), 0, 0},
        {FileCriteriaList(false), 12, 1}, // display order differs from the codes
        {FileCriteriaList(false), 11, 2}, {FileCriteriaList(true), 12, -1},
        {FileCriteriaList(true), -1, 2},  {DestinationMacroList(), 0, 0},
        {FolderMacroList(), 0, -1},       {{}, 0, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindItemDataIndex(c.list, c.code), c.index) << c.code;

    std::vector<ListEntry> limited = FileCriteriaList(true);
    ASSERT_EQ(limited.size(), 3u);
    EXPECT_EQ(limited[0].text, "Always");
    EXPECT_EQ(limited[1].text, "Registry Key Value Exists");
    EXPECT_EQ(limited[2].text, "Registry Key Value Doesn't Exist");
    EXPECT_EQ(HiveList()[2].text, "HKEY_LOCAL_MACHINE\\");
}

TEST(DesignerVocabulary, FillComboListsHandsEverySixteenComboItsList) {
    kldtest::DesignerRig rig;
    rig.d.FillComboLists();
    auto fills = rig.host.Calls("FillCombo(");
    ASSERT_EQ(fills.size(), 16u);
    EXPECT_EQ(fills.front(), "FillCombo(cboOperFileCriteriaType)");
    EXPECT_EQ(fills.back(), "FillCombo(cboOperRegDataType)");
    EXPECT_EQ(rig.host.combos[Combo::cboOperFileCriteriaType].size(), 6u);
    EXPECT_EQ(rig.host.combos[Combo::cboInstallCriteriaPath].front().text, "%WIN%");
    EXPECT_EQ(rig.host.combos[Combo::cboOperRegCriteriaPath].front().text, "%PRODUCT%");
    EXPECT_EQ(rig.host.combos[Combo::cboOperRegDataType], DataTypeList());
    // An execute-file action's panel offers no file comparisons.
    rig.d.FillFileCriteriaCombo(Combo::cboOperFileCriteriaType, true);
    EXPECT_EQ(rig.host.combos[Combo::cboOperFileCriteriaType], FileCriteriaList(true));
}

TEST(DesignerVocabulary, TypedDatesReadOrGiveNoDate) {
    EXPECT_EQ(TextToDate("not a date"), 0.0);
    EXPECT_EQ(TextToDate(""), 0.0);
    EXPECT_EQ(TextToDate("02/30/2020 10:00:00"), 0.0);
    const OleDate d = TextToDate("03/15/2021 13:45:30");
    EXPECT_EQ(vb::FormatDate(d), "03/15/2021 13:45:30"); // time of day kept
    EXPECT_EQ(vb::FormatDate(0), "12/30/1899 00:00:00");
}

TEST(DesignerVb, ValReadsTheLeadingNumber) {
    struct {
        const char* text;
        double value;
    } cases[] = {{"", 0},        {"abc", 0}, {"  42abc", 42}, {"-7", -7},  {"3.5.1", 3.5},
                 {"1e3x", 1000}, {"1e", 1},  {"+2", 2},       {"5, 0", 5}, {".5", 0.5}};
    for (const auto& c : cases)
        EXPECT_EQ(vb::Val(c.text), c.value) << c.text;
    EXPECT_EQ(vb::CLng(2.5), 2);
    EXPECT_EQ(vb::CLng(3.5), 4);
    EXPECT_EQ(vb::Int(-1.5), -2);
    EXPECT_EQ(vb::Trim("  a b \t "), "a b \t");
}
