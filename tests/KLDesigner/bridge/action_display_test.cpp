// The action list display on the real control: what each kind of record
// shows, the column grid of the file groups, the cell texts of file actions,
// and where items are added and what is selected after a removal.
#include <functional>

#include "display_rig.h"
#include "platform/gdi/font.h"

using namespace kld;
using namespace kldtest;

namespace {

using Edit = std::function<void(ActionRecord&)>;

struct FaceCase {
    const char* name;
    ActionRecord record;
    std::string text;
    int picture;
    int32_t color;
    float fontSize;
};

ActionRecord With(ActionRecord r, const Edit& edit) {
    edit(r);
    return r;
}

ActionRecord Registry(int16_t kind, const std::string& name, int32_t type, const std::string& text,
                      int32_t number) {
    ActionRecord r = DisplayTest::Record(kind, false);
    r.RegValueName = name;
    r.RegDataType = type;
    r.RegDataText = text;
    r.RegDataNumber = number;
    return r;
}

constexpr int32_t kBlack = 0x000000;
constexpr int32_t kDarkBlue = 0x7F0000;

TEST_F(DisplayTest, EachKindShowsItsTextPictureColourAndSize) {
    using namespace action;
    const FaceCase cases[] = {
        {"install group", Group(InstallFile, "C:\\Src"), "Install From: C:\\Src", 0, kBlack, 10},
        {"install file", File("app.exe"), "app.exe", 4, kBlack, 8},
        {"install mask", With(File("*.*"), [](ActionRecord& r) { r.IsFolder = true; }), "*.*", 5, kBlack, 8},
        {"execute group", Group(ExecuteFile, "/x"), "Execute From: /x", 1, kBlack, 10},
        {"execute file", File("setup.exe", ExecuteFile), "setup.exe", 4, kBlack, 8},
        {"create group", Group(CreateRegistry, "HKLM\\Soft"), "Reg.Key: HKLM\\Soft", 2, kDarkBlue, 10},
        {"set text", Registry(CreateRegistry, "Path", 1, "C:\\A", 7), "Set Data: Path='C:\\A'", 6, kDarkBlue,
         8},
        {"set long", Registry(CreateRegistry, "Count", 4, "x", 42), "Set Data: Count=42", 7, kDarkBlue, 8},
        {"set negative", Registry(CreateRegistry, "N", 4, "", -5), "Set Data: N=-5", 7, kDarkBlue, 8},
        {"long zero", Registry(CreateRegistry, "Count", 4, "", 0), "Create Value: Count", 7, kDarkBlue, 8},
        {"empty text", Registry(CreateRegistry, "Name", 1, "", 3), "Create Value: Name", 6, kDarkBlue, 8},
        {"key alone", Registry(CreateRegistry, "", 1, "", 0), "Create Key", 6, kDarkBlue, 8},
        {"long key alone", Registry(CreateRegistry, "", 4, "", 0), "Create Key", 6, kDarkBlue, 8},
        {"delete group", Group(DeleteRegistry, "HKCU\\X"), "Reg.Key: HKCU\\X", 3, kDarkBlue, 10},
        {"delete value", Registry(DeleteRegistry, "V", 1, "data", 0), "Delete Value: V", 6, kDarkBlue, 8},
        {"delete key", Registry(DeleteRegistry, "", 1, "", 0), "Delete Key", 6, kDarkBlue, 8},
    };
    for (const FaceCase& c : cases) {
        SCOPED_TRACE(c.name);
        // An action needs a group to sit in; the group is of the same kind.
        const bool group = c.record.IsGroup;
        std::vector<ActionRecord> records;
        if (!group) records.push_back(Group(c.record.ActionType));
        records.push_back(c.record);
        plat::dispatch_call(ctl.get(), dispid::kClear);
        Fill(records);
        const int32_t at = group ? 0 : 1;
        ASSERT_EQ(Count(), group ? 1 : 2);
        EXPECT_EQ(Text(at), c.text);
        EXPECT_EQ(PictureOf(dispid::kImage, at), c.picture);
        EXPECT_EQ(PictureOf(dispid::kInvImage, at), c.picture);
        EXPECT_EQ(Get(dispid::kItemForeColor, {Variant(at)}).to_i4(), c.color);
        EXPECT_FLOAT_EQ(static_cast<float>(Get(dispid::kItemFontSize, {Variant(at)}).to_r8()), c.fontSize);
    }
}

TEST_F(DisplayTest, AKindWithoutAFaceKeepsTextAndPictureButGetsItsSize) {
    Fill({Group(action::InstallFile), File("a.dll")});
    d->Actions[1].ActionType = 7;
    display->RefreshOperationItem(*d, 1, 1);
    EXPECT_EQ(Text(1), "a.dll");
    EXPECT_EQ(PictureOf(dispid::kImage, 1), 4);
    // Stale positions and records touch nothing.
    display->RefreshOperationItem(*d, 2, 0);
    display->RefreshOperationItem(*d, -1, 0);
    display->RefreshOperationItem(*d, 0, 5);
    EXPECT_EQ(Text(0), "Install From: /src");
}

struct CellCase {
    const char* key;
    Edit edit;
    std::string text;
};

TEST_F(DisplayTest, FileActionCellsReadTheirRecord) {
    const CellCase cases[] = {
        {"FSIZE", [](ActionRecord& r) { r.FileSize = 0; }, " "},
        {"FSIZE", [](ActionRecord& r) { r.FileSize = 999; }, "999 "},
        {"FSIZE", [](ActionRecord& r) { r.FileSize = 1234567; }, "1,234,567 "},
        {"FSIZE", [](ActionRecord& r) { r.FileSize = 2147483647; }, "2,147,483,647 "},
        {"FVERSION", [](ActionRecord& r) { r.VersionLow = 3; }, " "},
        {"FVERSION", [](ActionRecord& r) { r.VersionHigh = 5, r.VersionLow = 7; }, " 5.7"},
        {"FVERSION", [](ActionRecord& r) { r.VersionHigh = 5, r.VersionLow = 0, r.Build = 123; }, " 5.0.123"},
        {"FDATE", [](ActionRecord& r) { r.FileDate = 45000.5; }, "03/15/2023 12:00:00"},
        {"FDESTPATH",
         [](ActionRecord& r) {
             r.Destinations[0] = {1, "  %PRODUCT%\\bin ", "", "", false};
         },
         " %PRODUCT%\\bin"},
        {"FDESTPATH",
         [](ActionRecord& r) {
             r.Destinations[0] = {2, "", " HKLM\\K ", "  ", false};
         },
         " HKLM\\K\\(Default)"},
        {"FDESTPATH",
         [](ActionRecord& r) {
             r.Destinations[0] = {2, "", "HKLM\\K", " Dir", false};
         },
         " HKLM\\K\\Dir"},
        {"FDESTPATH", [](ActionRecord& r) { r.Destinations[0].FolderType = 3; }, "  ( Ask User ) "},
        {"FDESTPATH", [](ActionRecord& r) { r.Destinations[0].FolderType = 0; }, " "},
        {"FCRITERIA", [](ActionRecord& r) { r.CriteriaType = 1, r.CriteriaRegKey = "HKLM\\K"; },
         " Key Exists: HKLM\\K\\(Default)"},
        {"FCRITERIA",
         [](ActionRecord& r) {
             r.CriteriaType = -1, r.CriteriaRegKey = "HKLM\\K", r.CriteriaValueName = "V";
         },
         " Key Doesn't Exist: HKLM\\K\\V"},
        {"FCRITERIA", [](ActionRecord& r) { r.CriteriaType = 2; }, " Always"},
        {"FCRITERIA", [](ActionRecord& r) { r.Compare = 11, r.CriteriaType = 1; }, " Compare By Version"},
        {"FCRITERIA", [](ActionRecord& r) { r.Compare = 12; }, " Compare By Date"},
        {"FCRITERIA", [](ActionRecord& r) { r.Compare = 13; }, " Compare By Size/CRC"},
        {"FCRITERIA", [](ActionRecord& r) { r.Compare = 5; }, " Always"},
        {"FWRITEREG", [](ActionRecord& r) { r.LogToRegistryData = ""; }, " No"},
        {"FWRITEREG", [](ActionRecord& r) { r.LogToRegistryData = "x"; }, " Yes"},
        {"FCOMPRESS", [](ActionRecord& r) { r.Compress = true; }, " Yes"},
        {"FENCRYPT", [](ActionRecord& r) { r.Encrypt = false; }, " No"},
        {"FREGISTER", [](ActionRecord& r) { r.Register = true; }, " Yes"},
        {"FASKCLOSE", [](ActionRecord& r) { r.AskClose = true; }, " Yes"},
        {"FRESTART", [](ActionRecord& r) { r.UpdateOnRestart = false; }, " No"},
    };
    for (const CellCase& c : cases) {
        SCOPED_TRACE(std::string(c.key) + " -> '" + c.text + "'");
        plat::dispatch_call(ctl.get(), dispid::kClear);
        Fill({Group(action::InstallFile), With(File("a.dll"), c.edit)});
        EXPECT_EQ(Value(1, c.key).to_utf8(), c.text);
    }
}

TEST_F(DisplayTest, ExecuteActionsGetNoInstallCells) {
    ActionRecord run = File("setup.exe", action::ExecuteFile);
    run.Register = run.AskClose = run.UpdateOnRestart = run.Compress = true;
    Fill({Group(action::ExecuteFile), run});
    EXPECT_EQ(Value(1, "FCOMPRESS").to_utf8(), " Yes");
    for (const char* key : {"FREGISTER", "FASKCLOSE", "FRESTART"})
        EXPECT_EQ(Value(1, key).vt, plat::VT_EMPTY) << key;
    // Groups and registry actions carry no cells at all.
    EXPECT_EQ(Value(0, "FSIZE").vt, plat::VT_EMPTY);
}

namespace grid {
constexpr plat::DISPID Cols = 4, ColDefs = 6, Visible = 18, Cells = 19, HasCell = 22;
}

TEST_F(DisplayTest, FileGroupsDefineTheirColumnGrid) {
    // The title cells' font: the forms' face at 8 points.
    const plat::gdi::Font kTitleFont(plat::gdi::FontSpec{.size = 80000});
    struct Column {
        const char* key;
        const char* title;
        int32_t twips;
    };
    const Column columns[] = {
        {"", "File Name", 1500},
        {"FDATE", "Creation Date", 1050},
        {"FSIZE", "Size, byte", 1050},
        {"FVERSION", "Version", 750},
        {"FDESTPATH", "Destination", 3000},
        {"FCRITERIA", "Criteria", 3000},
        {"FWRITEREG", "Create Registry Key", 750},
        {"FCOMPRESS", "Compress", 750},
        {"FENCRYPT", "Encrypt", 750},
        {"FREGISTER", "Register", 750},
        {"FASKCLOSE", "Ask User Close File", 750},
        {"FRESTART", "Update On Restart", 750},
    };
    d->ActionListViewStyle = 1;
    Fill({Group(action::InstallFile), Group(action::ExecuteFile)});
    for (int32_t at : {0, 1}) {
        const bool install = at == 0;
        SCOPED_TRACE(install ? "install group" : "execute group");
        plat::ComPtr<plat::IDispatch> g = Object(ctl.get(), dispid::kItemGrid, {Variant(at)});
        ASSERT_TRUE(g);
        EXPECT_TRUE(Get(g.get(), grid::Visible).to_bool());
        const int32_t cols = install ? 13 : 10;
        EXPECT_EQ(Get(g.get(), grid::Cols).to_i4(), cols);
        plat::ComPtr<plat::IDispatch> defs = Object(g.get(), grid::ColDefs);
        auto col = [&](int i) { return Object(defs.get(), 0, {Variant(int16_t(i))}); };
        EXPECT_FALSE(Get(col(0).get(), 2).to_bool());
        for (int i = 1; i < cols; ++i) {
            const Column& want = columns[i - 1];
            SCOPED_TRACE(want.title);
            plat::ComPtr<plat::IDispatch> c = col(i);
            EXPECT_TRUE(Get(c.get(), 2).to_bool());
            // The designed width, widened where the title would not fit.
            const int32_t title_width = kTitleFont.Extent(want.title) * 15;
            const int32_t width = Get(c.get(), 7).to_i4();
            EXPECT_GE(width, want.twips);
            EXPECT_GT(width, title_width + 4 * 15) << "room for the title";
            if (title_width + 12 * 15 < want.twips) EXPECT_EQ(width, want.twips);
            if (*want.key) {
                EXPECT_EQ(Get(c.get(), 3).to_utf8(), want.key);
            }
            EXPECT_TRUE(Get(g.get(), grid::HasCell, {Variant(0), Variant(i)}).to_bool());
            plat::ComPtr<plat::IDispatch> title = Object(g.get(), grid::Cells, {Variant(0), Variant(i)});
            plat::ComPtr<plat::IDispatch> font = Object(Object(title.get(), 1).get(), 8);
            EXPECT_DOUBLE_EQ(Get(font.get(), 2).to_r8(), 8.0);
        }
        // The name column is yellow and bold; date centred, size to the right.
        plat::ComPtr<plat::IDispatch> nameDef = Object(col(1).get(), 1);
        EXPECT_EQ(Get(nameDef.get(), 4).to_i4(), 0x00FFFF);
        EXPECT_TRUE(Get(Object(nameDef.get(), 8).get(), 3).to_bool());
        EXPECT_EQ(Get(Object(col(2).get(), 1).get(), 10).to_i4(), 5);
        EXPECT_EQ(Get(Object(col(3).get(), 1).get(), 10).to_i4(), 8);
    }
}

TEST_F(DisplayTest, GridStaysHiddenInThePropertiesView) {
    d->ActionListViewStyle = 0;
    Fill({Group(action::InstallFile), File("a.dll")});
    plat::ComPtr<plat::IDispatch> g = Object(ctl.get(), dispid::kItemGrid, {Variant(0)});
    EXPECT_EQ(Get(g.get(), grid::Cols).to_i4(), 13);
    EXPECT_FALSE(Get(g.get(), grid::Visible).to_bool());
    // The view command shows it.
    d->SetActionListViewStyle(1);
    EXPECT_TRUE(Get(g.get(), grid::Visible).to_bool());
}

// Records 0 to 4 as [G, A, A, G, A] and two more free to be added: 5 a
// group, 6 an action.
struct PlaceCase {
    const char* name;
    int32_t collapse; // the group position collapsed first, or -1
    int32_t select;   // -1: nothing selected
    enum { AddGroup, AddAction, Remove } op;
    int32_t removeAt;
    std::string shape;
    int32_t selected;
};

TEST_F(DisplayTest, ItemsGoWhereTheSelectionSaysAndRemovalSelectsANeighbour) {
    const PlaceCase cases[] = {
        {"group after the selected group", -1, 0, PlaceCase::AddGroup, 0, "0[1 2] 5[] 3[4]", 3},
        {"group after the group of the selected action", -1, 2, PlaceCase::AddGroup, 0, "0[1 2] 5[] 3[4]", 3},
        {"group at the end from the last group", -1, 4, PlaceCase::AddGroup, 0, "0[1 2] 3[4] 5[]", 5},
        {"group at the end with nothing selected", -1, -1, PlaceCase::AddGroup, 0, "0[1 2] 3[4] 5[]", 5},
        {"group after a collapsed group", 0, 0, PlaceCase::AddGroup, 0, "0[1 2] 5[] 3[4]", 3},
        {"action at the end of the selected group", -1, 0, PlaceCase::AddAction, 0, "0[1 2 6] 3[4]", 3},
        {"action at the end of the selected action's group", -1, 1, PlaceCase::AddAction, 0, "0[1 2 6] 3[4]",
         3},
        {"no action without a selection", -1, -1, PlaceCase::AddAction, 0, "0[1 2] 3[4]", -1},
        {"middle item: the next one moves up", -1, 0, PlaceCase::Remove, 1, "0[2] 3[4]", 1},
        {"a group goes with its actions", -1, 0, PlaceCase::Remove, 0, "3[4]", 0},
        {"last item: the new last one", -1, 0, PlaceCase::Remove, 4, "0[1 2] 3[]", 3},
        {"last item: the group of a hidden one", 0, 0, PlaceCase::Remove, 3, "0[1 2]", 0},
        {"stale position removes nothing", -1, 0, PlaceCase::Remove, 9, "0[1 2] 3[4]", 4},
    };
    for (const PlaceCase& c : cases) {
        SCOPED_TRACE(c.name);
        plat::dispatch_call(ctl.get(), dispid::kClear);
        Fill({Group(action::InstallFile), File("a"), File("b"), Group(action::ExecuteFile), File("c")});
        d->Actions.push_back(Group(action::InstallFile, "/new"));
        d->Actions.push_back(File("new.dll"));
        if (c.collapse >= 0) Put(dispid::kExpand, Variant::boolean(false), {Variant(c.collapse)});
        Put(dispid::kListIndex, Variant(c.select));
        switch (c.op) {
        case PlaceCase::AddGroup:
            display->AddOperationItem(*d, 5, true);
            break;
        case PlaceCase::AddAction:
            display->AddOperationItem(*d, 6, false);
            break;
        case PlaceCase::Remove:
            display->RemoveOperationItem(*d, c.removeAt);
            break;
        }
        EXPECT_EQ(Shape(), c.shape);
        EXPECT_EQ(Selected(), c.selected);
        if (c.op != PlaceCase::Remove && c.selected >= 0) {
            EXPECT_EQ(Text(c.selected), c.op == PlaceCase::AddGroup ? "Install From: /new" : "new.dll");
        }
    }
}

TEST_F(DisplayTest, RemovingDownToOneItemOrNone) {
    Fill({Group(action::InstallFile), File("a")});
    display->RemoveOperationItem(*d, 1);
    EXPECT_EQ(Selected(), 0);
    display->RemoveOperationItem(*d, 0);
    EXPECT_EQ(Count(), 0);
    EXPECT_EQ(Selected(), -1);
    display->RemoveOperationItem(*d, -1);
    EXPECT_EQ(Get(dispid::kRedraw).to_bool(), true);
}

} // namespace

namespace {

// The designer's own commands on the real list: the records and the items
// stay in step.
TEST_F(DisplayTest, DesignerCommandsKeepTheListInStep) {
    d->NewDocument();
    ASSERT_TRUE(d->AddOperation(action::InstallFile, true));
    ASSERT_TRUE(d->AddOperation(action::InstallFile, false));
    ASSERT_TRUE(d->AddOperation(action::CreateRegistry, true));
    EXPECT_EQ(Shape(), "0[1] 2[]");
    EXPECT_EQ(Selected(), 2);
    EXPECT_EQ(Text(2), "Reg.Key: ");
    EXPECT_EQ(PictureOf(dispid::kImage, 1), kld::picture::File);
    // A new item while the first group's item is selected joins that group.
    Put(dispid::kListIndex, Variant(1));
    ASSERT_TRUE(d->AddOperation(action::InstallFile, false));
    EXPECT_EQ(Shape(), "0[1 3] 2[]");
    d->DeleteOperation(1);
    EXPECT_EQ(Shape(), "0[3] 2[]");
    EXPECT_EQ(Selected(), 1);
    EXPECT_EQ(d->ActionCount, 3);
}

} // namespace
