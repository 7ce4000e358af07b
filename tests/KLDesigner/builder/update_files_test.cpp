// Update files: plain copies, archives, protection and pieces, checked with
// the archive layer and a standard unzip.
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>

#include "KLDesigner/builder/utilities.h"
#include "common/password.h"
#include "platform/archive/zip_archive.h"
#include "support/designer_fixture.h"

using namespace kld;
namespace fs = std::filesystem;

namespace {

std::string Shell(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return out;
    char buf[512];
    while (size_t n = fread(buf, 1, sizeof buf, p))
        out.append(buf, n);
    pclose(p);
    return out;
}

// Text that deflates well, so compressed and stored archives differ.
std::string Bytes(size_t n) {
    std::string s;
    for (size_t i = 0; s.size() < n; ++i)
        s += "line " + std::to_string(i % 97) + " of the source\n";
    s.resize(n);
    return s;
}

struct MakerRig : kldtest::DesignerRig {
    fs::path out = dir / "out";
    fs::path source = dir / "src" / "setup.dat";

    MakerRig(size_t size) {
        fs::create_directories(out);
        kltest::write_file(source, Bytes(size));
        d.Product.OutputFolder = out.string();
        d.Actions.assign(1, ActionRecord{});
        d.Actions[0].ActionType = 0;
        d.Actions[0].SourcePath = "setup.dat";
        d.Actions[0].FileSize = static_cast<int32_t>(size);
        d.UpdateFileCounter = 1;
        d.ZipProgress.total = static_cast<double>(size);
    }
    ActionRecord& R() { return d.Actions[0]; }
    bool Make(std::string& error) { return d.MakeUpdateFile(0, source.string(), error); }
    std::vector<std::string> Names() const {
        std::vector<std::string> n;
        for (const auto& e : R2().ProducedFiles)
            n.push_back(e.SourcePath);
        return n;
    }
    const ActionRecord& R2() const { return d.Actions[0]; }
};

} // namespace

TEST(DesignerUpdateFiles, PlainCopyWhenNothingAsksForAnArchive) {
    for (int32_t chunk : {0, 500}) { // below 1 KiB chunking does not count
        MakerRig rig(2000);
        rig.d.Product.ChunkSize = chunk;
        std::string error;
        ASSERT_TRUE(rig.Make(error)) << error;
        ASSERT_EQ(rig.R().ProducedFiles.size(), 1u);
        EXPECT_EQ(rig.R().ProducedFiles[0].SourcePath, "_0001.KL_");
        EXPECT_EQ(rig.R().ProducedFiles[0].FileSize, 2000);
        EXPECT_EQ(kltest::read_file(rig.out / "_0001.KL_"), Bytes(2000));
        EXPECT_EQ(rig.host.progress, 99);
        EXPECT_EQ(rig.host.process_events_calls, 1);
    }
}

TEST(DesignerUpdateFiles, ArchivesHoldOneEntryNamedLikeTheFile) {
    struct {
        const char* name;
        bool compress, encrypt;
        int32_t chunk;
        size_t pieces;
        const char* method; // as unzip -v names it
    } cases[] = {
        {"compressed", true, false, 0, 1, "Defl:X"},
        {"compressed, 500-byte pieces", true, false, 500, 0, "Defl:X"},
        {"stored because chunked", false, false, 1024, 0, "Stored"},
        {"protected", false, true, 0, 1, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MakerRig rig(20000);
        rig.R().Compress = c.compress;
        rig.R().Encrypt = c.encrypt;
        rig.d.Product.ChunkSize = c.chunk;
        std::string error;
        ASSERT_TRUE(rig.Make(error)) << error;
        const auto& rows = rig.R().ProducedFiles;
        ASSERT_FALSE(rows.empty());
        EXPECT_EQ(rows[0].SourcePath, "_0001.ZIP");
        std::vector<std::string> pieces;
        uint64_t total = 0;
        for (size_t i = 0; i < rows.size(); ++i) {
            pieces.push_back((rig.out / rows[i].SourcePath).string());
            EXPECT_EQ(static_cast<uint64_t>(rows[i].FileSize), fs::file_size(pieces.back()));
            total += static_cast<uint64_t>(rows[i].FileSize);
            if (i > 0) {
                EXPECT_EQ(rows[i].SourcePath,
                          plat::archive::piece_name("_0001.ZIP", static_cast<int>(i) + 1));
            }
            if (c.chunk > 0 && i + 1 < rows.size()) {
                EXPECT_EQ(rows[i].FileSize, c.chunk);
            }
        }
        const size_t expected = c.pieces ? c.pieces : (total + c.chunk - 1) / c.chunk;
        EXPECT_EQ(rows.size(), expected);
        const std::string joined = (rig.dir / "joined.zip").string();
        ASSERT_EQ(plat::archive::join_pieces(pieces, joined), plat::archive::ArchiveError::Ok);
        const std::string listing = Shell("unzip -v '" + joined + "'");
        EXPECT_NE(listing.find("setup.dat"), std::string::npos) << listing;
        EXPECT_NE(listing.find("1 file"), std::string::npos) << listing;
        if (c.method) {
            EXPECT_NE(listing.find(c.method), std::string::npos) << listing;
        }

        plat::archive::UnpackOptions open;
        if (c.encrypt) {
            open.password = "_0001";
            EXPECT_EQ(plat::archive::unpack(joined, (rig.dir / "wrong").string(), open),
                      plat::archive::ArchiveError::WrongPassword);
            open.password = kl::EncodePassword("_0001");
        }
        ASSERT_EQ(plat::archive::unpack(joined, (rig.dir / "x").string(), open),
                  plat::archive::ArchiveError::Ok);
        EXPECT_EQ(kltest::read_file(rig.dir / "x" / "setup.dat"), Bytes(20000));
        EXPECT_EQ(rig.host.progress, 99);
    }
}

TEST(DesignerUpdateFiles, EmptySourceBecomesAStoredArchive) {
    MakerRig rig(0);
    rig.d.ZipProgress.total = 0;
    std::string error;
    ASSERT_TRUE(rig.Make(error)) << error;
    EXPECT_EQ(rig.R().ProducedFiles[0].SourcePath, "_0001.ZIP");
    EXPECT_GT(rig.R().ProducedFiles[0].FileSize, 0);
    EXPECT_EQ(rig.host.progress, 0); // nothing to pack shows 0 %
}

TEST(DesignerUpdateFiles, TooManyPiecesLeaveNothingBehind) {
    MakerRig rig(40000);
    rig.R().Encrypt = true; // random bytes: the archive stays larger than 32000 bytes
    rig.d.Product.ChunkSize = 1;
    std::string error;
    EXPECT_FALSE(rig.Make(error));
    EXPECT_EQ(error, "Zip file error : too many chunks. To fix the problem specify another chunk size ");
    EXPECT_TRUE(fs::is_empty(rig.out));
}

TEST(DesignerUpdateFiles, FailuresAndCancelReportTheirText) {
    {
        MakerRig rig(100);
        std::string error;
        EXPECT_FALSE(rig.d.MakeUpdateFile(0, (rig.dir / "gone").string(), error));
        EXPECT_EQ(error, "Copy file error # 53: File not found. Please, fix the problem and try again.");
        EXPECT_EQ(rig.R().ProducedFiles[0].SourcePath, "_0001.KL_");
    }
    {
        MakerRig rig(100);
        rig.R().Compress = true;
        std::string error;
        EXPECT_FALSE(rig.d.MakeUpdateFile(0, (rig.dir / "gone").string(), error));
        EXPECT_EQ(error.rfind("Zip file error # ", 0), 0u) << error;
        EXPECT_EQ(rig.R().ProducedFiles[0].SourcePath, "");
    }
    for (bool compress : {false, true}) {
        MakerRig rig(5000);
        rig.R().Compress = compress;
        rig.host.on_process_events = [&] { rig.d.CancelRequested = true; };
        std::string error;
        EXPECT_FALSE(rig.Make(error));
        EXPECT_EQ(error, "Canceled by user");
    }
    {
        MakerRig rig(10);
        std::string error = "old";
        EXPECT_TRUE(rig.d.MakeUpdateFile(3, rig.source.string(), error));
        EXPECT_TRUE(rig.d.MakeUpdateFile(0, "", error));
        EXPECT_EQ(error, "");
        EXPECT_TRUE(fs::is_empty(rig.out));
    }
}
