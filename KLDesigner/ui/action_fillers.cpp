// The panel's detail blocks filled from one record: the file's size, date,
// version and options, the criteria of a file or registry action, and the
// destination row chosen in the list. They only show; edit events are off
// while they run.
#include "KLDesigner/ui/action_panel.h"

#include "KLDesigner/builder/designer.h"
#include "KLDesigner/builder/vb.h"
#include "KLDesigner/builder/vocabulary.h"
#include "KLDesigner/ui/main_form.h"

namespace kld::ui {

using namespace plat::forms;
using plat::forms::Control;
using plat::forms::Form;
using plat::forms::ListBox;

namespace {

constexpr std::pair<const char*, int32_t> kFileFields[] = {
    {"txtOperFileSize", -1},      {"txtOperFileDate", -1},  {"txtOperFileVersionHi", -1},
    {"txtOperFileVersionLo", -1}, {"txtOperFileBuild", -1}, {"lblOperFileSize", -1},
    {"lblOperFileDate", -1},      {"lblOperFileVersion", -1}, {"lblOperFileVersion_", 0},
    {"lblOperFileVersion_", 1},
};

// "####": no digits for 0.
std::string HashPattern(int32_t v) {
    return v == 0 ? std::string() : std::to_string(v);
}

int32_t IndexOfData(const ComboBox& c, int32_t code) {
    for (int32_t k = 0; k < c.ListCount(); ++k)
        if (c.ItemData(k) == code) return k;
    return -1;
}

enum class Argument { None, Path, Key };

Argument ArgumentOf(int16_t criteria) {
    switch (criteria) {
    case 2:
    case -2:
    case 3:
    case -3:
        return Argument::Path;
    case 1:
    case -1:
    case 4:
    case -4:
    case 5:
    case -5:
        return Argument::Key;
    default:
        return Argument::None;
    }
}

struct CriteriaControls {
    const char* valueLabel;
    const char* path;
    const char* key;
    const char* valueLabel2;
    const char* valueName;
};
constexpr CriteriaControls kFileCriteria{"lblOperFileCriteriaValue", "cboOperFileCriteriaPath",
                                         "cboOperFileCriteriaRegKey", "lblOperFileCriteriaValue_2",
                                         "txtOperFileCriteriaRegKeyValue"};
constexpr CriteriaControls kRegCriteria{"lblOperRegCriteriaValue", "cboOperRegCriteriaPath",
                                        "cboOperRegCriteriaRegKey", "lblOperRegCriteriaValue_2",
                                        "txtOperRegCriteriaRegKeyValue"};

} // namespace

void ActionPanel::RefreshOperFileAttributes(int32_t record, bool hasFile) {
    const ActionRecord* r = RecordAt(record);
    if (!r) return;
    const bool mask = !r->IsGroup && r->IsFolder;
    if (mask) {
        Show("chkOperFileIncludeSubDirs", hasFile);
        for (const auto& [name, index] : kFileFields)
            Show(name, false, index);
    } else {
        Show("chkOperFileIncludeSubDirs", false);
        for (const auto& [name, index] : kFileFields)
            Show(name, !r->IsGroup && hasFile, index);
    }
    Show("chkOperEncrypt", hasFile);
    Show("chkOperCompress", hasFile);
    if (r->ActionType != action::InstallFile) {
        Show("chkOperFileAskUserToClose", false);
        Show("chkOperFileUpdateAfterRestart", false);
        Show("chkOperFileRegister", false);
    } else {
        const bool registrable = r->FileType == 1 || r->FileType == 2;
        Show("chkOperFileRegister", hasFile && (registrable || r->IsGroup));
        Show("chkOperFileAskUserToClose", hasFile);
        Show("chkOperFileUpdateAfterRestart", hasFile);
    }
    if (!hasFile) return;
    if (mask) {
        PutCheck("chkOperFileIncludeSubDirs", r->IncludeSubfolders);
        return;
    }
    if (r->FileDate == TextToDate("00:00:00") && r->FileSize == 0) {
        for (const char* box :
             {"txtOperFileSize", "txtOperFileDate", "txtOperFileVersionHi", "txtOperFileVersionLo", "txtOperFileBuild"})
            PutText(box, "");
        return;
    }
    PutText("txtOperFileSize", std::to_string(r->FileSize));
    PutText("txtOperFileDate", vb::FormatDate(r->FileDate));
    PutText("txtOperFileVersionHi", HashPattern(r->VersionHigh));
    const bool versioned = r->VersionHigh > 0;
    PutText("txtOperFileVersionLo", versioned ? std::to_string(r->VersionLow) : HashPattern(r->VersionLow));
    PutText("txtOperFileBuild", versioned ? std::to_string(r->Build) : HashPattern(r->Build));
}

void ActionPanel::HideCriteriaArgument(bool file) {
    const CriteriaControls& c = file ? kFileCriteria : kRegCriteria;
    for (const char* name : {c.valueLabel, c.path, c.key, c.valueLabel2, c.valueName})
        Show(name, false);
}

void ActionPanel::ShowCriteriaArgument(bool file, int16_t criteria, const ActionRecord& r) {
    const CriteriaControls& c = file ? kFileCriteria : kRegCriteria;
    switch (ArgumentOf(criteria)) {
    case Argument::None:
        HideCriteriaArgument(file);
        return;
    case Argument::Path:
        SetCaptionOf(c.valueLabel, criteria == 2 || criteria == -2 ? "File" : "Folder");
        Show(c.valueLabel, true);
        Show(c.key, false);
        Show(c.path, true);
        PutText(c.path, r.CriteriaPath);
        Show(c.valueLabel2, false);
        Show(c.valueName, false);
        return;
    case Argument::Key:
        SetCaptionOf(c.valueLabel, "Key");
        Show(c.valueLabel, true);
        Show(c.key, true);
        PutText(c.key, r.CriteriaRegKey);
        Show(c.path, false);
        Show(c.valueLabel2, true);
        Show(c.valueName, true);
        PutText(c.valueName, r.CriteriaValueName);
        return;
    }
}

void ActionPanel::RefreshOperInstallCriteriaInfo(int32_t record) {
    const ActionRecord* r = RecordAt(record);
    if (!r) return;
    auto& type = m_main.form().Get<ComboBox>("cboOperFileCriteriaType");
    // Refilled each time: an execute action offers no comparisons.
    if (!IsSource("cboOperFileCriteriaType")) {
        type.Clear();
        for (const ListEntry& e : FileCriteriaList(r->ActionType == action::ExecuteFile)) {
            const int32_t at = type.AddItem(e.text);
            type.SetItemData(at, e.code);
        }
    }
    auto hideLog = [this] {
        Show("chkOperFileLogToRegistry", false);
        Show("txtOperFileLogToRegistryData", false);
    };
    if (r->Compare < 11 || r->Compare > 13) {
        PutListIndex("cboOperFileCriteriaType", IndexOfData(type, r->CriteriaType));
        switch (ArgumentOf(r->CriteriaType)) {
        case Argument::Path:
            ShowCriteriaArgument(true, r->CriteriaType, *r);
            hideLog();
            return;
        case Argument::Key:
            ShowCriteriaArgument(true, r->CriteriaType, *r);
            if (r->CriteriaType != -1) {
                hideLog();
                return;
            }
            break;
        case Argument::None:
            break;
        }
    } else {
        PutListIndex("cboOperFileCriteriaType", IndexOfData(type, r->Compare));
    }
    // The key value written after the action: on exactly when it has data.
    const bool logs = !r->LogToRegistryData.empty();
    Show("chkOperFileLogToRegistry", true);
    PutCheck("chkOperFileLogToRegistry", logs);
    Show("txtOperFileLogToRegistryData", logs);
    if (logs) PutText("txtOperFileLogToRegistryData", r->LogToRegistryData);
    if (logs || r->CriteriaType == -1)
        ShowCriteriaArgument(true, -1, *r);
    else
        HideCriteriaArgument(true);
}

void ActionPanel::RefreshOperRegCriteriaInfo(int32_t record) {
    const ActionRecord* r = RecordAt(record);
    if (!r) return;
    const auto& type = m_main.form().Get<ComboBox>("cboOperRegCriteriaType");
    PutListIndex("cboOperRegCriteriaType", IndexOfData(type, r->CriteriaType));
    ShowCriteriaArgument(false, r->CriteriaType, *r);
}

void ActionPanel::RefreshOperInstallPathInfo(int32_t record) {
    const ActionRecord* r = RecordAt(record);
    if (!r) return;
    const int32_t row = m_main.form().Get<ListBox>("lstOperDestFolders").ListIndex();
    // A row the record does not have shows what was there before.
    if (row < 0 || row >= static_cast<int32_t>(r->Destinations.size())) return;
    const DestinationFolder& dest = r->Destinations[static_cast<size_t>(row)];
    if (auto* o = dynamic_cast<OptionButton*>(m_main.form().Find("optOperDestFolderType", dest.FolderType)))
        o->SetValue(true);
    switch (dest.FolderType) {
    case 1:
        SetCaptionOf("lblOperDestFolder", "Folder");
        Show("cboOperFileDestRegKey", false);
        Show("txtOperFileDestRegKeyValue", false);
        Show("lblOperDestFolder_2", false);
        Show("cboOperFileDestPath", true);
        PutText("cboOperFileDestPath", dest.Path);
        Show("chkCreateNewOperDestFolder", true);
        PutCheck("chkCreateNewOperDestFolder", dest.CreateIfMissing);
        break;
    case 2:
        SetCaptionOf("lblOperDestFolder", "Key");
        Show("cboOperFileDestRegKey", true);
        PutText("cboOperFileDestRegKey", dest.RegKey);
        Show("txtOperFileDestRegKeyValue", true);
        PutText("txtOperFileDestRegKeyValue", dest.RegValueName);
        Show("lblOperDestFolder_2", true);
        Show("cboOperFileDestPath", false);
        Show("chkCreateNewOperDestFolder", true);
        PutCheck("chkCreateNewOperDestFolder", dest.CreateIfMissing);
        break;
    default:
        SetCaptionOf("lblOperDestFolder", "");
        for (const char* name : {"cboOperFileDestRegKey", "txtOperFileDestRegKeyValue", "lblOperDestFolder_2",
                                 "cboOperFileDestPath", "chkCreateNewOperDestFolder"})
            Show(name, false);
        break;
    }
}

} // namespace kld::ui
