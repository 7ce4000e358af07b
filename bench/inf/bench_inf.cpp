// Reading speed of the catalogue and product INF readers as the files grow:
// catalogues of 1,000 to 100,000 products, product INF files of 1,000 to
// 32,000 files and one file of 1,000 to 32,000 pieces, written the way the
// designer writes them. Each size prints the time per entry of the whole read
// (parse and reader) and of parsing the text alone; both must stay flat as the
// file grows. The log is off: its cost is the log file's, not the reader's.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "client/engine/product.h"
#include "platform/base/strings.h"
#include "platform/config/ini.h"

namespace {

using Clock = std::chrono::steady_clock;

template <class F> double best_of(int runs, F&& f) {
    double best = 1e100;
    for (int i = 0; i < runs; ++i) {
        auto t0 = Clock::now();
        f();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    return best;
}

std::string catalogue_text(int products) {
    std::string t = "[Common]\r\nINFVersion=3\r\nServer=http://updates.example/\r\nCompanyName=Vendor\r\n";
    for (int n = 1; n <= products; ++n)
        t += plat::strprintf("\r\n[Product%d]\r\nName=Product %d\r\nFile=product%d.inf\r\n", n, n, n);
    return t;
}

std::string common_text() {
    return "[Common]\r\nINFVersion=3\r\nName=Editor\r\nManufacturer=Vendor\r\nPath=http://updates.example/"
           "editor\r\nCriteriaType=0\r\nRegistryCriteria=\r\nPathType=0\r\n";
}

// One "File%d" section as the designer writes it.
std::string file_section(int n, int pieces) {
    std::string t = plat::strprintf("\r\n[File%d]\r\nFileName=file%d.dll\r\nDate=06/22/2001 14:05:00\r\n"
                                    "Size=%d\r\nVersion=1.0\r\nBuild=0\r\nAction=0\r\nCriteriaType=0\r\n"
                                    "DestinationType=1\r\nDestinationPath=%%PRODUCT%%\r\n",
                                    n, n, 65536 * pieces);
    for (int k = 1; k <= pieces; ++k)
        t += plat::strprintf("SourceFile%d=_%04d.Z%02d\r\nSourceSize%d=65536\r\n", k, n, k, k);
    return t;
}

std::string files_text(int files) {
    std::string t = common_text();
    for (int n = 1; n <= files; ++n)
        t += file_section(n, 1);
    return t;
}

std::string pieces_text(int pieces) {
    return common_text() + file_section(1, pieces);
}

struct Row {
    int entries;
    double read_s;
    double parse_s;
};

void print(const char* title, const std::vector<Row>& rows) {
    std::printf("%s\n  %10s %12s %14s %14s %8s\n", title, "entries", "read (s)", "read/entry (us)",
                "parse/entry (us)", "ratio");
    for (const Row& r : rows)
        std::printf("  %10d %12.4f %14.3f %14.3f %8.2f\n", r.entries, r.read_s, r.read_s / r.entries * 1e6,
                    r.parse_s / r.entries * 1e6, r.read_s / r.parse_s);
}

template <class Read> Row measure(int entries, const std::string& text, Read read) {
    const int runs = 5;
    Row row{entries, 0, 0};
    row.parse_s = best_of(runs, [&] {
        plat::IniDocument doc = plat::IniDocument::parse(text);
        benchmark::DoNotOptimize(doc);
    });
    row.read_s = best_of(runs, [&] { read(klc::InfFile::Parse(text)); });
    return row;
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    klc::CClientContext ctx;
    ctx.log_level = 0;
    ctx.product_folder = "/tmp";
    klc::CUrl base;
    base.SetScheme(klc::SCHEME_HTTP);
    base.Parse("http://updates.example/Products.INF");

    std::vector<Row> rows;
    for (int n : {1000, 10000, 30000, 100000})
        rows.push_back(measure(n, catalogue_text(n), [&](const klc::InfFile& inf) {
            klc::CCatalogue cat;
            int links = cat.ReadCatalogue(ctx, inf, base);
            if (links != n) std::fprintf(stderr, "catalogue: %d links of %d\n", links, n);
        }));
    print("Catalogue: products", rows);

    rows.clear();
    for (int n : {1000, 4000, 8000, 16000, 32000})
        rows.push_back(measure(n, files_text(n), [&](const klc::InfFile& inf) {
            klc::CUpdate update;
            int added = update.ReadFiles(ctx, inf, base);
            if (added != n) std::fprintf(stderr, "INF: %d files of %d\n", added, n);
        }));
    print("Product INF: files of one piece", rows);

    rows.clear();
    for (int n : {1000, 4000, 8000, 16000, 32000})
        rows.push_back(measure(n, pieces_text(n), [&](const klc::InfFile& inf) {
            klc::CUpdate update;
            update.ReadFiles(ctx, inf, base);
            if (update.files.size() != 1 || update.files[0].pieces.size() != static_cast<size_t>(n))
                std::fprintf(stderr, "INF: pieces missing of %d\n", n);
        }));
    print("Product INF: one file of many pieces", rows);
    benchmark::Shutdown();
    return 0;
}
