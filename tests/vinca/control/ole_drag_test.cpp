// Dragging onto and between tree-list controls made by class id in host
// widgets: drops of the window system reported as OLEDragOver and
// OLEDragDrop, and items dragged with the mouse from one control to another
// as a form's code drives it through OnDragOver and OnDragDrop.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <QtCore/QDir>
#include <QtCore/QMimeData>
#include <QtCore/QUrl>
#include <QtGui/QClipboard>
#include <QtGui/QDropEvent>
#include <QtGui/QGuiApplication>
#include <QtGui/QMouseEvent>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QScrollBar>

#include "platform/com/dispatch_client.h"
#include "platform/com/event_sink.h"
#include "platform/com/loader.h"
#include "platform/forms/control_host.h"
#include "platform/ui/window_table.h"
#include "support/temp_dir.h"

using plat::Variant;

namespace {

constexpr plat::CLSID kControl = plat::make_guid("9D998150-B884-11CE-8D47-444553540000");
constexpr plat::IID kEvents = plat::make_guid("9D998152-B884-11CE-8D47-444553540000");
constexpr plat::DISPID kOLEDragDrop = 21, kOLEDragOver = 22, kAutoDragRequest = 28, kAutoDragComplete = 29;

Variant Str(std::string_view s) {
    return Variant(s);
}

// One control in its host, with the events it fires.
struct Tree {
    plat::forms::ControlHost host;
    plat::ComPtr<plat::IDispatch> ctl;
    plat::ComPtr<plat::IDispatch> sink;
    uint32_t cookie{0};
    bool hears{false}; // the control offers its events
    std::vector<plat::DISPID> events;
    std::function<void(plat::DISPID, plat::EventArgs&)> onEvent;

    explicit Tree(QWidget* parent) : host(parent) {
        host.resize(200, 200);
        ctl = host.create(kControl);
        sink = plat::make_event_sink(kEvents, [this](plat::DISPID id, plat::EventArgs& args) {
            events.push_back(id);
            if (onEvent) onEvent(id, args);
        });
        hears = ctl && plat::SUCCEEDED(plat::connect_events(ctl.get(), kEvents, sink.get(), cookie));
    }
    ~Tree() {
        if (hears) plat::disconnect_events(ctl.get(), kEvents, cookie);
    }
    QWidget* view() const { return plat::ui::WindowFromHandle(host.control_window()); }

    Variant get(std::string_view name, std::vector<Variant> index = {}) {
        Variant v;
        plat::CallError e;
        EXPECT_EQ(plat::dispatch_get(ctl.get(), name, v, index, &e), plat::S_OK) << name << ": " << e.number;
        return v;
    }
    // The error number a put raises (0 when it worked).
    int put(std::string_view name, const Variant& value, std::vector<Variant> index = {}) {
        plat::CallError e;
        plat::dispatch_put(ctl.get(), name, value, index, &e);
        return e.number;
    }
    Variant call(std::string_view name, std::vector<Variant> args = {}) {
        Variant v;
        plat::CallError e;
        EXPECT_EQ(plat::dispatch_call(ctl.get(), name, args, &v, &e), plat::S_OK) << name << ": " << e.number;
        return v;
    }
    int32_t add(const char* text, int32_t parent = -1) {
        std::vector<Variant> args{Str(text)};
        if (parent >= 0) args.emplace_back(parent);
        call("AddItem", args);
        return get("NewIndex").to_i4();
    }
    // The items in index order, a dot per level: "A,.A1,B".
    std::string outline() {
        std::string out;
        const int32_t n = get("ListCount").to_i4();
        for (int32_t i = 0; i < n; ++i) {
            if (!out.empty()) out += ',';
            out += std::string(static_cast<size_t>(std::max(0, get("Indent", {Variant(i)}).to_i4())), '.');
            out += get("List", {Variant(i)}).to_utf8();
        }
        return out;
    }
    // A point on the text of the n-th row from the top, in the control
    // window: the rows are found as the bands of text the window shows.
    QPoint rowPoint(int32_t row) {
        QApplication::processEvents();
        const QImage img = view()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        // Text is dark; a selected row is a coloured band.
        auto ink = [](QRgb c) {
            const int hi = std::max({qRed(c), qGreen(c), qBlue(c)}),
                      lo = std::min({qRed(c), qGreen(c), qBlue(c)});
            return qGray(c) < 90 || hi - lo > 60;
        };
        std::vector<std::pair<int, int>> bands; // first and last line of each row's text
        bool inText = false;
        for (int y = 0; y < img.height(); ++y) {
            bool dark = false;
            for (int x = 0; x < img.width() - 20 && !dark; ++x)
                dark = ink(img.pixel(x, y));
            if (dark && !inText) bands.push_back({y, y});
            if (dark) bands.back().second = y;
            inText = dark;
        }
        EXPECT_LT(row, static_cast<int32_t>(bands.size()));
        if (row >= static_cast<int32_t>(bands.size())) return {};
        const auto [top, bottom] = bands[static_cast<size_t>(row)];
        // On the text: the first dark pixel of the row's middle line, a little in.
        const int y = (top + bottom) / 2;
        int x = 0;
        while (x < img.width() && !ink(img.pixel(x, y)))
            ++x;
        return QPoint(x + 3, y);
    }
};

class Dragging : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(plat::call_library_registration(KL_VINCA5_PATH, false), plat::S_OK);
        form.resize(420, 220);
        a = std::make_unique<Tree>(&form);
        b = std::make_unique<Tree>(&form);
        b->host.move(210, 0);
        ASSERT_TRUE(a->ctl && b->ctl);
        form.show();
        QApplication::processEvents();
        ASSERT_TRUE(a->view() && b->view());
    }
    void TearDown() override {
        a.reset();
        b.reset();
    }

    QWidget form;
    std::unique_ptr<Tree> a, b;
};

// ---- drops from other programs ----

struct DropResult {
    bool accepted{false};
    Qt::DropAction action{Qt::IgnoreAction};
};

// Enter, one move and a drop at `at`, as the window system delivers them.
DropResult DropOn(QWidget* view, QMimeData& mime, QPoint at,
                  Qt::DropActions allowed = Qt::CopyAction | Qt::MoveAction,
                  Qt::KeyboardModifiers keys = Qt::NoModifier) {
    QDragEnterEvent enter(at, allowed, &mime, Qt::LeftButton, keys);
    QCoreApplication::sendEvent(view, &enter);
    QDragMoveEvent move(at + QPoint(1, 0), allowed, &mime, Qt::LeftButton, keys);
    QCoreApplication::sendEvent(view, &move);
    QDropEvent drop(QPointF(at + QPoint(1, 0)), allowed, &mime, Qt::LeftButton, keys);
    QCoreApplication::sendEvent(view, &drop);
    return {drop.isAccepted(), drop.dropAction()};
}

TEST_F(Dragging, DropsReachTheContainerWithTheirData) {
    if (!b->hears) GTEST_SKIP() << "the control offers no event connection";
    ASSERT_EQ(b->put("OLEDropMode", Variant(int16_t(1))), 0);
    std::vector<int16_t> states;
    std::string text;
    int32_t files = -1;
    bool hasFiles = false;
    b->onEvent = [&](plat::DISPID id, plat::EventArgs& args) {
        if (id == kOLEDragOver) states.push_back(args.value(6).to_i2());
        if (id != kOLEDragDrop) return;
        EXPECT_EQ(args.count(), 6u);
        EXPECT_EQ(args.value(1).to_i4(), 2); // move: no key held
        EXPECT_EQ(args.value(2).to_i2(), 1); // left button
        plat::IDispatch* data = args.value(0).pdispVal;
        Variant v;
        plat::dispatch_call(data, "GetData", std::vector<Variant>{Variant(int32_t(1))}, &v);
        text = v.to_utf8();
        plat::dispatch_call(data, "GetFormat", std::vector<Variant>{Variant(int32_t(15))}, &v);
        hasFiles = v.boolVal != 0;
        if (hasFiles) {
            Variant list;
            plat::dispatch_get(data, "Files", list);
            Variant count;
            plat::dispatch_get(list.pdispVal, "Count", count);
            files = count.to_i4();
        }
    };

    QMimeData plain;
    plain.setText("dropped words");
    DropResult r = DropOn(b->view(), plain, {20, 20});
    EXPECT_TRUE(r.accepted);
    EXPECT_EQ(r.action, Qt::MoveAction);
    EXPECT_EQ(text, "dropped words");
    EXPECT_FALSE(hasFiles);
    EXPECT_EQ(states, (std::vector<int16_t>{0, 2}));

    // Three files, one of them gone before the drop: two are offered.
    kltest::TempDir dir;
    QList<QUrl> urls;
    for (const char* name : {"one.txt", "two.txt", "gone.txt"}) {
        const auto path = dir / name;
        if (std::string(name) != "gone.txt") std::ofstream(path) << name;
        urls << QUrl::fromLocalFile(QString::fromStdString(path.string()));
    }
    QMimeData filesData;
    filesData.setUrls(urls);
    DropOn(b->view(), filesData, {20, 20});
    EXPECT_TRUE(hasFiles);
    EXPECT_EQ(files, 2);
}

TEST_F(Dragging, AnotherControlsCopiedTreeArrivesThroughGetData) {
    if (!b->hears) GTEST_SKIP() << "the control offers no event connection";
    a->add("Alpha");
    a->add("A1", 0);
    a->put("Clipboard", Variant(int32_t(0)), {Variant(int32_t(-1))});
    const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(copied && copied->hasFormat("application/x-vinca4-tree"));
    QMimeData tree;
    tree.setData("application/x-vinca4-tree", copied->data("application/x-vinca4-tree"));

    ASSERT_EQ(b->put("OLEDropMode", Variant(int16_t(1))), 0);
    std::string received;
    b->onEvent = [&](plat::DISPID id, plat::EventArgs& args) {
        if (id != kOLEDragDrop) return;
        plat::IDispatch* data = args.value(0).pdispVal;
        // Registered names have numbers from 0xC000 on.
        for (int32_t f = 0xC000; f < 0xC040 && received.empty(); ++f) {
            Variant has;
            plat::dispatch_call(data, "GetFormat", std::vector<Variant>{Variant(f)}, &has);
            if (!has.boolVal) continue;
            Variant bytes;
            plat::dispatch_call(data, "GetData", std::vector<Variant>{Variant(f)}, &bytes);
            ASSERT_EQ(bytes.vt, plat::VT_ARRAY | plat::VT_UI1);
            void* raw = nullptr;
            plat::SafeArrayAccessData(bytes.parray, &raw);
            received.assign(static_cast<const char*>(raw), bytes.parray->rgsabound[0].cElements);
            plat::SafeArrayUnaccessData(bytes.parray);
        }
    };
    DropOn(b->view(), tree, {20, 20});
    const QByteArray want = tree.data("application/x-vinca4-tree");
    EXPECT_EQ(received, std::string(want.constData(), static_cast<size_t>(want.size())));
}

TEST_F(Dragging, DropsAreRefusedSilentlyWithoutDropModeOrAnAllowedEffect) {
    QMimeData plain;
    plain.setText("x");
    // OLEDropMode 0: the window takes no drops and the container hears nothing.
    EXPECT_FALSE(b->view()->acceptDrops());
    DropResult r = DropOn(b->view(), plain, {20, 20});
    EXPECT_FALSE(r.accepted);
    EXPECT_TRUE(b->events.empty());

    ASSERT_EQ(b->put("OLEDropMode", Variant(int16_t(1))), 0);
    EXPECT_TRUE(b->view()->acceptDrops());
    // A move proposed to a source that only copies: nothing is left to do.
    r = DropOn(b->view(), plain, {20, 20}, Qt::CopyAction);
    EXPECT_FALSE(r.accepted);
    EXPECT_EQ(std::count(b->events.begin(), b->events.end(), kOLEDragDrop), 0);
    // With Ctrl the copy is proposed, and taken.
    r = DropOn(b->view(), plain, {20, 20}, Qt::CopyAction, Qt::ControlModifier);
    EXPECT_TRUE(r.accepted);
    EXPECT_EQ(r.action, Qt::CopyAction);

    EXPECT_EQ(b->put("OLEDropMode", Variant(int16_t(2))), 380);
    EXPECT_EQ(b->put("DragIconStyle", Variant(int16_t(3))), 380);
    EXPECT_EQ(b->put("AutoDragMode", Variant(int16_t(4))), 380);
}

// ---- items dragged between controls ----

// Presses on `from`'s row, moves past the drag distance, then does what a
// form's drag events do with the target: OnDragOver entering and moving,
// OnDragDrop over `toRow` of `to`, with `keys` held. Answers OnDragDrop's result.
int32_t DragItem(Tree& from, int fromRow, Tree& to, int toRow, Qt::KeyboardModifiers keys = Qt::NoModifier) {
    QWidget* src = from.view();
    const QPoint press = from.rowPoint(fromRow);
    QTest::mousePress(src, Qt::LeftButton, Qt::NoModifier, press);
    QTest::mouseMove(src, press + QPoint(0, QApplication::startDragDistance() + 4));
    QWidget* dst = to.view();
    const QPoint over = to.rowPoint(toRow);
    auto moveOver = [&](QPoint p) {
        QMouseEvent m(QEvent::MouseMove, QPointF(p), QPointF(dst->mapToGlobal(p)), Qt::NoButton,
                      Qt::LeftButton, keys);
        QCoreApplication::sendEvent(dst, &m);
    };
    const std::vector<Variant> enter{Variant(0.0f), Variant(0.0f), Variant(int16_t(0))};
    const std::vector<Variant> move{Variant(0.0f), Variant(0.0f), Variant(int16_t(2))};
    moveOver(over - QPoint(0, 3));
    to.call("OnDragOver", enter);
    moveOver(over);
    to.call("OnDragOver", move);
    const int32_t result = to.call("OnDragDrop", {Variant(0.0f), Variant(0.0f)}).to_i4();
    QTest::mouseRelease(src, Qt::LeftButton, Qt::NoModifier, press);
    return result;
}

void FillSource(Tree& t) {
    const int32_t alpha = t.add("Alpha");
    t.add("A1", alpha);
    t.add("A2", alpha);
    t.add("Beta");
    t.put("Expand", Variant::boolean(true), {Variant(alpha)});
}

void FillTarget(Tree& t) {
    t.add("One");
    const int32_t two = t.add("Two");
    t.add("T1", two);
    t.add("Three");
    t.put("Expand", Variant::boolean(true), {Variant(two)});
}

TEST_F(Dragging, ItemsMoveOrCopyByModeAndKeys) {
    struct Case {
        int16_t mode;
        int fromRow, toRow;
        Qt::KeyboardModifiers keys;
        const char* source;
        const char* target;
    };
    const Case cases[] = {
        // As a child of the target, moved out of the source.
        {1, 3, 1, {}, "Alpha,.A1,.A2", "One,Two,.T1,.Beta,Three"},
        // Ctrl copies the item with its subtree, before the target.
        {2, 0, 3, Qt::ControlModifier, "Alpha,.A1,.A2,Beta", "One,Two,.T1,Alpha,.A1,.A2,Three"},
        // After the last child of an item: appended to that item's children.
        {3, 3, 2, {}, "Alpha,.A1,.A2", "One,Two,.T1,.Beta,Three"},
        // After an item with a next sibling: before that sibling.
        {3, 1, 0, {}, "Alpha,.A2,Beta", "One,A1,Two,.T1,Three"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        a->call("Clear");
        b->call("Clear");
        FillSource(*a);
        FillTarget(*b);
        ASSERT_EQ(a->put("AutoDragMode", Variant(c.mode)), 0);
        ASSERT_EQ(b->put("AutoDragMode", Variant(c.mode)), 0);
        a->events.clear();
        b->events.clear();
        EXPECT_EQ(DragItem(*a, c.fromRow, *b, c.toRow, c.keys), 0);
        EXPECT_EQ(a->outline(), c.source);
        EXPECT_EQ(b->outline(), c.target);
        if (!a->hears) continue;
        EXPECT_EQ(std::count(a->events.begin(), a->events.end(), kAutoDragRequest), 1);
        EXPECT_EQ(std::count(b->events.begin(), b->events.end(), kAutoDragComplete), 1);
    }
}

TEST_F(Dragging, MovingAnItemIntoItsOwnSubtreeChangesNothing) {
    FillSource(*a);
    ASSERT_EQ(a->put("AutoDragMode", Variant(int16_t(1))), 0);
    EXPECT_EQ(DragItem(*a, 0, *a, 1), 20130);
    EXPECT_EQ(a->outline(), "Alpha,.A1,.A2,Beta");
    // The record went with the drop: a second drop has no source.
    EXPECT_EQ(a->call("OnDragDrop", {Variant(0.0f), Variant(0.0f)}).to_i4(), 20129);
}

TEST_F(Dragging, TheContainerCanCancelOrTurnAMoveIntoACopy) {
    if (!b->hears) GTEST_SKIP() << "the control offers no event connection";
    FillSource(*a);
    FillTarget(*b);
    ASSERT_EQ(a->put("AutoDragMode", Variant(int16_t(1))), 0);
    ASSERT_EQ(b->put("AutoDragMode", Variant(int16_t(1))), 0);

    b->onEvent = [](plat::DISPID id, plat::EventArgs& args) {
        if (id == kAutoDragComplete) args.set(3, Variant(int16_t(0))); // copy
    };
    EXPECT_EQ(DragItem(*a, 3, *b, 0), 0);
    EXPECT_EQ(a->outline(), "Alpha,.A1,.A2,Beta");
    EXPECT_EQ(b->outline(), "One,.Beta,Two,.T1,Three");

    b->onEvent = [](plat::DISPID id, plat::EventArgs& args) {
        if (id == kAutoDragComplete) args.set(4, Variant(int16_t(1))); // cancel
    };
    EXPECT_EQ(DragItem(*a, 3, *b, 0), 0);
    EXPECT_EQ(a->outline(), "Alpha,.A1,.A2,Beta");
    EXPECT_EQ(b->outline(), "One,.Beta,Two,.T1,Three");

    // The container names another source item in the request: that one moves.
    b->onEvent = nullptr;
    a->onEvent = [](plat::DISPID id, plat::EventArgs& args) {
        if (id == kAutoDragRequest) args.set(0, Variant(int32_t(1))); // A1, not Alpha
    };
    EXPECT_EQ(DragItem(*a, 0, *b, 0), 0);
    EXPECT_EQ(a->outline(), "Alpha,.A2,Beta");
}

TEST_F(Dragging, AFailedInsertLeavesTheSourceWhole) {
    FillSource(*a);
    FillTarget(*b);
    ASSERT_EQ(a->put("AutoDragMode", Variant(int16_t(1))), 0);
    ASSERT_EQ(b->put("AutoDragMode", Variant(int16_t(1))), 0);
    // "One" lists its children virtually: nothing can be added under it.
    ASSERT_EQ(b->put("ItemVirtualParent", Variant::boolean(true), {Variant(int32_t(0))}), 0);
    EXPECT_EQ(DragItem(*a, 3, *b, 0), 20131);
    EXPECT_EQ(a->outline(), "Alpha,.A1,.A2,Beta");
}

TEST_F(Dragging, TheSourceIsForgottenAtTheNextPressAndWithItsWindow) {
    FillSource(*a);
    FillTarget(*b);
    ASSERT_EQ(a->put("AutoDragMode", Variant(int16_t(1))), 0);
    ASSERT_EQ(b->put("AutoDragMode", Variant(int16_t(1))), 0);
    const std::vector<Variant> drop{Variant(0.0f), Variant(0.0f)};

    // A press that starts no drag, then a press elsewhere: no source is left.
    QTest::mousePress(a->view(), Qt::LeftButton, Qt::NoModifier, a->rowPoint(3));
    QTest::mouseRelease(a->view(), Qt::LeftButton, Qt::NoModifier, a->rowPoint(3));
    QTest::mousePress(b->view(), Qt::LeftButton, Qt::NoModifier, QPoint(150, 190));
    QTest::mouseRelease(b->view(), Qt::LeftButton, Qt::NoModifier, QPoint(150, 190));
    EXPECT_EQ(b->call("OnDragDrop", drop).to_i4(), 20129);

    // The source's window goes: the drop finds no source, and the source
    // control is not kept alive by the drag.
    QTest::mousePress(a->view(), Qt::LeftButton, Qt::NoModifier, a->rowPoint(3));
    plat::IDispatch* source = a->ctl.get();
    source->AddRef();
    a->host.release();
    EXPECT_EQ(b->call("OnDragDrop", drop).to_i4(), 20129);
    a->ctl.reset();
    a.reset();
    EXPECT_EQ(source->Release(), 0u);
    EXPECT_EQ(b->outline(), "One,Two,.T1,Three");
}

TEST_F(Dragging, DropsNearTheBottomScrollTheRows) {
    for (int i = 0; i < 40; ++i)
        b->add(("Row " + std::to_string(i)).c_str());
    ASSERT_EQ(b->put("OLEDropMode", Variant(int16_t(1))), 0);
    QScrollBar* bar = nullptr;
    for (QScrollBar* s : b->view()->findChildren<QScrollBar*>())
        if (s->orientation() == Qt::Vertical) bar = s;
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(bar->value(), 0);

    QMimeData plain;
    plain.setText("x");
    const Qt::DropActions both = Qt::CopyAction | Qt::MoveAction;
    const QPoint middle(60, 100), bottom(60, b->view()->height() - 3);
    QDragEnterEvent enter(middle, both, &plain, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(b->view(), &enter);
    QDragMoveEvent inside(middle, both, &plain, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(b->view(), &inside);
    EXPECT_EQ(bar->value(), 0); // away from the edges nothing moves
    QDragMoveEvent edge(bottom, both, &plain, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(b->view(), &edge);
    EXPECT_EQ(bar->value(), 1);
    // The timer goes on scrolling while the pointer stays at the edge...
    QMouseEvent at(QEvent::MouseMove, QPointF(bottom), QPointF(b->view()->mapToGlobal(bottom)), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(b->view(), &at);
    QTest::qWait(100);
    const int scrolled = bar->value();
    EXPECT_GT(scrolled, 1);
    // ...and stops when the drag leaves.
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(b->view(), &leave);
    QTest::qWait(60);
    EXPECT_EQ(bar->value(), scrolled);
}

TEST_F(Dragging, TheRowUnderADropIsHighlightedUntilTheDragLeaves) {
    FillTarget(*b);
    ASSERT_EQ(b->put("OLEDropMode", Variant(int16_t(1))), 0);
    QMimeData plain;
    plain.setText("x");
    const Qt::DropActions both = Qt::CopyAction | Qt::MoveAction;
    auto shot = [&] {
        QApplication::processEvents();
        return b->view()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    };
    const QPoint over = b->rowPoint(1);
    const QImage before = shot();
    for (int16_t style : {1, 2}) {
        SCOPED_TRACE(style);
        ASSERT_EQ(b->put("DragHighlight", Variant(style)), 0);
        QDragEnterEvent enter(over, both, &plain, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(b->view(), &enter);
        QDragMoveEvent move(over, both, &plain, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(b->view(), &move);
        const QImage during = shot();
        const QString dir = QString::fromUtf8(KL_TEST_BINARY_DIR "/screenshots/vinca");
        QDir().mkpath(dir);
        during.save(dir + QString("/drag_highlight_%1.png").arg(style));
        // Only the row under the pointer changed, around its text.
        int changed = 0, outside = 0;
        for (int y = 0; y < before.height(); ++y)
            for (int x = 0; x < before.width(); ++x)
                if (before.pixel(x, y) != during.pixel(x, y)) {
                    ++changed;
                    if (std::abs(y - over.y()) > 12) ++outside;
                }
        EXPECT_GT(changed, 40);
        EXPECT_EQ(outside, 0);
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(b->view(), &leave);
        EXPECT_TRUE(shot() == before);
    }
}

// A site whose extender notes what the control asks of the container's drag.
class RecordingSite : public plat::forms::ControlSite {
  public:
    std::vector<std::string> calls;

    plat::HRESULT GetExtendedControl(plat::IDispatch** out) override {
        *out = new Extender(calls);
        return plat::S_OK;
    }

  private:
    class Extender final : public plat::DispatchWithoutTypeInfo {
      public:
        explicit Extender(std::vector<std::string>& calls) : m_calls(calls) {}
        plat::HRESULT QueryInterface(plat::REFIID iid, void** out) override {
            if (iid != plat::IID_IUnknown && iid != plat::IID_IDispatch) return plat::E_NOINTERFACE;
            *out = static_cast<plat::IDispatch*>(this);
            AddRef();
            return plat::S_OK;
        }
        plat::ULONG AddRef() override { return ++m_refs; }
        plat::ULONG Release() override {
            const plat::ULONG n = --m_refs;
            if (n == 0) delete this;
            return n;
        }
        plat::HRESULT GetIDsOfNames(plat::REFIID, plat::OLECHAR** names, uint32_t, plat::LCID,
                                    plat::DISPID* ids) override {
            const std::u16string name(names[0]);
            ids[0] = name == u"Drag" ? 1 : name == u"DragIcon" ? 2 : name == u"DragMode" ? 3 : -1;
            return ids[0] < 0 ? plat::DISP_E_UNKNOWNNAME : plat::S_OK;
        }
        plat::HRESULT Invoke(plat::DISPID id, plat::REFIID, plat::LCID, uint16_t, plat::DISPPARAMS* params,
                             plat::VARIANT*, plat::EXCEPINFO*, uint32_t*) override {
            const Variant arg = params && params->cArgs ? Variant(params->rgvarg[0]) : Variant();
            if (id == 1) m_calls.push_back("Drag " + std::to_string(arg.to_i4()));
            if (id == 2)
                m_calls.push_back(arg.vt == plat::VT_DISPATCH && arg.pdispVal ? "DragIcon" : "DragIcon?");
            if (id == 3) m_calls.push_back("DragMode " + std::to_string(arg.to_i4()));
            return plat::S_OK;
        }

      private:
        ~Extender() = default;
        std::vector<std::string>& m_calls;
        plat::ULONG m_refs{1};
    };
};

TEST_F(Dragging, AMouseDragStartsTheContainersDragWithTheChosenIcon) {
    RecordingSite site;
    plat::ComPtr<plat::IOleObject> ole;
    ASSERT_EQ(a->ctl.query(plat::IOleObject::kIID, ole), plat::S_OK);
    ole->SetClientSite(&site);
    FillSource(*a);
    ASSERT_EQ(a->put("AutoDragMode", Variant(int16_t(1))), 0);
    // The container is put into manual dragging.
    EXPECT_EQ(site.calls, std::vector<std::string>{"DragMode 0"});

    const struct {
        int16_t style;
        std::vector<std::string> calls;
    } cases[] = {
        {0, {"Drag 1"}},
        {1, {"DragIcon", "Drag 1"}},
        {2, {"DragIcon", "Drag 1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.style);
        ASSERT_EQ(a->put("DragIconStyle", Variant(c.style)), 0);
        site.calls.clear();
        const QPoint press = a->rowPoint(3);
        QTest::mousePress(a->view(), Qt::LeftButton, Qt::NoModifier, press);
        // Within the drag distance nothing starts.
        QTest::mouseMove(a->view(), press + QPoint(1, 0));
        EXPECT_TRUE(site.calls.empty());
        QTest::mouseMove(a->view(), press + QPoint(0, QApplication::startDragDistance() + 4));
        EXPECT_EQ(site.calls, c.calls);
        QTest::mouseRelease(a->view(), Qt::LeftButton, Qt::NoModifier, press);
    }
    ole->SetClientSite(&a->host.site());
}

TEST_F(Dragging, EverySwitchOnPutsTheContainerBackIntoManualDragging) {
    RecordingSite site;
    plat::ComPtr<plat::IOleObject> ole;
    ASSERT_EQ(a->ctl.query(plat::IOleObject::kIID, ole), plat::S_OK);
    ole->SetClientSite(&site);
    FillSource(*a);
    ASSERT_EQ(a->put("MultiSelect", Variant(int16_t(2))), 0);
    ASSERT_EQ(a->put("SmartDragDrop", Variant::boolean(false)), 0);
    ASSERT_EQ(a->put("AutoDragMode", Variant(int16_t(2))), 0);
    EXPECT_TRUE(a->get("SmartDragDrop").to_bool());
    // The same mode again still asks; switching off does not.
    ASSERT_EQ(a->put("AutoDragMode", Variant(int16_t(2))), 0);
    ASSERT_EQ(a->put("AutoDragMode", Variant(int16_t(0))), 0);
    EXPECT_EQ(site.calls, (std::vector<std::string>{"DragMode 0", "DragMode 0"}));

    // A press noted before the switch starts no drag.
    ASSERT_EQ(a->put("AutoDragMode", Variant(int16_t(1))), 0);
    site.calls.clear();
    const QPoint press = a->rowPoint(3);
    QTest::mousePress(a->view(), Qt::LeftButton, Qt::NoModifier, press);
    ASSERT_EQ(a->put("AutoDragMode", Variant(int16_t(1))), 0);
    QTest::mouseMove(a->view(), press + QPoint(0, QApplication::startDragDistance() + 4));
    QTest::mouseRelease(a->view(), Qt::LeftButton, Qt::NoModifier, press);
    EXPECT_EQ(site.calls, std::vector<std::string>{"DragMode 0"});
    ole->SetClientSite(&a->host.site());
}

} // namespace
