#include "platform/sys/files.h"
#include "platform/sys/mapping.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "support/temp_dir.h"

using namespace plat;
using kltest::read_file;
using kltest::TempDir;
using kltest::write_file;

namespace {

std::vector<std::string> names_of(const std::string& folder, std::string_view mask) {
    std::vector<std::string> out;
    const auto entries = list_folder(folder, mask);
    for (const DirEntry& e : entries.value())
        out.push_back(e.name);
    return out;
}

using Names = std::vector<std::string>;

} // namespace

TEST(SysFiles, MasksFollowThePlatformRules) {
    struct Case {
        const char* mask;
        const char* name;
        bool match;
    } cases[] = {
        {"*.*", "README", true},      {"*.*", "a.b.c", true},
        {"*.tmp", "X.TMP", true},     {"*.tmp", "x.tmpl", false},
        {"readme.*", "readme", true}, {"readme.*", "readme.txt", true},
        {"a?c", "abc", true},         {"a?c", "ac", false},
        {"*", ".hidden", true},       {"d*.inf", "PRODUCTS.INF", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(mask_match(c.mask, c.name), c.match) << c.mask << " " << c.name;
}

TEST(SysFiles, ListingAndDeletingWithMasks) {
    TempDir dir;
    for (const char* n : {"a.tmp", "B.TMP", "keep.txt", "noext", "sub/inner.tmp"})
        write_file(dir / n, n);
    ASSERT_EQ(create_folder(dir.str() + "/folder.tmp"), SysError::Success);

    EXPECT_EQ(names_of(dir.str(), "*.tmp"), (Names{"B.TMP", "a.tmp", "folder.tmp"}));
    EXPECT_EQ(names_of(dir.str(), "*.*").size(), 6u);
    auto all = list_folder(dir.str(), "*").value();
    EXPECT_TRUE(all[5].is_folder()); // "sub"
    EXPECT_EQ(all[1].size, 5u);      // "a.tmp"

    int32_t deleted = -1;
    EXPECT_EQ(delete_files(dir.str() + "/*.tmp", &deleted), SysError::Success);
    EXPECT_EQ(deleted, 2); // the folder that matches stays
    EXPECT_EQ(names_of(dir.str(), "*"), (Names{"folder.tmp", "keep.txt", "noext", "sub"}));
    EXPECT_TRUE(is_file(dir.str() + "/sub/inner.tmp"));

    EXPECT_EQ(delete_files(dir.str() + "/*.none", &deleted), SysError::Success);
    EXPECT_EQ(deleted, 0);
    SysError err = SysError::Success;
    EXPECT_FALSE(list_folder(dir.str() + "/missing", "*", &err));
    EXPECT_EQ(err, SysError::PathNotFound);
    EXPECT_EQ(delete_files(dir.str() + "/missing/*.*"), SysError::PathNotFound);
}

TEST(SysFiles, DeleteWithMaskReportsTheFirstFailureAndGoesOn) {
    TempDir dir;
    for (const char* n : {"1.log", "2.log", "3.log"})
        write_file(dir / n, "x");
    ASSERT_EQ(set_attributes(dir.str() + "/2.log", attr::ReadOnly), SysError::Success);
    int32_t deleted = 0;
    EXPECT_EQ(delete_files(dir.str() + "/*.log", &deleted), SysError::AccessDenied);
    EXPECT_EQ(deleted, 2);
    EXPECT_EQ(names_of(dir.str(), "*"), (Names{"2.log"}));
}

TEST(SysFiles, AttributesAreEmulated) {
    TempDir dir;
    const std::string f = dir.str() + "/f.dll";
    write_file(f, "x");
    EXPECT_EQ(get_attributes(f), attr::Normal);
    ASSERT_EQ(set_attributes(f, attr::ReadOnly | attr::Hidden | attr::Archive), SysError::Success);
    EXPECT_EQ(get_attributes(f), attr::ReadOnly | attr::Hidden | attr::Archive);
    EXPECT_EQ(delete_file(f), SysError::AccessDenied);
    EXPECT_EQ(list_folder(dir.str(), "*").value()[0].attributes,
              attr::ReadOnly | attr::Hidden | attr::Archive);
    ASSERT_EQ(set_attributes(f, attr::Archive), SysError::Success);
    EXPECT_EQ(get_attributes(f), attr::Archive);
    EXPECT_EQ(delete_file(f), SysError::Success);
    EXPECT_EQ(delete_file(f), SysError::FileNotFound);
    EXPECT_EQ(delete_file(dir.str() + "/nope/f"), SysError::PathNotFound);

    write_file(dir / ".dot", "x");
    EXPECT_EQ(get_attributes(dir.str() + "/.dot"), attr::Hidden);
    EXPECT_EQ(get_attributes(dir.str()), attr::Directory);
    EXPECT_EQ(delete_file(dir.str()), SysError::AccessDenied);
    EXPECT_FALSE(get_attributes(dir.str() + "/none"));
}

TEST(SysFiles, CopyKeepsBytesDateAndAttributes) {
    TempDir dir;
    std::string bytes(200000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7);
    const std::string src = dir.str() + "/src.bin", dst = dir.str() + "/dst.bin";
    write_file(src, bytes);
    const FileTime when{126376923000000000ull}; // 2001-06-22 14:05:00 UTC
    ASSERT_EQ(set_file_modified(src, when), SysError::Success);
    ASSERT_EQ(set_attributes(src, attr::Hidden), SysError::Success);
    write_file(dst, "old");

    EXPECT_EQ(copy_file(src, dst, false), SysError::FileExists);
    EXPECT_EQ(read_file(dst), "old");
    ASSERT_EQ(copy_file(src, dst), SysError::Success);
    EXPECT_EQ(read_file(dst), bytes);
    EXPECT_EQ(file_modified(dst), when);
    EXPECT_EQ(file_length(dst), bytes.size());
    EXPECT_EQ(get_attributes(dst), attr::Hidden);
    EXPECT_EQ(names_of(dir.str(), "*"), (Names{"dst.bin", "src.bin"})); // no temporary left

    EXPECT_EQ(copy_file(dir.str() + "/none", dst), SysError::FileNotFound);
    EXPECT_EQ(copy_file(src, dir.str() + "/no/dst"), SysError::PathNotFound);
    EXPECT_EQ(copy_file(src, src), SysError::SharingViolation);
    ASSERT_EQ(set_attributes(dst, attr::ReadOnly), SysError::Success);
    EXPECT_EQ(copy_file(src, dst), SysError::AccessDenied);
}

TEST(SysFiles, FilesHeldByAnotherAreInUse) {
    TempDir dir;
    const std::string f = dir.str() + "/in_use.exe", src = dir.str() + "/new.exe";
    write_file(f, "running");
    write_file(src, "update");
    EXPECT_FALSE(file_in_use(f));
    {
        FileLock lock;
        ASSERT_EQ(lock.lock(f, false), SysError::Success); // even a shared hold counts
        EXPECT_TRUE(file_in_use(f));
        FileLock second;
        EXPECT_EQ(second.lock(f, true), SysError::SharingViolation);
        EXPECT_EQ(copy_file(src, f), SysError::SharingViolation);
        EXPECT_EQ(delete_file(f), SysError::SharingViolation);
        EXPECT_EQ(move_file(src, f, true), SysError::SharingViolation);
        EXPECT_EQ(move_file(f, dir.str() + "/moved", false), SysError::SharingViolation);
        EXPECT_EQ(read_file(f), "running");
    }
    EXPECT_FALSE(file_in_use(f));
    EXPECT_EQ(copy_file(src, f), SysError::Success);
    EXPECT_EQ(read_file(f), "update");
}

TEST(SysFiles, WaitLockWaitsForTheHolderAndTakesFolders) {
    TempDir dir;
    FileLock held;
    ASSERT_EQ(held.lock(dir.str()), SysError::Success);
    FileLock other;
    EXPECT_EQ(other.lock(dir.str()), SysError::SharingViolation);
    std::atomic<bool> got{false};
    std::thread waiter([&] {
        FileLock lock;
        EXPECT_EQ(lock.wait_lock(dir.str()), SysError::Success);
        got = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(got);
    held.unlock();
    waiter.join();
    EXPECT_TRUE(got);
    EXPECT_EQ(other.wait_lock(dir.str() + "/missing"), SysError::FileNotFound);
    EXPECT_EQ(other.wait_lock(dir.str() + "/missing/deeper"), SysError::PathNotFound);
}

TEST(SysFiles, AtomicWriteGoesThroughLinksAndKeepsTheMode) {
    namespace fs = std::filesystem;
    TempDir dir;
    const auto file = dir / "a.ini";
    write_file(file, "old");
    const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(file, mode);
    fs::create_symlink("a.ini", dir / "relative.ini");
    fs::create_symlink(dir / "relative.ini", dir / "chain.ini");
    ASSERT_EQ(write_file_atomic((dir / "chain.ini").string(), "new"), SysError::Success);
    EXPECT_EQ(read_file(file), "new");
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir / "chain.ini")));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir / "relative.ini")));
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, mode);

    // A link to a file not made yet makes that file and stays a link.
    fs::create_symlink("later.ini", dir / "dangling.ini");
    ASSERT_EQ(write_file_atomic((dir / "dangling.ini").string(), "made"), SysError::Success);
    EXPECT_EQ(read_file(dir / "later.ini"), "made");
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir / "dangling.ini")));

    fs::create_symlink("loop2", dir / "loop1");
    fs::create_symlink("loop1", dir / "loop2");
    EXPECT_EQ(write_file_atomic((dir / "loop1").string(), "x"), SysError::BadPathname);
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir / "loop1")));
    EXPECT_EQ(write_file_atomic(dir.str(), "x"), SysError::AccessDenied);
}

TEST(SysFiles, MoveRefusesToOverwriteUnlessAsked) {
    TempDir dir;
    const std::string a = dir.str() + "/a", b = dir.str() + "/b";
    write_file(a, "A");
    write_file(b, "B");
    EXPECT_EQ(move_file(a, b), SysError::FileExists);
    EXPECT_EQ(read_file(b), "B");
    EXPECT_EQ(move_file(a, b, true), SysError::Success);
    EXPECT_EQ(read_file(b), "A");
    EXPECT_FALSE(path_exists(a));
    EXPECT_EQ(move_file(a, b, true), SysError::FileNotFound);
}

TEST(SysFiles, AtomicWriteNeverLeavesHalfAFile) {
    TempDir dir;
    const std::string f = dir.str() + "/settings.ini";
    ASSERT_EQ(write_file_atomic(f, "[A]\nx=1\n"), SysError::Success);
    EXPECT_EQ(read_file(f), "[A]\nx=1\n");

    // A write that fails half way (here: the file size limit) must leave the
    // old content and no temporary file behind.
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit lim{16, 16};
        setrlimit(RLIMIT_FSIZE, &lim);
        SysError e = write_file_atomic(f, std::string(100000, 'z'));
        _exit(e == SysError::Success ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(read_file(f), "[A]\nx=1\n");
    EXPECT_EQ(names_of(dir.str(), "*"), (Names{"settings.ini"}));

    EXPECT_EQ(write_file_atomic(dir.str() + "/no/such.ini", "x"), SysError::PathNotFound);
    ASSERT_EQ(set_attributes(f, attr::ReadOnly), SysError::Success);
    EXPECT_EQ(write_file_atomic(f, "changed"), SysError::AccessDenied);
    EXPECT_EQ(read_file(f), "[A]\nx=1\n");
}

TEST(SysFiles, FoldersAndTemporaryNames) {
    TempDir dir;
    const std::string deep = dir.str() + "/a/b/c";
    EXPECT_EQ(create_folder(deep, false), SysError::PathNotFound);
    EXPECT_EQ(create_folder(deep), SysError::Success);
    EXPECT_EQ(create_folder(deep), SysError::Success);
    EXPECT_TRUE(is_folder(deep));
    write_file(dir / "a/file", "x");
    EXPECT_EQ(create_folder(dir.str() + "/a/file"), SysError::AlreadyExists);
    EXPECT_EQ(remove_folder(dir.str() + "/a"), SysError::DirNotEmpty);

    write_file(dir / "a/b/ro.txt", "x");
    ASSERT_EQ(set_attributes(dir.str() + "/a/b/ro.txt", attr::ReadOnly), SysError::Success);
    EXPECT_EQ(remove_folder_tree(dir.str() + "/a"), SysError::Success);
    EXPECT_FALSE(path_exists(dir.str() + "/a"));
    EXPECT_EQ(remove_folder_tree(dir.str() + "/a"), SysError::FileNotFound);

    auto t1 = make_temp_file(dir.str(), "kl");
    auto t2 = make_temp_file(dir.str(), "kl");
    ASSERT_TRUE(t1 && t2);
    EXPECT_NE(*t1, *t2);
    EXPECT_TRUE(is_file(*t1));
    EXPECT_TRUE(mask_match("kl*.tmp", t1->substr(dir.str().size() + 1)));
    SysError err = SysError::Success;
    EXPECT_FALSE(make_temp_file(dir.str() + "/missing", "kl", &err));
    EXPECT_EQ(err, SysError::PathNotFound);
}

TEST(SysFiles, CopyOnWriteMappingNeverChangesTheFile) {
    TempDir dir;
    const std::string f = dir.str() + "/data.bin";
    write_file(f, "0123456789");
    {
        FileMapping m;
        ASSERT_EQ(m.open(f, FileMapping::Mode::CopyOnWrite), SysError::Success);
        ASSERT_EQ(m.size(), 10u);
        m.writable_data()[0] = 'X';
        EXPECT_EQ(m.view(), "X123456789");
        FileMapping ro;
        ASSERT_EQ(ro.open(f), SysError::Success);
        EXPECT_EQ(ro.view(), "0123456789");
        EXPECT_EQ(ro.writable_data(), nullptr);
    }
    EXPECT_EQ(read_file(f), "0123456789");

    write_file(dir / "empty", "");
    FileMapping m;
    EXPECT_EQ(m.open(dir.str() + "/empty"), SysError::Success);
    EXPECT_TRUE(m.is_open());
    EXPECT_EQ(m.size(), 0u);
    EXPECT_EQ(m.open(dir.str() + "/missing"), SysError::FileNotFound);
    EXPECT_FALSE(m.is_open());
    EXPECT_EQ(m.open(dir.str()), SysError::AccessDenied);
}
