// A broken or hostile server against the whole road of an update: bodies
// that do not end, sizes that lie, archives that inflate far beyond what they
// say, malformed entries and documents that point at the user's own files.
// Each case runs on a fresh machine beside a folder of the user's own files;
// none of it may change, and the run must fail.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <optional>

#include "bomb_archives.h"
#include "client/engine/catalogue_load.h"
#include "client/engine/errors.h"
#include "client/engine/install.h"
#include "engine_fixture.h"
#include "engine_publish.h"
#include "platform/config/ini.h"
#include "support/servers.h"

namespace {

namespace fs = std::filesystem;
using bomb::kMiB;
using engine_test::Machine;
using engine_test::Publication;
using engine_test::PublishedFile;
using engine_test::Snapshot;

struct Edit {
    std::string section, key;
    std::optional<std::string> value; // none: the key goes
};

void EditInf(const fs::path& file, const std::vector<Edit>& edits) {
    plat::IniDocument inf;
    ASSERT_EQ(plat::IniDocument::load(file, inf), plat::SysError::Success);
    for (const Edit& e : edits)
        ASSERT_EQ(inf.set(e.section, e.key, e.value), plat::SysError::Success);
    ASSERT_EQ(inf.save(file), plat::SysError::Success);
}

// nginx serving a published update from "updates".
struct Server : engine_test::WebServer {
    fs::path Folder() const { return root.path() / "updates"; }
    std::string Url(const std::string& name = "") const { return nginx->url("/updates/" + name); }
    // One plain file of 4096 bytes, as the designer publishes it.
    void Publish(std::vector<PublishedFile> files = {PublishedFile{"tool.bin", kltest::payload(4096)}}) {
        Publication pub;
        pub.web_location = nginx->url("/updates");
        pub.files = std::move(files);
        engine_test::Publish(Folder().string(), pub);
    }
};

// A fresh machine with a product folder already holding the user's tool.bin,
// and the user's own private files beside it.
struct Attempt {
    Machine m;
    klc::IClientHost host;
    klc::CCatalogue cat;
    std::map<std::string, std::string> product_before, user_before;

    Attempt() {
        kltest::write_file(m.dir / "product" / "tool.bin", "mine");
        kltest::write_file(m.dir / "user" / "secret.txt", "private words");
        fs::permissions(m.dir / "user" / "secret.txt", fs::perms(0600));
        product_before = Snapshot(m.dir / "product");
        user_before = Snapshot(m.dir / "user");
    }
    std::string User(const std::string& name = "") const { return "file://" + m.path("user/" + name); }

    int32_t LoadCatalogue(const std::string& url) {
        m.ctx.current_server.url = url;
        klc::CTransferSettings settings;
        settings.proxy_mode = klc::PROXY_DIRECT;
        settings.timeout = 20000;
        return klc::LoadCatalogue(m.ctx, host, cat, settings, klc::CRequestInfo{});
    }
    // Installs whatever the catalogue offers; the installer's page result.
    int32_t Install() {
        for (auto& p : cat.products)
            for (auto& u : p.updates)
                u.selected = u.HasFilesToInstall(m.ctx);
        klc::CUpdateInstaller installer(m.ctx, host);
        klc::CTransferSettings settings;
        settings.proxy_mode = klc::PROXY_DIRECT;
        settings.timeout = 20000;
        installer.LoadUpdates(cat, settings, klc::CRequestInfo{});
        return installer.PageResult();
    }
    // Nothing of the user's changed, nothing is left in the temporary folder
    // but the archive that arrived whole (the host keeps the temporary files
    // of a failed update), and the run ends with the failure's code.
    void ExpectRefused(int32_t code) {
        EXPECT_EQ(Snapshot(m.dir / "product"), product_before);
        EXPECT_EQ(Snapshot(m.dir / "user"), user_before);
        for (const fs::path& folder : {m.dir / "temp", fs::path(m.ctx.StoreFolder())})
            for (const auto& [name, bytes] : Snapshot(folder))
                if (bytes != "<folder>" && fs::path(name).filename() != "_0001.ZIP" &&
                    fs::path(name).filename() != "_0001.ZIP.klresume" && name != "KLClient.journal")
                    ADD_FAILURE() << "left in the temporary folder: " << name << " (" << bytes.size()
                                  << " bytes)";
        EXPECT_EQ(m.ctx.ResultLine(), "Error " + std::to_string(code) + " was occured during update.")
            << m.log();
    }
};

TEST(EngineLimits, PiecesStopAtTheirSize) {
    Server server;
    if (!server.Start()) GTEST_SKIP() << "nginx is not available";
    server.Publish();
    struct Case {
        const char* what;
        std::string head;
        size_t endless; // zeros after the head, at most
    } cases[] = {
        {"an endless body", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n", 256 * kMiB},
        {"a length of 1 TiB", "HTTP/1.1 200 OK\r\nContent-Length: 1099511627776\r\nConnection: close\r\n\r\n",
         256 * kMiB},
        {"one byte more", "HTTP/1.1 200 OK\r\nContent-Length: 4097\r\nConnection: close\r\n\r\n", 4097},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto piece_server = kltest::TinyHttpServer::Endless(c.head, c.endless);
        EditInf(server.Folder() / "editor.inf", {{"File1", "SourcePath", piece_server->url("/")}});
        Attempt t;
        ASSERT_EQ(t.LoadCatalogue(server.Url("Products.INF")), 0) << t.m.log();
        ASSERT_EQ(t.cat.products.size(), 1u) << t.m.log();
        EXPECT_EQ(t.Install(), klc::ERR_LOAD) << t.m.log();
        t.ExpectRefused(klc::ERR_LOAD);
        // The client hung up near the piece's size: what the server got rid
        // of beyond that is what the sockets buffer, not the piece.
        EXPECT_LT(piece_server->filler_sent(), 32 * kMiB);
        EXPECT_FALSE(piece_server->requests().empty());
    }
}

TEST(EngineLimits, CatalogueAndProductInfStopAtTheirCap) {
    Server server;
    if (!server.Start()) GTEST_SKIP() << "nginx is not available";
    server.Publish();
    auto endless =
        kltest::TinyHttpServer::Endless("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n", 256 * kMiB);
    struct Case {
        const char* what;
        bool catalogue; // the catalogue itself is endless, else the product INF it names
        const char* text;
    } cases[] = {
        {"catalogue", true, "Unable to load  product information file."},
        {"product INF", false, "Unable to load  update information file."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const size_t sent_before = endless->filler_sent();
        Attempt t;
        if (c.catalogue) {
            EXPECT_EQ(t.LoadCatalogue(endless->url("/Products.INF")), 1);
        } else {
            EditInf(server.Folder() / "Products.INF", {{"Product1", "File", endless->url("/editor.inf")}});
            EXPECT_EQ(t.LoadCatalogue(server.Url("Products.INF")), 0); // automatic mode goes on
        }
        EXPECT_EQ(t.cat.result, klc::ERR_LOAD);
        EXPECT_TRUE(t.cat.products.empty());
        EXPECT_NE(t.m.log().find(c.text), std::string::npos) << t.m.log();
        const size_t sent = endless->filler_sent() - sent_before;
        EXPECT_GE(sent, static_cast<size_t>(klc::kInfFileMax));
        EXPECT_LT(sent, static_cast<size_t>(klc::kInfFileMax) + 32 * kMiB);
        t.ExpectRefused(klc::ERR_LOAD);
    }
}

// Archives that inflate beyond what they say, hold links or hold more than
// the one file, served as the update's own archive.
TEST(EngineLimits, ArchivesGiveOnlyTheirNamedFileWithinItsSize) {
    Server server;
    if (!server.Start()) GTEST_SKIP() << "nginx is not available";
    PublishedFile packed{"tool.bin", "the real tool"};
    packed.compress = true;
    struct Case {
        const char* what;
        std::vector<bomb::Member> members;
        uint32_t header_size; // the header claims this; 0: the truth
        int32_t code;
    } cases[] = {
        {"the INF says less", {{"tool.bin", "", 64 * kMiB}}, 0, klc::ERR_NO_ZIP_LIBRARY},
        {"the header says less", {{"tool.bin", "", 64 * kMiB}}, 13, klc::ERR_NO_ZIP_LIBRARY},
        {"a link", {{"tool.bin", "/etc/passwd", 0, true}}, 0, klc::ERR_NO_ZIP_LIBRARY},
        {"an extra entry",
         {{"tool.bin", "the real tool"}, {"extra.bin", "", 64 * kMiB}},
         0,
         klc::ERR_SUCCESS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        server.Publish({packed});
        const fs::path archive = server.Folder() / "_0001.ZIP";
        bomb::MakeArchive(archive.string(), c.members);
        if (c.header_size) bomb::UnderstateFirstSize(archive.string(), c.header_size);
        EditInf(server.Folder() / "editor.inf",
                {{"File1", "SourceSize1", std::to_string(fs::file_size(archive))}});
        Attempt t;
        ASSERT_EQ(t.LoadCatalogue(server.Url("Products.INF")), 0) << t.m.log();
        EXPECT_EQ(t.Install(), c.code) << t.m.log();
        if (c.code < 0) {
            t.ExpectRefused(c.code);
            continue;
        }
        EXPECT_EQ(kltest::read_file(t.m.dir / "product" / "tool.bin"), "the real tool");
        EXPECT_FALSE(fs::exists(t.m.dir / "product" / "extra.bin"));
        EXPECT_EQ(t.m.ctx.ResultLine(), "Application was finished successfully.") << t.m.log();
    }
}

// Entries no designer writes: refused while reading, so nothing of them is
// downloaded, and the run fails.
TEST(EngineLimits, NegativeSizesAreRefused) {
    Server server;
    if (!server.Start()) GTEST_SKIP() << "nginx is not available";
    struct Case {
        const char* what;
        std::vector<Edit> edits;
    } cases[] = {
        {"negative piece size", {{"File1", "SourceSize1", "-1"}}},
        {"negative hex piece size", {{"File1", "SourceSize1", "-0x1000"}}},
        {"negative size for its pieces",
         {{"File1", "Size", "-4096"}, {"File1", "SourceSize1", std::nullopt}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        server.Publish();
        EditInf(server.Folder() / "editor.inf", c.edits);
        Attempt t;
        ASSERT_EQ(t.LoadCatalogue(server.Url("Products.INF")), 0) << t.m.log();
        EXPECT_EQ(t.cat.result, klc::ERR_SOURCE_INVALID);
        EXPECT_TRUE(t.cat.products.empty());
        t.Install();
        t.ExpectRefused(klc::ERR_SOURCE_INVALID);
    }
}

// A document that came over the network names the user's own files: it is
// refused wherever the location is named, and the private file goes nowhere.
TEST(EngineLimits, NetworkDocumentsNameOnlyNetworkLocations) {
    Server server;
    if (!server.Start()) GTEST_SKIP() << "nginx is not available";
    struct Case {
        const char* what;
        const char* file;        // the document edited
        std::vector<Edit> edits; // "@" stands for the user's folder as a file: URL
    } cases[] = {
        {"product INF of the catalogue", "Products.INF", {{"Product1", "File", "@secret.txt"}}},
        {"catalogue's server",
         "Products.INF",
         {{"Common", "Server", "@"}, {"Product1", "File", "editor.inf"}}},
        {"update's path", "editor.inf", {{"Common", "Path", "@"}}},
        {"file's path", "editor.inf", {{"File1", "SourcePath", "@"}}},
        {"news", "editor.inf", {{"Common", "WhatsNew", "@secret.txt"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        server.Publish({PublishedFile{"secret.txt", "published"}});
        Attempt t;
        std::vector<Edit> edits = c.edits;
        for (Edit& e : edits)
            if (e.value->starts_with('@')) e.value = t.User(e.value->substr(1));
        EditInf(server.Folder() / c.file, edits);
        ASSERT_EQ(t.LoadCatalogue(server.Url("Products.INF")), 0) << t.m.log();
        EXPECT_EQ(t.cat.result, klc::ERR_BAD_URL) << t.m.log();
        EXPECT_NE(t.m.log().find("... location file:"), std::string::npos) << t.m.log();
        t.Install();
        EXPECT_FALSE(fs::exists(t.m.dir / "product" / "secret.txt"));
        t.ExpectRefused(klc::ERR_BAD_URL);
    }
}

// The user's own choice of a local server stays open, and a private file
// installed from it stays private.
TEST(EngineLimits, LocalServerTheUserChoseServesLocalFiles) {
    Attempt t;
    Publication pub;
    pub.web_location = "file://" + t.m.path("server");
    pub.files = {PublishedFile{"secret.txt", "from the local server"}};
    engine_test::Publish(t.m.path("server"), pub);
    fs::permissions(t.m.dir / "server" / "_0001.KL_", fs::perms(0600));
    ASSERT_EQ(t.LoadCatalogue(pub.web_location + "/Products.INF"), 0) << t.m.log();
    EXPECT_EQ(t.Install(), 0) << t.m.log();
    EXPECT_EQ(kltest::read_file(t.m.dir / "product" / "secret.txt"), "from the local server");
    EXPECT_EQ(fs::status(t.m.dir / "product" / "secret.txt").permissions() & fs::perms::all, fs::perms(0600));
    EXPECT_EQ(t.m.ctx.ResultLine(), "Application was finished successfully.") << t.m.log();
}

} // namespace
