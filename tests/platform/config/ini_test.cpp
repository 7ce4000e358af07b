#include "platform/config/ini.h"

#include "child_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <unistd.h>

using namespace plat;
using kltest::read_file;
using kltest::write_file;

namespace {

// A file as the designer, the catalogue and hand editing leave them: blanks,
// quotes, comments, duplicates and lines that are no key.
const char* const kSample = "; catalogue of the test server\r\n"
                            "Orphan=before any section\r\n"
                            "[ Common ]\r\n"
                            "  Name  =  Editor Pro  \r\n"
                            "Quoted=\"  spaced out  \"\r\n"
                            "Single='x'\r\n"
                            "HalfQuote=\"abc\r\n"
                            "LoneQuote=\"\r\n"
                            "Formula=a=b=c\r\n"
                            ";Commented=1\r\n"
                            "just a line of text\r\n"
                            "Empty=\r\n"
                            "Name=second occurrence\r\n"
                            "Count=12abc\r\n"
                            "Negative=  -7 \r\n"
                            "Plus=+5\r\n"
                            "Words=abc\r\n"
                            "\r\n"
                            "[Product1]\r\n"
                            "Name=First\r\n"
                            "[COMMON]\r\n"
                            "Name=second section\r\n"
                            "Extra=only here\r\n";

} // namespace

TEST(Ini, ReadsByThePlatformRules) {
    kltest::TempDir dir;
    auto file = dir / "PRODUCTS.INF";
    write_file(file, kSample);
    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    } cases[] = {
        {"Common", "Name", "Editor Pro"},       // blanks around key and value
        {"COMMON", "NAME", "Editor Pro"},       // case of section and key
        {"  common ", " name", "Editor Pro"},   // caller's blanks
        {"Common", "Quoted", "  spaced out  "}, // quotes removed after trimming
        {"Common", "Single", "x"},              // single quotes too
        {"Common", "HalfQuote", "\"abc"},       // unmatched quote stays
        {"Common", "LoneQuote", "\""},          // one quote is no pair
        {"Common", "Formula", "a=b=c"},         // split at the first '='
        {"Common", "Empty", ""},                // present but empty: not the default
        {"Common", ";Commented", "<def>"},      // comments are no keys
        {"Common", "Commented", "<def>"},
        {"Common", "just a line of text", "<def>"},
        {"Common", "Extra", "<def>"},  // only the first [Common] counts
        {"Common", "Orphan", "<def>"}, // lines before any section
        {"Product1", "Name", "First"},
        {"Product2", "Name", "<def>"},  // missing section
        {"Common", "Missing", "<def>"}, // missing key
    };
    for (const auto& c : cases)
        EXPECT_EQ(ini_get_string(file, c.section, c.key, "<def>"), c.expected) << c.section << "/" << c.key;

    struct IntCase {
        const char* key;
        int32_t expected;
    } ints[] = {
        {"Count", 12}, {"Negative", -7}, {"Plus", 5}, {"Words", 99}, {"Empty", 99}, {"Missing", 99},
    };
    for (const auto& c : ints)
        EXPECT_EQ(ini_get_int(file, "Common", c.key, 99), c.expected) << c.key;

    EXPECT_EQ(ini_get_string(dir / "missing.ini", "Common", "Name", "dflt"), "dflt");
}

TEST(Ini, ListsSectionsKeysAndLinesInFileOrder) {
    kltest::TempDir dir;
    auto file = dir / "list.ini";
    write_file(file, kSample);
    EXPECT_EQ(ini_sections(file), (std::vector<std::string>{"Common", "Product1", "COMMON"}));
    EXPECT_EQ(ini_keys(file, "common"),
              (std::vector<std::string>{"Name", "Quoted", "Single", "HalfQuote", "LoneQuote", "Formula",
                                        "Empty", "Name", "Count", "Negative", "Plus", "Words"}));
    auto entries = ini_entries(file, "Product1");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].key, "Name");
    EXPECT_EQ(entries[0].value, "First");
    // The section read hands back every non-blank line; its callers skip
    // comments themselves.
    auto lines = ini_section_lines(file, "Common");
    ASSERT_GE(lines.size(), 11u);
    EXPECT_EQ(lines[0], "Name=Editor Pro");
    EXPECT_EQ(lines[1], "Quoted=\"  spaced out  \"");
    EXPECT_EQ(lines[6], ";Commented=1");
    EXPECT_EQ(lines[7], "just a line of text");
    EXPECT_TRUE(ini_sections(dir / "missing.ini").empty());
    EXPECT_TRUE(ini_section_lines(file, "Nowhere").empty());
}

TEST(Ini, WriteCreatesFileAndSectionThenUpdatesInPlace) {
    kltest::TempDir dir;
    auto file = dir / "Products.INF";
    ASSERT_EQ(ini_write_string(file, "Common", "INFVersion", "3"), SysError::Success);
    ASSERT_EQ(ini_write_string(file, "Common", "Server", "http://127.0.0.1/upd"), SysError::Success);
    ASSERT_EQ(ini_write_string(file, "Product1", "Name", "Editor"), SysError::Success);
    EXPECT_EQ(read_file(file), "[Common]\r\nINFVersion=3\r\nServer=http://127.0.0.1/upd\r\n\r\n"
                               "[Product1]\r\nName=Editor\r\n");
    // A later write to an earlier section lands at the end of that section;
    // a write with other case changes the stored key, keeping its spelling.
    ASSERT_EQ(ini_write_string(file, "common", "CompanyName", "Marovia"), SysError::Success);
    ASSERT_EQ(ini_write_string(file, "COMMON", "SERVER", "ftp://127.0.0.1"), SysError::Success);
    EXPECT_EQ(read_file(file),
              "[Common]\r\nINFVersion=3\r\nServer=ftp://127.0.0.1\r\nCompanyName=Marovia\r\n\r\n"
              "[Product1]\r\nName=Editor\r\n");
    // Leading and trailing blanks of a value are written but not read back.
    ASSERT_EQ(ini_write_string(file, "Product1", "File", "  a b  "), SysError::Success);
    EXPECT_EQ(ini_get_string(file, "Product1", "File"), "a b");
}

TEST(Ini, RewriteKeepsCommentsUnknownLinesAndLineEnds) {
    kltest::TempDir dir;
    auto file = dir / "KLClient.INI";
    const std::string original = "\xEF\xBB\xBF; servers of this site\n"
                                 "[Information]\n"
                                 "Welcome to the update service.\n"
                                 "  ; indented comment  \n"
                                 "[Server1]\n"
                                 "Name = Main   \n"
                                 "Path=http://127.0.0.1/a\n"
                                 "\n"
                                 "# not a comment to the platform, kept as it is\n";
    write_file(file, original);
    ASSERT_EQ(ini_write_string(file, "Server1", "INFFile", "Products.inf"), SysError::Success);
    EXPECT_EQ(read_file(file), "\xEF\xBB\xBF; servers of this site\n"
                               "[Information]\n"
                               "Welcome to the update service.\n"
                               "  ; indented comment  \n"
                               "[Server1]\n"
                               "Name = Main   \n"
                               "Path=http://127.0.0.1/a\n"
                               "INFFile=Products.inf\n"
                               "\n"
                               "# not a comment to the platform, kept as it is\n");
    ASSERT_EQ(ini_write_string(file, "Server1", "INFFile", std::nullopt), SysError::Success);
    EXPECT_EQ(read_file(file), original);
}

TEST(Ini, NoValueDeletesKeysAndSections) {
    kltest::TempDir dir;
    auto file = dir / "del.ini";
    write_file(file, "[A]\r\nx=1\r\ny=2\r\n; about B\r\n[B]\r\nz=3\r\n[C]\r\nw=4\r\n");
    EXPECT_EQ(ini_write_string(file, "a", "X", std::nullopt), SysError::Success);
    EXPECT_EQ(ini_delete_section(file, "b"), SysError::Success);
    EXPECT_EQ(read_file(file), "[A]\r\ny=2\r\n; about B\r\n[C]\r\nw=4\r\n");
    // Deleting what is not there changes nothing and creates nothing.
    EXPECT_EQ(ini_write_string(file, "A", "missing", std::nullopt), SysError::Success);
    EXPECT_EQ(ini_delete_section(file, "Missing"), SysError::Success);
    EXPECT_EQ(read_file(file), "[A]\r\ny=2\r\n; about B\r\n[C]\r\nw=4\r\n");
    EXPECT_EQ(ini_write_string(dir / "none.ini", "A", "x", std::nullopt), SysError::Success);
    EXPECT_EQ(ini_delete_section(dir / "none.ini", "A"), SysError::Success);
    EXPECT_FALSE(std::filesystem::exists(dir / "none.ini"));
}

// Edits in the middle of a document move the lines after them: every read
// afterwards must still find the first section and key of each name.
TEST(Ini, ReadsStayRightAfterEditsInTheMiddle) {
    IniDocument doc =
        IniDocument::parse("[A]\r\nk=a1\r\nk=a2\r\n[B]\r\nk=b1\r\n[a]\r\nk=dup\r\nonly=dup\r\n");
    ASSERT_EQ(doc.set("A", "new", "n"), SysError::Success); // inserted before [B]
    ASSERT_EQ(doc.set("b", "K", "b2"), SysError::Success);  // replaced in place
    ASSERT_EQ(doc.set("C", "c", "1"), SysError::Success);   // appended
    EXPECT_EQ(doc.get_string("a", "K"), "a1");
    EXPECT_EQ(doc.get_string("A", "new"), "n");
    EXPECT_EQ(doc.get_string("B", "k"), "b2");
    EXPECT_EQ(doc.get_string("C", "c"), "1");
    EXPECT_FALSE(doc.get("A", "only")); // only in the second [a]
    ASSERT_EQ(doc.set("A", "k", std::nullopt), SysError::Success);
    EXPECT_EQ(doc.get_string("A", "k"), "a2"); // the next one of the name now comes first
    ASSERT_EQ(doc.remove_section("A"), SysError::Success);
    EXPECT_EQ(doc.get_string("A", "k"), "dup"); // the second [a] is now the first
    EXPECT_EQ(doc.get_string("A", "only"), "dup");
    EXPECT_EQ(doc.get_string("B", "k"), "b2");
    ASSERT_EQ(doc.set("a", "more", "m"), SysError::Success);
    EXPECT_EQ(doc.text(), "[B]\r\nk=b2\r\n[a]\r\nk=dup\r\nonly=dup\r\nmore=m\r\n\r\n[C]\r\nc=1\r\n");
    EXPECT_EQ(doc.get_string("C", "c"), "1");

    // A long section, whose keys the document looks up differently.
    std::string text = "[Big]\r\n";
    for (int k = 1; k <= 40; ++k)
        text += "Key" + std::to_string(k) + "=" + std::to_string(k) + "\r\n";
    text += "KEY5=dup\r\n[After]\r\nx=1\r\n[big]\r\nKey41=second section\r\n";
    IniDocument big = IniDocument::parse(text);
    EXPECT_EQ(big.get_string("BIG", "key5"), "5");
    EXPECT_EQ(big.get_string("Big", "Key40"), "40");
    EXPECT_FALSE(big.get("Big", "Key41"));
    ASSERT_EQ(big.set("Big", "Key5", std::nullopt), SysError::Success);
    EXPECT_EQ(big.get_string("Big", "Key5"), "dup");
    ASSERT_EQ(big.set("Big", "New", "n"), SysError::Success); // inserted before [After]
    EXPECT_EQ(big.get_string("big", "new"), "n");
    EXPECT_EQ(big.get_string("Big", "Key1"), "1");
    EXPECT_EQ(big.get_string("After", "x"), "1");
    EXPECT_EQ(big.keys("Big").size(), 41u);
}

TEST(Ini, BadNamesAndValuesAreRefusedAndChangeNothing) {
    kltest::TempDir dir;
    auto file = dir / "bad.ini";
    write_file(file, "[A]\r\nx=1\r\n");
    struct Case {
        std::string section, key, value;
    } cases[] = {
        {"", "x", "1"},         {"A", "", "1"},
        {"  ", "x", "1"},       {"A]", "x", "1"},
        {"A", "k=v", "1"},      {"A", ";x", "1"},
        {"A", "[x", "1"},       {"A\nB", "x", "1"},
        {"A", "x", "1\r\n[B]"}, {"A", "x", std::string("a\0b", 3)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ini_write_string(file, c.section, c.key, c.value), SysError::InvalidParameter)
            << c.section << "/" << c.key;
    EXPECT_EQ(read_file(file), "[A]\r\nx=1\r\n");
    EXPECT_EQ(ini_write_string(dir / "no" / "such" / "folder.ini", "A", "x", "1"), SysError::PathNotFound);
}

TEST(Ini, RewriteLeavesNoTemporaryFilesAndKeepsModeAndLinks) {
    kltest::TempDir dir;
    namespace fs = std::filesystem;
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(ini_write_string(dir / "a.ini", "S", "k" + std::to_string(i), "v"), SysError::Success);
    int files = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 1);

    const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(dir / "a.ini", mode);
    fs::create_symlink(dir / "a.ini", dir / "link.ini");
    ASSERT_EQ(ini_write_string(dir / "link.ini", "S", "k9", "via link"), SysError::Success);
    EXPECT_TRUE(fs::is_symlink(dir / "link.ini"));
    EXPECT_EQ(ini_get_string(dir / "a.ini", "S", "k9"), "via link");
    EXPECT_EQ(fs::status(dir / "a.ini").permissions() & fs::perms::all, mode);
}

TEST(Ini, ProtectedFilesAreRefusedAndKeptWhole) {
    kltest::TempDir dir;
    namespace fs = std::filesystem;
    auto file = dir / "locked.ini";
    write_file(file, "[A]\r\nx=1\r\n");
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read);
    EXPECT_EQ(ini_write_string(file, "A", "x", "2"), SysError::AccessDenied);
    EXPECT_EQ(read_file(file), "[A]\r\nx=1\r\n");

    // A file that cannot be read must not be replaced by one holding only the new key.
    if (::geteuid() != 0) {
        fs::permissions(file, fs::perms::owner_write);
        EXPECT_EQ(ini_write_string(file, "A", "y", "2"), SysError::AccessDenied);
        fs::permissions(file, fs::perms::owner_read);
        EXPECT_EQ(read_file(file), "[A]\r\nx=1\r\n");
    }
}

TEST(Ini, FileWrittenByOneProcessIsReadByAnother) {
    kltest::TempDir dir;
    auto file = dir / "shared.ini";
    ASSERT_TRUE(kltest::run_in_children(1, [&](int) {
        return ini_write_string(file, "Server1", "Name", "\"Main server\"") == SysError::Success ? 0 : 1;
    }));
    EXPECT_EQ(ini_get_string(file, "server1", "name"), "Main server");
    // And the other way round: the child sees what this process wrote.
    ASSERT_EQ(ini_write_string(file, "Server1", "Path", "http://127.0.0.1/x"), SysError::Success);
    EXPECT_TRUE(kltest::run_in_children(
        1, [&](int) { return ini_get_string(file, "SERVER1", "PATH") == "http://127.0.0.1/x" ? 0 : 1; }));
}

TEST(Ini, WritersInSeveralProcessesLoseNoKey) {
    kltest::TempDir dir;
    auto file = dir / "busy.ini";
    constexpr int kWriters = 4, kKeys = 50;
    ASSERT_TRUE(kltest::run_in_children(kWriters, [&](int w) {
        for (int k = 0; k < kKeys; ++k)
            if (ini_write_string(file, "S" + std::to_string(k % 3),
                                 "w" + std::to_string(w) + "k" + std::to_string(k),
                                 std::to_string(k)) != SysError::Success)
                return 1;
        return 0;
    }));
    IniDocument doc;
    ASSERT_EQ(IniDocument::load(file, doc), SysError::Success);
    for (int w = 0; w < kWriters; ++w)
        for (int k = 0; k < kKeys; ++k)
            EXPECT_EQ(doc.get_int("S" + std::to_string(k % 3),
                                  "w" + std::to_string(w) + "k" + std::to_string(k), -1),
                      k);
}
