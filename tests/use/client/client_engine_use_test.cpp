// KLClient as a user or an administrator's script meets it: the real
// program as a child process, unattended, against nginx, vsftpd and a small
// server whose files change between runs; runs killed half-way and started
// again. What counts is the exit status, the log and the files on disk.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>

#include "client/engine/errors.h"
#include "engine_publish.h"
#include "platform/config/ini.h"
#include "support/object_server.h"
#include "support/servers.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

const std::string kProgram = KL_TEST_BINARY_DIR "/client/ui/KLClient";
constexpr int kStatusLoadFailed = 256 + klc::ERR_LOAD;

std::string Quote(const std::string& s) {
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

bool WaitUntil(const std::function<bool()>& done, int seconds = 120) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

uintmax_t SizeOf(const fs::path& p) {
    std::error_code ec;
    const uintmax_t n = fs::file_size(p, ec);
    return ec ? 0 : n;
}

// One machine with a product folder; the program runs in it without a display.
struct Machine {
    kltest::TempDir dir;
    fs::path root;    // the emulated machine
    fs::path temp;    // TEMP as the program inherits it
    fs::path product; // its working folder

    explicit Machine(fs::path machine_root = kltest::machine_root(), fs::path shared_temp = {})
        : root(std::move(machine_root)), temp(shared_temp.empty() ? dir / "temp" : std::move(shared_temp)),
          product(dir / "product") {
        fs::create_directories(product);
        fs::create_directories(temp);
    }

    std::string Command(const std::string& args) const {
        return "cd " + Quote(product.string()) +
               " && exec env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM KL_MACHINE_ROOT=" +
               Quote(root.string()) + " TEMP=" + Quote(temp.string()) + " " + Quote(kProgram) + " " + args;
    }
    // Runs the program to its end: its exit status.
    int Run(const std::string& args) const {
        const int status = std::system((Command(args) + " 2>/dev/null").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // Starts it in the background: its process id.
    pid_t Start(const std::string& args) const {
        const std::string command = Command(args) + " 2>/dev/null";
        const pid_t pid = fork();
        if (pid == 0) {
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        return pid;
    }
    static void Kill(pid_t pid) {
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
    }
    std::string Log() const { return kltest::read_file(product / "KLClient.LOG"); }
    // Where the machine keeps the pieces of an update between runs.
    fs::path Pieces(const std::string& product_name = "Editor", const std::string& update = "Main Update") const {
        return root / "Windows" / "Temp" / "KLClient" / product_name / update;
    }
};

// One product with the given files, published below `folder` for `url`.
void PublishFiles(const fs::path& folder, const std::string& url,
                  const std::vector<engine_test::PublishedFile>& files) {
    engine_test::Publication pub;
    pub.web_location = url;
    pub.files = files;
    engine_test::Publish(folder.string(), pub);
}

// --- resuming ------------------------------------------------------------------

// A run killed while a piece comes in leaves part of it; the vendor then
// republishes (file names repeat at every release) or not. The next run
// continues the piece only when the server proves it is the same file.
TEST(ClientResume, KilledRunIsContinuedOnlyOnTheSameRemoteFile) {
    using V = kltest::ObjectServer::Validators;
    const V r1{"\"r1\"", ""};
    const V r2{"\"r2\"", ""};
    const V monday{"", "Mon, 01 Jan 2024 10:00:00 GMT"};
    const V tuesday{"", "Tue, 02 Jan 2024 10:00:00 GMT"};
    struct Row {
        const char* what;
        V before, after;
        size_t size_after; // 0: the file is not republished
        bool server_ignores_if_range;
        bool continued; // the second run asks for the rest only
    } rows[] = {
        {"ETag, republished at the same size", r1, r2, 600000, false, false},
        {"Last-Modified, republished larger", monday, tuesday, 700000, false, false},
        {"Last-Modified, republished smaller", monday, tuesday, 500000, false, false},
        {"no validator, republished at the same size", {}, {}, 600000, false, false},
        {"a server that answers ranges of another version", r1, r2, 600000, true, false},
        {"ETag, the same file", r1, r1, 0, false, true},
        {"Last-Modified, the same file", monday, monday, 0, false, true},
    };
    const std::string piece = "/updates/_0001.KL_";
    int index = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        kltest::TempDir www;
        kltest::ObjectServer server(www.path());
        Machine m(kltest::machine_root() / ("m" + std::to_string(index++)), {});
        const std::string first = kltest::payload(600000, 1);
        PublishFiles(www / "updates", server.url("/updates"), {{"tool.bin", first}});
        server.SetValidators(piece, row.before);
        server.HoldAfter(piece, 300000);
        const std::string args = "AUTO LOG=3 INFFILE=" + server.url("/updates/Products.INF");

        // Killed with the first large block of the piece on disk.
        const pid_t pid = m.Start(args);
        const fs::path partial = m.Pieces() / "_0001.KL_";
        const bool got_part = WaitUntil([&] { return SizeOf(partial) > 0; });
        Machine::Kill(pid);
        server.Release();
        ASSERT_TRUE(got_part) << m.Log();
        const uintmax_t kept = SizeOf(partial);
        ASSERT_LT(kept, first.size());

        std::string expected = first;
        if (row.size_after) {
            expected = kltest::payload(row.size_after, 2);
            PublishFiles(www / "updates", server.url("/updates"), {{"tool.bin", expected}});
        }
        server.SetValidators(piece, row.after);
        server.IgnoreIfRange(row.server_ignores_if_range);
        const size_t asked_before = server.requests_for(piece).size();

        EXPECT_EQ(m.Run(args), 0) << m.Log();
        EXPECT_TRUE(kltest::read_file(m.product / "tool.bin") == expected) << m.Log();
        EXPECT_EQ(Count(m.Log(), "Application was finished successfully."), 1u) << m.Log();
        const std::vector<std::string> asked = server.requests_for(piece);
        ASSERT_GT(asked.size(), asked_before);
        const std::string& resumed = asked[asked_before];
        const std::string range = "\r\nRange: bytes=" + std::to_string(kept) + "-\r\n";
        const bool validated = !row.before.etag.empty() || !row.before.last_modified.empty();
        // A piece without a validator is never asked to continue.
        EXPECT_EQ(resumed.find(range) != std::string::npos, validated) << resumed;
        if (validated) {
            const std::string& proof = row.before.etag.empty() ? row.before.last_modified : row.before.etag;
            EXPECT_NE(resumed.find("\r\nIf-Range: " + proof), std::string::npos) << resumed;
        }
        if (row.continued) {
            EXPECT_EQ(asked.size(), asked_before + 1) << "asked once, for the rest";
        }
    }
}

// A failed unattended run keeps the complete pieces it had (it answers No to
// deleting them); the vendor republishes; the next run must not install the
// old release from them.
TEST(ClientResume, CompletePiecesOfAFailedRunAreCheckedAgainstTheServer) {
    struct Row {
        const char* scheme;
        size_t size_after;
    } rows[] = {{"http", 50000}, {"http", 52000}, {"ftp", 50000}, {"ftp", 48000}};
    int index = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.scheme) + " " + std::to_string(row.size_after));
        kltest::TempDir www;
        fs::create_directories(www / "updates");
        fs::permissions(www.path(), fs::perms(0755));
        fs::permissions(www / "updates", fs::perms(0755));
        std::unique_ptr<kltest::FolderServer> server;
        if (std::string(row.scheme) == "http") {
            if (!kltest::have_program("nginx")) GTEST_SKIP() << "nginx is not available";
            server = std::make_unique<kltest::NginxServer>(www.str());
        } else {
            if (!kltest::have_program("vsftpd")) GTEST_SKIP() << "vsftpd is not available";
            server = std::make_unique<kltest::FtpServer>(www.str());
        }
        ASSERT_TRUE(server->start()) << server->log();
        Machine m(kltest::machine_root() / ("m" + std::to_string(index++)), {});
        const std::string url = server->url("/updates");
        const std::string old_a = kltest::payload(50000, 1);
        const std::string b = kltest::payload(20000, 3);
        PublishFiles(www / "updates", url, {{"a.bin", old_a}, {"b.bin", b}});
        // An old release's time, which a new one never has.
        utimbuf old_time{993218700, 993218700};
        utime((www / "updates" / "_0001.KL_").c_str(), &old_time);
        fs::remove(www / "updates" / "_0002.KL_");
        const std::string args = "AUTO LOG=3 INFFILE=" + url + "/Products.INF";

        EXPECT_NE(m.Run(args), 0) << m.Log();
        ASSERT_EQ(SizeOf(m.Pieces() / "_0001.KL_"), old_a.size()) << "kept for the next run\n" << m.Log();
        EXPECT_FALSE(fs::exists(m.product / "a.bin"));

        const std::string new_a = kltest::payload(row.size_after, 2);
        PublishFiles(www / "updates", url, {{"a.bin", new_a}, {"b.bin", b}});
        for (const char* name : {"_0001.KL_", "_0002.KL_", "editor.inf", "Products.INF"})
            fs::permissions(www / "updates" / name, fs::perms(0644));
        EXPECT_EQ(m.Run(args), 0) << m.Log();
        EXPECT_TRUE(kltest::read_file(m.product / "a.bin") == new_a) << m.Log();
        EXPECT_TRUE(kltest::read_file(m.product / "b.bin") == b) << m.Log();
        EXPECT_FALSE(fs::exists(m.Pieces())) << "nothing is kept after a success";
    }
}

// --- private folders ---------------------------------------------------------------

// Clients of different machines that inherit one TEMP, started together, and
// a file planted there under the names the client once used.
TEST(ClientFolders, ClientsSharingOneTempFolderKeepApart) {
    if (!kltest::have_program("nginx")) GTEST_SKIP() << "nginx is not available";
    kltest::TempDir www;
    kltest::NginxServer nginx(www.str());
    ASSERT_TRUE(nginx.start()) << nginx.log();
    const std::string content = kltest::payload(3 * 1024 * 1024 + 7, 4);
    PublishFiles(www / "updates", nginx.url("/updates"), {{"tool.bin", content}});

    kltest::TempDir shared;
    const std::string planted = "[Common]\r\nINFVersion=3\r\n[Product1]\r\nName=Planted\r\nFile=http://127.0.0.1:9/x.inf\r\n";
    kltest::write_file(shared / "PRODUCTS.INF", planted);
    kltest::write_file(shared / "0PRODFILE0.INF", planted);
    kltest::write_file(shared / "Editor" / "Main Update" / "_0001.KL_", "planted");

    constexpr int kClients = 6;
    std::vector<std::unique_ptr<Machine>> machines;
    std::vector<pid_t> pids;
    for (int i = 0; i < kClients; ++i) {
        machines.push_back(
            std::make_unique<Machine>(kltest::machine_root() / ("m" + std::to_string(i)), shared.path()));
        pids.push_back(machines.back()->Start("AUTO INFFILE=" + nginx.url("/updates/Products.INF")));
    }
    for (int i = 0; i < kClients; ++i) {
        int status = 0;
        waitpid(pids[i], &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << i << "\n" << machines[i]->Log();
        EXPECT_TRUE(kltest::read_file(machines[i]->product / "tool.bin") == content) << i;
    }
    // The planted files were neither read nor changed, and no run left a
    // folder of its own behind.
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(shared.path()))
        left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"0PRODFILE0.INF", "Editor", "PRODUCTS.INF"}));
    EXPECT_EQ(kltest::read_file(shared / "PRODUCTS.INF"), planted);
    EXPECT_EQ(kltest::read_file(shared / "Editor" / "Main Update" / "_0001.KL_"), "planted");
}

// --- runs that were killed ---------------------------------------------------------------

// Killed while it copies a file into the product folder: the hidden
// temporary copy stays; the next run removes it and says so.
TEST(ClientInterrupted, LeftoverOfAKilledCopyIsRemovedByTheNextRun) {
    if (!kltest::have_program("nginx")) GTEST_SKIP() << "nginx is not available";
    kltest::TempDir www;
    kltest::NginxServer nginx(www.str());
    ASSERT_TRUE(nginx.start()) << nginx.log();
    const std::string content = kltest::payload(96 * 1024 * 1024, 5);
    PublishFiles(www / "updates", nginx.url("/updates"), {{"big.bin", content}});
    Machine m;
    const std::string args = "AUTO LOG=3 INFFILE=" + nginx.url("/updates/Products.INF");

    // The copy's temporary file appears: the run is killed at once.
    const int watch = inotify_init1(IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, m.product.c_str(), IN_CREATE), 0);
    const pid_t pid = m.Start(args);
    std::string leftover;
    alignas(inotify_event) char buf[4096];
    while (leftover.empty()) {
        const ssize_t n = read(watch, buf, sizeof buf);
        if (n <= 0) break;
        for (ssize_t at = 0; at < n;) {
            auto* e = reinterpret_cast<inotify_event*>(buf + at);
            if (e->len > 0 && std::string(e->name).starts_with(".big.bin.")) leftover = e->name;
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
        }
    }
    Machine::Kill(pid);
    close(watch);
    ASSERT_FALSE(leftover.empty());
    ASSERT_TRUE(fs::exists(m.product / leftover)) << "the copy ended before the kill";
    EXPECT_FALSE(fs::exists(m.product / "big.bin"));

    EXPECT_EQ(m.Run(args), 0) << m.Log();
    EXPECT_FALSE(fs::exists(m.product / leftover));
    EXPECT_TRUE(kltest::read_file(m.product / "big.bin") == content);
    const std::string log = m.Log();
    EXPECT_NE(log.find("An earlier run was interrupted while copying " + (m.product / "big.bin").string() +
                       ": its temporary file " + (m.product / leftover).string() + " is removed."),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("An earlier run was interrupted: its folder "), std::string::npos) << log;
    // Nothing of the killed run is left in the temporary folder.
    EXPECT_TRUE(fs::is_empty(m.temp));
}

// --- products and messages ---------------------------------------------------------------

// One product's INF is missing: the other product is still installed, and
// the run still ends as a failure.
TEST(ClientProducts, MissingProductInfLeavesTheOthersToInstall) {
    if (!kltest::have_program("nginx")) GTEST_SKIP() << "nginx is not available";
    kltest::TempDir www;
    kltest::NginxServer nginx(www.str());
    ASSERT_TRUE(nginx.start()) << nginx.log();
    const std::string content = kltest::payload(5000, 6);
    PublishFiles(www / "updates" / "editor", nginx.url("/updates/editor"), {{"tool.bin", content}});
    plat::IniDocument products;
    products.set("Common", "INFVersion", "3");
    products.set("Product1", "Name", "Viewer");
    products.set("Product1", "File", nginx.url("/updates/viewer/missing.inf"));
    products.set("Product2", "Name", "Editor");
    products.set("Product2", "File", nginx.url("/updates/editor/editor.inf"));
    products.save(www / "updates" / "Products.INF");

    Machine m;
    EXPECT_EQ(m.Run("AUTO LOG=3 INFFILE=" + nginx.url("/updates/Products.INF")), kStatusLoadFailed) << m.Log();
    EXPECT_TRUE(kltest::read_file(m.product / "tool.bin") == content) << m.Log();
    const std::string log = m.Log();
    EXPECT_NE(log.find("Unable to load  update information file."), std::string::npos) << log;
    EXPECT_NE(log.find("Error -8 was occured during update."), std::string::npos) << log;
    // The update names no advertisement: none is loaded.
    EXPECT_EQ(log.find("Loading ADVERT file"), std::string::npos) << log;
}

// Every log entry is one line; the archive layer's reason follows the
// client's own text; a damaged file is downloaded once more before the update
// fails.
TEST(ClientMessages, DamagedArchiveIsLoadedTwiceAndLoggedOnOneLine) {
    if (!kltest::have_program("nginx")) GTEST_SKIP() << "nginx is not available";
    kltest::TempDir www;
    kltest::NginxServer nginx(www.str());
    ASSERT_TRUE(nginx.start()) << nginx.log();
    engine_test::PublishedFile file("tool.txt", std::string(200000, 'k'));
    file.compress = true;
    PublishFiles(www / "updates", nginx.url("/updates"), {file});
    // Damaged on the server, its size unchanged.
    const fs::path archive = www / "updates" / "_0001.ZIP";
    std::string bytes = kltest::read_file(archive);
    for (size_t i = 40; i < bytes.size() - 40; i += 7)
        bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
    kltest::write_file(archive, bytes);

    Machine m;
    EXPECT_EQ(m.Run("AUTO LOG=3 INFFILE=" + nginx.url("/updates/Products.INF")), 256 + klc::ERR_NO_ZIP_LIBRARY)
        << m.Log();
    EXPECT_FALSE(fs::exists(m.product / "tool.txt"));
    const std::string log = m.Log();
    EXPECT_EQ(Count(log, "Decompress file "), 2u) << log;
    EXPECT_EQ(Count(log, "tool.txt does not match its description: it is discarded and loaded once more."), 1u)
        << log;
    const std::string text = "This update requires XceedZIP compresion library. Check that XCeedZIP.DLL is "
                             "installed on your computer. ";
    const size_t at = log.find(text);
    ASSERT_NE(at, std::string::npos) << log;
    const size_t end = log.find("\r\n", at);
    EXPECT_GT(end, at + text.size()) << "the archive layer's reason follows on the same line: " << log;
    // Every line begins with its date.
    for (size_t line = 0; line < log.size(); line = log.find("\r\n", line) + 2) {
        EXPECT_TRUE(log[line] >= '1' && log[line] <= '9') << log.substr(line, 60);
        if (log.find("\r\n", line) == std::string::npos) break;
    }
}

TEST(ClientMessages, SystemErrorTextFollowsTheMessageAfterABlank) {
    if (!kltest::have_program("nginx")) GTEST_SKIP() << "nginx is not available";
    kltest::TempDir www;
    kltest::NginxServer nginx(www.str());
    ASSERT_TRUE(nginx.start()) << nginx.log();
    PublishFiles(www / "updates", nginx.url("/updates"), {{"tool.bin", "new"}});
    Machine m;
    kltest::write_file(m.product / "tool.bin", "old");
    fs::permissions(m.product / "tool.bin", fs::perms(0444));
    EXPECT_EQ(m.Run("AUTO INFFILE=" + nginx.url("/updates/Products.INF")), 256 + klc::ERR_COPY) << m.Log();
    EXPECT_NE(m.Log().find("Unable to copy file. Access is denied."), std::string::npos) << m.Log();
    EXPECT_EQ(kltest::read_file(m.product / "tool.bin"), "old");
}

// RUN= is split as a shell splits words; a program that cannot start is logged.
TEST(ClientMessages, FinalProgramIsSplitByShellWordsAndAFailedStartIsLogged) {
    Machine m;
    EXPECT_EQ(m.Run("AUTO SCRIPT=x " + Quote("RUN=sh -c 'printf \"%s|\" \"$0\" > ran.txt' 'one word'")), 0)
        << m.Log();
    EXPECT_TRUE(WaitUntil([&] { return kltest::read_file(m.product / "ran.txt") == "one word|"; }))
        << kltest::read_file(m.product / "ran.txt");

    int index = 0;
    for (const std::string& run : {std::string("/nowhere/program --x"), std::string("sh -c 'unclosed")}) {
        Machine n(kltest::machine_root() / ("n" + std::to_string(index++)), {});
        EXPECT_EQ(n.Run("AUTO SCRIPT=x " + Quote("RUN=" + run)), 0) << n.Log();
        EXPECT_NE(n.Log().find("Unable to execute file. "), std::string::npos) << n.Log();
        EXPECT_NE(n.Log().find("(" + run + ")"), std::string::npos) << n.Log();
    }
}

} // namespace
