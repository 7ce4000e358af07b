#include "client/engine/decompress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "bomb_archives.h"
#include "client/engine/errors.h"
#include "common/password.h"
#include "platform/archive/zip_archive.h"
#include "support/temp_dir.h"

namespace klc {
namespace {

namespace fs = std::filesystem;

// What the designer makes of a protected, split update file, unpacked the way
// the client gets it: the first piece names the archive.
TEST(CDecompressor, UnpacksSplitProtectedArchivesWithTheDerivedPassword) {
    kltest::TempDir dir;
    std::string body;
    for (int i = 0; body.size() < 400000; ++i)
        body += std::to_string(i * 7919) + ";";
    kltest::write_file(dir / "src" / "app.exe", body);
    fs::create_directories(dir / "dl");
    plat::archive::PackOptions pack;
    pack.level = 9;
    pack.password = kl::EncodePassword("_0003");
    pack.piece_size = 32768;
    std::vector<std::string> pieces;
    ASSERT_EQ(plat::archive::pack_file((dir / "src" / "app.exe").string(),
                                       (dir / "dl" / "_0003.ZIP").string(), pack, &pieces),
              plat::archive::ArchiveError::Ok);
    ASSERT_GT(pieces.size(), 2u);

    CDecompressor unzip;
    uint64_t last = 0;
    unzip.SetProgress([&](uint64_t done, uint64_t total) {
        last = done;
        return true;
    });
    EXPECT_EQ(unzip.Decompress((dir / "dl" / "_0003.ZIP").string(), (dir / "dl").string()), ERR_SUCCESS);
    EXPECT_EQ(kltest::read_file(dir / "dl" / "app.exe"), body);
    EXPECT_EQ(last, body.size());

    // Copied under another number, the password no longer fits.
    fs::copy_file(dir / "dl" / "_0003.ZIP", dir / "_0004.ZIP");
    EXPECT_EQ(unzip.Decompress(std::vector<std::string>{(dir / "_0004.ZIP").string()}, (dir / "x").string()),
              ERR_NO_ZIP_LIBRARY);
}

TEST(CDecompressor, FailuresKeepTheirCodes) {
    kltest::TempDir dir;
    CDecompressor unzip;
    EXPECT_EQ(unzip.Decompress((dir / "_0001.ZIP").string(), (dir / "out").string()), ERR_NOT_FOUND);
    kltest::write_file(dir / "_0002.ZIP", "not an archive");
    EXPECT_EQ(unzip.Decompress((dir / "_0002.ZIP").string(), (dir / "out").string()), ERR_NO_ZIP_LIBRARY);
    EXPECT_EQ(unzip.LastError(), static_cast<int32_t>(plat::archive::ArchiveError::NotAnArchive));
    unzip.SetProgress([](uint64_t, uint64_t) { return false; });
    kltest::write_file(dir / "f.txt", "some text");
    ASSERT_EQ(plat::archive::pack_file((dir / "f.txt").string(), (dir / "_0005.ZIP").string(), {}),
              plat::archive::ArchiveError::Ok);
    EXPECT_EQ(unzip.Decompress((dir / "_0005.ZIP").string(), (dir / "out5").string()), ERR_CANCELLED);
}

std::vector<std::string> FilesIn(const fs::path& folder) {
    std::vector<std::string> out;
    if (!fs::exists(folder)) return out;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (!e.is_directory()) out.push_back(fs::relative(e.path(), folder).string());
    std::sort(out.begin(), out.end());
    return out;
}

// Archives that hold more than they say: only the entry named by the INF
// comes out, never larger than the smaller of the INF's and the header's
// size, and a refused entry leaves nothing in the folder.
TEST(CDecompressor, TakesOnlyTheNamedEntryWithinItsSizes) {
    using bomb::kMiB;
    using bomb::Member;
    struct Case {
        const char* what;
        std::vector<Member> members;
        uint32_t header_size; // the first entry's header claims this; 0: the truth
        uint64_t inf_size;    // 0: the INF gives none
        int32_t code;
        std::vector<std::string> left;
    } cases[] = {
        {"the INF says less", {{"tool.bin", "", 16 * kMiB}}, 0, 4096, ERR_NO_ZIP_LIBRARY, {}},
        {"the header says less", {{"tool.bin", "", 16 * kMiB}}, 4096, 0, ERR_NO_ZIP_LIBRARY, {}},
        {"both say less", {{"tool.bin", "", 16 * kMiB}}, 8192, 1 * kMiB, ERR_NO_ZIP_LIBRARY, {}},
        {"an extra entry",
         {{"TOOL.BIN", "tool"}, {"extra.bin", "", 16 * kMiB}},
         0,
         4,
         ERR_SUCCESS,
         {"TOOL.BIN"}},
        {"a link", {{"tool.bin", "/etc/passwd", 0, true}}, 0, 11, ERR_NO_ZIP_LIBRARY, {}},
        {"a link beside it", {{"tool.bin", "tool"}, {"x", "/etc", 0, true}}, 0, 4, ERR_NO_ZIP_LIBRARY, {}},
        {"another name", {{"other.bin", "x"}}, 0, 1, ERR_NOT_FOUND, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        kltest::TempDir dir;
        const std::string archive = (dir / "_0001.ZIP").string();
        bomb::MakeArchive(archive, c.members);
        if (c.header_size) bomb::UnderstateFirstSize(archive, c.header_size);
        CDecompressor unzip;
        unzip.SetEntry("tool.bin", c.inf_size);
        uint64_t most = 0;
        unzip.SetProgress([&](uint64_t done, uint64_t) {
            most = std::max(most, done);
            return true;
        });
        EXPECT_EQ(unzip.Decompress(archive, (dir / "out").string()), c.code);
        EXPECT_EQ(FilesIn(dir / "out"), c.left);
        const uint64_t declared = std::min<uint64_t>(c.header_size ? c.header_size : UINT64_MAX,
                                                     c.inf_size ? c.inf_size : UINT64_MAX);
        EXPECT_LE(most, declared);
    }

    // Unpacking a whole archive: a file that fails takes the ones unpacked
    // before it along.
    kltest::TempDir dir;
    const std::string archive = (dir / "a.zip").string();
    bomb::MakeArchive(archive, {{"first.txt", "first"}, {"big.bin", "", 8 * kMiB}});
    plat::archive::UnpackOptions options;
    options.max_size = 4096;
    EXPECT_EQ(plat::archive::unpack(archive, (dir / "out").string(), options),
              plat::archive::ArchiveError::TooLarge);
    EXPECT_EQ(FilesIn(dir / "out"), std::vector<std::string>{});
}

} // namespace
} // namespace klc
