// The window's frame, rows of one height, and who decides the pointer.
#include <QtGui/QMouseEvent>
#include <QtWidgets/QScrollBar>
#include <gtest/gtest.h>

#include "support/offscreen_gui.h"
#include "view_fixtures.h"
#include "vinca/model/core_fixtures.h"
#include "vinca/model/item.h"
#include "vinca/views/view_window.h"
#include "vinca/views/window_frame.h"

using namespace vinca;
using namespace plat::gdi;

namespace {

const bool kGui = kltest::InstallOffscreenGui();

struct Host : IViewHost {
    ViewSettings settings;
    ViewBehaviour behaviour;
    CRangeSet selected;
    std::string linked;                      // the item text that has a link
    std::map<std::string, int> pictureSizes; // item text -> square picture size
    const ViewSettings& Settings() const override { return settings; }
    const ViewBehaviour& Behaviour() const override { return behaviour; }
    CRangeSet* SelectedRows() override { return &selected; }
    bool ItemHasLink(CItem* item) override { return item && item->Text() == linked; }
    void ItemTreeData(CItem* item, CTreeCellData& data) override {
        auto it = pictureSizes.find(item->Text());
        if (it == pictureSizes.end()) return;
        QImage img(it->second, it->second, QImage::Format_RGB32);
        img.fill(Qt::darkGreen);
        data.picture = CPictureHolder(viewtest::PictureOf(img));
    }
};

struct View {
    CVincaEngine engine;
    Host host;
    std::unique_ptr<CViewWindow> window;
    explicit View(const std::string& tree, int w = 240, int h = 160) {
        coretest::Build(engine.RootNode(), tree);
        engine.ExpandToLevel(100);
    }
    CViewWindow& Open(int w = 240, int h = 160) {
        window = std::make_unique<CViewWindow>(engine, host);
        window->resize(w, h);
        window->EnsureLayout();
        return *window;
    }
};

TEST(WindowFrame, EachBorderStyleInsetsCaptionRowsAndBars) {
    auto sys = [](int32_t index) { return ToQColor(GetSysColor(index)); };
    const QColor base = QApplication::palette().color(QPalette::Base), white(Qt::white);
    const QColor frame = sys(COLOR_WINDOWFRAME), shadow = sys(COLOR_BTNSHADOW);
    struct Case {
        int32_t style, appearance, width;
        QColor topLeft, bottomLeft; // the corner pixels of the window
    };
    const Case cases[] = {
        {0, 1, 0, base, base},
        {1, 0, 1, frame, frame},
        {1, 1, 2, shadow, sys(COLOR_BTNHIGHLIGHT)},
        {2, 1, 2, frame, frame},
        {3, 0, 2, shadow, white}, // inset: dark top and left
        {4, 1, 2, white, shadow}, // outset: light top and left
        {7, 1, 0, base, base},    // unknown: no frame
    };
    for (const Case& c : cases) {
        View v("A\n B\nC\nD\nE\nF\nG\nH\nI\nJ\nK\nL");
        v.host.settings.borderStyle = c.style;
        v.host.settings.appearance = c.appearance;
        v.host.settings.showCaption = 1;
        v.host.settings.caption = "Frame";
        CViewWindow& w = v.Open(200, 120);
        const std::string what = "style " + std::to_string(c.style) + "/" + std::to_string(c.appearance);
        EXPECT_EQ(WindowFrameWidth(c.style, c.appearance), c.width) << what;
        EXPECT_EQ(w.FrameWidth(), c.width) << what;
        // The caption sits inside the frame and spans what is between it.
        EXPECT_EQ(w.Caption()->Width(), 200 - 2 * c.width) << what;
        const Rect rows = w.RowsArea();
        EXPECT_EQ(rows.left, c.width) << what;
        EXPECT_EQ(rows.top, c.width + w.CaptionHeight()) << what;
        EXPECT_EQ(w.RowRect(0).left, c.width) << what;
        EXPECT_EQ(w.RowRect(0).top, rows.top) << what;
        EXPECT_EQ(w.RowFromPoint({c.width - 1, rows.top + 2}), -1) << what;
        EXPECT_EQ(w.RowFromPoint({c.width, rows.top + 2}), 0) << what;
        // The rows overflow: the vertical bar stands inside the frame too.
        const QScrollBar* vbar = nullptr;
        for (QScrollBar* b : w.findChildren<QScrollBar*>())
            if (b->orientation() == Qt::Vertical) vbar = b;
        ASSERT_TRUE(vbar && !vbar->isHidden()) << what;
        EXPECT_EQ(vbar->geometry().right() + 1, 200 - c.width) << what;
        EXPECT_EQ(rows.right, vbar->geometry().left()) << what;
        EXPECT_EQ(vbar->geometry().bottom() + 1, 120 - c.width) << what;

        const QImage img = w.Render();
        EXPECT_EQ(QColor(img.pixel(0, 0)), c.topLeft) << what;
        EXPECT_EQ(QColor(img.pixel(0, 119)), c.bottomLeft) << what;
        // Rows meet the frame: nothing of the frame inside it.
        EXPECT_EQ(QColor(img.pixel(c.width, 110)), base) << what;
        viewtest::Save(img, "frame_" + std::to_string(c.style) + "_" + std::to_string(c.appearance));
    }
}

TEST(WindowFrame, FrameNeverTakesMoreThanTheWindow) {
    View v("A");
    v.host.settings.borderStyle = 4;
    CViewWindow& w = v.Open(3, 3);
    EXPECT_EQ(w.FrameWidth(), 1);
    const Rect rows = w.RowsArea();
    EXPECT_EQ(rows.left, 1);
    EXPECT_EQ(rows.right, 2);
    EXPECT_EQ(rows.bottom, 2);
    w.Render(); // nothing drawn outside the image
    w.resize(0, 0);
    w.EnsureLayout();
    EXPECT_EQ(w.FrameWidth(), 0);
    w.Render();
}

TEST(UniformRows, EveryRowTakesTheFirstRowsHeight) {
    View v("A\nTall\nC");
    v.host.pictureSizes["Tall"] = 40;
    CViewWindow& w = v.Open();
    const int32_t first = w.RowRect(0).Height();
    ASSERT_GE(w.RowRect(1).Height(), 40);
    ASSERT_LT(first, 40);

    v.host.settings.uniformRows = true;
    w.PropertyChanged(ViewProperty::FixedSize);
    for (int32_t row = 0; row < 3; ++row)
        EXPECT_EQ(w.RowRect(row).Height(), first) << row;
    EXPECT_EQ(w.RowRect(2).top, w.RowRect(0).top + 2 * first);

    // The first row sets the height: a tall first row makes every row tall.
    v.host.pictureSizes["A"] = 30;
    w.InvalidateAll();
    EXPECT_EQ(w.RowRect(2).Height(), w.RowRect(0).Height());
    EXPECT_GE(w.RowRect(2).Height(), 30);

    v.host.settings.uniformRows = false;
    w.PropertyChanged(ViewProperty::FixedSize);
    EXPECT_LT(w.RowRect(2).Height(), 30);
}

// A resize tracker of the pane under test: a vertical line at x 100 over
// the whole height, between 20 and 180.
struct TrackerWindow : CViewWindow {
    CResizeTracker line{true};
    TrackerWindow(CVincaEngine& e, IViewHost& h) : CViewWindow(e, h) { line.Setup(20, 180, 80, 0, 1000); }
    CResizeTracker* FindResizeTracker(Point p) override { return line.HitTest(p) ? &line : nullptr; }
};

TEST(CursorClaim, TrackerThenLinkThenThePointer) {
    View v("Plain\nLinked");
    v.host.linked = "Linked";
    v.host.behaviour.mousePointer = 2; // cross
    TrackerWindow w(v.engine, v.host);
    w.resize(240, 160);
    w.EnsureLayout();
    const Rect text0 = w.ItemPartRect(v.engine.RowItem(0), ItemPart::Text);
    const Rect text1 = w.ItemPartRect(v.engine.RowItem(1), ItemPart::Text);
    ASSERT_FALSE(text1.IsEmpty());
    ASSERT_LT(text1.left + 2, 95); // the link lies left of the tracker's band
    struct Case {
        const char* what;
        Point at;
        CursorClaim claim;
        Qt::CursorShape shape;
    };
    const Case cases[] = {
        {"tracker band", {100, text1.top + 2}, CursorClaim::Tracker, Qt::SizeHorCursor},
        {"band edge", {105, 5}, CursorClaim::Tracker, Qt::SizeHorCursor},
        {"linked text", {text1.left + 2, text1.top + 2}, CursorClaim::Link, Qt::PointingHandCursor},
        {"plain text", {text0.left + 2, text0.top + 2}, CursorClaim::Pointer, Qt::CrossCursor},
        {"below the rows", {30, 150}, CursorClaim::Pointer, Qt::CrossCursor},
    };
    for (const Case& c : cases) {
        QCursor shape;
        EXPECT_EQ(w.ClaimCursor(c.at, shape), c.claim) << c.what;
        EXPECT_EQ(shape.shape(), c.shape) << c.what;
    }
    // Held at its limit the tracker shows the split cursor.
    w.line.Setup(20, 180, 0, 0, 1000);
    QCursor shape;
    EXPECT_EQ(w.ClaimCursor({20, 5}, shape), CursorClaim::Tracker);
    EXPECT_EQ(shape.shape(), Qt::SplitHCursor);
}

TEST(CursorClaim, MousePointerShapesTheWindow) {
    View v("A\nB");
    CViewWindow& w = v.Open();
    struct Case {
        int32_t pointer;
        Qt::CursorShape shape;
    };
    const Case cases[] = {{1, Qt::ArrowCursor},      {2, Qt::CrossCursor},       {3, Qt::IBeamCursor},
                          {6, Qt::SizeBDiagCursor},  {7, Qt::SizeVerCursor},     {8, Qt::SizeFDiagCursor},
                          {9, Qt::SizeHorCursor},    {10, Qt::UpArrowCursor},    {11, Qt::WaitCursor},
                          {12, Qt::ForbiddenCursor}, {13, Qt::BusyCursor},       {14, Qt::WhatsThisCursor},
                          {15, Qt::SizeAllCursor},   {16, Qt::ArrowCursor}}; // custom without an icon
    for (const Case& c : cases) {
        v.host.behaviour.mousePointer = c.pointer;
        w.PropertyChanged(ViewProperty::MousePointer);
        EXPECT_TRUE(w.testAttribute(Qt::WA_SetCursor)) << c.pointer;
        EXPECT_EQ(w.cursor().shape(), c.shape) << c.pointer;
    }
    // The default gives the window's own cursor back (a window of its own
    // has the arrow).
    v.host.behaviour.mousePointer = 0;
    w.PropertyChanged(ViewProperty::MousePointer);
    EXPECT_EQ(w.cursor().shape(), Qt::ArrowCursor);

    // A custom pointer takes the icon, its hot spot in the middle; a bitmap
    // is no icon.
    QImage icon(32, 32, QImage::Format_ARGB32);
    icon.fill(Qt::red);
    v.host.behaviour.mousePointer = 16;
    v.host.behaviour.mouseIcon = viewtest::PictureOf(icon, "ICO");
    w.PropertyChanged(ViewProperty::MousePointer);
    EXPECT_EQ(w.cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(w.cursor().hotSpot(), QPoint(16, 16));
    v.host.behaviour.mouseIcon = viewtest::PictureOf(icon, "PNG");
    w.PropertyChanged(ViewProperty::MousePointer);
    EXPECT_EQ(w.cursor().shape(), Qt::ArrowCursor);
}

TEST(CursorClaim, MovesOverTheWindowUpdateThePointer) {
    View v("Plain\nLinked");
    v.host.linked = "Linked";
    CViewWindow& w = v.Open();
    const Rect text1 = w.ItemPartRect(v.engine.RowItem(1), ItemPart::Text);
    auto move = [&](Point p) {
        QPointF at(p.x, p.y);
        QMouseEvent e(QEvent::MouseMove, at, w.mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&w, &e);
    };
    move({text1.left + 2, text1.top + 2});
    EXPECT_EQ(w.cursor().shape(), Qt::PointingHandCursor);
    move({30, 150});
    EXPECT_EQ(w.cursor().shape(), Qt::ArrowCursor);
}

} // namespace
