// A host that keeps no row set of its own: the window's selected rows are
// the tree's own marks, read when the window opens, when rows come back and
// when the tree changes them, and written back when the mouse selects.
#include <QtGui/QMouseEvent>
#include <gtest/gtest.h>

#include "support/offscreen_gui.h"
#include "vinca/model/core_fixtures.h"
#include "vinca/views/view_window.h"

using namespace vinca;
using namespace plat::gdi;

namespace {

const bool kGui = kltest::InstallOffscreenGui();

struct Host : IViewHost {
    ViewSettings settings;
    const ViewSettings& Settings() const override { return settings; }
    int32_t SelectionMode() const override { return SELECT_EXTENDED; }
};

struct View {
    CVincaEngine engine;
    Host host;
    std::unique_ptr<CViewWindow> window;
    explicit View(const std::string& tree) {
        coretest::Build(engine.RootNode(), tree);
        engine.ExpandToLevel(100);
    }
    void Open() {
        window = std::make_unique<CViewWindow>(engine, host);
        window->resize(240, 200);
        window->Render();
    }
    void Click(int32_t row, Qt::KeyboardModifiers mods) {
        Rect r = window->RowRect(row);
        QPointF at(150, (r.top + r.bottom) / 2);
        QMouseEvent press(QEvent::MouseButtonPress, at, window->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, mods);
        QApplication::sendEvent(window.get(), &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, window->mapToGlobal(at), Qt::LeftButton,
                            Qt::NoButton, mods);
        QApplication::sendEvent(window.get(), &release);
    }
    std::string Rows() {
        std::string out;
        for (int32_t r = 0; r < window->RowCount(); ++r)
            if (window->IsRowSelected(r)) out += (out.empty() ? "" : " ") + engine.RowItem(r)->Text();
        return out;
    }
    std::string Marks() {
        std::string out;
        for (CItem* item : engine.SelectedRowItems())
            out += (out.empty() ? "" : " ") + item->Text();
        return out;
    }
};

TEST(SelectionMirror, TheWindowShowsTheTreesMarksAndWritesClicksBack) {
    View v("A\n B\n C\nD\nE");
    v.engine.SetSelected(v.engine.RowItem(2), true); // C, before any window
    v.Open();
    EXPECT_EQ(v.Rows(), "C");

    // The tree selects and deselects: the rows follow.
    v.engine.SetSelected(v.engine.RowItem(4), true);
    EXPECT_EQ(v.Rows(), "C E");
    v.engine.SetSelected(v.engine.RowItem(4), false);
    EXPECT_EQ(v.Rows(), "C");

    // The mouse selects: the tree's marks follow.
    v.Click(3, Qt::ControlModifier);
    EXPECT_EQ(v.Marks(), "C D");
    v.Click(0, Qt::NoModifier);
    EXPECT_EQ(v.Marks(), "A");
    v.Click(2, Qt::ShiftModifier);
    EXPECT_EQ(v.Marks(), "A B C");
    EXPECT_EQ(v.Rows(), "A B C");

    // A closed item's rows go; opened again, they come back selected.
    CItem* a = v.engine.RowItem(0);
    ASSERT_EQ(v.engine.SetItemExpanded(a, false), VE_OK);
    EXPECT_EQ(v.Rows(), "A");
    ASSERT_EQ(v.engine.SetItemExpanded(a, true), VE_OK);
    EXPECT_EQ(v.Rows(), "A B C");

    // Items inserted before keep the rows on their items.
    ASSERT_EQ(v.engine.InsertItem({v.engine.RootNode(), 0}, "first", 0, 0), VE_OK);
    ASSERT_EQ(v.engine.RowItem(0)->Text(), "first");
    EXPECT_EQ(v.Rows(), "A B C");

    v.engine.ClearSelection();
    EXPECT_EQ(v.Rows(), "");
    EXPECT_EQ(v.Marks(), "");
}

} // namespace
