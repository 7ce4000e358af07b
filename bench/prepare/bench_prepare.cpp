// Prepare of one compressed item of about 200 MB (1 MB blocks of random bytes
// and of text in turn) against "zip -9 -j" on the same file. Each side runs
// as its own child process, best of 5, taken in turn; prints the time and
// size ratios and peak memory, then chunked and protected runs of Prepare.
//
//   bench_prepare [--mb N]        (default 200)
//   bench_prepare --child SOURCE OUT CHUNK ENCRYPT   (one Prepare; internal)
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "KLDesigner/builder/designer.h"
#include "KLDesigner/builder/file_version.h"
#include "bench/support/quiet_host.h"
#include "support/list_tree.h"

namespace fs = std::filesystem;
using namespace kld;

namespace {

// --- the child: one whole Prepare, every question answered Yes -------------

class YesPrompt : public plat::ui::IPrompt {
  public:
    plat::ui::MsgAnswer message(const plat::ui::MessageRequest& r) override {
        if (r.icon == plat::ui::MsgIcon::Warning && r.buttons == plat::ui::MsgButtons::Ok) {
            failed = true;
            std::fprintf(stderr, "%s\n", r.text.c_str());
        }
        return r.buttons == plat::ui::MsgButtons::Ok ? plat::ui::MsgAnswer::Ok : plat::ui::MsgAnswer::Yes;
    }
    std::optional<std::string> choose_open_file(const plat::ui::FileRequest&) override {
        return std::nullopt;
    }
    std::optional<std::string> choose_save_file(const plat::ui::FileRequest&) override {
        return std::nullopt;
    }
    std::optional<std::string> choose_folder(const plat::ui::FolderRequest&) override { return std::nullopt; }
    int32_t run_modal(plat::ui::IModalDialog&) override { return 0; }
    bool open_url(const std::string&) override { return false; }
    bool failed = false;
};

class NullBridge : public ITreeBridge {
  public:
    void AddOperationItem(Designer&, int32_t, bool) override {}
    void RemoveOperationItem(Designer&, int32_t) override {}
    void RefreshOperationItem(Designer&, int32_t, int32_t) override {}
    void FillOperationsTree(Designer&) override {}
    void StoreDescriptionInTree(Designer&) override {}
    bool SaveTreeToFile(Designer&, const std::string&) override { return false; }
    bool LoadTreeFromFile(Designer&, const std::string&) override { return false; }
    void ReadDescriptionFromTree(Designer&) override {}
};

int Child(const std::string& source, const std::string& out, int32_t chunk, bool encrypt) {
    kl_bench::QuietHost host;
    YesPrompt prompt;
    kldtest::ListTree tree;
    NullBridge bridge;
    Designer d(DesignerServices{host, prompt, tree, bridge});
    d.ClearProduct();
    d.Product.ProductName = "Bench";
    d.Product.Manufacturer = "Vendor";
    d.Product.INFFileName = "bench.inf";
    d.Product.WebLocation = "http://127.0.0.1/updates";
    d.Product.OutputFolder = out;
    d.Product.ChunkSize = chunk;
    d.Product.InstallCriteria[0].RegKey = "HKLM\\SOFTWARE\\Vendor";
    d.Product.InstallPaths[0] = {1, "%PROGRAM FILES%\\Bench", "", "", false};
    d.Actions.assign(2, ActionRecord{});
    d.Actions[0].ActionType = action::InstallFile;
    d.Actions[0].IsGroup = true;
    d.Actions[0].SourceFolder = fs::path(source).parent_path().string();
    ActionRecord& r = d.Actions[1];
    r.ActionType = action::InstallFile;
    r.SourcePath = fs::path(source).filename().string();
    r.Compress = true;
    r.Encrypt = encrypt;
    r.Destinations[0] = {1, "%PRODUCT%", "", "", false};
    GetFileAttributes(source, r.FileDate, r.FileSize, r.VersionHigh, r.VersionLow, r.Build, r.FileType,
                      r.FileReserved);
    d.ActionCount = 2;
    tree.Build("G0(I1)");
    d.PrepareUpdate();
    return !prompt.failed && fs::exists(fs::path(out) / "bench.inf") ? 0 : 1;
}

// --- the parent ------------------------------------------------------------

struct Run {
    bool ok = false;
    double seconds = 0;
    long max_rss_kb = 0;
};

Run RunChild(const std::vector<std::string>& args) {
    std::vector<std::string> copy = args;
    std::vector<char*> argv;
    for (std::string& a : copy)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    Run run;
    const pid_t pid = fork();
    if (pid < 0) return run;
    if (pid == 0) {
        const int null_fd = open("/dev/null", O_WRONLY);
        dup2(null_fd, 1);
        dup2(null_fd, 2);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    run.max_rss_kb = usage.ru_maxrss;
    return run;
}

// Alternating 1 MB blocks: random bytes (incompressible) and text.
void WriteData(const fs::path& p, uint64_t bytes) {
    std::ofstream f(p, std::ios::binary);
    uint64_t x = 0x9E3779B97F4A7C15ull;
    std::string block(1 << 20, '\0');
    for (uint64_t done = 0, n = 0; done < bytes; done += block.size(), ++n) {
        if (n % 2 == 0) {
            for (size_t i = 0; i + 8 <= block.size(); i += 8) {
                x ^= x << 13;
                x ^= x >> 7;
                x ^= x << 17;
                std::memcpy(&block[i], &x, 8);
            }
        } else {
            block.clear();
            for (uint64_t line = 0; block.size() < (1u << 20); ++line)
                block += "line " + std::to_string(n * 100000 + line) + " of the update's text, with words\n";
            block.resize(1 << 20);
        }
        f.write(block.data(), static_cast<std::streamsize>(std::min<uint64_t>(block.size(), bytes - done)));
    }
}

uint64_t FolderBytes(const fs::path& folder, const std::string& prefix) {
    uint64_t total = 0;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().filename().string().rfind(prefix, 0) == 0) total += fs::file_size(e.path());
    return total;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 6 && std::strcmp(argv[1], "--child") == 0)
        return Child(argv[2], argv[3], std::atoi(argv[4]), std::atoi(argv[5]) != 0);
    uint64_t mb = 200;
    if (argc == 3 && std::strcmp(argv[1], "--mb") == 0) mb = std::strtoull(argv[2], nullptr, 10);

    const fs::path work = fs::temp_directory_path() / ("bench_prepare." + std::to_string(getpid()));
    fs::create_directories(work / "src");
    const fs::path source = work / "src" / "payload.bin";
    WriteData(source, mb << 20);
    const std::string self = fs::canonical("/proc/self/exe").string();
    const fs::path out = work / "out", zipped = work / "peer.zip";

    Run bestOurs, bestPeer;
    uint64_t ourSize = 0, peerSize = 0;
    bool ok = true;
    for (int i = 0; i < 5; ++i) {
        fs::remove_all(out);
        Run a = RunChild({self, "--child", source.string(), out.string(), "0", "0"});
        ok = ok && a.ok;
        if (a.ok) ourSize = FolderBytes(out, "_0001");
        fs::remove(zipped);
        Run b = RunChild({"zip", "-9", "-j", "-q", zipped.string(), source.string()});
        ok = ok && b.ok;
        if (b.ok) peerSize = fs::file_size(zipped);
        if (i == 0 || a.seconds < bestOurs.seconds) bestOurs = a;
        if (i == 0 || b.seconds < bestPeer.seconds) bestPeer = b;
    }
    std::printf("prepare of one compressed item, %llu MB (best of 5)\n", static_cast<unsigned long long>(mb));
    std::printf("  prepare  %7.2f s  archive %11llu bytes  peak %7ld KB\n", bestOurs.seconds,
                static_cast<unsigned long long>(ourSize), bestOurs.max_rss_kb);
    std::printf("  zip -9   %7.2f s  archive %11llu bytes  peak %7ld KB\n", bestPeer.seconds,
                static_cast<unsigned long long>(peerSize), bestPeer.max_rss_kb);
    std::printf("  time ratio prepare/zip %.2f   size ratio prepare/zip %.4f\n",
                bestOurs.seconds / bestPeer.seconds,
                static_cast<double>(ourSize) / static_cast<double>(peerSize));

    for (const auto& [name, chunk, encrypt] :
         {std::tuple<const char*, const char*, const char*>{"in 10 MB pieces", "10485760", "0"},
          {"protected", "0", "1"}}) {
        Run best;
        for (int i = 0; i < 3; ++i) {
            fs::remove_all(out);
            Run r = RunChild({self, "--child", source.string(), out.string(), chunk, encrypt});
            ok = ok && r.ok;
            if (i == 0 || r.seconds < best.seconds) best = r;
        }
        std::printf("  prepare %-16s %7.2f s  peak %7ld KB  output %llu bytes\n", name, best.seconds,
                    best.max_rss_kb, static_cast<unsigned long long>(FolderBytes(out, "_0001")));
    }
    fs::remove_all(work);
    if (!ok) std::fprintf(stderr, "a run failed\n");
    return ok ? 0 : 1;
}
