// What a container hears from the control for a person's input, in order,
// and what it can hand back: the key code, the cancel of a scroll, and a
// handler that closes the form in the middle of a click.
#include "input_fixture.h"

#include <functional>

#include "platform/com/event_sink.h"
#include "platform/ui/process_prompt.h"
#include "support/scripted_prompt.h"
#include "vinca/control/dispids.h"
#include "vinca/model/picture.h"
#include "vinca/model/values.h"
#include "vinca/model/grid.h"
#include "vinca/views/grid_panes.h"

#include <QtCore/QBuffer>
#include <QtGui/QImage>

namespace {

using kltest::ControlInputTest;
using plat::Variant;
using vinca::ItemPart;
namespace ev = vinca::dispid::event;

class ControlEvents : public ControlInputTest {
  protected:
    // Parent (item 0) with two children (items 1, 2), then a leaf (item 3).
    void fill() {
        add("Parent");
        add("First child", 0);
        add("Second child", 0);
        add("Leaf");
        put("Expand", Variant::boolean(true), {Variant(int32_t(0))});
        put("ListIndex", Variant(int32_t(0)));
        host->clear();
    }
    // A picture on the parent and mark 1 on it, with the mark column shown.
    void showPictures() {
        auto picture = [](QColor colour) {
            QImage image(12, 12, QImage::Format_RGB32);
            image.fill(colour);
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            image.save(&buffer, "PNG");
            plat::Variant v;
            vinca::ValueSetPicture(v, vinca::NewPicture(vinca::PICTYPE_BITMAP, bytes.toStdString()).get());
            return v;
        };
        put("ViewStyleEx", Variant(int16_t(2)));
        put("MarkPicture", picture(Qt::blue), {Variant(int32_t(1))});
        put("Image", picture(Qt::darkGreen), {Variant(int32_t(0))});
        put("ItemMark", Variant(int32_t(1)), {Variant(int32_t(0))});
        host->clear();
    }
};

TEST_F(ControlEvents, ScriptedSequencesFireInThePlatformsOrder) {
    struct Case {
        const char* what;
        std::function<void(ControlEvents&)> act;
        std::string expected;
    };
    const Case cases[] = {
        {"click on the text", [](ControlEvents& t) { t.click(t.at(3, ItemPart::Text)); },
         "MouseDown(1,0) MouseUp(1,0) ItemClick(3,1) Click"},
        {"click on the picture", [](ControlEvents& t) { t.click(t.at(0, ItemPart::Picture)); },
         "MouseDown(1,0) MouseUp(1,0) ItemClick(0,1) PictureClick"},
        {"click on the mark", [](ControlEvents& t) { t.click(t.at(0, ItemPart::Mark)); },
         "MouseDown(1,0) MouseUp(1,0) ItemClick(0,1) MarkClick(0)"},
        // The sign toggles on the release, after its own event.
        {"click on the minus sign", [](ControlEvents& t) { t.click(t.at(0, ItemPart::PlusMinus)); },
         "MouseDown(1,0) MouseUp(1,0) ItemClick(0,1) PlusMinusClick(0) Collapse(0)"},
        {"double click on the text", [](ControlEvents& t) { t.doubleClick(t.at(0, ItemPart::Text)); },
         "MouseDown(1,0) MouseUp(1,0) ItemClick(0,1) Click ItemDblClick(0,1) Collapse(0) DblClick "
         "MouseUp(1,0)"},
        {"double click on the sign", [](ControlEvents& t) { t.doubleClick(t.at(0, ItemPart::PlusMinus)); },
         "MouseDown(1,0) MouseUp(1,0) ItemClick(0,1) PlusMinusClick(0) Collapse(0) ItemDblClick(0,1) "
         "PlusMinusDblClick(0) MouseUp(1,0)"},
        // Right and middle clicks never give Click; the word carries Shift.
        {"Shift+right click",
         [](ControlEvents& t) { t.click(t.at(3, ItemPart::Text), Qt::RightButton, Qt::ShiftModifier); },
         "MouseDown(2,1) MouseUp(2,1) ItemClick(3,6)"},
        {"middle click", [](ControlEvents& t) { t.click(t.at(3, ItemPart::Text), Qt::MiddleButton); },
         "MouseDown(4,0) MouseUp(4,0) ItemClick(3,16)"},
        {"click below the rows",
         [](ControlEvents& t) {
             t.click({40, 150});
         },
         "MouseDown(1,0) MouseUp(1,0)"},
        {"Down", [](ControlEvents& t) { t.key(Qt::Key_Down); }, "KeyDown(40,0) KeyUp(40,0)"},
        {"Right", [](ControlEvents& t) { t.key(Qt::Key_Right); }, "KeyDown(39,0) KeyUp(39,0)"},
        {"Space", [](ControlEvents& t) { t.key(Qt::Key_Space, {}, " "); },
         "KeyDown(32,0) KeyPress(32) KeyUp(32,0)"},
        {"a", [](ControlEvents& t) { t.key(Qt::Key_A, {}, "a"); }, "KeyDown(65,0) KeyPress(97) KeyUp(65,0)"},
        {"Shift+A", [](ControlEvents& t) { t.key(Qt::Key_A, Qt::ShiftModifier, "A"); },
         "KeyDown(65,1) KeyPress(65) KeyUp(65,1)"},
        {"Ctrl+C", [](ControlEvents& t) { t.key(Qt::Key_C, Qt::ControlModifier, "c"); },
         "KeyDown(67,2) KeyPress(3) KeyUp(67,2)"},
        // One KeyPress per UTF-16 unit of what the key typed.
        {"a character beyond 16 bits",
         [](ControlEvents& t) { t.key(Qt::Key_unknown, {}, QString::fromUtf8("😀")); },
         "KeyPress(-10179) KeyPress(-8704)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host->clear_answers();
        call("Clear");
        fill();
        showPictures();
        ASSERT_FALSE(view->ItemPartRect(ctrl->Item(0), ItemPart::Picture).IsEmpty());
        ASSERT_FALSE(view->ItemPartRect(ctrl->Item(0), ItemPart::Mark).IsEmpty());
        c.act(*this);
        EXPECT_EQ(host->trace(), c.expected);
    }
}

TEST_F(ControlEvents, KeysMoveTheCurrentItem) {
    fill();
    key(Qt::Key_Down);
    EXPECT_EQ(listIndex(), 1);
    // Right without explorer behaviour: as Down.
    key(Qt::Key_Right);
    EXPECT_EQ(listIndex(), 2);
    key(Qt::Key_End);
    EXPECT_EQ(listIndex(), 3);
    key(Qt::Key_Home);
    EXPECT_EQ(listIndex(), 0);
    // Explorer behaviour: Left closes the open item, then goes to the parent.
    put("ExplorerCompatible", Variant(int16_t(1)));
    key(Qt::Key_Left);
    EXPECT_FALSE(get("Expand", {Variant(int32_t(0))}).to_bool());
    EXPECT_EQ(listIndex(), 0);
    key(Qt::Key_Right);
    EXPECT_TRUE(get("Expand", {Variant(int32_t(0))}).to_bool());
    key(Qt::Key_Right);
    EXPECT_EQ(listIndex(), 1);
    key(Qt::Key_Left);
    EXPECT_EQ(listIndex(), 0);
    EXPECT_EQ(host->count(ev::kCollapse), 1u);
    EXPECT_EQ(host->count(ev::kExpand), 1u);
}

TEST_F(ControlEvents, KeyDownHandlerThatClearsTheCodeTakesTheKey) {
    fill();
    host->answer(ev::kKeyDown, 0, Variant(int16_t(0)));
    key(Qt::Key_Down);
    key(Qt::Key_A, {}, "a");
    // No move, no character, no release.
    EXPECT_EQ(listIndex(), 0);
    EXPECT_EQ(host->trace(), "KeyDown(40,0) KeyDown(65,0)");
    // The next key is the control's again.
    host->clear_answers();
    host->clear();
    key(Qt::Key_Down);
    EXPECT_EQ(host->trace(), "KeyDown(40,0) KeyUp(40,0)");
    EXPECT_EQ(listIndex(), 1);
}

TEST_F(ControlEvents, KeyDownHandlerMayChangeTheKey) {
    fill();
    // Down turned into End.
    host->answer(ev::kKeyDown, 0, Variant(int16_t(35)));
    key(Qt::Key_Down);
    EXPECT_EQ(listIndex(), 3);
}

TEST_F(ControlEvents, TheWheelScrollsThreeLinesAContainerMayCancel) {
    for (int i = 0; i < 40; ++i)
        add("Item " + std::to_string(i));
    host->clear();
    ASSERT_EQ(view->TopRow(), 0);
    wheel({0, -120});
    EXPECT_EQ(host->trace(), "VScroll(0,1,0) VScroll(0,1,0) VScroll(0,1,0)");
    EXPECT_EQ(view->TopRow(), 3);

    host->clear();
    host->answer(ev::kVScroll, 0, Variant(int16_t(-1)));
    wheel({0, 120});
    EXPECT_EQ(host->count(ev::kVScroll), 3u);
    EXPECT_EQ(view->TopRow(), 3);

    // Sideways: HScroll, cancelled.
    host->clear();
    host->answer(ev::kHScroll, 0, Variant(int16_t(-1)));
    wheel({-120, 0});
    EXPECT_EQ(host->trace(), "HScroll(0,1,0) HScroll(0,1,0) HScroll(0,1,0)");
    EXPECT_EQ(view->TopRow(), 3);
}

TEST_F(ControlEvents, ExpandHandlerGetsNoNestedExpand) {
    fill();
    put("Expand", Variant::boolean(false), {Variant(int32_t(0))});
    add("Grandchild", 3);
    put("Expand", Variant::boolean(false), {Variant(int32_t(3))});
    host->clear();
    std::vector<int32_t> inner;
    host->on(ev::kExpand, [&](plat::EventArgs& args) {
        inner.push_back(args.value(0).to_i4());
        // Opening another item from inside the handler.
        put("Expand", Variant::boolean(true), {Variant(int32_t(3))});
    });
    put("Expand", Variant::boolean(true), {Variant(int32_t(0))});
    EXPECT_EQ(inner, std::vector<int32_t>{0});
    EXPECT_TRUE(get("Expand", {Variant(int32_t(3))}).to_bool());
    // Outside a handler each expansion is heard again.
    host->clear_answers();
    put("Expand", Variant::boolean(false), {Variant(int32_t(3))});
    EXPECT_EQ(host->count(ev::kCollapse), 1u);
}

TEST_F(ControlEvents, TriggeredCollapseClosesAndReportsEachOpenDescendant) {
    // Root (0) > Middle (1) > Deep (2) > Leaf (3); Root > Closed (4) > Hidden (5).
    auto build = [this] {
        call("Clear");
        add("Root");
        add("Middle", 0);
        add("Deep", 1);
        add("Leaf", 2);
        add("Closed", 0);
        add("Hidden", 4);
        for (int32_t i : {0, 1, 2})
            put("Expand", Variant::boolean(true), {Variant(i)});
        put("Expand", Variant::boolean(false), {Variant(int32_t(4))});
        host->clear();
    };
    build();
    put("Expand", Variant::boolean(false), {Variant(int32_t(0))});
    EXPECT_EQ(host->trace(), "Collapse(0)");
    EXPECT_TRUE(get("Expand", {Variant(int32_t(1))}).to_bool());

    build();
    put("TriggerEvents", Variant(int16_t(1)));
    put("Expand", Variant::boolean(false), {Variant(int32_t(0))});
    // The deepest first, then the item itself; a closed one is not heard.
    EXPECT_EQ(host->trace(), "Collapse(2) Collapse(1) Collapse(0)");
    for (int32_t i : {0, 1, 2}) {
        EXPECT_FALSE(get("Expand", {Variant(i)}).to_bool()) << i;
    }

    // A handler that removes the whole branch ends the round safely.
    build();
    bool removed = false;
    host->on(ev::kCollapse, [&](plat::EventArgs&) {
        if (!std::exchange(removed, true)) call("RemoveItem", {Variant(int32_t(0))});
    });
    put("Expand", Variant::boolean(false), {Variant(int32_t(0))});
    EXPECT_EQ(host->count(ev::kCollapse), 1u);
    EXPECT_EQ(get("ListCount").to_i4(), 0);
}

TEST_F(ControlEvents, DoubleClicksFollowTheItemsLinkJoinedWithTheBase) {
    fill();
    kltest::ScriptedPrompt opener;
    plat::ui::IPrompt* previous = plat::ui::SetProcessPrompt(&opener);
    struct Case {
        const char* base;
        const char* link;
        const char* opened; // null: nothing opens
    } cases[] = {
        {"http://h.test/docs/", "/a.html", "http://h.test/docs/a.html"},
        {"http://h.test/docs", "a.html#part", "http://h.test/docs/a.html#part"},
        {"http://h.test/", "ftp://other.test/x", "ftp://other.test/x"},
        {"", "javascript:alert(1)", nullptr},
    };
    put("WebAutoNavigate", Variant(int16_t(1)));
    size_t expected = 0;
    for (const Case& c : cases) {
        put("WebURLBase", Variant(std::string_view(c.base)));
        put("ItemURL", Variant(std::string_view(c.link)), {Variant(int32_t(3))});
        if (c.opened) {
            kltest::ExpectedPrompt e;
            e.kind = kltest::PromptKind::Url;
            e.match = c.opened;
            opener.expect(std::move(e));
            ++expected;
        }
        doubleClick(at(3, ItemPart::Text));
        const auto seen = opener.seen();
        ASSERT_EQ(seen.size(), expected) << c.link;
        if (c.opened) { EXPECT_EQ(seen.back().text, c.opened); }
    }
    // Switched off, a double click opens nothing.
    put("WebAutoNavigate", Variant(int16_t(0)));
    doubleClick(at(3, ItemPart::Text));
    EXPECT_EQ(opener.seen().size(), expected);
    opener.verify_done();
    plat::ui::SetProcessPrompt(previous);
}

TEST_F(ControlEvents, PressOnTheCurrentItemKeepsTheClickThere) {
    fill();
    click(at(3, ItemPart::Text));
    host->clear();
    drag(at(3, ItemPart::Text), at(0, ItemPart::Text));
    EXPECT_EQ(host->trace(), "MouseDown(1,0) MouseUp(1,0) ItemClick(3,1) Click");
}

TEST_F(ControlEvents, ClickHandlerMayCloseTheForm) {
    fill();
    const QPoint text = at(3, ItemPart::Text);
    bool closed = false;
    host->on(ev::kClick, [&](plat::EventArgs&) {
        // The form unloads: its control and its container go at once.
        ctl.reset();
        ctrl = nullptr;
        host.reset();
        closed = true;
    });
    QPointer<vinca::CViewWindow> window(view);
    click(text);
    EXPECT_TRUE(closed);
    EXPECT_FALSE(host);
    // The window went out of its handler, from the event loop.
    Flush();
    EXPECT_TRUE(window.isNull());
}

TEST_F(ControlEvents, EditingEventsCarryTheTextBothWays) {
    fill();
    host->answer(ev::kRequestEditing, 2, Variant("Renamed"));
    host->answer(ev::kAfterEditing, 1, Variant("Kept by the form"));
    put("ItemEditText", Variant(int16_t(2)), {Variant(int32_t(3))});
    ASSERT_TRUE(view->IsEditing());
    EXPECT_EQ(view->Editor()->Text(), "Renamed");
    // While it is open, no key is the container's shortcut.
    QKeyEvent del(QEvent::ShortcutOverride, Qt::Key_Delete, Qt::NoModifier);
    del.ignore();
    QApplication::sendEvent(view->Editor()->Widget(), &del);
    EXPECT_TRUE(del.isAccepted());
    put("ItemEditText", Variant(int16_t(1)), {Variant(int32_t(3))});
    EXPECT_EQ(get("List", {Variant(int32_t(3))}).to_utf8(), "Kept by the form");
    EXPECT_EQ(host->trace(), "RequestEditing(0,3,\"Leaf\",960) AfterEditing(3,\"Renamed\",1)");

    // A cancelled request opens nothing.
    host->clear_answers();
    host->answer(ev::kRequestEditing, 0, Variant(int16_t(-1)));
    put("ItemEditText", Variant(int16_t(2)), {Variant(int32_t(3))});
    EXPECT_FALSE(view->IsEditing());
}

// A click on a cell of the grid shown in the window names that cell; the
// cell object stays usable for a handler that kept it.
TEST_F(ControlEvents, GridCellClickNamesTheCellAHandlerMayKeep) {
    add("Item 0");
    add("Item 1");
    add("Item 2");
    put("HasGrid", Variant::boolean(true));
    ASSERT_NE(ctrl->OwnGrid(), nullptr);
    ctrl->OwnGrid()->SetColumnCount(3);
    ctrl->RequestRefresh(1, 0);
    ASSERT_EQ(view->Grid(), ctrl->OwnGrid());
    const vinca::Rect r = view->GridPanes()->CellRect(2, 2);
    ASSERT_FALSE(r.IsEmpty());
    host->clear();
    click(QPoint(r.left + 4, (r.top + r.bottom) / 2));
    Variant kept;
    for (const auto& e : host->events())
        if (e.id == ev::kGridCellClick) kept = e.args[0];
    ASSERT_EQ(kept.vt, plat::VT_DISPATCH);
    host->clear();
    for (auto [name, want] : {std::pair{"Row", 2}, std::pair{"Col", 2}}) {
        Variant v;
        ASSERT_EQ(plat::dispatch_get(kept.pdispVal, name, v), plat::S_OK) << name;
        EXPECT_EQ(v.to_i4(), want) << name;
    }
    // A click on the tree column stays an item click.
    const vinca::Rect tree = view->GridPanes()->CellRect(1, 1);
    click(QPoint(tree.right - 8, (tree.top + tree.bottom) / 2));
    EXPECT_EQ(host->count(ev::kGridCellClick), 0u);
    EXPECT_EQ(host->count(ev::kItemClick), 1u);
}

} // namespace
