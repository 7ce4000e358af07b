// The registered control in a host widget against QTreeView over
// QStandardItemModel with the same texts, both 800x600, DejaVu Sans, Fusion,
// tree lines and plus/minus boxes, each shape and side in a process of its
// own. The control is made by class id from libvinca5.so and filled through
// IDispatch; this program links no model. Every step is timed with the
// paints it asks for (the posted events and paints handled at once after
// the input, so a scroll that moves pixels paints only what it uncovers):
//   - first screen: showing the filled (and opened) view and its first paint;
//   - Page Down by key (the median of 20, from the top);
//   - End by key, from the top (the median of 5);
//   - the scroll bar's thumb dragged to the bottom with the mouse and let go
//     (the median of 5, from the top);
//   - ten wheel steps down, each painted (the median of 5 runs of ten).
// Shapes: trees of 10 x 99 and 1,000 x 999 items (all open) and flat lists
// of 1,000 and 1,000,000 items.
//
//   bench_views [--side 0|1] [--shape N]
#include <sys/wait.h>
#include <unistd.h>

#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtGui/QStandardItemModel>
#include <QtGui/QWheelEvent>
#include <QtGui/QWindow>
#include <QtWidgets/QApplication>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QStyle>
#include <QtWidgets/QStyleFactory>
#include <QtWidgets/QStyleOptionSlider>
#include <QtWidgets/QTreeView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/com/dispatch_client.h"
#include "platform/com/loader.h"
#include "platform/forms/control_host.h"
#include "platform/ui/window_table.h"

namespace {

constexpr plat::CLSID kControl = plat::make_guid("9D998150-B884-11CE-8D47-444553540000");
constexpr int kPages = 20;
constexpr int kRepeats = 5;

struct Shape {
    const char* name;
    int parents;  // top-level items
    int children; // under each of them (0: a flat list)
    int64_t Rows() const { return int64_t(parents) * (children + 1); }
};

const Shape kShapes[] = {
    {"nested 1,000 (10 x 99)", 10, 99},
    {"flat 1,000", 1000, 0},
    {"nested 1,000,000 (1,000 x 999)", 1000, 999},
    {"flat 1,000,000", 1000000, 0},
};

enum Side { kVinca, kQtTree };
const char* kSideNames[] = {"control", "QTreeView"};

struct Result {
    double firstScreen{0}, pageDown{0}, end{0}, thumb{0}, wheel{0};
    int64_t topAfterEnd{-1}, topAfterThumb{-1}, topAfterWheel{-1};
    bool ok{false};
};

double Seconds(const std::function<void()>& work) {
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

std::string ItemText(int64_t serial) {
    return "Item " + std::to_string(serial);
}

void ShowExposed(QWidget* w) {
    w->show();
    for (int i = 0; i < 100 && !(w->windowHandle() && w->windowHandle()->isExposed()); ++i)
        QApplication::processEvents();
    QApplication::processEvents();
}

void PressKey(QWidget* w, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(w, &release);
}

void Mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
    const QPointF local(at), global(w->mapToGlobal(at));
    QMouseEvent e(type, local, local, global, Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

QRect Thumb(QScrollBar* b) {
    QStyleOptionSlider opt;
    opt.initFrom(b);
    opt.orientation = b->orientation();
    opt.minimum = b->minimum();
    opt.maximum = b->maximum();
    opt.sliderPosition = b->sliderPosition();
    opt.sliderValue = b->value();
    opt.singleStep = b->singleStep();
    opt.pageStep = b->pageStep();
    opt.subControls = QStyle::SC_All;
    return b->style()->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, b);
}

// The thumb taken from where it is and let go below the bar's end.
void DragThumbToTheEnd(QScrollBar* bar) {
    const QPoint grip = Thumb(bar).center();
    Mouse(bar, QEvent::MouseButtonPress, grip, Qt::LeftButton);
    for (int y = grip.y() + 20; y < bar->height() + 40; y += 20)
        Mouse(bar, QEvent::MouseMove, {grip.x(), y}, Qt::LeftButton);
    Mouse(bar, QEvent::MouseMove, {grip.x(), bar->height() + 40}, Qt::LeftButton);
    Mouse(bar, QEvent::MouseButtonRelease, {grip.x(), bar->height() + 40}, Qt::NoButton);
}

void WheelDown(QWidget* w) {
    const QPointF at(w->width() / 2.0, w->height() / 2.0);
    QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

// What each side offers the steps.
struct Driver {
    QWidget* keys;                 // takes the keys
    QWidget* wheel;                // takes the wheel
    std::function<QScrollBar*()> bar; // the vertical scroll bar
    std::function<void()> toTop;   // first row current and on top, painted
    std::function<int64_t()> top;  // the row at the top
};

Result RunSteps(const Driver& d, const std::function<void()>& show) {
    Result r;
    r.firstScreen = Seconds(show);
    // The step and the paints it asked for (only what it made dirty).
    auto painted = [] {
        QCoreApplication::sendPostedEvents();
        QApplication::processEvents();
    };
    auto step = [&](const std::function<void()>& act) {
        return Seconds([&] {
            act();
            painted();
        });
    };
    d.toTop();
    std::vector<double> pages, ends, thumbs, wheels;
    for (int i = 0; i < kPages; ++i)
        pages.push_back(step([&] { PressKey(d.keys, Qt::Key_PageDown); }));
    for (int i = 0; i < kRepeats; ++i) {
        d.toTop();
        ends.push_back(step([&] { PressKey(d.keys, Qt::Key_End); }));
        r.topAfterEnd = d.top();
        d.toTop();
        thumbs.push_back(step([&] { DragThumbToTheEnd(d.bar()); }));
        r.topAfterThumb = d.top();
        d.toTop();
        wheels.push_back(Seconds([&] {
            for (int w = 0; w < 10; ++w) {
                WheelDown(d.wheel);
                painted();
            }
        }));
        r.topAfterWheel = d.top();
    }
    r.pageDown = Median(pages);
    r.end = Median(ends);
    r.thumb = Median(thumbs);
    r.wheel = Median(wheels);
    r.ok = true;
    return r;
}

// ---- the control ----

struct Members {
    plat::IDispatch* ctl;
    plat::DISPID addItem{}, newIndex{}, listIndex{}, topIndex{};
    explicit Members(plat::IDispatch* c) : ctl(c) {
        plat::dispatch_id(c, "AddItem", addItem);
        plat::dispatch_id(c, "NewIndex", newIndex);
        plat::dispatch_id(c, "ListIndex", listIndex);
        plat::dispatch_id(c, "TopIndex", topIndex);
    }
    int32_t Add(const std::string& text, int32_t parent) {
        plat::Variant args[2] = {plat::Variant(std::string_view(text)), plat::Variant(parent)};
        plat::dispatch_call(ctl, addItem, {args, size_t(parent >= 0 ? 2 : 1)}, nullptr);
        plat::Variant v;
        plat::dispatch_get(ctl, newIndex, v);
        return v.to_i4();
    }
    int32_t Get(plat::DISPID id) {
        plat::Variant v;
        plat::dispatch_get(ctl, id, v);
        return v.to_i4();
    }
    void Put(plat::DISPID id, int32_t value) { plat::dispatch_put(ctl, id, plat::Variant(value)); }
    void Put(std::string_view name, const plat::Variant& value) { plat::dispatch_put(ctl, name, value); }
};

Result RunVinca(const Shape& s) {
    char root_template[] = "/tmp/bench_views.XXXXXX";
    const char* root = mkdtemp(root_template);
    if (!root) return {};
    setenv("KL_MACHINE_ROOT", root, 1);
    if (plat::call_library_registration(KL_VINCA5_PATH, false) != plat::S_OK) {
        std::fprintf(stderr, "cannot register %s\n", KL_VINCA5_PATH);
        return {};
    }
    plat::forms::ControlHost host;
    host.resize(800, 600);
    plat::ComPtr<plat::IDispatch> ctl = host.create(kControl);
    if (!ctl) return {};
    Members m(ctl.get());
    m.Put("ToolTipsMode", plat::Variant(int16_t(0)));
    m.Put("Redraw", plat::Variant(false));
    int64_t serial = 0;
    for (int p = 0; p < s.parents; ++p) {
        const int32_t parent = m.Add(ItemText(serial++), -1);
        for (int c = 0; c < s.children; ++c)
            m.Add(ItemText(serial++), parent);
    }
    if (s.children) m.Put("ExpandToLevel", plat::Variant(int32_t(1)));
    m.Put("Redraw", plat::Variant(true));
    plat::Variant hwnd;
    plat::dispatch_get(ctl.get(), "hWnd", hwnd);
    QWidget* view = plat::ui::WindowFromHandle(uint32_t(hwnd.to_i4()));
    if (!view) return {};
    Driver d{view, view,
             [view] {
                 for (QScrollBar* b : view->findChildren<QScrollBar*>())
                     if (b->orientation() == Qt::Vertical) return b;
                 return static_cast<QScrollBar*>(nullptr);
             },
             [&] {
                 m.Put(m.listIndex, 0);
                 m.Put(m.topIndex, 0);
                 view->repaint();
             },
             [&] { return int64_t(m.Get(m.topIndex)); }};
    Result r = RunSteps(d, [&] {
        ShowExposed(&host);
        view->repaint();
    });
    if (m.Get(m.listIndex) < 0) r.ok = false;
    return r;
}

// ---- Qt's tree view ----

Result RunQt(const Shape& s) {
    QStandardItemModel model;
    int64_t serial = 0;
    QList<QStandardItem*> parents;
    parents.reserve(s.parents);
    for (int p = 0; p < s.parents; ++p) {
        auto* parent = new QStandardItem(QString::fromStdString(ItemText(serial++)));
        if (s.children) {
            QList<QStandardItem*> kids;
            kids.reserve(s.children);
            for (int c = 0; c < s.children; ++c)
                kids.append(new QStandardItem(QString::fromStdString(ItemText(serial++))));
            parent->appendRows(kids);
        }
        parents.append(parent);
    }
    model.invisibleRootItem()->appendRows(parents);
    QTreeView view;
    view.header()->hide();
    view.setModel(&model);
    if (s.children) view.expandAll();
    view.resize(800, 600);
    // The row at the top, counted through the open tree.
    auto rowOf = [&](const QModelIndex& i) -> int64_t {
        if (!i.isValid()) return -1;
        if (!s.children) return i.row();
        const QModelIndex parent = i.parent();
        return parent.isValid() ? int64_t(parent.row()) * (s.children + 1) + 1 + i.row()
                                : int64_t(i.row()) * (s.children + 1);
    };
    Driver d{&view, view.viewport(), [&] { return view.verticalScrollBar(); },
             [&] {
                 view.setCurrentIndex(model.index(0, 0));
                 view.scrollToTop();
                 view.repaint();
             },
             [&] { return rowOf(view.indexAt(QPoint(4, 2))); }};
    return RunSteps(d, [&] {
        ShowExposed(&view);
        view.repaint();
    });
}

Result RunSide(Side side, const Shape& s) {
    static int argc = 1;
    static char name[] = "bench_views";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    QFont font("DejaVu Sans");
    font.setPixelSize(11);
    QApplication::setFont(font);
    return side == kVinca ? RunVinca(s) : RunQt(s);
}

// Runs one side on one shape in a child process.
Result RunInChild(Side side, const Shape& s) {
    Result r;
    int fd[2];
    if (pipe(fd) != 0) return r;
    pid_t pid = fork();
    if (pid == 0) {
        close(fd[0]);
        Result mine = RunSide(side, s);
        ssize_t n = write(fd[1], &mine, sizeof mine);
        _exit(n == sizeof mine ? 0 : 1);
    }
    close(fd[1]);
    ssize_t n = read(fd[0], &r, sizeof r);
    close(fd[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (n != sizeof r) r = Result{};
    return r;
}

} // namespace

int main(int argc, char** argv) {
    int onlySide = -1, onlyShape = -1;
    for (int i = 1; i + 1 < argc; ++i) {
        if (!std::strcmp(argv[i], "--side")) onlySide = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--shape")) onlyShape = std::atoi(argv[++i]);
    }
    std::printf("The control against QTreeView, 800x600, each step with the paints it asks for "
                "(ms; ratio = QTreeView / control, above 1 the control is faster)\n");
    for (int shape = 0; shape < int(std::size(kShapes)); ++shape) {
        if (onlyShape >= 0 && shape != onlyShape) continue;
        const Shape& s = kShapes[shape];
        Result res[2];
        for (int side = 0; side < 2; ++side)
            if (onlySide < 0 || onlySide == side) res[side] = RunInChild(Side(side), s);
        std::printf("\n%s, %lld rows\n", s.name, (long long)s.Rows());
        std::printf("  %-10s %12s %10s %10s %12s %14s   %s\n", "", "first screen", "page down", "end",
                    "thumb drag", "ten wheel steps", "top row after end / thumb / wheel");
        for (int side = 0; side < 2; ++side)
            std::printf("  %-10s %12.3f %10.3f %10.3f %12.3f %14.3f   %lld / %lld / %lld%s\n", kSideNames[side],
                        res[side].firstScreen * 1e3, res[side].pageDown * 1e3, res[side].end * 1e3,
                        res[side].thumb * 1e3, res[side].wheel * 1e3, (long long)res[side].topAfterEnd,
                        (long long)res[side].topAfterThumb, (long long)res[side].topAfterWheel,
                        res[side].ok ? "" : "  (failed)");
        auto ratio = [&](double peer, double ours) { return ours > 0 ? peer / ours : 0.0; };
        std::printf("  %-10s %11.2fx %9.2fx %9.2fx %11.2fx %13.2fx\n", "ratio",
                    ratio(res[1].firstScreen, res[0].firstScreen), ratio(res[1].pageDown, res[0].pageDown),
                    ratio(res[1].end, res[0].end), ratio(res[1].thumb, res[0].thumb),
                    ratio(res[1].wheel, res[0].wheel));
    }
    return 0;
}
