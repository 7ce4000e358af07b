// The control's members as a container meets them: libvinca5.so registered
// in the test's own machine root, the control made by its ProgID (in a host
// widget where a window matters), every call late-bound through IDispatch,
// by name or by number. Nothing of the control's own code is linked here.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <QtCore/QMimeData>
#include <QtGui/QDragMoveEvent>
#include <QtGui/QImage>
#include <QtGui/QMouseEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

#include "platform/com/dispatch_client.h"
#include "platform/com/loader.h"
#include "platform/com/ole.h"
#include "platform/com/persist.h"
#include "platform/com/safearray.h"
#include "platform/forms/control_host.h"
#include "platform/forms/control_site.h"
#include "platform/ui/window_table.h"
#include "support/temp_dir.h"

using plat::Variant;

namespace {

constexpr std::string_view kProgId = "Vinca.Vinca.5";

// Members called by number, as a container bound early would.
constexpr plat::DISPID kFontBold = 2, kFontItalic = 3, kFontName = 4, kFontSize = 5, kFontStrikethru = 6,
                       kFontUnderline = 7, kCurrentItem = 23, kText = 29, kListIndex = 68, kGetItemRect = 83,
                       kDropTarget = 87, kAdd = 90, kCopyOne = 95, kInsert = 105, kItemBM = 108, kSaveOne = 133,
                       kShift = 138, kFullPath = 142, kLoadBuffer = 149, kWebNavigate = 166,
                       kCurrentParent = 213, kFont = -512;

Variant I2(int16_t v) {
    return Variant(v);
}
Variant I4(int32_t v) {
    return Variant(v);
}
Variant Text(std::string_view v) {
    return Variant(v);
}

// Calls on any automation object; a failure is the error number a
// late-bound caller sees, 0 for success.
struct On {
    plat::IDispatch* obj;

    template <class Member> Variant get(Member m, std::vector<Variant> index = {}) const {
        Variant v;
        plat::CallError e;
        EXPECT_EQ(plat::dispatch_get(obj, m, v, index, &e), plat::S_OK) << Name(m) << ": " << e.number;
        return v;
    }
    template <class Member> uint16_t get_error(Member m, std::vector<Variant> index = {}) const {
        Variant v;
        plat::CallError e;
        plat::dispatch_get(obj, m, v, index, &e);
        return e.number;
    }
    template <class Member> uint16_t put(Member m, const Variant& value, std::vector<Variant> index = {}) const {
        plat::CallError e;
        plat::dispatch_put(obj, m, value, index, &e);
        return e.number;
    }
    template <class Member> Variant call(Member m, std::vector<Variant> args = {}) const {
        Variant v;
        plat::CallError e;
        EXPECT_EQ(plat::dispatch_call(obj, m, args, &v, &e), plat::S_OK) << Name(m) << ": " << e.number;
        return v;
    }
    template <class Member> uint16_t call_error(Member m, std::vector<Variant> args = {}) const {
        Variant v;
        plat::CallError e;
        plat::dispatch_call(obj, m, args, &v, &e);
        return e.number;
    }
    std::string text(std::string_view m, std::vector<Variant> index = {}) const {
        return get(m, std::move(index)).to_utf8();
    }
    int32_t num(std::string_view m, std::vector<Variant> index = {}) const {
        return get(m, std::move(index)).to_i4();
    }

    static std::string Name(std::string_view n) { return std::string(n); }
    static std::string Name(plat::DISPID id) { return "#" + std::to_string(id); }
};

On on(const Variant& v) {
    EXPECT_EQ(v.vt, plat::VT_DISPATCH);
    return On{v.pdispVal};
}

// The library's own answer to "may I unload you": S_OK once none of its
// objects lives any more.
plat::HRESULT LibraryCanUnload() {
    void* lib = dlopen(KL_VINCA5_PATH, RTLD_NOW | RTLD_NOLOAD);
    if (!lib) return plat::E_FAIL;
    auto can_unload = reinterpret_cast<plat::HRESULT (*)()>(dlsym(lib, "DllCanUnloadNow"));
    const plat::HRESULT hr = can_unload ? can_unload() : plat::E_FAIL;
    dlclose(lib);
    return hr;
}

class ControlMembers : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(plat::call_library_registration(KL_VINCA5_PATH, false), plat::S_OK);
        host.resize(240, 200);
        host.show();
        plat::HRESULT hr = plat::S_OK;
        ctl = host.create(kProgId, &hr);
        ASSERT_TRUE(ctl) << std::hex << hr;
    }

    // A control without a window, made by ProgID as a container without
    // forms would.
    plat::ComPtr<plat::IDispatch> windowless() {
        plat::CLSID clsid{};
        EXPECT_EQ(plat::clsid_from_prog_id(kProgId, clsid), plat::S_OK);
        plat::ComPtr<plat::IDispatch> made;
        EXPECT_EQ(plat::create_instance(clsid, plat::IID_IDispatch, made.put_void()), plat::S_OK);
        plat::ComPtr<plat::IPersistStreamInit> init;
        if (made && plat::SUCCEEDED(made.query(plat::IPersistStreamInit::kIID, init)) && init) init->InitNew();
        return made;
    }

    // Items from lines of "text" indented by one space per level, added
    // under index method 0 as the designer adds them.
    static void build(const On& c, std::initializer_list<std::string_view> lines) {
        std::vector<int32_t> parents;
        for (std::string_view line : lines) {
            const size_t level = line.find_first_not_of(' ');
            parents.resize(level);
            std::vector<Variant> args{Text(line.substr(level))};
            if (level > 0) args.push_back(I4(parents.back()));
            c.call("AddItem", args);
            parents.push_back(c.num("NewIndex"));
        }
    }
    // The whole tree as "a(a1,a2),b", read item by item in tree order.
    static std::string dump(const On& c) {
        std::string out;
        int32_t open = 0;
        const int32_t n = c.num("ListCount");
        for (int32_t i = 0; i < n; ++i) {
            const int32_t level = c.get(kShift, {I4(i)}).to_i4();
            if (i > 0 && level > open) out += '(';
            for (; open > level; --open)
                out += ')';
            if (i > 0 && level == open && out.back() != '(') out += ',';
            open = level;
            out += c.text("List", {I4(i)});
        }
        for (; open > 0; --open)
            out += ')';
        return out;
    }

    On c() const { return On{ctl.get()}; }
    QWidget* view() { return plat::ui::WindowFromHandle(static_cast<uint32_t>(c().num("hWnd"))); }
    // The middle of an item's row in the view, in the view's pixels.
    QPoint row_middle(int32_t index) {
        plat::SAFEARRAY* psa = plat::SafeArrayCreateVector(plat::VT_I4, 0, 4);
        Variant arg;
        arg.vt = plat::VT_BYREF | plat::VT_ARRAY | plat::VT_I4;
        arg.pparray = &psa;
        Variant status;
        const Variant args[] = {I4(index), I2(1), arg};
        EXPECT_EQ(plat::dispatch_call(ctl.get(), kGetItemRect, args, &status), plat::S_OK);
        EXPECT_EQ(status.to_i4(), 0) << "item " << index;
        const int32_t* r = static_cast<int32_t*>(psa->pvData);
        const QPoint middle((r[0] + r[2]) / 2, (r[1] + r[3]) / 2);
        plat::SafeArrayDestroy(psa);
        return middle;
    }

    plat::forms::ControlHost host;
    plat::ComPtr<plat::IDispatch> ctl;
};

// ---- copies into the copied item's own subtree ----

TEST_F(ControlMembers, CopyIntoItsOwnSubtreeTakesTheSubtreeAsItWasOnce) {
    // Indexes under method 0: a 0, a1 1, a11 2, a2 3, b 4.
    const char* before = "a(a1(a11),a2),b";
    struct Case {
        const char* what;
        plat::DISPID member;
        int32_t target;
        const char* after;
    } cases[] = {
        {"Add under itself", kAdd, 0, "a(a1(a11),a2,a(a1(a11),a2)),b"},
        {"Add under its child", kAdd, 1, "a(a1(a11,a(a1(a11),a2)),a2),b"},
        {"Add under its grandchild", kAdd, 2, "a(a1(a11(a(a1(a11),a2))),a2),b"},
        {"Add at the end of the top list", kAdd, -1, "a(a1(a11),a2),b,a(a1(a11),a2)"},
        {"Insert before its grandchild", kInsert, 2, "a(a1(a(a1(a11),a2),a11),a2),b"},
        {"Insert before itself", kInsert, 0, "a(a1(a11),a2),a(a1(a11),a2),b"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        c().call("Clear");
        build(c(), {"a", " a1", "  a11", " a2", "b"});
        ASSERT_EQ(dump(c()), before);
        const Variant bookmark = c().get(kItemBM, {I4(0)});
        EXPECT_EQ(c().put(k.member, bookmark, {I4(k.target)}), 0);
        EXPECT_EQ(dump(c()), k.after);
        // The source is still where it was, and the control still answers.
        EXPECT_EQ(c().num("IndexByBM", {bookmark}), k.member == kInsert && k.target == 0 ? 4 : 0);
    }
}

TEST_F(ControlMembers, ChainsDoubledByCopyingIntoTheirDeepestItemAndShiftSaturates) {
    // A chain of one item copied under its own deepest item doubles: 16
    // copies make a chain 65536 deep. The control has no window: nothing
    // lays out rows this deep.
    auto plain = windowless();
    ASSERT_TRUE(plain);
    const On w{plain.get()};
    w.call("AddItem", {Text("x")});
    for (int i = 0; i < 16; ++i) {
        const int32_t n = w.num("ListCount");
        ASSERT_EQ(w.put(kAdd, w.get(kItemBM, {I4(0)}), {I4(n - 1)}), 0) << "copy " << i;
        ASSERT_EQ(w.num("ListCount"), 2 * n);
    }
    // Shift is an Integer: deeper levels read as its largest value.
    struct Case {
        int32_t index;
        int32_t shift;
    } cases[] = {{0, 0}, {32766, 32766}, {32767, 32767}, {32768, 32767}, {65535, 32767}};
    for (const Case& k : cases)
        EXPECT_EQ(w.get(kShift, {I4(k.index)}).to_i4(), k.shift) << k.index;
    w.call("Clear");
}

// ---- Text without a current row ----

TEST_F(ControlMembers, TextIsTheCurrentRowsAndWithoutOneReadsEmptyAndRefusesWrites) {
    build(c(), {"a", "b"});
    EXPECT_EQ(c().put(kListIndex, I4(-1)), 0);
    EXPECT_EQ(c().get(kText).to_utf8(), "");
    EXPECT_EQ(c().put(kText, Text("x")), 381);
    EXPECT_EQ(dump(c()), "a,b");

    EXPECT_EQ(c().put(kListIndex, I4(0)), 0);
    EXPECT_EQ(c().get(kText).to_utf8(), "a");
    EXPECT_EQ(c().put(kText, Text("z")), 0);
    EXPECT_EQ(dump(c()), "z,b");
}

// ---- one font object ----

TEST_F(ControlMembers, FontIsOneObjectThatTheFontMembersShare) {
    const Variant font = c().get(kFont);
    const On f = on(font);
    EXPECT_EQ(c().get(kFont).pdispVal, font.pdispVal);

    // Each row: a change through one path, read back through the other.
    struct Case {
        const char* what;
        std::function<uint16_t()> change;
        std::function<Variant()> read;
        Variant expected;
    } cases[] = {
        {"Font.Bold to FontBold", [&] { return f.put("Bold", Variant::boolean(true)); },
         [&] { return c().get(kFontBold); }, Variant::boolean(true)},
        {"FontItalic to the held Font", [&] { return c().put(kFontItalic, Variant::boolean(true)); },
         [&] { return f.get("Italic"); }, Variant::boolean(true)},
        {"FontName to the held Font", [&] { return c().put(kFontName, Text("DejaVu Serif")); },
         [&] { return f.get("Name"); }, Text("DejaVu Serif")},
        {"Font.Size to FontSize", [&] { return f.put("Size", Variant(12.0)); }, [&] { return c().get(kFontSize); },
         Variant(12.0f)},
        {"FontStrikethru to the held Font", [&] { return c().put(kFontStrikethru, Variant::boolean(true)); },
         [&] { return f.get("Strikethrough"); }, Variant::boolean(true)},
        {"Font.Underline to FontUnderline", [&] { return f.put("Underline", Variant::boolean(true)); },
         [&] { return c().get(kFontUnderline); }, Variant::boolean(true)},
        {"FontBold off to a Font read again", [&] { return c().put(kFontBold, Variant::boolean(false)); },
         [&] { return on(c().get(kFont)).get("Bold"); }, Variant::boolean(false)},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        EXPECT_EQ(k.change(), 0);
        EXPECT_EQ(k.read().to_utf8(), k.expected.to_utf8());
    }

    // A size the font refuses changes nothing.
    EXPECT_EQ(c().put(kFontSize, Variant(-5.0f)), 380);
    EXPECT_EQ(f.get("Size").to_r8(), 12.0);

    // Set Font = another font: this control keeps its object and takes the
    // other's fields.
    auto other = windowless();
    const On o{other.get()};
    EXPECT_EQ(o.put("FontName", Text("DejaVu Sans Mono")), 0);
    EXPECT_EQ(o.put("FontSize", Variant(20.0f)), 0);
    EXPECT_EQ(c().put(kFont, o.get(kFont)), 0);
    EXPECT_EQ(c().get(kFont).pdispVal, font.pdispVal);
    EXPECT_EQ(f.text("Name"), "DejaVu Sans Mono");
    EXPECT_EQ(c().get(kFontSize).to_r8(), 20.0);
    EXPECT_FALSE(c().get(kFontItalic).to_bool());
    EXPECT_EQ(c().put(kFont, I4(3)), 380);
}

// ---- objects outlive their container's reference ----

// Runs under the address sanitizer with leak checks: the objects use the
// control after the container let it go, and the last of them takes the
// control with it.
TEST_F(ControlMembers, ObjectsKeepTheControlAliveAfterTheContainerLetsGo) {
    ASSERT_EQ(c().put("HasGrid", I4(1)), 0);
    build(c(), {"a", " a1", "b"});
    const Variant values = c().get("ItemValues", {I4(0)});
    ASSERT_EQ(on(c().get("ItemValues", {I4(0), Text("price")})).put("Value", Text("7")), 0);
    ASSERT_EQ(c().put("ItemHasGrid", I4(1), {I4(0)}), 0);
    const Variant grid = c().get("Grid");
    ASSERT_EQ(on(grid).put("Cols", I4(3)), 0);
    const Variant col_defs = on(grid).get("ColDefs");
    const Variant levels = c().get("LevelDefs");

    struct Held {
        const char* what;
        Variant object;
        const char* member;
        std::string expected;
    };
    std::vector<Held> held = {
        {"Grid", grid, "Rows", "3"},
        {"ItemGrid", c().get("ItemGrid", {I4(0)}), "Rows", "2"},
        {"ActiveGrid", c().get("ActiveGrid"), "TreeGrid", ""},
        {"Grid.Cells", on(grid).get("Cells", {I4(1), I4(1)}), "Row", "1"},
        {"Grid.Cells.Value", on(on(grid).get("Cells", {I4(2), I4(1)})).get("Value"), "Value", "b"},
        {"Grid.ColDefs", col_defs, "Count", std::to_string(on(col_defs).num("Count"))},
        {"Grid.ColDefs.Item", on(col_defs).get("Item", {I4(1)}), "Index", "1"},
        {"Grid.GridCellDef", on(grid).get("GridCellDef"), "BackColor", ""},
        {"Grid.ColTitleCellDef", on(grid).get("ColTitleCellDef"), "BackColor", ""},
        {"Grid.RowTitleCellDef", on(grid).get("RowTitleCellDef"), "BackColor", ""},
        {"ItemCell", c().get("ItemCell", {I4(0)}), "BackColor", ""},
        {"DefItemCellDef", c().get("DefItemCellDef"), "BackColor", ""},
        {"LevelDefs", levels, "Count", ""},
        {"LevelDefs.Item", on(levels).get("Item", {I4(1)}), "Indentation", ""},
        {"ItemValues", values, "Count", ""},
        {"ItemValues value", c().get("ItemValues", {I4(0), Text("price")}), "Value", "7"},
        {"Font", c().get("Font"), "Name", c().text("FontName")},
        {"Report", c().get("Report"), "IsPrinting", ""},
    };
    // What each answers while the control is held; empty expectations take it.
    for (Held& h : held) {
        SCOPED_TRACE(h.what);
        ASSERT_EQ(h.object.vt, plat::VT_DISPATCH);
        const std::string now = on(h.object).get(h.member).to_utf8();
        if (h.expected.empty()) h.expected = now;
        EXPECT_EQ(now, h.expected);
    }

    ctl.reset();
    host.release();
    for (const Held& h : held) {
        SCOPED_TRACE(h.what);
        Variant v;
        plat::CallError e;
        EXPECT_EQ(plat::dispatch_get(h.object.pdispVal, h.member, v, {}, &e), plat::S_OK) << e.number;
        EXPECT_EQ(v.to_utf8(), h.expected);
    }
    // Writes reach the control too.
    EXPECT_EQ(on(grid).put("Cols", I4(5)), 0);
    EXPECT_EQ(on(grid).num("Cols"), 5);
    EXPECT_EQ(on(held[0].object).put("Visible", Variant::boolean(false)), 0);

    // The last object lets the control go.
    EXPECT_NE(LibraryCanUnload(), plat::S_OK);
    held.clear();
    for (const Variant* v : {&grid, &col_defs, &levels, &values})
        const_cast<Variant*>(v)->clear();
    EXPECT_EQ(LibraryCanUnload(), plat::S_OK);
}

// ---- the drop target during a drag ----

TEST_F(ControlMembers, DropTargetIsTheItemADragIsOver) {
    build(c(), {"a", "b", "c"});
    QWidget* v = view();
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(c().call(kDropTarget).to_i4(), -1);

    // A drop of the window system over item 1, then away.
    ASSERT_EQ(c().put("OLEDropMode", I2(1)), 0);
    QMimeData data;
    data.setText("dragged");
    QDragEnterEvent enter(row_middle(1), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(v, &enter);
    EXPECT_EQ(c().call(kDropTarget).to_i4(), 1);
    QDragMoveEvent move(row_middle(2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(v, &move);
    EXPECT_EQ(c().call(kDropTarget).to_i4(), 2);
    QDragLeaveEvent leave;
    QApplication::sendEvent(v, &leave);
    EXPECT_EQ(c().call(kDropTarget).to_i4(), -1);

    // The container's own drag: the pointer over item 0 as OnDragOver comes.
    const QPoint at = row_middle(0);
    QMouseEvent pointer(QEvent::MouseMove, at, v->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(v, &pointer);
    c().call("OnDragOver", {Variant(0.0f), Variant(0.0f), I2(0)});
    EXPECT_EQ(c().call(kDropTarget).to_i4(), 0);
    c().call("OnDragOver", {Variant(0.0f), Variant(0.0f), I2(1)});
    EXPECT_EQ(c().call(kDropTarget).to_i4(), -1);

    // Without a window there is nothing to drop on.
    auto plain = windowless();
    EXPECT_EQ(On{plain.get()}.call_error(kDropTarget), 20117);
}

// ---- the list without sub-items; buffers by value ----

class ControlFiles : public ControlMembers {
  protected:
    int16_t open(const char* name, bool write) {
        const int16_t n = plat::forms::ControlSite::open_file_number(dir / name, write);
        EXPECT_GT(n, 0);
        return n;
    }
    void close(int16_t n) { plat::forms::ControlSite::close_file_number(n); }

    kltest::TempDir dir;
};

TEST_F(ControlFiles, CopyOneAndSaveOneOfTheListTakeItsItemsWithoutSubItems) {
    build(c(), {"a", " a1", "  a11", "b", " b1"});
    auto other = windowless();
    const On o{other.get()};
    struct Case {
        const char* what;
        std::function<void()> move;
        const char* arrived;
    } cases[] = {
        {"CopyOne(-1) then Add(-1)",
         [&] {
             const Variant buffer = c().get(kCopyOne, {I4(-1)});
             ASSERT_NE(buffer.to_i4(), 0);
             EXPECT_EQ(o.put(kAdd, buffer, {I4(-1)}), 0);
             c().call("FreeBuffer", {buffer});
         },
         "a,b"},
        {"CopyItem(-1) keeps them",
         [&] {
             const Variant buffer = c().get("CopyItem", {I4(-1)});
             EXPECT_EQ(o.put(kAdd, buffer, {I4(-1)}), 0);
             c().call("FreeBuffer", {buffer});
         },
         "a(a1(a11)),b(b1)"},
        {"SaveOne(-1) then LoadAndAdd(-1)",
         [&] {
             int16_t n = open("one.bin", true);
             EXPECT_EQ(c().put(kSaveOne, I2(n), {I4(-1)}), 0);
             close(n);
             n = open("one.bin", false);
             EXPECT_EQ(o.put("LoadAndAdd", I2(n), {I4(-1)}), 0);
             close(n);
         },
         "a,b"},
        {"SaveOne of an item is the item alone",
         [&] {
             int16_t n = open("item.bin", true);
             EXPECT_EQ(c().put(kSaveOne, I2(n), {I4(3)}), 0);
             close(n);
             n = open("item.bin", false);
             EXPECT_EQ(o.put("LoadAndAdd", I2(n), {I4(-1)}), 0);
             close(n);
         },
         "b"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        o.call("Clear");
        k.move();
        EXPECT_EQ(dump(o), k.arrived);
    }
}

TEST_F(ControlFiles, LoadBufferIntoAValueRefusesAndFreesTheNewBuffer) {
    build(c(), {"a", " a1"});
    int16_t n = open("tree.bin", true);
    ASSERT_EQ(c().put("Save", I2(n), {I4(-1)}), 0);
    close(n);

    struct Case {
        const char* what;
        bool by_reference;
        int16_t status;
    } cases[] = {{"by value", false, 20113}, {"by reference", true, 0}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        // Buffers are numbered in the order they are made: the one made
        // between two copies is the loaded one.
        const int32_t first = c().get("CopyItem", {I4(0)}).to_i4();
        n = open("tree.bin", false);
        Variant handle = I4(0);
        const Variant arg = k.by_reference ? Variant::ref(&handle) : I4(0);
        EXPECT_EQ(c().call(kLoadBuffer, {arg, I2(n)}).to_i4(), k.status);
        close(n);
        const int32_t last = c().get("CopyItem", {I4(0)}).to_i4();
        ASSERT_EQ(last, first + 2);
        EXPECT_EQ(c().call("IsValidBuffer", {I4(first + 1)}).to_i4() != 0, k.by_reference);
        EXPECT_EQ(handle.to_i4(), k.by_reference ? first + 1 : 0);
        for (int32_t h : {first, first + 1, last})
            c().call("FreeBuffer", {I4(h)});
    }
}

// ---- rows of grids ----

TEST_F(ControlMembers, AddedTextSplitsIntoTheCellsOfTheNewItemsGridRow) {
    struct Case {
        const char* what;
        bool tree_grid;
        bool parent_grid;
        bool index;
        const char* list;  // the new item's text
        const char* cell2; // its cell in column 2 of the grid it is a row of
    } cases[] = {
        {"only the parent has a grid", false, true, true, "x", "y"},
        {"both have one: the parent's row", true, true, true, "x", "y"},
        {"the control has a grid: a row at the top", true, false, false, "x", "y"},
        {"no grid: the text stays whole", false, false, true, "x\ty", nullptr},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        c().call("Clear");
        EXPECT_EQ(c().put("HasGrid", I4(k.tree_grid ? 1 : 0)), 0);
        build(c(), {"p"});
        EXPECT_EQ(c().put("ItemHasGrid", I4(k.parent_grid ? 1 : 0), {I4(0)}), 0);
        std::vector<Variant> args{Text("x\ty")};
        if (k.index) args.push_back(I4(0));
        c().call("AddItem", args);
        const int32_t made = c().num("NewIndex");
        EXPECT_EQ(c().text("List", {I4(made)}), k.list);
        if (!k.cell2) continue;
        const Variant grid = k.parent_grid ? c().get("ItemGrid", {I4(0)}) : c().get("Grid");
        const int32_t row = on(grid).num("ItemIndexToRow", {I4(made)});
        const Variant cell = on(grid).get("Cells", {I4(row), I4(2)});
        EXPECT_EQ(on(on(cell).get("Value")).text("Value"), k.cell2);
    }
}

TEST_F(ControlMembers, TheTreeColumnsCellHoldsTheItemText) {
    ASSERT_EQ(c().put("HasGrid", I4(1)), 0);
    build(c(), {"p", " child"});
    ASSERT_EQ(c().put("ItemHasGrid", I4(1), {I4(0)}), 0);
    struct Case {
        const char* what;
        Variant grid;
        int32_t row;
        const char* text;
    } cases[] = {
        {"the tree grid", c().get("Grid"), 1, "p"},
        {"an item grid", c().get("ItemGrid", {I4(0)}), 1, "child"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        ASSERT_EQ(on(k.grid).put("Cols", I4(2)), 0);
        const Variant value = on(on(k.grid).get("Cells", {I4(k.row), I4(1)})).get("Value");
        const Variant read = on(value).get("Value");
        EXPECT_EQ(read.vt, plat::VT_BSTR);
        EXPECT_EQ(read.to_utf8(), k.text);
        // Written, it is the item's text.
        EXPECT_EQ(on(value).put("Value", Text("renamed")), 0);
        EXPECT_EQ(on(value).text("Value"), "renamed");
    }
    EXPECT_EQ(dump(c()), "renamed(renamed)");
}

// ---- smaller members ----

TEST_F(ControlMembers, WebNavigateWithoutABrowserAnswersOne) {
    // The offscreen desktop opens no URL: there is no browser to reach.
    EXPECT_EQ(c().call(kWebNavigate, {Text("http://example.test/")}).to_i4(), 1);
    EXPECT_EQ(c().call(kWebNavigate, {Text("javascript:alert(1)")}).to_i4(), 2);
    EXPECT_EQ(c().call("WebGoBack").to_i4(), 0);
}

TEST_F(ControlMembers, PathsStartWithTheSeparator) {
    build(c(), {"a", " a1", "  a11", "b"});
    EXPECT_EQ(c().get(kFullPath, {I4(2)}).to_utf8(), "\\a\\a1\\a11");
    EXPECT_EQ(c().get(kFullPath, {I4(3)}).to_utf8(), "\\b");
    EXPECT_EQ(c().put(kCurrentParent, Text("a\\a1")), 0);
    EXPECT_EQ(c().get(kCurrentItem).to_utf8(), "\\a\\a1");
    EXPECT_EQ(c().get(kCurrentParent).to_utf8(), "\\a\\a1");
    // What they read finds the item again from anywhere.
    EXPECT_EQ(c().put(kCurrentParent, I4(3)), 0);
    EXPECT_EQ(c().put(kCurrentItem, Text("\\a\\a1")), 0);
    EXPECT_EQ(c().get(kCurrentParent).to_utf8(), "\\a\\a1");
    ASSERT_EQ(c().put("PathSeparator", Text("/")), 0);
    EXPECT_EQ(c().get(kFullPath, {I4(1)}).to_utf8(), "/a/a1");
}

TEST_F(ControlMembers, MarksNeedAnEntryInTheListOfMarkPictures) {
    build(c(), {"a"});
    kltest::TempDir dir;
    const std::string file = (dir / "mark.png").string();
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::blue);
    ASSERT_TRUE(image.save(QString::fromStdString(file)));
    const Variant picture = c().call("LoadPicture", {Text(file)});

    struct Case {
        const char* what;
        std::function<void()> before;
        int32_t mark;
        int32_t reads;
    } cases[] = {
        {"no list: nothing stored", [] {}, 3, 0},
        {"an entry for mark 3", [&] { EXPECT_EQ(c().put("MarkPicture", picture, {I4(3)}), 0); }, 3, 3},
        {"no entry for mark 4", [] {}, 4, 3},
        {"the list emptied", [&] { EXPECT_EQ(c().put("PictureListCount", I2(0)), 0); }, 2, 3},
        {"PictureMark is entry 0", [&] { EXPECT_EQ(c().put("PictureMark", picture), 0); }, 0, 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        k.before();
        EXPECT_EQ(c().put("ItemMark", I4(k.mark), {I4(0)}), 0);
        EXPECT_EQ(c().num("ItemMark", {I4(0)}), k.reads);
    }
}

TEST_F(ControlMembers, DroppedTextReachesCallersAsAutomationText) {
    // An OLE drop's data object, caught in the OLEDragDrop event.
    build(c(), {"a"});
    ASSERT_EQ(c().put("OLEDropMode", I2(1)), 0);
    Variant text;
    host.set_events(plat::make_guid("9D998152-B884-11CE-8D47-444553540000"), {{"OLEDragDrop", 21}});
    host.bind("OLEDragDrop", [&](plat::EventArgs& args) {
        const Variant data = args.value(0);
        ASSERT_EQ(data.vt, plat::VT_DISPATCH);
        plat::dispatch_call(data.pdispVal, "GetData", std::vector<Variant>{I2(1)}, &text);
    });
    QMimeData data;
    data.setText("dragged");
    QWidget* v = view();
    ASSERT_NE(v, nullptr);
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(row_middle(0), actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(v, &enter);
    QDropEvent drop(QPointF(row_middle(0)), actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(v, &drop);
    EXPECT_EQ(text.vt, plat::VT_BSTR);
    EXPECT_EQ(text.to_utf8(), "dragged");
}

} // namespace
