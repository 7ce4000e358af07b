#include "platform/sys/process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/sys/files.h"
#include "support/temp_dir.h"

using namespace plat;
using kltest::read_file;
using kltest::TempDir;

namespace {

// A program that writes each of its arguments on a line of its own into the
// file named by its first argument (the shell here is the started program,
// not a way of starting it).
std::vector<std::string> echo_args(const std::string& out, std::vector<std::string> args) {
    std::vector<std::string> argv{"/bin/sh", "-c", "f=$1; shift; printf '%s\\n' \"$@\" > \"$f\"", "sh", out};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

} // namespace

TEST(SysProcess, ArgumentsReachTheProgramUnchanged) {
    TempDir dir;
    const std::string out = dir.str() + "/args.txt";
    const std::vector<std::string> args{
        "two words", "\"quoted\"", "it's", "back\\slash\\", "%WINDIR%", "$HOME", "a;b|c&d", "*", "",
    };
    Process p;
    ASSERT_EQ(p.start(echo_args(out, args)), SysError::Success);
    ASSERT_EQ(p.wait(10000), WaitOutcome::Exited);
    EXPECT_EQ(p.exit_code(), 0);
    std::string expected;
    for (const auto& a : args)
        expected += a + "\n";
    EXPECT_EQ(read_file(out), expected);
}

TEST(SysProcess, WorkingFolderEnvironmentAndExitCode) {
    TempDir dir;
    Environment env;
    env.set("PATH", "/usr/bin:/bin");
    env.set("KL PROBE", "value with blanks");
    Process p;
    StartOptions opt;
    opt.working_folder = dir.str();
    opt.environment = &env;
    ASSERT_EQ(p.start({"sh", "-c", "pwd > where; exit 7"}, opt), SysError::Success);
    ASSERT_EQ(p.wait(10000), WaitOutcome::Exited);
    EXPECT_EQ(p.exit_code(), 7);
    EXPECT_EQ(read_file(dir / "where"), dir.str() + "\n");
    // A shell would drop a name with a blank; the started program itself
    // sees it.
    ASSERT_EQ(p.start({"cp", "/proc/self/environ", "env.txt"}, opt), SysError::Success);
    ASSERT_EQ(p.wait(10000), WaitOutcome::Exited);
    std::string e = read_file(dir / "env.txt");
    EXPECT_NE(e.find(std::string("KL PROBE=value with blanks\0", 27)), std::string::npos);
    EXPECT_EQ(e.find("KL_MACHINE_ROOT="), std::string::npos); // only the given map
    EXPECT_FALSE(p.running());
}

TEST(SysProcess, WaitTimesOutOrIsCancelledWithoutStoppingTheProgram) {
    Process p;
    ASSERT_EQ(p.start({"/bin/sleep", "30"}), SysError::Success);
    EXPECT_EQ(p.wait(100), WaitOutcome::Timeout);
    EXPECT_TRUE(p.running());

    Event cancel(true);
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        cancel.set();
    });
    EXPECT_EQ(p.wait(kInfinite, &cancel), WaitOutcome::Cancelled);
    canceller.join();
    EXPECT_TRUE(p.running()); // the cancel, not the program's end, ended the wait
    ::kill(p.pid(), SIGTERM);
    EXPECT_EQ(p.wait(10000), WaitOutcome::Exited);
    EXPECT_EQ(p.exit_code(), 128 + SIGTERM);
}

TEST(SysProcess, StartFailuresAreReported) {
    TempDir dir;
    Process p;
    EXPECT_EQ(p.start({}), SysError::InvalidParameter);
    EXPECT_EQ(p.start({dir.str() + "/missing"}), SysError::FileNotFound);
    EXPECT_EQ(p.start({"kl-no-such-program-anywhere"}), SysError::FileNotFound);
    kltest::write_file(dir / "not_executable", "#!/bin/sh\n");
    EXPECT_EQ(p.start({dir.str() + "/not_executable"}), SysError::AccessDenied);
    StartOptions opt;
    opt.working_folder = dir.str() + "/missing";
    EXPECT_EQ(p.start({"/bin/true"}, opt), SysError::PathNotFound);
    EXPECT_FALSE(p.started());
    EXPECT_EQ(p.wait(0), WaitOutcome::Failed);
}

TEST(SysProcess, CommandLinesSplitByThePlatformRules) {
    using Args = std::vector<std::string>;
    struct Case {
        const char* line;
        Args args;
    } cases[] = {
        {R"(setup.exe /AUTO LOG=3)", {"setup.exe", "/AUTO", "LOG=3"}},
        {R"("C:\Program Files\App\app.exe" "a b" c)", {"C:\\Program Files\\App\\app.exe", "a b", "c"}},
        {R"(C:\dir\x.exe a\\b a\"b "a\\" "a\\\"b")", {"C:\\dir\\x.exe", "a\\\\b", "a\"b", "a\\", "a\\\"b"}},
        {R"(p "" "a""b" x"y z"w)", {"p", "", "a\"b", "xy zw"}},
        {"  p \t a  ", {"p", "a"}},
        {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(split_command_line(c.line), c.args) << c.line;
}

TEST(SysProcess, CommandLinesSplitAsAShellSplitsWords) {
    using Args = std::vector<std::string>;
    struct Case {
        const char* line;
        std::optional<Args> args;
    } cases[] = {
        {R"(sh -c 'echo "$HOME" > x' 'a b')", Args{"sh", "-c", "echo \"$HOME\" > x", "a b"}},
        {R"(p "a \"b\" \$c \x" d\ e)", Args{"p", "a \"b\" $c \\x", "d e"}},
        {"p ''  \"\" x'y'\"z\"\t\n q", Args{"p", "", "", "xyz", "q"}},
        {"p a\\\nb", Args{"p", "ab"}},
        {"  ", Args{}},
        {"p 'unclosed", std::nullopt},
        {"p \"unclosed", std::nullopt},
        {"p trailing\\", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(split_shell_words(c.line), c.args) << c.line;
}

TEST(SysProcess, ProgramsNobodyWaitsForKeepRunning) {
    TempDir dir;
    const std::string marker = dir.str() + "/done";
    {
        Process p;
        ASSERT_EQ(p.start({"/bin/sh", "-c", "sleep 0.2; : > \"$0\"", marker}), SysError::Success);
    }
    for (int i = 0; i < 1200 && !path_exists(marker); ++i) // a busy machine may take a while
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(path_exists(marker));
    EXPECT_FALSE(current_program_path().empty());
}
