// The Installation and Destination tabs: two master-detail pairs over the
// product's install criteria and destination folders. A list box picks the
// entry, an option group gives its type, and the type decides which detail
// fields show. Every detail editor writes the selected entry and refreshes
// the details from it.
#include "KLDesigner/ui/main_form.h"

#include "KLDesigner/builder/vb.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <span>

namespace kld::ui {

using namespace plat::forms;
using plat::forms::Control;
using plat::forms::Form;
using plat::forms::ListBox;

namespace {

constexpr int32_t kCriterionTypes = 6;
constexpr int32_t kDestinationTypes = 4;

constexpr const char* kCriteriaRows[] = {"Main criteria", "Alternative criteria 1", "Alternative criteria 2"};
constexpr const char* kDestinationRows[] = {"Main folder", "Alternative folder 1", "Alternative folder 2"};
constexpr const char* kPlatforms[] = {"Any",           "Windows 95",      "Windows 98",     "Windows 2000",
                                      "Windows 95 & 98", "Windows NT 4.0", "Windows NT 5.0", "Windows NT 4.0 & 5.0"};

// An edition in its shortest decimal form: "0", "1.5", "2000".
std::string EditionText(float edition) {
    char buffer[64];
    const float magnitude = std::fabs(edition);
    const bool plain = edition == 0 || (magnitude >= 1e-5F && magnitude < 1e15F);
    const auto r = plain ? std::to_chars(buffer, buffer + sizeof buffer, edition, std::chars_format::fixed)
                         : std::to_chars(buffer, buffer + sizeof buffer, edition);
    return std::string(buffer, r.ptr);
}

class RefreshScope {
  public:
    explicit RefreshScope(Designer& d) : m_d(d) { m_d.EditEventsEnabled = false; }
    ~RefreshScope() { m_d.EditEventsEnabled = true; }
    RefreshScope(const RefreshScope&) = delete;
    RefreshScope& operator=(const RefreshScope&) = delete;

  private:
    Designer& m_d;
};

// The entry a list box selects, when the list selects one of `entries`.
template <class T> T* Selected(const ListBox& list, std::vector<T>& entries) {
    const int32_t i = list.ListIndex();
    return i >= 0 && i < static_cast<int32_t>(entries.size()) ? &entries[static_cast<size_t>(i)] : nullptr;
}

} // namespace

void MainForm::WireInstallTabs() {
    auto fill = [this](const char* name, std::span<const char* const> rows) {
        auto& list = m_form.Get<ListControl>(name);
        for (const char* row : rows)
            list.AddItem(row);
    };
    fill("lstInstallCriterias", kCriteriaRows);
    fill("lstProductPathes", kDestinationRows);
    fill("cboInstallWinVersion", kPlatforms);

    auto click = [this](const char* name, void (MainForm::*handler)()) {
        m_form.Find(name)->Click = [this, handler](int32_t) { (this->*handler)(); };
    };
    click("optInstallNew", &MainForm::optInstallNew_Click);
    click("optUpdateOld", &MainForm::optUpdateOld_Click);
    click("lstInstallCriterias", &MainForm::lstInstallCriterias_Click);
    click("cboInstallWinVersion", &MainForm::cboInstallWinVersion_Click);
    click("lstProductPathes", &MainForm::lstProductPathes_Click);
    click("chkInstallPathCreateNewFolder", &MainForm::chkInstallPathCreateNewFolder_Click);
    for (int32_t i = 0; i < kCriterionTypes; ++i)
        m_form.Find("optInstallCriteriaType", i)->Click = [this](int32_t index) {
            optInstallCriteriaType_Click(index);
        };
    for (int32_t i = 0; i < kDestinationTypes; ++i)
        m_form.Find("optInstallPathType", i)->Click = [this](int32_t index) { optInstallPathType_Click(index); };

    // A typing combo's Change runs its Click.
    auto combo = [this](const char* name, void (MainForm::*handler)()) {
        auto& c = m_form.Get<ComboBox>(name);
        c.Click = [this, handler](int32_t) { (this->*handler)(); };
        c.Change = [this, handler](int32_t) { (this->*handler)(); };
    };
    combo("cboInstallCriteriaRegKey", &MainForm::cboInstallCriteriaRegKey_Click);
    combo("cboInstallCriteriaPath", &MainForm::cboInstallCriteriaPath_Click);
    combo("cboProductDestinationPath", &MainForm::cboProductDestinationPath_Click);
    combo("cboProductDestinationRegKey", &MainForm::cboProductDestinationRegKey_Click);

    auto text = [this](const char* name, void (MainForm::*editor)()) {
        m_form.Get<TextBox>(name).Change = [this, editor](int32_t) { (this->*editor)(); };
    };
    text("txtInstallCriteriaRegValue", &MainForm::txtInstallCriteriaRegValue_Change);
    text("txtInstallEdition", &MainForm::txtInstallEdition_Change);
    text("txtProductDestinationRegValue", &MainForm::txtProductDestinationRegValue_Change);
}

// ---------------------------------------------------------------- refreshes

void MainForm::RefreshInstallTab(int16_t what) {
    RefreshScope scope(*m_d);
    auto code = [what](int16_t c) { return what == 0 || what == c; };
    if (code(1)) {
        // Turning one option on turns the other off.
        m_form.Get<OptionButton>(m_d->Product.InstallNew ? "optInstallNew" : "optUpdateOld").SetValue(true);
    }
    if (code(2)) m_form.Get<ComboBox>("cboInstallWinVersion").SetListIndex(0);
    if (code(3)) {
        auto& list = m_form.Get<ListBox>("lstInstallCriterias");
        if (list.ListIndex() < 0) list.SetListIndex(0);
        RefreshProductInstallCriteriaInfo();
    }
}

void MainForm::RefreshProductInstallCriteriaInfo() {
    RefreshScope scope(*m_d);
    const ProductCriterion* entry =
        Selected(m_form.Get<ListBox>("lstInstallCriterias"), m_d->Product.InstallCriteria);
    if (!entry) return;
    const int16_t type = entry->CriterionType;
    if (type >= 0 && type < kCriterionTypes) {
        m_form.Get<OptionButton>("optInstallCriteriaType", type).SetValue(true);
    } else {
        // A type without an option: none of them is on.
        for (int32_t i = 0; i < kCriterionTypes; ++i)
            m_form.Get<OptionButton>("optInstallCriteriaType", i).SetValue(false);
    }
    const bool key = type == 1 || type == 4 || type == 5;
    const bool disk = type == 2 || type == 3;
    m_form.Get<Label>("lblInstallCriteria").SetCaption(key ? "Key" : type == 2 ? "File" : type == 3 ? "Folder" : "");

    auto& reg_key = m_form.Get<ComboBox>("cboInstallCriteriaRegKey");
    auto& value = m_form.Get<TextBox>("txtInstallCriteriaRegValue");
    auto& path = m_form.Get<ComboBox>("cboInstallCriteriaPath");
    auto& edition = m_form.Get<TextBox>("txtInstallEdition");
    reg_key.SetVisible(key);
    m_form.Find("lblInstallCriteria_2")->SetVisible(key);
    value.SetVisible(key);
    path.SetVisible(disk);
    m_form.Find("lblInstallEdition")->SetVisible(key || disk);
    edition.SetVisible(key || disk);
    if (key) {
        if (Rewrites(reg_key)) reg_key.SetText(entry->RegKey);
        if (Rewrites(value)) value.SetText(entry->RegValueName);
    }
    if (disk && Rewrites(path)) path.SetText(entry->Path);
    if ((key || disk) && Rewrites(edition)) edition.SetText(EditionText(entry->Edition));
}

void MainForm::RefreshDestinationTab(int16_t what) {
    RefreshScope scope(*m_d);
    if (what != 0 && what != 4) return;
    auto& list = m_form.Get<ListBox>("lstProductPathes");
    if (list.ListIndex() < 0) list.SetListIndex(0);
    RefreshProductInstallPathInfo();
}

void MainForm::RefreshProductInstallPathInfo() {
    RefreshScope scope(*m_d);
    const DestinationFolder* entry = Selected(m_form.Get<ListBox>("lstProductPathes"), m_d->Product.InstallPaths);
    if (!entry) return;
    const int16_t type = entry->FolderType;
    if (type >= 0 && type < kDestinationTypes) {
        m_form.Get<OptionButton>("optInstallPathType", type).SetValue(true);
    } else {
        for (int32_t i = 0; i < kDestinationTypes; ++i)
            m_form.Get<OptionButton>("optInstallPathType", i).SetValue(false);
    }
    const bool folder = type == 1, key = type == 2;
    m_form.Get<Label>("lblProductDestination").SetCaption(folder ? "Folder" : key ? "Key" : "");

    auto& path = m_form.Get<ComboBox>("cboProductDestinationPath");
    auto& reg_key = m_form.Get<ComboBox>("cboProductDestinationRegKey");
    auto& value = m_form.Get<TextBox>("txtProductDestinationRegValue");
    auto& create = m_form.Get<CheckBox>("chkInstallPathCreateNewFolder");
    path.SetVisible(folder);
    reg_key.SetVisible(key);
    value.SetVisible(key);
    m_form.Find("lblProductDestination_2")->SetVisible(key);
    create.SetVisible(folder || key);
    if (folder && Rewrites(path)) path.SetText(entry->Path);
    if (key) {
        if (Rewrites(reg_key)) reg_key.SetText(entry->RegKey);
        if (Rewrites(value)) value.SetText(entry->RegValueName);
    }
    if (folder || key) create.SetValue(entry->CreateIfMissing ? 1 : 0);
}

// ---------------------------------------------------------------- editors

void MainForm::optInstallNew_Click() {
    if (!m_d || !m_d->EditEventsEnabled) return;
    m_d->Product.InstallNew = true;
    m_d->SetDocumentChanged();
    RefreshInstallTab(1);
}

void MainForm::optUpdateOld_Click() {
    if (!m_d || !m_d->EditEventsEnabled) return;
    m_d->Product.InstallNew = false;
    m_d->SetDocumentChanged();
    RefreshInstallTab(1);
}

void MainForm::lstInstallCriterias_Click() {
    if (!m_d || !m_d->EditEventsEnabled) return;
    RefreshInstallTab(3);
}

void MainForm::optInstallCriteriaType_Click(int32_t index) {
    if (!m_d || !m_d->EditEventsEnabled) return;
    ProductCriterion* entry = Selected(m_form.Get<ListBox>("lstInstallCriterias"), m_d->Product.InstallCriteria);
    if (!entry) return;
    entry->CriterionType = static_cast<int16_t>(index);
    m_d->SetDocumentChanged();
    RefreshProductInstallCriteriaInfo();
}

void MainForm::EditCriterion(const char* source, bool refresh_first, const EntryStore<ProductCriterion>& store) {
    if (!m_d || !m_d->EditEventsEnabled) return;
    ProductCriterion* entry = Selected(m_form.Get<ListBox>("lstInstallCriterias"), m_d->Product.InstallCriteria);
    if (!entry) return;
    Control& control = *m_form.Find(source);
    store(*entry, control);
    RunEditor(&control, [&] {
        if (!refresh_first) m_d->SetDocumentChanged();
        RefreshProductInstallCriteriaInfo();
        if (refresh_first) m_d->SetDocumentChanged();
    });
}

void MainForm::cboInstallCriteriaRegKey_Click() {
    EditCriterion("cboInstallCriteriaRegKey", true,
                  [](ProductCriterion& e, Control& c) { e.RegKey = static_cast<ComboBox&>(c).Text(); });
}

void MainForm::txtInstallCriteriaRegValue_Change() {
    EditCriterion("txtInstallCriteriaRegValue", false,
                  [](ProductCriterion& e, Control& c) { e.RegValueName = static_cast<TextBox&>(c).Text(); });
}

void MainForm::cboInstallCriteriaPath_Click() {
    EditCriterion("cboInstallCriteriaPath", true,
                  [](ProductCriterion& e, Control& c) { e.Path = static_cast<ComboBox&>(c).Text(); });
}

void MainForm::txtInstallEdition_Change() {
    const double edition = vb::Val(m_form.Get<TextBox>("txtInstallEdition").Text());
    // A number the edition cannot hold keeps the stored one.
    if (!(std::fabs(edition) <= std::numeric_limits<float>::max())) return;
    EditCriterion("txtInstallEdition", false,
                  [edition](ProductCriterion& e, Control&) { e.Edition = static_cast<float>(edition); });
}

void MainForm::cboInstallWinVersion_Click() {
    if (!m_d || !m_d->EditEventsEnabled) return;
    // The platform is not kept in the document; choosing one only counts as an edit.
    m_d->SetDocumentChanged();
}

void MainForm::lstProductPathes_Click() {
    if (!m_d || !m_d->EditEventsEnabled) return;
    RefreshDestinationTab(4);
}

void MainForm::optInstallPathType_Click(int32_t index) {
    if (!m_d || !m_d->EditEventsEnabled) return;
    DestinationFolder* entry = Selected(m_form.Get<ListBox>("lstProductPathes"), m_d->Product.InstallPaths);
    if (!entry) return;
    entry->FolderType = static_cast<int16_t>(index);
    m_d->SetDocumentChanged();
    RefreshProductInstallPathInfo();
}

void MainForm::EditDestination(const char* source, bool refresh_first, const EntryStore<DestinationFolder>& store) {
    if (!m_d || !m_d->EditEventsEnabled) return;
    DestinationFolder* entry = Selected(m_form.Get<ListBox>("lstProductPathes"), m_d->Product.InstallPaths);
    if (!entry) return;
    Control& control = *m_form.Find(source);
    store(*entry, control);
    RunEditor(&control, [&] {
        if (!refresh_first) m_d->SetDocumentChanged();
        RefreshProductInstallPathInfo();
        if (refresh_first) m_d->SetDocumentChanged();
    });
}

void MainForm::cboProductDestinationPath_Click() {
    EditDestination("cboProductDestinationPath", true,
                    [](DestinationFolder& e, Control& c) { e.Path = static_cast<ComboBox&>(c).Text(); });
}

void MainForm::cboProductDestinationRegKey_Click() {
    EditDestination("cboProductDestinationRegKey", true,
                    [](DestinationFolder& e, Control& c) { e.RegKey = static_cast<ComboBox&>(c).Text(); });
}

void MainForm::txtProductDestinationRegValue_Change() {
    EditDestination("txtProductDestinationRegValue", false,
                    [](DestinationFolder& e, Control& c) { e.RegValueName = static_cast<TextBox&>(c).Text(); });
}

void MainForm::chkInstallPathCreateNewFolder_Click() {
    EditDestination("chkInstallPathCreateNewFolder", true, [](DestinationFolder& e, Control& c) {
        e.CreateIfMissing = static_cast<CheckBox&>(c).Value() == 1;
    });
}

} // namespace kld::ui
