// Path texts, registry locations and folder clearing.
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "KLDesigner/builder/utilities.h"
#include "platform/config/machine.h"
#include "platform/config/registry.h"
#include "platform/sys/files.h"
#include "support/temp_dir.h"

using namespace kld;
namespace fs = std::filesystem;

TEST(DesignerUtilities, SplitPathAndExtension) {
    struct {
        const char* path;
        const char* folder;
        const char* name;
    } cases[] = {{"C:file.txt", "C:", "file.txt"},
                 {"dir/sub\\name", "dir/sub", "name"},
                 {"name", "", "name"},
                 {"  /a/b.txt  ", "/a", "b.txt"},
                 {"/top", "", "top"},
                 {"", "", ""}};
    for (const auto& c : cases) {
        std::string folder = "x", name = "y";
        SplitPath(c.path, folder, name);
        EXPECT_EQ(folder, c.folder) << c.path;
        EXPECT_EQ(name, c.name) << c.path;
    }
    std::string base, ext;
    SplitFileExtension("a.b\\c", base, ext);
    EXPECT_EQ(base, "a.b\\c");
    EXPECT_EQ(ext, "");
    SplitFileExtension("arc.tar.gz", base, ext);
    EXPECT_EQ(base, "arc.tar");
    EXPECT_EQ(ext, "gz");
}

TEST(DesignerUtilities, ReplaceTextGoesOnAfterEachReplacement) {
    struct {
        const char* text;
        const char* find;
        const char* with;
        const char* result;
        bool replaced;
    } cases[] = {{"a//b", "/", "\\", "a\\\\b", true},
                 {"\\\\\\\\", "\\\\", "\\", "\\\\", true}, // four leave two: callers repeat
                 {"Path PATH path", "path", "P", "P P P", true},
                 {"abc", "x", "y", "abc", false},
                 {"aaa", "a", "aa", "aaaaaa", true}};
    for (const auto& c : cases) {
        std::string t = c.text;
        EXPECT_EQ(ReplaceText(t, c.find, c.with), c.replaced) << c.text;
        EXPECT_EQ(t, c.result) << c.text;
    }
}

TEST(DesignerUtilities, MakeRegistryPathJoinsKeyAndValueName) {
    struct {
        const char* key;
        const char* value;
        const char* path;
    } cases[] = {
        {"HKLM/SOFTWARE/Vendor/", "Path", "HKLM\\SOFTWARE\\Vendor\\Path"},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\App", "(Default)", "HKEY_LOCAL_MACHINE\\SOFTWARE\\App\\(Default)"},
        {"(Default)", "", ""},
        {"", "Name", ""},
        {" HKCU\\\\\\Soft ", "", "HKCU\\Soft"},
        {"HKCU\\A", "b/c", "HKCU\\A\\b\\c"}};
    for (const auto& c : cases)
        EXPECT_EQ(MakeRegistryPath(c.key, c.value), c.path) << c.key;
}

TEST(DesignerUtilities, ClearFolderRemovesEverythingButFollowsNoLink) {
    kltest::TempDir dir;
    const fs::path out = dir / "out";
    const fs::path outside = dir / "outside";
    kltest::write_file(outside / "keep.txt", "keep");
    kltest::write_file(out / "plain.txt", "x");
    kltest::write_file(out / "ro.txt", "x");
    ASSERT_EQ(plat::set_attributes((out / "ro.txt").string(), plat::attr::ReadOnly), plat::SysError::Success);
    kltest::write_file(out / ".hidden", "x");
    kltest::write_file(out / "sub" / "deep" / "ro.bin", "x");
    ASSERT_EQ(plat::set_attributes((out / "sub" / "deep" / "ro.bin").string(), plat::attr::ReadOnly),
              plat::SysError::Success);
    ::chmod((out / "sub" / "deep").c_str(), 0555);
    fs::create_directory_symlink(outside, out / "link");
    fs::create_symlink(outside / "keep.txt", out / "filelink");

    EXPECT_FALSE(IsFolderEmpty(out.string()));
    std::string remaining = "x";
    EXPECT_TRUE(ClearFolder(out.string(), &remaining));
    EXPECT_EQ(remaining, "");
    EXPECT_TRUE(fs::is_directory(out));
    EXPECT_TRUE(fs::is_empty(out));
    EXPECT_EQ(kltest::read_file(outside / "keep.txt"), "keep");
    EXPECT_TRUE(IsFolderEmpty(out.string()));

    EXPECT_FALSE(ClearFolder("/"));
    EXPECT_FALSE(ClearFolder("C:\\"));
}

TEST(DesignerUtilities, FolderTests) {
    kltest::TempDir dir;
    // Hidden files and sub-folders alone leave a folder "empty".
    kltest::write_file(dir / "f" / ".hidden", "x");
    fs::create_directories(dir / "f" / "sub");
    EXPECT_TRUE(IsFolderEmpty((dir / "f").string()));
    EXPECT_TRUE(IsFolderEmpty((dir / "missing").string()));
    EXPECT_TRUE(FileExists((dir / "f").string()));
    EXPECT_FALSE(FileExists((dir / "missing").string()));

    char cwd[4096];
    ASSERT_TRUE(getcwd(cwd, sizeof cwd));
    EXPECT_TRUE(CreateFolder((dir / "a" / "b" / "c").string()));
    EXPECT_TRUE(fs::is_directory(dir / "a" / "b" / "c"));
    char after[4096];
    ASSERT_TRUE(getcwd(after, sizeof after));
    EXPECT_STREQ(cwd, after);
    kltest::write_file(dir / "file", "x");
    EXPECT_FALSE(CreateFolder((dir / "file").string()));

    const std::string program = (dir / "prog").string();
    struct {
        std::string path;
        bool guarded;
    } cases[] = {{"/", true},
                 {"/usr", true},
                 {"/tmp/", true},
                 {plat::windows_folder().string(), true},
                 {plat::system_folder().string() + "/", true},
                 {plat::program_files_folder().string(), true},
                 {plat::common_files_folder().string(), true},
                 {program, true},
                 {getenv("HOME") ? getenv("HOME") : "/root", true},
                 {(dir / "out").string(), false},
                 {plat::windows_folder().string() + "/sub", false}};
    for (const auto& c : cases)
        EXPECT_EQ(IsSystemFolder(c.path, program), c.guarded) << c.path;
}

TEST(DesignerUtilities, RegistryLocations) {
    EXPECT_EQ(GetProgramFilesFolder(), plat::program_files_folder().string());
    EXPECT_EQ(GetCommonFilesFolder(), plat::common_files_folder().string());
    EXPECT_EQ(GetWordPadPath(), "");
    plat::registry().set_string(plat::Hive::LocalMachine,
                                "SOFTWARE\\Classes\\Wordpad.Document.1\\Protocol\\StdFileEditing\\Server", "",
                                "/usr/bin/editor");
    EXPECT_EQ(GetWordPadPath(), "/usr/bin/editor");
    plat::registry().set_dword(plat::Hive::CurrentUser, "Software\\X", "N", 42);
    EXPECT_EQ(ReadRegistryValue(hive::CurrentUser, "Software\\X", "N"), "42");
    EXPECT_EQ(ReadRegistryValue(hive::CurrentUser, "Software\\X", "missing"), "");
    EXPECT_EQ(ReadRegistryValue(9, "Software\\X", "N"), "");
}
