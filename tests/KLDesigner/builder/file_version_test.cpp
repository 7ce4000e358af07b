// What the designer records about a source file, from PE resources, ELF
// files and scripts.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "KLDesigner/builder/file_version.h"
#include "KLDesigner/builder/vb.h"
#include "platform/sys/files.h"
#include "support/temp_dir.h"

using namespace kld;

namespace {
struct Attributes {
    OleDate date = -1;
    int32_t size = -1, high = -1, low = -1, build = -1, type = -1, revision = -1;
};
Attributes Read(const std::string& path) {
    Attributes a;
    GetFileAttributes(path, a.date, a.size, a.high, a.low, a.build, a.type, a.revision);
    return a;
}
std::string Fixture(const char* name) {
    return std::string(KLD_FIXTURES) + "/" + name;
}
} // namespace

TEST(DesignerFileVersion, VersionPartsAndTypesComeFromTheFile) {
    kltest::TempDir dir;
    const std::string script = (dir / "run.sh").string();
    kltest::write_file(script, "#!/bin/sh\necho hi\n");
    const std::string text = (dir / "notes.txt").string();
    kltest::write_file(text, "plain text");
    struct {
        std::string path;
        int32_t high, low, build, revision, type;
    } cases[] = {
        {Fixture("app.exe"), 5, 0, 2, 13, 1},
        // Commas separate the parts as dots do, so both programs agree.
        {Fixture("comma.dll"), 4, 71, 1712, 0, 2},
        // Only a German table: its strings are read; type 6 is unknown.
        {Fixture("german.exe"), 3, 2, 1, 0, 0},
        {Fixture("nostrings.exe"), 0, 0, 0, 0, 1},
        // "70000.65536.3.99999999999": parts are Longs, never cut to 16 bits;
        // one beyond a Long stays at the largest.
        {Fixture("wide.exe"), 70000, 65536, 3, INT32_MAX, 1},
        {KLD_ELF_VERSIONED, 2, 3, 4, 5, 2},
        {KLD_ELF_PLAIN, 0, 0, 0, 0, 2},
        {script, 0, 0, 0, 0, 1},
        {text, 0, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        Attributes a = Read(c.path);
        EXPECT_EQ(a.high, c.high) << c.path;
        EXPECT_EQ(a.low, c.low) << c.path;
        EXPECT_EQ(a.build, c.build) << c.path;
        EXPECT_EQ(a.revision, c.revision) << c.path;
        EXPECT_EQ(a.type, c.type) << c.path;
        EXPECT_EQ(a.size, static_cast<int32_t>(plat::file_length(c.path).value_or(0))) << c.path;
        EXPECT_GT(a.date, 0) << c.path;
    }
}

TEST(DesignerFileVersion, DateIsLocalModificationTimeInWholeSeconds) {
    kltest::TempDir dir;
    const std::string f = (dir / "a.bin").string();
    kltest::write_file(f, "abc");
    plat::FileTime t;
    plat::CalendarTime c{2021, 3, 15, 13, 45, 30, 750};
    ASSERT_TRUE(plat::file_time_from_calendar(c, true, t));
    ASSERT_EQ(plat::set_file_modified(f, t), plat::SysError::Success);
    EXPECT_EQ(vb::FormatDate(Read(f).date), "03/15/2021 13:45:30");
}

TEST(DesignerFileVersion, EmptyOrMissingPathGivesZeros) {
    for (const std::string& path : {std::string(), std::string("/no/such/file")}) {
        Attributes a = Read(path);
        EXPECT_EQ(a.date, 0.0);
        EXPECT_EQ(a.size, 0);
        EXPECT_EQ(a.high, 0);
        EXPECT_EQ(a.type, -1) << "the file type is not reset";
    }
    VersionStrings none;
    GetFileVersionInfoStrings(Fixture("nostrings.exe"), none);
    EXPECT_EQ(none.FileVersion, "Unavailable");
    EXPECT_EQ(TrimNull("abc"), "");
    EXPECT_EQ(TrimNull(std::string("ab\0c", 4)), "ab");
    EXPECT_EQ(TrimNull(std::string("\0ab", 3)), "");
    EXPECT_EQ(PadLeft("4E4", 8, "0"), "000004E4");
}
