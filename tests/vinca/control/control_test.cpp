// The control as a container sees it: registered from the built library,
// created through the component loader, sited in the test container and
// driven through IDispatch alone. This program never links the model.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "platform/base/strings.h"
#include "platform/com/dispatch_client.h"
#include "platform/com/enum_variant.h"
#include "platform/com/loader.h"
#include "platform/com/oadate.h"
#include "platform/config/registry.h"
#include "support/bare_site.h"
#include "support/temp_dir.h"
#include "support/test_container.h"
#include "vinca/model/picture.h"
#include "vinca/model/values.h"

using plat::Variant;

namespace {

// A 1x1 bitmap file of one colour, whole enough to decode.
std::string TinyBmp(uint8_t shade) {
    std::string b = {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0};
    const char info[40] = {40, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 4};
    b.append(info, sizeof info);
    b += std::string(3, char(shade)) + '\0';
    return b;
}

// A 1x1 icon file with a 32-bit image and its mask.
std::string TinyIco() {
    const char head[22] = {0, 0, 1, 0, 1, 0, 1, 1, 0, 0, 1, 0, 32, 0, 48, 0, 0, 0, 22, 0, 0, 0};
    const char info[40] = {40, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 1, 0, 32, 0};
    std::string b(head, sizeof head);
    b.append(info, sizeof info);
    b += std::string("\x22\x22\x22\xFF", 4) + std::string(4, '\0');
    return b;
}

constexpr plat::CLSID kControl = plat::make_guid("9D998150-B884-11CE-8D47-444553540000");
constexpr plat::CLSID kTreeObject = plat::make_guid("C69411A1-5D5D-11D2-A13C-0040054699BC");

Variant I2(int v) {
    return Variant(static_cast<int16_t>(v));
}
Variant I4(int32_t v) {
    return Variant(v);
}
Variant Text(std::string_view s) {
    return Variant(s);
}

// One control in the test container, with late-bound shorthands.
class Control : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(plat::call_library_registration(KL_VINCA5_PATH, false), plat::S_OK);
        ctl = box.create(kControl);
        ASSERT_TRUE(ctl);
    }

    plat::ComPtr<plat::IDispatch> make() { return box.create(kControl); }

    Variant get(std::string_view name, std::initializer_list<Variant> index = {},
                plat::IDispatch* on = nullptr) {
        Variant v;
        plat::CallError e;
        std::vector<Variant> args(index);
        EXPECT_EQ(plat::dispatch_get(on ? on : ctl.get(), name, v, args, &e), plat::S_OK)
            << name << ": " << e.number << " " << e.description;
        return v;
    }
    void put(std::string_view name, const Variant& value, std::initializer_list<Variant> index = {},
             plat::IDispatch* on = nullptr) {
        plat::CallError e;
        std::vector<Variant> args(index);
        EXPECT_EQ(plat::dispatch_put(on ? on : ctl.get(), name, value, args, &e), plat::S_OK)
            << name << ": " << e.number << " " << e.description;
    }
    Variant call(std::string_view name, std::initializer_list<Variant> args = {},
                 plat::IDispatch* on = nullptr) {
        Variant v;
        plat::CallError e;
        std::vector<Variant> a(args);
        EXPECT_EQ(plat::dispatch_call(on ? on : ctl.get(), name, a, &v, &e), plat::S_OK)
            << name << ": " << e.number << " " << e.description;
        return v;
    }
    // The error number of a failing read, write or call (0: it worked).
    uint16_t get_error(std::string_view name, std::initializer_list<Variant> index = {}) {
        Variant v;
        plat::CallError e;
        std::vector<Variant> args(index);
        return plat::dispatch_get(ctl.get(), name, v, args, &e) == plat::S_OK ? 0 : e.number;
    }
    uint16_t put_error(std::string_view name, const Variant& value, std::initializer_list<Variant> index = {},
                       plat::CallError* out = nullptr) {
        plat::CallError e;
        std::vector<Variant> args(index);
        const plat::HRESULT hr = plat::dispatch_put(ctl.get(), name, value, args, &e);
        if (out) *out = e;
        return hr == plat::S_OK ? 0 : e.number;
    }
    uint16_t call_error(std::string_view name, std::initializer_list<Variant> args = {}) {
        Variant v;
        plat::CallError e;
        std::vector<Variant> a(args);
        return plat::dispatch_call(ctl.get(), name, a, &v, &e) == plat::S_OK ? 0 : e.number;
    }
    bool dirty() {
        plat::ComPtr<plat::IPersistStreamInit> p;
        ctl.query(plat::IPersistStreamInit::kIID, p);
        return p && p->IsDirty() == plat::S_OK;
    }
    void clean() {
        plat::ComPtr<plat::IPersistStreamInit> p;
        ctl.query(plat::IPersistStreamInit::kIID, p);
        auto stream = plat::create_memory_stream();
        ASSERT_EQ(p->Save(stream.get(), true), plat::S_OK);
    }
    std::string text(std::string_view name, std::initializer_list<Variant> index = {}) {
        return get(name, index).to_utf8();
    }
    int32_t num(std::string_view name, std::initializer_list<Variant> index = {}) {
        return get(name, index).to_i4();
    }

    kltest::TestContainer box;
    plat::ComPtr<plat::IDispatch> ctl;
    kltest::TempDir dir;
};

std::vector<std::vector<std::string>> Fixture() {
    std::ifstream in(std::string(KL_TEST_DATA_DIR) + "/control/dvinca5_members.tsv");
    std::vector<std::vector<std::string>> rows;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> f;
        std::stringstream s(line);
        std::string part;
        while (std::getline(s, part, '\t'))
            f.push_back(part);
        rows.push_back(f);
    }
    return rows;
}

} // namespace

// ---- registration ----

TEST(ControlRegistration, RegisteredWithTheToolCreatedByIdAndNameUntilUnregistered) {
    const std::string cmd = std::string(KL_REGSVR) + " /s " KL_VINCA5_PATH;
    ASSERT_EQ(std::system(cmd.c_str()), 0);

    plat::Registry& reg = plat::registry();
    const auto hkcr = plat::Hive::ClassesRoot;
    const std::string key = "CLSID\\{9D998150-B884-11CE-8D47-444553540000}";
    EXPECT_EQ(reg.get_string(hkcr, key + "\\ProgID", ""), "Vinca.Vinca.5");
    EXPECT_EQ(reg.get_string(hkcr, "Vinca.Vinca.5\\CLSID", ""), "{9D998150-B884-11CE-8D47-444553540000}");
    EXPECT_NE(reg.get_string(hkcr, key + "\\InprocServer32", "").find("libvinca5.so"), std::string::npos);
    EXPECT_EQ(reg.get_string(hkcr, key + "\\MiscStatus\\1", ""), std::to_string(0x38191));
    EXPECT_EQ(reg.get_string(hkcr, key + "\\TypeLib", ""), "{9D998153-B884-11CE-8D47-444553540000}");
    EXPECT_EQ(reg.get_string(hkcr, key + "\\Version", ""), "6.9");
    EXPECT_TRUE(
        reg.key_exists(hkcr, key + "\\Implemented Categories\\{7DD95801-9882-11CF-9FA9-00AA006C42C4}"));
    EXPECT_TRUE(
        reg.key_exists(hkcr, key + "\\Implemented Categories\\{7DD95802-9882-11CF-9FA9-00AA006C42C4}"));
    EXPECT_EQ(reg.get_string(hkcr, "Component Categories\\{7DD95801-9882-11CF-9FA9-00AA006C42C4}", "409"),
              "Controls that are safely scriptable");
    EXPECT_EQ(reg.get_string(hkcr, "CLSID\\{C69411A1-5D5D-11D2-A13C-0040054699BC}\\InprocServer32",
                             "ThreadingModel"),
              "Apartment");
    EXPECT_EQ(reg.get_string(hkcr, "Vinca.TREEOBJECT.5\\CLSID", ""),
              "{C69411A1-5D5D-11D2-A13C-0040054699BC}");
    EXPECT_TRUE(reg.key_exists(hkcr, "TypeLib\\{9D998153-B884-11CE-8D47-444553540000}\\6.9"));

    plat::ComPtr<plat::IDispatch> by_id, by_name, tree;
    ASSERT_EQ(plat::create_instance(kControl, plat::IID_IDispatch, by_id.put_void()), plat::S_OK);
    ASSERT_EQ(plat::create_instance("Vinca.Vinca.5", plat::IID_IDispatch, by_name.put_void()), plat::S_OK);
    ASSERT_EQ(plat::create_instance(kTreeObject, plat::IID_IUnknown, tree.put_void()), plat::S_OK);
    plat::ComPtr<plat::IOleObject> ole;
    ASSERT_EQ(by_id.query(plat::IOleObject::kIID, ole), plat::S_OK);
    uint32_t misc = 0;
    EXPECT_EQ(ole->GetMiscStatus(1, &misc), plat::S_OK);
    EXPECT_EQ(misc, 0x38191u);

    // The library stays loaded; it may not be unloaded while objects live.
    void* lib = dlopen(KL_VINCA5_PATH, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(lib, nullptr);
    auto can_unload = reinterpret_cast<plat::HRESULT (*)()>(dlsym(lib, "DllCanUnloadNow"));
    ASSERT_NE(can_unload, nullptr);
    EXPECT_EQ(can_unload(), plat::S_FALSE);
    by_id.reset();
    by_name.reset();
    tree.reset();
    ole.reset();
    EXPECT_EQ(can_unload(), plat::S_OK);
    dlclose(lib);

    ASSERT_EQ(std::system((std::string(KL_REGSVR) + " /u /s " KL_VINCA5_PATH).c_str()), 0);
    EXPECT_EQ(plat::create_instance(kControl, plat::IID_IDispatch, by_id.put_void()),
              plat::REGDB_E_CLASSNOTREG);
    EXPECT_FALSE(reg.key_exists(hkcr, key));
}

// ---- errors ----

TEST_F(Control, ErrorsTravelAsNumbersWithTheControlsTexts) {
    plat::CallError e;
    EXPECT_EQ(put_error("PathSeparator", Text(""), {}, &e), 20107);
    EXPECT_EQ(e.description, "Invalid path separator");
    EXPECT_EQ(e.scode, plat::make_hresult(0x8004006Bu));
    EXPECT_EQ(put_error("PathSeparator", Text(".x")), 20107);
    EXPECT_EQ(text("PathSeparator"), "\\");

    EXPECT_EQ(put_error("ViewStyle", I2(6), {}, &e), 380);
    EXPECT_EQ(e.scode, plat::make_hresult(0x800A017Cu));
    EXPECT_EQ(get_error("List", {I4(-1)}), 381);
}

// ---- the interface ----

TEST_F(Control, EveryNameAndAliasAnswersItsNumber) {
    for (const auto& row : Fixture()) {
        plat::DISPID id = 0;
        ASSERT_EQ(plat::dispatch_id(ctl.get(), row[1], id), plat::S_OK) << row[1];
        EXPECT_EQ(id, std::stoi(row[0])) << row[1];
        if (row[2] != "-") {
            ASSERT_EQ(plat::dispatch_id(ctl.get(), row[2], id), plat::S_OK) << row[2];
            EXPECT_EQ(id, std::stoi(row[0])) << row[2];
        }
    }
    Variant v;
    plat::CallError e;
    EXPECT_EQ(plat::dispatch_get(ctl.get(), 155, v, {}, &e), plat::DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(plat::dispatch_get(ctl.get(), 169, v, {}, &e), plat::DISP_E_MEMBERNOTFOUND);
}

// Each refusal of the description happens, in the mode it names, and no
// other member refuses in that direction.
TEST_F(Control, AccessRulesHoldAtRunTimeAndAtDesignTime) {
    for (bool run : {true, false}) {
        box.set_user_mode(run);
        for (const auto& row : Fixture()) {
            if (row[3] == "method") continue;
            SCOPED_TRACE(row[1] + (run ? " at run time" : " at design time"));
            const std::string& access = row[6];
            const bool indexed = row[5] != "-";
            std::vector<Variant> index;
            if (indexed) index.push_back(row[5].find(":I2") != std::string::npos ? I2(0) : I4(0));
            if (row[5].find(",") != std::string::npos) index.push_back(I2(0));
            const plat::DISPID id = std::stoi(row[0]);

            auto has = [&](std::string_view word) {
                std::stringstream s(access);
                std::string w;
                while (std::getline(s, w, ','))
                    if (w == word) return true;
                return false;
            };
            Variant v;
            plat::CallError e;
            plat::dispatch_get(ctl.get(), id, v, index, &e);
            const bool get_refused = has("get") || (has("get-design") && !run);
            if (get_refused)
                EXPECT_EQ(e.number, 394);
            else
                EXPECT_NE(e.number, 394);

            // A write of a value of the wrong kind is enough to see a refusal.
            plat::CallError pe;
            plat::dispatch_put(ctl.get(), id, Variant(int16_t(0)), index, &pe);
            if (has("put"))
                EXPECT_EQ(pe.number, 383);
            else if (has("put-design-394") && !run)
                EXPECT_EQ(pe.number, 394);
            else
                EXPECT_TRUE(pe.number != 383 && pe.number != 394) << pe.number;
        }
    }
}

// A site of the test's own that answers the run mode it is told, and
// counts how often it is asked.
class ModeSite final : public kltest::BareSite {
  public:
    plat::HRESULT Invoke(plat::DISPID id, plat::REFIID, plat::LCID, uint16_t, plat::DISPPARAMS*,
                         plat::VARIANT* result, plat::EXCEPINFO*, uint32_t*) override {
        if (id != plat::DISPID_AMBIENT_USERMODE) return plat::DISP_E_MEMBERNOTFOUND;
        ++asked;
        if (result) *result = Variant::boolean(run).detach();
        return plat::S_OK;
    }
    bool run{false};
    int asked{0};
};

// The run mode follows the site the control has and what its container
// announces, whatever way the container announces it.
TEST_F(Control, RunModeFollowsTheSiteAndItsAnnouncements) {
    plat::ComPtr<plat::IOleObject> ole;
    plat::ComPtr<plat::IOleControl> ambients;
    ASSERT_EQ(ctl.query(plat::IOleObject::kIID, ole), plat::S_OK);
    ASSERT_EQ(ctl.query(plat::IOleControl::kIID, ambients), plat::S_OK);
    // FontBold cannot be read at design time.
    EXPECT_EQ(get_error("FontBold"), 0);
    ModeSite site;
    ASSERT_EQ(ole->SetClientSite(&site), plat::S_OK);
    EXPECT_EQ(get_error("FontBold"), 394);

    site.run = true;
    ASSERT_EQ(ambients->OnAmbientPropertyChange(plat::DISPID_AMBIENT_USERMODE), plat::S_OK);
    EXPECT_EQ(get_error("FontBold"), 0);
    site.run = false;
    ASSERT_EQ(ambients->OnAmbientPropertyChange(plat::DISPID_UNKNOWN_AMBIENTS), plat::S_OK);
    EXPECT_EQ(get_error("FontBold"), 394);

    // Without a site the control is in run mode; a site set again is asked again.
    ASSERT_EQ(ole->SetClientSite(nullptr), plat::S_OK);
    EXPECT_EQ(get_error("FontBold"), 0);
    site.asked = 0;
    ASSERT_EQ(ole->SetClientSite(&site), plat::S_OK);
    EXPECT_EQ(get_error("FontBold"), 394);
    EXPECT_EQ(get_error("FontBold"), 394);
    EXPECT_EQ(site.asked, 1) << "asked once until it changes, not on every call";
    // The container's own announcement, through its site.
    ASSERT_EQ(ole->SetClientSite(static_cast<plat::IOleClientSite*>(&box)), plat::S_OK);
    box.set_user_mode(false);
    EXPECT_EQ(get_error("FontBold"), 394);
    box.set_user_mode(true);
    EXPECT_EQ(get_error("FontBold"), 0);
}

TEST_F(Control, NewControlShowsTheDefaults) {
    struct Case {
        const char* name;
        int32_t value;
    };
    const Case numbers[] = {
        {"BackColor", int32_t(0x80000005)},
        {"ForeColor", int32_t(0x80000008)},
        {"SelBackColor", int32_t(0x8000000D)},
        {"ToolTipsBackColor", int32_t(0x80000018)},
        {"GradientColorTo", 0xFF0000},
        {"DefItemCellBackColor", 0x2C0C0C0},
        {"AutoExpand", 1},
        {"AutoScrDuringDragDrop", 3},
        {"Scrollbars", 3},
        {"ViewStyleEx", 1},
        {"InvBorderStyle", 1},
        {"ItemImageDefWidth", 15},
        {"ShiftStep", 20},
        {"WidthOfText", -1},
        {"ColDelimiter", 9},
        {"DefPictureAlignment", 5},
        {"DefTextAlignment", 2},
        {"BorderStyle", 1},
        {"Appearance", 1},
        {"CurrentIndexMethod", 0},
    };
    for (const Case& c : numbers)
        EXPECT_EQ(num(c.name), c.value) << c.name;
    for (const char* on : {"ExpandChildren", "ExpandNewItem", "ShowChildren", "NoPictureRoot",
                           "DrawFocusRect", "ConvertTabsToCols", "Redraw"})
        EXPECT_TRUE(get(on).to_bool()) << on;
    for (const char* off :
         {"FixedSize", "MSOutlineAdd", "ShowHiddenItems", "TransparentBitmap", "DefMultiLine"})
        EXPECT_FALSE(get(off).to_bool()) << off;
    EXPECT_EQ(text("PathSeparator"), "\\");
    EXPECT_EQ(text("Caption"), "");
    EXPECT_EQ(num("hWnd"), 0);
    EXPECT_FALSE(dirty());
}

// ---- families ----

TEST_F(Control, FamiliesCheckStoreAndMarkOnlyRealChanges) {
    struct Case {
        const char* name;
        Variant good;
        Variant bad; // empty: the family takes every value
        uint16_t error;
    };
    // A real change of any of them marks the control; an equal value does not.
    const Case cases[] = {
        {"ViewStyle", I2(5), I2(6), 380},
        {"MousePointer", I2(16), I2(17), 380},
        {"TriggerEvents", I2(3), I2(4), 380},
        {"MultiSelect", I2(2), I2(-1), 380},
        {"ShowCaption", I2(2), I2(3), 380},
        {"BackPictureAlignment", I2(11), I2(12), 380},
        {"GradientStyle", I2(4), I2(5), 380},
        {"DragIconStyle", I2(2), I2(3), 380},
        {"Environment", I2(1), I2(2), 380},
        {"ToolTipsDelay", I4(5), I4(-1), 380},
        {"DefItemCellBorderStyle", I2(4), I2(5), 380},
        {"DefPictureAlignment", I2(12), I2(13), 380},
        {"DefItemCellAlignment", I2(3), I2(4), 380},
        {"DefItemCellTextAlignment", I2(9), I2(10), 380},
        {"DefItemCellBorderColor", I4(0x123456), Variant(), 0},
        {"BorderStyle", I2(4), I2(5), 380},
        {"Appearance", I2(0), I2(2), 380},
        {"ForeColor", I4(0x123456), Variant(), 0},
        {"GradientColorFrom", I4(0x123456), Variant(), 0},
        {"TransparentBitmapColor", I4(0x123456), Variant(), 0},
        {"ImageStretch", Variant::boolean(true), Variant(), 0},
        {"TransparentBackground", Variant::boolean(true), Variant(), 0},
        {"ConvertTabsToCols", Variant::boolean(false), Variant(), 0},
        {"ColDelimiter", I2(44), Variant(), 0},
        {"Caption", Text("Products"), Variant(), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clean();
        const Variant before = get(c.name);
        put(c.name, before);
        EXPECT_FALSE(dirty()) << "an equal value marks the control";
        if (!c.bad.is_empty()) {
            EXPECT_EQ(put_error(c.name, c.bad), c.error);
            EXPECT_EQ(get(c.name).to_i4(), before.to_i4()) << "a refused value was stored";
            EXPECT_FALSE(dirty());
        }
        put(c.name, c.good);
        EXPECT_EQ(get(c.name).to_utf8(), c.good.to_utf8());
        EXPECT_TRUE(dirty()) << "a real change left the control clean";
    }
}

TEST_F(Control, SizesFollowTheContainersUnits) {
    // Pixels.
    put("ShiftStep", Variant(32767.0f));
    EXPECT_EQ(put_error("ShiftStep", Variant(32768.0f)), 20109);
    EXPECT_EQ(put_error("ShiftStep", Variant(-1.0f)), 380);
    EXPECT_EQ(put_error("ShiftStep", Variant(std::nanf(""))), 380);
    EXPECT_EQ(put_error("TabStopDistance", Variant(32000.0f)), 380);
    EXPECT_EQ(get("ShiftStep").to_r8(), 32767.0);
    put("WidthOfText", Variant(-1.0f));
    EXPECT_EQ(get("WidthOfText").to_r8(), -1.0);

    // Twips: 1440 twips are 96 pixels.
    box.set_scale_units("Twips");
    put("ItemImageDefWidth", Variant(1440.0f));
    EXPECT_EQ(get("ItemImageDefWidth").to_r8(), 1440.0);
    put("WidthOfText", Variant(-1.0f));
    EXPECT_EQ(get("WidthOfText").to_r8(), -1.0);
    // The sentinels keep their meaning in any unit: -2 twips would be no -2.
    for (const auto& [name, value] : {std::pair{"WidthOfText", -2.0f}, std::pair{"WidthOfText", -1.0f},
                                      std::pair{"WidthOfTextMin", -1.0f}}) {
        put(name, Variant(value));
        EXPECT_EQ(get(name).to_r8(), value) << name;
    }
    box.set_scale_units("");
    EXPECT_EQ(get("ItemImageDefWidth").to_r8(), 96.0);
    EXPECT_EQ(put_error("ShiftStep", Variant(1e30f)), 20109);
    for (float bad : {std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()})
        for (const char* name : {"ShiftStep", "WidthOfText", "XOffset"})
            EXPECT_EQ(put_error(name, Variant(bad)), 380) << name << " " << bad;

    // Points through the container's transform: 72 points are 96 pixels.
    box.set_scale_units("User");
    box.set_points(true);
    put("MarkHeight", Variant(72.0f));
    box.set_scale_units("pixel");
    EXPECT_EQ(get("MarkHeight").to_r8(), 96.0);
    box.set_scale_units("Points");
    EXPECT_NEAR(get("MarkHeight").to_r8(), 72.0, 0.01);
}

// ---- items ----

TEST_F(Control, IndexesUnderTheThreeMethods) {
    // a (a1 (a11), a2), b
    call("AddItem", {Text("a")});
    call("AddItem", {Text("a1"), I4(0)});
    call("AddItem", {Text("a11"), I4(1)});
    call("AddItem", {Text("a2"), I4(0)});
    call("AddItem", {Text("b")});
    EXPECT_EQ(num("ListCount"), 5);
    EXPECT_EQ(num("NewIndex"), 4);
    EXPECT_EQ(text("List", {I4(2)}), "a11");
    EXPECT_EQ(text("List", {I4(-3)}), "b");
    EXPECT_EQ(num("ItemParent", {I4(2)}), 1);
    EXPECT_EQ(num("ItemParent", {I4(-1)}), -1);
    EXPECT_EQ(num("ItemPrevSibling", {I4(0)}), -4096);
    EXPECT_EQ(num("ItemNextSibling", {I4(1)}), 3);
    EXPECT_EQ(num("Shift", {I4(2)}), 2);
    EXPECT_EQ(text("FullPath", {I4(2)}), "\\a\\a1\\a11");
    EXPECT_EQ(num("ItemLastSubItemIndex", {I4(0)}), 3);
    EXPECT_EQ(get_error("List", {I4(5)}), 381);
    EXPECT_EQ(get_error("List", {I4(-4)}), 381);

    // Method 2 walks one level below the current parent.
    put("CurrentIndexMethod", I2(2));
    put("CurrentParent", Text("a"));
    EXPECT_EQ(text("CurrentParent"), "\\a");
    EXPECT_EQ(num("ListCount"), 2);
    EXPECT_EQ(text("List", {I4(1)}), "a2");
    EXPECT_EQ(get_error("List", {I4(2)}), 381);
    EXPECT_EQ(text("List", {I4(-2)}), "a");
    put("CurrentParent", I4(-1));
    EXPECT_EQ(num("ListCount"), 2); // a and b

    // Conversion between methods leaves the method and the parent alone.
    put("CurrentIndexMethod", I2(0));
    EXPECT_EQ(call("TranslateIndex", {I2(0), I2(2), I4(2)}).to_i4(), 0);
    EXPECT_EQ(call("TranslateIndex", {I2(0), I2(3), I4(2)}).to_i4(), -1);
    EXPECT_EQ(num("CurrentIndexMethod"), 0);
    put("CoerceIndex", I4(3), {I2(0)});
    EXPECT_EQ(num("CoerceIndex", {I2(2)}), 1);
    call("RemoveItem", {I4(3)});
    EXPECT_EQ(num("CoerceIndex", {I2(0)}), -1);

    // Clear under method 2 takes only the current parent's children.
    put("CurrentIndexMethod", I2(2));
    put("CurrentParent", Text("a"));
    call("Clear");
    put("CurrentIndexMethod", I2(0));
    EXPECT_EQ(num("ListCount"), 2);
}

// Conversions between the index methods borrow the current parent and give
// it back; child counts and levels follow the tree.
TEST_F(Control, ConversionsKeepTheCurrentParent) {
    call("AddItem", {Text("a")});
    call("AddItem", {Text("a1"), I4(0)});
    call("AddItem", {Text("a2"), I4(0)});
    call("AddItem", {Text("b")});
    EXPECT_EQ(num("ListCountEx", {I4(0)}), 2);
    EXPECT_EQ(num("ListCountEx", {I4(3)}), 0);
    EXPECT_EQ(num("ListCountEx", {I4(-1)}), 4);
    EXPECT_EQ(put_error("ExpandToLevel", I4(-1)), 381);
    put("ExpandToLevel", I4(0));

    put("CurrentIndexMethod", I2(2));
    put("CurrentParent", Text("a"));
    EXPECT_EQ(call("TranslateIndex", {I2(0), I2(2), I4(3)}).to_i4(), 1); // b among the top level
    EXPECT_EQ(call("TranslateIndex", {I2(2), I2(0), I4(1)}).to_i4(), 2); // a2 in the whole tree
    put("CoerceIndex", I4(3), {I2(0)});
    EXPECT_EQ(num("CoerceIndex", {I2(2)}), 1);
    EXPECT_EQ(text("CurrentParent"), "\\a");
    EXPECT_EQ(num("CurrentIndexMethod"), 2);
    EXPECT_EQ(num("ListCount"), 2);
    EXPECT_EQ(text("List", {I4(0)}), "a1");
}

// The value members keep the nested sets to themselves; the tree column's
// value is the item's text and leaves the item's look alone.
TEST_F(Control, ValuesKeepOffTheNestedSetsAndTheTreeColumnIsTheText) {
    call("AddItem", {Text("a")});
    put("ItemBackColor", I4(0x42), {I4(0)});
    put("ItemFontBold", Variant::boolean(true), {I4(0)});
    Variant all = get("ItemValues", {I4(0)});
    for (const char* nested : {"__InnerTree", "__ItemGridRowDef", "__TreeGridRowDef"}) {
        Variant v = get("Item", {Text(nested)}, all.pdispVal);
        plat::CallError e;
        EXPECT_NE(plat::dispatch_put(v.pdispVal, "Value", I4(1), {}, &e), plat::S_OK) << nested;
        EXPECT_EQ(e.number, 380) << nested;
    }
    for (const char* key : {"__Tree", "__ItemTreeColumn"}) {
        SCOPED_TRACE(key);
        const std::string name = std::string("by ") + key;
        put("Value", Text(name), {}, get("Item", {Text(key)}, all.pdispVal).pdispVal);
        EXPECT_EQ(text("List", {I4(0)}), name);
        // Read back, it is a passing entry holding the text.
        EXPECT_EQ(get("Value", {}, get("Item", {Text(key)}, all.pdispVal).pdispVal).to_utf8(), name);
        EXPECT_EQ(num("ItemBackColor", {I4(0)}), 0x42);
        EXPECT_TRUE(get("ItemFontBold", {I4(0)}).to_bool());
    }
}

TEST_F(Control, AddItemPathsAndLevels) {
    call("AddItem", {Text("x")});
    call("AddItem", {Text("y"), I4(0)}); // child of x
    EXPECT_EQ(num("Shift", {I4(1)}), 1);
    EXPECT_EQ(call_error("AddItem", {Text("z"), Text("0")}), 20113);

    // MSOutlineAdd with an index inserts before the item; at ListCount appends.
    put("MSOutlineAdd", Variant::boolean(true));
    call("AddItem", {Text("w"), I4(0)});
    EXPECT_EQ(text("List", {I4(0)}), "w");
    call("AddItem", {Text("end"), I4(num("ListCount"))});
    EXPECT_EQ(text("List", {I4(-3)}), "end");

    // Sorted children take their places.
    put("MSOutlineAdd", Variant::boolean(false));
    put("ItemSorted", I2(1), {I4(1)}); // x's children ascending
    EXPECT_EQ(put_error("ItemSorted", I2(5), {I4(1)}), 380);
    call("AddItem", {Text("b"), I4(1)});
    call("AddItem", {Text("a"), I4(1)});
    EXPECT_EQ(text("List", {I4(2)}), "a");

    // Levels: one deeper under the previous sibling, never two.
    EXPECT_EQ(put_error("Shift", I2(2), {I4(0)}), 20101);
    EXPECT_EQ(put_error("Shift", I2(1), {I4(0)}), 20101); // no previous sibling
}

TEST_F(Control, RowsCountChildrenAddedUnderOpenItems) {
    // New items start open: a first child joins the rows at once.
    put("CurrentIndexMethod", I2(1));
    call("AddItem", {Text("g1")});
    EXPECT_EQ(num("ListCount"), 1);
    call("AddItem", {Text("a"), I4(0)});
    call("AddItem", {Text("g2")});
    EXPECT_EQ(num("ListCount"), 3);
    call("AddItem", {Text("b"), I4(2)});
    EXPECT_EQ(num("ListCount"), 4);
    EXPECT_EQ(text("List", {I4(3)}), "b");
    EXPECT_TRUE(get("IsItemVisible", {I4(3)}).to_bool());
}

TEST_F(Control, FastAddItemOptions) {
    EXPECT_EQ(call("FastAddItem", {I2(0), Text("a"), I4(0)}).to_i4(), 0);
    EXPECT_EQ(call("FastAddItem", {I2(1), Text("a1"), I4(0x2000)}).to_i4(), 0);
    EXPECT_EQ(call("FastAddItem", {I2(3), Text("no"), I4(0)}).to_i4(), 20101);
    EXPECT_EQ(call("FastAddItem", {I2(-1), Text("no"), I4(0)}).to_i4(), 20101);
    EXPECT_EQ(call("FastAddItem", {I2(2), Text("a11"), I4(0)}).to_i4(), 0);
    EXPECT_EQ(call("FastAddItem", {I2(0), Text("b"), I4(0)}).to_i4(), 0);
    EXPECT_EQ(num("ListCount"), 4);
    EXPECT_FALSE(get("Expand", {I4(1)}).to_bool());
    EXPECT_TRUE(get("Expand", {I4(0)}).to_bool());
    // The last item in tree order under every method.
    put("CurrentIndexMethod", I2(2));
    EXPECT_EQ(call("FastAddItem", {I2(1), Text("b1"), I4(0)}).to_i4(), 0);
    put("CurrentIndexMethod", I2(0));
    EXPECT_EQ(text("List", {I4(4)}), "b1");
    EXPECT_EQ(call("FastAddItemEx", {I2(9), Text("no"), I4(0x3), Text(""), I2(0), I4(1), I4(2)}).to_i4(),
              20101);
    EXPECT_EQ(call("FastAddItemEx", {I2(1), Text("c"), I4(0x3), Text(""), I2(0), I4(0x11), I4(0x22)}).to_i4(),
              0);
    EXPECT_EQ(num("ItemBackColor", {I4(5)}), 0x11);
    EXPECT_EQ(num("ItemForeColor", {I4(5)}), 0x22);
    EXPECT_EQ(num("ItemBackColor", {I4(0)}), 0xFFFFFF);    // none of its own
    EXPECT_EQ(get("ItemFontSize", {I4(5)}).to_r8(), -1.0); // no font: colours only

    // Font option bits: on bits 0x10..0x80, off bits 0x100..0x800, the on bit winning.
    struct Case {
        int32_t options;
        bool has_font, bold, italic;
    };
    const Case cases[] = {
        {0x22, true, true, false},  {0x220, true, true, false}, {0x200, true, false, false},
        {0x110, true, false, true}, {0x0, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        ASSERT_EQ(
            call("FastAddItemEx", {I2(0), Text("f"), I4(c.options), Text("Serif"), I2(12), I4(0), I4(0)})
                .to_i4(),
            0);
        const int32_t item = num("NewIndex");
        EXPECT_EQ(get("ItemFontBold", {I4(item)}).to_bool(), c.bold);
        EXPECT_EQ(get("ItemFontItalic", {I4(item)}).to_bool(), c.italic);
        EXPECT_EQ(get("ItemFontSize", {I4(item)}).to_r8() > 0, c.has_font);
    }
    ASSERT_EQ(call("FastAddItemEx", {I2(0), Text("g"), I4(0xC), Text("Serif"), I2(12), I4(0), I4(0)}).to_i4(),
              0);
    EXPECT_EQ(text("ItemFontName", {I4(-3)}), "Serif");
    EXPECT_EQ(get("ItemFontSize", {I4(-3)}).to_r8(), 12.0);
    put("ItemFontUnder", Variant::boolean(true), {I4(-3)});
    EXPECT_TRUE(get("ItemFontUnder", {I4(-3)}).to_bool());
    EXPECT_EQ(text("ItemFontName", {I4(-3)}), "Serif");
    EXPECT_EQ(put_error("ItemFontBold", Variant::boolean(true), {I4(99)}), 381);
    EXPECT_FALSE(get("ItemFontBold", {I4(99)}).to_bool());
}

TEST_F(Control, FindForwardsAndBackwards) {
    for (const char* t : {"apple", "Banana", "apple", "cherry"})
        call("AddItem", {Text(t)});
    EXPECT_EQ(call("FindItem", {Text("apple"), I2(0), I4(0), I4(3)}).to_i4(), 0);
    EXPECT_EQ(call("FindItem", {Text("apple"), I2(0), I4(1), I4(3)}).to_i4(), 2);
    EXPECT_EQ(call("FindItem", {Text("apple"), I2(0x100), I4(3), I4(0)}).to_i4(), 2);
    EXPECT_EQ(call("FindItem", {Text("apple"), I2(0x100), I4(1), I4(0)}).to_i4(), 0);
    EXPECT_EQ(call("FindItem", {Text("banana"), I2(0), I4(0), I4(99)}).to_i4(), -1);
    EXPECT_EQ(call("FindItem", {Text("banana"), I2(1), I4(0), I4(99)}).to_i4(), 1);
    EXPECT_EQ(call("FindItem", {Text("apple"), I2(0), I4(3), I4(0)}).to_i4(), -1);
    put("ListIndex", I4(2));
    EXPECT_EQ(call("FindItem", {Text("apple"), I2(0x200), I4(0), I4(3)}).to_i4(), 2);
    put("ItemLngValue", I4(7), {I4(3)});
    EXPECT_EQ(call("FindValue", {I4(7), I2(0), I4(0), I4(3), Text("__ObsoleteValue")}).to_i4(), 3);
}

TEST_F(Control, RedrawNestsAndRefreshEndsIt) {
    put("Redraw", Variant::boolean(false));
    put("Redraw", Variant::boolean(false));
    put("Redraw", Variant::boolean(true));
    EXPECT_FALSE(get("Redraw").to_bool());
    call("Refresh");
    EXPECT_TRUE(get("Redraw").to_bool());
    put("Redraw", Variant::boolean(true)); // never below zero
    put("Redraw", Variant::boolean(false));
    EXPECT_FALSE(get("Redraw").to_bool());
    // A failed call releases drawing.
    EXPECT_EQ(get_error("List", {I4(9)}), 381);
    EXPECT_TRUE(get("Redraw").to_bool());
}

TEST_F(Control, MembersThatNeedAWindow) {
    call("AddItem", {Text("a")});
    for (const char* name : {"ScrollHorz", "BottomIndex", "TopIndex"})
        EXPECT_EQ(get_error(name), 20117) << name;
    EXPECT_EQ(call_error("GetItemByXY", {I2(0), I2(0), I2(0)}), 20117);
    EXPECT_EQ(call_error("HitTest", {Variant(0.0f), Variant(0.0f), I4(0)}), 20117);
    EXPECT_EQ(call_error("BeforeDrag"), 20117);
    EXPECT_EQ(call_error("OnDragOver", {Variant(0.0f), Variant(0.0f), I2(2)}), 20117);
    EXPECT_EQ(call_error("DropTarget"), 20117);
    EXPECT_EQ(call_error("AboutBox"), 20117);
    EXPECT_EQ(put_error("ItemEditText", I2(0), {I4(0)}), 20117);
    EXPECT_EQ(call("OnDragDrop", {Variant(0.0f), Variant(0.0f)}).to_i4(), 20117);
    Variant rect;
    EXPECT_EQ(call("GetItemRect", {I4(0), I2(0), Variant::ref(&rect)}).to_i4(), 20117);
    // No desktop to open links in.
    for (const char* web : {"WebGoBack", "WebGoForward"})
        EXPECT_EQ(call(web).to_i4(), 1) << web;
    EXPECT_EQ(call("WebNavigate", {Text("http://127.0.0.1/")}).to_i4(), 1);
}

// ---- files and buffers ----

TEST_F(Control, DocumentSurvivesASaveAndALoadByFileNumber) {
    // The shape of the designer's document: two groups of rows with
    // sub-items, values of several types.
    auto add = [&](const char* text, int32_t index) { call("AddItem", {Text(text), I4(index)}); };
    call("AddItem", {Text("0")});
    for (int i = 21; i <= 33; ++i) {
        add(std::to_string(i).c_str(), 0);
        const int32_t row = num("NewIndex");
        put("ItemStrValue", Text("text " + std::to_string(i)), {I4(row)});
        add("sub", row);
        put("ItemIntValue", I2(i), {I4(-3)});
        add("sub2", row);
        put("ItemSngValue", Variant(i + 0.5f), {I4(-3)});
    }
    call("AddItem", {Text("1")});
    const int32_t second = num("NewIndex");
    // Named fields of every kind the designer writes, keyed "0".."E".
    const auto named = [](int i) {
        return std::vector<std::pair<const char*, Variant>>{{"0", Text("file " + std::to_string(i))},
                                                            {"1", I2(i % 6)},
                                                            {"4", I4(i * 1000)},
                                                            {"B", Variant(i + 0.25f)},
                                                            {"C", Variant::boolean(i % 2)},
                                                            {"D", Variant::from_date(45000.5 + i)}};
    };
    for (int i = 90001; i <= 90004; ++i) {
        add(std::to_string(i).c_str(), second);
        const int32_t action = num("NewIndex");
        put("ItemLngValue", I4(i), {I4(action)});
        for (const auto& [key, value] : named(i))
            put("Value", value, {}, get("ItemValues", {I4(action), Text(key)}).pdispVal);
        add("flag", action);
        put("ItemIntValue", I2(i % 2 ? -1 : 0), {I4(-3)});
    }
    const int32_t count = num("ListCount");

    const auto path = dir.path() / "doc.kld";
    const int16_t out = box.open_file(path, true);
    ASSERT_GT(out, 0);
    put("Save", I2(out), {I4(-1)});
    box.close_file(out);

    auto other = make();
    const int16_t in = box.open_file(path, false);
    put("LoadAndAdd", I2(in), {I4(-1)}, other.get());
    box.close_file(in);

    ASSERT_EQ(get("ListCount", {}, other.get()).to_i4(), count);
    for (int32_t i = 0; i < count; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(get("List", {I4(i)}, other.get()).to_utf8(), text("List", {I4(i)}));
        EXPECT_EQ(get("Shift", {I4(i)}, other.get()).to_i4(), num("Shift", {I4(i)}));
        EXPECT_EQ(get("ItemType", {I4(i)}, other.get()).to_i4(), num("ItemType", {I4(i)}));
        EXPECT_EQ(get("ItemStrValue", {I4(i)}, other.get()).to_utf8(), text("ItemStrValue", {I4(i)}));
        EXPECT_EQ(get("ItemLngValue", {I4(i)}, other.get()).to_i4(), num("ItemLngValue", {I4(i)}));
        EXPECT_EQ(get("ItemSngValue", {I4(i)}, other.get()).to_r8(), get("ItemSngValue", {I4(i)}).to_r8());
    }

    // Walking the loaded tree a level at a time.
    put("CurrentIndexMethod", I2(2), {}, other.get());
    put("CurrentParent", Text("1"), {}, other.get());
    EXPECT_EQ(get("ListCount", {}, other.get()).to_i4(), 4);
    EXPECT_EQ(call("FindItem", {Text("90003"), I2(1), I4(0), I4(3)}, other.get()).to_i4(), 2);
    EXPECT_EQ(get("ItemLngValue", {I4(2)}, other.get()).to_i4(), 90003);
    for (int32_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(90001 + i);
        for (const auto& [key, value] : named(90001 + i)) {
            Variant v = get("Value", {}, get("ItemValues", {I4(i), Text(key)}, other.get()).pdispVal);
            EXPECT_EQ(v.vt, value.vt) << key;
            EXPECT_EQ(v.to_utf8(), value.to_utf8()) << key;
        }
    }
    // A path names the parent a level deeper.
    put("CurrentParent", Text("1\\90003"), {}, other.get());
    EXPECT_EQ(get("ListCount", {}, other.get()).to_i4(), 1);
    EXPECT_EQ(get("List", {I4(0)}, other.get()).to_utf8(), "flag");
    EXPECT_EQ(get("ItemIntValue", {I4(0)}, other.get()).to_i4(), -1);
}

TEST_F(Control, FilesByNumber) {
    // An empty tree saves and loads as nothing.
    const auto empty = dir.path() / "empty.kld";
    int16_t n = box.open_file(empty, true);
    put("Save", I2(n), {I4(-1)});
    box.close_file(n);
    n = box.open_file(empty, false);
    put("LoadAndAdd", I2(n), {I4(-1)});
    box.close_file(n);
    EXPECT_EQ(num("ListCount"), 0);

    // Several saves into one stream opened with File.
    call("AddItem", {Text("a")});
    call("AddItem", {Text("b")});
    const auto many = dir.path() / "many.kld";
    n = box.open_file(many, true);
    put("File", I2(1), {I2(n)});
    put("Save", I2(n), {I4(0)});
    put("Save", I2(n), {I4(1)});
    put("File", I2(2), {I2(n)});
    box.close_file(n);
    EXPECT_EQ(put_error("File", I2(3), {I2(n)}), 380);

    auto other = make();
    n = box.open_file(many, false);
    put("File", I2(0), {I2(n)}, other.get());
    put("LoadAndAdd", I2(n), {I4(-1)}, other.get());
    put("LoadAndAdd", I2(n), {I4(-1)}, other.get());
    put("File", I2(2), {I2(n)}, other.get());
    box.close_file(n);
    ASSERT_EQ(get("ListCount", {}, other.get()).to_i4(), 2);
    EXPECT_EQ(get("List", {I4(1)}, other.get()).to_utf8(), "b");

    // A file that holds no tree.
    const auto junk = dir.path() / "junk.kld";
    std::ofstream(junk) << "not a tree at all, not a tree at all";
    n = box.open_file(junk, false);
    EXPECT_EQ(put_error("LoadAndAdd", I2(n), {I4(-1)}), 20301);
    box.close_file(n);
    EXPECT_EQ(num("ListCount"), 2);
}

TEST_F(Control, BuffersCopyAndPlace) {
    call("AddItem", {Text("a")});
    call("AddItem", {Text("a1"), I4(0)});
    call("AddItem", {Text("b")});
    const int32_t buffer = num("CopyItem", {I4(0)});
    ASSERT_NE(buffer, 0);
    EXPECT_EQ(call("IsValidBuffer", {I4(buffer)}).to_i4(), 1);
    put("Add", I4(buffer), {I4(2)}); // a copy of a under b
    EXPECT_EQ(num("ListCount"), 5);
    EXPECT_EQ(num("NewIndex"), 3); // the copy, not the original
    EXPECT_EQ(text("List", {I4(3)}), "a");
    EXPECT_EQ(num("Shift", {I4(4)}), 2);
    EXPECT_EQ(call("IsValidBuffer", {I4(buffer)}).to_i4(), 1);
    call("FreeBuffer", {I4(buffer)});
    EXPECT_EQ(call("IsValidBuffer", {I4(buffer)}).to_i4(), 0);

    EXPECT_EQ(num("CopyItemSub", {I4(1)}), 0); // no children: nothing
    EXPECT_EQ(put_error("Add", I4(0x7FFF1234), {I4(0)}), 20108);

    // A bookmark copies its item.
    const int32_t bm = num("ItemBM", {I4(1)});
    put("Insert", I4(bm), {I4(0)});
    EXPECT_EQ(text("List", {I4(0)}), "a1");

    // Buffers and bookmarks never share a number, so Add knows which it got.
    const int32_t first_bm = num("ItemBM", {I4(0)});
    const int32_t buffer_b = num("CopyOne", {I4(num("ListCount") - 1)});
    EXPECT_NE(buffer_b, first_bm);
    const int32_t count = num("ListCount");
    put("Add", I4(buffer_b), {I4(-1)});
    EXPECT_EQ(text("List", {I4(count)}), text("List", {I4(count - 1)}));
    call("FreeBuffer", {I4(buffer_b)});
}

// ---- persistence ----

TEST_F(Control, PropertiesAndTreeSurviveEveryPersistedForm) {
    call("AddItem", {Text("top")});
    call("AddItem", {Text("child"), I4(0)});
    put("ItemLngValue", I4(42), {I4(1)});
    put("ViewStyle", I2(3));
    put("ShiftStep", Variant(33.0f));
    put("PathSeparator", Text("/"));
    put("DefItemCellBackColor", I4(0x123456));
    EXPECT_TRUE(dirty());

    auto expect_same = [&](plat::IDispatch* other, const char* form) {
        SCOPED_TRACE(form);
        EXPECT_EQ(get("ViewStyle", {}, other).to_i4(), 3);
        EXPECT_EQ(get("ShiftStep", {}, other).to_r8(), 33.0);
        EXPECT_EQ(get("PathSeparator", {}, other).to_utf8(), "/");
        EXPECT_EQ(get("DefItemCellBackColor", {}, other).to_i4(), 0x123456);
        ASSERT_EQ(get("ListCount", {}, other).to_i4(), 2);
        EXPECT_EQ(get("FullPath", {I4(1)}, other).to_utf8(), "/top/child");
        EXPECT_EQ(get("ItemLngValue", {I4(1)}, other).to_i4(), 42);
    };

    // A stream.
    plat::ComPtr<plat::IPersistStreamInit> ps;
    ASSERT_EQ(ctl.query(plat::IPersistStreamInit::kIID, ps), plat::S_OK);
    auto stream = plat::create_memory_stream();
    ASSERT_EQ(ps->Save(stream.get(), true), plat::S_OK);
    EXPECT_FALSE(dirty());
    {
        auto other = make();
        plat::ComPtr<plat::IPersistStreamInit> load;
        ASSERT_EQ(other.query(plat::IPersistStreamInit::kIID, load), plat::S_OK);
        stream->Seek(0, 0, nullptr);
        ASSERT_EQ(load->Load(stream.get()), plat::S_OK);
        expect_same(other.get(), "stream");
    }
    // A property bag.
    {
        auto bag = plat::PropertyBag::create();
        plat::ComPtr<plat::IPersistPropertyBag> pb;
        ASSERT_EQ(ctl.query(plat::IPersistPropertyBag::kIID, pb), plat::S_OK);
        ASSERT_EQ(pb->Save(bag.get(), true, true), plat::S_OK);
        auto other = make();
        plat::ComPtr<plat::IPersistPropertyBag> load;
        ASSERT_EQ(other.query(plat::IPersistPropertyBag::kIID, load), plat::S_OK);
        ASSERT_EQ(load->Load(bag.get(), nullptr), plat::S_OK);
        expect_same(other.get(), "bag");
    }
    // The control's own data file.
    {
        const std::string path = (dir.path() / "control.dat").string();
        EXPECT_EQ(call("SaveData", {Text(path)}).to_i4(), 0);
        auto other = make();
        EXPECT_EQ(call("LoadData", {Text(path)}, other.get()).to_i4(), 0);
        expect_same(other.get(), "data file");
        EXPECT_NE(call("LoadData", {Text((dir.path() / "missing.dat").string())}, other.get()).to_i4(), 0);
    }
}

// ---- the library's exported buffer functions, through a live control ----

TEST_F(Control, ExportedBufferFunctionsUseTheFirstLiveControlsSite) {
    void* lib = dlopen(KL_VINCA5_PATH, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(lib, nullptr);
    auto save = reinterpret_cast<int16_t (*)(uint32_t, int16_t)>(dlsym(lib, "VincaSaveBuffer"));
    auto load = reinterpret_cast<int16_t (*)(uint32_t*, int16_t)>(dlsym(lib, "VincaLoadBuffer"));
    auto valid = reinterpret_cast<int16_t (*)(uint32_t)>(dlsym(lib, "VincaIsValidBuffer"));
    auto release = reinterpret_cast<int16_t (*)(uint32_t)>(dlsym(lib, "VincaFreeBuffer"));
    ASSERT_TRUE(save && load && valid && release);

    call("AddItem", {Text("a")});
    call("AddItem", {Text("a1"), I4(0)});
    const uint32_t buffer = static_cast<uint32_t>(num("CopyItem", {I4(0)}));
    const auto path = dir.path() / "buffer.kld";
    int16_t n = box.open_file(path, true);
    EXPECT_EQ(save(buffer, n), 0);
    box.close_file(n);

    uint32_t loaded = 0;
    n = box.open_file(path, false);
    EXPECT_EQ(load(&loaded, n), 0);
    box.close_file(n);
    ASSERT_EQ(valid(loaded), 1);
    auto other = make();
    put("Add", I4(static_cast<int32_t>(loaded)), {I4(-1)}, other.get());
    EXPECT_EQ(get("ListCount", {}, other.get()).to_i4(), 2);
    EXPECT_EQ(get("List", {I4(1)}, other.get()).to_utf8(), "a1");
    release(loaded);

    // With every control gone there is no site to lend.
    other.reset();
    ctl.reset();
    box.release_all();
    n = box.open_file(path, false);
    EXPECT_EQ(load(&loaded, n), 20118);
    EXPECT_EQ(save(buffer, n), 20118);
    box.close_file(n);
    release(buffer);
    dlclose(lib);
}

// Positions noted for a quick second lookup never outlive a change that
// moves items.
TEST_F(Control, NewIndexStaysRightWhenAddsLandInTheMiddle) {
    call("AddItem", {Text("a")});
    call("AddItem", {Text("b")});
    EXPECT_EQ(num("NewIndex"), 1);
    call("AddItem", {Text("a1"), I4(0)}); // before b
    EXPECT_EQ(num("NewIndex"), 1);
    EXPECT_EQ(text("List", {I4(2)}), "b");
    call("AddItem", {Text("b1"), I4(2)}); // the new last item
    EXPECT_EQ(num("NewIndex"), 3);
    call("AddItem", {Text("a11"), I4(1)}); // in the middle again
    EXPECT_EQ(num("NewIndex"), 2);
    EXPECT_EQ(text("List", {I4(3)}), "b");
    EXPECT_EQ(text("List", {I4(4)}), "b1");
    call("RemoveItem", {I4(0)});
    EXPECT_EQ(text("List", {I4(0)}), "b");
    EXPECT_EQ(num("ListCount"), 2);
    call("AddItem", {Text("b2"), I4(0)});
    EXPECT_EQ(num("NewIndex"), 2);
    EXPECT_EQ(text("List", {I4(1)}), "b1");
}

TEST_F(Control, TagsSortingKeysAndNamedValues) {
    call("AddItem", {Text("a")});
    call("AddItem", {Text("b")});
    EXPECT_TRUE(get("ItemTag", {I4(0)}).is_empty());
    put("ItemTag", Text("second"), {I4(1)});
    put("ItemTag", I4(5), {I4(0)});
    EXPECT_EQ(text("ItemTag", {I4(1)}), "second");
    EXPECT_EQ(num("ItemTag", {I4(0)}), 5);
    EXPECT_EQ(put_error("ItemTag", I4(1), {I4(7)}), 381);
    // Without a value name FindValue looks at the tag.
    EXPECT_EQ(call("FindValue", {Text("second"), I2(0), I4(0), I4(1)}).to_i4(), 1);

    put("ItemLngValue", I4(3), {I4(0)});
    EXPECT_TRUE(get("ItemHasValue", {I4(0), Text("__ObsoleteValue")}).to_bool());
    EXPECT_FALSE(get("ItemHasValue", {I4(1), Text("__ObsoleteValue")}).to_bool());
    put("ItemHasValue", Variant::boolean(false), {I4(0), Text("__ObsoleteValue")});
    EXPECT_FALSE(get("ItemHasValue", {I4(0), Text("__ObsoleteValue")}).to_bool());
    put("ItemHasValue", Variant::boolean(true), {I4(1), Text("Price")});
    EXPECT_TRUE(get("ItemHasValue", {I4(1), Text("price")}).to_bool());

    // Children sorted by a value of theirs.
    for (int v : {3, 1, 2}) {
        call("AddItem", {Text("c" + std::to_string(v)), I4(0)});
        put("ItemLngValue", I4(v), {I4(-3)});
    }
    put("ItemSortingKey", Text("__ObsoleteValue"), {I4(0), I2(0)});
    put("ItemSorted", I2(2), {I4(0)});
    EXPECT_EQ(text("List", {I4(1)}), "c1");
    EXPECT_EQ(text("List", {I4(3)}), "c3");
}

TEST_F(Control, FontObjectAndFontMembersAgree) {
    put("FontName", Text("Serif"));
    put("FontBold", Variant::boolean(true));
    Variant font = get("Font");
    ASSERT_EQ(font.vt, plat::VT_DISPATCH);
    plat::ComPtr<vinca::IVincaFont> f;
    ASSERT_EQ(font.pdispVal->QueryInterface(vinca::IID_IVincaFont, f.put_void()), plat::S_OK);
    EXPECT_EQ(f->Desc().name, "Serif");
    EXPECT_EQ(f->Desc().weight, 700);

    auto other = make();
    put("Font", font, {}, other.get());
    EXPECT_EQ(get("FontName", {}, other.get()).to_utf8(), "Serif");
    EXPECT_TRUE(get("FontBold", {}, other.get()).to_bool());
    EXPECT_EQ(put_error("Font", I4(3)), 380);
}

TEST_F(Control, ExplorerCompatibleSetsWhatItImplies) {
    put("ExplorerCompatible", I2(2));
    EXPECT_EQ(num("TreeLinesStyle"), 2);
    EXPECT_EQ(num("TreeLinesColor"), 0x808080);
    EXPECT_EQ(num("ToolTipsViewStyle"), 1);
    EXPECT_EQ(num("ShiftStep"), 15);
    EXPECT_EQ(num("ToolTipsDelay"), 0);
    EXPECT_EQ(num("ToolTipsMode"), 0);
    put("ExplorerCompatible", I2(1));
    EXPECT_EQ(num("ToolTipsMode"), 1);
    EXPECT_EQ(put_error("ExplorerCompatible", I2(4)), 380);
    EXPECT_EQ(num("ExplorerCompatible"), 1);
    EXPECT_TRUE(get("Redraw").to_bool());
}

TEST_F(Control, AutoDragModeNeedsAnExtenderThatDrags) {
    put("AutoDragMode", I2(2));
    EXPECT_EQ(num("AutoDragMode"), 2);
    EXPECT_EQ(put_error("AutoDragMode", I2(4)), 380);
    box.set_extender_can_drag(false);
    EXPECT_EQ(put_error("AutoDragMode", I2(1)), 20128);
    EXPECT_EQ(num("AutoDragMode"), 2);
}

TEST_F(Control, ItemAppearanceAndSelectionWithoutMultiSelect) {
    call("AddItem", {Text("a")});
    call("AddItem", {Text("a1"), I4(0)});
    // Multi-line mode: 1 or -1 multi, 2 single, anything else the default.
    struct Case {
        int put, read;
    };
    for (Case c : {Case{1, 1}, Case{-1, 1}, Case{2, 2}, Case{7, 0}, Case{0, 0}}) {
        put("ItemMultiLine", I2(c.put), {I4(0)});
        EXPECT_EQ(num("ItemMultiLine", {I4(0)}), c.read) << c.put;
    }
    put("ItemPMPicType", I2(3), {I4(1)});
    EXPECT_EQ(num("ItemPMPicType", {I4(1)}), 3);
    put("ItemPMPicType", I2(1), {I4(1)});
    EXPECT_EQ(num("ItemPMPicType", {I4(1)}), 1);

    // Marks are bytes; heights are container units kept as twips.
    EXPECT_EQ(put_error("ItemMark", I4(256), {I4(0)}), 381);
    EXPECT_EQ(put_error("ItemMark", I4(-1), {I4(0)}), 381);
    EXPECT_EQ(get("ItemHeight", {I4(0)}).to_r8(), -1.0);
    put("ItemHeight", Variant(20.0f), {I4(0)});
    EXPECT_EQ(get("ItemHeight", {I4(0)}).to_r8(), 20.0);
    box.set_scale_units("Twips");
    EXPECT_EQ(get("ItemHeight", {I4(0)}).to_r8(), 300.0);
    EXPECT_EQ(put_error("ItemHeight", Variant(-2.0f), {I4(0)}), 380);
    EXPECT_EQ(put_error("ItemHeight", Variant(std::nanf("")), {I4(0)}), 380);
    put("ItemHeight", Variant(-1.0f), {I4(0)});
    EXPECT_EQ(get("ItemHeight", {I4(0)}).to_r8(), -1.0);

    // The selection is the current item.
    EXPECT_EQ(get_error("CopySelected"), 20110);
    EXPECT_EQ(num("SelItemCount"), 0);
    put("Selected", Variant::boolean(true), {I4(1)});
    EXPECT_EQ(num("ListIndex"), 1);
    EXPECT_TRUE(get("Selected", {I4(1)}).to_bool());
    EXPECT_EQ(num("SelItemCount"), 1);
    EXPECT_EQ(num("SelItemIndex", {I4(0)}), 1);
    EXPECT_EQ(num("SelItemIndex", {I4(1)}), -1);
    const int32_t buffer = num("CopySelected");
    put("Add", I4(buffer), {I4(-1)});
    call("FreeBuffer", {I4(buffer)});
    EXPECT_EQ(text("List", {I4(2)}), "a1");
    put("Selected", Variant::boolean(false), {I4(1)});
    EXPECT_EQ(num("ListIndex"), -1);
}

TEST_F(Control, PicturesFromFilesKeptAndPersisted) {
    const auto bmp = dir.path() / "a.bmp";
    const auto ico = dir.path() / "a.ico";
    const auto txt = dir.path() / "a.txt";
    std::ofstream(bmp, std::ios::binary) << TinyBmp(0x11);
    std::ofstream(ico, std::ios::binary) << TinyIco();
    std::ofstream(txt) << "no picture here";

    // Without a picture a property answers the empty picture, never Nothing.
    Variant empty = get("PictureRoot");
    ASSERT_EQ(empty.vt, plat::VT_DISPATCH);
    ASSERT_NE(empty.pdispVal, nullptr);
    Variant type;
    ASSERT_EQ(plat::dispatch_get(empty.pdispVal, "Type", type), plat::S_OK);
    EXPECT_EQ(type.to_i4(), 0);

    EXPECT_EQ(call_error("LoadPicture", {Text((dir.path() / "missing.bmp").string())}), 53);
    Variant nothing = call("LoadPicture", {Text("")});
    EXPECT_TRUE(nothing.vt == plat::VT_DISPATCH && nothing.pdispVal == nullptr);
    EXPECT_EQ(call_error("LoadPicture", {Text(txt.string())}), 321);
    Variant picture = call("LoadPicture", {Text(bmp.string())});
    ASSERT_EQ(picture.vt, plat::VT_DISPATCH);
    clean();
    put("PictureRoot", picture);
    EXPECT_TRUE(dirty());
    EXPECT_EQ(get("PictureRoot").pdispVal, picture.pdispVal);
    EXPECT_EQ(put_error("PictureLeaf", I4(5)), 380);
    EXPECT_EQ(put_error("PictureLeaf", Variant(static_cast<plat::IDispatch*>(ctl.get()))), 380);

    // The mouse icon takes icons only.
    EXPECT_EQ(put_error("MouseIcon", picture), 25008);
    put("MouseIcon", call("LoadPicture", {Text(ico.string())}));

    // Pictures go with the persisted properties.
    auto bag = plat::PropertyBag::create();
    plat::ComPtr<plat::IPersistPropertyBag> pb;
    ASSERT_EQ(ctl.query(plat::IPersistPropertyBag::kIID, pb), plat::S_OK);
    ASSERT_EQ(pb->Save(bag.get(), true, true), plat::S_OK);
    auto other = make();
    plat::ComPtr<plat::IPersistPropertyBag> load;
    ASSERT_EQ(other.query(plat::IPersistPropertyBag::kIID, load), plat::S_OK);
    ASSERT_EQ(load->Load(bag.get(), nullptr), plat::S_OK);
    Variant copied = get("PictureRoot", {}, other.get());
    ASSERT_EQ(copied.vt, plat::VT_DISPATCH);
    plat::ComPtr<vinca::IVincaPicture> stored;
    ASSERT_EQ(copied.pdispVal->QueryInterface(vinca::IID_IVincaPicture, stored.put_void()), plat::S_OK);
    EXPECT_EQ(stored->Type(), vinca::PICTYPE_BITMAP);
    EXPECT_EQ(stored->Data(), TinyBmp(0x11));

    // Item pictures, mark pictures and the picture list.
    call("AddItem", {Text("a")});
    put("Image", picture, {I4(0)});
    EXPECT_EQ(get("Image", {I4(0)}).pdispVal, picture.pdispVal);
    EXPECT_NE(get("InvImage", {I4(0)}).pdispVal, nullptr); // the empty picture
    put("ItemPicValue", picture, {I4(0)});
    EXPECT_EQ(get("ItemPicValue", {I4(0)}).pdispVal, picture.pdispVal);
    EXPECT_EQ(num("PictureListCount"), -1);
    put("MarkPicture", picture, {I4(3)});
    EXPECT_EQ(num("PictureListCount"), 4);
    EXPECT_EQ(get("PictureList", {I2(3)}).pdispVal, picture.pdispVal);
    EXPECT_NE(get("PictureList", {I2(4)}).pdispVal, nullptr); // past the end: the empty picture
    EXPECT_EQ(put_error("MarkPicture", picture, {I4(256)}), 381);
    put("MarkTag", Text("done"), {I4(3)});
    EXPECT_EQ(text("MarkTag", {I4(3)}), "done");
    put("PictureListCount", I2(0));
    EXPECT_EQ(num("PictureListCount"), -1);

    // Nothing, or the empty picture, clears a property.
    put("PictureRoot", empty);
    Variant cleared = get("PictureRoot");
    ASSERT_EQ(plat::dispatch_get(cleared.pdispVal, "Type", type), plat::S_OK);
    EXPECT_EQ(type.to_i4(), 0);
}

// ---- item values ----

TEST_F(Control, ItemValuesByNameWithEveryTypeSurviveAFile) {
    call("AddItem", {Text("0")});
    const int32_t p = num("NewIndex");
    const Variant values[] = {Text("Product"),
                              I2(-7),
                              I4(123456),
                              Variant(2.5f),
                              Variant::boolean(true),
                              Variant::from_date(45000.25)};
    const char* keys[] = {"0", "1", "2", "3", "4", "5"};
    for (int k = 0; k < 6; ++k) {
        Variant value = get("ItemValues", {I4(p), Text(keys[k])});
        ASSERT_EQ(value.vt, plat::VT_DISPATCH);
        put("Value", values[k], {}, value.pdispVal);
    }
    Variant all = get("ItemValues", {I4(p)});
    EXPECT_EQ(get("Count", {}, all.pdispVal).to_i4(), 6);

    const auto path = dir.path() / "values.kld";
    int16_t n = box.open_file(path, true);
    put("Save", I2(n), {I4(-1)});
    box.close_file(n);
    auto other = make();
    n = box.open_file(path, false);
    put("LoadAndAdd", I2(n), {I4(-1)}, other.get());
    box.close_file(n);

    for (int k = 0; k < 6; ++k) {
        SCOPED_TRACE(keys[k]);
        Variant value = get("ItemValues", {I4(0), Text(keys[k])}, other.get());
        Variant v = get("Value", {}, value.pdispVal);
        EXPECT_EQ(v.vt, values[k].vt);
        EXPECT_EQ(v.to_utf8(), values[k].to_utf8());
    }
}

TEST_F(Control, ValueObjectsFollowTheirItemAndControl) {
    call("AddItem", {Text("a")});
    call("AddItem", {Text("b")});
    Variant all = get("ItemValues", {I4(1)});
    Variant lower = get("Item", {Text("price")}, all.pdispVal);
    Variant upper = get("Item", {Text("PRICE")}, all.pdispVal);
    EXPECT_TRUE(get("Value", {}, lower.pdispVal).is_empty());
    EXPECT_EQ(get("Count", {}, all.pdispVal).to_i4(), 0); // reading adds nothing
    put("Value", I4(9), {}, upper.pdispVal);
    EXPECT_EQ(get("Value", {}, lower.pdispVal).to_i4(), 9);
    EXPECT_EQ(get("Count", {}, all.pdispVal).to_i4(), 1);
    // Names are shared by the whole process: the first spelling stays.
    EXPECT_TRUE(plat::iequals(get("ValueName", {}, lower.pdispVal).to_utf8(), "price"));
    for (const Variant& key : {Text(""), I4(3), Variant()}) {
        Variant none = get("Item", {key}, all.pdispVal);
        EXPECT_TRUE(none.vt == plat::VT_DISPATCH && !none.pdispVal);
    }
    EXPECT_TRUE(get("ItemValues", {I4(1), I4(5)}).pdispVal == nullptr);
    EXPECT_EQ(get("ItemValues", {I4(1), I4(0)}).vt, plat::VT_DISPATCH);

    // The index follows the item.
    EXPECT_EQ(get("ItemIndex", {}, lower.pdispVal).to_i4(), 1);
    call("RemoveItem", {I4(0)});
    EXPECT_EQ(get("ItemIndex", {}, lower.pdispVal).to_i4(), 0);

    // The nested sets keep their names; the tree column sets the text.
    Variant inner = get("Item", {Text("__InnerTree")}, all.pdispVal);
    plat::CallError e;
    EXPECT_NE(plat::dispatch_put(inner.pdispVal, "Value", I4(1), {}, &e), plat::S_OK);
    EXPECT_EQ(e.number, 380);
    Variant tree = get("Item", {Text("__Tree")}, all.pdispVal);
    put("Value", Text("renamed"), {}, tree.pdispVal);
    EXPECT_EQ(text("List", {I4(0)}), "renamed");

    // Enumerated in list order.
    int seen = 0;
    EXPECT_EQ(plat::dispatch_for_each(all.pdispVal,
                                      [&](const Variant& v) {
                                          EXPECT_TRUE(plat::iequals(
                                              get("ValueName", {}, v.pdispVal).to_utf8(), "price"));
                                          ++seen;
                                          return true;
                                      }),
              plat::S_OK);
    EXPECT_EQ(seen, 1);

    // Nothing removes an entry.
    put("Item", Variant(static_cast<plat::IDispatch*>(nullptr)), {Text("Price")}, all.pdispVal);
    EXPECT_EQ(get("Count", {}, all.pdispVal).to_i4(), 0);

    // The objects keep the control after the container lets it go.
    ctl.reset();
    box.release_all();
    Variant kept;
    EXPECT_EQ(plat::dispatch_get(lower.pdispVal, "Value", kept, {}, &e), plat::S_OK) << e.number;
    EXPECT_EQ(plat::dispatch_get(all.pdispVal, "Count", kept, {}, &e), plat::S_OK) << e.number;
    EXPECT_EQ(kept.to_i4(), 0);
}

TEST_F(Control, LevelDefinitionsMadeOnTheirFirstWrite) {
    const auto bmp = dir.path() / "level.bmp";
    std::ofstream(bmp, std::ios::binary) << TinyBmp(0x33);
    Variant picture = call("LoadPicture", {Text(bmp.string())});
    Variant defs = get("LevelDefs");
    ASSERT_EQ(defs.vt, plat::VT_DISPATCH);
    EXPECT_EQ(get("Count", {}, defs.pdispVal).to_i4(), 0);
    Variant five = get("Item", {I4(5)}, defs.pdispVal);
    EXPECT_EQ(get("Indentation", {}, five.pdispVal).to_i4(), 5);
    EXPECT_NE(get("PictureOpen", {}, five.pdispVal).pdispVal, nullptr); // the empty picture
    EXPECT_EQ(get("Count", {}, defs.pdispVal).to_i4(), 0);              // reading makes nothing
    put("PictureOpen", picture, {}, five.pdispVal);
    EXPECT_EQ(get("Count", {}, defs.pdispVal).to_i4(), 6);
    EXPECT_EQ(get("PictureOpen", {}, five.pdispVal).pdispVal, picture.pdispVal);
    put("PictureOpen", Variant(static_cast<plat::IDispatch*>(nullptr)), {}, five.pdispVal);
    EXPECT_EQ(get("PictureOpen", {}, five.pdispVal).pdispVal, picture.pdispVal); // Nothing keeps it
    Variant none = get("Item", {Text("x")}, defs.pdispVal);
    EXPECT_TRUE(none.vt == plat::VT_DISPATCH && !none.pdispVal);
    // Writes reach levels 0..32767 only, so the padding stays bounded.
    for (int32_t level : {32768, -1, 100000}) {
        Variant far = get("Item", {I4(level)}, defs.pdispVal);
        plat::CallError e;
        EXPECT_NE(plat::dispatch_put(far.pdispVal, "PictureOpen", picture, {}, &e), plat::S_OK) << level;
        EXPECT_EQ(e.number, 381) << level;
    }
    EXPECT_EQ(get("Count", {}, defs.pdispVal).to_i4(), 6);
    int levels = 0;
    plat::dispatch_for_each(defs.pdispVal, [&](const Variant&) { return ++levels, true; });
    EXPECT_EQ(levels, 1); // the padding entries are no levels

    // The levels travel with the tree in the persisted properties.
    call("AddItem", {Text("a")});
    auto bag = plat::PropertyBag::create();
    plat::ComPtr<plat::IPersistPropertyBag> pb;
    ASSERT_EQ(ctl.query(plat::IPersistPropertyBag::kIID, pb), plat::S_OK);
    ASSERT_EQ(pb->Save(bag.get(), true, true), plat::S_OK);
    auto other = make();
    plat::ComPtr<plat::IPersistPropertyBag> load;
    ASSERT_EQ(other.query(plat::IPersistPropertyBag::kIID, load), plat::S_OK);
    ASSERT_EQ(load->Load(bag.get(), nullptr), plat::S_OK);
    Variant loaded = get("LevelDefs", {}, other.get());
    EXPECT_EQ(get("Count", {}, loaded.pdispVal).to_i4(), 6);
}

// Without a window system the library keeps its clipboard in memory.
TEST_F(Control, ClipboardByItemAndByBuffer) {
    call("AddItem", {Text("a")});
    call("AddItem", {Text("a1"), I4(0)});
    call("AddItem", {Text("b")});
    EXPECT_EQ(put_error("Clipboard", I2(5), {I4(0)}), 20113);
    EXPECT_EQ(put_error("Clipboard", I2(-32768), {I4(0)}), 20113); // bit 0x8000
    EXPECT_EQ(put_error("Clipboard", I2(0), {I4(9)}), 381);

    put("Clipboard", I2(0), {I4(0)}); // a with its subtree
    EXPECT_EQ(call("IsClipboardFormatAvailable").to_i4(), 1);
    EXPECT_TRUE(get("IsClipboardAvailable").to_bool());
    put("Clipboard", I2(3), {I4(2)}); // pasted as b's children
    EXPECT_EQ(num("ListCount"), 5);
    EXPECT_EQ(text("FullPath", {I4(4)}), "\\b\\a\\a1");

    // A buffer through the clipboard into a second control.
    Variant pasted = I4(0);
    EXPECT_EQ(call("PasteBuffer", {Variant::ref(&pasted)}).to_i4(), 0);
    ASSERT_NE(pasted.to_i4(), 0);
    auto other = make();
    put("Add", pasted, {I4(-1)}, other.get());
    EXPECT_EQ(get("ListCount", {}, other.get()).to_i4(), 2);
    EXPECT_EQ(call("CopyBuffer", {pasted}).to_i4(), 0);
    call("FreeBuffer", {pasted});
    EXPECT_EQ(call("CopyBuffer", {pasted}).to_i4(), 20108);
}

// Loaded values go through the members' checks: a damaged value is refused
// and the member keeps its default.
TEST_F(Control, LoadedValuesPassTheMembersChecks) {
    auto bag = plat::PropertyBag::create();
    Variant bad_style = I2(9), good_scrollbars = I2(1), separator = Text(".");
    bag->Write(u"ViewStyle", &bad_style);
    bag->Write(u"Scrollbars", &good_scrollbars);
    bag->Write(u"PathSeparator", &separator);
    plat::ComPtr<plat::IPersistPropertyBag> pb;
    ASSERT_EQ(ctl.query(plat::IPersistPropertyBag::kIID, pb), plat::S_OK);
    ASSERT_EQ(pb->Load(bag.get(), nullptr), plat::S_OK);
    EXPECT_EQ(num("ViewStyle"), 0);
    EXPECT_EQ(num("Scrollbars"), 1);
    EXPECT_EQ(text("PathSeparator"), "\\");
    EXPECT_FALSE(dirty());
}

TEST_F(Control, ValueEnumeratorNextSkipAndClone) {
    call("AddItem", {Text("a")});
    for (const char* name : {"x", "y", "z"}) {
        Variant value = get("ItemValues", {I4(0), Text(name)});
        put("Value", Text(name), {}, value.pdispVal);
    }
    Variant all = get("ItemValues", {I4(0)});
    Variant e;
    ASSERT_EQ(plat::dispatch_get(all.pdispVal, plat::DISPID_NEWENUM, e), plat::S_OK);
    plat::ComPtr<plat::IEnumVARIANT> it;
    ASSERT_EQ(e.punkVal->QueryInterface(plat::IEnumVARIANT::kIID, it.put_void()), plat::S_OK);

    plat::VARIANT got[5];
    uint32_t fetched = 0;
    EXPECT_EQ(it->Next(5, got, &fetched), plat::S_FALSE);
    EXPECT_EQ(fetched, 3u);
    for (uint32_t i = 0; i < fetched; ++i)
        plat::VariantClear(&got[i]);
    it->Reset();
    EXPECT_EQ(it->Skip(2), plat::S_OK);
    plat::ComPtr<plat::IEnumVARIANT> clone;
    ASSERT_EQ(it->Clone(clone.put()), plat::S_OK);
    EXPECT_EQ(it->Skip(10), plat::S_FALSE);          // stops at the end
    EXPECT_EQ(it->Skip(0xFFFFFFFFu), plat::S_FALSE); // and never wraps past it
    EXPECT_EQ(it->Next(1, got, &fetched), plat::S_FALSE);
    ASSERT_EQ(clone->Next(1, got, &fetched), plat::S_OK);
    Variant last = Variant::adopt(got[0]);
    EXPECT_TRUE(plat::iequals(get("ValueName", {}, last.pdispVal).to_utf8(), "z"));
}

TEST_F(Control, GridsAreMadeByWritesOnly) {
    call("AddItem", {Text("a")});
    EXPECT_FALSE(get("HasGrid").to_bool());
    EXPECT_FALSE(get("ItemHasGrid", {I4(0)}).to_bool());
    EXPECT_FALSE(get("ItemHasGrid", {I4(0)}).to_bool()); // reading made none
    clean();
    put("HasGrid", Variant::boolean(true));
    EXPECT_TRUE(get("HasGrid").to_bool());
    EXPECT_TRUE(dirty());
    put("Grid", I4(0)); // a number: zero removes the grid
    EXPECT_FALSE(get("HasGrid").to_bool());
    put("ItemGrid", I4(1), {I4(0)});
    EXPECT_TRUE(get("ItemHasGrid", {I4(0)}).to_bool());
    put("ItemHasGrid", Variant::boolean(false), {I4(0)});
    EXPECT_FALSE(get("ItemHasGrid", {I4(0)}).to_bool());
    EXPECT_EQ(put_error("ItemHasGrid", Variant::boolean(true), {I4(9)}), 381);
}

TEST_F(Control, VirtualChildrenRefuseChanges) {
    call("AddItem", {Text("v")});
    put("ItemVirtualParent", Variant::boolean(true), {I4(0)});
    put("ItemVirtualCount", I4(3), {I4(0)});
    EXPECT_TRUE(get("ItemVirtualParent", {I4(0)}).to_bool());
    EXPECT_EQ(num("ItemVirtualCount", {I4(0)}), 3);
    EXPECT_EQ(num("ListCount"), 4);
    EXPECT_EQ(put_error("Shift", I2(0), {I4(1)}), 20119);
    EXPECT_EQ(call_error("RemoveItem", {I4(2)}), 20119);
    EXPECT_EQ(call_error("AddItem", {Text("no"), I4(0)}), 20119);
    // Clear makes the list an ordinary one again.
    call("Clear");
    EXPECT_EQ(num("ListCount"), 0);
}

// Cell definitions of an item's tree cell, of the control's default item
// cell and of a level: the same members, each its own keys and chain.
TEST_F(Control, CellDefinitionsSetUnsetAndInherit) {
    call("AddItem", {Text("a")});
    Variant item = get("ItemCell", {I4(0)});
    Variant def = get("DefItemCellDef");
    Variant level = get("CellDef", {}, get("Item", {I4(1)}, get("LevelDefs").pdispVal).pdispVal);
    const Variant nothing(static_cast<plat::IDispatch*>(nullptr));
    auto obj_put_error = [](const Variant& on, std::string_view name, const Variant& v) {
        plat::CallError e;
        return plat::dispatch_put(on.pdispVal, name, v, {}, &e) == plat::S_OK ? 0 : int(e.number);
    };

    // Ranges are checked on every kind, before anything is stored.
    struct Bound {
        const char* member;
        int bad;
    };
    for (const Variant* on : {&item, &def, &level}) {
        for (const Bound& b :
             {Bound{"PictureAlignment", 13}, Bound{"TextAlignment", 10}, Bound{"MultiLine", 3},
              Bound{"BorderStyle", 5}, Bound{"Alignment", 4}, Bound{"GradientStyle", 5}, Bound{"RTFStyle", 2},
              Bound{"PictureAlignment", -2}})
            EXPECT_EQ(obj_put_error(*on, b.member, I2(b.bad)), 380) << b.member << " " << b.bad;
        EXPECT_EQ(obj_put_error(*on, "PictureHeight", Variant(-0.5f)), 380);
        EXPECT_EQ(obj_put_error(*on, "PictureWidth", Variant(std::nanf(""))), 380);
        EXPECT_EQ(obj_put_error(*on, "Text", Text("x")), 383);
    }
    EXPECT_EQ(num("DefItemCellTextAlignment"), 2); // the bad writes left it

    // The default item cell shares its entries with the control's members.
    put("TextAlignment", I2(7), {}, def.pdispVal);
    EXPECT_EQ(num("DefItemCellTextAlignment"), 7);
    put("DefItemCellBackColor", I4(0x42));
    EXPECT_EQ(get("BackColor", {}, def.pdispVal).to_i4(), 0x42);

    // An item's tree cell inherits from it, attribute by attribute.
    EXPECT_EQ(get("TextAlignment", {}, item.pdispVal).to_i4(), 7);
    EXPECT_EQ(get("BackColor", {}, item.pdispVal).to_i4(), 0x42);
    put("BackColor", I4(-1), {}, item.pdispVal); // -1 is a colour
    EXPECT_EQ(get("BackColor", {}, item.pdispVal).to_i4(), -1);
    EXPECT_EQ(num("ItemBackColor", {I4(0)}), -1); // the same entry as the item member
    put("BackColor", I4(1), {}, item.pdispVal);   // 1 unsets
    EXPECT_EQ(get("BackColor", {}, item.pdispVal).to_i4(), 0x42);
    put("TextAlignment", I2(3), {}, item.pdispVal);
    EXPECT_EQ(get("TextAlignment", {}, item.pdispVal).to_i4(), 3);
    EXPECT_EQ(num("DefItemCellTextAlignment"), 7);
    put("TextAlignment", I2(-1), {}, item.pdispVal);
    EXPECT_EQ(get("TextAlignment", {}, item.pdispVal).to_i4(), 7);
    // Unset multi-line reads 2; 0 unsets.
    EXPECT_EQ(get("MultiLine", {}, item.pdispVal).to_i4(), 2);
    put("MultiLine", I2(1), {}, item.pdispVal);
    EXPECT_EQ(get("MultiLine", {}, item.pdispVal).to_i4(), 1);
    put("MultiLine", I2(0), {}, item.pdispVal);
    EXPECT_EQ(get("MultiLine", {}, item.pdispVal).to_i4(), 2);

    // Tags keep any value; texts unset with a null string.
    put("Tag", Variant(2.5), {}, item.pdispVal);
    EXPECT_EQ(get("Tag", {}, item.pdispVal).vt, plat::VT_R8);
    put("Url", Text("http://127.0.0.1/x"), {}, item.pdispVal);
    EXPECT_EQ(get("Url", {}, item.pdispVal).to_utf8(), "http://127.0.0.1/x");
    EXPECT_EQ(text("ItemUrl", {I4(0)}), "http://127.0.0.1/x");
    Variant null_text;
    null_text.vt = plat::VT_BSTR;
    null_text.bstrVal = nullptr;
    put("Url", null_text, {}, item.pdispVal);
    EXPECT_EQ(get("Url", {}, item.pdispVal).to_utf8(), "");

    // Picture sizes: container units in, HIMETRIC kept; -1 unsets.
    put("PictureHeight", Variant(15.0f), {}, item.pdispVal);                  // 15 pixels
    EXPECT_NEAR(get("PictureHeight", {}, item.pdispVal).to_r8(), 15.0, 0.05); // whole HIMETRIC units
    put("PictureHeight", Variant(-1.0f), {}, item.pdispVal);
    EXPECT_FLOAT_EQ(get("PictureHeight", {}, item.pdispVal).to_r8(), -1.0f); // the control's default

    // A level's definition inherits from the control's properties directly.
    put("ForeColor", I4(0x123456));
    EXPECT_EQ(get("ForeColor", {}, level.pdispVal).to_i4(), 0x123456);
    EXPECT_EQ(get("TextAlignment", {}, level.pdispVal).to_i4(), 7);
    EXPECT_EQ(get("Count", {}, get("LevelDefs").pdispVal).to_i4(), 0); // reads made no level
    clean();
    put("BackColor", I4(0x77), {}, level.pdispVal);
    EXPECT_TRUE(dirty());
    EXPECT_EQ(get("BackColor", {}, level.pdispVal).to_i4(), 0x77);
    EXPECT_EQ(get("Count", {}, get("LevelDefs").pdispVal).to_i4(), 2);
    // Nothing clears the definition; the level's pictures stay.
    const auto bmp = dir.path() / "cell.bmp";
    std::ofstream(bmp, std::ios::binary) << TinyBmp(0x33);
    Variant picture = call("LoadPicture", {Text(bmp.string())});
    Variant one = get("Item", {I4(1)}, get("LevelDefs").pdispVal);
    put("PictureLeaf", picture, {}, one.pdispVal);
    EXPECT_EQ(obj_put_error(one, "CellDef", I4(1)), 380);
    put("CellDef", nothing, {}, one.pdispVal);
    EXPECT_NE(get("BackColor", {}, level.pdispVal).to_i4(), 0x77);
    EXPECT_EQ(get("PictureLeaf", {}, one.pdispVal).pdispVal, picture.pdispVal);

    // The item's tree cell: Nothing clears it.
    put("ForeColor", I4(0x99), {}, item.pdispVal);
    put("ItemCell", nothing, {I4(0)});
    EXPECT_EQ(get("ForeColor", {}, item.pdispVal).to_i4(), 0x123456);
    EXPECT_EQ(put_error("ItemCell", nothing, {I4(5)}), 381);

    // The definitions keep the control after the container lets it go.
    ctl.reset();
    box.release_all();
    plat::CallError e;
    Variant kept;
    EXPECT_EQ(plat::dispatch_get(item.pdispVal, "BackColor", kept, {}, &e), plat::S_OK) << e.number;
    EXPECT_EQ(obj_put_error(def, "BackColor", I4(3)), 0);
}

TEST_F(Control, GridObjectsReadWithoutMakingAndWriteRows) {
    auto obj_error = [](const Variant& on, std::string_view name, const Variant* value,
                        std::vector<Variant> args = {}) {
        plat::CallError e;
        Variant out;
        const plat::HRESULT hr = value ? plat::dispatch_put(on.pdispVal, name, *value, args, &e)
                                       : plat::dispatch_get(on.pdispVal, name, out, args, &e);
        return hr == plat::S_OK ? 0 : int(e.number);
    };
    call("AddItem", {Text("top")});
    Variant grid = get("Grid");
    Variant item_grid = get("ItemGrid", {I4(0)});
    Variant active = get("ActiveGrid");
    // Reads answer the values of no grid and make none.
    for (const Variant* g : {&grid, &item_grid, &active}) {
        EXPECT_EQ(get("Rows", {}, g->pdispVal).to_i4(), -1);
        EXPECT_EQ(get("Cols", {}, g->pdispVal).to_i4(), -1);
        EXPECT_EQ(get("GridLinesStyle", {}, g->pdispVal).to_i4(), 3);
        EXPECT_EQ(get("BackColorBkg", {}, g->pdispVal).to_i4(), 0x808080);
        EXPECT_EQ(get("SortingMethod", {}, g->pdispVal).to_i4(), -1);
        EXPECT_EQ(get("BackColor", {}, get("GridCellDef", {}, g->pdispVal).pdispVal).to_i4(),
                  num("BackColor"));
    }
    EXPECT_FALSE(get("HasGrid").to_bool());
    EXPECT_FALSE(get("ItemHasGrid", {I4(0)}).to_bool());
    const Variant two = I4(2);
    EXPECT_EQ(obj_error(active, "Cols", &two), 20122);
    const Variant one = I4(1);
    EXPECT_EQ(obj_error(grid, "Cols", &one), 380);
    EXPECT_FALSE(get("HasGrid").to_bool());

    // Writes make the grid; its own definitions start with the grid defaults.
    put("Cols", I4(2), {}, grid.pdispVal);
    EXPECT_TRUE(get("HasGrid").to_bool());
    EXPECT_TRUE(get("TreeGrid", {}, grid.pdispVal).to_bool());
    EXPECT_EQ(get("Rows", {}, grid.pdispVal).to_i4(), 2); // the item at the top is row 1
    Variant cell_def = get("GridCellDef", {}, grid.pdispVal);
    put("BackColor", I4(5), {}, cell_def.pdispVal);
    EXPECT_EQ(get("BackColor", {}, cell_def.pdispVal).to_i4(), 5);
    put("BackColor", I4(1), {}, cell_def.pdispVal);
    EXPECT_EQ(get("BackColor", {}, cell_def.pdispVal).to_i4(), num("BackColor"));

    // A row cut at tabs: empty pieces leave their column empty.
    call("AddRow", {Text("a\t\tc")}, grid.pdispVal);
    EXPECT_EQ(get("Rows", {}, grid.pdispVal).to_i4(), 3);
    EXPECT_EQ(get("Cols", {}, grid.pdispVal).to_i4(), 4);
    EXPECT_EQ(text("List", {I4(1)}), "a");
    EXPECT_FALSE(get("HasCell", {I4(2), I4(2)}, grid.pdispVal).to_bool());
    EXPECT_TRUE(get("HasCell", {I4(2), I4(3)}, grid.pdispVal).to_bool());
    Variant c = get("Cells", {I4(2), I4(3)}, grid.pdispVal);
    EXPECT_EQ(get("Value", {}, get("Value", {}, c.pdispVal).pdispVal).to_utf8(), "c");
    EXPECT_EQ(get("Row", {}, c.pdispVal).to_i4(), 2);
    // Positions: 1 inserts before the first data row, past the end appends.
    call("AddRow", {Text("first"), I4(1)}, grid.pdispVal);
    call("AddRow", {Text("last"), I4(99)}, grid.pdispVal);
    EXPECT_EQ(text("List", {I4(0)}), "first");
    EXPECT_EQ(text("List", {I4(3)}), "last");
    EXPECT_EQ(get("RowToItemIndex", {I4(4)}, grid.pdispVal).to_i4(), 3);
    EXPECT_EQ(get("ItemIndexToRow", {I4(0)}, grid.pdispVal).to_i4(), 1);
    // Cells are bounded by the rows and columns.
    const int rows = get("Rows", {}, grid.pdispVal).to_i4();
    EXPECT_EQ(obj_error(grid, "Cells", nullptr, {I4(rows), I4(1)}), 381);
    EXPECT_EQ(obj_error(grid, "Cells", nullptr, {I4(-1), I4(1)}), 381);
    EXPECT_EQ(obj_error(grid, "Cells", nullptr, {I4(1), I4(4)}), 381);
    // RemoveRow -1 takes the last row, 0 does nothing.
    Variant last_cell = get("Cells", {I4(rows - 1), I4(1)}, grid.pdispVal);
    call("RemoveRow", {I4(-1)}, grid.pdispVal);
    call("RemoveRow", {I4(0)}, grid.pdispVal);
    EXPECT_EQ(get("Rows", {}, grid.pdispVal).to_i4(), rows - 1);
    // A cell kept past its row checks it again on every write.
    const Variant nothing_value(static_cast<plat::IDispatch*>(nullptr));
    EXPECT_EQ(obj_error(last_cell, "Value", &nothing_value), 381);
    EXPECT_EQ(obj_error(last_cell, "CellDef", &nothing_value), 381);

    // With a tree grid, AddItem fills the columns after the tree column.
    call("AddItem", {Text("p\tq")});
    const int32_t p = num("NewIndex");
    EXPECT_EQ(text("List", {I4(p)}), "p");
    const int32_t row = get("ItemIndexToRow", {I4(p)}, grid.pdispVal).to_i4();
    EXPECT_EQ(
        get("Value", {}, get("Value", {}, get("Cells", {I4(row), I4(2)}, grid.pdispVal).pdispVal).pdispVal)
            .to_utf8(),
        "q");

    // Sorting: ascending by text, then a column key turns it to values.
    put("SortingMethod", I2(0), {}, grid.pdispVal);
    EXPECT_TRUE(get("Sorted", {}, grid.pdispVal).to_bool());
    EXPECT_EQ(text("List", {I4(0)}), "a");
    put("SortingKey", I4(2), {}, grid.pdispVal);
    EXPECT_EQ(get("SortingMethod", {}, grid.pdispVal).to_i4(), 0);
    EXPECT_EQ(get("SortingKey", {}, grid.pdispVal).to_utf8(), "T2");
    const Variant bad_method = I2(2);
    EXPECT_EQ(obj_error(grid, "SortingMethod", &bad_method), 380);

    // An item grid: rows are the item's children.
    call("AddRow", {Text("x\ty")}, item_grid.pdispVal);
    EXPECT_TRUE(get("ItemHasGrid", {I4(0)}).to_bool());
    EXPECT_FALSE(get("TreeGrid", {}, item_grid.pdispVal).to_bool());
    EXPECT_EQ(get("Rows", {}, item_grid.pdispVal).to_i4(), 2);
    EXPECT_EQ(text("List", {I4(get("RowToItemIndex", {I4(1)}, item_grid.pdispVal).to_i4())}), "x");

    // The grid object keeps the control after the container lets it go.
    ctl.reset();
    box.release_all();
    EXPECT_EQ(obj_error(grid, "Rows", nullptr), 0);
    EXPECT_EQ(obj_error(c, "Value", nullptr), 0);
}

TEST_F(Control, ColumnDefinitionsFollowTheirColumn) {
    auto obj_error = [](const Variant& on, std::string_view name, std::vector<Variant> args = {}) {
        plat::CallError e;
        Variant out;
        return plat::dispatch_call(on.pdispVal, name, args, &out, &e) == plat::S_OK ? 0 : int(e.number);
    };
    Variant grid = get("Grid");
    Variant defs = get("ColDefs", {}, grid.pdispVal);
    EXPECT_EQ(get("Count", {}, defs.pdispVal).to_i4(), 0); // no grid, none made
    EXPECT_FALSE(get("HasGrid").to_bool());
    put("Cols", I4(4), {}, grid.pdispVal);
    EXPECT_EQ(get("Count", {}, defs.pdispVal).to_i4(), 4);
    for (const Variant& bad : {I4(4), I4(-1), Text("1")}) {
        plat::CallError e;
        Variant out;
        EXPECT_NE(plat::dispatch_get(defs.pdispVal, "Item", out, std::vector<Variant>{bad}, &e), plat::S_OK);
        EXPECT_EQ(e.number, 381);
    }

    // Named, then moved twice through the same object: it follows its column.
    Variant col = get("Item", {I4(2)}, defs.pdispVal);
    put("ValueName", Text("size"), {}, col.pdispVal);
    put("ValueName", Text(""), {}, col.pdispVal); // an empty name changes nothing
    EXPECT_EQ(get("ValueName", {}, col.pdispVal).to_utf8(), "size");
    call("MoveTo", {I4(3)}, col.pdispVal);
    EXPECT_EQ(get("Index", {}, col.pdispVal).to_i4(), 3);
    call("MoveTo", {I4(1)}, col.pdispVal);
    EXPECT_EQ(get("Index", {}, col.pdispVal).to_i4(), 1);
    EXPECT_EQ(get("ValueName", {}, get("Item", {I4(1)}, defs.pdispVal).pdispVal).to_utf8(), "size");
    call("MoveTo", {I4(1)}, col.pdispVal); // where it is: nothing happens
    EXPECT_EQ(obj_error(col, "MoveTo", {I4(9)}), 20120);

    // Widths in twips at 96 pixels per inch; a negative width changes nothing.
    put("Width", Variant(1440.0f), {}, col.pdispVal);
    EXPECT_FLOAT_EQ(get("Width", {}, col.pdispVal).to_r8(), 1440.0f);
    put("Width", Variant(-100.0f), {}, col.pdispVal);
    EXPECT_FLOAT_EQ(get("Width", {}, col.pdispVal).to_r8(), 1440.0f);
    // The first column's width is the row titles' width.
    put("Width", Variant(600.0f), {}, get("Item", {I4(0)}, defs.pdispVal).pdispVal);
    EXPECT_FLOAT_EQ(get("RowTitlesWidth", {}, grid.pdispVal).to_r8(), 600.0f);

    // The column's own cell definition, cleared by Nothing.
    Variant cell = get("CellDef", {}, col.pdispVal);
    put("ForeColor", I4(0x10), {}, cell.pdispVal);
    EXPECT_EQ(get("ForeColor", {}, get("CellDef", {}, col.pdispVal).pdispVal).to_i4(), 0x10);
    put("CellDef", Variant(static_cast<plat::IDispatch*>(nullptr)), {}, col.pdispVal);
    EXPECT_EQ(get("ForeColor", {}, cell.pdispVal).to_i4(), num("ForeColor"));

    // Once the column is gone the object answers 20120.
    Variant third = get("Item", {I4(3)}, defs.pdispVal);
    put("Cols", I4(3), {}, grid.pdispVal);
    EXPECT_EQ(get("ValueName", {}, col.pdispVal).to_utf8(), "size"); // still there
    Variant out;
    plat::CallError e;
    EXPECT_NE(plat::dispatch_get(third.pdispVal, "Index", out, {}, &e), plat::S_OK);
    EXPECT_EQ(e.number, 20120);
}

// A font read from a definition writes its changes back into it.
TEST_F(Control, FontOfADefinitionStoresItsChanges) {
    Variant grid = get("Grid");
    put("Cols", I4(3), {}, grid.pdispVal);
    auto font_of = [&] {
        Variant col = get("Item", {I4(1)}, get("ColDefs", {}, grid.pdispVal).pdispVal);
        return get("Font", {}, get("CellDef", {}, col.pdispVal).pdispVal);
    };
    EXPECT_FALSE(get("Bold", {}, font_of().pdispVal).to_bool());
    clean();
    put("Bold", Variant::boolean(true), {}, font_of().pdispVal); // every object a temporary
    EXPECT_TRUE(get("Bold", {}, font_of().pdispVal).to_bool());
    EXPECT_TRUE(dirty());
    put("Size", Variant(14.0), {}, font_of().pdispVal);
    Variant font = font_of();
    EXPECT_DOUBLE_EQ(get("Size", {}, font.pdispVal).to_r8(), 14.0);
    EXPECT_TRUE(get("Bold", {}, font.pdispVal).to_bool());
    // Another column is not touched; a font kept past its control still works.
    Variant other = get("Item", {I4(2)}, get("ColDefs", {}, grid.pdispVal).pdispVal);
    EXPECT_FALSE(
        get("Bold", {}, get("Font", {}, get("CellDef", {}, other.pdispVal).pdispVal).pdispVal).to_bool());
    ctl.reset();
    box.release_all();
    put("Italic", Variant::boolean(true), {}, font.pdispVal);
    EXPECT_TRUE(get("Italic", {}, font.pdispVal).to_bool());
}
