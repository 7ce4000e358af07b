// The action property panel: its controls, the binding of their events to
// the editors, and the refresh that shows the selected record by kind and
// fills the part a refresh code names.
#include "KLDesigner/ui/action_panel.h"

#include <cmath>

#include "KLDesigner/builder/designer.h"
#include "KLDesigner/builder/vb.h"
#include "KLDesigner/ui/main_form.h"

namespace kld::ui {

using namespace plat::forms;
using plat::forms::Control;
using plat::forms::Form;
using plat::forms::ListBox;

namespace {

constexpr const char* kHklm = "HKLM\\";
constexpr const char* kProduct = "%PRODUCT%";
constexpr const char* kEditionTip =
    "If The User Has Installed Specified Edition Of The Product, The File Will Be Installed / Executed";
constexpr const char* kRegEditionTip = "If The User Has Installed Specified Edition Of The Product, The "
                                       "Registry Key Will Be Created / Deleted";

// Twips. The file frames' rows: name, size and version, date and options,
// the two file-in-use options.
constexpr ControlDesign kPanel[] = {
    // --- file block ------------------------------------------------------------
    {Kind::Label, "lblOperFileName", -1, "pnlOperFile", 120, 285, 840, 225, "File"},
    {Kind::TextBox, "txtOperFileName", -1, "pnlOperFile", 960, 240, 2520, 285, "", "File Name"},
    {Kind::CommandButton, "cmdOperFileName", -1, "pnlOperFile", 3540, 225, 1440, 315, "Browse...",
     "Select File"},
    {Kind::Label, "lblOperFileSize", -1, "pnlOperFile", 120, 645, 840, 225, "Size, byte"},
    {Kind::TextBox, "txtOperFileSize", -1, "pnlOperFile", 960, 600, 1080, 285, "", "File Size"},
    {Kind::Label, "lblOperFileVersion", -1, "pnlOperFile", 2100, 645, 660, 225, "Version"},
    {Kind::TextBox, "txtOperFileVersionHi", -1, "pnlOperFile", 2760, 600, 720, 285, "", "Version High"},
    {Kind::Label, "lblOperFileVersion_", 0, "pnlOperFile", 3495, 645, 60, 225, "."},
    {Kind::TextBox, "txtOperFileVersionLo", -1, "pnlOperFile", 3570, 600, 660, 285, "", "Version Low"},
    {Kind::Label, "lblOperFileVersion_", 1, "pnlOperFile", 4245, 645, 60, 225, "."},
    {Kind::TextBox, "txtOperFileBuild", -1, "pnlOperFile", 4320, 600, 660, 285, "", "Build Number"},
    // A mask item shows this where the size and version stand for a file.
    {Kind::CheckBox, "chkOperFileIncludeSubDirs", -1, "pnlOperFile", 120, 615, 4860, 255,
     "Include Subdirectories With Files", "All Subdirectories And Files Will Be Included To Update", false},
    {Kind::Label, "lblOperFileDate", -1, "pnlOperFile", 120, 975, 840, 225, "Date"},
    {Kind::TextBox, "txtOperFileDate", -1, "pnlOperFile", 960, 930, 1920, 285, "",
     "File Creation Date (American Format)"},
    {Kind::CheckBox, "chkOperEncrypt", -1, "pnlOperFile", 1440, 1260, 1200, 255, "Encrypt",
     "The File Will Be Encrypted"},
    {Kind::CheckBox, "chkOperCompress", -1, "pnlOperFile", 2760, 1260, 1500, 255, "Compress",
     "The File Will Be ZIPed"},
    {Kind::CheckBox, "chkOperFileRegister", -1, "pnlOperFile", 120, 1260, 1200, 255, "Register",
     "Register OCX or DLL"},
    {Kind::CheckBox, "chkOperFileAskUserToClose", -1, "pnlOperFile", 120, 1530, 2340, 255,
     "Ask User To Close File", "If Existing File Is In Use A Messagebox Will Be Displayed To The User"},
    {Kind::CheckBox, "chkOperFileUpdateAfterRestart", -1, "pnlOperFile", 2520, 1530, 2460, 255,
     "Update File On Restart",
     "If Existing File Is In Use And Cannot Be Replaced It Will Be Installed After Window Restart"},

    // --- destinations ------------------------------------------------------------
    {Kind::ListBox, "lstOperDestFolders", -1, "pnlOperDestFolder", 120, 240, 2040, 840, "",
     "Folder Where The File Should Be Installed / Executed"},
    {Kind::Label, "lblOperDestFolder", -1, "pnlOperDestFolder", 2280, 285, 540, 225, "Value"},
    {Kind::ComboBox, "cboOperFileDestPath", -1, "pnlOperDestFolder", 2820, 240, 2160, 315, kProduct, "",
     true, 0},
    {Kind::ComboBox, "cboOperFileDestRegKey", -1, "pnlOperDestFolder", 2820, 240, 2160, 315, kHklm, "",
     false, 0},
    {Kind::Label, "lblOperDestFolder_2", -1, "pnlOperDestFolder", 2280, 615, 540, 225, "Value"},
    {Kind::TextBox, "txtOperFileDestRegKeyValue", -1, "pnlOperDestFolder", 2820, 570, 2160, 285},
    {Kind::OptionButton, "optOperDestFolderType", 0, "pnlOperDestFolder", 120, 1140, 1560, 255,
     "Not Specified"},
    {Kind::OptionButton, "optOperDestFolderType", 1, "pnlOperDestFolder", 1860, 1140, 1440, 255,
     "Disk Folder"},
    {Kind::OptionButton, "optOperDestFolderType", 3, "pnlOperDestFolder", 3420, 1140, 1560, 255,
     "Ask The User"},
    {Kind::OptionButton, "optOperDestFolderType", 2, "pnlOperDestFolder", 120, 1410, 4860, 255,
     "Disk Folder Specified In The Registry Key"},
    {Kind::CheckBox, "chkCreateNewOperDestFolder", -1, "pnlOperDestFolder", 120, 1680, 4860, 255,
     "Create New Folder If Does Not Exist", "If Destination Folder Doesn't Exist It Will Be Created"},

    // --- criteria of a file action --------------------------------------------------
    {Kind::Label, "lblOperFileCriteriaType", -1, "pnlOperFileCriteria", 120, 285, 1500, 225,
     "Update File If"},
    {Kind::ComboBox, "cboOperFileCriteriaType", -1, "pnlOperFileCriteria", 1680, 240, 3300, 315, "",
     "Criteria When The File Should Be Installed / Executed", true, 2},
    {Kind::Label, "lblOperFileCriteriaValue", -1, "pnlOperFileCriteria", 120, 645, 1500, 225,
     "Registry Key"},
    {Kind::ComboBox, "cboOperFileCriteriaPath", -1, "pnlOperFileCriteria", 1680, 600, 3300, 315, kProduct,
     "", true, 0},
    {Kind::ComboBox, "cboOperFileCriteriaRegKey", -1, "pnlOperFileCriteria", 1680, 600, 3300, 315, kHklm,
     "", true, 0},
    {Kind::Label, "lblOperFileCriteriaValue_2", -1, "pnlOperFileCriteria", 120, 1005, 1500, 225, "Value"},
    {Kind::TextBox, "txtOperFileCriteriaRegKeyValue", -1, "pnlOperFileCriteria", 1680, 960, 3300, 285},
    {Kind::Label, "lblOperFileCriteriaEdition", -1, "pnlOperFileCriteria", 120, 1365, 2400, 225,
     "Update If Product Edition Is", kEditionTip},
    {Kind::ComboBox, "cboOperFileCriteriaEdition", -1, "pnlOperFileCriteria", 2520, 1320, 1500, 315, "",
     kEditionTip, true, 2},
    {Kind::TextBox, "txtOperFileCriteriaEdition", -1, "pnlOperFileCriteria", 4080, 1335, 900, 285, "",
     kEditionTip},
    {Kind::CheckBox, "chkOperFileLogToRegistry", -1, "pnlOperFileCriteria", 120, 1695, 4860, 255,
     "&Create Registry Key Value After Action",
     "After The File Is Successfully Installed / Executed The Registry Key Will Be Created"},
    {Kind::TextBox, "txtOperFileLogToRegistryData", -1, "pnlOperFileCriteria", 360, 1980, 4620, 285, "",
     "Registry Key Value Data", false},
    {Kind::CheckBox, "chkOperFileCreateNew", -1, "pnlOperFileCriteria", 120, 2340, 4860, 255,
     "Create New File If Doesn't Exist"},

    // --- registry actions --------------------------------------------------------------
    {Kind::Label, "lblOperRegKey", -1, "pnlOperationRegistry", 180, 285, 900, 225, "Key"},
    {Kind::ComboBox, "cboOperRegKey", -1, "pnlOperationRegistry", 1140, 240, 3960, 315, kHklm,
     "Registry Key", true, 0},
    {Kind::Label, "lblOperRegKeyValue", -1, "pnlOperationRegistry", 180, 645, 900, 225, "Value"},
    {Kind::TextBox, "txtOperRegKeyValue", -1, "pnlOperationRegistry", 1140, 600, 3960, 285, "",
     "Registry Key Value"},
    {Kind::Label, "lblOperRegDataType", -1, "pnlOperationRegistry", 180, 1005, 900, 225, "Data Type"},
    {Kind::ComboBox, "cboOperRegDataType", -1, "pnlOperationRegistry", 1140, 960, 1500, 315, "",
     "Key Value Data Type", true, 2},
    {Kind::Label, "lblOperRegKeyValueData", -1, "pnlOperationRegistry", 180, 1365, 900, 225, "Data"},
    {Kind::TextBox, "txtOperRegKeyValueData", -1, "pnlOperationRegistry", 1140, 1320, 3960, 285, "",
     "Value Data"},
    {Kind::Frame, "pnlOperRegCriteria", -1, "pnlOperationRegistry", 60, 1740, 5100, 2100, "Criteria"},
    {Kind::Label, "lblOperRegCriteriaType", -1, "pnlOperRegCriteria", 120, 285, 1500, 225, "Create Key If"},
    {Kind::ComboBox, "cboOperRegCriteriaType", -1, "pnlOperRegCriteria", 1680, 240, 3300, 315, "",
     "Criteria When The Registry Key Should Be Created / Deleted", true, 2},
    {Kind::Label, "lblOperRegCriteriaValue", -1, "pnlOperRegCriteria", 120, 645, 1500, 225, "Value"},
    {Kind::ComboBox, "cboOperRegCriteriaPath", -1, "pnlOperRegCriteria", 1680, 600, 3300, 315, kProduct, "",
     true, 0},
    {Kind::ComboBox, "cboOperRegCriteriaRegKey", -1, "pnlOperRegCriteria", 1680, 600, 3300, 315, kHklm, "",
     true, 0},
    {Kind::Label, "lblOperRegCriteriaValue_2", -1, "pnlOperRegCriteria", 120, 1005, 1500, 225, "Value"},
    {Kind::TextBox, "txtOperRegCriteriaRegKeyValue", -1, "pnlOperRegCriteria", 1680, 960, 3300, 285},
    {Kind::Label, "lblOperRegCriteriaEdition", -1, "pnlOperRegCriteria", 120, 1365, 2400, 225,
     "Create If Product Edition Is", kRegEditionTip},
    {Kind::ComboBox, "cboOperRegCriteriaEdition", -1, "pnlOperRegCriteria", 2520, 1320, 1500, 315, "",
     kRegEditionTip, true, 2},
    {Kind::TextBox, "txtOperRegCriteriaEdition", -1, "pnlOperRegCriteria", 4080, 1335, 900, 285, "",
     kRegEditionTip},
    {Kind::CheckBox, "chkOperRegCreateNew", -1, "pnlOperRegCriteria", 120, 1710, 4860, 255,
     "Create New Key If Doesn't Exist"},
};

std::string SingleText(float v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.7g", static_cast<double>(v));
    return buf;
}

} // namespace

std::span<const ControlDesign> ActionPanelControls() {
    return kPanel;
}

std::string ActionPanelCaption(int16_t actionType, bool isGroup, bool isFileMask) {
    switch (actionType) {
    case action::InstallFile:
        return isGroup ? "Install Files (Default Settings)" : isFileMask ? "Install Folder" : "Install File";
    case action::ExecuteFile:
        return isGroup ? "Execute Files (Default Settings)" : "Execute File";
    case action::CreateRegistry:
        return isGroup ? "Create Registry Keys / Set Values (Default Settings)"
                       : "Create Registry Key / Set Key Value";
    case action::DeleteRegistry:
        return isGroup ? "Delete Registry Keys (Default Settings)" : "Delete Registry Key / Key Value";
    default:
        return {};
    }
}

std::optional<int32_t> WholeNumberOfText(std::string_view text) {
    const double v = std::nearbyint(vb::Val(text)); // the default rounding mode: halves to even
    if (!(v >= -2147483648.0 && v <= 2147483647.0)) return std::nullopt;
    return static_cast<int32_t>(v);
}

int32_t LongDataOfText(std::string_view text) {
    const double v = vb::Val(text);
    if (v > 2147483647.0) return 2147483647;
    if (v < -2147483648.0) return INT32_MIN;
    if (std::isnan(v)) return 0;
    return static_cast<int32_t>(std::floor(v));
}

// ---------------------------------------------------------------- set-up

ActionPanel::ActionPanel(MainForm& main) : m_main(main) {
    Form& f = m_main.form();
    BuildControls(f, kPanel);
    auto& dest = f.Get<ListBox>("lstOperDestFolders");
    for (const char* row : {"Main folder", "Alternative folder 1", "Alternative folder 2"})
        dest.AddItem(row);
    // Typed combos start with their design-time text.
    for (const ControlDesign& r : kPanel)
        if (r.kind == Kind::ComboBox && *r.caption) f.Get<ComboBox>(r.name).SetText(r.caption);
    Bind();
}

Designer* ActionPanel::D() const {
    return m_main.Attached() ? &m_main.designer() : nullptr;
}

Control& ActionPanel::C(const char* name, int32_t index) const {
    return *m_main.form().Find(name, index);
}

bool ActionPanel::IsSource(const char* name, int32_t index) const {
    return m_source && m_source == m_main.form().Find(name, index);
}

void ActionPanel::Show(const char* name, bool on, int32_t index) {
    if (Control* c = m_main.form().Find(name, index)) c->SetVisible(on);
}

void ActionPanel::SetCaptionOf(const char* name, const std::string& caption, int32_t index) {
    Control* c = m_main.form().Find(name, index);
    if (auto* l = dynamic_cast<Label*>(c))
        l->SetCaption(caption);
    else if (auto* fr = dynamic_cast<Frame*>(c))
        fr->SetCaption(caption);
    else if (auto* p = dynamic_cast<Panel*>(c))
        p->SetCaption(caption);
    else if (auto* k = dynamic_cast<CheckBox*>(c))
        k->SetCaption(caption);
}

void ActionPanel::PutText(const char* name, const std::string& text) {
    if (IsSource(name)) return;
    Control* c = m_main.form().Find(name);
    if (auto* t = dynamic_cast<TextBox*>(c))
        t->SetText(text);
    else if (auto* b = dynamic_cast<ComboBox*>(c))
        b->SetText(text);
}

void ActionPanel::PutListIndex(const char* name, int32_t index) {
    if (IsSource(name)) return;
    if (auto* l = dynamic_cast<ListControl*>(m_main.form().Find(name)))
        l->SetListIndex(index >= -1 && index < l->ListCount() ? index : -1);
}

void ActionPanel::PutCheck(const char* name, bool on) {
    if (auto* k = dynamic_cast<CheckBox*>(m_main.form().Find(name))) k->SetValue(on ? 1 : 0);
}

ActionRecord* ActionPanel::RecordAt(int32_t record) const {
    Designer* d = D();
    return d && d->IsRecordIndex(record) ? &d->Actions[static_cast<size_t>(record)] : nullptr;
}

ActionPanel::Selection ActionPanel::Selected() const {
    Selection s;
    IActionTree& tree = D()->Operations();
    s.item = tree.ListIndex();
    if (s.item < 0) return s;
    const TreeValue rec = tree.ItemLngValue(s.item);
    if (rec.ok()) s.record = rec.value;
    const TreeValue parent = tree.ItemParent(s.item);
    if (parent.ok() && parent.value >= 0) {
        s.parentItem = parent.value;
        const TreeValue prec = tree.ItemLngValue(parent.value);
        if (prec.ok()) s.parentRecord = prec.value;
    }
    return s;
}

// ---------------------------------------------------------------- refresh

void ActionPanel::RefreshOperAttributes(int16_t what) {
    Refresh(what, false);
}

void ActionPanel::RefreshSceneryTab(int16_t what) {
    Refresh(what, true);
}

void ActionPanel::Refresh(int16_t what, bool scenery) {
    Designer* d = D();
    if (!d || d->ActionListViewStyle != 0) return;
    d->EditEventsEnabled = false;
    Control& props = C("pnlOperationProperties");
    bool shown = false;
    const Selection s = Selected();
    if (s.item >= 0) {
        m_main.vntOperations().SetEnabled(true);
        props.SetVisible(true);
        if (const ActionRecord* r = RecordAt(s.record)) {
            // One part refreshed for a newly selected record would leave
            // the others showing the record shown before.
            if (s.record != m_shownRecord) what = 0;
            ShowKind(*r);
            RefreshPart(what, s, scenery);
            m_shownRecord = s.record;
            shown = true;
        }
    }
    if (!shown) {
        m_shownRecord = -1;
        props.SetVisible(false);
        if (scenery) m_main.vntOperations().SetEnabled(false);
    }
    d->EditEventsEnabled = true;
}

// The frame's caption, the criteria labels and which sub-panel and
// controls a record of this kind shows.
void ActionPanel::ShowKind(const ActionRecord& r) {
    const int16_t type = r.ActionType;
    if (type < action::InstallFile || type > action::DeleteRegistry) return;
    SetCaptionOf("pnlOperationProperties",
                 ActionPanelCaption(type, r.IsGroup, type == action::InstallFile && r.IsFolder));
    const bool file = type == action::InstallFile || type == action::ExecuteFile;
    if (file) {
        const bool install = type == action::InstallFile;
        SetCaptionOf("lblOperFileCriteriaType", install ? "Install File If" : "Execute File If");
        SetCaptionOf("lblOperFileCriteriaEdition",
                     install ? "Install If Product Edition Is" : "Execute If Product Edition Is");
        SetCaptionOf("chkOperFileLogToRegistry", install ? "Create The Registry Key Value After Installing"
                                                         : "Create The Registry Key Value After Executing");
        Show("pnlOperationFile", true);
        Show("pnlOperationRegistry", false);
        Show("chkOperFileCreateNew", install);
        if (!install) {
            Show("chkOperFileAskUserToClose", false);
            Show("chkOperFileUpdateAfterRestart", false);
        }
        return;
    }
    const bool create = type == action::CreateRegistry;
    SetCaptionOf("lblOperRegCriteriaType", create ? "Create Key If" : "Delete Key If");
    SetCaptionOf("lblOperRegCriteriaEdition", create ? "Create If Product Edition Is" : "Delete If Product Edition Is");
    Show("pnlOperationFile", false);
    Show("pnlOperationRegistry", true);
    C("cboOperRegKey").SetEnabled(r.IsGroup);
    const bool data = create && !r.IsGroup;
    for (const char* name : {"lblOperRegKeyValueData", "txtOperRegKeyValueData", "lblOperRegDataType",
                             "cboOperRegDataType"})
        Show(name, data);
    Show("chkOperRegCreateNew", create);
}

void ActionPanel::RefreshPart(int16_t code, const Selection& s, bool scenery) {
    const ActionRecord& r = *RecordAt(s.record);
    const int16_t type = r.ActionType;
    const bool file = type == action::InstallFile || type == action::ExecuteFile;
    const bool reg = type == action::CreateRegistry || type == action::DeleteRegistry;
    if (code == 0) {
        if (file)
            for (int16_t c = 1; c <= 10; ++c)
                RefreshPart(c, s, scenery);
        if (reg)
            for (int16_t c = 11; c <= 16; ++c)
                RefreshPart(c, s, scenery);
        return;
    }
    const bool install = type == action::InstallFile;
    const bool create = type == action::CreateRegistry;
    const int32_t i = s.record;
    switch (code) {
    case 1:
        if (file) FillFileNameRow(i, scenery);
        break;
    case 2:
        if (file) PutCheck("chkOperEncrypt", r.Encrypt);
        break;
    case 3:
        if (install) PutCheck("chkOperFileAskUserToClose", r.AskClose);
        break;
    case 4:
        if (install) PutCheck("chkOperFileUpdateAfterRestart", r.UpdateOnRestart);
        break;
    case 5:
        if (file) RefreshOperInstallCriteriaInfo(i);
        break;
    case 6:
        if (file) PutCheck("chkOperFileRegister", r.Register);
        break;
    case 7:
        if (file) {
            PutListIndex("cboOperFileCriteriaEdition", r.EditionCompare);
            Show("txtOperFileCriteriaEdition", r.EditionCompare != 0);
            if (r.EditionCompare != 0) PutText("txtOperFileCriteriaEdition", SingleText(r.Edition));
        }
        break;
    case 8:
        if (file) PutCheck("chkOperFileCreateNew", r.CreateNew);
        break;
    case 9:
        if (file) {
            auto& rows = m_main.form().Get<ListBox>("lstOperDestFolders");
            if (rows.ListIndex() < 0) rows.SetListIndex(0);
            RefreshOperInstallPathInfo(i);
        }
        break;
    case 10:
        if (file) PutCheck("chkOperCompress", r.Compress);
        break;
    case 11:
        if (reg) {
            const ActionRecord* keyed = r.IsGroup ? &r : RecordAt(s.parentRecord);
            if (keyed) PutText("cboOperRegKey", keyed->RegKey);
        }
        break;
    case 12:
        if (reg) PutText("txtOperRegKeyValue", r.RegValueName);
        break;
    case 13:
        if (create) {
            auto& types = m_main.form().Get<ComboBox>("cboOperRegDataType");
            int32_t at = -1;
            for (int32_t k = 0; k < types.ListCount() && at < 0; ++k)
                if (types.ItemData(k) == r.RegDataType) at = k;
            PutListIndex("cboOperRegDataType", at);
            PutText("txtOperRegKeyValueData",
                    r.RegDataType == 4 ? std::to_string(r.RegDataNumber) : r.RegDataText);
        }
        break;
    case 14:
        if (reg) RefreshOperRegCriteriaInfo(i);
        break;
    case 15:
        if (reg) {
            PutListIndex("cboOperRegCriteriaEdition", r.EditionCompare);
            Show("txtOperRegCriteriaEdition", r.EditionCompare != 0);
            if (r.EditionCompare != 0) PutText("txtOperRegCriteriaEdition", SingleText(r.Edition));
        }
        break;
    case 16:
        if (create) PutCheck("chkOperRegCreateNew", r.CreateNew);
        break;
    default:
        break;
    }
}

// The name row by kind: a group's source folder, a mask item's mask, a
// file item's file; the name box ends where the browse button starts, or at
// the build box when a mask item has no button.
void ActionPanel::FillFileNameRow(int32_t record, bool scenery) {
    const ActionRecord& r = *RecordAt(record);
    const bool mask = !r.IsGroup && r.IsFolder;
    Control& name = C("txtOperFileName");
    Control& button = C("cmdOperFileName");
    const Control& edge = C(mask ? "txtOperFileBuild" : "txtOperFileVersionHi");
    SetCaptionOf("lblOperFileName", r.IsGroup ? "Folder" : mask ? "File Mask" : "File");
    if (!scenery) SetCaptionOf("pnlOperFile", r.IsGroup ? "Source Folder" : mask ? "Files" : "File");
    button.SetVisible(!mask);
    PutText("txtOperFileName", r.IsGroup ? r.SourceFolder : r.SourcePath);
    name.SetToolTipText(r.IsGroup ? "Source Folder Where Files Are Located"
                        : mask    ? "File Mask To Select Files (Use '?' And '*')"
                                  : "File Name");
    if (!mask) button.SetToolTipText(r.IsGroup ? "Select Folder" : "Select File");
    name.SetWidth(edge.Left() + edge.Width() - name.Left());
    RefreshOperFileAttributes(record, r.IsGroup || !r.SourcePath.empty());
}

void ActionPanel::ReassignOperFileName() {
    auto& name = m_main.form().Get<TextBox>("txtOperFileName");
    name.SetText(name.Text());
}

// ---------------------------------------------------------------- events

void ActionPanel::Raise(Control* source, void (ActionPanel::*editor)()) {
    Control* outer = m_source;
    m_source = source;
    (this->*editor)();
    m_source = outer;
}

void ActionPanel::Bind() {
    Form& f = m_main.form();
    auto text = [&](const char* name, void (ActionPanel::*editor)()) {
        auto& t = f.Get<TextBox>(name);
        t.Change = [this, &t, editor](int32_t) { Raise(&t, editor); };
    };
    auto click = [&](const char* name, void (ActionPanel::*editor)()) {
        Control& c = *f.Find(name);
        c.Click = [this, &c, editor](int32_t) { Raise(&c, editor); };
    };
    // A combo that takes typing stores typed text as a picked entry.
    auto typed = [&](const char* name, void (ActionPanel::*editor)()) {
        auto& c = f.Get<ComboBox>(name);
        c.Click = [this, &c, editor](int32_t) { Raise(&c, editor); };
        c.Change = [this, &c, editor](int32_t) { Raise(&c, editor); };
    };
    text("txtOperFileName", &ActionPanel::txtOperFileName_Change);
    f.Get<TextBox>("txtOperFileName").KeyPress = [this](int32_t, int16_t& key) { txtOperFileName_KeyPress(key); };
    text("txtOperFileSize", &ActionPanel::txtOperFileSize_Change);
    text("txtOperFileDate", &ActionPanel::txtOperFileDate_Change);
    text("txtOperFileVersionHi", &ActionPanel::txtOperFileVersionHi_Change);
    text("txtOperFileVersionLo", &ActionPanel::txtOperFileVersionLo_Change);
    text("txtOperFileBuild", &ActionPanel::txtOperFileBuild_Change);
    click("chkOperFileIncludeSubDirs", &ActionPanel::chkOperFileIncludeSubDirs_Click);
    click("chkOperEncrypt", &ActionPanel::chkOperEncrypt_Click);
    click("chkOperFileAskUserToClose", &ActionPanel::chkOperFileAskUserToClose_Click);
    click("chkOperFileUpdateAfterRestart", &ActionPanel::chkOperFileUpdateAfterRestart_Click);
    click("cboOperFileCriteriaType", &ActionPanel::cboOperFileCriteriaType_Click);
    typed("cboOperFileCriteriaPath", &ActionPanel::cboOperFileCriteriaPath_Click);
    typed("cboOperFileCriteriaRegKey", &ActionPanel::cboOperFileCriteriaRegKey_Click);
    text("txtOperFileCriteriaRegKeyValue", &ActionPanel::txtOperFileCriteriaRegKeyValue_Change);
    click("chkOperFileLogToRegistry", &ActionPanel::chkOperFileLogToRegistry_Click);
    click("chkOperFileRegister", &ActionPanel::chkOperFileRegister_Click);
    text("txtOperFileLogToRegistryData", &ActionPanel::txtOperFileLogToRegistryData_Change);
    click("cboOperFileCriteriaEdition", &ActionPanel::cboOperFileCriteriaEdition_Click);
    text("txtOperFileCriteriaEdition", &ActionPanel::txtOperFileCriteriaEdition_Change);
    click("chkOperFileCreateNew", &ActionPanel::chkOperFileCreateNew_Click);
    typed("cboOperFileDestPath", &ActionPanel::cboOperFileDestPath_Click);
    typed("cboOperFileDestRegKey", &ActionPanel::cboOperFileDestRegKey_Click);
    text("txtOperFileDestRegKeyValue", &ActionPanel::txtOperFileDestRegKeyValue_Change);
    click("chkCreateNewOperDestFolder", &ActionPanel::chkCreateNewOperDestFolder_Click);
    for (int32_t k = 0; k < 4; ++k) {
        Control& o = *f.Find("optOperDestFolderType", k);
        o.Click = [this, &o](int32_t index) {
            Control* outer = m_source;
            m_source = &o;
            optOperDestFolderType_Click(index);
            m_source = outer;
        };
    }
    click("lstOperDestFolders", &ActionPanel::lstOperDestFolders_Click);
    click("chkOperCompress", &ActionPanel::chkOperCompress_Click);
    typed("cboOperRegKey", &ActionPanel::cboOperRegKey_Click);
    text("txtOperRegKeyValue", &ActionPanel::txtOperRegKeyValue_Change);
    click("cboOperRegDataType", &ActionPanel::cboOperRegDataType_Click);
    text("txtOperRegKeyValueData", &ActionPanel::txtOperRegKeyValueData_Change);
    click("cboOperRegCriteriaType", &ActionPanel::cboOperRegCriteriaType_Click);
    typed("cboOperRegCriteriaPath", &ActionPanel::cboOperRegCriteriaPath_Click);
    typed("cboOperRegCriteriaRegKey", &ActionPanel::cboOperRegCriteriaRegKey_Click);
    text("txtOperRegCriteriaRegKeyValue", &ActionPanel::txtOperRegCriteriaRegKeyValue_Change);
    click("cboOperRegCriteriaEdition", &ActionPanel::cboOperRegCriteriaEdition_Click);
    text("txtOperRegCriteriaEdition", &ActionPanel::txtOperRegCriteriaEdition_Change);
    click("chkOperRegCreateNew", &ActionPanel::chkOperRegCreateNew_Click);
    auto& browse = f.Get<CommandButton>("cmdOperFileName");
    browse.Click = [this](int32_t) { cmdOperFileName_Click(); };
}

} // namespace kld::ui
