// The product INF file and the catalogue lines, byte for byte, and as the
// client reads them.
#include <filesystem>
#include <gtest/gtest.h>

#include "KLDesigner/builder/vocabulary.h"
#include "client/engine/product.h"
#include "platform/sys/environment.h"
#include "support/designer_fixture.h"

using namespace kld;
namespace fs = std::filesystem;

namespace {

std::string Crlf(const std::string& lf) {
    std::string out;
    for (char c : lf) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

ProducedFileEntry Produced(const std::string& name, int32_t size) {
    ProducedFileEntry e;
    e.SourcePath = name;
    e.FileSize = size;
    return e;
}

struct InfRig : kldtest::DesignerRig {
    fs::path out = dir / "out";

    InfRig() {
        fs::create_directories(out);
        ProductSettings& p = d.Product;
        d.ClearProduct();
        p.ProductName = "Editor";
        p.Manufacturer = "Vendor";
        p.WebLocation = "http://127.0.0.1/updates";
        p.INFFileName = "editor.inf";
        p.WhatsNewFile = "C:\\docs\\news.txt";
        p.OutputFolder = out.string();
        p.InstallCriteria[0] = {1, "", "HKLM\\SOFTWARE\\Vendor", " ", 0};
        p.InstallPaths[0] = {2, "", "HKLM/SOFTWARE/Vendor", "Path", false};
        p.ResumeDownloading = true;

        const OleDate when = TextToDate("03/15/2021 13:45:30");
        d.Actions.assign(9, ActionRecord{});
        auto group = [&](int i, int16_t kind) {
            d.Actions[i].ActionType = kind;
            d.Actions[i].IsGroup = true;
        };
        auto item = [&](int i, int16_t kind, const char* name, int32_t size) -> ActionRecord& {
            ActionRecord& r = d.Actions[i];
            r.ActionType = kind;
            r.SourcePath = name;
            r.FileSize = size;
            r.FileDate = when;
            r.Destinations[0] = {1, "%PRODUCT%", "", "", false};
            return r;
        };
        group(0, action::InstallFile);
        ActionRecord& readme = item(1, action::InstallFile, "readme.txt", 5);
        readme.FileDate = 0;
        readme.VersionHigh = 2;
        readme.VersionLow = 1;
        readme.Build = 7;
        readme.Compare = 12;
        readme.CriteriaType = -1;
        readme.Destinations[0].Path = " %PRODUCT%\\doc ";
        readme.ProducedFiles = {Produced("_0001.KL_", 5)};
        ActionRecord& tool = item(2, action::InstallFile, "tool.dll", 150);
        tool.VersionHigh = 1;
        tool.Build = 4;
        tool.FileReserved = 3;
        tool.Register = true;
        tool.Compress = true;
        tool.CriteriaType = -1;
        tool.CriteriaRegKey = "HKLM\\SOFTWARE\\X";
        tool.Destinations[0] = {2, "", "HKLM\\SOFTWARE\\Vendor", "Path", false};
        tool.ProducedFiles = {Produced("_0002.ZIP", 100), Produced("_0002.Z02", 50), Produced(" ", 0)};
        ActionRecord& odd = item(3, action::InstallFile, "a,b.txt", 6);
        odd.Destinations[0].Path = "%PRODUCT%\\a,b";
        odd.AskClose = odd.UpdateOnRestart = odd.Encrypt = true;
        odd.ProducedFiles = {Produced("_0003.ZIP", 200)};
        group(4, action::ExecuteFile);
        ActionRecord& run = item(5, action::ExecuteFile, "run.sh", 20);
        run.LogToRegistryData = "ok";
        run.CriteriaType = 1;
        run.CriteriaRegKey = "HKCU\\Software\\App";
        run.CriteriaValueName = "Done";
        run.ProducedFiles = {Produced("_0004.KL_", 20)};
        ActionRecord& setup = item(6, action::ExecuteFile, "setup.sh", 30);
        setup.LogToRegistryData = "ok";
        setup.CriteriaType = -1;
        setup.CriteriaRegKey = "HKCU\\Software\\App";
        setup.ProducedFiles = {Produced("_0005.KL_", 30)};
        group(7, action::CreateRegistry);
        d.Actions[8].ActionType = action::CreateRegistry;
        d.ActionCount = 9;
        // A stray item whose value names no record is passed over.
        tree.Build("G0(I1,I2,I3) G4(I5,I6,I99) G7(I8)");
    }
};

const char* kProductInf = R"([Common]
INFVersion=3
Name=Editor
Manufacturer=Vendor
Path=http://127.0.0.1/updates
WhatsNew=news.txt
CriteriaType=1
RegistryCriteria=HKLM\SOFTWARE\Vendor\(Default)
PathType=2
RegistryPath=HKLM\SOFTWARE\Vendor\Path
ResumeDownloading=1
ProductInstalled=5,HKLM\SOFTWARE\Vendor\(Default)

[File1]
FileName=readme.txt
Date=12/30/1899 00:00:00
Size=5
Version=2.1
Build=7
Action=0
Compare=12
DestinationType=1
DestinationPath=%PRODUCT%\doc
SourceFile1=_0001.KL_
SourceSize1=5

[File2]
FileName=tool.dll
Date=03/15/2021 13:45:30
Size=150
Version=1.0
Build=4.3
Action=1
CriteriaType=-1
CriteriaRegistryKey=HKLM\SOFTWARE\X\(Default)
DestinationType=2
DestinationRegistryKey=HKLM\SOFTWARE\Vendor\Path
DestinationPath=1,HKLM\SOFTWARE\Vendor\Path
Compress=1
SourceFile1=_0002.ZIP
SourceSize1=100
SourceFile2=_0002.Z02
SourceSize2=50

[File3]
FileName=a,b.txt
Date=03/15/2021 13:45:30
Size=6
Version=0.0
Build=0
Action=0
CriteriaType=0
DestinationType=1
DestinationPath=0,%PRODUCT%\a,b
CloseFileRequest=1
UpdateOnRestart=1
Compress=1
Encrypt=1
SourceFile1=_0003.ZIP
SourceSize1=200

[File4]
FileName=run.sh
Date=03/15/2021 13:45:30
Size=20
Version=0.0
Build=0
Action=2
CriteriaType=1
CriteriaRegistryKey=HKCU\Software\App\Done
DestinationType=1
DestinationPath=%PRODUCT%
SourceFile1=_0004.KL_
SourceSize1=20

[File5]
FileName=setup.sh
Date=03/15/2021 13:45:30
Size=30
Version=0.0
Build=0
Action=2
RegEntryOnExec=1
CriteriaRegistryKey=HKCU\Software\App\(Default)
CriteriaType=-1
DestinationType=1
DestinationPath=%PRODUCT%
SourceFile1=_0005.KL_
SourceSize1=30
)";

const char* kCatalogue = R"([Common]
INFVersion=3
Server=http://127.0.0.1/updates
CompanyName=Vendor

[Product1]
Name=Editor
File=http://127.0.0.1/updates/editor.inf
)";

} // namespace

TEST(DesignerInf, ProductInfAndCatalogueAreWrittenByteForByte) {
    InfRig rig;
    kltest::write_file(rig.out / "editor.inf", "stale");
    ASSERT_TRUE(rig.d.WriteProductINF());
    ASSERT_TRUE(rig.d.WriteProductsINF());
    EXPECT_EQ(kltest::read_file(rig.out / "editor.inf"), Crlf(kProductInf));
    EXPECT_EQ(kltest::read_file(rig.out / "Products.INF"), Crlf(kCatalogue));
    // The log entry was left out of the file only.
    EXPECT_EQ(rig.d.Actions[5].LogToRegistryData, "ok");
    EXPECT_FALSE(rig.d.DocumentModified);
}

TEST(DesignerInf, TheClientReadsWhatTheDesignerWrote) {
    InfRig rig;
    ASSERT_TRUE(rig.d.WriteProductINF());
    ASSERT_TRUE(rig.d.WriteProductsINF());
    klc::CClientContext ctx;
    ctx.product_folder = (rig.dir / "product").string();
    plat::set_environment("PRODUCT", ctx.product_folder);

    klc::CUrl base;
    base.SetScheme(klc::SCHEME_HTTP);
    base.Parse("http://127.0.0.1/updates/PRODUCTS.INF");
    klc::CCatalogue cat;
    ASSERT_EQ(cat.ReadCatalogue(ctx, klc::InfFile::Load((rig.out / "Products.INF").string()), base), 1);
    ASSERT_EQ(cat.links[0].name, "Editor");
    ASSERT_EQ(cat.links[0].inf_files.size(), 1u);
    EXPECT_NE(cat.links[0].inf_files[0].find("updates/editor.inf"), std::string::npos);

    const klc::InfFile inf = klc::InfFile::Load((rig.out / "editor.inf").string());
    EXPECT_TRUE(inf.Get("Common", "ProductInstalled").has_value());
    klc::CUpdate u;
    u.product_path = ctx.product_folder;
    ASSERT_EQ(u.ReadFiles(ctx, inf, base), 5);
    EXPECT_EQ(u.files[0].file_name, "readme.txt");
    EXPECT_FALSE(u.files[0].date.has_value());
    EXPECT_EQ(u.files[0].version, klc::ParseVersion("2.1.7.0"));
    EXPECT_EQ(u.files[0].destination, ctx.product_folder + "\\doc");
    EXPECT_EQ(u.files[0].pieces, std::vector<std::string>{"_0001.KL_"});
    EXPECT_FALSE(u.files[0].NeedsUnpack());
    EXPECT_EQ(u.files[1].version, klc::ParseVersion("1.0.4.3"));
    EXPECT_EQ(u.files[1].action, klc::ACTION_COPY_REGISTER);
    EXPECT_EQ(u.files[1].pieces, (std::vector<std::string>{"_0002.ZIP", "_0002.Z02"}));
    EXPECT_EQ(u.files[1].piece_sizes, (std::vector<int32_t>{100, 50}));
    EXPECT_EQ(u.files[1].compress, 1);
    EXPECT_EQ(u.files[2].destination, ctx.product_folder + "\\a,b");
    EXPECT_EQ(u.files[2].compress, 1);
    EXPECT_TRUE(u.files[2].date.has_value());
    EXPECT_EQ(u.files[3].action, klc::ACTION_COPY_RUN_WAIT);
}

TEST(DesignerInf, EdgeCasesOfCommonKeys) {
    InfRig rig;
    rig.d.ActionCount = 0; // no items: [Common] alone
    rig.d.Product.InstallPaths[0] = {0, "", "", "", false};
    rig.d.Product.InstallCriteria[0] = {2, "%PROGRAM FILES%\\App\\app.exe", "", "", 0};
    rig.d.Product.Manufacturer = std::string(300, 'm');
    ASSERT_TRUE(rig.d.WriteProductINF());
    const klc::InfFile inf = klc::InfFile::Load((rig.out / "editor.inf").string());
    EXPECT_EQ(inf.GetString("Common", "PathType"), "0");
    EXPECT_FALSE(inf.Get("Common", "DiskPath") || inf.Get("Common", "RegistryPath") ||
                 inf.Get("Common", "ProductPath"));
    EXPECT_EQ(inf.GetString("Common", "RegistryCriteria"), "");
    EXPECT_EQ(inf.GetString("Common", "ProductInstalled"), "1,%PROGRAM FILES%\\App\\app.exe");
    EXPECT_EQ(inf.GetString("Common", "Manufacturer"), std::string(255, 'm'));
    EXPECT_FALSE(inf.Get("File1", "FileName"));

    // A product that installs where it is absent asks nothing; a folder path
    // names the product's folder.
    rig.d.Product.InstallNew = true;
    rig.d.Product.InstallPaths[0] = {1, " %PROGRAM FILES%\\App ", "", "", false};
    ASSERT_TRUE(rig.d.WriteProductINF());
    const klc::InfFile again = klc::InfFile::Load((rig.out / "editor.inf").string());
    EXPECT_FALSE(again.Get("Common", "ProductInstalled"));
    EXPECT_EQ(again.GetString("Common", "DiskPath"), "%PROGRAM FILES%\\App");
    EXPECT_EQ(again.GetString("Common", "ProductPath"), "0,%PROGRAM FILES%\\App");
}

TEST(DesignerInf, AFileThatCannotBeReplacedStopsTheWriter) {
    InfRig rig;
    fs::create_directories(rig.out / "editor.inf" / "inside");
    fs::create_directories(rig.out / "Products.INF" / "inside");
    rig.ExpectMessage("Cannot delete existing INF file", mb::Exclamation);
    EXPECT_FALSE(rig.d.WriteProductINF());
    rig.ExpectMessage("Cannot delete existing 'Products.INF' file", mb::Exclamation);
    EXPECT_FALSE(rig.d.WriteProductsINF());
    rig.prompt.verify_done();

    InfRig bad;
    bad.d.Product.ProductName = "two\nlines";
    bad.ExpectMessage("Cannot write key 'Common/Name' of INF file '" + (bad.out / "editor.inf").string() +
                          "'",
                      mb::Exclamation);
    EXPECT_FALSE(bad.d.WriteProductINF());
    EXPECT_FALSE(fs::exists(bad.out / "editor.inf"));
}
