// The whole road of an update against a real web server on loopback: the
// catalogue, the product INF, the pieces, installation.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <zip.h>

#include "client/engine/catalogue_load.h"
#include "client/engine/errors.h"
#include "client/engine/install.h"
#include "engine_fixture.h"
#include "engine_publish.h"
#include "platform/config/ini.h"
#include "platform/sys/files.h"
#include "platform/sys/process.h"
#include "support/servers.h"

namespace {

namespace fs = std::filesystem;
using engine_test::Machine;
using engine_test::Publication;
using engine_test::PublishedFile;

struct Server : engine_test::WebServer {
    std::string Updates() const { return nginx->url("/updates"); }
};

// Answers "the file is in use" as a test tells it to; every other question
// gets the unattended answer.
struct Host : klc::IClientHost {
    int32_t in_use_answer = klc::IN_USE_SKIP;
    int32_t AskFileInUse(const std::string&) override { return in_use_answer; }
};

struct Loaded {
    Machine m;
    Host host;
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
    // The run's own folder, private, below the temporary folder.
    const fs::path run = t.m.ctx.RunFolder();
    EXPECT_EQ(run.parent_path(), t.m.dir / "temp");
    EXPECT_EQ(fs::status(run).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(kltest::read_file(run / "Editor" / "Main Update" / "WhatsNew.txt"), "What is new");
    EXPECT_FALSE(fs::exists(run / "PRODUCTS.INF")); // read, then deleted

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
        // The log keeps the text on one line: what comes before its break.
        const std::string text = klc::ErrorText(c.code);
        EXPECT_NE(t.m.log().find(text.substr(0, text.find(" \n"))), std::string::npos) << t.m.log();
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

namespace {

// Names of the entries of a folder, each with what it is and, for a link,
// where it points.
std::map<std::string, std::string> Entries(const fs::path& folder) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::directory_iterator(folder)) {
        std::string what = e.is_symlink()     ? "link to " + fs::read_symlink(e.path()).string()
                           : e.is_directory() ? "folder"
                                              : "file " + kltest::read_file(e.path());
        out[e.path().filename().string()] = what;
    }
    return out;
}

TEST(EngineHttp, AFileInUseIsBackedUpBeforeItsCopyOnRestart) {
    Server server;
    if (!server.Start()) GTEST_SKIP() << "nginx is not available";
    Publication pub;
    pub.web_location = server.Updates();
    pub.files = {PublishedFile{"held.txt", "new bytes"}};
    engine_test::Publish((server.root.path() / "updates").string(), pub);

    // Another program holds the file, either way it can.
    for (bool exclusive : {true, false}) {
        SCOPED_TRACE(exclusive ? "exclusive" : "shared");
        Loaded t;
        t.m.ctx.backup_mode = 2;
        t.m.ctx.backup_folder = t.m.path("backup");
        t.host.in_use_answer = klc::IN_USE_COPY_ON_RESTART;
        const std::string target = t.m.path("product/held.txt");
        kltest::write_file(target, "old bytes");
        plat::FileLock holder;
        ASSERT_EQ(holder.lock(target, exclusive), plat::SysError::Success);

        ASSERT_EQ(t.LoadCatalogue(server.Updates() + "/Products.INF"), 0) << t.m.log();
        klc::CUpdateInstaller installer(t.m.ctx, t.host);
        EXPECT_EQ(t.Install(installer), 0);
        EXPECT_EQ(installer.PageResult(), 0) << t.m.log();
        const std::string backup = t.m.path("backup/Editor/Main Update/held.txt");
        EXPECT_EQ(kltest::read_file(backup), "old bytes");
        EXPECT_EQ(kltest::read_file(target), "old bytes");
        std::string log = t.m.log();
        size_t backed_up = log.find("  ... Backuped.\r\n");
        EXPECT_NE(backed_up, std::string::npos) << log;
        EXPECT_GT(log.find("  ... Skipped to reboot.\r\n", backed_up), backed_up) << log;

        // The next start, the program that runs what was left for it.
        holder.unlock();
        // It starts on this test's machine (the process map was taken when
        // an earlier test's machine was current).
        plat::Environment env = plat::Environment::process();
        env.set("KL_MACHINE_ROOT", std::getenv("KL_MACHINE_ROOT"));
        plat::StartOptions options;
        options.environment = &env;
        plat::Process runonce;
        ASSERT_EQ(runonce.start({KL_RUNONCE_PROGRAM}, options), plat::SysError::Success);
        ASSERT_EQ(runonce.wait(plat::kInfinite), plat::WaitOutcome::Exited);
        EXPECT_EQ(kltest::read_file(target), "new bytes");
        EXPECT_EQ(kltest::read_file(backup), "old bytes");
    }
}

TEST(EngineHttp, ATargetThatIsAFolderOrALinkIsRefusedAndLeftAlone) {
    Server server;
    if (!server.Start()) GTEST_SKIP() << "nginx is not available";
    Publication pub;
    pub.web_location = server.Updates();
    pub.files = {PublishedFile{"first.txt", "new first"}, PublishedFile{"target", "new target"}};
    engine_test::Publish((server.root.path() / "updates").string(), pub);

    enum Kind { FOLDER, LINK_TO_FOLDER, LINK_TO_FILE };
    for (Kind kind : {FOLDER, LINK_TO_FOLDER, LINK_TO_FILE}) {
        SCOPED_TRACE(kind);
        Loaded t;
        t.m.ctx.backup_mode = 2;
        t.m.ctx.backup_folder = t.m.path("backup");
        kltest::write_file(t.m.dir / "product" / "first.txt", "old first");
        kltest::write_file(t.m.dir / "elsewhere" / "inside.txt", "the user's");
        kltest::write_file(t.m.dir / "elsewhere.txt", "the user's file");
        const fs::path target = t.m.dir / "product" / "target";
        if (kind == FOLDER) kltest::write_file(target / "inside.txt", "the user's");
        if (kind == LINK_TO_FOLDER) fs::create_directory_symlink(t.m.dir / "elsewhere", target);
        if (kind == LINK_TO_FILE) fs::create_symlink(t.m.dir / "elsewhere.txt", target);
        const auto product = Entries(t.m.dir / "product");
        const auto elsewhere = Entries(t.m.dir / "elsewhere");
        const auto first_time = fs::last_write_time(t.m.dir / "product" / "first.txt");

        ASSERT_EQ(t.LoadCatalogue(server.Updates() + "/Products.INF"), 0) << t.m.log();
        klc::CUpdateInstaller installer(t.m.ctx, t.host);
        t.Install(installer);
        EXPECT_EQ(installer.PageResult(), klc::ERR_COPY) << t.m.log();
        EXPECT_EQ(Entries(t.m.dir / "product"), product);
        EXPECT_EQ(Entries(t.m.dir / "elsewhere"), elsewhere);
        EXPECT_EQ(kltest::read_file(t.m.dir / "elsewhere.txt"), "the user's file");
        EXPECT_EQ(fs::last_write_time(t.m.dir / "product" / "first.txt"), first_time); // never touched
        EXPECT_FALSE(fs::exists(t.m.dir / "backup")) << "nothing was backed up";
        if (kind == FOLDER) {
            EXPECT_EQ(Entries(target),
                      (std::map<std::string, std::string>{{"inside.txt", "file the user's"}}));
        }
    }
}

// Three updates of one product, each from its own folder: one with news, one
// with nothing for the product tree, one with an icon and news the server
// does not have.
TEST(EngineHttp, TheRunLeavesNoFolderInTheTemporaryFolder) {
    Server server;
    if (!server.Start()) GTEST_SKIP() << "nginx is not available";
    struct Part {
        const char* folder;
        const char* update;
        std::vector<std::pair<std::string, std::string>> extra;
    } parts[] = {{"u1", "First", {{"WhatsNew", "news.txt"}}},
                 {"u2", "Second", {}},
                 {"u3", "Third", {{"Icon", "icon.ico"}, {"WhatsNew", "missing.txt"}}}};
    plat::IniDocument catalogue;
    catalogue.set("Common", "INFVersion", "3");
    catalogue.set("Product1", "Name", "Editor");
    int n = 0;
    for (const Part& part : parts) {
        Publication pub;
        pub.web_location = server.nginx->url(std::string("/") + part.folder);
        pub.inf_name = std::string(part.folder) + ".inf";
        pub.files = {PublishedFile{std::string(part.update) + ".txt", part.update}};
        pub.common_extra = part.extra;
        pub.common_extra.emplace_back("Update", part.update);
        const fs::path folder = server.root.path() / part.folder;
        engine_test::Publish(folder.string(), pub);
        kltest::write_file(folder / "news.txt", "What is new");
        kltest::write_file(folder / "icon.ico", "an icon");
        catalogue.set("Product1", "File" + std::to_string(++n), pub.web_location + "/" + pub.inf_name);
    }
    ASSERT_EQ(catalogue.save(server.root.path() / "Products.INF"), plat::SysError::Success);

    Loaded t;
    ASSERT_EQ(t.LoadCatalogue(server.nginx->url("/Products.INF")), 0) << t.m.log();
    ASSERT_EQ(t.cat.products.size(), 1u);
    ASSERT_EQ(t.cat.products[0].updates.size(), 3u) << t.m.log();
    // Folders only where a file went: the tree page reads them.
    const fs::path temp = t.m.ctx.RunFolder();
    EXPECT_EQ(kltest::read_file(temp / "Editor" / "First" / "WhatsNew.txt"), "What is new");
    EXPECT_FALSE(fs::exists(temp / "Editor" / "Second"));
    // The icon goes to the host as soon as it arrives and is deleted then,
    // so its folder, left empty, is gone too.
    EXPECT_FALSE(fs::exists(temp / "Editor" / "Third"));

    for (auto& update : t.cat.products[0].updates)
        update.selected = update.name == "Second";
    klc::CTransferSettings settings;
    settings.proxy_mode = klc::PROXY_DIRECT;
    klc::CUpdateInstaller installer(t.m.ctx, t.host);
    EXPECT_EQ(installer.LoadUpdates(t.cat, settings, klc::CRequestInfo{}), 0);
    EXPECT_EQ(installer.PageResult(), 0) << t.m.log();
    EXPECT_EQ(kltest::read_file(t.m.dir / "product" / "Second.txt"), "Second");
    EXPECT_FALSE(fs::exists(t.m.dir / "product" / "First.txt"));
    EXPECT_TRUE(Entries(temp).empty()) << t.m.log();
}

} // namespace
