// The control's view window against QTreeView over QStandardItemModel,
// both 800x600, DejaVu Sans, tree lines and plus/minus boxes, doing the same
// work on the same rows:
//   - the first paint (from making the view, all items expanded);
//   - 20 Page Downs, each with its repaint (the median);
//   - jumps to rows in the middle, each with its repaint (the median).
// Shapes: a tree of 10 parents with 99 children (1,000 items), a tree of
// 1,000 parents with 999 children (1,000,000 items), and a flat list of
// 1,000,000 top-level items. The tree is built with its shape as flags
// (open items), as the model benchmark does. QTreeView runs twice: as it
// comes, and with uniform row heights (its fast path for long lists).
// Every side and shape runs in a child process of its own.
//
//   bench_views [--pages N] [--jumps N] [--side 0|1|2]
#include <sys/wait.h>
#include <unistd.h>

#include <QtGui/QKeyEvent>
#include <QtGui/QStandardItemModel>
#include <QtGui/QWindow>
#include <QtWidgets/QApplication>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QStyleFactory>
#include <QtWidgets/QTreeView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "vinca/model/engine.h"
#include "vinca/views/view_window.h"

namespace {

int g_pages = 20;
int g_jumps = 7;
int g_onlySide = -1; // --side N runs one side only (for profiling)

struct Shape {
    const char* name;
    int parents;  // top-level items
    int children; // under each of them (0: a flat list)
    int64_t Rows() const { return int64_t(parents) * (children + 1); }
};

const Shape kShapes[] = {
    {"tree 1,000 (10 x 99)", 10, 99},
    {"tree 1,000,000 (1,000 x 999)", 1000, 999},
    {"flat 1,000,000", 1000000, 0},
};

enum Side { kVinca, kQtTree, kQtUniform };
const char* kSideNames[] = {"view window", "QTreeView", "QTreeView uniform"};

struct Result {
    double firstPaint{0};
    double pageDown{0};
    double jump{0};
    int64_t rowAfterJump{-1};
    int paints{0}; // paint events the timed steps caused
    char text[64]{};
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

std::string ItemText(const Shape& s, int64_t serial) {
    return "Item " + std::to_string(serial);
}

// The rows jumped to: around the middle, each one different, so no jump
// lands on the page the last one showed.
std::vector<int64_t> JumpRows(const Shape& s) {
    std::vector<int64_t> rows;
    int64_t mid = s.Rows() / 2;
    for (int i = 0; i < g_jumps; ++i)
        rows.push_back(i % 2 ? mid + 1000 * i : mid - 1000 * i);
    for (int64_t& r : rows)
        r = std::clamp<int64_t>(r, 0, s.Rows() - 1);
    if (s.Rows() < 5000) // small trees: jumps a page or more apart
        for (int i = 0; i < g_jumps; ++i)
            rows[i] = std::clamp<int64_t>(s.Rows() / 2 + (i % 2 ? 1 : -1) * 40 * i, 0, s.Rows() - 1);
    return rows;
}

// Counts the paint events a widget gets, so that a step that painted
// nothing is seen.
struct PaintCounter : QObject {
    int paints{0};
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// Shows the window and lets the platform expose it, so repaint() paints.
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

// ---- the control's view ----

struct BenchHost : vinca::IViewHost {
    vinca::ViewSettings settings;
    vinca::CRangeSet selected;
    const vinca::ViewSettings& Settings() const override { return settings; }
    vinca::CRangeSet* SelectedRows() override { return &selected; }
};

Result RunVinca(const Shape& s) {
    Result r;
    vinca::CVincaEngine engine;
    vinca::CItemNode* top = engine.RootNode();
    uint16_t open = s.children ? vinca::CItem::kExpanded : 0;
    int64_t serial = 0;
    top->ReserveChildren(s.parents);
    for (int p = 0; p < s.parents; ++p) {
        int32_t at = -1;
        vinca::CItem* parent = nullptr;
        top->AddNewChild(at, ItemText(s, serial++), open, &parent);
        if (!s.children) continue;
        vinca::CItemNode* node = parent->GetChildNode();
        node->ReserveChildren(s.children);
        for (int c = 0; c < s.children; ++c) {
            int32_t end = -1;
            node->AddNewChild(end, ItemText(s, serial++), 0);
        }
    }
    BenchHost host;
    std::unique_ptr<vinca::CViewWindow> view;
    PaintCounter counter;
    r.firstPaint = Seconds([&] {
        view = std::make_unique<vinca::CViewWindow>(engine, host);
        view->installEventFilter(&counter);
        view->resize(800, 600);
        ShowExposed(view.get());
        view->repaint();
    });
    view->SetCurrentRow(0);
    view->repaint();
    std::vector<double> pages;
    for (int i = 0; i < g_pages; ++i)
        pages.push_back(Seconds([&] {
            PressKey(view.get(), Qt::Key_PageDown);
            view->repaint();
        }));
    r.pageDown = Median(pages);
    std::vector<double> jumps;
    for (int64_t row : JumpRows(s))
        jumps.push_back(Seconds([&] {
            view->SetCurrentRow(int32_t(row));
            view->repaint();
        }));
    r.jump = Median(jumps);
    r.paints = counter.paints;
    r.rowAfterJump = view->CurrentRow();
    if (vinca::CItem* item = engine.RowItem(view->CurrentRow()))
        std::snprintf(r.text, sizeof r.text, "%s", item->Text().c_str());
    return r;
}

// ---- Qt's tree view ----

Result RunQt(const Shape& s, bool uniform) {
    Result r;
    QStandardItemModel model;
    QStandardItem* root = model.invisibleRootItem();
    int64_t serial = 0;
    QList<QStandardItem*> parents;
    parents.reserve(s.parents);
    for (int p = 0; p < s.parents; ++p) {
        auto* parent = new QStandardItem(QString::fromStdString(ItemText(s, serial++)));
        if (s.children) {
            QList<QStandardItem*> kids;
            kids.reserve(s.children);
            for (int c = 0; c < s.children; ++c)
                kids.append(new QStandardItem(QString::fromStdString(ItemText(s, serial++))));
            parent->appendRows(kids);
        }
        parents.append(parent);
    }
    root->appendRows(parents);
    std::unique_ptr<QTreeView> view;
    PaintCounter counter;
    r.firstPaint = Seconds([&] {
        view = std::make_unique<QTreeView>();
        view->viewport()->installEventFilter(&counter);
        view->header()->hide();
        view->setUniformRowHeights(uniform);
        view->setModel(&model);
        view->expandAll();
        view->resize(800, 600);
        ShowExposed(view.get());
        view->repaint(); // the whole widget with its scroll bars, as the view window repaints
    });
    // The model index of a row of the open tree, from the shape.
    auto indexOfRow = [&](int64_t row) {
        if (!s.children) return model.index(int(row), 0);
        int64_t per = s.children + 1;
        QModelIndex parent = model.index(int(row / per), 0);
        int64_t k = row % per;
        return k == 0 ? parent : model.index(int(k - 1), 0, parent);
    };
    view->setCurrentIndex(indexOfRow(0));
    view->repaint();
    std::vector<double> pages;
    for (int i = 0; i < g_pages; ++i)
        pages.push_back(Seconds([&] {
            PressKey(view.get(), Qt::Key_PageDown);
            view->repaint();
        }));
    r.pageDown = Median(pages);
    std::vector<double> jumps;
    QModelIndex last;
    for (int64_t row : JumpRows(s))
        jumps.push_back(Seconds([&] {
            last = indexOfRow(row);
            view->setCurrentIndex(last);
            view->scrollTo(last);
            view->repaint();
        }));
    r.jump = Median(jumps);
    r.paints = counter.paints;
    r.rowAfterJump = JumpRows(s).back();
    std::snprintf(r.text, sizeof r.text, "%s", view->currentIndex().data().toString().toUtf8().constData());
    return r;
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
    return side == kVinca ? RunVinca(s) : RunQt(s, side == kQtUniform);
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
    for (int i = 1; i + 1 < argc; ++i) {
        if (!std::strcmp(argv[i], "--pages"))
            g_pages = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--jumps"))
            g_jumps = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--side"))
            g_onlySide = std::atoi(argv[++i]);
    }
    std::printf("View window against QTreeView, 800x600 (ms; ratio = QTreeView / view window)\n");
    for (const Shape& s : kShapes) {
        Result res[3];
        for (int side = 0; side < 3; ++side)
            if (g_onlySide < 0 || g_onlySide == side) res[side] = RunInChild(Side(side), s);
        std::printf("\n%s, %lld rows\n", s.name, (long long)s.Rows());
        std::printf("  %-20s %12s %18s %16s %7s   %s\n", "", "first paint", "page down+paint", "jump+paint",
                    "paints", "current row after the jumps");
        for (int side = 0; side < 3; ++side)
            std::printf("  %-20s %12.3f %18.3f %16.3f %7d   %s\n", kSideNames[side],
                        res[side].firstPaint * 1e3, res[side].pageDown * 1e3, res[side].jump * 1e3,
                        res[side].paints, res[side].text);
        for (int side = 1; side < 3; ++side) {
            auto ratio = [&](double peer, double ours) { return ours > 0 ? peer / ours : 0.0; };
            std::printf("  ratio %-14s %11.2fx %17.2fx %15.2fx\n", kSideNames[side],
                        ratio(res[side].firstPaint, res[0].firstPaint),
                        ratio(res[side].pageDown, res[0].pageDown), ratio(res[side].jump, res[0].jump));
        }
    }
    return 0;
}
