// Tree stream speed: large trees saved to and loaded from a file and a
// memory store, against fwrite/fread of the same bytes. Prints the ratios.
//
// The stdio side copies bytes the page cache holds already; the tree side
// makes (or visits) one object per item and per value, so loading has a
// floor of its own: making the objects.
//
// A stream holds fewer than 2,000,000 references (every value name and sort
// key of every item is one), so a tree of 1,000,000 items can carry no
// values; the second shape has 450,000 items with three values each, close
// to that limit.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/com/variant.h"
#include "vinca/model/item.h"
#include "vinca/model/names.h"
#include "vinca/model/stream.h"
#include "vinca/model/tree_stream.h"
#include "vinca/model/tree_stream_records.h"

using namespace vinca;

namespace {

struct Shape {
    const char* name;
    int parents, children;
    bool values;
};

CTreeRef build_tree(const Shape& shape) {
    const int kParents = shape.parents, kChildren = shape.children;
    CTreeRef tree{CTreeRef::kTree, CRootItem::New()};
    CItemNode* top = tree.item->GetChildNode();
    const CVincaName* size = GlobalName("Size");
    const CVincaName* path = GlobalName("Path");
    for (int p = 0; p < kParents; ++p) {
        int32_t at = -1;
        CItem* parent = nullptr;
        top->AddNewChild(at, "Group " + std::to_string(p), 0, &parent);
        CItemNode* node = parent->GetChildNode();
        for (int c = 0; c < kChildren; ++c) {
            CItem* child = nullptr;
            int32_t end = -1;
            node->AddNewChild(end, "File " + std::to_string(c) + ".dll", 0, &child);
            if (!shape.values) continue;
            CAttrSet& v = child->GetItemData()->Values();
            v.SetOrAddValue(names::ObsoleteValue(), plat::Variant(int32_t(p * kChildren + c)));
            v.SetOrAddValue(size, plat::Variant(double(c) * 1024.5));
            v.SetOrAddValue(path, plat::Variant::ansi("%PROGRAM FILES%\\Product"));
        }
    }
    return tree;
}

using Clock = std::chrono::steady_clock;

// The fastest of a few runs; `before` runs untimed ahead of each one.
template <class F, class B = void (*)()>
double best_of(
    int runs, F&& f, B before = [] {}) {
    double best = 1e100;
    for (int i = 0; i < runs; ++i) {
        before();
        auto t0 = Clock::now();
        f();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    return best;
}

} // namespace

void run(const Shape& shape, const std::filesystem::path& dir) {
    std::string tree_file = (dir / "tree.kld").string(), raw_file = (dir / "raw.bin").string();
    CTreeRef tree = build_tree(shape);
    const int runs = 3;

    double save_file = best_of(runs, [&] {
        CVincaFileStream f(tree_file, CVincaFileStream::CREATE_ALWAYS);
        CTreeStream ts(f, CTreeStream::MODE_WRITE);
        ts.Open();
        WriteTreeRef(ts, tree, true);
        ts.Close();
        if (f.Failed()) std::fprintf(stderr, "save failed: %d\n", f.Error());
    });
    std::vector<uint8_t> bytes(std::filesystem::file_size(tree_file));
    double fwrite_time = best_of(runs, [&] {
        FILE* f = std::fopen(raw_file.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    });
    // The loaded tree is freed outside the timed part.
    CTreeRef back;
    double load_file = best_of(
        runs,
        [&] {
            CVincaFileStream f(tree_file, CVincaFileStream::OPEN_EXISTING);
            CTreeStream ts(f, CTreeStream::MODE_READ);
            if (!ts.Open() || !ReadTreeRef(ts, back)) std::fprintf(stderr, "load failed: %d\n", f.Error());
            benchmark::DoNotOptimize(back.item.get());
        },
        [&] { back = {}; });
    double fread_time = best_of(runs, [&] {
        FILE* f = std::fopen(raw_file.c_str(), "rb");
        size_t n = std::fread(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        benchmark::DoNotOptimize(n);
    });
    double save_mem = best_of(runs, [&] {
        CVincaMemStream m;
        CTreeStream ts(m, CTreeStream::MODE_WRITE);
        ts.Open();
        WriteTreeRef(ts, tree, true);
        ts.Close();
        benchmark::DoNotOptimize(m.Store().Length());
    });

    // The same bytes from a memory store (a tree buffer, the clipboard).
    CVincaMemStream stored;
    {
        CTreeStream ts(stored, CTreeStream::MODE_WRITE);
        ts.Open();
        WriteTreeRef(ts, tree, true);
        ts.Close();
    }
    double load_mem = best_of(
        runs,
        [&] {
            stored.Seek(0, FROM_START);
            CTreeStream ts(stored, CTreeStream::MODE_READ);
            if (!ts.Open() || !ReadTreeRef(ts, back)) std::fprintf(stderr, "load failed: %d\n", stored.Error());
            benchmark::DoNotOptimize(back.item.get());
        },
        [&] { back = {}; });

    std::printf("%s: %d items, %zu bytes\n", shape.name, shape.parents * (shape.children + 1), bytes.size());
    std::printf("  %-26s %10s %10s %8s\n", "", "tree (s)", "stdio (s)", "ratio");
    std::printf("  %-26s %10.3f %10.3f %8.2f\n", "save to file vs fwrite", save_file, fwrite_time,
                save_file / fwrite_time);
    std::printf("  %-26s %10.3f %10.3f %8.2f\n", "load from file vs fread", load_file, fread_time,
                load_file / fread_time);
    std::printf("  %-26s %10.3f %10.3f %8.2f\n", "save to memory vs fwrite", save_mem, fwrite_time,
                save_mem / fwrite_time);
    std::printf("  %-26s %10.3f %10.3f %8.2f\n", "load from memory vs fread", load_mem, fread_time,
                load_mem / fread_time);
}

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("kl-bench-stream-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    run({"1,000 parents of 1,000 children, texts only", 1000, 1000, false}, dir);
    run({"450 parents of 1,000 children, three values each", 450, 1000, true}, dir);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    benchmark::Shutdown();
    return 0;
}
