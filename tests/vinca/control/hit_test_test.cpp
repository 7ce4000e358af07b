// Where things are in the control's window, asked through IDispatch of a
// control made by class id in a host widget: hit testing in twips, items
// at pixels, item rectangles, the top and bottom rows, the About box and
// pictures loaded from files. This program never links the model.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtGui/QScreen>
#include <QtGui/QWheelEvent>
#include <QtWidgets/QApplication>

#include "platform/com/dispatch_client.h"
#include "platform/com/inplace.h"
#include "platform/com/loader.h"
#include "platform/com/safearray.h"
#include "platform/forms/control_host.h"
#include "platform/ui/process_prompt.h"
#include "platform/ui/window_table.h"
#include "support/offscreen_gui.h"
#include "support/scripted_prompt.h"
#include "support/temp_dir.h"
#include "tests/vinca/control/hosted_control.h"

using plat::Variant;

namespace {

Variant I2(int16_t v) {
    return Variant(v);
}
Variant I4(int32_t v) {
    return Variant(v);
}
Variant Text(std::string_view s) {
    return Variant(s);
}

// A one-dimensional array of `count` elements of `vt`, each `fill`.
struct Array {
    Array(plat::VARTYPE vt, uint32_t count, int32_t fill = 0) : vt(vt) {
        psa = plat::SafeArrayCreateVector(vt, 0, count);
        for (uint32_t i = 0; i < count; ++i)
            set(i, fill);
    }
    ~Array() { plat::SafeArrayDestroy(psa); }
    Array(const Array&) = delete;
    Array& operator=(const Array&) = delete;
    int32_t at(uint32_t i) const {
        return vt == plat::VT_I2 ? static_cast<int16_t*>(psa->pvData)[i]
                                 : static_cast<int32_t*>(psa->pvData)[i];
    }
    void set(uint32_t i, int32_t v) {
        if (vt == plat::VT_I2)
            static_cast<int16_t*>(psa->pvData)[i] = static_cast<int16_t>(v);
        else if (vt == plat::VT_I4)
            static_cast<int32_t*>(psa->pvData)[i] = v;
        else if (vt == plat::VT_R8)
            static_cast<double*>(psa->pvData)[i] = v;
    }
    // The array passed by reference, as a caller's own array variable is.
    Variant by_ref() {
        Variant v;
        v.vt = plat::VT_BYREF | plat::VT_ARRAY | vt;
        v.pparray = &psa;
        return v;
    }
    plat::VARTYPE vt;
    plat::SAFEARRAY* psa;
};

struct Rect4 {
    int32_t left, top, right, bottom;
    int32_t cx() const { return (left + right) / 2; }
    int32_t cy() const { return (top + bottom) / 2; }
    bool empty() const { return right <= left || bottom <= top; }
};

class HitWindow : public kltest::HostedControl {
  protected:
    void add_items(int n) {
        for (int i = 0; i < n; ++i)
            call("AddItem", {Text("Item " + std::to_string(i))});
    }
    // GetItemRect into an array of four Longs: the status and the rectangle.
    int32_t item_rect(int32_t index, int16_t options, Rect4& out) {
        Array a(plat::VT_I4, 4, 7);
        const int32_t status = call("GetItemRect", {I4(index), I2(options), a.by_ref()}).to_i4();
        out = {a.at(0), a.at(1), a.at(2), a.at(3)};
        return status;
    }
    Rect4 rect_of(int32_t index, int16_t options = 1) {
        Rect4 r{};
        EXPECT_EQ(item_rect(index, options, r), 0) << "item " << index << " options " << options;
        return r;
    }
    // HitTest at pixels given as twips: the kind and the target.
    std::pair<int32_t, Variant> hit(int32_t px, int32_t py) {
        Variant target;
        Variant kind =
            call("HitTest", {Variant(float(px * 15)), Variant(float(py * 15)), Variant::ref(&target)});
        return {kind.to_i4(), target};
    }
    int32_t item_at(int32_t x, int32_t y, int16_t type = 1) {
        return call("GetItemByXY", {I2(int16_t(x)), I2(int16_t(y)), I2(type)}).to_i4();
    }
};

TEST_F(HitWindow, WindowMembersFollowActivation) {
    add_items(3);
    const uint32_t first = static_cast<uint32_t>(get("hWnd").to_i4());
    ASSERT_NE(first, 0u);
    EXPECT_EQ(get("TopIndex").to_i4(), 0);

    plat::ComPtr<plat::IInPlaceControl> inplace;
    ASSERT_EQ(ctl->QueryInterface(plat::IInPlaceControl::kIID, inplace.put_void()), plat::S_OK);
    ASSERT_EQ(inplace->Deactivate(), plat::S_OK);
    EXPECT_EQ(get("hWnd").to_i4(), 0);
    EXPECT_EQ(plat::ui::WindowFromHandle(first), nullptr);
    // Without the window, each of them says so.
    for (const char* name : {"TopIndex", "BottomIndex", "ScrollHorz"})
        EXPECT_EQ(get_error(name), 20117) << name;
    Variant target;
    EXPECT_EQ(call_error("HitTest", {Variant(15.0f), Variant(15.0f), Variant::ref(&target)}), 20117);
    EXPECT_EQ(call_error("GetItemByXY", {I2(1), I2(1), I2(1)}), 20117);
    EXPECT_EQ(call_error("AboutBox"), 20117);
    Array a(plat::VT_I4, 4);
    EXPECT_EQ(call("GetItemRect", {I4(0), I2(1), a.by_ref()}).to_i4(), 20117);

    ASSERT_EQ(inplace->Activate(host.window_handle(), {0, 0, 240, 160}), plat::S_OK);
    const uint32_t second = static_cast<uint32_t>(get("hWnd").to_i4());
    ASSERT_NE(second, 0u);
    QWidget* window = plat::ui::WindowFromHandle(second);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->parentWidget(), &host);
    EXPECT_EQ(item_at(5, rect_of(2).cy()), 2);
}

TEST_F(HitWindow, HitTestTakesTwipsInPixelAndTwipContainers) {
    call("AddItem", {Text("Item 0")});
    call("AddItem", {Text("Child"), I4(0)});
    put("Expand", Variant::boolean(true), {I4(0)});
    call("AddItem", {Text("Item 1")});
    call("AddItem", {Text("Item 2")});
    const Rect4 text0 = rect_of(0, 4), text1 = rect_of(1, 4), row3 = rect_of(3);
    const Rect4 pm0 = rect_of(0, 8);
    ASSERT_FALSE(pm0.empty());
    struct Case {
        const char* what;
        int32_t x, y;
        int32_t kind;   // expected hit kind
        int32_t target; // expected item index (-1 nothing)
    };
    const Case cases[] = {
        {"text of the first row", text0.cx(), text0.cy(), 2, 0},
        {"text of the child", text1.cx(), text1.cy(), 2, 1},
        {"plus/minus of the parent", pm0.cx(), pm0.cy(), 5, 0},
        {"row space right of the text", text1.right + 5, text1.cy(), 1, 1},
        {"below every row", 10, row3.bottom + 10, 0, -1},
    };
    std::vector<std::pair<int32_t, int32_t>> in_pixels;
    for (const Case& c : cases) {
        auto [kind, target] = hit(c.x, c.y);
        EXPECT_EQ(kind, c.kind) << c.what;
        EXPECT_EQ(target.to_i4(), c.target) << c.what;
        in_pixels.push_back({kind, target.to_i4()});
    }
    // The same twips in a container that measures in twips.
    host.set_scale_units("Twip");
    for (size_t i = 0; i < std::size(cases); ++i) {
        auto [kind, target] = hit(cases[i].x, cases[i].y);
        EXPECT_EQ(std::make_pair(kind, target.to_i4()), in_pixels[i]) << cases[i].what;
    }

    // The target must come back to the caller.
    EXPECT_EQ(call_error("HitTest", {Variant(15.0f), Variant(15.0f), I4(0)}), 20113);
}

// A shown grid takes the tree's place: its cells, titles and grid lines
// answer as grid cells (kinds 7 to 10) with the cell object as the target;
// the tree column's item parts as items.
TEST_F(HitWindow, HitTestInsideAGridNamesItsCells) {
    add_items(3);
    put("HasGrid", Variant::boolean(true));
    Variant grid = get("Grid");
    ASSERT_EQ(grid.vt, plat::VT_DISPATCH);
    plat::CallError e;
    ASSERT_EQ(plat::dispatch_put(grid.pdispVal, "Cols", I4(3), {}, &e), plat::S_OK);
    auto cell_of = [&](int32_t row, int32_t col) {
        Variant cell;
        const std::vector<Variant> at{I4(row), I4(col)};
        EXPECT_EQ(plat::dispatch_get(grid.pdispVal, "Cells", cell, at, &e), plat::S_OK);
        return cell;
    };
    auto read = [&](const Variant& obj, const char* name) {
        Variant v;
        EXPECT_EQ(plat::dispatch_get(obj.pdispVal, name, v, {}, &e), plat::S_OK) << name;
        return v;
    };
    // A cell's rectangle in pixels, from its twips.
    auto rect = [&](int32_t row, int32_t col) {
        Variant cell = cell_of(row, col);
        const int32_t left = int32_t(read(cell, "Left").to_r8() / 15), top = int32_t(read(cell, "Top").to_r8() / 15);
        return Rect4{left, top, left + int32_t(read(cell, "Width").to_r8() / 15),
                     top + int32_t(read(cell, "Height").to_r8() / 15)};
    };
    const Rect4 tree1 = rect(1, 1), data1 = rect(1, 2), data2 = rect(2, 2), rowTitle = rect(2, 0),
                title = rect(0, 2);
    ASSERT_FALSE(data1.empty());
    EXPECT_EQ(data1.left, tree1.right);
    EXPECT_EQ(title.left, data1.left);
    EXPECT_EQ(data2.top, data1.bottom);
    EXPECT_EQ(rowTitle.top, data2.top);
    struct Case {
        const char* what;
        int32_t x, y;
        int32_t kind;
        int32_t row, col; // of the cell object
    };
    const Case cases[] = {
        {"grid line right of a cell", tree1.right - 1, tree1.cy(), 7, 1, 1},
        {"an empty cell", data2.left + 5, data2.cy(), 8, 2, 2},
        {"a row title's number", rowTitle.cx(), rowTitle.cy(), 10, 2, 0},
        {"a column title", title.left + 3, title.cy(), 8, 0, 2},
        {"the tree column's row space", tree1.right - 8, tree1.cy(), 8, 1, 1},
    };
    for (const Case& c : cases) {
        auto [kind, target] = hit(c.x, c.y);
        EXPECT_EQ(kind, c.kind) << c.what;
        ASSERT_EQ(target.vt, plat::VT_DISPATCH) << c.what;
        EXPECT_EQ(read(target, "Row").to_i4(), c.row) << c.what;
        EXPECT_EQ(read(target, "Col").to_i4(), c.col) << c.what;
    }
    // Hidden, the grid gives the tree back.
    ASSERT_EQ(plat::dispatch_put(grid.pdispVal, "Visible", Variant::boolean(false), {}, &e), plat::S_OK);
    EXPECT_EQ(item_at(5, rect_of(1).cy()), 1);
    EXPECT_EQ(read(cell_of(1, 2), "Left").to_r8(), -1.0);
}

TEST_F(HitWindow, GetItemRectTakesArraysByReference) {
    add_items(2);
    const Rect4 row0 = rect_of(0), row1 = rect_of(1);
    EXPECT_EQ(row0.left, 2); // inside the sunken edge a new control has
    EXPECT_GT(row0.bottom, row0.top);
    EXPECT_EQ(row1.top, row0.bottom);
    const Rect4 text = rect_of(0, 4);
    EXPECT_GE(text.left, row0.left);
    EXPECT_LE(text.right, row0.right);
    EXPECT_GE(text.top, row0.top);
    EXPECT_LE(text.bottom, row0.bottom);

    Array shorts(plat::VT_I2, 4), longs(plat::VT_I4, 6), three(plat::VT_I2, 3), doubles(plat::VT_R8, 4);
    Variant held;
    {
        Array inner(plat::VT_I2, 4);
        held.vt = plat::VT_ARRAY | plat::VT_I2;
        plat::SafeArrayCopy(inner.psa, &held.parray);
    }
    Variant empty, by_value_array;
    by_value_array.vt = plat::VT_ARRAY | plat::VT_I2;
    plat::SafeArrayCopy(shorts.psa, &by_value_array.parray);
    int16_t scalar = 0;
    Variant scalar_ref;
    scalar_ref.vt = plat::VT_BYREF | plat::VT_I2;
    scalar_ref.piVal = &scalar;
    struct Case {
        const char* what;
        Variant arg;
        int32_t status;
    };
    const Case cases[] = {
        {"Integers by reference", shorts.by_ref(), 0},
        {"six Longs by reference", longs.by_ref(), 0},
        {"an empty Variant by reference", Variant::ref(&empty), 0},
        {"a Variant holding Integers", Variant::ref(&held), 0},
        {"three Integers", three.by_ref(), 20113},
        {"Doubles", doubles.by_ref(), 20113},
        {"an array by value", by_value_array, 20113},
        {"one Integer by reference", scalar_ref, 20113},
        {"a plain number", I4(0), 20113},
    };
    for (const Case& c : cases)
        EXPECT_EQ(call("GetItemRect", {I4(1), I2(1), c.arg}).to_i4(), c.status) << c.what;
    EXPECT_EQ((Rect4{shorts.at(0), shorts.at(1), shorts.at(2), shorts.at(3)}.top), row1.top);
    EXPECT_EQ(longs.at(3), row1.bottom);
    ASSERT_EQ(empty.vt, plat::VT_ARRAY | plat::VT_I4);
    EXPECT_EQ(static_cast<int32_t*>(empty.parray->pvData)[1], row1.top);
    ASSERT_EQ(held.vt, plat::VT_ARRAY | plat::VT_I2);
    EXPECT_EQ(static_cast<int16_t*>(held.parray->pvData)[3], row1.bottom);
    EXPECT_EQ(scalar, 0);
}

TEST_F(HitWindow, GetItemRectOfItemsWithoutARow) {
    add_items(2);
    call("AddItem", {Text("hidden child"), I4(0)});
    put("Expand", Variant::boolean(false), {I4(0)});
    struct Case {
        const char* what;
        int32_t index;
        int16_t options;
        int32_t status;
    };
    const Case cases[] = {
        {"a collapsed item's child", 1, 1, 381}, {"its text", 1, 4, 381},
        {"a negative index", -1, 1, 381},        {"past the last item", 3, 1, 381},
        {"an unknown part", 0, 3, 20113},
    };
    for (const Case& c : cases) {
        Rect4 r{};
        EXPECT_EQ(item_rect(c.index, c.options, r), c.status) << c.what;
        EXPECT_EQ(r.left | r.top | r.right | r.bottom, 0) << c.what << ": the rectangle is zeroed";
    }
    // Rows scrolled away still have their place, above the window.
    add_items(40);
    put("TopIndex", I4(5));
    Rect4 r{};
    EXPECT_EQ(item_rect(0, 1, r), 0);
    EXPECT_LT(r.bottom, 0);
}

TEST_F(HitWindow, GetItemByXYKinds) {
    add_items(20);
    // Five whole rows and half of the sixth.
    const int32_t h = rect_of(0).bottom - rect_of(0).top;
    host.resize(240, 5 * h + h / 2);
    const Rect4 text = rect_of(2, 4), row = rect_of(2);
    const int32_t bottom = get("BottomIndex").to_i4();
    ASSERT_EQ(bottom, 4);
    const Rect4 cut = rect_of(bottom + 1);
    struct Case {
        const char* what;
        int32_t x, y;
        int16_t type;
        int32_t index;
    };
    const Case cases[] = {
        {"anywhere in the row", row.right - 2, row.cy(), 1, 2},
        {"on the text", text.cx(), text.cy(), 4, 2},
        {"text wanted, row space hit", text.right + 5, text.cy(), 4, -1},
        {"picture wanted, text hit", text.cx(), text.cy(), 2, -1},
        {"a whole row", row.cx(), row.cy(), 8, 2},
        {"a row cut by the bottom, any point", 5, cut.top + 1, 1, bottom + 1},
        {"a row cut by the bottom, whole", 5, cut.top + 1, 8, -1},
        {"no such search", text.cx(), text.cy(), 3, -1},
        {"no search", text.cx(), text.cy(), 0, -1},
        {"left of the window", -1, row.cy(), 1, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(item_at(c.x, c.y, c.type), c.index) << c.what;
}

TEST_F(HitWindow, TopAndBottomIndexFollowScrolling) {
    add_items(30);
    const Rect4 row = rect_of(0);
    // The rows lie inside the window's frame.
    const int32_t frame = row.left;
    const int32_t per_page = (160 - 2 * frame) / (row.bottom - row.top);
    EXPECT_EQ(get("TopIndex").to_i4(), 0);
    EXPECT_EQ(get("BottomIndex").to_i4(), per_page - 1);

    put("TopIndex", I4(10));
    EXPECT_EQ(get("TopIndex").to_i4(), 10);
    EXPECT_EQ(get("BottomIndex").to_i4(), 10 + per_page - 1);
    EXPECT_EQ(item_at(5, frame + 1), 10);
    EXPECT_EQ(rect_of(10).top, frame);

    // Three rows a notch of the wheel.
    QPoint at(20, 20);
    QWheelEvent wheel(at, view()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(view(), &wheel);
    EXPECT_EQ(get("TopIndex").to_i4(), 13);
    EXPECT_EQ(item_at(5, frame + 1), 13);

    // The last page keeps its top; nothing scrolls sideways.
    put("TopIndex", I4(29));
    EXPECT_EQ(get("BottomIndex").to_i4(), 29);
    EXPECT_EQ(get("TopIndex").to_i4(), 30 - per_page);
    EXPECT_EQ(get("ScrollHorz").to_i4(), 0);
    put("ScrollHorz", I2(50));
    EXPECT_EQ(get("ScrollHorz").to_i4(), 0);
    EXPECT_EQ(put_error("TopIndex", I4(30)), 381);
}

TEST_F(HitWindow, WindowLargerThanTheScreen) {
    // Laid out as if it had the screen's size: the rows below the screen are
    // not on the page, and the last row on it is found where it is drawn.
    host.resize(2000, 5000);
    add_items(400);
    const QSize screen = QGuiApplication::primaryScreen()->size();
    const int32_t last = get("BottomIndex").to_i4();
    EXPECT_GT(last, 0);
    EXPECT_LT(last, 399);
    const Rect4 far = rect_of(last);
    EXPECT_LE(far.bottom, screen.height());
    EXPECT_LE(far.right, screen.width());
    EXPECT_EQ(item_at(far.cx(), far.cy()), last);
    auto [kind, target] = hit(far.left + 2, far.cy());
    EXPECT_NE(kind, 0);
    EXPECT_EQ(target.to_i4(), last);
    kltest::SaveArtifact(view()->grab().toImage().copy(0, std::max(0, far.bottom - 200), 400, 200), "vinca",
                         "hit_tall_window");
}

TEST_F(HitWindow, AboutBoxGoesThroughThePrompt) {
    kltest::ScriptedPrompt prompt;
    plat::ui::IPrompt* before = plat::ui::SetProcessPrompt(&prompt);
    prompt.expect_about("Marovia Vinca 5.0 Control");
    call("AboutBox");
    plat::ui::SetProcessPrompt(before);
    prompt.verify_done();
    ASSERT_EQ(prompt.abouts().size(), 1u);
    EXPECT_EQ(prompt.abouts()[0].version, "5.00.19");
    EXPECT_EQ(prompt.abouts()[0].maker, "Marovia");
}

TEST_F(HitWindow, LoadPictureReadsImageFiles) {
    kltest::TempDir dir;
    auto file = [&](const char* name) { return (dir.path() / name).string(); };
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::red);
    for (const char* name : {"p.bmp", "p.png", "p.jpg", "p.ico"})
        ASSERT_TRUE(image.save(QString::fromStdString(file(name)))) << name;
    // Qt writes no GIF: a 1x1 image by hand.
    const unsigned char gif[] = {'G', 'I', 'F', '8', '9',  'a',  1,    0,    1,    0, 0x80, 0,
                                 0,   0,   0,   0,   0xFF, 0xFF, 0xFF, 0x2C, 0,    0, 0,    0,
                                 1,   0,   1,   0,   0,    2,    2,    0x44, 0x01, 0, 0x3B};
    std::ofstream(file("p.gif"), std::ios::binary).write(reinterpret_cast<const char*>(gif), sizeof gif);
    // A PNG's signature and nothing after it; and text.
    std::ofstream(file("cut.png"), std::ios::binary).write("\x89PNG\r\n\x1a\n", 8);
    std::ofstream(file("note.txt")) << "not a picture";

    for (const char* name : {"p.bmp", "p.png", "p.jpg", "p.ico", "p.gif"}) {
        Variant pic = call("LoadPicture", {Text(file(name))});
        ASSERT_EQ(pic.vt, plat::VT_DISPATCH) << name;
        EXPECT_NE(pic.pdispVal, nullptr) << name;
        // Only the icon is an icon picture.
        const bool icon = std::string_view(name) == "p.ico";
        EXPECT_EQ(put_error("MouseIcon", pic), icon ? 0 : 25008) << name;
    }
    struct Case {
        const char* what;
        std::string path;
        uint16_t error;
    };
    const Case errors[] = {
        {"a missing file", file("missing.png"), 53},
        {"a folder", dir.path().string(), 53},
        {"text", file("note.txt"), 321},
        {"a cut PNG", file("cut.png"), 321},
    };
    for (const Case& c : errors)
        EXPECT_EQ(call_error("LoadPicture", {Text(c.path)}), c.error) << c.what;
    Variant nothing = call("LoadPicture", {Text("")});
    EXPECT_EQ(nothing.vt, plat::VT_DISPATCH);
    EXPECT_EQ(nothing.pdispVal, nullptr);
}

TEST_F(HitWindow, ItemAndMarkPicturesAreDrawnInTheirRects) {
    kltest::TempDir dir;
    auto picture = [&](const char* name, QColor colour, int size) {
        QImage image(size, size, QImage::Format_RGB32);
        image.fill(colour);
        const std::string path = (dir.path() / name).string();
        EXPECT_TRUE(image.save(QString::fromStdString(path)));
        return call("LoadPicture", {Text(path)});
    };
    const QColor green(0, 160, 0), red(200, 0, 0), blue(0, 0, 220);
    add_items(3);
    put("ListIndex", I4(2));
    put("ViewStyleEx", I2(2));
    // Item 0 has its own picture; item 1 shows the control's leaf picture;
    // item 0 carries mark 1, item 1 mark 0 (no picture set for it).
    put("Image", picture("own.png", green, 12), {I4(0)});
    put("PictureLeaf", picture("leaf.png", red, 14));
    put("MarkPicture", picture("mark.png", blue, 10), {I4(1)});
    put("ItemMark", I4(1), {I4(0)});
    QCoreApplication::processEvents();
    const QImage shot = view()->grab().toImage();
    std::filesystem::create_directories(std::string(KL_TEST_BINARY_DIR) + "/screenshots");
    shot.save(QString::fromStdString(std::string(KL_TEST_BINARY_DIR) + "/screenshots/item_pictures.png"));

    struct Case {
        const char* what;
        int32_t item;
        int16_t part;
        QColor colour;
        int size;
    };
    const Case cases[] = {
        {"own picture", 0, 2, green, 12},
        {"leaf picture", 1, 2, red, 14},
        {"mark 1 picture", 0, 16, blue, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Rect4 r = rect_of(c.item, c.part);
        ASSERT_EQ(r.right - r.left, c.size);
        ASSERT_EQ(r.bottom - r.top, c.size);
        for (QPoint p : {QPoint(r.left, r.top), QPoint(r.cx(), r.cy()), QPoint(r.right - 1, r.bottom - 1)})
            EXPECT_EQ(shot.pixelColor(p), c.colour) << p.x() << "," << p.y();
    }
    // Mark 0 without PictureMark takes the mark column's width but draws nothing.
    const Rect4 none = rect_of(1, 16);
    EXPECT_EQ(none.right - none.left, 10);
    EXPECT_NE(shot.pixelColor(none.cx(), none.cy()), blue);

    // The selected row without an inverted picture shows its picture inverted;
    // ViewStyle 4 hides the pictures.
    put("ListIndex", I4(0));
    QCoreApplication::processEvents();
    const Rect4 own = rect_of(0, 2);
    EXPECT_EQ(view()->grab().toImage().pixelColor(own.cx(), own.cy()), QColor(255, 95, 255));
    put("ViewStyle", I2(4));
    QCoreApplication::processEvents();
    EXPECT_TRUE(rect_of(0, 2).empty());
    EXPECT_TRUE(rect_of(1, 2).empty());
}

TEST_F(HitWindow, ItemMembersOfNoItemAnswerNeutralValues) {
    add_items(2);
    const Variant none = I4(99);
    EXPECT_EQ(get("ItemForeColor", {none}).to_i4(), 0xFFFFFF);
    EXPECT_EQ(get("ItemBackColor", {none}).to_i4(), 0xFFFFFF);
    EXPECT_EQ(get("ItemFontName", {none}).to_utf8(), "");
    EXPECT_EQ(get("ItemFontSize", {none}).to_r8(), -1.0);
    EXPECT_FALSE(get("ItemFontBold", {none}).to_bool());
    EXPECT_EQ(get("ItemURL", {none}).to_utf8(), "");
    EXPECT_FALSE(get("ItemHasValue", {none, Text("x")}).to_bool());
    EXPECT_FALSE(get("ItemHasGrid", {none}).to_bool());
    for (const char* name : {"ItemCell", "ItemValues"}) {
        Variant v = get(name, {none});
        EXPECT_EQ(v.vt, plat::VT_DISPATCH) << name;
        EXPECT_EQ(v.pdispVal, nullptr) << name;
    }
    Variant grid = get("ItemGrid", {none});
    EXPECT_EQ(grid.vt, plat::VT_DISPATCH);
    EXPECT_NE(grid.pdispVal, nullptr);
    // An item's cell takes Nothing, never an object.
    Variant cell = get("ItemCell", {I4(0)});
    ASSERT_NE(cell.pdispVal, nullptr);
    EXPECT_EQ(put_error("ItemCell", cell, {I4(0)}), 383);
    EXPECT_EQ(put_error("ItemCell", Variant(static_cast<plat::IDispatch*>(nullptr)), {I4(0)}), 0);
}

TEST_F(HitWindow, AnItemGridShownThroughItsVisibleFlagGrowsTheItemsRow) {
    add_items(2);
    const int32_t plain = rect_of(0).bottom - rect_of(0).top;
    Variant grid = get("ItemGrid", {I4(0)});
    ASSERT_EQ(grid.vt, plat::VT_DISPATCH);
    ASSERT_NE(grid.pdispVal, nullptr);
    plat::IDispatch* g = grid.pdispVal;
    ASSERT_EQ(plat::dispatch_put(g, "Cols", I4(4)), plat::S_OK);
    for (const char* row : {"a\t1\tx", "b\t2\ty"}) {
        const Variant args[] = {Text(row)};
        ASSERT_EQ(plat::dispatch_call(g, "AddRow", args), plat::S_OK);
    }
    auto height = [&] { return rect_of(0).bottom - rect_of(0).top; };
    // Shown: the title row and a row per child; hidden: the plain row.
    ASSERT_EQ(plat::dispatch_put(g, "Visible", Variant::boolean(true)), plat::S_OK);
    EXPECT_GT(height(), 2 * plain);
    ASSERT_EQ(plat::dispatch_put(g, "Visible", Variant::boolean(false)), plat::S_OK);
    EXPECT_EQ(height(), plain);
}

} // namespace
