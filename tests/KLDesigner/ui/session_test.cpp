// One working session with the designer through its widgets, the keyboard
// and the mouse: a new description, its product settings typed in, action
// groups added from the toolbar, actions dragged into order and copied, the
// file information refreshed, the description saved with Ctrl+S and opened
// again from the recent files, the install and destination settings clicked
// and typed in, and the update built. What was saved is read back through a
// fresh control; what was built is unpacked and compared with the sources.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "KLDesigner/ui/progress_form.h"
#include "platform/archive/zip_archive.h"
#include "platform/config/ini.h"
#include "real_list_rig.h"

using kldtest::ActionListUi;

namespace {

void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

void TypeInto(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

void Type(plat::forms::Form& f, const char* box, const QString& text) {
    TypeInto(f.Get<plat::forms::TextBox>(box).line_edit(), text);
}

// On an option's indicator, where a button takes the click.
void Click(QWidget* button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

class Session : public ActionListUi {};

} // namespace

TEST_F(Session, ThroughWidgetsAndTheMouse) {
    namespace fs = std::filesystem;
    plat::forms::Form& f = main.form();
    const fs::path src = fs::path(dir.str()) / "src";
    fs::create_directories(src);
    WriteFile(src / "readme.txt", "first");
    WriteFile(src / "setup.sh", "#!/bin/sh\n");

    // 1. A new description from the toolbar; the product typed in.
    main.Live("cmdNew").button()->click();
    main.ShowTab(kld::tab::Product);
    Type(f, "txtProductName", "Session Product");
    EXPECT_EQ(d->Product.ProductName, "Session Product");
    main.ShowTab(kld::tab::Download);
    QTest::mouseClick(f.Get<plat::forms::CheckBox>("chkDivideOntoChunks").check(), Qt::LeftButton, {},
                      QPoint(6, 6));
    Type(f, "txtDivideOntoChunks", "128");
    EXPECT_EQ(d->Product.ChunkSize, 131072);
    main.ShowTab(kld::tab::ActionList);

    // 2. An install group with a file and a mask action, an execute group
    // with its file, and the registry groups through their procedures.
    prompt.expect_folder("Select Source Folder", src.string());
    main.Live("cmdNewCopyFile").button()->click();
    prompt.expect_open("Select File", (src / "readme.txt").string());
    main.Live("cmdNewItem").button()->click();
    main.cmdNewGroupItem_Click(0);
    prompt.expect_folder("Select Source Folder", src.string());
    main.Live("cmdNewExecuteFile").button()->click();
    prompt.expect_open("Select File", (src / "setup.sh").string());
    main.Live("cmdNewItem").button()->click();
    main.cmdNewRegistryKey_Click(0);
    main.cmdDelRegistryKey_Click(0);
    ASSERT_EQ(Shape(), "0[1 2] 3[4] 5[] 6[]");
    EXPECT_TRUE(d->Actions[2].IsFolder);
    EXPECT_EQ(d->Actions[5].ActionType, kld::action::CreateRegistry);
    EXPECT_EQ(d->Actions[6].ActionType, kld::action::DeleteRegistry);

    // 3. The mask action dragged above the file; the execute group's only
    // action refuses a move and is copied with Ctrl held.
    DragItem(2, 1, false);
    EXPECT_EQ(Shape(), "0[2 1] 3[4] 5[] 6[]");
    DragItem(4, 3, false);
    EXPECT_EQ(Shape(), "0[2 1] 3[4] 5[] 6[]");
    DragItem(4, 3, true);
    EXPECT_EQ(Shape(), "0[2 1] 3[7 4] 5[] 6[]");
    EXPECT_EQ(d->Actions[7].SourcePath, "setup.sh");

    // 4. The chooser read the file's information; the file changes, and
    // Validate reads it again for the whole list.
    EXPECT_EQ(d->Actions[1].FileSize, 5);
    d->Operations().SetListIndex(-1);
    d->DocumentModified = false;
    WriteFile(src / "readme.txt", "changed, and longer");
    prompt.expect_message("Information about 1 files has been refreshed.");
    main.MenuItem("mnuToolsUpdateOperation").RunShortcut();
    EXPECT_EQ(d->Actions[1].FileSize, 19);
    EXPECT_TRUE(d->DocumentModified);

    // 5. Ctrl+S asks where to save; the recent item opens it again.
    const std::string path = dir.str() + "/session.kld";
    prompt.expect_save("Save Update Description To File", path);
    main.MenuItem("mnuFileSave").RunShortcut();
    EXPECT_FALSE(d->DocumentModified);
    ASSERT_TRUE(fs::exists(path));
    main.Live("cmdNew").button()->click();
    EXPECT_EQ(d->Operations().ListCount(), 0);
    main.MenuItem("mnuFileRecentlyUsedKLD", 1).Click(1);
    EXPECT_EQ(d->CurrentFileName, path);
    EXPECT_EQ(d->Product.ChunkSize, 131072);
    EXPECT_EQ(d->Operations().ListCount(), 8);
    main.ShowTab(kld::tab::ActionList);
    kldtest::Screenshot(f.window(), "session-reopened");

    // The saved order, value types and sizes through a fresh control.
    EXPECT_EQ(SavedOrder(), "src: *.* readme.txt src: setup.sh setup.sh : :");
    kld::CHostSite site;
    plat::ComPtr<plat::IDispatch> fresh = site.Create(kld::kTreeListClassId);
    kld::DescriptionDocument doc;
    {
        kld::CDescriptionFile reader(site, fresh.get());
        ASSERT_EQ(reader.Load(path, doc), kld::CDescriptionFile::LoadResult::Loaded);
    }
    fresh.reset();
    site.ReleaseAll();
    ASSERT_EQ(doc.actions.size(), 8u);
    EXPECT_EQ(doc.product.ProductName, "Session Product");
    EXPECT_TRUE(doc.actions[1].IsFolder);
    EXPECT_EQ(doc.actions[2].FileSize, 19);
    EXPECT_EQ(doc.actions[6].ActionType, kld::action::CreateRegistry);

    // 6. Prepare builds the update files and the INF files; a second one is
    // cancelled from its progress form and leaves the output folder empty.
    // The copy would put a second file of its name in one place and the
    // mask action names no single file for Prepare's file check, so they go
    // first; the file is packed compressed, and the settings Prepare checks
    // are typed and clicked in.
    QWidget* view = View();
    ASSERT_EQ(Shape(), "0[1 2] 3[4 5] 6[] 7[]");
    d->Operations().SetListIndex(4);
    QTest::keyClick(view, Qt::Key_Delete);
    ASSERT_EQ(Shape(), "0[1 2] 3[5] 6[] 7[]");
    d->Operations().SetListIndex(1);
    ASSERT_TRUE(Record(1).IsFolder);
    QTest::keyClick(view, Qt::Key_Delete);
    ASSERT_EQ(Shape(), "0[2] 3[5] 6[] 7[]");
    d->Operations().SetListIndex(1);
    QTest::mouseClick(f.Get<plat::forms::CheckBox>("chkOperCompress").check(), Qt::LeftButton, {}, QPoint(6, 6));
    ASSERT_TRUE(Record(1).Compress);
    const fs::path out = fs::path(dir.str()) / "out";
    main.ShowTab(kld::tab::Product);
    Type(f, "txtManufacturer", "Vendor");
    main.ShowTab(kld::tab::Location);
    Type(f, "txtInternetPath", "http://127.0.0.1/updates");
    Type(f, "txtINFFile", "session.inf");
    Type(f, "txtKLDTempPath", QString::fromStdString(out.string()));
    main.ShowTab(kld::tab::Installation);
    Click(f.Get<plat::forms::OptionButton>("optInstallCriteriaType", 1).radio());
    TypeInto(f.Get<plat::forms::ComboBox>("cboInstallCriteriaRegKey").combo()->lineEdit(),
             "HKLM\\SOFTWARE\\Vendor");
    main.ShowTab(kld::tab::Destination);
    Click(f.Get<plat::forms::OptionButton>("optInstallPathType", 1).radio());
    TypeInto(f.Get<plat::forms::ComboBox>("cboProductDestinationPath").combo()->lineEdit(),
             "%PROGRAM FILES%\\App");
    EXPECT_EQ(d->Product.InstallCriteria[0].RegKey, "HKLM\\SOFTWARE\\Vendor");
    EXPECT_EQ(d->Product.InstallPaths[0], (kld::DestinationFolder{1, "%PROGRAM FILES%\\App", "", "", false}));
    main.ShowTab(kld::tab::ActionList);

    const std::string confirm = "You are about to create update stuff and INF file in the '" + out.string() +
                                "' folder.\nThis operation can take some seconds.\nDo you want to proceed ?";
    prompt.expect_message(confirm, plat::ui::MsgAnswer::Yes);
    kltest::ExpectedPrompt report;
    report.match = "";
    report.check = [](const plat::ui::MessageRequest& r) {
        EXPECT_EQ(r.text.rfind("Product INF file was created successfully.\n", 0), 0u) << r.text;
    };
    prompt.expect(report);
    main.MenuItem("mnuFilePrepare").Click(-1);
    ASSERT_EQ(prompt.pending(), 0u);
    std::vector<std::string> made;
    for (const auto& e : fs::directory_iterator(out))
        made.push_back(e.path().filename().string());
    std::sort(made.begin(), made.end());
    EXPECT_EQ(made, (std::vector<std::string>{"Products.INF", "_0001.ZIP", "_0002.KL_", "session.inf"}));

    // Each file the INF lists is a copy of its source, or an archive that
    // unpacks to it, byte for byte.
    plat::IniDocument inf;
    ASSERT_EQ(plat::IniDocument::load(out / "session.inf", inf), plat::SysError::Success);
    std::vector<std::string> listed;
    for (int n = 1; inf.get("File" + std::to_string(n), "FileName"); ++n) {
        const std::string section = "File" + std::to_string(n);
        const std::string name = inf.get_string(section, "FileName");
        const fs::path made_file = out / inf.get_string(section, "SourceFile1");
        listed.push_back(name + " " + made_file.filename().string());
        if (made_file.extension() != ".ZIP") {
            EXPECT_EQ(kltest::read_file(made_file), kltest::read_file(src / name)) << name;
            continue;
        }
        std::vector<std::string> unpacked;
        ASSERT_EQ(plat::archive::unpack(made_file.string(), dir.str() + "/unpacked", {}, &unpacked),
                  plat::archive::ArchiveError::Ok);
        EXPECT_EQ(unpacked.size(), 1u);
        for (const fs::path file : unpacked)
            EXPECT_EQ(kltest::read_file(file), kltest::read_file(src / file.filename())) << file;
    }
    EXPECT_EQ(listed,
              (std::vector<std::string>{"readme.txt _0001.ZIP", "setup.sh _0002.KL_"}));

    prompt.expect_message(confirm, plat::ui::MsgAnswer::Yes);
    prompt.expect_message("The update output folder '" + out.string() +
                              "' is not empty.\nDo you want to permanently remove all files and subfolders from "
                              "the update output folder ?",
                          plat::ui::MsgAnswer::Yes);
    prompt.expect_message("Are you sure you want to cancel creating update stuff and INF file ?",
                          plat::ui::MsgAnswer::Yes);
    prompt.expect_message("Operation was cancelled by the user.\nUpdate stuff and INF file have not been created.");
    QTimer::singleShot(0, [this] {
        main.frmProgress().form().Get<plat::forms::CommandButton>("cmdCancel").button()->click();
    });
    main.Live("cmdMakeStuff").button()->click();
    EXPECT_EQ(prompt.pending(), 0u);
    EXPECT_TRUE(fs::is_directory(out));
    EXPECT_TRUE(fs::is_empty(out));
    EXPECT_FALSE(d->PrepareRunning);
}
