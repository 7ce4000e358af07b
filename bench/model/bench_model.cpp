// The control's item tree against Qt's QStandardItemModel, doing the same
// work on a tree of 1,000 parents with 1,000 children each: build it, walk
// it in order reading every text, find an item by text near the end, expand
// and collapse every parent, free it. Each side runs once in a child process
// of its own (a fresh heap; its peak resident size is its own). Prints the
// time of each step for both sides with the ratio, the heap each tree holds
// per item (mallinfo2 deltas) and the peak resident size per item; then runs
// the same steps as Google Benchmark cases in this process.
//
// Qt's item model has no expanded state without a view: its side toggles a
// user role on every parent (set, then cleared), which is the model work a
// view's expand would cause.
//
//   bench_model [--parents N] [--children N] [google benchmark flags]
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <QStandardItemModel>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "vinca/model/engine.h"

namespace {

int g_parents = 1000;
int g_children = 1000;

size_t HeapInUse() {
    struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

double Seconds(const std::function<void()>& work) {
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string FindTarget() {
    // An item near the end: the second-last child of the last parent.
    return "Item " + std::to_string(g_parents * g_children - 2);
}

// ---- the control's tree ----

struct AllowAll : vinca::IVincaOwner {};

struct VincaSide {
    AllowAll owner;
    std::unique_ptr<vinca::CVincaEngine> engine;

    void Build() {
        engine = std::make_unique<vinca::CVincaEngine>(&owner);
        vinca::CItemNode* top = engine->RootNode();
        char text[32];
        int counter = 0;
        for (int p = 0; p < g_parents; ++p) {
            int n = std::snprintf(text, sizeof text, "Group %d", p);
            int32_t at = -1;
            vinca::CItem* parent = nullptr;
            top->AddNewChild(at, std::string_view(text, n), 0, &parent);
            vinca::CItemNode* node = parent->GetChildNode();
            for (int c = 0; c < g_children; ++c) {
                n = std::snprintf(text, sizeof text, "Item %d", counter++);
                int32_t end = -1;
                node->AddNewChild(end, std::string_view(text, n), 0);
            }
        }
    }
    size_t Walk() {
        struct Reader : vinca::CItemVisitor {
            size_t total{0};
            bool VisitItem(vinca::CItem* item) override {
                total += item->Text().size();
                return true;
            }
        } reader;
        engine->RootNode()->VisitSubtree(reader);
        return reader.total;
    }
    int32_t Find() { return engine->FindItem(FindTarget(), 0, -1); }
    void ExpandCollapse() {
        vinca::CItemNode* top = engine->RootNode();
        for (int32_t p = 0; p < top->GetCount(); ++p)
            engine->ExpandItem(top->GetAt(p), false);
        for (int32_t p = 0; p < top->GetCount(); ++p)
            engine->CollapseItem(top->GetAt(p), false);
    }
    void Free() { engine.reset(); }
};

// ---- Qt's item model ----

struct QtSide {
    std::unique_ptr<QStandardItemModel> model;

    void Build() {
        model = std::make_unique<QStandardItemModel>();
        QStandardItem* root = model->invisibleRootItem();
        int counter = 0;
        for (int p = 0; p < g_parents; ++p) {
            auto* parent = new QStandardItem(QStringLiteral("Group ") + QString::number(p));
            QList<QStandardItem*> children;
            children.reserve(g_children);
            for (int c = 0; c < g_children; ++c)
                children.append(new QStandardItem(QStringLiteral("Item ") + QString::number(counter++)));
            // Filled before it joins the model: the cheapest way Qt offers.
            parent->appendRows(children);
            root->appendRow(parent);
        }
    }
    static size_t WalkItem(QStandardItem* item) {
        size_t total = 0;
        for (int r = 0; r < item->rowCount(); ++r) {
            QStandardItem* child = item->child(r);
            total += child->text().size();
            total += WalkItem(child);
        }
        return total;
    }
    size_t Walk() { return WalkItem(model->invisibleRootItem()); }
    int32_t Find() {
        QList<QStandardItem*> found =
            model->findItems(QString::fromStdString(FindTarget()), Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? -1 : found.front()->row();
    }
    void ExpandCollapse() {
        QStandardItem* root = model->invisibleRootItem();
        constexpr int kExpandedRole = Qt::UserRole + 1;
        for (int p = 0; p < root->rowCount(); ++p)
            root->child(p)->setData(true, kExpandedRole);
        for (int p = 0; p < root->rowCount(); ++p)
            root->child(p)->setData(false, kExpandedRole);
    }
    void Free() { model.reset(); }
};

struct Measured {
    double build, walk, find, expand, freeing;
    double bytesPerItem;
    double peakPerItem;
    double peakRssPerItem;
    size_t walked;
    int32_t found;
    bool ok;
};

double ResidentKb() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / 1024.0;
}

template <class Side> Measured Measure() {
    Side side;
    Measured m{};
    malloc_trim(0);
    size_t base = HeapInUse();
    size_t peak = base;
    auto sample = [&] { peak = std::max(peak, HeapInUse()); };
    m.build = Seconds([&] { side.Build(); });
    size_t built = HeapInUse();
    sample();
    m.walk = Seconds([&] { m.walked = side.Walk(); });
    sample();
    m.find = Seconds([&] { m.found = side.Find(); });
    sample();
    m.expand = Seconds([&] { side.ExpandCollapse(); });
    sample();
    m.freeing = Seconds([&] { side.Free(); });
    double items = double(g_parents) * (g_children + 1);
    m.bytesPerItem = double(built - base) / items;
    m.peakPerItem = double(peak - base) / items;
    return m;
}

// Runs one side in a child process and reads its figures back.
template <class Side> Measured MeasureIsolated() {
    Measured m{};
    int fd[2];
    if (pipe(fd) != 0) return m;
    pid_t pid = fork();
    if (pid == 0) {
        close(fd[0]);
        double base = ResidentKb();
        Measured r = Measure<Side>();
        struct rusage ru {};
        getrusage(RUSAGE_SELF, &ru);
        r.peakRssPerItem = (double(ru.ru_maxrss) - base) * 1024.0 / (double(g_parents) * (g_children + 1));
        r.ok = true;
        ssize_t written = write(fd[1], &r, sizeof r);
        _exit(written == sizeof r ? 0 : 1);
    }
    close(fd[1]);
    if (pid > 0) {
        if (read(fd[0], &m, sizeof m) != sizeof m) m = Measured{};
        int status = 0;
        waitpid(pid, &status, 0);
    }
    close(fd[0]);
    return m;
}

void PrintComparison() {
    Measured v = MeasureIsolated<VincaSide>();
    Measured q = MeasureIsolated<QtSide>();
    if (!v.ok || !q.ok) {
        std::printf("a measuring child failed\n");
        return;
    }
    std::printf("tree of %d parents x %d children (%.0f items)\n", g_parents, g_children,
                double(g_parents) * (g_children + 1));
    std::printf("%-24s %12s %12s %10s\n", "step", "vinca (ms)", "Qt (ms)", "Qt/vinca");
    auto row = [](const char* name, double a, double b) {
        std::printf("%-24s %12.2f %12.2f %10.2f\n", name, a * 1e3, b * 1e3, a > 0 ? b / a : 0);
    };
    row("build", v.build, q.build);
    row("walk in order", v.walk, q.walk);
    row("find text near the end", v.find, q.find);
    row("expand+collapse parents", v.expand, q.expand);
    row("free", v.freeing, q.freeing);
    double tv = v.build + v.walk + v.find + v.expand + v.freeing;
    double tq = q.build + q.walk + q.find + q.expand + q.freeing;
    row("total", tv, tq);
    std::printf("%-24s %12.1f %12.1f %10.2f\n", "heap bytes per item", v.bytesPerItem, q.bytesPerItem,
                v.bytesPerItem > 0 ? q.bytesPerItem / v.bytesPerItem : 0);
    std::printf("%-24s %12.1f %12.1f %10.2f\n", "peak heap per item", v.peakPerItem, q.peakPerItem,
                v.peakPerItem > 0 ? q.peakPerItem / v.peakPerItem : 0);
    std::printf("%-24s %12.1f %12.1f %10.2f\n", "peak resident per item", v.peakRssPerItem, q.peakRssPerItem,
                v.peakRssPerItem > 0 ? q.peakRssPerItem / v.peakRssPerItem : 0);
    std::printf("check: walked text bytes %zu / %zu, find %s / %s\n\n", v.walked, q.walked,
                v.found >= 0 ? "found" : "missed", q.found >= 0 ? "found" : "missed");
    std::fflush(stdout);
}

// ---- the same steps as benchmark cases ----

template <class Side> void BM_Build(benchmark::State& state) {
    for (auto _ : state) {
        Side side;
        side.Build();
        state.PauseTiming();
        side.Free();
        state.ResumeTiming();
    }
}

template <class Side> void BM_Walk(benchmark::State& state) {
    Side side;
    side.Build();
    for (auto _ : state)
        benchmark::DoNotOptimize(side.Walk());
}

template <class Side> void BM_Find(benchmark::State& state) {
    Side side;
    side.Build();
    for (auto _ : state)
        benchmark::DoNotOptimize(side.Find());
}

template <class Side> void BM_ExpandCollapse(benchmark::State& state) {
    Side side;
    side.Build();
    for (auto _ : state)
        side.ExpandCollapse();
}

// The same expand and collapse with the engine telling a view which rows
// changed (a view that does nothing with them).
void BM_ExpandCollapseTracked(benchmark::State& state) {
    struct NullView : vinca::IViewSink {
    } view;
    VincaSide side;
    side.Build();
    side.engine->SetViewSink(&view);
    for (auto _ : state)
        side.ExpandCollapse();
}

// Every item (index method 0) or every row of the fully expanded tree
// (index method 1) by its number, one after another, as a container's loop
// over ListCount addresses them.
void BM_ByNumber(benchmark::State& state) {
    VincaSide side;
    side.Build();
    side.engine->ExpandToLevel(0);
    side.engine->SetCurrentIndexMethod(static_cast<int16_t>(state.range(0)));
    for (auto _ : state) {
        size_t total = 0;
        int32_t rows = side.engine->ListCount();
        for (int32_t r = 0; r < rows; ++r)
            total += side.engine->ItemFromIndex(r)->Text().size();
        benchmark::DoNotOptimize(total);
    }
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (!std::strcmp(argv[i], "--parents"))
            g_parents = std::max(1, std::atoi(argv[i + 1]));
        else if (!std::strcmp(argv[i], "--children"))
            g_children = std::max(1, std::atoi(argv[i + 1]));
    }
    PrintComparison();

    benchmark::RegisterBenchmark("vinca/build", BM_Build<VincaSide>)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    benchmark::RegisterBenchmark("qt/build", BM_Build<QtSide>)->Unit(benchmark::kMillisecond)->Iterations(3);
    benchmark::RegisterBenchmark("vinca/walk", BM_Walk<VincaSide>)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("qt/walk", BM_Walk<QtSide>)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("vinca/find", BM_Find<VincaSide>)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("qt/find", BM_Find<QtSide>)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("vinca/expand_collapse", BM_ExpandCollapse<VincaSide>)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("qt/expand_collapse", BM_ExpandCollapse<QtSide>)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("vinca/expand_collapse_with_view", BM_ExpandCollapseTracked)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("vinca/items_by_number", BM_ByNumber)->Arg(0)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("vinca/rows_by_number", BM_ByNumber)->Arg(1)->Unit(benchmark::kMillisecond);
    // Our own flags are not the library's.
    std::vector<char*> rest{argv[0]};
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--parents") || !std::strcmp(argv[i], "--children")) {
            ++i;
            continue;
        }
        rest.push_back(argv[i]);
    }
    int restCount = static_cast<int>(rest.size());
    benchmark::Initialize(&restCount, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
