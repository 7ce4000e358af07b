// A hostile server on loopback names paths outside the update's folders, asks
// for programs and modules to run from there and for start-up commands in the
// registry. Nothing outside may change, and the run must say it failed.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "client/engine/catalogue_load.h"
#include "client/engine/errors.h"
#include "client/engine/install.h"
#include "engine_fixture.h"
#include "engine_publish.h"
#include "platform/config/machine.h"
#include "platform/config/registry.h"
#include "platform/sys/environment.h"
#include "platform/sys/paths.h"
#include "support/servers.h"

namespace {

namespace fs = std::filesystem;
using engine_test::Machine;
using engine_test::Publication;
using engine_test::PublishedFile;
using engine_test::Snapshot;

// The emulated machine without its registry store, whose file a reader may
// touch.
std::map<std::string, std::string> MachineSnapshot() {
    auto out = Snapshot(kltest::machine_root());
    std::erase_if(out, [](const auto& kv) { return kv.first.starts_with("registry.db"); });
    return out;
}

// A fresh machine, a web server, and a folder of the user's own files beside
// them that no update may reach.
struct Hostile {
    kltest::TempDir server_root;
    std::unique_ptr<kltest::NginxServer> nginx;
    Machine m;
    klc::IClientHost host;
    klc::CCatalogue cat;
    fs::path own;

    Hostile() : own(m.dir / "own") {
        kltest::write_file(own / "victim.txt", "the user's own words");
        kltest::write_file(own / "notes" / "diary.txt", "private");
        // The machine's folders where the client puts them, and a home
        // variable naming the user's folder.
        fs::path root = plat::machine_root(); // made and seeded before the first snapshot
        plat::set_environment("WINDIR", (root / "Windows").string());
        plat::set_environment("SYSTEM", (root / "Windows" / "System32").string());
        plat::set_environment("TEMP", (root / "Windows" / "Temp").string());
        plat::set_environment("HOME", own.string());
    }
    bool Start() {
        if (!kltest::have_program("nginx")) return false;
        nginx = std::make_unique<kltest::NginxServer>(server_root.str());
        return nginx->start();
    }
    std::string Own() const { return own.string(); }

    // Publishes, loads the catalogue over HTTP and installs what applies.
    klc::CUpdateInstaller& Run(Publication pub) {
        pub.web_location = nginx->url("/updates");
        engine_test::Publish((server_root.path() / "updates").string(), pub);
        m.ctx.current_server.url = pub.web_location + "/Products.INF";
        klc::CTransferSettings settings;
        settings.proxy_mode = klc::PROXY_DIRECT;
        EXPECT_EQ(klc::LoadCatalogue(m.ctx, host, cat, settings, klc::CRequestInfo{}), 0) << m.log();
        for (auto& p : cat.products)
            for (auto& u : p.updates)
                u.selected = 1;
        installer = std::make_unique<klc::CUpdateInstaller>(m.ctx, host);
        installer->LoadUpdates(cat, settings, klc::CRequestInfo{});
        return *installer;
    }
    std::unique_ptr<klc::CUpdateInstaller> installer;
};

// "..\" often enough to climb to the root from any folder of the test.
std::string Climb() {
    std::string up;
    for (int i = 0; i < 24; ++i)
        up += "..\\";
    return up;
}

struct Destination {
    const char* name;
    std::string (*destination)(const Hostile&);
    // ProductPath of the INF, when the case needs one.
    std::string (*product_path)(const Hostile&) = nullptr;
    // Prepares the machine (links planted by someone else).
    void (*prepare)(const Hostile&) = nullptr;
};

const Destination kDestinations[] = {
    {"Absolute", [](const Hostile& h) { return h.Own(); }},
    {"AbsoluteBackslashes", [](const Hostile& h) { return plat::windows_path(h.Own()); }},
    {"DriveClimbingOutOfTheMachine",
     [](const Hostile& h) { return "C:\\" + Climb() + plat::windows_path(h.Own()).substr(1); }},
    {"ProgramFilesClimbing", [](const Hostile&) { return std::string("%PROGRAM FILES%\\..\\own"); }},
    {"ProductClimbing", [](const Hostile&) { return std::string("%PRODUCT%\\..\\own"); }},
    {"WindowsClimbing",
     [](const Hostile& h) { return "%WINDIR%\\" + Climb() + plat::windows_path(h.Own()).substr(1); }},
    {"SystemClimbing",
     [](const Hostile& h) { return "%SYSTEM%\\" + Climb() + plat::windows_path(h.Own()).substr(1); }},
    {"TempClimbing",
     [](const Hostile& h) { return "%TEMP%\\" + Climb() + plat::windows_path(h.Own()).substr(1); }},
    {"HomeVariable", [](const Hostile&) { return std::string("%HOME%"); }},
    {"ProductPathOutside", [](const Hostile&) { return std::string("%PRODUCT%"); },
     [](const Hostile& h) { return "0," + h.Own(); }},
    {"LinkOutOfTheProduct", [](const Hostile&) { return std::string("%PRODUCT%\\link"); }, nullptr,
     [](const Hostile& h) { fs::create_directory_symlink(h.own, h.m.dir / "product" / "link"); }},
    {"FileIsALinkOutside", [](const Hostile&) { return std::string("%PRODUCT%"); }, nullptr,
     [](const Hostile& h) { fs::create_symlink(h.own / "victim.txt", h.m.dir / "product" / "victim.txt"); }},
};

struct Action {
    int32_t action;
    int32_t refused_with;
};

const Action kActions[] = {
    {klc::ACTION_COPY, klc::ERR_COPY},
    {klc::ACTION_COPY_REGISTER, klc::ERR_REGISTER},
    {klc::ACTION_COPY_RUN_WAIT, klc::ERR_EXECUTE},
    {klc::ACTION_REMOVE, klc::ERR_DELETE},
    {klc::ACTION_RENAME, klc::ERR_RENAME},
};

void PrintTo(const Destination& d, std::ostream* os) {
    *os << d.name;
}
void PrintTo(const Action& a, std::ostream* os) {
    *os << "action " << a.action;
}

class EngineConfine : public testing::TestWithParam<std::tuple<Destination, Action>> {};

TEST_P(EngineConfine, PathsOutsideAreRefusedAndTheUpdateRolledBack) {
    const auto& [where, what] = GetParam();
    Hostile h;
    if (!h.Start()) GTEST_SKIP() << "nginx is not available";
    if (where.prepare) where.prepare(h);

    Publication pub;
    PublishedFile fine{"fine.txt", "installed, then rolled back"};
    fine.destination = "%PROGRAM FILES%\\Editor";
    // Were it run, it would leave its mark among the user's files.
    PublishedFile bad{"victim.txt", "#!/bin/sh\necho ran > '" + h.Own() + "/ran.txt'\n"};
    bad.action = what.action;
    bad.destination = where.destination(h);
    if (what.action == klc::ACTION_RENAME) {
        bad.name = "moved.txt";
        bad.rename_from = "victim.txt";
    }
    pub.files = {fine, bad};
    if (where.product_path) pub.common_extra = {{"ProductPath", where.product_path(h)}};

    auto own_before = Snapshot(h.own);
    auto product_before = Snapshot(h.m.dir / "product");
    auto machine_before = MachineSnapshot();
    auto& installer = h.Run(pub);

    EXPECT_EQ(installer.PageResult(), what.refused_with) << h.m.log();
    EXPECT_EQ(Snapshot(h.own), own_before);
    EXPECT_EQ(Snapshot(h.m.dir / "product"), product_before);
    EXPECT_EQ(MachineSnapshot(), machine_before);
    EXPECT_FALSE(fs::exists(h.m.dir / "pf" / "Editor" / "fine.txt")) << "not rolled back";
    EXPECT_NE(h.m.log().find(": refused."), std::string::npos) << h.m.log();
    EXPECT_EQ(h.m.ctx.ResultLine(),
              "Error " + std::to_string(what.refused_with) + " was occured during update.");
}

INSTANTIATE_TEST_SUITE_P(Hostile, EngineConfine,
                         testing::Combine(testing::ValuesIn(kDestinations), testing::ValuesIn(kActions)),
                         [](const testing::TestParamInfo<EngineConfine::ParamType>& info) {
                             return std::string(std::get<0>(info.param).name) + "Action" +
                                    std::to_string(std::get<1>(info.param).action);
                         });

TEST(EngineConfinePaths, DrivesLandInTheEmulatedMachine) {
    Hostile h;
    if (!h.Start()) GTEST_SKIP() << "nginx is not available";
    Publication pub;
    PublishedFile f{"tool.txt", "inside"};
    f.destination = "C:\\Apps\\Editor\\..\\Tool";
    pub.files = {f};
    auto& installer = h.Run(pub);
    EXPECT_EQ(installer.PageResult(), 0) << h.m.log();
    EXPECT_EQ(kltest::read_file(kltest::machine_root() / "Apps" / "Tool" / "tool.txt"), "inside");
    EXPECT_EQ(h.m.ctx.ResultLine(), "Application was finished successfully.");
}

TEST(EngineConfinePaths, ProductFoldersFoundThroughTheRegistry) {
    struct Case {
        const char* product_path; // the INF's ProductPath
        const char* folder;       // the registry value, below the test folder
        bool installed;
    } cases[] = {
        // A product this machine knows may lie anywhere but the home folder.
        {"1,HKLM/SOFTWARE/Vendor/Editor/Folder", "installed", true},
        {"1,HKCU/Software/Vendor/Editor/Folder", "own", false},
        {"1,HKCU/Software/Vendor/Editor/Folder", "", false}, // the folder above home
        // The client's own path key names no product.
        {"2,HKLM/SOFTWARE/Marovia/Kestrelite/KLClientPath", "installed/KLClient", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.product_path) + " = " + c.folder);
        Hostile h;
        if (!h.Start()) GTEST_SKIP() << "nginx is not available";
        fs::create_directories(h.m.dir / "installed");
        std::string folder = (h.m.dir / c.folder).string();
        if (folder.back() == '/') folder.pop_back();
        ASSERT_TRUE(klc::CClientContext::WriteRegistryText(std::string(c.product_path).substr(2), folder));
        Publication pub;
        pub.files = {PublishedFile{"a.txt", "a"}};
        pub.common_extra = {{"ProductPath", c.product_path}};
        auto& installer = h.Run(pub);
        // Type 2 names a file: its folder is the product's.
        std::string target = (c.product_path[0] == '2' ? plat::parent_path(folder) : folder) + "/a.txt";
        EXPECT_EQ(fs::exists(target), c.installed) << h.m.log();
        EXPECT_EQ(installer.PageResult() == 0, c.installed);
    }
}

TEST(EngineConfinePaths, TheRegistryStoreAndTheRestartBatchStayOutOfReach) {
    for (const char* name : {"registry.db", "KlClient.bat"}) {
        SCOPED_TRACE(name);
        Hostile h;
        if (!h.Start()) GTEST_SKIP() << "nginx is not available";
        h.m.ctx.temporary_folder = "%TEMP%"; // the machine's own, as the client has it
        Publication pub;
        PublishedFile f{name, "#!/bin/sh\necho planted\n"};
        f.destination = std::string(name) == "registry.db" ? "C:\\" : "%TEMP%";
        pub.files = {f};
        auto snapshot = [] {
            auto out = MachineSnapshot();
            // A failed update's downloads stay for the user to look at.
            // This run's own folder lives as long as the run.
            std::erase_if(out, [](const auto& kv) {
                return kv.first.starts_with("Windows/Temp/Editor") || kv.first.starts_with("Windows/Temp/KLClient.");
            });
            return out;
        };
        auto machine_before = snapshot();
        auto& installer = h.Run(pub);
        EXPECT_EQ(installer.PageResult(), klc::ERR_COPY) << h.m.log();
        EXPECT_EQ(snapshot(), machine_before);
        EXPECT_NE(kltest::read_file(kltest::machine_root() / "registry.db"), "#!/bin/sh\necho planted\n");
        EXPECT_NE(klc::CClientContext::ReadRegistryText(
                      "HKLM/SOFTWARE/Microsoft/Windows/CurrentVersion/ProgramFilesDir"),
                  "");
    }
}

TEST(EngineConfinePaths, ResolvingPathTexts) {
    std::string root = kltest::machine_root().string();
    struct Case {
        const char* text;
        std::string resolved;
    } cases[] = {
        {"C:\\Program Files\\App", root + "/Program Files/App"},
        {"d:x\\y", root + "/x/y"},
        {"/a/./b/../c//d/", "/a/c/d"},
        {"\\a\\..\\..\\b", "/b"},
        {"sub\\..\\file", "/base/file"},
        {"", "/base"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(klc::ResolveInstallPath(c.text, "/base"), c.resolved) << c.text;
}

TEST(EngineConfinePaths, LinksAreFollowedToWhereTheyLead) {
    kltest::TempDir dir;
    fs::create_directories(dir / "inside");
    fs::create_directories(dir / "outside");
    fs::create_directory_symlink(dir / "outside", dir / "inside" / "out");
    fs::create_symlink("../outside/gone", dir / "inside" / "dangling");
    fs::create_symlink("loop", dir / "inside" / "loop");
    fs::create_directory_symlink(dir / "inside", dir / "alias");
    klc::InstallScope scope;
    scope.AddRoot((dir / "alias").string()); // a folder reached through a link is where it lies
    EXPECT_EQ(scope.Refusal((dir / "alias" / "x").string()), "");
    EXPECT_EQ(scope.Refusal((dir / "inside" / "a" / "b").string()), "");
    EXPECT_NE(scope.Refusal((dir / "inside" / "out" / "x").string()), "");
    EXPECT_NE(scope.Refusal((dir / "inside" / "dangling").string()), "");
    EXPECT_NE(scope.Refusal((dir / "inside" / "loop" / "x").string()), "");
    EXPECT_NE(scope.Refusal((dir / "insidex").string()), "") << "a sibling sharing the name's start";
    EXPECT_NE(klc::InstallScope{}.Refusal((dir / "inside").string()), "") << "no folder: nothing may change";
}

} // namespace

namespace {

TEST(EngineConfineRegistry, OnSuccessNeverWritesStartUpOrClientKeys) {
    Machine m;
    klc::IClientHost host;
    klc::CUpdateInstaller installer(m.ctx, host);
    for (const char* path : {
             "HKLM/SOFTWARE/Microsoft/Windows/CurrentVersion/RunOnce/Planted",
             "hkcu\\software\\microsoft\\windows\\currentversion\\run\\Planted",
             "HKEY_USERS/S-1/Software/Microsoft/Windows/CurrentVersion/RunServicesOnce/Planted",
             "HKLM//SOFTWARE/Wow6432Node/Microsoft/Windows/CurrentVersion/RunOnceEx/Planted",
             "HKCU/Software/Microsoft/Windows/CurrentVersion/Policies/Explorer/Run/Planted",
             "HKCU/Software/Marovia/Kestrelite/KLClient/General/TempFolder",
             "HKLM/SOFTWARE/Marovia/Kestrelite/KLClientPath",
             "HKLM/SOFTWARE/Microsoft/Windows/CurrentVersion/ProgramFilesDir",
         }) {
        EXPECT_EQ(installer.ApplyOnSuccess(std::string(path) + ",/bin/sh -c planted"), klc::ERR_ON_SUCCESS)
            << path;
        EXPECT_NE(klc::CClientContext::ReadRegistryText(path), "/bin/sh -c planted") << path;
    }
    for (const char* path : {
             "HKCU/Software/Vendor/Editor/Installed",
             "HKLM/SOFTWARE/Microsoft/Windows/CurrentVersion/Uninstall/Running Man/DisplayName",
         }) {
        EXPECT_EQ(installer.ApplyOnSuccess(std::string(path) + ",yes"), 0) << path;
        EXPECT_EQ(klc::CClientContext::ReadRegistryText(path), "yes") << path;
    }
}

TEST(EngineConfineRegistry, AServerCannotPlantAStartUpCommand) {
    Hostile h;
    if (!h.Start()) GTEST_SKIP() << "nginx is not available";
    std::string marker = h.Own() + "/started.txt";
    Publication pub;
    pub.files = {PublishedFile{"a.txt", "a"}};
    // The update is refused whole: not even its harmless file is installed.
    pub.common_extra = {{"OnSuccess", "HKLM/SOFTWARE/Microsoft/Windows/CurrentVersion/RunOnce/KLClientReboot,"
                                      "/bin/sh -c \"echo > '" +
                                          marker + "'\""}};
    auto& installer = h.Run(pub);
    EXPECT_EQ(installer.PageResult(), klc::ERR_ON_SUCCESS) << h.m.log();
    EXPECT_FALSE(fs::exists(h.m.dir / "product" / "a.txt"));
    EXPECT_EQ(klc::CClientContext::ReadRegistryText(klc::kRunOncePath), "");
    EXPECT_NE(h.m.log().find("RunOnce/KLClientReboot starts programs or steers the client: refused."),
              std::string::npos)
        << h.m.log();
    EXPECT_EQ(h.m.ctx.ResultLine(), "Error -20 was occured during update.");
    EXPECT_EQ(klc::RunOnceCommands(), 0);
    EXPECT_FALSE(fs::exists(marker));
}

TEST(EngineConfineRegistry, TheRestartRunnerStartsOnlyTheClientsOwnBatch) {
    Machine m;
    kltest::TempDir own;
    std::string marker = (own / "started.txt").string();
    std::string script = "#!/bin/sh\necho planted > '" + marker + "'\n";
    kltest::write_file(own / "evil.sh", script);
    // A batch of the client's name holding a foreign line, in the client's
    // own temporary folder.
    kltest::write_file(m.dir / "temp" / "KlClient.bat", script);
    auto set = [](plat::Hive hive, const char* name, const std::string& command) {
        ASSERT_EQ(plat::registry().set_string(hive, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
                                              name, command),
                  plat::SysError::Success);
    };
    for (const std::string& client_value : {
             "/bin/sh \"" + (own / "evil.sh").string() + "\"",
             "/bin/sh \"" + m.path("temp/KlClient.bat") + "\"",
             "/bin/sh -c \"sh '" + (own / "evil.sh").string() + "'\"",
         }) {
        SCOPED_TRACE(client_value);
        set(plat::Hive::LocalMachine, "KLClientReboot", client_value);
        set(plat::Hive::LocalMachine, "Planted", "/bin/sh \"" + (own / "evil.sh").string() + "\"");
        set(plat::Hive::CurrentUser, "Planted", "/bin/sh \"" + (own / "evil.sh").string() + "\"");
        EXPECT_EQ(klc::RunOnceCommands(), 0);
        EXPECT_FALSE(fs::exists(marker));
        EXPECT_EQ(klc::CClientContext::ReadRegistryText(klc::kRunOncePath), "") << "consumed all the same";
        // Values that are not the client's stay for whoever put them there.
        EXPECT_NE(klc::CClientContext::ReadRegistryText(
                      "HKCU/Software/Microsoft/Windows/CurrentVersion/RunOnce/Planted"),
                  "");
    }
}

} // namespace
