#include "platform/sys/paths.h"

#include <gtest/gtest.h>

using namespace plat;

TEST(SysPaths, WindowsTextBecomesNativePath) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"C:\\Program Files\\Kestrelite\\a.exe", "/Program Files/Kestrelite/a.exe"},
        {"C:\\", "/"},
        {"d:", "/"},
        {"\\\\server\\share\\x", "/server/share/x"},
        {"dir\\sub/name", "dir/sub/name"},
        {"a\\\\b//c\\", "a/b/c"},
        {"/usr/bin/", "/usr/bin"},
        {"relative", "relative"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(native_path(c.in), c.out) << c.in;
}

TEST(SysPaths, AbsoluteAndDriveRoot) {
    struct Case {
        const char* path;
        bool absolute;
        bool root;
    } cases[] = {
        {"/", true, true},      {"\\", true, true},     {"C:", false, true},    {"C:\\", true, true},
        {"c:/", true, true},    {"C:\\x", true, false}, {"C:x", false, false},  {"\\\\srv\\s", true, false},
        {"x\\y", false, false}, {"", false, false},     {"1:\\", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(is_absolute_path(c.path), c.absolute) << c.path;
        EXPECT_EQ(is_drive_root(c.path), c.root) << c.path;
    }
}

TEST(SysPaths, JoinAndElements) {
    EXPECT_EQ(join_path("/a", "b"), "/a/b");
    EXPECT_EQ(join_path("/a/", "b"), "/a/b");
    EXPECT_EQ(join_path("", "b"), "b");
    EXPECT_EQ(join_path("/a", "/b"), "/b");
    EXPECT_EQ(file_name("C:\\dir\\setup.ex_"), "setup.ex_");
    EXPECT_EQ(file_name("C:file.txt"), "file.txt");
    EXPECT_EQ(parent_path("/a/b.txt"), "/a");
    EXPECT_EQ(parent_path("/b.txt"), "/");
    EXPECT_EQ(parent_path("C:\\b.txt"), "C:\\");
    EXPECT_EQ(parent_path("b.txt"), "");
    EXPECT_EQ(file_extension("/a.b/c"), "");
    EXPECT_EQ(file_extension("/a/archive.tar.gz"), "gz");
    EXPECT_EQ(file_stem("/a/archive.tar.gz"), "archive.tar");
}

TEST(SysPaths, SplitPathAndExtension) {
    struct Case {
        const char* in;
        const char* first;
        const char* second;
    };
    const Case paths[] = {
        {"C:file.txt", "C:", "file.txt"},
        {"dir/sub\\name", "dir/sub", "name"},
        {"name", "", "name"},
        {"  C:\\a\\b.txt ", "C:\\a", "b.txt"},
        {"", "", ""},
        {"\\x", "", "x"},
    };
    for (const auto& c : paths) {
        std::string folder = "junk", name = "junk";
        split_path(c.in, folder, name);
        EXPECT_EQ(folder, c.first) << c.in;
        EXPECT_EQ(name, c.second) << c.in;
    }
    const Case names[] = {
        {"a.b\\c", "a.b\\c", ""}, {"setup.exe", "setup", "exe"}, {"x.tar.gz", "x.tar", "gz"},
        {"noext", "noext", ""},   {"C:a.b", "C:a", "b"},         {"dir.d/", "dir.d/", ""},
    };
    for (const auto& c : names) {
        std::string base, ext;
        split_file_extension(c.in, base, ext);
        EXPECT_EQ(base, c.first) << c.in;
        EXPECT_EQ(ext, c.second) << c.in;
    }
}

TEST(SysPaths, NamesFromOutsideStayInTheirFolder) {
    EXPECT_EQ(safe_file_name("  setup.exe "), "setup.exe");
    for (const char* bad : {"", "  ", ".", "..", "a/b", "a\\b", "..\\x", "C:x", "a\nb", "a\x7f"})
        EXPECT_FALSE(safe_file_name(bad)) << bad;
    EXPECT_FALSE(safe_file_name(std::string(256, 'a')));

    EXPECT_EQ(safe_join("/dl", "sub\\file.txt"), "/dl/sub/file.txt");
    EXPECT_EQ(safe_join("/dl", "./a//b/"), "/dl/a/b");
    for (const char* bad : {"../x", "a/../../x", "/etc/passwd", "\\x", "C:\\x", "C:x", "", ".", "a/ /b"})
        EXPECT_FALSE(safe_join("/dl", bad)) << bad;
}
