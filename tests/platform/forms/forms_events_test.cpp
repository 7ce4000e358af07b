// Which events code and the person fire, per control kind: one table.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabBar>
#include <QTest>
#include <QToolButton>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "platform/forms/form.h"
#include "platform/ui/virtual_keys.h"

using namespace plat::forms;

namespace {

// One form with one control of each kind that fires events, each logging
// "name.Event(arg)".
struct EventForm {
    Form form{"frmEvents"};
    std::vector<std::string> log;
    TextBox& txt = form.Add<TextBox>("txt");
    ComboBox& cbo = form.Add<ComboBox>("cbo", -1, nullptr, 2);
    ComboBox& cboEdit = form.Add<ComboBox>("cboEdit", -1, nullptr, 0);
    ListBox& lst = form.Add<ListBox>("lst");
    CheckBox& chk = form.Add<CheckBox>("chk");
    Frame& fra = form.Add<Frame>("fra");
    std::vector<OptionButton*> opt;
    RibbonButton& rib = form.Add<RibbonButton>("rib");
    CommandButton& cmd = form.Add<CommandButton>("cmd");
    TabStrip& tab = form.Add<TabStrip>("tab", -1, nullptr, 3);
    ImageBox& img = form.Add<ImageBox>("img");
    ImageBox& face = form.Add<ImageBox>("face");

    EventForm() {
        form.Move(0, 0, 9000, 9000);
        txt.Move(0, 0, 1500, 300);
        cbo.Move(0, 400, 1500, 300);
        cboEdit.Move(0, 800, 1500, 300);
        lst.Move(0, 1200, 1500, 1200);
        chk.Move(0, 2500, 1500, 300);
        fra.Move(2000, 0, 3000, 1500);
        for (int i = 0; i < 3; ++i) {
            auto& o = form.Add<OptionButton>("opt", i, fra.inner());
            o.Move(100, 250 + i * 350, 2000, 300);
            o.SetCaption("Option " + std::to_string(i));
            opt.push_back(&o);
        }
        rib.Move(2000, 1600, 450, 450);
        cmd.Move(2000, 2200, 1200, 400);
        tab.Move(0, 3000, 6000, 3000);
        img.Move(6500, 0, 450, 450);
        // A face drawn over the command button, letting the mouse through.
        face.Move(2000, 2200, 1200, 400);
        face.SetMouseThrough(true);
        for (auto* l : {&cbo, &cboEdit}) {
            l->AddItem("one");
            l->AddItem("two");
            l->AddItem("three");
        }
        lst.AddItem("a");
        lst.AddItem("b");
        lst.AddItem("c");
        opt[0]->SetValue(true);
        auto logger = [this](const std::string& name, const std::string& event) {
            return [this, name, event](int32_t index) {
                log.push_back(name + "." + event + (index >= 0 ? "(" + std::to_string(index) + ")" : ""));
            };
        };
        txt.Change = logger("txt", "Change");
        cbo.Click = logger("cbo", "Click");
        cboEdit.Click = logger("cboEdit", "Click");
        cboEdit.Change = logger("cboEdit", "Change");
        lst.Click = logger("lst", "Click");
        chk.Click = logger("chk", "Click");
        for (auto* o : opt)
            o->Click = logger("opt", "Click");
        rib.Click = logger("rib", "Click");
        cmd.Click = logger("cmd", "Click");
        tab.TabClick = logger("tab", "Click");
        img.Click = logger("img", "Click");
        face.Click = logger("face", "Click");
        form.Show();
    }
};

void ClickCentre(QWidget* w) {
    QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
}

struct EventCase {
    const char* what;
    std::function<void(EventForm&)> act;
    std::vector<std::string> fired;
};

} // namespace

TEST(FormsEvents, CodeAndUserChangesFireEachEventOnce) {
    const std::vector<EventCase> cases = {
        {"code sets a new text", [](EventForm& f) { f.txt.SetText("abc"); }, {"txt.Change"}},
        {"code sets the same text",
         [](EventForm& f) {
             f.txt.SetText("abc");
             f.log.clear();
             f.txt.SetText("abc");
         },
         {"txt.Change"}},
        {"person types two keys",
         [](EventForm& f) { QTest::keyClicks(f.txt.line_edit(), "xy"); },
         {"txt.Change", "txt.Change"}},
        {"code sets ListIndex", [](EventForm& f) { f.cbo.SetListIndex(1); }, {"cbo.Click"}},
        {"code sets the same ListIndex",
         [](EventForm& f) {
             f.cbo.SetListIndex(1);
             f.log.clear();
             f.cbo.SetListIndex(1);
         },
         {}},
        {"combo Clear and AddItem",
         [](EventForm& f) {
             f.cbo.SetListIndex(2);
             f.log.clear();
             f.cbo.Clear();
             f.cbo.AddItem("x");
             f.cbo.AddItem("y", 0);
         },
         {}},
        {"person picks with the keys",
         [](EventForm& f) {
             f.cbo.combo()->setFocus();
             QTest::keyClick(f.cbo.combo(), Qt::Key_Down);
         },
         {"cbo.Click"}},
        {"person picks in a typing combo",
         [](EventForm& f) {
             f.cboEdit.combo()->setFocus();
             QTest::keyClick(f.cboEdit.combo(), Qt::Key_Down);
         },
         {"cboEdit.Change", "cboEdit.Click"}},
        {"code sets a typing combo's text",
         [](EventForm& f) { f.cboEdit.SetText("free"); },
         {"cboEdit.Change"}},
        {"list: code sets ListIndex", [](EventForm& f) { f.lst.SetListIndex(2); }, {"lst.Click"}},
        {"list: Clear, AddItem and RemoveItem",
         [](EventForm& f) {
             f.lst.SetListIndex(1);
             f.log.clear();
             f.lst.RemoveItem(0);
             f.lst.AddItem("z", 0);
             f.lst.Clear();
             f.lst.AddItem("q");
         },
         {}},
        {"list: person clicks an entry",
         [](EventForm& f) {
             auto* w = f.lst.list();
             QTest::mouseClick(w->viewport(), Qt::LeftButton, {}, w->visualItemRect(w->item(1)).center());
         },
         {"lst.Click"}},
        {"check: code changes Value",
         [](EventForm& f) {
             f.chk.SetValue(1);
             f.chk.SetValue(1);
             f.chk.SetValue(2);
         },
         {"chk.Click", "chk.Click"}},
        {"check: person clicks",
         [](EventForm& f) { QTest::mouseClick(f.chk.check(), Qt::LeftButton, {}, QPoint(6, 10)); },
         {"chk.Click"}},
        {"option: code turns another on",
         [](EventForm& f) {
             f.opt[1]->SetValue(true);
             f.opt[1]->SetValue(true);
         },
         {"opt.Click(1)"}},
        {"option: person clicks another",
         [](EventForm& f) { ClickCentre(f.opt[2]->radio()); },
         {"opt.Click(2)"}},
        {"option: person clicks the one on", [](EventForm& f) { ClickCentre(f.opt[0]->radio()); }, {}},
        {"ribbon: code sets Value", [](EventForm& f) { f.rib.SetValue(true); }, {"rib.Click"}},
        {"ribbon: person clicks", [](EventForm& f) { ClickCentre(f.rib.button()); }, {"rib.Click"}},
        {"ribbon: person clicks the pressed one",
         [](EventForm& f) {
             f.rib.SetValue(true);
             f.log.clear();
             ClickCentre(f.rib.button());
             EXPECT_TRUE(f.rib.Value());
             EXPECT_TRUE(f.rib.button()->isChecked());
         },
         {}},
        {"command: person clicks", [](EventForm& f) { ClickCentre(f.cmd.button()); }, {"cmd.Click"}},
        {"image: person clicks", [](EventForm& f) { ClickCentre(f.img.widget()); }, {"img.Click"}},
        {"face over a button: the button gets the click",
         [](EventForm& f) {
             ASSERT_TRUE(f.face.IsAbove(f.cmd));
             QWidget* under = f.form.client()->childAt(f.face.widget()->geometry().center());
             ASSERT_EQ(under, f.cmd.widget());
             ClickCentre(under);
         },
         {"cmd.Click"}},
        {"tab: code selects another",
         [](EventForm& f) {
             f.tab.SetTab(2);
             f.tab.SetTab(2);
         },
         {"tab.Click(0)"}},
        {"tab: person clicks another",
         [](EventForm& f) {
             auto* bar = f.tab.tab_bar();
             QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
         },
         {"tab.Click(0)"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EventForm f;
        f.log.clear();
        c.act(f);
        EXPECT_EQ(f.log, c.fired);
    }
}

TEST(FormsEvents, ProgramStatesAfterChanges) {
    EventForm f;
    // Adding to an empty list leaves it unselected (Qt alone would select the first).
    f.cbo.Clear();
    f.cbo.AddItem("x");
    EXPECT_EQ(f.cbo.ListIndex(), -1);
    EXPECT_EQ(f.cbo.NewIndex(), 0);
    f.cboEdit.Clear();
    f.cboEdit.SetText("typed");
    f.cboEdit.AddItem("x");
    EXPECT_EQ(f.cboEdit.ListIndex(), -1);
    EXPECT_EQ(f.cboEdit.Text(), "typed");
    // Only the new option is on; the group is per container.
    f.opt[2]->SetValue(true);
    EXPECT_FALSE(f.opt[0]->Value());
    EXPECT_TRUE(f.opt[2]->Value());
    auto& outside = f.form.Add<OptionButton>("optOther");
    outside.SetValue(true);
    EXPECT_TRUE(f.opt[2]->Value());
    // ItemData stays with its entry when another is inserted before it.
    f.lst.SetItemData(1, 42);
    f.lst.AddItem("first", 0);
    EXPECT_EQ(f.lst.ItemData(2), 42);
    EXPECT_EQ(f.lst.List(2), "b");
    // Pressing one ribbon of an array releases the others, by code or click.
    auto& left = f.form.Add<RibbonButton>("ribPair", 0);
    auto& right = f.form.Add<RibbonButton>("ribPair", 1);
    left.Move(0, 3000, 360, 360);
    right.Move(400, 3000, 360, 360);
    left.SetValue(true);
    right.SetValue(true);
    EXPECT_FALSE(left.Value());
    EXPECT_FALSE(left.button()->isChecked());
    ClickCentre(left.button());
    EXPECT_TRUE(left.Value());
    EXPECT_FALSE(right.Value());
    EXPECT_TRUE(f.rib.Value() == false) << "another array is left alone";
}

TEST(FormsEvents, SameTextKeepsTheCaret) {
    EventForm f;
    f.txt.SetText("hello");
    f.txt.line_edit()->setCursorPosition(2);
    f.txt.line_edit()->setSelection(1, 2);
    int changes = 0;
    f.txt.Change = [&](int32_t) { ++changes; };
    f.txt.SetText("hello");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(f.txt.line_edit()->selectionStart(), 1);
    EXPECT_EQ(f.txt.line_edit()->selectedText(), QStringLiteral("el"));
}

TEST(FormsEvents, VisibleAndEnabledAreTheControlsOwnFlags) {
    EventForm f;
    auto& onPage = f.form.Add<Label>("lblPage", -1, f.tab.page(1));
    // Page 1 is not the current tab: Qt hides it, the control stays Visible.
    EXPECT_FALSE(onPage.widget()->isVisible());
    EXPECT_TRUE(onPage.Visible());
    f.form.SetEnabled(false);
    EXPECT_FALSE(f.txt.widget()->isEnabled());
    EXPECT_TRUE(f.txt.Enabled());
    f.txt.SetVisible(false);
    f.tab.SetTab(1);
    EXPECT_FALSE(f.txt.Visible());
    EXPECT_TRUE(onPage.widget()->isVisible());
}

TEST(FormsEvents, MouseEventsArriveInTwips) {
    EventForm f;
    std::vector<std::string> seen;
    auto logger = [&](const char* what) {
        return [&seen, what](int32_t, int32_t button, int32_t shift, int32_t x, int32_t y) {
            seen.push_back(std::string(what) + " " + std::to_string(button) + " " + std::to_string(shift) +
                           " " + std::to_string(x) + "," + std::to_string(y));
        };
    };
    f.lst.MouseDown = logger("down");
    f.lst.MouseUp = logger("up");
    f.form.OnMouseDown = logger("form");
    // The list's viewport reports; X and Y are the list's own.
    QWidget* vp = f.lst.list()->viewport();
    const QPoint at = vp->mapTo(f.lst.widget(), QPoint(5, 3));
    QTest::mouseClick(vp, Qt::RightButton, Qt::ShiftModifier, QPoint(5, 3));
    const std::string xy = std::to_string(at.x() * 15) + "," + std::to_string(at.y() * 15);
    QTest::mouseClick(f.form.client(), Qt::LeftButton, Qt::ControlModifier, QPoint(500, 400));
    // A label ignores the press; it does not reach the form.
    auto& lbl = f.form.Add<Label>("lbl");
    lbl.Move(7500, 7500, 900, 300);
    lbl.MouseDown = logger("label");
    QTest::mouseClick(lbl.widget(), Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_EQ(seen, (std::vector<std::string>{"down 2 1 " + xy, "up 2 1 " + xy, "form 1 2 7500,6000",
                                              "label 1 0 15,15"}));
}

TEST(FormsEvents, KeyPressCanDropOrReplaceTheCharacter) {
    EventForm f;
    std::vector<int> seen;
    f.txt.KeyPress = [&](int32_t, int16_t& key) {
        seen.push_back(key);
        if (key == 'x') key = 0;                                            // dropped
        if (key >= 'a' && key <= 'z') key = static_cast<int16_t>(key - 32); // typed as capital
    };
    int changes = 0;
    f.txt.Change = [&](int32_t) { ++changes; };
    f.txt.line_edit()->setFocus();
    QTest::keyClicks(f.txt.line_edit(), "axb1");
    QTest::keyClick(f.txt.line_edit(), Qt::Key_Return);
    EXPECT_EQ(f.txt.Text(), "AB1");
    EXPECT_EQ(seen, (std::vector<int>{'a', 'x', 'b', '1', 13}));
    EXPECT_EQ(changes, 3);
    // KeyDown's code set to 0 drops the key before KeyPress.
    f.txt.KeyDown = [](int32_t, int16_t& code, int16_t) {
        if (code == plat::ui::VK_DELETE || code == 'Q') code = 0;
    };
    f.txt.line_edit()->setCursorPosition(0);
    QTest::keyClick(f.txt.line_edit(), Qt::Key_Delete);
    QTest::keyClick(f.txt.line_edit(), Qt::Key_Q);
    EXPECT_EQ(f.txt.Text(), "AB1");
    EXPECT_EQ(seen.size(), 5u);
}
