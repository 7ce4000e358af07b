#include <QtGui/QFocusEvent>
#include <QtGui/QFontMetrics>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLineEdit>
#include <gtest/gtest.h>

#include "support/offscreen_gui.h"
#include "vinca/model/core_fixtures.h"
#include "vinca/model/item.h"
#include "vinca/views/view_window.h"

using namespace vinca;

namespace {

const bool kGui = kltest::InstallOffscreenGui();

struct EditHost : IViewHost {
    ViewSettings settings;
    CVincaEngine* engine = nullptr;
    bool allowStart = true, accept = true;
    int32_t dropKey = 0;    // a key-down set to 0
    int32_t consumeKey = 0; // a key-down consumed
    std::vector<std::string> log;
    const ViewSettings& Settings() const override { return settings; }
    int32_t ItemIndex(CItem* item) override { return engine->RowOf(item); }
    bool RequestEditing(int32_t index, std::string& text, int32_t& flags) override {
        log.push_back("request " + std::to_string(index) + " " + text);
        return allowStart;
    }
    bool AfterEditing(int32_t index, const std::string& text, int32_t flag) override {
        log.push_back("after " + std::to_string(index) + " " + text + " " + std::to_string(flag));
        return accept;
    }
    bool EditingKeyDown(int32_t, int32_t& key, int32_t) override {
        log.push_back("down " + std::to_string(key));
        if (key == dropKey) key = 0;
        return key != consumeKey || !consumeKey;
    }
    bool EditingKeyPress(int32_t, int32_t& key) override {
        log.push_back("press " + std::to_string(key));
        return true;
    }
    bool EditingKeyUp(int32_t, int32_t& key, int32_t) override {
        log.push_back("up " + std::to_string(key));
        return true;
    }
};

struct Edited {
    CVincaEngine engine;
    EditHost host;
    std::unique_ptr<CViewWindow> window;
    explicit Edited(const std::string& tree, int w = 240) {
        host.engine = &engine;
        coretest::Build(engine.RootNode(), tree);
        engine.ExpandToLevel(100);
        window = std::make_unique<CViewWindow>(engine, host);
        window->resize(w, 160);
    }
    QWidget* Editor() const { return window->Editor() ? window->Editor()->Widget() : nullptr; }
    void Type(int key, const QString& text) {
        QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(Editor(), &down);
        QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QApplication::sendEvent(Editor(), &up);
    }
    void LoseFocus() {
        QFocusEvent out(QEvent::FocusOut, Qt::OtherFocusReason);
        QApplication::sendEvent(Editor(), &out);
        QApplication::processEvents();
    }
};

TEST(LabelEdit, TypingThenLosingTheFocusCommitsTheText) {
    Edited e("Alpha\nBeta");
    CItem* beta = e.engine.RowItem(1);
    ASSERT_EQ(e.window->BeginLabelEdit(beta), VE_OK);
    ASSERT_TRUE(e.window->IsEditing());
    auto* line = qobject_cast<QLineEdit*>(e.Editor());
    ASSERT_TRUE(line);
    EXPECT_EQ(line->selectedText(), "Beta");
    // Starting again on the same item keeps the editor.
    QWidget* first = e.Editor();
    EXPECT_EQ(e.window->BeginLabelEdit(beta), VE_OK);
    EXPECT_EQ(e.Editor(), first);
    e.Type(Qt::Key_G, "G");
    e.Type(Qt::Key_O, "o");
    e.LoseFocus();
    EXPECT_FALSE(e.window->IsEditing());
    EXPECT_EQ(beta->Text(), "Go");
    EXPECT_EQ(e.host.log.back(), "after 1 Go 0");
}

TEST(LabelEdit, RefusedCancelledAndEscapedEditsKeepTheText) {
    {
        Edited e("Alpha");
        e.host.allowStart = false;
        EXPECT_EQ(e.window->BeginLabelEdit(e.engine.RowItem(0)), VE_OK);
        EXPECT_FALSE(e.window->IsEditing());
    }
    {
        Edited e("Alpha");
        e.host.accept = false;
        e.window->BeginLabelEdit(e.engine.RowItem(0));
        e.Type(Qt::Key_X, "x");
        EXPECT_EQ(e.window->CommitLabelEdit(1), VE_OK);
        EXPECT_FALSE(e.window->IsEditing());
        EXPECT_EQ(e.engine.RowItem(0)->Text(), "Alpha");
        EXPECT_EQ(e.host.log.back(), "after 0 x 1");
    }
    {
        Edited e("Alpha");
        e.window->BeginLabelEdit(e.engine.RowItem(0));
        e.Type(Qt::Key_X, "x");
        e.Type(Qt::Key_Escape, QString(QChar(27)));
        QApplication::processEvents();
        EXPECT_FALSE(e.window->IsEditing());
        EXPECT_EQ(e.engine.RowItem(0)->Text(), "Alpha");
        for (const std::string& entry : e.host.log)
            EXPECT_NE(entry.rfind("after", 0), 0u) << entry;
    }
    {
        // Enter commits, unless the key-down event consumed it.
        Edited e("Alpha");
        e.host.consumeKey = 0x0D;
        e.window->BeginLabelEdit(e.engine.RowItem(0));
        e.Type(Qt::Key_Y, "y");
        e.Type(Qt::Key_Return, "\r");
        QApplication::processEvents();
        EXPECT_TRUE(e.window->IsEditing());
        e.host.consumeKey = 0;
        e.Type(Qt::Key_Return, "\r");
        QApplication::processEvents();
        EXPECT_FALSE(e.window->IsEditing());
        EXPECT_EQ(e.engine.RowItem(0)->Text(), "y");
    }
}

TEST(LabelEdit, KeySetToZeroDropsItsCharacterAndKeyUp) {
    Edited e("Alpha");
    e.host.dropKey = 'Q';
    e.window->BeginLabelEdit(e.engine.RowItem(0));
    e.Type(Qt::Key_Q, "q");
    e.Type(Qt::Key_W, "w");
    EXPECT_EQ(qobject_cast<QLineEdit*>(e.Editor())->text(), "w");
    std::vector<std::string> expected = {"request 0 Alpha", "down 81", "down 87", "press 119", "up 87"};
    EXPECT_EQ(e.host.log, expected);
}

TEST(LabelEdit, ItemEditTextActionsAndErrors) {
    Edited e("Alpha\nHidden\nParent\n Child");
    CItem* hidden = e.engine.RowItem(1);
    CItem* child = e.engine.RowItem(3);
    e.engine.SetItemAlwaysHidden(hidden, true);
    e.engine.SetItemExpanded(e.engine.RowItem(1), false); // Parent
    ASSERT_LT(e.engine.RowOf(child), 0);
    struct Case {
        CViewWindow* window;
        CItem* item;
        int32_t action, viewStyle;
        VResult expected;
    } cases[] = {
        {nullptr, child, 2, 0, VE_NO_WINDOW},
        {e.window.get(), hidden, 2, 0, VE_BAD_INDEX},
        {e.window.get(), child, 2, 2, VE_CANNOT_EDIT},
        {e.window.get(), child, 2, 3, VE_CANNOT_EDIT},
        {e.window.get(), child, 7, 0, VE_INVALID_ARGUMENT},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SetItemEditText(c.window, c.item, c.action, c.viewStyle), c.expected) << c.action;
    EXPECT_FALSE(e.window->IsEditing());
    // An item under a collapsed parent is shown first.
    EXPECT_EQ(SetItemEditText(e.window.get(), child, 2, 0), VE_OK);
    EXPECT_TRUE(e.window->IsEditing());
    EXPECT_GE(e.engine.RowOf(child), 0);
    EXPECT_EQ(SetItemEditText(e.window.get(), nullptr, 0, 0), VE_OK);
    EXPECT_FALSE(e.window->IsEditing());
    EXPECT_EQ(child->Text(), "Child");
}

TEST(LabelEdit, EditorIsWideEnoughButStaysInsideTheWindow) {
    {
        Edited e("a");
        e.window->BeginLabelEdit(e.engine.RowItem(0));
        int avg = QFontMetrics(e.Editor()->font()).averageCharWidth();
        EXPECT_GE(e.Editor()->width(), 16 * avg);
        EXPECT_LE(e.Editor()->geometry().right() + 1, e.window->width() - 2 + 1);
    }
    {
        // A deep item in a narrow window: shifted left, never past the edge.
        Edited e("a\n b\n  c\n   d\n    A longer text at depth", 120);
        e.window->BeginLabelEdit(e.engine.RowItem(4));
        QRect g = e.Editor()->geometry();
        EXPECT_GT(g.width(), 0);
        EXPECT_LE(g.x() + g.width(), 120 - 2 + 1);
        EXPECT_GE(g.x(), -1);
    }
}

// Each window ends only its own edit: the end posted by one window's focus
// loss leaves the other's editor open.
TEST(LabelEdit, TwoWindowsKeepTheirOwnEditors) {
    Edited a("One"), b("Two");
    a.window->BeginLabelEdit(a.engine.RowItem(0));
    b.window->BeginLabelEdit(b.engine.RowItem(0));
    ASSERT_TRUE(a.window->IsEditing());
    ASSERT_TRUE(b.window->IsEditing());
    a.LoseFocus();
    EXPECT_FALSE(a.window->IsEditing());
    EXPECT_TRUE(b.window->IsEditing());
    // A focus loss of an editor already replaced does not end the new one.
    b.host.log.clear();
    QFocusEvent out(QEvent::FocusOut, Qt::OtherFocusReason);
    QApplication::sendEvent(b.Editor(), &out);
    b.window->EndLabelEdit();
    b.window->BeginLabelEdit(b.engine.RowItem(0));
    QApplication::processEvents();
    EXPECT_TRUE(b.window->IsEditing());
}

} // namespace
