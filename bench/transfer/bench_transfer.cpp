// Downloads a large file from nginx on loopback with the transfer engine and
// with the curl program, and unpacks a large archive with the archive layer
// and with the unzip program. Each side runs as its own child process so that
// its peak memory (getrusage of the child) is its own. Prints throughput, the
// ratios and peak memory; a second, smaller size shows whether memory grows
// with the file.
//
//   bench_transfer [--mb N]       (default 200)
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
#include <vector>

#include "client/engine/decompress.h"
#include "client/engine/transfer.h"
#include "client/engine/url.h"
#include "platform/archive/zip_archive.h"
#include "support/servers.h"
#include "support/temp_dir.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Run {
    bool ok = false;
    double seconds = 0;
    long max_rss_kb = 0;
    double cpu_seconds = 0; // user and system time of the child
};

Run RunChild(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    std::vector<std::string> copy = args;
    for (std::string& a : copy)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    // fork rather than posix_spawn: a child that shares our memory until it
    // runs its program would report our peak as its own.
    const auto start = std::chrono::steady_clock::now();
    Run run;
    const pid_t pid = fork();
    if (pid < 0) return run;
    if (pid == 0) {
        const int null_fd = open("/dev/null", O_WRONLY);
        dup2(null_fd, 1);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    run.max_rss_kb = usage.ru_maxrss;
    run.cpu_seconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return run;
}

// The better of a few runs of each side, taken in turn so that both meet the
// same conditions; one disturbed run does not decide.
std::pair<Run, Run> BestOfBoth(const std::vector<std::string>& ours, const std::vector<std::string>& peer,
                               int times = 5) {
    Run best_ours, best_peer;
    for (int i = 0; i < times; ++i) {
        for (int side = 0; side < 2; ++side) {
            const Run r = RunChild(side == 0 ? ours : peer);
            Run& best = side == 0 ? best_ours : best_peer;
            if (!r.ok) return {side == 0 ? r : best_ours, side == 1 ? r : best_peer};
            if (!best.ok || r.seconds < best.seconds) best = r;
        }
    }
    return {best_ours, best_peer};
}

void WriteData(const fs::path& path, uint64_t bytes, bool compressible) {
    std::ofstream out(path, std::ios::binary);
    std::string block;
    uint64_t x = 88172645463325252ull;
    uint64_t line = 0;
    while (bytes > 0) {
        block.clear();
        while (block.size() < (1 << 20)) {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            if (compressible) {
                block += "record " + std::to_string(line++) + " value " + std::to_string(x % 100000) +
                         " of the update payload\n";
            } else {
                block.append(reinterpret_cast<const char*>(&x), sizeof x);
            }
        }
        const size_t n = static_cast<size_t>(std::min<uint64_t>(bytes, block.size()));
        out.write(block.data(), static_cast<std::streamsize>(n));
        bytes -= n;
    }
}

int EngineDownload(const char* address, const char* local) {
    klc::CTransferEngine engine;
    klc::CTransferSettings settings;
    settings.proxy_mode = klc::PROXY_DIRECT;
    engine.OpenSession(&settings);
    engine.SetBlockSize(1024); // as the pages use it
    klc::CUrl url;
    url.Parse(address);
    klc::CRequestInfo request;
    url.FillRequest(request);
    if (engine.Connect(&request) < 0) return 1;
    return engine.Download(local, url.ObjectName(), std::nullopt, klc::DOWNLOAD_CREATE) >= 0 ? 0 : 1;
}

int EngineUnpack(const char* archive, const char* folder) {
    klc::CDecompressor unzip;
    return unzip.Decompress(std::string(archive), std::string(folder)) == 0 ? 0 : 1;
}

void Report(const char* what, double mb, const Run& ours, const Run& peer, const char* peer_name) {
    std::printf("%s\n", what);
    std::printf("  engine %8.1f MB/s  cpu %6.3f s  peak %6ld KB\n", mb / ours.seconds, ours.cpu_seconds,
                ours.max_rss_kb);
    std::printf("  %-6s %8.1f MB/s  cpu %6.3f s  peak %6ld KB\n", peer_name, mb / peer.seconds,
                peer.cpu_seconds, peer.max_rss_kb);
    std::printf("  throughput ratio engine/%s %.2f   cpu ratio %s/engine %.2f\n", peer_name,
                peer.seconds / ours.seconds, peer_name, peer.cpu_seconds / ours.cpu_seconds);
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--engine-download") == 0) return EngineDownload(argv[2], argv[3]);
    if (argc == 4 && std::strcmp(argv[1], "--engine-unpack") == 0) return EngineUnpack(argv[2], argv[3]);
    uint64_t mb = 200;
    if (argc == 3 && std::strcmp(argv[1], "--mb") == 0) mb = std::strtoull(argv[2], nullptr, 10);

    const std::string self = fs::canonical("/proc/self/exe").string();
    kltest::TempDir dir;
    // Outputs go to memory when the machine has a memory file system: the
    // disk is not what is measured.
    const fs::path scratch = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : dir.path();
    const fs::path out_dir = scratch / ("kl-bench-" + std::to_string(getpid()));
    fs::create_directories(out_dir);
    const fs::path served = dir / "served";
    fs::create_directories(served);
    fs::permissions(dir.path(), fs::perms(0755));
    fs::permissions(served, fs::perms(0755));

    bool all_ok = true;
    for (const uint64_t size_mb : {mb / 10, mb}) {
        const std::string name = "data" + std::to_string(size_mb) + ".bin";
        WriteData(served / name, size_mb << 20, false);
        kltest::NginxServer nginx(served.string());
        if (!nginx.start()) {
            std::fprintf(stderr, "nginx did not start:\n%s\n", nginx.log().c_str());
            return 1;
        }
        const std::string url = nginx.url("/" + name);
        const std::string out = (out_dir / "out.bin").string();
        RunChild({"curl", "-s", "-o", out, url}); // warms the page cache
        const auto [ours, peer] =
            BestOfBoth({self, "--engine-download", url, out}, {"curl", "-s", "-o", out, url});
        all_ok = all_ok && peer.ok && ours.ok && fs::file_size(out) == (size_mb << 20);
        const std::string what = "download " + std::to_string(size_mb) + " MB";
        Report(what.c_str(), static_cast<double>(size_mb), ours, peer, "curl");
        fs::remove(served / name);
    }

    for (const uint64_t size_mb : {mb / 10, mb}) {
        const fs::path source = dir / "payload.txt";
        WriteData(source, size_mb << 20, true);
        const std::string archive = (dir / "_0001.ZIP").string();
        plat::archive::PackOptions pack;
        pack.level = 9;
        const auto t0 = std::chrono::steady_clock::now();
        if (plat::archive::pack_file(source.string(), archive, pack) != plat::archive::ArchiveError::Ok) {
            std::fprintf(stderr, "packing failed\n");
            return 1;
        }
        const double pack_s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        fs::remove(source);
        const std::string ours_dir = (out_dir / "ours").string();
        const std::string peer_dir = (out_dir / "peer").string();
        const auto [ours, peer] = BestOfBoth({self, "--engine-unpack", archive, ours_dir},
                                             {"unzip", "-o", "-qq", archive, "-d", peer_dir});
        all_ok = all_ok && peer.ok && ours.ok &&
                 fs::file_size(fs::path(ours_dir) / "payload.txt") == (size_mb << 20);
        const std::string what = "unpack " + std::to_string(size_mb) + " MB (archive " +
                                 std::to_string(fs::file_size(archive) >> 20) + " MB)";
        Report(what.c_str(), static_cast<double>(size_mb), ours, peer, "unzip");
        std::printf("  (packing at level 9 took %.1f s)\n", pack_s);
        fs::remove_all(ours_dir);
        fs::remove_all(peer_dir);
        fs::remove(archive);
    }
    fs::remove_all(out_dir);
    std::printf("ratios above 1 favour the engine; each side is the best of 5 runs taken in turn\n");
    return all_ok ? 0 : 1;
}
