// The Product, Location and Downloading tabs: each control mirrors one
// simple field of the product settings. The editors write the field and
// refresh their control from it; the refreshes fill the controls with edit
// events off, so that filling a box does not run its editor.
#include "KLDesigner/ui/main_form.h"

#include "KLDesigner/builder/utilities.h"
#include "KLDesigner/builder/vb.h"

#include <QImageReader>
#include <QLineEdit>

namespace kld::ui {

using namespace plat::forms;
using plat::forms::Control;
using plat::forms::Form;
using plat::forms::ListBox;

namespace {

constexpr int32_t kDefaultChunkKBytes = 64;
constexpr double kMaxChunkKBytes = 2000000;
constexpr const char* kPasswordPlaceholder = "<-- Input Product Password Here -->";

// The icon shown beside its file name: the file's picture, or an empty one
// when the file is missing or is not a picture.
QImage LoadIcon(const std::string& file) {
    if (file.empty() || !FileExists(file)) return {};
    QImageReader reader(QString::fromStdString(NativePath(file)));
    return reader.read();
}

// Edit events are off while a refresh fills the controls.
class RefreshScope {
  public:
    explicit RefreshScope(Designer& d) : m_d(d) { m_d.EditEventsEnabled = false; }
    ~RefreshScope() { m_d.EditEventsEnabled = true; }
    RefreshScope(const RefreshScope&) = delete;
    RefreshScope& operator=(const RefreshScope&) = delete;

  private:
    Designer& m_d;
};

} // namespace

void MainForm::RunEditor(Control* source, const std::function<void()>& editor) {
    Control* outer = m_editing;
    m_editing = source;
    editor();
    m_editing = outer;
}

void MainForm::WireProductTabs() {
    auto text = [this](const char* name, void (MainForm::*editor)()) {
        auto& box = m_form.Get<TextBox>(name);
        box.Change = [this, editor](int32_t) { (this->*editor)(); };
    };
    text("txtProductName", &MainForm::txtProductName_Change);
    text("txtManufacturer", &MainForm::txtManufacturer_Change);
    text("txtIconFile", &MainForm::txtIconFile_Change);
    text("txtAdvertismentFile", &MainForm::txtAdvertismentFile_Change);
    text("txtWhatsNewFile", &MainForm::txtWhatsNewFile_Change);
    text("txtKLDTempPath", &MainForm::txtKLDTempPath_Change);
    text("txtINFFile", &MainForm::txtINFFile_Change);
    text("txtInternetPath", &MainForm::txtInternetPath_Change);
    text("txtDivideOntoChunks", &MainForm::txtDivideOntoChunks_Change);
    text("txtPasswordProtection", &MainForm::txtPasswordProtection_Change);

    auto click = [this](const char* name, void (MainForm::*handler)()) {
        m_form.Find(name)->Click = [this, handler](int32_t) { (this->*handler)(); };
    };
    click("chkDivideOntoChunks", &MainForm::chkDivideOntoChunks_Click);
    click("chkResumeDownloading", &MainForm::chkResumeDownloading_Click);
    click("chkPasswordProtection", &MainForm::chkPasswordProtection_Click);
    click("chkMaskPassword", &MainForm::chkMaskPassword_Click);
    click("chkAutoUninstall", &MainForm::chkAutoUninstall_Click);
    click("cmdProductIcon", &MainForm::cmdProductIcon_Click);
    click("cmdWhatsNewFile", &MainForm::cmdWhatsNewFile_Click);
    click("cmdAdvertismentFile", &MainForm::cmdAdvertismentFile_Click);
    click("cmdKLDTempPath", &MainForm::cmdKLDTempPath_Click);

    // Enter in a file box opens its chooser; other keys pass unchanged.
    auto enter_browses = [this](const char* name, void (MainForm::*browse)()) {
        m_form.Get<TextBox>(name).KeyPress = [this, browse](int32_t, int16_t& key) {
            if (key == 13) (this->*browse)();
        };
    };
    enter_browses("txtIconFile", &MainForm::cmdProductIcon_Click);
    enter_browses("txtWhatsNewFile", &MainForm::cmdWhatsNewFile_Click);
    enter_browses("txtAdvertismentFile", &MainForm::cmdAdvertismentFile_Click);
    enter_browses("txtKLDTempPath", &MainForm::cmdKLDTempPath_Click);

    hooks.RefreshTabs = [this](bool show) { RefreshTabs(show); };
    hooks.RefreshLocationTab = [this](int16_t what) { RefreshLocationFields(what); };
}

// ---------------------------------------------------------------- refreshes

void MainForm::RefreshTabs(bool show) {
    auto& tabs = m_form.Get<TabStrip>("ctlTabs");
    tabs.SetVisible(show);
    tabs.SetEnabled(show);
    if (!show || !m_d) return;
    RefreshProductTab(0);
    RefreshInstallTab(0);
    RefreshLocationFields(0);
    RefreshDestinationTab(0);
    RefreshDownloadTab(0);
    if (hooks.RefreshSceneryTab) hooks.RefreshSceneryTab(0);
}

void MainForm::RefreshText(const char* name, const std::string& value) {
    auto& box = m_form.Get<TextBox>(name);
    if (Rewrites(box)) box.SetText(value);
}

void MainForm::RefreshProductTab(int16_t what) {
    RefreshScope scope(*m_d);
    const ProductSettings& p = m_d->Product;
    auto put = [&](int16_t code, const char* name, const std::string& value) {
        if (what == 0 || what == code) RefreshText(name, value);
    };
    put(1, "txtProductName", p.ProductName);
    put(2, "txtManufacturer", p.Manufacturer);
    put(3, "txtIconFile", p.IconFile);
    if (what == 0 || what == 3) m_form.Get<PictureBox>("picProductIcon").SetPicture(LoadIcon(p.IconFile));
    put(4, "txtAdvertismentFile", p.AdvertisementFile);
    put(5, "txtWhatsNewFile", p.WhatsNewFile);
}

void MainForm::RefreshLocationFields(int16_t what) {
    RefreshScope scope(*m_d);
    const ProductSettings& p = m_d->Product;
    auto put = [&](int16_t code, const char* name, const std::string& value) {
        if (what == 0 || what == code) RefreshText(name, value);
    };
    put(1, "txtKLDTempPath", p.OutputFolder);
    put(2, "txtINFFile", p.INFFileName);
    put(3, "txtInternetPath", p.WebLocation);
}

void MainForm::RefreshDownloadTab(int16_t what) {
    RefreshScope scope(*m_d);
    const ProductSettings& p = m_d->Product;
    auto code = [what](int16_t c) { return what == 0 || what == c; };
    if (code(2)) {
        m_form.Get<CheckBox>("chkDivideOntoChunks").SetValue(p.ChunkSize > 0 ? 1 : 0);
        auto& box = m_form.Get<TextBox>("txtDivideOntoChunks");
        const bool chunks = p.ChunkSize >= 1;
        box.SetEnabled(chunks);
        // The chunk box always shows the size in effect, even while typed in.
        box.SetText(chunks ? std::to_string(p.ChunkSize / 1024) : std::string());
        m_form.Find("lblDivideOntoChunks")->SetEnabled(chunks);
    }
    if (code(3)) m_form.Get<CheckBox>("chkResumeDownloading").SetValue(p.ResumeDownloading ? 1 : 0);
    if (code(4)) {
        const bool password = !p.PackagePassword.empty();
        m_form.Get<CheckBox>("chkPasswordProtection").SetValue(password ? 1 : 0);
        auto& box = m_form.Get<TextBox>("txtPasswordProtection");
        auto& mask = m_form.Get<CheckBox>("chkMaskPassword");
        box.SetEnabled(true);
        if (Rewrites(box)) box.SetText(p.PackagePassword);
        mask.SetEnabled(password);
        if (password)
            box.line_edit()->setEchoMode(mask.Value() == 1 ? QLineEdit::Password : QLineEdit::Normal);
    }
    if (code(5)) m_form.Get<CheckBox>("chkAutoUninstall").SetValue(p.AutoUninstall ? 1 : 0);
}

// ---------------------------------------------------------------- editors

namespace {

// A text field's editor: the field takes the text as typed.
void StoreText(Designer& d, std::string& field, const std::string& text) {
    field = text;
    d.SetDocumentChanged();
}

} // namespace

void MainForm::EditTextField(const char* name, std::string& (*field)(Designer&),
                             const std::function<void()>& refresh) {
    if (!m_d || !m_d->EditEventsEnabled) return;
    auto& box = m_form.Get<TextBox>(name);
    RunEditor(&box, [&] {
        StoreText(*m_d, field(*m_d), box.Text());
        if (refresh) refresh();
    });
}

void MainForm::txtProductName_Change() {
    if (!m_d || !m_d->EditEventsEnabled) return;
    const std::string text = m_form.Get<TextBox>("txtProductName").Text();
    if (vb::IsBlank(text)) {
        m_d->Message("Product name cannot be empty.", mb::Exclamation);
    } else {
        m_d->Product.ProductName = text;
        m_d->SetDocumentChanged();
    }
    // After a refusal this puts the stored name back.
    RefreshProductTab(1);
}

void MainForm::txtManufacturer_Change() {
    EditTextField("txtManufacturer", [](Designer& d) -> std::string& { return d.Product.Manufacturer; }, [this] { RefreshProductTab(2); });
}

void MainForm::txtIconFile_Change() {
    EditTextField("txtIconFile", [](Designer& d) -> std::string& { return d.Product.IconFile; }, [this] { RefreshProductTab(3); });
}

void MainForm::txtAdvertismentFile_Change() {
    if (!m_d || !m_d->EditEventsEnabled) return;
    auto& box = m_form.Get<TextBox>("txtAdvertismentFile");
    RunEditor(&box, [&] {
        m_d->Product.AdvertisementFile = box.Text();
        RefreshProductTab(4);
        m_d->SetDocumentChanged();
    });
}

void MainForm::txtWhatsNewFile_Change() {
    EditTextField("txtWhatsNewFile", [](Designer& d) -> std::string& { return d.Product.WhatsNewFile; }, [this] { RefreshProductTab(5); });
}

void MainForm::txtKLDTempPath_Change() {
    EditTextField("txtKLDTempPath", [](Designer& d) -> std::string& { return d.Product.OutputFolder; }, [this] { RefreshLocationFields(1); });
}

void MainForm::txtINFFile_Change() {
    EditTextField("txtINFFile", [](Designer& d) -> std::string& { return d.Product.INFFileName; }, [this] { RefreshLocationFields(2); });
}

void MainForm::txtInternetPath_Change() {
    EditTextField("txtInternetPath", [](Designer& d) -> std::string& { return d.Product.WebLocation; }, [this] { RefreshLocationFields(3); });
}

void MainForm::chkDivideOntoChunks_Click() {
    if (!m_d || !m_d->EditEventsEnabled) return;
    int32_t& chunk = m_d->Product.ChunkSize;
    if (m_form.Get<CheckBox>("chkDivideOntoChunks").Value() != 1)
        chunk = 0;
    else if (chunk <= 0)
        chunk = kDefaultChunkKBytes * 1024;
    RefreshDownloadTab(2);
    m_d->SetDocumentChanged();
}

void MainForm::txtDivideOntoChunks_Change() {
    if (!m_d || !m_d->EditEventsEnabled) return;
    double k = vb::Int(vb::Val(m_form.Get<TextBox>("txtDivideOntoChunks").Text()));
    if (!(k > 0)) k = 0;
    if (k > kMaxChunkKBytes) k = kMaxChunkKBytes;
    m_d->Product.ChunkSize = static_cast<int32_t>(k) * 1024;
    m_d->SetDocumentChanged();
    RefreshDownloadTab(2);
}

void MainForm::chkResumeDownloading_Click() {
    if (!m_d || !m_d->EditEventsEnabled) return;
    m_d->Product.ResumeDownloading = m_form.Get<CheckBox>("chkResumeDownloading").Value() == 1;
    RefreshDownloadTab(3);
    m_d->SetDocumentChanged();
}

void MainForm::chkPasswordProtection_Click() {
    if (!m_d || !m_d->EditEventsEnabled) return;
    std::string& password = m_d->Product.PackagePassword;
    if (m_form.Get<CheckBox>("chkPasswordProtection").Value() == 1) {
        if (vb::IsBlank(m_form.Get<TextBox>("txtPasswordProtection").Text())) password = kPasswordPlaceholder;
    } else {
        password.clear();
    }
    RefreshDownloadTab(4);
    m_d->SetDocumentChanged();
}

void MainForm::txtPasswordProtection_Change() {
    EditTextField("txtPasswordProtection", [](Designer& d) -> std::string& { return d.Product.PackagePassword; }, [this] { RefreshDownloadTab(4); });
}

void MainForm::chkMaskPassword_Click() {
    if (!m_d || !m_d->EditEventsEnabled) return;
    RefreshDownloadTab(4);
}

void MainForm::chkAutoUninstall_Click() {
    if (!m_d || !m_d->EditEventsEnabled) return;
    m_d->Product.AutoUninstall = m_form.Get<CheckBox>("chkAutoUninstall").Value() == 1;
    RefreshDownloadTab(5);
    m_d->SetDocumentChanged();
}

// ---------------------------------------------------------------- choosers

namespace {

struct FileChooser {
    const char* box;
    const char* filter;
    const char* title;
};
constexpr FileChooser kIconChooser{"txtIconFile", "Icon Files (*.ico)|*.ico|All Files (*.*)|*.*",
                                   "Select Icon File"};
constexpr FileChooser kWhatsNewChooser{"txtWhatsNewFile", "Text Files (*.txt)|*.txt|All Files (*.*)|*.*",
                                       "Select 'What's New' File"};
constexpr FileChooser kAdvertismentChooser{
    "txtAdvertismentFile", "Text Files (*.txt)|*.txt|All Files (*.*)|*.*", "Select Advertisment File"};

// Offers the field's current file; a chosen file goes into the box, whose
// editor stores it.
void ChooseFile(Designer& d, Form& form, const FileChooser& chooser, const std::string& current) {
    std::string folder, name;
    SplitPath(current, folder, name);
    const std::string chosen = d.ShowOpenDialog(chooser.filter, true, folder, name, chooser.title);
    if (chosen.empty() || chosen == kCancelled) return;
    form.Get<TextBox>(chooser.box).SetText(chosen);
}

} // namespace

void MainForm::cmdProductIcon_Click() {
    if (!m_d) return;
    ChooseFile(*m_d, m_form, kIconChooser, m_d->Product.IconFile);
}

void MainForm::cmdWhatsNewFile_Click() {
    if (!m_d) return;
    ChooseFile(*m_d, m_form, kWhatsNewChooser, m_d->Product.WhatsNewFile);
}

void MainForm::cmdAdvertismentFile_Click() {
    if (!m_d) return;
    ChooseFile(*m_d, m_form, kAdvertismentChooser, m_d->Product.AdvertisementFile);
}

void MainForm::cmdKLDTempPath_Click() {
    if (!m_d) return;
    std::string folder = m_d->Product.OutputFolder;
    if (!BrowseForFolder(m_d->Prompt(), folder, "Select Folder To Store Update Stuff")) return;
    m_form.Get<TextBox>("txtKLDTempPath").SetText(folder);
}

} // namespace kld::ui
