#include "platform/archive/zip_archive.h"

#include <zip.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "common/password.h"
#include "support/servers.h"
#include "support/temp_dir.h"

namespace plat::archive {
namespace {

namespace fs = std::filesystem;

// Text that compresses well, so a packed archive is visibly smaller.
std::string Text(size_t size) {
    std::string s;
    while (s.size() < size)
        s += "line " + std::to_string(s.size()) + " of the update file\n";
    s.resize(size);
    return s;
}

// An archive whose entries carry the given names, written by libzip as is.
void WriteRawArchive(const std::string& path, const std::vector<std::string>& names) {
    int error = 0;
    zip_t* za = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(za, nullptr);
    for (const std::string& name : names) {
        static const char body[] = "payload";
        zip_source_t* src = zip_source_buffer(za, body, sizeof body - 1, 0);
        ASSERT_GE(zip_file_add(za, name.c_str(), src, ZIP_FL_ENC_UTF_8), 0) << name;
    }
    ASSERT_EQ(zip_close(za), 0);
}

bool StandardToolAccepts(const std::string& archive, const std::string& password = {}) {
    std::string cmd = "unzip -tqq ";
    if (!password.empty()) cmd += "-P " + password + " ";
    return std::system((cmd + "'" + archive + "' >/dev/null 2>&1").c_str()) == 0;
}

class ArchiveTest : public testing::Test {
  protected:
    std::string Path(const std::string& name) const { return (m_dir / name).string(); }
    kltest::TempDir m_dir;
};

TEST_F(ArchiveTest, PackAndUnpackRoundTrip) {
    const std::string body = Text(200000);
    kltest::write_file(m_dir / "src" / "setup.dll", body);
    for (int level : {0, 9}) {
        PackOptions pack;
        pack.level = level;
        std::vector<std::string> pieces;
        ASSERT_EQ(pack_file(Path("src/setup.dll"), Path("_0001.ZIP"), pack, &pieces), ArchiveError::Ok);
        EXPECT_EQ(pieces, std::vector<std::string>{Path("_0001.ZIP")});
        if (level == 9) {
            EXPECT_LT(fs::file_size(Path("_0001.ZIP")), body.size() / 4);
        } else {
            EXPECT_GT(fs::file_size(Path("_0001.ZIP")), body.size());
        }
        EXPECT_TRUE(StandardToolAccepts(Path("_0001.ZIP")));

        std::vector<std::string> written;
        ASSERT_EQ(unpack(Path("_0001.ZIP"), Path("out"), {}, &written), ArchiveError::Ok);
        EXPECT_EQ(written, std::vector<std::string>{Path("out/setup.dll")});
        EXPECT_EQ(kltest::read_file(m_dir / "out" / "setup.dll"), body);
    }
}

TEST_F(ArchiveTest, ProgramsStayRunnable) {
    kltest::write_file(m_dir / "setup.sh", "#!/bin/sh\nexit 0\n");
    fs::permissions(m_dir / "setup.sh", fs::perms(0755));
    kltest::write_file(m_dir / "readme.txt", "text");
    for (const char* name : {"setup.sh", "readme.txt"}) {
        ASSERT_EQ(pack_file(Path(name), Path("p.zip"), {}), ArchiveError::Ok);
        ASSERT_EQ(unpack(Path("p.zip"), Path("out"), {}), ArchiveError::Ok);
        EXPECT_EQ(fs::status(m_dir / "out" / name).permissions() & fs::perms::all,
                  fs::perms(std::string(name) == "setup.sh" ? 0755 : 0644))
            << name;
    }
}

TEST_F(ArchiveTest, CancelledPackLeavesTheOldArchive) {
    kltest::write_file(m_dir / "a.bin", kltest::payload(4 * 1024 * 1024));
    kltest::write_file(m_dir / "old.bin", "the archive of the last build");
    ASSERT_EQ(pack_file(Path("old.bin"), Path("_0001.ZIP"), {}), ArchiveError::Ok);
    const std::string before = kltest::read_file(m_dir / "_0001.ZIP");

    PackOptions pack;
    int reports = 0;
    pack.progress = [&](uint64_t done, uint64_t total) {
        ++reports;
        return done < total / 4;
    };
    EXPECT_EQ(pack_file(Path("a.bin"), Path("_0001.ZIP"), pack), ArchiveError::Cancelled);
    EXPECT_GT(reports, 1);
    EXPECT_EQ(kltest::read_file(m_dir / "_0001.ZIP"), before);
    // No temporary file of the cancelled run stays behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir.path()), fs::directory_iterator()), 3);
}

TEST_F(ArchiveTest, ProtectedWithAes256AndTheDerivedPassword) {
    const std::string body = Text(50000);
    kltest::write_file(m_dir / "f.txt", body);
    const std::string password = kl::EncodePassword("_0001");
    PackOptions pack;
    pack.password = password;
    ASSERT_EQ(pack_file(Path("f.txt"), Path("_0001.ZIP"), pack), ArchiveError::Ok);

    // The entry carries the AES extra field with strength 3 (256 bits).
    const std::string bytes = kltest::read_file(m_dir / "_0001.ZIP");
    EXPECT_NE(bytes.find(std::string("\x01\x99\x07\x00", 4)), std::string::npos);
    EXPECT_NE(bytes.find(std::string("AE\x03", 3)), std::string::npos);
    EXPECT_EQ(bytes.find("line 1"), std::string::npos);

    EXPECT_EQ(unpack(Path("_0001.ZIP"), Path("none"), {}), ArchiveError::WrongPassword);
    UnpackOptions wrong;
    wrong.password = kl::EncodePassword("_0002");
    EXPECT_EQ(unpack(Path("_0001.ZIP"), Path("wrong"), wrong), ArchiveError::WrongPassword);
    EXPECT_FALSE(fs::exists(m_dir / "wrong" / "f.txt"));
    UnpackOptions right;
    right.password = password;
    ASSERT_EQ(unpack(Path("_0001.ZIP"), Path("right"), right), ArchiveError::Ok);
    EXPECT_EQ(kltest::read_file(m_dir / "right" / "f.txt"), body);
}

// The header fields of an archive's only entry, from its central directory.
struct CentralEntry {
    uint16_t flags = 0, method = 0;
    uint32_t crc = 0, packed = 0, size = 0, attributes = 0;
};
CentralEntry ReadCentralEntry(const std::string& bytes) {
    const size_t at = bytes.rfind(std::string("PK\x01\x02", 4));
    EXPECT_NE(at, std::string::npos);
    auto u16 = [&](size_t o) { return uint16_t(uint8_t(bytes[at + o]) | uint8_t(bytes[at + o + 1]) << 8); };
    auto u32 = [&](size_t o) { return uint32_t(u16(o) | uint32_t(u16(o + 2)) << 16); };
    return {u16(8), u16(10), u32(16), u32(20), u32(24), u32(38)};
}

// Protected entries, across the sizes where the cipher's blocks and the
// buffers end, whole and in pieces: our reader and an independent tool both
// open them with the password, and the headers say what a plain entry says
// apart from the protection.
TEST_F(ArchiveTest, ProtectedEntriesOpenWithThePasswordInEveryTool) {
    const std::string password = kl::EncodePassword("_0001");
    struct Case {
        size_t size;
        bool text;
        uint64_t piece_size;
    };
    const Case cases[] = {{0, true, 0},      {1, true, 0},           {15, false, 0},        {16, false, 0},
                          {17, false, 0},    {19, true, 0},          {20, true, 0},         {65537, false, 0},
                          {300000, false, 0}, {3000000, true, 0},    {300000, false, 65536}};
    for (const Case& c : cases) {
        SCOPED_TRACE("size " + std::to_string(c.size) + (c.piece_size ? " in pieces" : ""));
        const fs::path dir = m_dir / ("case" + std::to_string(c.size) + "_" + std::to_string(c.piece_size));
        const std::string body = c.text ? Text(c.size) : kltest::payload(c.size);
        kltest::write_file(dir / "data.bin", body);
        fs::permissions(dir / "data.bin", fs::perms(0750));
        const std::string archive = (dir / "_0001.ZIP").string();

        PackOptions pack;
        pack.password = password;
        pack.piece_size = c.piece_size;
        uint64_t last_done = 0;
        pack.progress = [&](uint64_t done, uint64_t total) {
            EXPECT_EQ(total, c.size);
            last_done = done;
            return true;
        };
        std::vector<std::string> pieces;
        ASSERT_EQ(pack_file((dir / "data.bin").string(), archive, pack, &pieces), ArchiveError::Ok);
        EXPECT_EQ(last_done, c.size);
        EXPECT_EQ(pieces.size() > 1, c.piece_size > 0);

        UnpackOptions right;
        right.password = password;
        ASSERT_EQ(unpack_pieces(pieces, (dir / "ours").string(), right), ArchiveError::Ok);
        EXPECT_EQ(kltest::read_file(dir / "ours" / "data.bin"), body);
        EXPECT_EQ(fs::status(dir / "ours" / "data.bin").permissions() & fs::perms::owner_exec, fs::perms::owner_exec);

        const std::string joined = (dir / "joined.zip").string();
        ASSERT_EQ(join_pieces(pieces, joined), ArchiveError::Ok);
        const std::string tool = "cd '" + dir.string() + "' && 7z x -y -p'" + password +
                                 "' -otool joined.zip >/dev/null 2>&1 && echo extracted";
        EXPECT_EQ(kltest::command_output(tool), "extracted\n");
        EXPECT_EQ(kltest::read_file(dir / "tool" / "data.bin"), body);
        const std::string wrong = "cd '" + dir.string() + "' && 7z t -p'not it' joined.zip >/dev/null 2>&1 || echo refused";
        EXPECT_EQ(kltest::command_output(wrong), "refused\n");

        PackOptions plain;
        ASSERT_EQ(pack_file((dir / "data.bin").string(), (dir / "plain.zip").string(), plain), ArchiveError::Ok);
        const CentralEntry p = ReadCentralEntry(kltest::read_file(dir / "plain.zip"));
        const CentralEntry e = ReadCentralEntry(kltest::read_file(joined));
        EXPECT_EQ(e.method, 99); // the real method sits in the AES extra field
        EXPECT_EQ(e.flags, p.flags | 1);
        EXPECT_EQ(e.size, c.size);
        EXPECT_EQ(e.attributes, p.attributes);
        EXPECT_EQ(e.crc, c.size < 20 ? 0u : p.crc); // short entries leave it out, as the format asks
    }
}

TEST_F(ArchiveTest, CancelledProtectedPackLeavesNothing) {
    kltest::write_file(m_dir / "a.bin", kltest::payload(4 * 1024 * 1024));
    PackOptions pack;
    pack.password = "secret";
    pack.progress = [&](uint64_t done, uint64_t total) { return done < total / 4; };
    EXPECT_EQ(pack_file(Path("a.bin"), Path("_0001.ZIP"), pack), ArchiveError::Cancelled);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir.path()), fs::directory_iterator()), 1);
}

TEST_F(ArchiveTest, SplitIntoPiecesAndJoinedAgain) {
    const std::string body = kltest::payload(300000);
    kltest::write_file(m_dir / "big.bin", body);
    kltest::write_file(m_dir / "_0001.Z09", "left from an earlier build");
    kltest::write_file(m_dir / "_0001.Z02", "left from an earlier build");
    PackOptions pack;
    pack.level = 0;
    pack.piece_size = 65536;
    std::vector<std::string> pieces;
    ASSERT_EQ(pack_file(Path("big.bin"), Path("_0001.ZIP"), pack, &pieces), ArchiveError::Ok);
    ASSERT_EQ(pieces.size(), 5u);
    EXPECT_EQ(pieces[1], Path("_0001.Z02"));
    EXPECT_EQ(pieces[4], Path("_0001.Z05"));
    EXPECT_FALSE(fs::exists(m_dir / "_0001.Z09"));
    for (size_t i = 0; i + 1 < pieces.size(); ++i)
        EXPECT_EQ(fs::file_size(pieces[i]), 65536u) << pieces[i];
    EXPECT_EQ(find_pieces(Path("_0001.ZIP")), pieces);
    EXPECT_EQ(piece_name("_0007.ZIP", 123), "_0007.Z123");

    ASSERT_EQ(join_pieces(pieces, Path("joined.zip")), ArchiveError::Ok);
    EXPECT_TRUE(StandardToolAccepts(Path("joined.zip")));
    ASSERT_EQ(unpack_pieces(pieces, Path("out"), {}), ArchiveError::Ok);
    EXPECT_EQ(kltest::read_file(m_dir / "out" / "big.bin"), body);

    // A missing middle piece is an error, never a shorter archive.
    fs::remove(pieces[2]);
    EXPECT_NE(unpack_pieces(pieces, Path("out2"), {}), ArchiveError::Ok);
    EXPECT_FALSE(fs::exists(m_dir / "out2" / "big.bin"));
}

TEST_F(ArchiveTest, PiecesAppearOnlyWhenTheArchiveIsComplete) {
    kltest::write_file(m_dir / "big.bin", kltest::payload(300000));
    PackOptions pack;
    pack.level = 0;
    pack.piece_size = 65536;
    std::vector<std::string> pieces;
    ASSERT_EQ(pack_file(Path("big.bin"), Path("_0001.ZIP"), pack, &pieces), ArchiveError::Ok);
    std::vector<std::string> before;
    for (const std::string& piece : pieces)
        before.push_back(kltest::read_file(piece));

    // Cancelled halfway, or needing more pieces than allowed: the pieces of
    // the last build stay as they were and no temporary piece is left.
    PackOptions cancelled = pack;
    cancelled.progress = [](uint64_t done, uint64_t total) { return done < total / 2; };
    PackOptions limited = pack;
    limited.max_pieces = 3;
    EXPECT_EQ(pack_file(Path("big.bin"), Path("_0001.ZIP"), cancelled), ArchiveError::Cancelled);
    EXPECT_EQ(pack_file(Path("big.bin"), Path("_0001.ZIP"), limited), ArchiveError::TooLarge);
    for (size_t i = 0; i < pieces.size(); ++i)
        EXPECT_EQ(kltest::read_file(pieces[i]), before[i]) << pieces[i];
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir.path()), fs::directory_iterator()),
              static_cast<std::ptrdiff_t>(pieces.size() + 1));

    // An archive that fits one piece is one file.
    kltest::write_file(m_dir / "small.bin", "small");
    ASSERT_EQ(pack_file(Path("small.bin"), Path("_0001.ZIP"), pack, &pieces), ArchiveError::Ok);
    EXPECT_EQ(pieces, std::vector<std::string>{Path("_0001.ZIP")});
    EXPECT_FALSE(fs::exists(m_dir / "_0001.Z02"));
    EXPECT_TRUE(StandardToolAccepts(Path("_0001.ZIP")));
}

TEST_F(ArchiveTest, EntriesOutsideTheFolderRefuseTheWholeArchive) {
    const char* hostile[] = {"../escape.txt", "/tmp/abs.txt",   "a/../../escape.txt",
                             "C:/drive.txt",  "..\\escape.txt", "sub/../../../escape.txt"};
    for (const char* name : hostile) {
        const std::string archive = Path("hostile.zip");
        WriteRawArchive(archive, {"good.txt", name});
        fs::create_directories(m_dir / "box" / "inner");
        EXPECT_EQ(unpack(archive, Path("box/inner"), {}), ArchiveError::UnsafeEntry) << name;
        // Nothing at all was written, inside or outside.
        EXPECT_TRUE(fs::is_empty(m_dir / "box" / "inner")) << name;
        EXPECT_EQ(std::distance(fs::directory_iterator(m_dir / "box"), fs::directory_iterator()), 1) << name;
    }
    EXPECT_FALSE(fs::exists("/tmp/abs.txt"));

    // Folders inside the archive are fine.
    WriteRawArchive(Path("nested.zip"), {"dir/", "dir/sub/file.txt"});
    ASSERT_EQ(unpack(Path("nested.zip"), Path("nested"), {}), ArchiveError::Ok);
    EXPECT_EQ(kltest::read_file(m_dir / "nested" / "dir" / "sub" / "file.txt"), "payload");
}

TEST_F(ArchiveTest, BadArchivesGetClearErrors) {
    EXPECT_EQ(unpack(Path("missing.zip"), Path("out"), {}), ArchiveError::NotFound);
    EXPECT_EQ(join_pieces({Path("missing.zip")}, Path("j.zip")), ArchiveError::NotFound);
    EXPECT_EQ(pack_file(Path("missing.bin"), Path("p.zip"), {}), ArchiveError::NotFound);
    EXPECT_FALSE(fs::exists(m_dir / "p.zip"));

    kltest::write_file(m_dir / "text.zip", "this is no archive at all");
    EXPECT_EQ(unpack(Path("text.zip"), Path("out"), {}), ArchiveError::NotAnArchive);

    // A damaged entry leaves no file under its name.
    kltest::write_file(m_dir / "f.bin", Text(100000));
    ASSERT_EQ(pack_file(Path("f.bin"), Path("good.zip"), {}), ArchiveError::Ok);
    std::string bytes = kltest::read_file(m_dir / "good.zip");
    for (size_t i = 200; i < 400; ++i)
        bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
    kltest::write_file(m_dir / "damaged.zip", bytes);
    EXPECT_EQ(unpack(Path("damaged.zip"), Path("dmg"), {}), ArchiveError::NotAnArchive);
    EXPECT_FALSE(fs::exists(m_dir / "dmg" / "f.bin"));
    if (fs::exists(m_dir / "dmg")) {
        EXPECT_TRUE(fs::is_empty(m_dir / "dmg"));
    }

    // Stopped from the progress report: no half file either.
    UnpackOptions stop;
    stop.progress = [](uint64_t done, uint64_t) { return done == 0; };
    kltest::write_file(m_dir / "big.bin", kltest::payload(2 * 1024 * 1024));
    ASSERT_EQ(pack_file(Path("big.bin"), Path("big.zip"), {}), ArchiveError::Ok);
    EXPECT_EQ(unpack(Path("big.zip"), Path("stopped"), stop), ArchiveError::Cancelled);
    EXPECT_TRUE(fs::is_empty(m_dir / "stopped"));
}

} // namespace
} // namespace plat::archive
