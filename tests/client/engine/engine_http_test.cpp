// The whole road of an update against a real web server on loopback: the
// catalogue, the product INF, the pieces, installation.
#include <gtest/gtest.h>

#include <filesystem>
#include <zip.h>

#include "client/engine/catalogue_load.h"
#include "client/engine/errors.h"
#include "client/engine/install.h"
#include "engine_fixture.h"
#include "engine_publish.h"
#include "platform/config/ini.h"
#include "platform/sys/files.h"
#include "support/servers.h"

namespace {

namespace fs = std::filesystem;
using engine_test::Machine;
using engine_test::Publication;
using engine_test::PublishedFile;

struct Server {
    kltest::TempDir root;
    std::unique_ptr<kltest::NginxServer> nginx;

    bool Start() {
        if (!kltest::have_program("nginx")) return false;
        nginx = std::make_unique<kltest::NginxServer>(root.str());
        return nginx->start();
    }
    std::string Updates() const { return nginx->url("/updates"); }
};

struct Loaded {
    Machine m;
    klc::IClientHost host;
    klc::CCatalogue cat;

    int32_t LoadCatalogue(const std::string& url) {
        m.ctx.current_server.url = url;
        klc::CTransferSettings settings;
        settings.proxy_mode = klc::PROXY_DIRECT;
        return klc::LoadCatalogue(m.ctx, host, cat, settings, klc::CRequestInfo{});
    }
    int32_t Install(klc::CUpdateInstaller& installer) {
        for (auto& p : cat.products)
            for (auto& u : p.updates)
                u.selected = u.HasFilesToInstall(m.ctx);
        klc::CTransferSettings settings;
        settings.proxy_mode = klc::PROXY_DIRECT;
        return installer.LoadUpdates(cat, settings, klc::CRequestInfo{});
    }
};

TEST(EngineHttp, CatalogueToInstalledFilesOverHttp) {
    Server server;
    if (!server.Start()) GTEST_SKIP() << "nginx is not available";
    Publication pub;
    pub.web_location = server.Updates();
    pub.chunk_size = 8192;
    std::string big(50000, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = char((i * 131) ^ (i >> 7));
    PublishedFile plain{"readme.txt", "over the wire\r\n"};
    PublishedFile split{"data.bin", big}; // archived, uncompressed, in pieces
    PublishedFile secret{"key.dat", "protected"};
    secret.encrypt = true;
    secret.compress = true;
    pub.files = {plain, split, secret};
    pub.common_extra = {{"WhatsNew", "news.txt"}};
    engine_test::Publish((server.root.path() / "updates").string(), pub);
    kltest::write_file(server.root.path() / "updates" / "news.txt", "What is new");

    Loaded t;
    EXPECT_EQ(t.LoadCatalogue(server.Updates() + "/Products.INF"), 0) << t.m.log();
    ASSERT_EQ(t.cat.products.size(), 1u) << t.m.log();
    EXPECT_EQ(kltest::read_file(t.m.dir / "temp" / "Editor" / "Main Update" / "WhatsNew.txt"), "What is new");
    EXPECT_FALSE(fs::exists(t.m.path("temp/PRODUCTS.INF"))); // read, then deleted

    klc::CUpdateInstaller installer(t.m.ctx, t.host);
    EXPECT_EQ(t.Install(installer), 0);
    EXPECT_EQ(installer.PageResult(), 0) << t.m.log();
    auto when = klc::ParseDate(plain.date, true);
    for (const auto& [name, content] : {std::pair<std::string, std::string>{"readme.txt", plain.content},
                                        {"data.bin", big},
                                        {"key.dat", "protected"}}) {
        EXPECT_EQ(kltest::read_file(t.m.dir / "product" / name), content) << name;
        EXPECT_EQ(plat::file_modified(t.m.path("product/" + name))->ticks, when->ticks) << name;
    }
    std::string log = t.m.log();
    EXPECT_NE(log.find("Loading PRODUCT file "), std::string::npos);
    EXPECT_NE(log.find("Loading block file "), std::string::npos);
}

TEST(EngineHttp, MissingFilesAndHostileArchivesChangeNothing) {
    Server server;
    if (!server.Start()) GTEST_SKIP() << "nginx is not available";

    // One server folder whose piece is missing (404), one whose archive holds
    // an entry that climbs out of the folder it is unpacked into.
    Publication missing;
    missing.web_location = server.nginx->url("/missing");
    missing.files = {PublishedFile{"gone.txt", "x"}};
    engine_test::Publish((server.root.path() / "missing").string(), missing);
    fs::remove(server.root.path() / "missing" / "_0001.KL_");

    std::string hostile_dir = (server.root.path() / "hostile").string();
    Publication hostile;
    hostile.web_location = server.nginx->url("/hostile");
    PublishedFile evil{"evil.txt", "x"};
    evil.compress = true;
    hostile.files = {evil};
    engine_test::Publish(hostile_dir, hostile);
    std::string archive = hostile_dir + "/_0001.ZIP";
    fs::remove(archive);
    int err = 0;
    zip_t* z = zip_open(archive.c_str(), ZIP_CREATE, &err);
    ASSERT_NE(z, nullptr);
    static const char payload[] = "escaped";
    zip_source_t* src = zip_source_buffer(z, payload, sizeof payload - 1, 0);
    ASSERT_GE(zip_file_add(z, "../../../escaped.txt", src, ZIP_FL_OVERWRITE), 0);
    ASSERT_EQ(zip_close(z), 0);
    plat::IniDocument inf;
    ASSERT_EQ(plat::IniDocument::load(hostile_dir + "/editor.inf", inf), plat::SysError::Success);
    inf.set("File1", "SourceSize1", std::to_string(fs::file_size(archive)));
    inf.save(hostile_dir + "/editor.inf");

    struct Case {
        const char* folder;
        int32_t code;
    } cases[] = {{"missing", klc::ERR_LOAD}, {"hostile", klc::ERR_NO_ZIP_LIBRARY}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        Loaded t;
        kltest::write_file(t.m.dir / "product" / "gone.txt", "mine");
        ASSERT_EQ(t.LoadCatalogue(server.nginx->url(std::string("/") + c.folder + "/Products.INF")), 0)
            << t.m.log();
        klc::CUpdateInstaller installer(t.m.ctx, t.host);
        t.Install(installer);
        EXPECT_EQ(installer.PageResult(), c.code) << t.m.log();
        EXPECT_EQ(kltest::read_file(t.m.dir / "product" / "gone.txt"), "mine");
        EXPECT_FALSE(fs::exists(t.m.path("product/evil.txt")));
        for (const auto& e : fs::recursive_directory_iterator(t.m.dir.path()))
            EXPECT_NE(e.path().filename(), "escaped.txt") << e.path();
        for (const auto& e : fs::directory_iterator(fs::temp_directory_path()))
            EXPECT_NE(e.path().filename(), "escaped.txt") << e.path();
        EXPECT_NE(t.m.log().find(klc::ErrorText(c.code)), std::string::npos);
    }
}

} // namespace

namespace {

TEST(EngineHttp, PasswordsStayOutOfTheLog) {
    Server server;
    if (!server.Start()) GTEST_SKIP() << "nginx is not available";
    Publication pub;
    pub.web_location = server.Updates();
    pub.files = {PublishedFile{"a.txt", "a"}};
    engine_test::Publish((server.root.path() / "updates").string(), pub);
    Loaded t;
    t.m.ctx.current_server.user_name = "user";
    t.m.ctx.current_server.password = "s3cret-word";
    t.LoadCatalogue(server.Updates() + "/Products.INF");
    std::string log = t.m.log();
    EXPECT_NE(log.find("... from URL "), std::string::npos);
    EXPECT_EQ(log.find("s3cret-word"), std::string::npos) << log;
}

} // namespace
