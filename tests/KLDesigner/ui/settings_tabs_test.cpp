// The product-setting tabs through their widgets: typing, clicking and the
// choosers change the document's product settings, and the refreshes show
// what is stored.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QPainter>
#include <QRadioButton>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "KLDesigner/bridge/action_display.h"
#include "KLDesigner/bridge/dispatch_action_tree.h"
#include "KLDesigner/bridge/host_site.h"
#include "KLDesigner/bridge/kld_file.h"
#include "platform/com/loader.h"
#include "platform/forms/control_host.h"
#include "ui_rig.h"

using namespace plat::forms;
using plat::ui::MsgAnswer;

namespace {

struct Tabs : kldtest::UiRig {
    Tabs() {
        d.Main("", dir.str());
        main.cmdNew_Click();
    }
    template <class T = Control> T& C(const char* name, int32_t index = -1) {
        return main.form().Get<T>(name, index);
    }
    kld::ProductSettings& P() { return d.Product; }

    // Replaces the box's text key by key, as a person would.
    void Type(QLineEdit* edit, const QString& text) {
        edit->setFocus();
        edit->selectAll();
        if (text.isEmpty())
            QTest::keyClick(edit, Qt::Key_Backspace);
        else
            QTest::keyClicks(edit, text);
    }
    void Type(const char* box, const QString& text) { Type(C<TextBox>(box).line_edit(), text); }
    void TypeCombo(const char* combo, const QString& text) { Type(C<ComboBox>(combo).combo()->lineEdit(), text); }
    // On the indicator: a button reacts only there and on its text.
    static void Press(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(6, w->height() / 2)); }
    void Click(const char* check) { Press(C<CheckBox>(check).check()); }
    void Option(const char* name, int32_t index = -1) { Press(C<OptionButton>(name, index).radio()); }
    void Row(const char* list, int32_t row) {
        QListWidget* w = C<ListBox>(list).list();
        QTest::mouseClick(w->viewport(), Qt::LeftButton, {}, w->visualItemRect(w->item(row)).center());
    }
    std::string Text(const char* box) { return C<TextBox>(box).Text(); }
    // Shows the tab whose controls a test touches.
    void On(int16_t tab) { main.ShowTab(tab); }
};

bool SingleColour(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != image.pixel(0, 0)) return false;
    return true;
}

} // namespace

TEST(SettingsTabs, NewDocumentShowsTheDefaults) {
    Tabs t;
    EXPECT_EQ(t.Text("txtProductName"), "<-- Input Product Name Here -->");
    for (const char* box : {"txtManufacturer", "txtIconFile", "txtWhatsNewFile", "txtAdvertismentFile",
                            "txtKLDTempPath", "txtINFFile", "txtInternetPath", "txtDivideOntoChunks",
                            "txtPasswordProtection"})
        EXPECT_EQ(t.Text(box), "") << box;
    for (const char* check : {"chkDivideOntoChunks", "chkResumeDownloading", "chkPasswordProtection",
                              "chkAutoUninstall"})
        EXPECT_EQ(t.C<CheckBox>(check).Value(), 0) << check;
    EXPECT_FALSE(t.C("txtDivideOntoChunks").Enabled());
    EXPECT_FALSE(t.C("lblDivideOntoChunks").Enabled());
    EXPECT_FALSE(t.C("chkMaskPassword").Enabled());
    EXPECT_TRUE(t.C("txtPasswordProtection").Enabled());

    EXPECT_TRUE(t.C<OptionButton>("optUpdateOld").Value());
    EXPECT_FALSE(t.C<OptionButton>("optInstallNew").Value());
    EXPECT_EQ(t.C<ListBox>("lstInstallCriterias").ListIndex(), 0);
    EXPECT_TRUE(t.C<OptionButton>("optInstallCriteriaType", 1).Value());
    EXPECT_EQ(t.C<ComboBox>("cboInstallCriteriaRegKey").Text(), "");
    EXPECT_EQ(t.Text("txtInstallEdition"), "0");
    EXPECT_EQ(t.C<ListBox>("lstProductPathes").ListIndex(), 0);
    EXPECT_TRUE(t.C<OptionButton>("optInstallPathType", 2).Value());
    EXPECT_EQ(t.C<ComboBox>("cboInstallWinVersion").Text(), "Any");
    EXPECT_FALSE(t.d.DocumentModified);
}

TEST(SettingsTabs, TypedTextIsStoredAsTyped) {
    Tabs t;
    struct Row {
        int16_t tab;
        const char* box;
        std::string kld::ProductSettings::*field;
    };
    const Row rows[] = {
        {kld::tab::Product, "txtManufacturer", &kld::ProductSettings::Manufacturer},
        {kld::tab::Product, "txtIconFile", &kld::ProductSettings::IconFile},
        {kld::tab::Product, "txtAdvertismentFile", &kld::ProductSettings::AdvertisementFile},
        {kld::tab::Product, "txtWhatsNewFile", &kld::ProductSettings::WhatsNewFile},
        {kld::tab::Location, "txtKLDTempPath", &kld::ProductSettings::OutputFolder},
        {kld::tab::Location, "txtINFFile", &kld::ProductSettings::INFFileName},
        {kld::tab::Location, "txtInternetPath", &kld::ProductSettings::WebLocation},
    };
    for (const Row& r : rows) {
        t.On(r.tab);
        t.d.DocumentModified = false;
        t.Type(r.box, " a b ");
        EXPECT_EQ(t.P().*r.field, " a b ") << r.box << ": not trimmed";
        EXPECT_EQ(t.Text(r.box), " a b ") << r.box;
        EXPECT_TRUE(t.d.DocumentModified) << r.box;
    }
}

TEST(SettingsTabs, ABlankProductNameIsRefusedAndPutBack) {
    Tabs t;
    t.Type("txtProductName", "Tool");
    // Each key that leaves the box blank is refused once.
    t.Expect("Product name cannot be empty.", MsgAnswer::Ok);
    t.Type("txtProductName", "");
    t.prompt.verify_done();
    EXPECT_EQ(t.P().ProductName, "Tool");
    EXPECT_EQ(t.Text("txtProductName"), "Tool");
    const auto seen = t.prompt.seen();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().caption, "Marovia Kestrelite Designer");
    EXPECT_EQ(seen.back().message.icon, plat::ui::MsgIcon::Warning);
}

TEST(SettingsTabs, ChunkSizeFollowsTheBoxAndTheCheck) {
    Tabs t;
    t.On(kld::tab::Download);
    t.Click("chkDivideOntoChunks");
    EXPECT_EQ(t.P().ChunkSize, 65536);
    EXPECT_EQ(t.Text("txtDivideOntoChunks"), "64");
    EXPECT_TRUE(t.C("txtDivideOntoChunks").Enabled());

    struct Row {
        const char* typed;
        int32_t stored;
        const char* shown;
    };
    const Row rows[] = {
        {"128", 131072, "128"},
        {"12abc", 12288, "12"},                 // the leading number
        {"99999999999", 2048000000, "2000000"}, // clamped, no separators
        {"0", 0, ""},                           // chunks off
    };
    for (const Row& r : rows) {
        t.Type("txtDivideOntoChunks", r.typed);
        EXPECT_EQ(t.P().ChunkSize, r.stored) << r.typed;
        EXPECT_EQ(t.Text("txtDivideOntoChunks"), r.shown) << r.typed;
    }
    EXPECT_EQ(t.C<CheckBox>("chkDivideOntoChunks").Value(), 0);
    EXPECT_FALSE(t.C("txtDivideOntoChunks").Enabled());

    // Deleting the digits also turns chunks off.
    t.Click("chkDivideOntoChunks");
    t.Type("txtDivideOntoChunks", "");
    EXPECT_EQ(t.P().ChunkSize, 0);
    EXPECT_EQ(t.C<CheckBox>("chkDivideOntoChunks").Value(), 0);
    // A size that is no size counts as none when the box is checked.
    t.P().ChunkSize = -4096;
    t.main.RefreshDownloadTab(2);
    EXPECT_EQ(t.C<CheckBox>("chkDivideOntoChunks").Value(), 0);
    t.Click("chkDivideOntoChunks");
    EXPECT_EQ(t.P().ChunkSize, 65536);
}

TEST(SettingsTabs, PasswordProtection) {
    Tabs t;
    t.On(kld::tab::Download);
    t.Click("chkPasswordProtection");
    EXPECT_EQ(t.P().PackagePassword, "<-- Input Product Password Here -->");
    EXPECT_EQ(t.Text("txtPasswordProtection"), "<-- Input Product Password Here -->");
    t.Click("chkPasswordProtection");
    EXPECT_EQ(t.P().PackagePassword, "");
    EXPECT_EQ(t.Text("txtPasswordProtection"), "");
    EXPECT_FALSE(t.C("chkMaskPassword").Enabled());

    // Typing a password turns the protection on.
    t.Type("txtPasswordProtection", "s3cret");
    EXPECT_EQ(t.P().PackagePassword, "s3cret");
    EXPECT_EQ(t.C<CheckBox>("chkPasswordProtection").Value(), 1);
    EXPECT_TRUE(t.C("chkMaskPassword").Enabled());
    QLineEdit* edit = t.C<TextBox>("txtPasswordProtection").line_edit();
    EXPECT_EQ(edit->echoMode(), QLineEdit::Normal);

    t.d.DocumentModified = false;
    t.Click("chkMaskPassword");
    EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
    EXPECT_FALSE(t.d.DocumentModified) << "masking is no edit";
    t.Click("chkMaskPassword");
    EXPECT_EQ(edit->echoMode(), QLineEdit::Normal);

    // A password already typed stays when the protection is checked again.
    t.Click("chkPasswordProtection");
    t.Type("txtPasswordProtection", "abc");
    EXPECT_EQ(t.P().PackagePassword, "abc");
}

TEST(SettingsTabs, OtherChecksStoreTheirValue) {
    Tabs t;
    t.On(kld::tab::Download);
    t.Click("chkResumeDownloading");
    t.Click("chkAutoUninstall");
    EXPECT_TRUE(t.P().ResumeDownloading);
    EXPECT_TRUE(t.P().AutoUninstall);
    EXPECT_TRUE(t.d.DocumentModified);
    t.Click("chkResumeDownloading");
    EXPECT_FALSE(t.P().ResumeDownloading);
}

TEST(SettingsTabs, FileChoosersStartAtTheCurrentFile) {
    Tabs t;
    const std::string folder = t.dir.str();
    // A real icon, and a file that is no picture.
    QImage icon(16, 16, QImage::Format_ARGB32);
    icon.fill(Qt::red);
    ASSERT_TRUE(icon.save(QString::fromStdString(folder + "/app.png")));
    std::ofstream(folder + "/broken.ico") << "not a picture";

    t.P().IconFile = folder + "/old.ico";
    t.main.RefreshProductTab(3);
    t.prompt.expect_open("Select Icon File", folder + "/app.png");
    // Enter in the box opens the chooser, like its button.
    QTest::keyClick(t.C<TextBox>("txtIconFile").line_edit(), Qt::Key_Return);
    t.prompt.verify_done();
    const auto request = t.prompt.seen().back().file;
    EXPECT_EQ(request.initial_folder, folder);
    EXPECT_EQ(request.file_name, "old.ico");
    EXPECT_EQ(request.filter, "Icon Files (*.ico)|*.ico|All Files (*.*)|*.*");
    EXPECT_TRUE(request.must_exist);
    EXPECT_EQ(t.P().IconFile, folder + "/app.png");
    EXPECT_TRUE(t.d.DocumentModified);
    const QImage shown = t.C<PictureBox>("picProductIcon").canvas();
    EXPECT_EQ(shown.pixel(2, 2), QColor(Qt::red).rgb());

    // A file that is not a picture shows nothing, not the last icon.
    t.Type("txtIconFile", QString::fromStdString(folder + "/broken.ico"));
    EXPECT_TRUE(SingleColour(t.C<PictureBox>("picProductIcon").canvas()));

    // Cancelled choosers leave the fields alone.
    t.P().WhatsNewFile = "news.txt";
    t.prompt.expect_open("Select 'What's New' File", std::nullopt);
    t.main.cmdWhatsNewFile_Click();
    EXPECT_EQ(t.P().WhatsNewFile, "news.txt");
    t.prompt.expect_open("Select Advertisment File", folder + "/ad.txt");
    QTest::mouseClick(t.C<CommandButton>("cmdAdvertismentFile").button(), Qt::LeftButton);
    EXPECT_EQ(t.P().AdvertisementFile, folder + "/ad.txt");

    t.On(kld::tab::Location);
    t.prompt.expect_folder("Select Folder To Store Update Stuff", folder);
    QTest::keyClick(t.C<TextBox>("txtKLDTempPath").line_edit(), Qt::Key_Return);
    EXPECT_EQ(t.P().OutputFolder, folder);
    EXPECT_EQ(t.Text("txtKLDTempPath"), folder);
    t.prompt.expect_folder("Select Folder To Store Update Stuff", std::nullopt);
    t.main.cmdKLDTempPath_Click();
    EXPECT_EQ(t.P().OutputFolder, folder);
    t.prompt.verify_done();
}

TEST(SettingsTabs, CriterionTypeDecidesTheDetailFields) {
    Tabs t;
    t.On(kld::tab::Installation);
    struct Row {
        int32_t type;
        const char* caption;
        bool key, path, edition;
    };
    const Row rows[] = {
        {0, "", false, false, false},    {1, "Key", true, false, true},  {2, "File", false, true, true},
        {3, "Folder", false, true, true}, {4, "Key", true, false, true}, {5, "Key", true, false, true},
    };
    t.P().InstallCriteria[0] = {0, "%WIN%\\a.dll", "HKLM\\Soft", "Path", 2.5F};
    for (const Row& r : rows) {
        t.d.DocumentModified = false;
        t.Option("optInstallCriteriaType", r.type);
        EXPECT_EQ(t.P().InstallCriteria[0].CriterionType, r.type);
        EXPECT_TRUE(t.d.DocumentModified) << r.type;
        EXPECT_EQ(t.C<Label>("lblInstallCriteria").Caption(), r.caption) << r.type;
        EXPECT_EQ(t.C("cboInstallCriteriaRegKey").Visible(), r.key) << r.type;
        EXPECT_EQ(t.C("lblInstallCriteria_2").Visible(), r.key) << r.type;
        EXPECT_EQ(t.C("txtInstallCriteriaRegValue").Visible(), r.key) << r.type;
        EXPECT_EQ(t.C("cboInstallCriteriaPath").Visible(), r.path) << r.type;
        EXPECT_EQ(t.C("lblInstallEdition").Visible(), r.edition) << r.type;
        EXPECT_EQ(t.C("txtInstallEdition").Visible(), r.edition) << r.type;
        if (r.key) { EXPECT_EQ(t.C<ComboBox>("cboInstallCriteriaRegKey").Text(), "HKLM\\Soft"); }
        if (r.key) { EXPECT_EQ(t.Text("txtInstallCriteriaRegValue"), "Path"); }
        if (r.path) { EXPECT_EQ(t.C<ComboBox>("cboInstallCriteriaPath").Text(), "%WIN%\\a.dll"); }
        if (r.edition) { EXPECT_EQ(t.Text("txtInstallEdition"), "2.5"); }
    }
    // A stored type without an option turns every option off.
    t.P().InstallCriteria[0].CriterionType = -2;
    t.main.RefreshProductInstallCriteriaInfo();
    for (int32_t i = 0; i < 6; ++i) {
        EXPECT_FALSE(t.C<OptionButton>("optInstallCriteriaType", i).Value()) << i;
    }
    EXPECT_FALSE(t.C("cboInstallCriteriaPath").Visible());
}

TEST(SettingsTabs, CriterionEditsGoToTheSelectedEntry) {
    Tabs t;
    t.On(kld::tab::Installation);
    t.P().InstallCriteria[1] = {2, "%SYS%\\x.sys", "", "", 3};
    t.Row("lstInstallCriterias", 1);
    EXPECT_TRUE(t.C<OptionButton>("optInstallCriteriaType", 2).Value());
    EXPECT_EQ(t.C<ComboBox>("cboInstallCriteriaPath").Text(), "%SYS%\\x.sys");
    EXPECT_EQ(t.Text("txtInstallEdition"), "3");

    t.TypeCombo("cboInstallCriteriaPath", "%TEMP%\\y");
    t.Type("txtInstallEdition", "1.5");
    EXPECT_EQ(t.P().InstallCriteria[1].Path, "%TEMP%\\y");
    EXPECT_EQ(t.P().InstallCriteria[1].Edition, 1.5F) << "the box kept its decimal point";
    EXPECT_EQ(t.Text("txtInstallEdition"), "1.5");
    EXPECT_EQ(t.P().InstallCriteria[0].Path, "") << "the main entry is untouched";

    // What the box shows while typing is normalised by the next full refresh.
    t.Type("txtInstallEdition", "2.50");
    EXPECT_EQ(t.Text("txtInstallEdition"), "2.50");
    // Beyond what an edition holds: the stored one stays.
    t.Type("txtInstallEdition", "1e39");
    EXPECT_EQ(t.P().InstallCriteria[1].Edition, 1000.0F) << "\"1e3\" was the last that fit";
    t.Type("txtInstallEdition", "x");
    EXPECT_EQ(t.P().InstallCriteria[1].Edition, 0.0F);
    t.main.RefreshTabs(true);
    EXPECT_EQ(t.Text("txtInstallEdition"), "0");

    // A pick from the drop-down of a key combo is stored as well.
    t.Row("lstInstallCriterias", 0);
    QComboBox* keys = t.C<ComboBox>("cboInstallCriteriaRegKey").combo();
    ASSERT_GT(keys->count(), 0);
    keys->setCurrentIndex(0);
    emit keys->activated(0);
    EXPECT_EQ(t.P().InstallCriteria[0].RegKey, keys->itemText(0).toStdString());
    t.Type("txtInstallCriteriaRegValue", "Ver");
    EXPECT_EQ(t.P().InstallCriteria[0].RegValueName, "Ver");
}

TEST(SettingsTabs, InstallOptionFollowsTheFlag) {
    Tabs t;
    t.On(kld::tab::Installation);
    t.Option("optInstallNew");
    EXPECT_TRUE(t.P().InstallNew);
    EXPECT_TRUE(t.d.DocumentModified);
    t.d.DocumentModified = false;
    t.Option("optUpdateOld");
    EXPECT_FALSE(t.P().InstallNew);
    EXPECT_TRUE(t.d.DocumentModified);
    EXPECT_TRUE(t.C<OptionButton>("optUpdateOld").Value());
    EXPECT_FALSE(t.C<OptionButton>("optInstallNew").Value());
}

TEST(SettingsTabs, DestinationTypeDecidesTheDetailFields) {
    Tabs t;
    t.On(kld::tab::Destination);
    struct Row {
        int32_t type;
        const char* caption;
        bool path, key, create;
    };
    const Row rows[] = {
        {0, "", false, false, false},
        {1, "Folder", true, false, true},
        {2, "Key", false, true, true},
        {3, "", false, false, false},
    };
    t.P().InstallPaths[0] = {2, "%PROGRAM FILES%\\P", "HKCU\\P", "Dir", true};
    for (const Row& r : rows) {
        t.Option("optInstallPathType", r.type);
        EXPECT_EQ(t.P().InstallPaths[0].FolderType, r.type);
        EXPECT_EQ(t.C<Label>("lblProductDestination").Caption(), r.caption) << r.type;
        EXPECT_EQ(t.C("cboProductDestinationPath").Visible(), r.path) << r.type;
        EXPECT_EQ(t.C("cboProductDestinationRegKey").Visible(), r.key) << r.type;
        EXPECT_EQ(t.C("txtProductDestinationRegValue").Visible(), r.key) << r.type;
        EXPECT_EQ(t.C("lblProductDestination_2").Visible(), r.key) << r.type;
        EXPECT_EQ(t.C("chkInstallPathCreateNewFolder").Visible(), r.create) << r.type;
        if (r.create) { EXPECT_EQ(t.C<CheckBox>("chkInstallPathCreateNewFolder").Value(), 1); }
    }

    t.P().InstallPaths[2] = {1, "%WIN%\\Q", "", "", false};
    t.Row("lstProductPathes", 2);
    EXPECT_TRUE(t.C<OptionButton>("optInstallPathType", 1).Value());
    EXPECT_EQ(t.C<ComboBox>("cboProductDestinationPath").Text(), "%WIN%\\Q");
    t.TypeCombo("cboProductDestinationPath", "%TEMP%\\R");
    t.Click("chkInstallPathCreateNewFolder");
    EXPECT_EQ(t.P().InstallPaths[2].Path, "%TEMP%\\R");
    EXPECT_TRUE(t.P().InstallPaths[2].CreateIfMissing);
    t.Option("optInstallPathType", 2);
    t.TypeCombo("cboProductDestinationRegKey", "HKLM\\S");
    t.Type("txtProductDestinationRegValue", "V");
    EXPECT_EQ(t.P().InstallPaths[2].RegKey, "HKLM\\S");
    EXPECT_EQ(t.P().InstallPaths[2].RegValueName, "V");
    EXPECT_EQ(t.P().InstallPaths[0].RegKey, "HKCU\\P") << "the main entry is untouched";
}

TEST(SettingsTabs, ThePlatformIsOnlyAnEdit) {
    Tabs t;
    t.On(kld::tab::Destination);
    QComboBox* box = t.C<ComboBox>("cboInstallWinVersion").combo();
    ASSERT_EQ(box->count(), 8);
    box->setCurrentIndex(3);
    emit box->activated(3);
    EXPECT_TRUE(t.d.DocumentModified);
    const kld::ProductSettings before = t.P();
    t.main.RefreshTabs(true);
    EXPECT_EQ(t.C<ComboBox>("cboInstallWinVersion").Text(), "Any");
    EXPECT_EQ(t.P(), before);
}

// The sample opened as the program opens it: the visible list and the
// hidden buffer are both real controls created by class id.
TEST(SettingsTabs, SampleFillsTheTabs) {
    ASSERT_EQ(plat::call_library_registration(KLD_VINCA5_PATH, false), plat::S_OK);
    kltest::ScriptedPrompt prompt;
    kltest::TempDir dir;
    kld::ui::MainForm main;
    plat::ComPtr<plat::IDispatch> list = main.vntOperations().Create(kld::kTreeListClassId);
    kld::CHostSite buffer_site;
    plat::ComPtr<plat::IDispatch> buffer = buffer_site.Create(kld::kTreeListClassId);
    ASSERT_TRUE(list && buffer);
    {
        kld::CDispatchActionTree tree(list.get());
        kld::CActionDisplay display(tree.Control());
        kld::CDescriptionFile file(buffer_site, buffer.get());
        kld::CDescriptionBridge bridge(display, file);
        kld::Designer d(kld::DesignerServices{main, prompt, tree, bridge});
        main.Attach(d);
        const std::filesystem::path copy = std::filesystem::path(dir.str()) / "sample";
        std::filesystem::copy(KLD_SAMPLE_DIR, copy, std::filesystem::copy_options::recursive);
        d.Main("", dir.str());
        d.OpenDocument((copy / "sample.KLD").string());
        prompt.verify_done();
        ASSERT_EQ(d.Product.ProductName, "Sample");

        plat::forms::Form& f = main.form();
        EXPECT_EQ(f.Get<TextBox>("txtProductName").Text(), "Sample");
        EXPECT_EQ(f.Get<TextBox>("txtINFFile").Text(), d.Product.INFFileName);
        EXPECT_EQ(f.Get<TextBox>("txtInternetPath").Text(), d.Product.WebLocation);
        EXPECT_EQ(f.Get<ComboBox>("cboInstallCriteriaRegKey").Text(), d.Product.InstallCriteria[0].RegKey);
        EXPECT_EQ(f.Get<ComboBox>("cboProductDestinationPath").Text(), d.Product.InstallPaths[0].Path);
        EXPECT_FALSE(d.DocumentModified) << "filling the tabs is no edit";

        const char* names[] = {"tab-product", "tab-location", "tab-installation", "tab-destination",
                               "tab-downloading"};
        for (int16_t tab = 0; tab < 5; ++tab) {
            main.ShowTab(tab);
            kldtest::Screenshot(f.window(), names[tab]);
        }
        f.Unload();
    }
    main.vntOperations().host().release();
    buffer.reset();
    buffer_site.ReleaseAll();
}
