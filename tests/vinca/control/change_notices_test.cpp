// What the control and its automation objects tell the drawing side: a
// repaint request only for a real change, and change notices in pairs
// around every object write, a failing one included.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include <fstream>

#include "platform/com/dispatch_client.h"
#include "support/temp_dir.h"
#include "vinca/control/control.h"
#include "vinca/control/objects/cell_def.h"
#include "vinca/control/objects/col_defs.h"
#include "vinca/control/objects/grid.h"
#include "vinca/control/objects/level_defs.h"
#include "vinca/control/objects/values.h"

using plat::Variant;

namespace {

Variant I4(int32_t v) {
    return Variant(v);
}

struct RecordingView final : vinca::IControlView {
    void RequestRefresh(int32_t flags, int32_t code) override { requests.emplace_back(flags, code); }
    std::vector<std::pair<int32_t, int32_t>> requests;
};

// Counts the repaints that close the engine's outermost change.
struct RecordingSink final : vinca::IViewSink {
    void Repaint() override { ++repaints; }
    int repaints{0};
};

class ChangeNotices : public ::testing::Test {
  protected:
    void SetUp() override {
        ctl = plat::make_object<vinca::CVincaCtrl>();
        ASSERT_EQ(ctl->InitNew(), plat::S_OK);
        ctl->m_view = &view;
        ctl->Engine().SetViewSink(&sink);
    }
    void TearDown() override {
        ctl->m_view = nullptr;
        ctl->Engine().SetViewSink(nullptr);
    }
    Variant get(plat::IDispatch* on, std::string_view name, std::vector<Variant> args = {}) {
        Variant v;
        plat::CallError e;
        EXPECT_EQ(plat::dispatch_get(on, name, v, args, &e), plat::S_OK) << name << ": " << e.number;
        return v;
    }
    // The error number of a write (0: it worked).
    int put(plat::IDispatch* on, std::string_view name, const Variant& value,
            std::vector<Variant> args = {}) {
        plat::CallError e;
        return plat::dispatch_put(on, name, value, args, &e) == plat::S_OK ? 0 : int(e.number);
    }

    RecordingView view;
    RecordingSink sink;
    plat::ComPtr<vinca::CVincaCtrl> ctl;
};

} // namespace

TEST_F(ChangeNotices, EqualValuesAskForNoRepaintButTheCaptionAlwaysDoes) {
    for (const char* name :
         {"ViewStyle", "ForeColor", "ShiftStep", "DefItemCellBackColor", "PathSeparator", "Caption"}) {
        SCOPED_TRACE(name);
        const Variant same = get(ctl.get(), name);
        view.requests.clear();
        ASSERT_EQ(put(ctl.get(), name, same), 0);
        if (std::string(name) == "Caption") {
            ASSERT_EQ(view.requests.size(), 1u);
            EXPECT_EQ(view.requests[0].first & 8, 8); // the frame
        } else {
            EXPECT_TRUE(view.requests.empty());
        }
    }
    view.requests.clear();
    ASSERT_EQ(put(ctl.get(), "ForeColor", I4(0x123456)), 0);
    EXPECT_FALSE(view.requests.empty());
}

TEST_F(ChangeNotices, ObjectWritesComeInPairsAlsoWhenTheyFail) {
    plat::CallError e;
    Variant out;
    ASSERT_EQ(plat::dispatch_call(ctl.get(), "AddItem", std::vector<Variant>{Variant("a")}, &out, &e),
              plat::S_OK);
    Variant grid = get(ctl.get(), "Grid");
    ASSERT_EQ(put(grid.pdispVal, "Cols", I4(3)), 0);
    Variant cell = get(grid.pdispVal, "Cells", {I4(1), I4(2)});
    Variant def = get(ctl.get(), "DefItemCellDef");
    Variant value = get(get(ctl.get(), "ItemValues", {I4(0)}).pdispVal, "Item", {Variant("price")});
    Variant levels = get(ctl.get(), "LevelDefs");
    Variant level = get(levels.pdispVal, "Item", {I4(1)});
    Variant far_level = get(levels.pdispVal, "Item", {I4(40000)});
    // A 1x1 bitmap, whole enough to decode.
    kltest::TempDir dir;
    const auto bmp = dir.path() / "level.bmp";
    {
        std::string b = {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0};
        const char info[40] = {40, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 4};
        b.append(info, sizeof info);
        b += std::string(4, '\x33');
        std::ofstream(bmp, std::ios::binary) << b;
    }
    Variant picture;
    ASSERT_EQ(plat::dispatch_call(ctl.get(), "LoadPicture", std::vector<Variant>{Variant(bmp.string())},
                                  &picture, &e),
              plat::S_OK);

    struct Case {
        const char* what;
        plat::IDispatch* on;
        const char* member;
        Variant value;
        int error;
    };
    const Case cases[] = {
        {"a cell definition", def.pdispVal, "BackColor", I4(0x42), 0},
        {"a value", value.pdispVal, "Value", I4(7), 0},
        {"a level", level.pdispVal, "PictureOpen", picture, 0},
        {"a level that cannot be made", far_level.pdispVal, "PictureOpen", picture, 381},
        {"a grid", grid.pdispVal, "Cols", I4(4), 0},
        // A plain value is a title, which only row 0 has: refused inside the pair.
        {"a grid cell refusing", cell.pdispVal, "Value", Variant("x"), 380},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int before = sink.repaints;
        EXPECT_EQ(put(c.on, c.member, c.value), c.error);
        EXPECT_FALSE(ctl->Engine().InUpdate()) << "a closing notice is missing";
        EXPECT_EQ(sink.repaints, before + 1);
    }
}

TEST_F(ChangeNotices, ObjectsAnswerTheirInterfaceIdentities) {
    plat::CallError e;
    Variant out;
    ASSERT_EQ(plat::dispatch_call(ctl.get(), "AddItem", std::vector<Variant>{Variant("a")}, &out, &e),
              plat::S_OK);
    Variant grid = get(ctl.get(), "Grid");
    ASSERT_EQ(put(grid.pdispVal, "Cols", I4(2)), 0);
    Variant coldefs = get(grid.pdispVal, "ColDefs");
    Variant levels = get(ctl.get(), "LevelDefs");
    Variant values = get(ctl.get(), "ItemValues", {I4(0)});
    const std::pair<Variant, const char*> cases[] = {
        {get(get(coldefs.pdispVal, "Item", {I4(1)}).pdispVal, "CellDef"),
         "89AA8485-5D31-11D2-A13C-0040054699BC"},
        {get(coldefs.pdispVal, "Item", {I4(1)}), "89AA8481-5D31-11D2-A13C-0040054699BC"},
        {coldefs, "89AA8483-5D31-11D2-A13C-0040054699BC"},
        {get(grid.pdispVal, "Cells", {I4(1), I4(1)}), "89AA848B-5D31-11D2-A13C-0040054699BC"},
        {grid, "89AA848D-5D31-11D2-A13C-0040054699BC"},
        {get(levels.pdispVal, "Item", {I4(0)}), "89AA848F-5D31-11D2-A13C-0040054699BC"},
        {levels, "89AA8491-5D31-11D2-A13C-0040054699BC"},
        {get(values.pdispVal, "Item", {Variant("x")}), "89AA8493-5D31-11D2-A13C-0040054699BC"},
        {values, "89AA8495-5D31-11D2-A13C-0040054699BC"},
    };
    for (const auto& [object, iid] : cases) {
        SCOPED_TRACE(iid);
        ASSERT_EQ(object.vt, plat::VT_DISPATCH);
        plat::ComPtr<plat::IUnknown> unk;
        EXPECT_EQ(object.pdispVal->QueryInterface(*plat::guid_from_string(iid), unk.put_void()), plat::S_OK);
    }
}
