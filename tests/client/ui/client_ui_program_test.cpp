// The KLClient program itself, run as a child process in the test's own
// machine root: unattended runs and their exit status, and a second
// instance.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <csignal>
#include <thread>

#include "client/engine/context.h"
#include "client/engine/errors.h"
#include "client/ui/app.h"
#include "support/servers.h"
#include "wizard_fixture.h"

using namespace client_ui_test;

namespace {

const std::string kProgram = KL_TEST_BINARY_DIR "/client/ui/KLClient";

std::string Quote(const std::string& s) {
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// The command that runs the program in `folder` with no display at all.
std::string Command(const fs::path& folder, const std::string& args) {
    return "cd " + Quote(folder.string()) +
           " && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM KL_MACHINE_ROOT=" +
           Quote(kltest::machine_root().string()) + " " + Quote(kProgram) + " " + args;
}

// Runs it to its end: the exit status, and what it wrote to standard error.
int RunClient(const fs::path& folder, const std::string& args, std::string* err = nullptr) {
    fs::path err_file = folder / "stderr.txt";
    int status = std::system((Command(folder, args) + " 2>" + Quote(err_file.string())).c_str());
    if (err) *err = kltest::read_file(err_file);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Folder {
    kltest::TempDir dir;
    Folder() { fs::create_directories(dir / "product"); }
    fs::path product() const { return dir / "product"; }
    std::string Log() const { return kltest::read_file(dir / "product" / "KLClient.LOG"); }
};

TEST(ClientProgram, UnattendedRunInstallsAndExitsZero) {
    Folder f;
    kltest::TempDir www;
    kltest::NginxServer nginx(www.str());
    if (!kltest::have_program("nginx") || !nginx.start()) GTEST_SKIP() << "nginx is not available";
    Published p = PublishTwoUpdates(www.path(), nginx.url("/updates"));
    kltest::write_file(f.product() / "KLClient.INI", "[Server1]\r\nName=Loopback\r\nINFFile=" +
                                                         nginx.url("/updates/Products.INF") + "\r\n");
    std::string err;
    EXPECT_EQ(RunClient(f.product(), "AUTO", &err), 0) << err << f.Log();
    EXPECT_EQ(kltest::read_file(f.product() / p.file_a), p.content_a);
    EXPECT_EQ(kltest::read_file(f.product() / p.file_b), p.content_b);
    EXPECT_EQ(Count(f.Log(), "Application was finished successfully."), 1u) << f.Log();
    EXPECT_EQ(klc::CClientContext::ReadRegistryText(klc::kClientPathValue), fs::canonical(kProgram).string());
    EXPECT_EQ(err, "");
}

TEST(ClientProgram, ExitStatusOfFailures) {
    kltest::TempDir www;
    kltest::NginxServer nginx(www.str());
    if (!kltest::have_program("nginx") || !nginx.start()) GTEST_SKIP() << "nginx is not available";
    struct Row {
        std::string args;
        int status;
    } rows[] = {
        {"AUTO INFFILE=" + nginx.url("/nowhere/Products.INF"), 256 + klc::ERR_LOAD},
        {"-auto --script=x", 0},
        {"AUTO INFFILE=gopher://h/P.INF", 256 + klc::ERR_BAD_URL},
    };
    for (const Row& r : rows) {
        Folder f;
        EXPECT_EQ(RunClient(f.product(), r.args), r.status) << r.args << "\n" << f.Log();
    }
}

TEST(ClientProgram, SilentServerEndsWithAFailure) {
    kltest::TinyHttpServer silent("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n0123456789", SIZE_MAX,
                                  600000);
    Folder f;
    int status = RunClient(f.product(), "AUTO TIMEOUT=2000 INFFILE=" + silent.url("/Products.INF"));
    EXPECT_GT(status, 256 - 29) << f.Log();
    EXPECT_LT(status, 256) << f.Log();
}

TEST(ClientProgram, SecondInstanceIsRefused) {
    kltest::TinyHttpServer silent("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n0123456789", SIZE_MAX,
                                  600000);
    Folder first;
    fs::path status_file = first.dir / "status";
    // The first instance waits on a silent server in the background. Its
    // stall limit leaves room for a slow start of the second one on a busy
    // machine: the second must find the first still running.
    std::string background =
        "(" + Command(first.product(), "AUTO LOG=3 TIMEOUT=20000 INFFILE=" + silent.url("/P.INF")) +
        " 2>/dev/null; echo $? > " + Quote(status_file.string()) + ") &";
    ASSERT_EQ(std::system(background.c_str()), 0);
    // It holds the lock once it has begun its log, and writes nothing more
    // while the server keeps silent.
    ASSERT_TRUE(PumpUntil([&] { return first.Log().find("... from URL") != std::string::npos; }));
    std::string log_before = first.Log();

    Folder second;
    std::string err;
    EXPECT_EQ(RunClient(second.product(), "AUTO", &err), 1);
    EXPECT_NE(err.find(*klc::LoadClientString(300)), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(second.product() / "KLClient.LOG")) << "a refused instance writes nothing";
    EXPECT_EQ(first.Log(), log_before);

    ASSERT_TRUE(
        PumpUntil([&] { return fs::exists(status_file) && !kltest::read_file(status_file).empty(); }));
    int status = std::stoi(kltest::read_file(status_file));
    EXPECT_GT(status, 200) << "the first ends on its stall limit: " << first.Log();
}

// The wizard waits for a person, so without a display (none set, or one
// that cannot be reached) it says why and ends with status 2, naming the
// arguments that matched no switch, instead of aborting in the window system.
TEST(ClientProgram, WizardWithoutADisplaySaysWhy) {
    struct Row {
        std::string env;
        std::string reason;
    } rows[] = {
        {"", "no display is set"},
        {"DISPLAY=:7391", "the display :7391 could not be opened"},
    };
    for (const Row& r : rows) {
        Folder f;
        fs::path err_file = f.dir / "stderr.txt";
        std::string command = "cd " + Quote(f.product().string()) +
                              " && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM KL_MACHINE_ROOT=" +
                              Quote(kltest::machine_root().string()) + " " + r.env + " " + Quote(kProgram) +
                              " AUTOX LOG=3 2>" + Quote(err_file.string());
        int status = std::system(command.c_str());
        std::string err = kltest::read_file(err_file);
        ASSERT_TRUE(WIFEXITED(status)) << r.env << ": ended by a signal\n" << err;
        EXPECT_EQ(WEXITSTATUS(status), 2) << r.env << "\n" << err;
        EXPECT_NE(err.find(r.reason), std::string::npos) << err;
        EXPECT_NE(err.find("match no switch and were ignored: AUTOX."), std::string::npos) << err;
        EXPECT_NE(err.find("run with AUTO"), std::string::npos) << err;
        EXPECT_FALSE(fs::exists(f.product() / "KLClient.LOG")) << "nothing ran";
    }
}

} // namespace

namespace {

// Once on a real X server: the unattended run with a display.
TEST(ClientProgram, UnattendedRunOnAnXServer) {
    if (!kltest::have_program("xvfb-run")) GTEST_SKIP() << "xvfb-run is not available";
    Folder f;
    // The X platform's D-Bus library keeps a buffer to the end: not ours to
    // report as a leak.
    std::string command = "cd " + Quote(f.product().string()) +
                          " && env -u QT_QPA_PLATFORM ASAN_OPTIONS=detect_leaks=0 KL_MACHINE_ROOT=" +
                          Quote(kltest::machine_root().string()) + " xvfb-run -a " + Quote(kProgram) +
                          " AUTO SCRIPT=x 2>/dev/null";
    int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << f.Log();
    EXPECT_NE(f.Log().find("No one update was processed."), std::string::npos) << f.Log();
}

} // namespace
