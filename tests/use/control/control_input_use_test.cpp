// The tree-list control as a person meets it: the registered library made by
// class id in a recording container, in a real X window, driven by real
// pointer and key events. Members are read back through IDispatch, events
// come from the control's connection point, pixels from the X screen.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include <QtGui/QImage>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLineEdit>
#include <QtGui/QStyleHints>

#include "platform/com/dispatch_client.h"
#include "platform/com/loader.h"
#include "platform/com/safearray.h"
#include "platform/ui/process_prompt.h"
#include "platform/ui/window_table.h"
#include "support/gui/x_input.h"
#include "support/recording_container.h"
#include "support/scripted_prompt.h"

using plat::Variant;
namespace x = kltest::x;

namespace {

constexpr plat::CLSID kControl = plat::make_guid("9D998150-B884-11CE-8D47-444553540000");
// Event numbers of the control's event interface.
constexpr plat::DISPID kKeyDown = -602, kVScroll = 6, kEditingKeyDown = 8, kCollapse = 11, kExpand = 12,
                       kGridCellDblClick = 23, kAutoDragRequest = 28;
constexpr plat::DISPID kGetItemRect = 83;
// GetItemRect parts.
constexpr int16_t kRow = 1, kText = 4, kPlusMinus = 8;

Variant I2(int16_t v) {
    return Variant(v);
}
Variant I4(int32_t v) {
    return Variant(v);
}
Variant Text(std::string_view s) {
    return Variant(s);
}

class ControlInputUse : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!x::available()) GTEST_SKIP() << "no X server with XTest";
        ASSERT_EQ(plat::call_library_registration(KL_VINCA5_PATH, false), plat::S_OK);
        host = std::make_unique<kltest::RecordingContainer>();
        host->resize(320, 240);
        ctl = host->create(kControl);
        ASSERT_TRUE(ctl);
        ASSERT_TRUE(x::activate(host.get()));
        view = plat::ui::WindowFromHandle(static_cast<uint32_t>(get("hWnd").to_i4()));
        ASSERT_NE(view, nullptr);
        focus();
    }
    void TearDown() override {
        ctl.reset();
        host.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

  public:
    Variant get(std::string_view name, std::initializer_list<Variant> index = {}, plat::IDispatch* on = nullptr) {
        Variant v;
        plat::CallError e;
        std::vector<Variant> args(index);
        EXPECT_EQ(plat::dispatch_get(on ? on : ctl.get(), name, v, args, &e), plat::S_OK)
            << name << ": " << e.number;
        return v;
    }
    int32_t num(std::string_view name, std::initializer_list<Variant> index = {}) {
        return get(name, index).to_i4();
    }
    void put(std::string_view name, const Variant& value, std::initializer_list<Variant> index = {},
             plat::IDispatch* on = nullptr) {
        plat::CallError e;
        std::vector<Variant> args(index);
        EXPECT_EQ(plat::dispatch_put(on ? on : ctl.get(), name, value, args, &e), plat::S_OK)
            << name << ": " << e.number;
        x::settle();
    }
    void add(std::string_view text, int32_t parent = -1) {
        std::vector<Variant> args{Text(text)};
        if (parent >= 0) args.push_back(I4(parent));
        plat::CallError e;
        Variant v;
        EXPECT_EQ(plat::dispatch_call(ctl.get(), "AddItem", args, &v, &e), plat::S_OK) << e.number;
    }
    void fill(int n) {
        for (int i = 0; i < n; ++i)
            add("Item " + std::to_string(i));
        x::settle();
    }
    // A part of an item's row in the window's pixels (empty when it does not show).
    QRect rect(int32_t index, int16_t part = kRow) {
        plat::SAFEARRAY* psa = plat::SafeArrayCreateVector(plat::VT_I4, 0, 4);
        Variant arg;
        arg.vt = plat::VT_BYREF | plat::VT_ARRAY | plat::VT_I4;
        arg.pparray = &psa;
        Variant status;
        const Variant args[] = {I4(index), I2(part), arg};
        EXPECT_EQ(plat::dispatch_call(ctl.get(), kGetItemRect, args, &status), plat::S_OK);
        const int32_t* v = static_cast<int32_t*>(psa->pvData);
        const QRect r(QPoint(v[0], v[1]), QPoint(v[2] - 1, v[3] - 1));
        plat::SafeArrayDestroy(psa);
        return status.to_i4() == 0 ? r : QRect();
    }
    QPoint at(int32_t index, int16_t part = kText) { return rect(index, part).center(); }
    std::set<int32_t> selected(int32_t count) {
        std::set<int32_t> on;
        for (int32_t i = 0; i < count; ++i)
            if (get("Selected", {I4(i)}).to_bool()) on.insert(i);
        return on;
    }
    void focus() {
        view->setFocus(Qt::OtherFocusReason);
        x::settle();
    }
    // A click on an item's text, and a pause long enough that the next click
    // is no double click.
    void click(int32_t index, Qt::KeyboardModifiers mods = {}) {
        x::click(view, at(index), Qt::LeftButton, mods);
        x::settle(QApplication::styleHints()->mouseDoubleClickInterval() + 50);
    }
    QLineEdit* editor() const { return view->findChild<QLineEdit*>(); }

    // The grid of the control with `cols` columns, shown.
    Variant grid(int32_t cols) {
        put("HasGrid", Variant::boolean(true));
        Variant g = get("Grid");
        EXPECT_EQ(g.vt, plat::VT_DISPATCH);
        put("Cols", I4(cols), {}, g.pdispVal);
        return g;
    }
    // A grid cell's rectangle in pixels, from its twips.
    QRect cell(const Variant& g, int32_t row, int32_t col) {
        Variant c = get("Cells", {I4(row), I4(col)}, g.pdispVal);
        auto px = [&](const char* name) { return int32_t(get(name, {}, c.pdispVal).to_r8() / 15); };
        return QRect(px("Left"), px("Top"), px("Width"), px("Height"));
    }
    // Rows drawn with the selection's colour (red here) on the screen.
    int32_t highlightedRows(int32_t count) {
        x::settle();
        const QImage shot = x::grab(view);
        int32_t rows = 0;
        for (int32_t i = 0; i < count; ++i) {
            const QRect r = rect(i).intersected(shot.rect());
            int32_t red = 0;
            for (int32_t y = r.top(); y <= r.bottom(); ++y)
                for (int32_t xx = r.left(); xx <= r.right(); ++xx)
                    if (shot.pixel(xx, y) == qRgb(255, 0, 0)) ++red;
            if (red > 10) ++rows;
        }
        return rows;
    }

    std::unique_ptr<kltest::RecordingContainer> host;
    plat::ComPtr<plat::IDispatch> ctl;
    QWidget* view{nullptr};
};

// Setting the current row, by member or by key, moves the current position;
// only the single mode's selection and the extended mode's keys select.
TEST_F(ControlInputUse, TheCurrentRowMovesWithoutTheClickRule) {
    struct Case {
        const char* what;
        int16_t multiSelect;
        std::function<void(ControlInputUse&)> act;
        std::set<int32_t> selected;
        int32_t listIndex;
    };
    auto listIndex = [](int32_t i) { return [i](ControlInputUse& t) { t.put("ListIndex", I4(i)); }; };
    const Case cases[] = {
        {"multiple: ListIndex twice", 1,
         [&](ControlInputUse& t) { listIndex(5)(t), listIndex(5)(t); }, {}, 5},
        {"multiple: Selected(2) = True sticks", 1,
         [](ControlInputUse& t) { t.put("Selected", Variant::boolean(true), {I4(2)}); }, {2}, 2},
        {"multiple: Down moves, Space selects", 1,
         [](ControlInputUse& t) {
             t.click(1);
             x::key(Qt::Key_Down), x::key(Qt::Key_Down), x::key(Qt::Key_Space);
         },
         {1, 3}, 3},
        {"extended: ListIndex keeps a Shift range", 2,
         [&](ControlInputUse& t) {
             t.click(1), t.click(4, Qt::ShiftModifier);
             listIndex(6)(t);
         },
         {1, 2, 3, 4}, 6},
        {"extended: Down selects the new row alone", 2,
         [](ControlInputUse& t) {
             t.click(1), t.click(3, Qt::ShiftModifier);
             x::key(Qt::Key_Down);
         },
         {4}, 4},
        {"extended: Shift+Down extends from the anchor", 2,
         [](ControlInputUse& t) {
             t.click(1);
             x::key(Qt::Key_Down, Qt::ShiftModifier), x::key(Qt::Key_Down, Qt::ShiftModifier);
         },
         {1, 2, 3}, 3},
        {"single: the selection follows ListIndex", 0, listIndex(3), {3}, 3},
    };
    fill(8);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        put("MultiSelect", I2(c.multiSelect));
        put("ListIndex", I4(-1));
        for (int32_t i = 0; i < 8; ++i)
            put("Selected", Variant::boolean(false), {I4(i)});
        put("ListIndex", I4(0));
        if (c.multiSelect != 0) put("Selected", Variant::boolean(false), {I4(0)});
        focus();
        c.act(*this);
        x::settle();
        EXPECT_EQ(selected(8), c.selected);
        EXPECT_EQ(num("ListIndex"), c.listIndex);
    }
}

// A row without children has nothing to open or close: the current row,
// the rows and their highlight stay, and no event says otherwise.
TEST_F(ControlInputUse, ALeafNeitherOpensNorCloses) {
    struct Case {
        const char* what;
        std::function<void(ControlInputUse&)> act;
    };
    const Case cases[] = {
        {"double click", [](ControlInputUse& t) { x::double_click(t.view, t.at(3)); }},
        {"Expand = False", [](ControlInputUse& t) { t.put("Expand", Variant::boolean(false), {I4(3)}); }},
        {"Expand = True", [](ControlInputUse& t) { t.put("Expand", Variant::boolean(true), {I4(3)}); }},
        {"keypad minus", [](ControlInputUse& t) { x::key(Qt::Key_Minus, Qt::KeypadModifier); }},
        {"keypad plus", [](ControlInputUse& t) { x::key(Qt::Key_Plus, Qt::KeypadModifier); }},
    };
    add("Parent");
    add("First child", 0);
    add("Second child", 0);
    add("Leaf");
    add("Last");
    put("Expand", Variant::boolean(true), {I4(0)});
    put("AutoExpand", I2(1));
    put("ExplorerCompatible", I2(1));
    put("SelBackColor", I4(0x0000FF));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        click(3);
        ASSERT_EQ(num("ListIndex"), 3);
        ASSERT_EQ(highlightedRows(5), 1);
        host->clear();
        c.act(*this);
        x::settle();
        EXPECT_EQ(num("ListIndex"), 3);
        EXPECT_EQ(num("ListCount"), 5);
        EXPECT_EQ(host->count(kExpand) + host->count(kCollapse), 0u) << host->trace();
        EXPECT_EQ(highlightedRows(5), 1);
    }
}

// While the in-place editor is open its keys are its own: the list under it
// neither moves nor scrolls, and the container hears editing keys only.
TEST_F(ControlInputUse, KeysTypedInTheEditorStayInIt) {
    fill(60);
    put("ListIndex", I4(2));
    put("ItemEditText", I2(2), {I4(2)});
    ASSERT_NE(editor(), nullptr);
    ASSERT_TRUE(editor()->hasFocus());
    host->clear();
    for (Qt::Key k : {Qt::Key_Down, Qt::Key_PageDown, Qt::Key_End, Qt::Key_Up, Qt::Key_PageUp})
        x::key(k);
    x::type(QStringLiteral("ab"));
    EXPECT_EQ(num("ListIndex"), 2);
    EXPECT_EQ(num("TopIndex"), 0);
    EXPECT_EQ(host->count(kKeyDown) + host->count(kVScroll), 0u) << host->trace();
    EXPECT_GE(host->count(kEditingKeyDown), 5u);
    x::key(Qt::Key_Return);
    x::settle();
    EXPECT_EQ(editor(), nullptr);
    EXPECT_EQ(get("List", {I4(2)}).to_utf8(), "Item 2ab");
}

// With automatic dragging on, a click still selects; a drag starts only past
// the drag distance, and takes the row it started on even when that row was
// not selected before.
TEST_F(ControlInputUse, AutomaticDraggingKeepsClicksAndDragsThePressedRow) {
    fill(8);
    put("AutoDragMode", I2(1));
    // The container refuses every drag: the request is what is looked at.
    host->answer(kAutoDragRequest, 1, I2(1));
    const int32_t far = QApplication::styleHints()->startDragDistance() + 10;
    for (int16_t mode : {int16_t(1), int16_t(2)}) {
        SCOPED_TRACE(mode);
        put("MultiSelect", I2(mode));
        for (int32_t i = 0; i < 8; ++i)
            put("Selected", Variant::boolean(false), {I4(i)});
        click(2);
        EXPECT_EQ(selected(8), std::set<int32_t>{2});
        click(3, Qt::ControlModifier);
        EXPECT_EQ(selected(8), (std::set<int32_t>{2, 3}));
        // A plain click on a selected row: mode 1 toggles it, mode 2 keeps it alone.
        click(3);
        EXPECT_EQ(selected(8), mode == 1 ? std::set<int32_t>{2} : std::set<int32_t>{3});

        host->clear();
        const QPoint from = at(5);
        x::press(view, from);
        x::move(view, from + QPoint(2, 0));
        EXPECT_EQ(host->count(kAutoDragRequest), 0u);
        x::move(view, from + QPoint(far, 0));
        x::release(view, from + QPoint(far, 0));
        ASSERT_EQ(host->count(kAutoDragRequest), 1u);
        EXPECT_TRUE(get("Selected", {I4(5)}).to_bool());
        // What is dragged: one item selected (-4) or several (-3).
        int32_t code = 0;
        for (const kltest::RecordedEvent& e : host->events())
            if (e.id == kAutoDragRequest) code = e.args.at(0).to_i4();
        EXPECT_EQ(code, mode == 1 ? -3 : -4) << host->trace();
    }
}

// The caption, the border and a grid's column titles and corner are no rows:
// a press there moves neither the current row nor the list.
TEST_F(ControlInputUse, ClicksOutsideTheRowsTakeNoRow) {
    fill(60);
    put("ShowCaption", I2(1));
    put("Caption", Text("Caption"));
    put("TopIndex", I4(5));
    put("ListIndex", I4(7));
    ASSERT_EQ(num("TopIndex"), 5);
    x::click(view, QPoint(view->width() / 2, rect(5).top() - 4));
    x::drag(view, QPoint(view->width() / 3, rect(5).top() - 4), QPoint(view->width() / 3 + 6, rect(5).top() - 2));
    EXPECT_EQ(num("ListIndex"), 7);
    EXPECT_EQ(num("TopIndex"), 5);

    put("ShowCaption", I2(0));
    Variant g = grid(3);
    put("TopIndex", I4(0));
    put("ListIndex", I4(0));
    const QRect title = cell(g, 0, 2), corner = cell(g, 0, 0);
    ASSERT_FALSE(title.isEmpty());
    for (QPoint p : {title.center(), corner.center()}) {
        x::click(view, p);
        x::drag(view, p, p + QPoint(0, 4));
        EXPECT_EQ(num("ListIndex"), 0);
        EXPECT_EQ(num("TopIndex"), 0);
    }
    // A drag from the rows up over the titles scrolls back towards the top.
    put("TopIndex", I4(20));
    const int32_t top = num("TopIndex");
    ASSERT_GT(top, 0);
    const QPoint row = cell(g, top + 2, 2).center();
    x::press(view, row);
    x::move(view, row - QPoint(0, 4));
    x::move(view, title.center());
    x::settle(300);
    x::release(view, title.center());
    EXPECT_LT(num("TopIndex"), top);
    EXPECT_LT(num("ListIndex"), top + 2);
}

// With focus in the control and DrawFocusRect on, the current row carries a
// dotted mark, whatever the selection mode; off, it carries none.
TEST_F(ControlInputUse, TheCurrentRowShowsTheFocusMark) {
    fill(6);
    for (int16_t mode : {int16_t(0), int16_t(1), int16_t(2)}) {
        SCOPED_TRACE(mode);
        put("MultiSelect", I2(mode));
        // The focus comes with a click, as a person gives it.
        click(2);
        put("ListIndex", I4(2));
        ASSERT_TRUE(view->hasFocus());
        const QRect text = rect(2, kText);
        auto edge = [&](bool on) {
            put("DrawFocusRect", Variant::boolean(on));
            x::settle();
            QImage shot = x::grab(view);
            if (on) x::save_shot(shot, "focus_mark_" + std::to_string(mode));
            std::vector<QRgb> line;
            for (int32_t xx = text.left(); xx <= text.right(); ++xx)
                line.push_back(shot.pixel(xx, text.top()));
            return line;
        };
        const std::vector<QRgb> off = edge(false), on = edge(true);
        int32_t changed = 0;
        for (size_t i = 0; i < on.size(); ++i)
            changed += on[i] != off[i];
        EXPECT_GE(changed, text.width() / 3);
    }
}

// The editor stands on the text: the same offset from the text's rectangle
// in a plain tree, after a sideways scroll, with a long text and in a grid;
// its right edge inside the client area, never over the plus/minus box.
TEST_F(ControlInputUse, TheEditorSitsOnTheText) {
    add("Root");
    add("Middle", 0);
    add("Deep", 1);
    add("Long " + std::string(150, 'x'));
    add("Child", 3);
    put("Expand", Variant::boolean(true), {I4(0)});
    put("Expand", Variant::boolean(true), {I4(1)});
    put("Expand", Variant::boolean(true), {I4(3)});
    put("ViewStyleEx", I2(1));
    x::settle();
    auto edit = [&](int32_t index) {
        put("ItemEditText", I2(2), {I4(index)});
        x::settle();
        EXPECT_NE(editor(), nullptr);
        return editor() ? editor()->geometry() : QRect();
    };
    auto stop = [&] { put("ItemEditText", I2(0), {I4(0)}); };

    // The offset in a plain, unscrolled tree.
    const QRect deep = rect(2, kText);
    const QPoint offset = edit(2).topLeft() - deep.topLeft();
    stop();
    EXPECT_LE(offset.manhattanLength(), 6);

    // Scrolled sideways by a key.
    focus();
    x::key(Qt::Key_Right);
    ASSERT_GT(num("ScrollHorz"), 0);
    const QRect scrolled = rect(2, kText);
    ASSERT_LT(scrolled.left(), deep.left());
    EXPECT_EQ(edit(2).topLeft() - scrolled.topLeft(), offset);
    x::save_shot(x::grab(view), "editor_scrolled_tree");
    stop();

    // A text wider than the window.
    put("ScrollHorz", I2(0));
    const QRect longText = rect(3, kText), row = rect(3, kRow), sign = rect(3, kPlusMinus);
    ASSERT_FALSE(sign.isEmpty());
    const QRect longEditor = edit(3);
    EXPECT_EQ(longEditor.topLeft() - longText.topLeft(), offset);
    EXPECT_GT(longEditor.left(), sign.right());
    EXPECT_LE(longEditor.right(), row.right() - 1);
    stop();

    // In a grid: over the text of the tree column's cell.
    Variant g = grid(3);
    const QRect treeCell = cell(g, 1, 1), inGrid = rect(0, kText);
    ASSERT_FALSE(inGrid.isEmpty());
    const QRect gridEditor = edit(0);
    EXPECT_EQ(gridEditor.topLeft() - inGrid.topLeft(), offset);
    EXPECT_GE(gridEditor.left(), treeCell.left());
    x::save_shot(x::grab(view), "editor_in_grid");
    stop();
}

// A grid cell's link is followed after the container heard of the double click.
TEST_F(ControlInputUse, DoubleClickingAGridCellFollowsItsLink) {
    fill(3);
    put("WebAutoNavigate", I2(1));
    Variant g = grid(3);
    Variant def = get("CellDef", {}, get("Cells", {I4(2), I4(2)}, g.pdispVal).pdispVal);
    put("Url", Text("http://127.0.0.1/cell"), {}, def.pdispVal);
    kltest::ScriptedPrompt prompt;
    plat::ui::IPrompt* before = plat::ui::SetProcessPrompt(&prompt);
    prompt.expect({.kind = kltest::PromptKind::Url, .match = "http://127.0.0.1/cell"});
    // The prompts still expected as each double click is heard.
    std::vector<size_t> pending;
    host->on(kGridCellDblClick, [&](plat::EventArgs&) { pending.push_back(prompt.pending()); });
    x::double_click(view, cell(g, 2, 2).center());
    // A cell without a link opens nothing.
    x::double_click(view, cell(g, 3, 2).center());
    plat::ui::SetProcessPrompt(before);
    prompt.verify_done();
    EXPECT_EQ(pending, (std::vector<size_t>{1, 0}));
}

} // namespace
