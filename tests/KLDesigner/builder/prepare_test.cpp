// Prepare with its checks: every stop, what it says, where it puts the
// focus and what it leaves on disk; a whole build through to the INF files.
#include <filesystem>
#include <gtest/gtest.h>

#include "KLDesigner/builder/file_version.h"
#include "platform/config/machine.h"
#include "support/designer_fixture.h"

using namespace kld;
using plat::ui::MsgAnswer;
namespace fs = std::filesystem;

namespace {

const char* kConfirm = "You are about to create update stuff and INF file in the '";

std::string Incorrect(const std::string& field) {
    return "You specified an incorrect " + field + ".\nPlease, correct information and try again.";
}
std::string M(const std::string& x) {
    return x + ".\nPlease, correct information and try again.";
}

struct PrepareRig : kldtest::DesignerRig {
    fs::path out = dir / "out";
    fs::path src = dir / "src";

    PrepareRig() {
        kltest::write_file(src / "a.txt", std::string(3000, 'a'));
        kltest::write_file(src / "b.bin", std::string(5000, 'b'));
        ProductSettings& p = d.Product;
        d.ClearProduct();
        p.ProductName = "Editor";
        p.Manufacturer = "Vendor";
        p.INFFileName = "editor.inf";
        p.WebLocation = "http://127.0.0.1/updates";
        p.OutputFolder = out.string();
        p.InstallCriteria[0].RegKey = "HKLM\\SOFTWARE\\Vendor";
        p.InstallPaths[0] = {1, "%PROGRAM FILES%\\App", "", "", false};
        d.Actions.assign(3, ActionRecord{});
        d.Actions[0].ActionType = action::InstallFile;
        d.Actions[0].IsGroup = true;
        d.Actions[0].SourceFolder = src.string();
        for (int i : {1, 2}) {
            ActionRecord& r = d.Actions[static_cast<size_t>(i)];
            r.ActionType = action::InstallFile;
            r.SourcePath = i == 1 ? "a.txt" : "b.bin";
            r.Destinations[0] = {1, "%PRODUCT%", "", "", false};
            Record(i);
        }
        d.Actions[2].Compress = true;
        d.ActionCount = 3;
        tree.Build("G0(I1,I2)");
        tree.SetListIndex(1);
    }
    // The record's file attributes as they are on disk, so nothing is asked.
    void Record(int i) {
        ActionRecord& r = d.Actions[static_cast<size_t>(i)];
        GetFileAttributes((src / r.SourcePath).string(), r.FileDate, r.FileSize, r.VersionHigh, r.VersionLow,
                          r.Build, r.FileType, r.FileReserved);
    }
    void ExpectConfirm(MsgAnswer a = MsgAnswer::Yes) {
        ExpectMessage(std::string(kConfirm) + d.Product.OutputFolder +
                          "' folder.\nThis operation can take some seconds.\nDo you want to proceed ?",
                      mb::YesNo | mb::Question | mb::DefaultButton2, a);
    }
    void ExpectReport() {
        kltest::ExpectedPrompt e;
        e.match = "";
        e.check = [](const plat::ui::MessageRequest& r) {
            EXPECT_EQ(r.text.rfind("Product INF file was created successfully.\n", 0), 0u) << r.text;
            EXPECT_EQ(r.icon, plat::ui::MsgIcon::Information);
        };
        prompt.expect(std::move(e));
    }
    std::vector<std::string> OutNames() const {
        std::vector<std::string> n;
        if (!fs::exists(out)) return n;
        for (const auto& e : fs::directory_iterator(out))
            n.push_back(e.path().filename().string());
        std::sort(n.begin(), n.end());
        return n;
    }
};

using Names = std::vector<std::string>;

} // namespace

TEST(DesignerPrepare, ProductChecksShowTheirTabAndField) {
    struct {
        const char* name;
        std::function<void(PrepareRig&)> change;
        int16_t tab;
        const char* control;
        std::string field;
    } cases[] = {
        {"no product name", [](PrepareRig& r) { r.d.Product.ProductName = ""; }, 0, "txtProductName",
         "product name (empty value)"},
        {"product name with a slash", [](PrepareRig& r) { r.d.Product.ProductName = "A/B"; }, 0,
         "txtProductName", "product name (not usable as a folder name)"},
        {"no manufacturer", [](PrepareRig& r) { r.d.Product.Manufacturer = ""; }, 0, "txtManufacturer",
         "manufacturer name (empty value)"},
        {"long manufacturer", [](PrepareRig& r) { r.d.Product.Manufacturer = std::string(256, 'm'); }, 0,
         "txtManufacturer", "manufacturer name (value is longer than 255 characters)"},
        {"blanks around a file",
         [](PrepareRig& r) { r.d.Product.WhatsNewFile = " " + (r.src / "a.txt").string(); }, 0,
         "txtWhatsNewFile", "What's New file name (file not found)"},
        {"icon is a folder", [](PrepareRig& r) { r.d.Product.IconFile = r.src.string(); }, 0, "txtIconFile",
         "icon file name (a folder, not a file)"},
        {"two product files of one name",
         [](PrepareRig& r) {
             kltest::write_file(r.dir / "x" / "a.txt", "x");
             r.d.Product.WhatsNewFile = (r.src / "a.txt").string();
             r.d.Product.IconFile = (r.dir / "x" / "a.txt").string();
         },
         0, "txtIconFile", "icon file name (same name as another product file)"},
        {"What's New named as the catalogue",
         [](PrepareRig& r) {
             kltest::write_file(r.dir / "x" / "Products.INF", "x");
             r.d.Product.WhatsNewFile = (r.dir / "x" / "Products.INF").string();
         },
         0, "txtWhatsNewFile", "What's New file name (the name of the catalogue file)"},
        {"advertisement named as an update file",
         [](PrepareRig& r) {
             kltest::write_file(r.dir / "x" / "_0001.kl_", "x");
             r.d.Product.AdvertisementFile = (r.dir / "x" / "_0001.kl_").string();
         },
         0, "txtAdvertismentFile", "advertisment file name (the name of an update file)"},
        {"icon named as a piece",
         [](PrepareRig& r) {
             kltest::write_file(r.dir / "x" / "_0002.Z03", "x");
             r.d.Product.IconFile = (r.dir / "x" / "_0002.Z03").string();
         },
         0, "txtIconFile", "icon file name (the name of an update file)"},
        {"blank INF name", [](PrepareRig& r) { r.d.Product.INFFileName = "  "; }, 1, "txtINFFile",
         "INF file name (empty value)"},
        {"INF name with a folder", [](PrepareRig& r) { r.d.Product.INFFileName = "sub/p.inf"; }, 1,
         "txtINFFile", "INF file name (not a plain file name)"},
        {"INF name of the catalogue", [](PrepareRig& r) { r.d.Product.INFFileName = "products.inf"; }, 1,
         "txtINFFile", "INF file name (the name of the catalogue file)"},
        {"INF name of an update file", [](PrepareRig& r) { r.d.Product.INFFileName = "_0001.inf"; }, 1,
         "txtINFFile", "INF file name (the name of an update file)"},
        {"INF name of a product file",
         [](PrepareRig& r) {
             r.d.Product.IconFile = (r.src / "a.txt").string();
             r.d.Product.INFFileName = "A.TXT";
         },
         1, "txtINFFile", "INF file name (same name as a product file)"},
        {"no web location", [](PrepareRig& r) { r.d.Product.WebLocation = " "; }, 1, "txtInternetPath",
         "Web location (empty value)"},
        {"web location of another scheme", [](PrepareRig& r) { r.d.Product.WebLocation = "https://x/"; }, 1,
         "txtInternetPath", "Web location (not an http, ftp or file address)"},
        {"unknown hive", [](PrepareRig& r) { r.d.Product.InstallCriteria[0].RegKey = "HKXX\\Soft"; }, 2,
         "cboInstallCriteriaRegKey", "product installation criteria (Registry key is not valid)"},
        {"hive alone", [](PrepareRig& r) { r.d.Product.InstallCriteria[0].RegKey = "HKLM\\"; }, 2,
         "cboInstallCriteriaRegKey", "product installation criteria (Registry key is not valid)"},
        {"empty disk path",
         [](PrepareRig& r) {
             r.d.Product.InstallPaths[0] = {1, "", "", "", false};
         },
         3, "cboProductDestinationPath", "product destination path (disk path is empty)"},
        {"empty destination key",
         [](PrepareRig& r) {
             r.d.Product.InstallPaths[0] = {2, "x", "", "", false};
         },
         3, "cboProductDestinationRegKey", "product destination path (Registry key is empty)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PrepareRig rig;
        c.change(rig);
        rig.ExpectMessage(Incorrect(c.field), mb::Exclamation);
        EXPECT_FALSE(rig.d.ValidateProductSettings());
        rig.prompt.verify_done();
        EXPECT_EQ(rig.host.calls, (Names{"ShowTab(" + std::to_string(c.tab) + ")",
                                         std::string("SelectAllAndFocus(") + c.control + ")"}));
    }
    // A folder type that is not set passes; the criterion question decides.
    PrepareRig rig;
    rig.d.Product.InstallPaths[0] = {0, "", "", "", false};
    rig.d.Product.InstallCriteria[0] = {2, "x", " ", "", 0};
    rig.ExpectMessage(
        "You have specified no product installation criteria.\nThis means that any Kestrelite client will be "
        "able to install this product on his(her) computer.\nDo you want to allow install the product to "
        "any person ?",
        mb::YesNo | mb::Exclamation | mb::DefaultButton2, MsgAnswer::Yes);
    EXPECT_TRUE(rig.d.ValidateProductSettings());
    rig.ExpectMessage("", 0x134, MsgAnswer::No);
    rig.ExpectMessage(Incorrect("product installation criteria (Registry key is empty)"), mb::Exclamation);
    EXPECT_FALSE(rig.d.ValidateProductSettings());
    rig.prompt.verify_done();
}

TEST(DesignerPrepare, ActionChecksSelectTheItemAndFocusTheField) {
    struct {
        const char* name;
        std::function<void(PrepareRig&)> change;
        int32_t position;
        const char* control;
        std::string message;
    } cases[] = {
        {"group without folder", [](PrepareRig& r) { r.d.Actions[0].SourceFolder = " "; }, 0,
         "cmdOperFileName", M("You specified an incorrect source folder (not specified)")},
        {"group folder missing",
         [](PrepareRig& r) { r.d.Actions[0].SourceFolder = (r.dir / "none").string(); }, 0, "cmdOperFileName",
         "You have not specified any files for the action group.\nPlease, add files or remove the action "
         "group and try again."},
        {"item without file", [](PrepareRig& r) { r.d.Actions[2].SourcePath = ""; }, 2, "cmdOperFileName",
         M("You specified an incorrect file name (file not specified)")},
        {"mask item",
         [](PrepareRig& r) {
             r.d.Actions[2].SourcePath = "*.*";
             r.d.Actions[2].IsFolder = true;
         },
         2, "cmdOperFileName", M("You specified an incorrect file name (file not found)")},
        {"register a text file", [](PrepareRig& r) { r.d.Actions[1].Register = true; }, 1,
         "chkOperFileRegister",
         M("You specified an incorrect file to be registered (not application or DLL)")},
        {"execute a text file",
         [](PrepareRig& r) { r.d.Actions[0].ActionType = r.d.Actions[1].ActionType = action::ExecuteFile; },
         1, "cmdOperFileName", M("You specified an incorrect file to be executed (not executable)")},
        {"empty destination", [](PrepareRig& r) { r.d.Actions[1].Destinations[0].Path = ""; }, 1,
         "cboOperFileDestPath", M("You specified an incorrect file destination path (empty value)")},
        {"drive in destination", [](PrepareRig& r) { r.d.Actions[1].Destinations[0].Path = "C:\\%WIN%"; }, 1,
         "cboOperFileDestPath",
         M("You specified an incorrect file destination path (disk drive is specified)")},
        {"lower-case macro", [](PrepareRig& r) { r.d.Actions[1].Destinations[0].Path = "%win%\\x"; }, 1,
         "cboOperFileDestPath",
         M("You specified an incorrect file destination path (no predefined folders are used in the path "
           "specification)")},
        {"empty destination key",
         [](PrepareRig& r) {
             r.d.Actions[1].Destinations[0] = {2, "", "", "", false};
         },
         1, "cboOperFileDestRegKey",
         M("You specified an incorrect file destination path (Registry key is empty)")},
        {"criterion without key", [](PrepareRig& r) { r.d.Actions[2].CriteriaType = -1; }, 2,
         "cboOperFileCriteriaRegKey", M("You specified an incorrect file criteria (Registry key is empty)")},
        {"log without key", [](PrepareRig& r) { r.d.Actions[2].LogToRegistryData = "x"; }, 2,
         "cboOperFileCriteriaRegKey", M("You specified an incorrect Registry key (empty value)")},
        {"criterion key of no hive", [](PrepareRig& r) { r.d.Actions[2].CriteriaRegKey = "Software\\X"; }, 2,
         "cboOperFileCriteriaRegKey",
         M("You specified an incorrect file criteria (Registry key is not valid)")},
        {"two files for one place",
         [](PrepareRig& r) {
             kltest::write_file(r.src / "A.TXT", std::string(3000, 'a'));
             r.d.Actions[2].SourcePath = "A.TXT";
             r.Record(2);
         },
         2, "cmdOperFileName",
         M("You specified an incorrect file name (another item puts a file of this name into the same "
           "destination)")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PrepareRig rig;
        c.change(rig);
        rig.tree.SetListIndex(0);
        rig.ExpectMessage(c.message, mb::Exclamation);
        EXPECT_FALSE(rig.d.ValidateActions());
        rig.prompt.verify_done();
        EXPECT_EQ(rig.tree.ListIndex(), c.position);
        EXPECT_EQ(rig.host.Calls("Focus("), Names{std::string("Focus(") + c.control + ")"});
        EXPECT_EQ(rig.host.Calls("ShowTab("), Names{}); // the tab is left as it is
    }
    // Registry groups are never looked at.
    PrepareRig rig;
    for (auto& r : rig.d.Actions)
        r.ActionType = action::DeleteRegistry;
    rig.d.Actions[0].SourceFolder = "";
    EXPECT_TRUE(rig.d.ValidateActions());
    EXPECT_EQ(rig.tree.ListIndex(), 1);
}

TEST(DesignerPrepare, ChangedFileAttributesAreOfferedForUpdate) {
    for (MsgAnswer answer : {MsgAnswer::No, MsgAnswer::Yes}) {
        PrepareRig rig;
        rig.d.Actions[2].FileSize = 1;
        rig.tree.SetExpand(0, false);
        rig.ExpectMessage("Specified file attributes differ from source file.\nDo you want to update "
                          "specified attributes ?",
                          mb::YesNo | mb::Exclamation, answer);
        EXPECT_TRUE(rig.d.ValidateActions());
        rig.prompt.verify_done();
        EXPECT_EQ(rig.tree.ListIndex(), 1); // the selection comes back
        EXPECT_EQ(rig.tree.Expand(0).value, -1);
        EXPECT_EQ(rig.d.Actions[2].FileSize, answer == MsgAnswer::Yes ? 5000 : 1);
        EXPECT_EQ(rig.d.DocumentModified, answer == MsgAnswer::Yes);
        EXPECT_EQ(rig.host.Calls("RefreshOperAttributes(1)").size(), answer == MsgAnswer::Yes ? 1u : 0u);
    }
}

TEST(DesignerPrepare, AWholeBuildFillsTheOutputFolder) {
    PrepareRig rig;
    kltest::write_file(rig.dir / "news.txt", "news");
    rig.d.Product.WhatsNewFile = (rig.dir / "news.txt").string();
    rig.ExpectConfirm();
    rig.ExpectReport();
    rig.d.PrepareUpdate();
    rig.prompt.verify_done();
    EXPECT_EQ(rig.OutNames(), (Names{"Products.INF", "_0001.KL_", "_0002.ZIP", "editor.inf", "news.txt"}));
    EXPECT_EQ(rig.d.UpdateFileCounter, 2);
    EXPECT_FALSE(rig.d.CancelRequested || rig.d.PrepareRunning || rig.d.DocumentModified);
    EXPECT_EQ(rig.tree.ListIndex(), 1);
    EXPECT_EQ(rig.host.Calls("ProgressStatus(").back(), "ProgressStatus(100)");
    EXPECT_FALSE(rig.host.progress_shown);

    // Again: the folder is not empty now, and is emptied on Yes.
    kltest::write_file(rig.out / "sub" / "old.txt", "x");
    rig.ExpectConfirm();
    rig.ExpectMessage(
        "The update output folder '" + rig.out.string() +
            "' is not empty.\nDo you want to permanently remove all files and subfolders from the update "
            "output folder ?",
        mb::YesNo | mb::Exclamation | mb::DefaultButton2, MsgAnswer::Yes);
    rig.ExpectReport();
    rig.d.PrepareUpdate();
    rig.prompt.verify_done();
    EXPECT_EQ(rig.OutNames(), (Names{"Products.INF", "_0001.KL_", "_0002.ZIP", "editor.inf", "news.txt"}));

    rig.ExpectConfirm();
    rig.ExpectMessage("", 0x134, MsgAnswer::No);
    rig.d.PrepareUpdate();
    rig.prompt.verify_done();
    EXPECT_EQ(rig.OutNames().size(), 5u); // untouched
}

TEST(DesignerPrepare, ALinkedOutputFolderIsClearedAndStaysALink) {
    PrepareRig rig;
    const fs::path real = rig.dir / "real";
    kltest::write_file(real / "old.txt", "old");
    kltest::write_file(real / "sub" / "deep.txt", "deep");
    kltest::write_file(rig.dir / "elsewhere" / "kept.txt", "kept");
    fs::create_directory_symlink(rig.dir / "elsewhere", real / "link");
    fs::create_directory_symlink(real, rig.out);
    rig.ExpectConfirm();
    rig.ExpectMessage(
        "The update output folder '" + rig.out.string() +
            "' is not empty.\nDo you want to permanently remove all files and subfolders from the update "
            "output folder ?",
        0x134, MsgAnswer::Yes);
    rig.ExpectReport();
    rig.d.PrepareUpdate();
    rig.prompt.verify_done();
    EXPECT_TRUE(fs::is_symlink(rig.out));
    EXPECT_EQ(rig.OutNames(), (Names{"Products.INF", "_0001.KL_", "_0002.ZIP", "editor.inf"}));
    // A link inside went, what it named stayed.
    EXPECT_EQ(kltest::read_file(rig.dir / "elsewhere" / "kept.txt"), "kept");
}

TEST(DesignerPrepare, OutputFolderChecks) {
    const std::string root = "You specified '";
    auto refused = [](const std::string& f, const std::string& reason) {
        return "You specified '" + f +
               "' as the update output folder.\nContents of this folder will be permanently deleted before "
               "creating "
               "update stuff.\n" +
               reason +
               " and cannot be used as update output folder.\nPlease, specify another update output folder "
               "and try again.";
    };
    const std::string noFolder =
        "Update output folder is not specified or has incorrect value. Please, specify it and try again.";
    struct {
        const char* name;
        std::function<std::string(PrepareRig&)> folder;
        std::function<std::string(PrepareRig&)> message;
    } cases[] = {
        {"empty", [](PrepareRig&) { return std::string(); }, [&](PrepareRig&) { return noFolder; }},
        {"relative", [](PrepareRig&) { return std::string("out"); }, [&](PrepareRig&) { return noFolder; }},
        {"root", [](PrepareRig&) { return std::string("/"); },
         [&](PrepareRig&) { return refused("/", "This folder is a disk drive root folder"); }},
        {"drive root with two backslashes", [](PrepareRig&) { return std::string("C:\\\\"); },
         [&](PrepareRig&) { return refused("C:", "This folder is a disk drive root folder"); }},
        {"the machine's Windows folder", [](PrepareRig&) { return plat::windows_folder().string() + "/"; },
         [&](PrepareRig&) {
             return refused(plat::windows_folder().string(), "This folder may contain system components");
         }},
        {"a folder above the sources", [](PrepareRig& r) { return r.dir.str(); },
         [&](PrepareRig& r) {
             return refused(r.dir.str(), "This folder holds sources of this update description");
         }},
        {"the source folder itself", [](PrepareRig& r) { return r.src.string(); },
         [&](PrepareRig& r) {
             return refused(r.src.string(), "This folder holds sources of this update description");
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PrepareRig rig;
        rig.d.Product.OutputFolder = c.folder(rig);
        rig.ExpectMessage(c.message(rig), mb::Exclamation);
        rig.d.PrepareUpdate();
        rig.prompt.verify_done();
        EXPECT_EQ(rig.host.Calls("ShowTab("), Names{"ShowTab(1)"});
        EXPECT_EQ(rig.host.Calls("SelectAllAndFocus("), Names{"SelectAllAndFocus(txtKLDTempPath)"});
        EXPECT_EQ(kltest::read_file(rig.src / "a.txt"), std::string(3000, 'a'));
        EXPECT_FALSE(fs::exists(rig.out));
    }
    // Trailing separators go from the stored value even when the vendor
    // then says No.
    PrepareRig rig;
    rig.d.Product.OutputFolder = rig.out.string() + "\\\\/";
    rig.ExpectMessage(std::string(kConfirm) + rig.out.string() +
                          "' folder.\nThis operation can take some seconds.\nDo you want to proceed ?",
                      0x124, MsgAnswer::No);
    rig.d.PrepareUpdate();
    rig.prompt.verify_done();
    EXPECT_EQ(rig.d.Product.OutputFolder, rig.out.string());
    EXPECT_EQ(rig.host.Calls("RefreshLocationTab("), Names{"RefreshLocationTab(1)"});
    EXPECT_FALSE(fs::exists(rig.out));
    EXPECT_FALSE(rig.d.DocumentModified);
}

TEST(DesignerPrepare, CancelHalfwayEmptiesTheFolder) {
    PrepareRig rig;
    for (int i = 0; i < 4; ++i)
        kltest::write_file(rig.src / ("f" + std::to_string(i)), std::string(1000, 'x'));
    rig.d.Actions.resize(5);
    rig.d.Actions[2].Compress = false;
    for (int i = 1; i <= 4; ++i) {
        rig.d.Actions[static_cast<size_t>(i)] = rig.d.Actions[1];
        rig.d.Actions[static_cast<size_t>(i)].SourcePath = "f" + std::to_string(i - 1);
        rig.Record(i);
    }
    rig.d.ActionCount = 5;
    rig.tree.Build("G0(I1,I2,I3,I4)");
    rig.host.on_process_events = [&] {
        if (rig.host.progress >= 49) rig.d.CancelRequested = true;
        // Nothing else may start meanwhile.
        rig.d.PrepareUpdate();
        EXPECT_FALSE(rig.d.AddOperation(action::InstallFile, true));
    };
    rig.ExpectConfirm();
    rig.ExpectMessage(
        "Operation was cancelled by the user.\nUpdate stuff and INF file have not been created.",
        mb::Exclamation);
    rig.d.PrepareUpdate();
    rig.prompt.verify_done();
    EXPECT_TRUE(fs::is_directory(rig.out));
    EXPECT_TRUE(fs::is_empty(rig.out));
    EXPECT_EQ(rig.d.UpdateFileCounter, 2);
    EXPECT_FALSE(rig.d.CancelRequested || rig.d.PrepareRunning);
    EXPECT_EQ(rig.d.ActionCount, 5);
}

TEST(DesignerPrepare, ASourceThatVanishesStopsTheBuild) {
    PrepareRig rig;
    kltest::ExpectedPrompt confirm;
    confirm.match = std::string(kConfirm) + rig.out.string() +
                    "' folder.\nThis operation can take some seconds.\nDo you want to proceed ?";
    confirm.answer = MsgAnswer::Yes;
    confirm.check = [&](const plat::ui::MessageRequest&) { fs::remove(rig.src / "b.bin"); };
    rig.prompt.expect(std::move(confirm));
    rig.ExpectMessage(
        "Cannot copy file '" + (rig.src / "b.bin").string() +
            "'\nto the update output folder. Error: file not found. Please, fix the problem and try again.\n",
        mb::Exclamation);
    rig.tree.SetListIndex(0);
    rig.d.PrepareUpdate();
    rig.prompt.verify_done();
    EXPECT_EQ(rig.tree.ListIndex(), 2);            // the failing item
    EXPECT_EQ(rig.OutNames(), Names{"_0001.KL_"}); // what was made stays; no INF
}

TEST(DesignerPrepare, EmptySourcesShowNoProgressDivision) {
    PrepareRig rig;
    kltest::write_file(rig.src / "a.txt", "");
    kltest::write_file(rig.src / "b.bin", "");
    rig.Record(1);
    rig.Record(2);
    rig.ExpectConfirm();
    rig.ExpectReport();
    rig.d.PrepareUpdate();
    rig.prompt.verify_done();
    for (const auto& c : rig.host.Calls("ProgressStatus("))
        EXPECT_TRUE(c == "ProgressStatus(0)" || c == "ProgressStatus(99)" || c == "ProgressStatus(100)") << c;
    EXPECT_EQ(rig.OutNames(), (Names{"Products.INF", "_0001.ZIP", "_0002.ZIP", "editor.inf"}));
}

TEST(DesignerPrepare, FileInformationRefresh) {
    PrepareRig rig;
    EXPECT_EQ(rig.d.UpdateOperFileInfo(-1), 0); // unchanged files
    EXPECT_EQ(rig.host.Calls("ReassignOperFileName").size(), 0u);
    kltest::write_file(rig.src / "a.txt", "changed");
    fs::remove(rig.src / "b.bin");
    rig.ExpectMessage("File '" + (rig.src / "b.bin").string() + "' not found.", mb::Exclamation);
    EXPECT_EQ(rig.d.UpdateOperFileInfo(0), 2); // the group: its items
    rig.prompt.verify_done();
    EXPECT_EQ(rig.d.Actions[1].FileSize, 7);
    EXPECT_EQ(rig.d.Actions[2].FileSize, 0);
    EXPECT_EQ(rig.host.Calls("RefreshOperAttributes(1)").size(), 1u);
    EXPECT_EQ(rig.d.UpdateOperFileInfo(1), 0);
    EXPECT_EQ(rig.d.UpdateOperFileInfo(-2), 0);
}
