#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtWidgets/QScrollBar>
#include <functional>
#include <gtest/gtest.h>

#include "support/offscreen_gui.h"
#include "view_fixtures.h"
#include "vinca/model/core_fixtures.h"
#include "vinca/views/view_window.h"

using namespace vinca;
using namespace plat::gdi;

namespace {

const bool kGui = kltest::InstallOffscreenGui();

struct Host : IViewHost {
    ViewSettings settings;
    ViewBackground background;
    const ViewBackground& Background() const override { return background; }
    ViewBehaviour behaviour;
    const ViewBehaviour& Behaviour() const override { return behaviour; }
    std::vector<VResult> errors;
    CRangeSet selected;
    int32_t mode = 0;
    const ViewSettings& Settings() const override { return settings; }
    void RaiseError(VResult code) override { errors.push_back(code); }
    CRangeSet* SelectedRows() override { return &selected; }
    int32_t SelectionMode() const override { return mode; }
};

struct View {
    CVincaEngine engine;
    Host host;
    std::unique_ptr<CViewWindow> window;
    explicit View(const std::string& tree, int w = 240, int h = 160, int32_t mode = 0) {
        host.mode = mode;
        coretest::Build(engine.RootNode(), tree);
        engine.ExpandToLevel(100);
        window = std::make_unique<CViewWindow>(engine, host);
        window->resize(w, h);
    }
    void Click(Point p, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QPointF at(p.x, p.y);
        QMouseEvent press(QEvent::MouseButtonPress, at, window->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, mods);
        QApplication::sendEvent(window.get(), &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, window->mapToGlobal(at), Qt::LeftButton,
                            Qt::NoButton, mods);
        QApplication::sendEvent(window.get(), &release);
    }
    void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent ev(QEvent::KeyPress, key, mods);
        QApplication::sendEvent(window.get(), &ev);
    }
};

std::string Numbered(int n) {
    std::string t;
    for (int i = 0; i < n; ++i)
        t += "item " + std::to_string(i) + "\n";
    return t;
}

TEST(ViewWindow, RowsStackAndMapToPoints) {
    View v("A\n B\n  C\n  D\n E\nF");
    ASSERT_EQ(v.window->RowCount(), 6);
    Rect r0 = v.window->RowRect(0), r1 = v.window->RowRect(1);
    EXPECT_EQ(r0.top, 0);
    EXPECT_EQ(r1.top, r0.bottom);
    EXPECT_GT(r0.Height(), 6);
    EXPECT_EQ(v.window->RowFromPoint({5, r1.top}), 1);
    EXPECT_EQ(v.window->RowFromPoint({5, r1.top - 1}), 0);
    EXPECT_EQ(v.window->RowFromPoint({5, 159}), -1);
    viewtest::Save(v.window->Render(), "tree_view");
}

TEST(ViewWindow, PlusMinusClickCollapsesAndExpandsThroughTheEngine) {
    View v("A\n B\n  C\n  D\n E\nF");
    v.window->SetCurrentRow(5);
    const auto* cell = v.window->TreePane().MeasuredCell(0);
    Rect pm = cell->PlusMinusRect();
    v.Click({pm.left + 2, pm.top + 2});
    EXPECT_EQ(v.window->RowCount(), 2);
    EXPECT_FALSE(v.engine.RowItem(0)->IsExpanded());
    EXPECT_EQ(v.window->CurrentRow(), 1); // F moved up with its row
    v.Click({pm.left + 2, pm.top + 2});
    EXPECT_EQ(v.window->RowCount(), 6);
    // A click elsewhere on a row makes it current.
    Rect r3 = v.window->RowRect(3);
    v.Click({200, r3.top + 1});
    EXPECT_EQ(v.window->CurrentRow(), 3);
}

TEST(ViewWindow, ScrollingFollowsTheBarAndTheKeys) {
    View v(Numbered(100));
    int32_t page = v.window->RowsPerPage();
    ASSERT_GT(page, 3);
    v.window->SetTopRow(5);
    EXPECT_EQ(v.window->RowFromPoint({5, 0}), 5);
    QScrollBar* bar = v.window->findChild<QScrollBar*>();
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->value(), 5);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(v.window->TopRow(), 5 + page);
    v.window->SetTopRow(1000);
    EXPECT_EQ(v.window->RowFromPoint({5, v.window->RowRect(99).top}), 99);
    EXPECT_EQ(v.window->RowRect(99).bottom <= 160, true);

    v.window->SetTopRow(0);
    v.Key(Qt::Key_End);
    EXPECT_EQ(v.window->CurrentRow(), 99);
    EXPECT_FALSE(v.window->RowRect(99).IsEmpty());
    v.Key(Qt::Key_Home);
    EXPECT_EQ(v.window->TopRow(), 0);
    v.Key(Qt::Key_Down);
    v.Key(Qt::Key_Down);
    EXPECT_EQ(v.window->CurrentRow(), 2);

    // A jump down puts the row on the last line of the page; one up, on the first.
    v.window->SetCurrentRow(70);
    int32_t top = v.window->TopRow();
    EXPECT_EQ(top, 70 - page + 1);
    EXPECT_LE(v.window->RowRect(70).bottom, 160);
    v.window->SetCurrentRow(40);
    EXPECT_EQ(v.window->TopRow(), 40);
}

TEST(ViewWindow, ScrollingOneRowPaintsWhatAFreshViewPaints) {
    View a(Numbered(30)), b(Numbered(30));
    a.window->Render();
    a.window->SetTopRow(1);
    b.window->SetTopRow(1);
    EXPECT_EQ(a.window->Render(), b.window->Render());
}

TEST(ViewWindow, RowsChangedOrResizedWhileScrolledPaintWhatAFreshViewPaints) {
    // Rows taken away around the page (told as rows removed, then the
    // owner's row inserted again) and a lower window: the measured rows
    // follow, and nothing measured before shows.
    std::string kids;
    for (int i = 0; i < 10; ++i)
        kids += " g" + std::to_string(i) + "\n";
    const std::string head = Numbered(10) + "G\n", tail = "H\nI\n" + Numbered(20);
    View a(head + kids + tail);
    a.window->Render();
    a.window->SetTopRow(8);
    a.window->Render();
    ASSERT_EQ(a.engine.RemoveChildren({a.engine.RootNode(), 10}), VE_OK);
    ASSERT_EQ(a.window->RowCount(), 33);
    View b(head + tail);
    b.window->SetTopRow(8);
    EXPECT_EQ(a.window->Render(), b.window->Render());
    a.window->resize(240, 100);
    View c(head + tail, 240, 100);
    c.window->SetTopRow(8);
    EXPECT_EQ(a.window->Render(), c.window->Render());
    // The page is the lower window's: rows below it have no rectangle.
    const Rect area = a.window->RowsArea();
    for (int32_t row = 8; row < 20; ++row) {
        const Rect r = a.window->RowRect(row);
        EXPECT_EQ(r, c.window->RowRect(row)) << row;
        EXPECT_EQ(r.IsEmpty(), a.window->RowRectAnywhere(row).top >= area.bottom) << row;
    }
    const int32_t bottom = a.window->BottomRow();
    EXPECT_LE(a.window->RowRect(bottom).bottom, area.bottom);
    EXPECT_GT(a.window->RowRectAnywhere(bottom + 1).bottom, area.bottom);
    EXPECT_EQ(a.window->RowsPerPage(), bottom - 8 + 1);
}

TEST(ViewWindow, SelectionGoesIntoTheHostsSetAndShows) {
    View v(Numbered(8), 240, 160, 2);
    auto mid = [&](int row) {
        Rect r = v.window->RowRect(row);
        return Point{150, (r.top + r.bottom) / 2};
    };
    v.Click(mid(1));
    v.Click(mid(3), Qt::ShiftModifier);
    EXPECT_EQ(v.host.selected.Count(), 3);
    EXPECT_TRUE(v.host.selected.Contains(2));
    v.Click(mid(5), Qt::ControlModifier);
    EXPECT_EQ(v.host.selected.Count(), 4);
    v.Key(Qt::Key_Down, Qt::ShiftModifier);
    v.Key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(v.window->CurrentRow(), 7);
    EXPECT_TRUE(v.host.selected.Contains(7));
    QImage img = v.window->Render();
    viewtest::Save(img, "tree_view_selection");
    // A selected row's text background takes the highlight colour.
    QColor highlight = QApplication::palette().color(QPalette::Highlight);
    Rect r6 = v.window->RowRect(6);
    bool found = false;
    for (int x = 0; x < 200 && !found; ++x)
        found = QColor(img.pixel(x, r6.top + 2)) == highlight;
    EXPECT_TRUE(found);
    v.Key(Qt::Key_Home);
    EXPECT_EQ(v.host.selected.Count(), 1);
}

TEST(ViewWindow, EngineChangesReachTheRows) {
    View v("A\nB\n C\nD");
    v.window->SetCurrentRow(3);
    ASSERT_EQ(v.window->RowCount(), 4);
    // Collapsing B through the engine takes C's row away; D keeps the current row.
    ASSERT_EQ(v.engine.SetItemExpanded(v.engine.RowItem(1), false), VE_OK);
    EXPECT_EQ(v.window->RowCount(), 3);
    EXPECT_EQ(v.engine.RowItem(v.window->CurrentRow())->Text(), "D");
    ASSERT_EQ(v.engine.RemoveItem(v.engine.RowItem(0)), VE_OK);
    EXPECT_EQ(v.window->RowCount(), 2);
    EXPECT_EQ(v.engine.RowItem(v.window->CurrentRow())->Text(), "D");
}

} // namespace

namespace {

TEST(ViewWindow, CaptionsFlatAndRaisedAboveRowsAndBar) {
    struct Case {
        int32_t show;
        const char* caption;
        QPalette::ColorRole back;
    } cases[] = {{1, "Flat caption", QPalette::Base},
                 {2, "Raised caption", QPalette::Button},
                 {2, "", QPalette::Button}};
    QImage both(240, 3 * 100, QImage::Format_RGB32);
    both.fill(Qt::white);
    int at = 0;
    for (const Case& c : cases) {
        CVincaEngine engine;
        coretest::Build(engine.RootNode(), Numbered(30));
        Host host;
        host.settings.showCaption = c.show;
        host.settings.caption = c.caption;
        CViewWindow w(engine, host);
        w.resize(240, 100);
        QImage img = w.Render();
        int32_t ch = w.CaptionHeight();
        ASSERT_GT(ch, 6) << c.caption; // an empty caption keeps a line of one blank
        // The caption spans the rows and the scroll bar.
        EXPECT_EQ(w.Caption()->Width(), 240);
        EXPECT_EQ(w.RowRect(w.TopRow()).top, ch);
        EXPECT_EQ(w.RowFromPoint({5, ch - 1}), -1);
        EXPECT_EQ(QColor(img.pixel(236, ch / 2)), QApplication::palette().color(c.back)) << c.caption;
        if (c.show == 2) {
            EXPECT_EQ(QColor(img.pixel(0, 0)), QColor(Qt::white)); // raised: light top-left edge
            EXPECT_EQ(QColor(img.pixel(239, ch - 1)), QApplication::palette().color(QPalette::Dark));
        }
        QScrollBar* bar = w.findChild<QScrollBar*>();
        EXPECT_EQ(bar->geometry().top(), ch);
        QPainter p(&both);
        p.drawImage(0, at, img);
        at += 100;
    }
    viewtest::Save(both, "captions");
}

} // namespace

namespace {

TEST(ViewWindow, RedrawLockPaintsOnceAtItsEnd) {
    View v("A\n B\nC");
    int32_t before = v.window->RepaintRequests();
    v.window->BeginRedrawLock();
    v.window->BeginRedrawLock();
    v.engine.SetItemExpanded(v.engine.RowItem(0), false);
    v.engine.SetItemExpanded(v.engine.RowItem(0), true);
    v.window->SetCurrentRow(2);
    v.window->EndRedrawLock();
    EXPECT_EQ(v.window->RepaintRequests(), before);
    v.window->EndRedrawLock();
    EXPECT_EQ(v.window->RepaintRequests(), before + 1);
    v.window->EndRedrawLock(); // unbalanced: nothing
    EXPECT_EQ(v.window->RepaintRequests(), before + 1);
    EXPECT_EQ(v.window->RowCount(), 3);
}

TEST(ViewWindow, SuspendedDrawingShowsItsPictureAndTheRebuildKeepsRowsByItem) {
    std::string tree = "P\n";
    for (int i = 0; i < 40; ++i)
        tree += " item " + std::to_string(100 + i) + "\n";
    View v(tree, 240, 160, 2);
    v.window->show();
    CItem* parent = v.engine.RowItem(0);
    v.window->SetTopRow(10);
    v.window->SetCurrentRow(12); // moves the current row only: it is selected below
    v.host.selected.Add(12, 12);
    v.host.selected.Add(5, 5);
    v.host.selected.Add(7, 7);
    CItem* top = v.engine.RowItem(10);
    CItem* current = v.engine.RowItem(12);
    std::vector<CItem*> chosen;
    for (int32_t r = 0; r < v.window->RowCount(); ++r)
        if (v.host.selected.Contains(r)) chosen.push_back(v.engine.RowItem(r));
    ASSERT_EQ(chosen.size(), 3u); // the current row and the two added
    std::vector<uint16_t> flags;
    for (CItem* item : chosen)
        flags.push_back(item->Flags());
    QImage before = v.window->Render();

    v.window->SuspendRedraw();
    v.window->SuspendRedraw();                           // nested
    ASSERT_EQ(v.engine.SetItemSorted(parent, 3), VE_OK); // the order turns round
    ASSERT_EQ(v.engine.RemoveItem(v.engine.RowItem(1)), VE_OK);
    // Paints meanwhile show the picture taken when drawing stopped.
    EXPECT_EQ(v.window->grab().toImage().convertToFormat(QImage::Format_RGB32),
              before.convertToFormat(QImage::Format_RGB32));
    v.window->ResumeRedraw();
    EXPECT_FALSE(v.window->CanRedraw());
    v.window->ResumeRedraw();
    EXPECT_TRUE(v.window->CanRedraw());

    EXPECT_EQ(v.window->RowCount(), 40);
    EXPECT_EQ(v.window->TopRow(), v.engine.RowOf(top));
    EXPECT_EQ(v.window->CurrentRow(), v.engine.RowOf(current));
    EXPECT_EQ(v.host.selected.Count(), 3);
    for (size_t i = 0; i < chosen.size(); ++i) {
        EXPECT_TRUE(v.host.selected.Contains(v.engine.RowOf(chosen[i])));
        EXPECT_EQ(chosen[i]->Flags(), flags[i]); // sort bits and all untouched
    }
    EXPECT_EQ(parent->SortMethod(), 3);
    EXPECT_NE(v.window->Render(), before);
}

TEST(ViewWindow, NamedPropertyChangesAndRedrawFlags) {
    View v("A\n B\nC");
    v.window->Render();
    EXPECT_EQ(v.window->CaptionHeight(), 0);
    v.host.settings.showCaption = 1;
    v.window->PropertyChanged(ViewProperty::ShowCaption);
    EXPECT_GT(v.window->CaptionHeight(), 0);
    v.host.settings.indent = 30;
    v.window->PropertyChanged(ViewProperty::Indent);
    v.window->RowRect(1); // lays row 1 out again
    const auto* cell = v.window->TreePane().MeasuredCell(1);
    EXPECT_EQ(cell->PlusMinusRect().left, 30); // B at level 1 moved with the new indent
    v.host.mode = 2;
    v.window->PropertyChanged(ViewProperty::SelectionMode);
    EXPECT_EQ(v.window->Tracker().SelectionMode(), 2);
    int32_t before = v.window->RepaintRequests();
    v.window->Redraw(RedrawFlag::Repaint);
    v.window->Redraw(RedrawFlags());
    EXPECT_EQ(v.window->RepaintRequests(), before + 1);
}

TEST(ViewWindow, EachNamedPropertyHasItsReaction) {
    // What the control changed, and what the window shows of it afterwards.
    struct Case {
        ViewProperty property;
        std::function<void(View&)> change;
        std::function<bool(View&)> reacted;
    };
    // A bigger font set behind the window's back: only a new layout makes
    // the first row taller.
    auto silently = [](View& v) { v.host.settings.font.size = 240000; };
    auto relaid = [](View& v) { return v.window->RowRect(0).Height() > 30; };
    const Case cases[] = {
        {ViewProperty::BackColor, silently, relaid},
        {ViewProperty::Background, silently, relaid},
        {ViewProperty::MarkPicture, silently, relaid},
        {ViewProperty::Palette, silently, relaid},
        {ViewProperty::ScrollBars, [](View& v) { v.host.behaviour.scrollBars = 1; },
         [](View& v) { return v.window->findChild<QScrollBar*>()->isHidden(); }},
        {ViewProperty::ToolTipsMode, [](View& v) { v.host.behaviour.toolTipsOn = true; },
         [](View& v) { return v.window->ToolTip().IsEnabled(); }},
        {ViewProperty::ToolTipsDelay, [](View& v) { v.host.behaviour.toolTipsDelay = 0; },
         [](View& v) { return v.window->ToolTip().ShowDelay() == 0; }},
        {ViewProperty::ToolTipsColors,
         [](View& v) {
             v.host.behaviour.toolTipsViewStyle = 1;
             v.host.behaviour.toolTipsBackColor = 0x00FF00;
         },
         [](View& v) {
             return v.window->ToolTip().ViewStyle() == 1 && v.window->ToolTip().BackColor() == 0x00FF00;
         }},
        {ViewProperty::Environment, [](View& v) { v.host.behaviour.environment = 2; },
         [](View& v) { return v.window->ToolTip().HideDelay() == 5000 && v.window->ToolTip().AutoHide(); }},
        {ViewProperty::AutoDragMode, [](View& v) { v.host.behaviour.autoDragMode = 2; },
         [](View& v) { return v.window->Tracker().DragMode() == 2; }},
        {ViewProperty::SmartDrag, [](View& v) { v.host.behaviour.smartDrag = true; },
         [](View& v) { return v.window->SmartDrag(); }},
        {ViewProperty::HiddenItems,
         [](View& v) {
             v.engine.SetItemAlwaysHidden(v.engine.RowItem(1), true);
             v.engine.m_showHiddenItems = true;
         },
         [](View& v) { return v.window->RowCount() == 30 && v.window->CanRedraw(); }},
    };
    for (const Case& c : cases) {
        View v(Numbered(30));
        v.window->Render();
        ASSERT_GT(v.window->TreePane().MeasuredRows(), 0u);
        ASSERT_FALSE(v.window->findChild<QScrollBar*>()->isHidden());
        c.change(v);
        EXPECT_FALSE(c.reacted(v)) << "already so before: property " << int(c.property);
        v.window->PropertyChanged(c.property);
        EXPECT_TRUE(c.reacted(v)) << "property " << int(c.property);
    }

    // A short list: the bar stays, disabled, when no scrolling is wanted.
    View shortList("A\nB");
    shortList.host.behaviour.disableNoScroll = true;
    shortList.window->PropertyChanged(ViewProperty::DisableNoScroll);
    QScrollBar* bar = shortList.window->findChild<QScrollBar*>();
    EXPECT_FALSE(bar->isHidden());
    EXPECT_FALSE(bar->isEnabled());
    // Highlight and focus changes only repaint.
    for (ViewProperty p : {ViewProperty::DragHighlight, ViewProperty::FocusRect}) {
        int32_t before = shortList.window->RepaintRequests();
        shortList.window->PropertyChanged(p);
        EXPECT_EQ(shortList.window->RepaintRequests(), before + 1);
    }
}

TEST(ViewWindow, RedrawFlagsEndEditingAndTheTip) {
    View v("a row long enough for the window to cut it off at its right edge\nB", 120, 160);
    v.window->show();
    ASSERT_EQ(v.window->BeginLabelEdit(v.engine.RowItem(1)), VE_OK);
    ASSERT_TRUE(v.window->IsEditing());
    v.window->Redraw(RedrawFlag::Repaint);
    EXPECT_TRUE(v.window->IsEditing());
    v.window->Redraw(RedrawFlag::EndEditing);
    EXPECT_FALSE(v.window->IsEditing());
    EXPECT_EQ(v.engine.RowItem(1)->Text(), "B");

    CItemToolTip& tip = v.window->ToolTip();
    tip.SetEnabled(true);
    tip.SetShowDelay(0);
    Rect r = v.window->RowRect(0);
    QPointF at(40, (r.top + r.bottom) / 2);
    struct Still : IToolTipDesktop {
        Point at;
        Point CursorPos() const override { return at; }
        bool IsActive(QWidget*) const override { return true; }
    };
    auto desktop = std::make_shared<Still>();
    QPoint g = v.window->mapToGlobal(at.toPoint());
    desktop->at = {g.x(), g.y()};
    tip.SetDesktop(desktop);
    QMouseEvent move(QEvent::MouseMove, at, v.window->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(v.window.get(), &move);
    ASSERT_TRUE(tip.IsShown());
    v.window->Redraw(RedrawFlag::ToolTip);
    EXPECT_FALSE(tip.IsShown());
}

TEST(ViewWindow, RowsLetAGradientBackgroundThrough) {
    View v(Numbered(4), 240, 160);
    v.host.background.gradientStyle = 1; // left to right
    v.host.background.gradientFrom = 0x0000FF;
    v.host.background.gradientTo = 0xFF0000;
    v.window->PropertyChanged(ViewProperty::Background);
    QImage img = v.window->Render();
    viewtest::Save(img, "gradient_background");
    Rect row = v.window->RowRect(1);
    int y = row.top + 1;
    // Red at the left, blue at the right, inside a row and below the rows.
    int right = row.right - 2;
    for (int at : {y, 150}) {
        QColor left(img.pixel(0, at)), far(img.pixel(right, at));
        EXPECT_GT(left.red(), 200) << at;
        EXPECT_LT(left.blue(), 60) << at;
        EXPECT_GT(far.blue(), 180) << at;
        EXPECT_LT(far.red(), 80) << at;
    }
    // Without a gradient the rows are the window colour again.
    v.host.background.gradientStyle = 0;
    v.window->PropertyChanged(ViewProperty::Background);
    EXPECT_EQ(QColor(v.window->Render().pixel(right, y)), QColor(Qt::white));
}

} // namespace
