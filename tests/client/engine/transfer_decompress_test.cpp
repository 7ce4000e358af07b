#include "client/engine/decompress.h"

#include <gtest/gtest.h>

#include <filesystem>

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

} // namespace
} // namespace klc
