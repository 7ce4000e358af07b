// What a grid cell's definition inherits, attribute by attribute: its own
// entries first, then its column, row, level and grid, then the control's
// default item cell and last the control's properties.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/com/dispatch_client.h"
#include "vinca/control/control.h"

using plat::Variant;

namespace {

Variant I4(int32_t v) {
    return Variant(v);
}

class LinkSources : public ::testing::Test {
  protected:
    void SetUp() override {
        ctl = plat::make_object<vinca::CVincaCtrl>();
        ASSERT_EQ(ctl->InitNew(), plat::S_OK);
    }
    plat::IDispatch* self() { return ctl.get(); }
    Variant get(plat::IDispatch* on, std::string_view name, std::vector<Variant> args = {}) {
        Variant v;
        plat::CallError e;
        EXPECT_EQ(plat::dispatch_get(on, name, v, args, &e), plat::S_OK) << name << ": " << e.number;
        return v;
    }
    void put(plat::IDispatch* on, std::string_view name, const Variant& value,
             std::vector<Variant> args = {}) {
        plat::CallError e;
        EXPECT_EQ(plat::dispatch_put(on, name, value, args, &e), plat::S_OK) << name << ": " << e.number;
    }
    Variant call(plat::IDispatch* on, std::string_view name, std::vector<Variant> args = {}) {
        Variant v;
        plat::CallError e;
        EXPECT_EQ(plat::dispatch_call(on, name, args, &v, &e), plat::S_OK) << name << ": " << e.number;
        return v;
    }
    // The cell definition of a cell of the tree grid.
    Variant CellDef(int32_t row, int32_t col) {
        return get(get(grid.pdispVal, "Cells", {I4(row), I4(col)}).pdispVal, "CellDef");
    }
    int32_t Read(const Variant& def, const char* member) { return get(def.pdispVal, member).to_i4(); }

    // A tree grid with columns 0..3 and one row, item "a" at the top.
    void BuildGrid() {
        call(self(), "AddItem", {Variant("a")});
        grid = get(self(), "Grid");
        put(grid.pdispVal, "Cols", I4(4));
        ASSERT_EQ(get(grid.pdispVal, "Rows").to_i4(), 2);
    }

    plat::ComPtr<vinca::CVincaCtrl> ctl;
    Variant grid;
};

TEST_F(LinkSources, DataCellInheritsFromColumnRowLevelGridAndDefaultInThatOrder) {
    BuildGrid();
    // A new grid's cells start with the grid's own back colour.
    EXPECT_EQ(Read(CellDef(1, 2), "BackColor"), Read(get(grid.pdispVal, "GridCellDef"), "BackColor"));
    const int32_t property = get(self(), "ForeColor").to_i4();
    EXPECT_EQ(Read(CellDef(1, 2), "ForeColor"), property);

    // Each source set from the farthest to the nearest takes over.
    struct Source {
        const char* what;
        Variant def;
        int32_t color;
    };
    std::vector<Source> sources = {
        {"default item cell", get(self(), "DefItemCellDef"), 0x10},
        {"grid", get(grid.pdispVal, "GridCellDef"), 0x11},
        {"level", get(get(get(self(), "LevelDefs").pdispVal, "Item", {I4(0)}).pdispVal, "CellDef"), 0x12},
        {"row", get(grid.pdispVal, "RowCellDef", {I4(1)}), 0x13},
        {"column", get(get(get(grid.pdispVal, "ColDefs").pdispVal, "Item", {I4(2)}).pdispVal, "CellDef"),
         0x14},
        {"own", CellDef(1, 2), 0x15},
    };
    for (const Source& s : sources) {
        put(s.def.pdispVal, "ForeColor", I4(s.color));
        EXPECT_EQ(Read(CellDef(1, 2), "ForeColor"), s.color) << s.what;
    }
    // Unset from the nearest: each one uncovers the next.
    for (size_t i = sources.size(); i-- > 1;) {
        put(sources[i].def.pdispVal, "ForeColor", I4(1));
        EXPECT_EQ(Read(CellDef(1, 2), "ForeColor"), sources[i - 1].color) << sources[i].what;
    }
    put(sources[0].def.pdispVal, "ForeColor", I4(1));
    EXPECT_EQ(Read(CellDef(1, 2), "ForeColor"), property);
}

TEST_F(LinkSources, TreeColumnInheritsTheItemsTreeCellTitlesTheTitleDefinitions) {
    BuildGrid();
    put(get(self(), "ItemCell", {I4(0)}).pdispVal, "ForeColor", I4(0x31));
    // In the tree grid only the tree column reads the item's tree cell.
    EXPECT_EQ(Read(CellDef(1, 1), "ForeColor"), 0x31);
    EXPECT_NE(Read(CellDef(1, 2), "ForeColor"), 0x31);

    put(get(grid.pdispVal, "ColTitleCellDef").pdispVal, "ForeColor", I4(0x21));
    put(get(grid.pdispVal, "RowTitleCellDef").pdispVal, "ForeColor", I4(0x22));
    EXPECT_EQ(Read(CellDef(0, 2), "ForeColor"), 0x21);
    EXPECT_EQ(Read(CellDef(1, 0), "ForeColor"), 0x22);
    // A data cell reads neither title definition.
    EXPECT_NE(Read(CellDef(1, 3), "ForeColor"), 0x21);
    EXPECT_NE(Read(CellDef(1, 3), "ForeColor"), 0x22);
    // The titles keep the grid's own alignment; a data cell takes the
    // default item cell's, kept under its inner key.
    const int32_t title = Read(CellDef(0, 2), "TextAlignment");
    put(get(self(), "DefItemCellDef").pdispVal, "TextAlignment", Variant(int16_t(7)));
    EXPECT_EQ(Read(CellDef(1, 3), "TextAlignment"), 7);
    EXPECT_EQ(Read(CellDef(0, 2), "TextAlignment"), title);
}

} // namespace
