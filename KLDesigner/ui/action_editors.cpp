// The panel's editors: each input writes its field of the selected record
// at once, refreshes the tree item or its cells and the panel's part, and
// marks the document modified. Also the source chooser of the browse button.
#include "KLDesigner/ui/action_panel.h"

#include <utility>

#include <QDir>
#include <QWidget>

#include "KLDesigner/builder/designer.h"
#include "KLDesigner/builder/file_version.h"
#include "KLDesigner/builder/utilities.h"
#include "KLDesigner/builder/vb.h"
#include "KLDesigner/builder/vocabulary.h"
#include "KLDesigner/ui/main_form.h"

namespace kld::ui {

using namespace plat::forms;
using plat::forms::Control;
using plat::forms::Form;
using plat::forms::ListBox;

namespace {

constexpr const char* kLogPlaceholder = "<-- Input Key Value Data Here -->";

// A folder as an absolute, clean path; a relative one is taken from the
// current folder. The empty folder of a file at the root is the root.
QString ComparableFolder(const std::string& folder, bool rooted) {
    std::string native = NativePath(vb::Trim(folder));
    if (native.empty() && rooted) native = "/";
    return QDir::cleanPath(QDir::current().absoluteFilePath(QString::fromStdString(native)));
}

} // namespace

std::optional<int32_t> ActionPanel::EditedRecord() {
    Designer* d = D();
    if (!d || !d->EditEventsEnabled) return std::nullopt;
    const int32_t item = d->Operations().ListIndex();
    if (item < 0) return std::nullopt;
    const TreeValue record = d->Operations().ItemLngValue(item);
    const int32_t selected = record.ok() ? record.value : -1;
    if (d->ActionListViewStyle == 0 && RecordAt(selected) && selected != m_shownRecord) {
        // What the panel holds was typed for the record it shows, not for
        // the one the list selects now: write nothing, show the selected one.
        Control* source = std::exchange(m_source, nullptr);
        RefreshOperAttributes(0);
        m_source = source;
        return std::nullopt;
    }
    return selected;
}

void ActionPanel::RefreshItem(int32_t item, int32_t record) {
    Designer* d = D();
    d->Operations().SetRedraw(false);
    d->Bridge().RefreshOperationItem(*d, item, record);
    d->Operations().SetRedraw(true);
}

void ActionPanel::RefreshCells() {
    if (RefreshOperationCells) RefreshOperationCells(D()->Operations().ListIndex());
}

void ActionPanel::Finish(int16_t code, int32_t record, char tree) {
    if (tree == 'i')
        RefreshItem(D()->Operations().ListIndex(), record);
    else if (tree == 'c')
        RefreshCells();
    RefreshOperAttributes(code);
    D()->SetDocumentChanged();
}

namespace {

bool Checked(const Control& c) {
    return static_cast<const CheckBox&>(c).Value() == 1;
}

} // namespace

// Most editors are one field written from one control.
#define KLD_EDITOR(name, code, tree, statement)                                                              \
    void ActionPanel::name() {                                                                               \
        const auto i = EditedRecord();                                                                       \
        if (!i) return;                                                                                      \
        if (ActionRecord* r = RecordAt(*i)) {                                                                \
            statement;                                                                                       \
        }                                                                                                    \
        Finish(code, *i, tree);                                                                              \
    }

namespace {
std::string TextOf(const Form& f, const char* name) {
    const Control* c = f.Find(name);
    if (auto* t = dynamic_cast<const TextBox*>(c)) return t->Text();
    if (auto* b = dynamic_cast<const ComboBox*>(c)) return b->Text();
    return {};
}
} // namespace

#define TEXT(name) TextOf(m_main.form(), name)
#define CHECK(name) Checked(C(name))
#define WHOLE(field, name)                                                                                   \
    if (const auto v = WholeNumberOfText(TEXT(name))) r->field = *v

KLD_EDITOR(txtOperFileName_Change, 1, 'i',
           (r->IsGroup ? r->SourceFolder : r->SourcePath) = TEXT("txtOperFileName"))
KLD_EDITOR(txtOperFileSize_Change, 1, 'c', WHOLE(FileSize, "txtOperFileSize"))
KLD_EDITOR(txtOperFileDate_Change, 1, 'c', r->FileDate = TextToDate(TEXT("txtOperFileDate")))
KLD_EDITOR(txtOperFileVersionHi_Change, 1, 'c', WHOLE(VersionHigh, "txtOperFileVersionHi"))
KLD_EDITOR(txtOperFileVersionLo_Change, 1, 'c', WHOLE(VersionLow, "txtOperFileVersionLo"))
KLD_EDITOR(txtOperFileBuild_Change, 1, 'c', WHOLE(Build, "txtOperFileBuild"))
KLD_EDITOR(chkOperFileIncludeSubDirs_Click, 1, '-', r->IncludeSubfolders = CHECK("chkOperFileIncludeSubDirs"))
KLD_EDITOR(chkOperEncrypt_Click, 2, 'c', r->Encrypt = CHECK("chkOperEncrypt"))
KLD_EDITOR(chkOperFileAskUserToClose_Click, 3, 'c', r->AskClose = CHECK("chkOperFileAskUserToClose"))
KLD_EDITOR(chkOperFileUpdateAfterRestart_Click, 4, 'c',
           r->UpdateOnRestart = CHECK("chkOperFileUpdateAfterRestart"))
KLD_EDITOR(cboOperFileCriteriaPath_Click, 5, '-', r->CriteriaPath = TEXT("cboOperFileCriteriaPath"))
KLD_EDITOR(cboOperFileCriteriaRegKey_Click, 5, '-', r->CriteriaRegKey = TEXT("cboOperFileCriteriaRegKey"))
KLD_EDITOR(txtOperFileCriteriaRegKeyValue_Change, 5, 'c',
           r->CriteriaValueName = TEXT("txtOperFileCriteriaRegKeyValue"))
KLD_EDITOR(chkOperFileRegister_Click, 6, 'c', r->Register = CHECK("chkOperFileRegister"))
KLD_EDITOR(cboOperFileCriteriaEdition_Click, 7, '-',
           r->EditionCompare = static_cast<int16_t>(m_main.form().Get<ComboBox>("cboOperFileCriteriaEdition").ListIndex()))
KLD_EDITOR(txtOperFileCriteriaEdition_Change, 7, 'c',
           r->Edition = static_cast<float>(vb::Val(TEXT("txtOperFileCriteriaEdition"))))
KLD_EDITOR(chkOperFileCreateNew_Click, 8, '-', r->CreateNew = CHECK("chkOperFileCreateNew"))
KLD_EDITOR(chkOperCompress_Click, 10, 'c', r->Compress = CHECK("chkOperCompress"))
KLD_EDITOR(cboOperRegKey_Click, 11, 'i', r->RegKey = TEXT("cboOperRegKey"))
KLD_EDITOR(txtOperRegKeyValue_Change, 12, 'i', r->RegValueName = TEXT("txtOperRegKeyValue"))
KLD_EDITOR(cboOperRegCriteriaPath_Click, 14, '-', r->CriteriaPath = TEXT("cboOperRegCriteriaPath"))
KLD_EDITOR(cboOperRegCriteriaRegKey_Click, 14, '-', r->CriteriaRegKey = TEXT("cboOperRegCriteriaRegKey"))
KLD_EDITOR(txtOperRegCriteriaRegKeyValue_Change, 14, '-',
           r->CriteriaValueName = TEXT("txtOperRegCriteriaRegKeyValue"))
KLD_EDITOR(cboOperRegCriteriaEdition_Click, 15, '-',
           r->EditionCompare = static_cast<int16_t>(m_main.form().Get<ComboBox>("cboOperRegCriteriaEdition").ListIndex()))
KLD_EDITOR(txtOperRegCriteriaEdition_Change, 15, 'c',
           r->Edition = static_cast<float>(vb::Val(TEXT("txtOperRegCriteriaEdition"))))
KLD_EDITOR(chkOperRegCreateNew_Click, 16, '-', r->CreateNew = CHECK("chkOperRegCreateNew"))

// Long data takes the number rounded down and kept in the Long range; any
// other type takes the text. The other field keeps what it had.
KLD_EDITOR(txtOperRegKeyValueData_Change, 13, 'i',
           if (r->RegDataType == 4) r->RegDataNumber = LongDataOfText(TEXT("txtOperRegKeyValueData"));
           else r->RegDataText = TEXT("txtOperRegKeyValueData"))

#undef WHOLE
#undef CHECK
#undef KLD_EDITOR

// A picked criterion: a comparison of the existing file goes to Compare,
// anything else to CriteriaType; the other becomes 0.
void ActionPanel::cboOperFileCriteriaType_Click() {
    const auto i = EditedRecord();
    if (!i) return;
    const auto& combo = m_main.form().Get<ComboBox>("cboOperFileCriteriaType");
    ActionRecord* r = RecordAt(*i);
    if (r && combo.ListIndex() >= 0) {
        const auto code = static_cast<int16_t>(combo.ItemData(combo.ListIndex()));
        const bool compare = code >= 11 && code <= 13;
        r->Compare = compare ? code : int16_t{0};
        r->CriteriaType = compare ? int16_t{0} : code;
    }
    Finish(5, *i, '-');
}

void ActionPanel::cboOperRegDataType_Click() {
    const auto i = EditedRecord();
    if (!i) return;
    const auto& combo = m_main.form().Get<ComboBox>("cboOperRegDataType");
    ActionRecord* r = RecordAt(*i);
    if (r && combo.ListIndex() >= 0) r->RegDataType = combo.ItemData(combo.ListIndex());
    Finish(13, *i, 'i');
}

void ActionPanel::cboOperRegCriteriaType_Click() {
    const auto i = EditedRecord();
    if (!i) return;
    const auto& combo = m_main.form().Get<ComboBox>("cboOperRegCriteriaType");
    ActionRecord* r = RecordAt(*i);
    if (r && combo.ListIndex() >= 0) {
        r->Compare = 0;
        r->CriteriaType = static_cast<int16_t>(combo.ItemData(combo.ListIndex()));
    }
    Finish(14, *i, '-');
}

// The check box mirrors whether there is data: checking gives a placeholder
// to an empty value, unchecking empties it.
void ActionPanel::chkOperFileLogToRegistry_Click() {
    const auto i = EditedRecord();
    if (!i) return;
    if (ActionRecord* r = RecordAt(*i)) {
        if (Checked(C("chkOperFileLogToRegistry"))) {
            if (r->LogToRegistryData.empty()) r->LogToRegistryData = kLogPlaceholder;
        } else {
            r->LogToRegistryData.clear();
        }
    }
    RefreshOperAttributes(5);
    RefreshCells();
    D()->SetDocumentChanged();
}

void ActionPanel::txtOperFileLogToRegistryData_Change() {
    const auto i = EditedRecord();
    if (!i) return;
    if (ActionRecord* r = RecordAt(*i)) {
        r->LogToRegistryData = TEXT("txtOperFileLogToRegistryData");
        if (r->LogToRegistryData.empty()) {
            // The box follows the data without running its own editor.
            D()->EditEventsEnabled = false;
            PutCheck("chkOperFileLogToRegistry", false);
            D()->EditEventsEnabled = true;
        }
    }
    D()->SetDocumentChanged();
    RefreshCells();
    RefreshOperAttributes(6);
}

// ---------------------------------------------------------------- destinations

void ActionPanel::WriteDestination(const std::function<void(DestinationFolder& row)>& write, bool cells) {
    const auto i = EditedRecord();
    if (!i) return;
    const int32_t row = m_main.form().Get<ListBox>("lstOperDestFolders").ListIndex();
    if (row < 0) return;
    if (ActionRecord* r = RecordAt(*i))
        if (row < static_cast<int32_t>(r->Destinations.size())) write(r->Destinations[static_cast<size_t>(row)]);
    if (cells) RefreshCells();
    RefreshOperAttributes(9);
    D()->SetDocumentChanged();
}

void ActionPanel::cboOperFileDestPath_Click() {
    const std::string text = TEXT("cboOperFileDestPath");
    WriteDestination([&](DestinationFolder& d) { d.Path = text; }, false);
}

void ActionPanel::cboOperFileDestRegKey_Click() {
    const std::string text = TEXT("cboOperFileDestRegKey");
    WriteDestination([&](DestinationFolder& d) { d.RegKey = text; }, false);
}

void ActionPanel::txtOperFileDestRegKeyValue_Change() {
    const std::string text = TEXT("txtOperFileDestRegKeyValue");
    WriteDestination([&](DestinationFolder& d) { d.RegValueName = text; }, true);
}

void ActionPanel::chkCreateNewOperDestFolder_Click() {
    const bool on = Checked(C("chkCreateNewOperDestFolder"));
    WriteDestination([&](DestinationFolder& d) { d.CreateIfMissing = on; }, false);
}

void ActionPanel::optOperDestFolderType_Click(int32_t index) {
    WriteDestination([&](DestinationFolder& d) { d.FolderType = static_cast<int16_t>(index); }, false);
}

void ActionPanel::lstOperDestFolders_Click() {
    Designer* d = D();
    if (d && d->EditEventsEnabled) RefreshOperAttributes(9);
}

#undef TEXT

// ---------------------------------------------------------------- source chooser

void ActionPanel::txtOperFileName_KeyPress(int16_t& keyAscii) {
    if (keyAscii == 13) cmdOperFileName_Click();
}

void ActionPanel::cmdOperFileName_Click(bool justAdded) {
    Designer* d = D();
    if (!d) return;
    IActionTree& tree = d->Operations();
    const int32_t item = tree.ListIndex();
    if (item < 0) return;
    const TreeValue rv = tree.ItemLngValue(item);
    if (!rv.ok() || !RecordAt(rv.value)) return;
    const int32_t i = rv.value;
    int32_t groupItem = -1, g = -1;
    if (const TreeValue p = tree.ItemParent(item); p.ok() && p.value >= 0) {
        groupItem = p.value;
        if (const TreeValue gv = tree.ItemLngValue(p.value); gv.ok() && RecordAt(gv.value)) g = gv.value;
    }

    if (RecordAt(i)->IsGroup) {
        std::string path = RecordAt(i)->SourceFolder;
        Form& f = m_main.form();
        f.SetEnabled(false);
        if (!BrowseForFolder(d->Prompt(), path, "Select Source Folder")) path.clear();
        f.SetEnabled(true);
        if (f.window()) {
            f.window()->raise();
            f.window()->activateWindow();
        }
        if (path.empty()) return;
        // The name box's editor stores the folder.
        m_main.form().Get<TextBox>("txtOperFileName").SetText(path);
    } else {
        // Programs here rarely carry .exe: a first choice lists the files
        // one may run, then come the forms a description may still name.
        const bool execute = RecordAt(i)->ActionType == action::ExecuteFile;
        const std::string filter =
            execute ? "Executable Files (*.exe;*.com;*.bat)|*.exe;*.com;*.bat|All Files (*.*)|*.*"
                    : "All Files (*.*)|*.*";
        const std::string startFolder = g >= 0 ? RecordAt(g)->SourceFolder : std::string();
        const std::string path =
            d->ShowOpenDialog(filter, true, startFolder, RecordAt(i)->SourcePath, "Select File", execute);
        if (path == kCancelled || path.empty()) {
            // Only an action made a moment ago for this choice goes again;
            // one the person opened keeps what it has.
            if (justAdded) {
                if (cmdDelete_Click) {
                    cmdDelete_Click(0);
                } else {
                    d->DeleteOperation(tree.ListIndex());
                    d->SetDocumentChanged();
                    RefreshOperAttributes(0);
                    m_main.RefreshToolbar(true);
                }
            }
            return;
        }
        std::string folder, file;
        SplitPath(path, folder, file);
        if (g >= 0) {
            ActionRecord& group = *RecordAt(g);
            if (!vb::Trim(group.SourceFolder).empty()) {
                const bool rooted = !vb::Trim(path).empty() && (vb::Trim(path)[0] == '/' || vb::Trim(path)[0] == '\\');
                if (ComparableFolder(folder, rooted) != ComparableFolder(group.SourceFolder, false)) {
                    d->Message("You can select a file from '" + group.SourceFolder + "' folder only.",
                               mb::OkOnly | mb::Exclamation);
                    return;
                }
            } else {
                group.SourceFolder = folder;
                RefreshItem(groupItem, g);
            }
        }
        ActionRecord& r = *RecordAt(i);
        r.SourcePath = file;
        GetFileAttributes(path, r);
    }
    RefreshItem(item, i);
    RefreshOperAttributes(1);
    d->SetDocumentChanged();
}

} // namespace kld::ui
