// From a description built through the designer's operations to files
// installed by the client: Prepare fills the output folder, nginx serves it
// on loopback, and the client engine reads, downloads and installs.
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "KLDesigner/builder/file_version.h"
#include "client/engine/host.h"
#include "client/engine/install.h"
#include "client/engine/product.h"
#include "platform/com/dispatch.h"
#include "platform/com/loader.h"
#include "platform/config/registry.h"
#include "platform/sys/environment.h"
#include "platform/sys/files.h"
#include "support/designer_fixture.h"
#ifdef KLD_CONTROL_TREE
#include "KLDesigner/bridge/kld_file.h"
#endif
#include "support/servers.h"

using namespace kld;
using plat::ui::MsgAnswer;
namespace fs = std::filesystem;

namespace {

struct Source {
    std::string group; // folder below src
    std::string name;
    std::string bytes;
};

} // namespace

TEST(DesignerRoad, APreparedUpdateInstallsThroughTheClient) {
    if (!kltest::have_program("nginx")) GTEST_SKIP() << "nginx is not installed";
    kldtest::DesignerRig rig;
    const fs::path out = rig.dir / "out", src = rig.dir / "src",
                   product = rig.dir / "machine" / "pf" / "Road";
    kltest::NginxServer server(out.string());
    fs::create_directories(out);
    ASSERT_TRUE(server.start()) << server.log();

    std::string text;
    for (int i = 0; text.size() < 300 * 1024; ++i)
        text += "line " + std::to_string(i) + " of a long text file\n";
    const std::vector<Source> sources = {
        {"plain", "small.txt", "small file\n"},
        {"plain", "empty.dat", ""},
        {"plain", "big.bin", kltest::payload(200 * 1024, 7)}, // a stored archive in pieces
        {"packed", "long.txt", text},
        // Two archives of the update hold a file of one name, each for its
        // own destination.
        {"packed", "same.dat", "packed copy\n"},
        {"secret", "key.dat", kltest::payload(5000, 9)},
        {"secret", "same.dat", kltest::payload(3000, 4)},
        {"run", "setup.sh", "#!/bin/sh\ntouch \"$(dirname \"$0\")/ran.marker\"\n"},
    };
    for (const auto& s : sources)
        kltest::write_file(src / s.group / s.name, s.bytes);
    ::chmod((src / "run" / "setup.sh").c_str(), 0755);
    // The sample server library, installed and registered by the client.
    fs::create_directories(src / "modules");
    fs::copy_file(KLD_SELFREG_MODULE, src / "modules" / "answer.so");

    Designer& d = rig.d;
    d.InitGlobals((rig.dir / "program").string());
    d.NewDocument();
    d.Product.ProductName = "Road";
    d.Product.Manufacturer = "Vendor";
    d.Product.INFFileName = "road.inf";
    d.Product.WebLocation = "http://127.0.0.1:" + std::to_string(server.port());
    d.Product.OutputFolder = out.string();
    d.Product.ChunkSize = 64 * 1024;
    // The product's folder is named in the registry of the user's machine.
    d.Product.InstallPaths[0] = {2, "", "HKLM\\SOFTWARE\\Road", "Path", false};
    d.Product.InstallCriteria[0] = {2, "%PROGRAM FILES%\\Road\\road.exe", "", "", 0};

    // One group per kind of update file, its items added as the editor does.
    auto group = [&](int16_t kind, const std::string& folder, std::function<void(ActionRecord&)> setup) {
        ASSERT_TRUE(d.AddOperation(kind, true));
        ActionRecord& g = d.Actions[static_cast<size_t>(rig.tree.ItemLngValue(rig.tree.ListIndex()).value)];
        g.SourceFolder = (src / folder).string();
        setup(g);
        for (const auto& s : sources) {
            if (s.group != folder) continue;
            ASSERT_TRUE(d.AddOperation(kind, false));
            ActionRecord& r =
                d.Actions[static_cast<size_t>(rig.tree.ItemLngValue(rig.tree.ListIndex()).value)];
            r.SourcePath = s.name;
            GetFileAttributes((src / folder / s.name).string(), r.FileDate, r.FileSize, r.VersionHigh,
                              r.VersionLow, r.Build, r.FileType, r.FileReserved);
            rig.tree.SetListIndex(rig.tree.ItemParent(rig.tree.ListIndex()).value);
        }
    };
    group(action::InstallFile, "plain", [](ActionRecord& g) { g.Destinations[0].Path = "%PRODUCT%\\plain"; });
    group(action::InstallFile, "packed", [](ActionRecord& g) {
        g.Compress = true;
        g.Destinations[0].Path = "%PRODUCT%\\packed";
    });
    group(action::InstallFile, "secret", [](ActionRecord& g) {
        g.Encrypt = true;
        g.Destinations[0] = {2, "", "HKCU\\Software\\Road", "Keys", false};
    });
    group(action::ExecuteFile, "run", [](ActionRecord& g) { g.Destinations[0].Path = "%PRODUCT%\\bin"; });
    group(action::InstallFile, "modules", [](ActionRecord& g) {
        g.Register = true;
        g.Destinations[0].Path = "%PRODUCT%\\lib";
    });
    ASSERT_TRUE(d.AddOperation(action::InstallFile, false));
    ActionRecord& module = d.Actions[static_cast<size_t>(rig.tree.ItemLngValue(rig.tree.ListIndex()).value)];
    module.SourcePath = "answer.so";
    GetFileAttributes((src / "modules" / "answer.so").string(), module.FileDate, module.FileSize,
                      module.VersionHigh, module.VersionLow, module.Build, module.FileType,
                      module.FileReserved);
    EXPECT_EQ(module.FileType, 2);
    // Registry work has no place in the INF file.
    ASSERT_TRUE(d.AddOperation(action::CreateRegistry, true));
    d.Actions[14].RegKey = "HKCU\\Software\\Road";
    ASSERT_EQ(rig.tree.Shape(), "G0(I1,I2,I3) G4(I5,I6) G7(I8,I9) G10(I11) G12(I13) G14");

    Designer* preparing = &d;
#ifdef KLD_CONTROL_TREE
    // Over the real control the update is prepared from the description
    // saved to a file and opened again by another designer.
    auto buffer = rig.tree.Site().Create(kTreeListClassId);
    ASSERT_TRUE(buffer);
    CDescriptionFile file(rig.tree.Site(), buffer.get());
    CDescriptionBridge kld(rig.bridge, file);
    const std::string saved = (rig.dir / "road.KLD").string();
    kld.StoreDescriptionInTree(d);
    ASSERT_TRUE(kld.SaveTreeToFile(d, saved));
    Designer reopened(DesignerServices{rig.host, rig.prompt, rig.tree, kld});
    reopened.InitGlobals((rig.dir / "program").string());
    reopened.OpenDocument(saved);
    ASSERT_EQ(reopened.CurrentFileName, saved);
    ASSERT_EQ(reopened.ActionCount, 15);
    ASSERT_EQ(rig.tree.Shape(), "G0(I1,I2,I3) G4(I5,I6) G7(I8,I9) G10(I11) G12(I13) G14");
    preparing = &reopened;
#endif

    rig.ExpectMessage("", mb::YesNo | mb::Exclamation | mb::DefaultButton2,
                      MsgAnswer::Yes); // no registry criterion
    rig.ExpectMessage("", mb::YesNo | mb::Question | mb::DefaultButton2, MsgAnswer::Yes);
    rig.ExpectMessage("", mb::Information);
    preparing->PrepareUpdate();
    rig.prompt.verify_done();
    ASSERT_TRUE(fs::exists(out / "road.inf"));
    EXPECT_TRUE(fs::exists(out / "_0003.Z04")); // 200 KiB in 64 KiB pieces

    const klc::InfFile written = klc::InfFile::Load((out / "road.inf").string());
    EXPECT_EQ(written.GetString("File9", "FileName"), "answer.so");
    EXPECT_EQ(written.GetString("File9", "Action"), "1");
    EXPECT_FALSE(written.Get("File10", "FileName").has_value());

    // A user's machine with the product installed.
    kltest::write_file(product / "road.exe", "app");
    plat::registry().set_string(plat::Hive::LocalMachine, "SOFTWARE\\Road", "Path", product.string());
    // A destination named in the registry; installing keeps to the machine
    // and the product, so it lies in the machine.
    const fs::path keys = kltest::machine_root() / "keys";
    plat::registry().set_string(plat::Hive::CurrentUser, "Software\\Road", "Keys", keys.string());
    klc::CClientContext ctx;
    fs::create_directories(rig.dir / "machine" / "temp");
    ctx.product_folder = (rig.dir / "machine" / "cwd").string();
    ctx.temporary_folder = (rig.dir / "machine" / "temp").string();
    ctx.log_file = (rig.dir / "machine" / "client.log").string();
    ctx.log_level = 3;
    ctx.automatic_mode = 1;
    plat::set_environment("PROGRAM FILES", (rig.dir / "machine" / "pf").string());

    klc::CUrl base;
    base.SetScheme(klc::SCHEME_HTTP);
    base.Parse(preparing->Product.WebLocation + "/Products.INF");
    klc::CCatalogue cat;
    ASSERT_EQ(cat.ReadCatalogue(ctx, klc::InfFile::Load((out / "Products.INF").string()), base), 1);
    ASSERT_TRUE(cat.ReadProduct(ctx, 0, 0, klc::InfFile::Load((out / "road.inf").string())))
        << kltest::read_file(rig.dir / "machine" / "client.log");
    ASSERT_EQ(cat.products.size(), 1u);
    for (auto& u : cat.products[0].updates)
        u.selected = 1;
    // A file held open on the user's machine is replaced at the next start.
    kltest::write_file(product / "plain" / "small.txt", "old bytes");
    // Older than the update's copy, as the group's date comparison asks.
    plat::FileTime old;
    ASSERT_TRUE(plat::file_time_from_calendar({2001, 6, 22, 14, 5, 0, 0, 0}, true, old));
    ASSERT_EQ(plat::set_file_modified((product / "plain" / "small.txt").string(), old),
              plat::SysError::Success);
    auto held = std::make_unique<plat::FileLock>();
    ASSERT_EQ(held->lock((product / "plain" / "small.txt").string()), plat::SysError::Success);
    struct : klc::IClientHost {
        int32_t AskFileInUse(const std::string&) override { return klc::IN_USE_COPY_ON_RESTART; }
    } host;
    klc::CUpdateInstaller installer(ctx, host);
    EXPECT_EQ(installer.LoadUpdates(cat, klc::CTransferSettings{}, klc::CRequestInfo{}), 0);
    EXPECT_EQ(installer.PageResult(), 0) << kltest::read_file(rig.dir / "machine" / "client.log");
    EXPECT_EQ(kltest::read_file(product / "plain" / "small.txt"), "old bytes");
    held.reset();
    EXPECT_EQ(klc::RunOnceCommands(), 1);

    const std::map<std::string, fs::path> where = {{"plain", product / "plain"},
                                                   {"packed", product / "packed"},
                                                   {"secret", keys},
                                                   {"run", product / "bin"}};
    for (const auto& s : sources) {
        const fs::path installed = where.at(s.group) / s.name;
        EXPECT_EQ(kltest::read_file(installed), s.bytes) << installed;
        EXPECT_EQ(plat::file_modified(installed.string())->ticks / plat::kFileTimeTicksPerSecond,
                  plat::file_modified((src / s.group / s.name).string())->ticks /
                      plat::kFileTimeTicksPerSecond)
            << installed;
    }
    EXPECT_TRUE(fs::exists(product / "bin" / "ran.marker")) << "the script was not run";
    // The archives' unpack folders are gone with the download.
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(installer.DownloadFolder(), ec))
        EXPECT_FALSE(e.is_directory()) << e.path();
    const std::string log = kltest::read_file(rig.dir / "machine" / "client.log");
    for (const auto& s : sources) {
        EXPECT_NE(log.find("Processing update file " + s.name + " ..."), std::string::npos) << s.name;
    }
    EXPECT_NE(log.find("... Executed."), std::string::npos);
    EXPECT_NE(log.find("... Registered."), std::string::npos);
    plat::ComPtr<plat::IDispatch> object;
    EXPECT_EQ(plat::create_instance("KLTest.SelfReg.1", plat::IID_IDispatch, object.put_void()), plat::S_OK);
    EXPECT_EQ(log.find("rror"), std::string::npos) << log;
}
