// The commands that change the action list (add a group of each kind, add
// a file or folder action to a group, duplicate, delete, move), the switch
// between the two views of the list, the file information refresh, and
// which panels the tab in front shows. The list operations themselves are
// the Designer's; these commands mark the document and refresh the panel and
// the toolbar afterwards.
#include "KLDesigner/ui/main_form.h"

#include "KLDesigner/builder/vb.h"
#include "KLDesigner/ui/action_panel.h"

namespace kld::ui {

using namespace plat::forms;

void MainForm::WireActionCommands() {
    auto pair = [this](const char* name, void (MainForm::*run)(int32_t)) {
        for (int32_t index : {0, 1})
            m_form.Get<CommandButton>(name, index).Click = [this, run](int32_t) { (this->*run)(0); };
    };
    pair("cmdNewCopyFile", &MainForm::cmdNewCopyFile_Click);
    pair("cmdNewExecuteFile", &MainForm::cmdNewExecuteFile_Click);
    pair("cmdNewRegistryKey", &MainForm::cmdNewRegistryKey_Click);
    pair("cmdDelRegistryKey", &MainForm::cmdDelRegistryKey_Click);
    pair("cmdNewItem", &MainForm::cmdNewItem_Click);
    pair("cmdNewGroupItem", &MainForm::cmdNewGroupItem_Click);
    pair("cmdDuplicate", &MainForm::cmdDuplicate_Click);
    pair("cmdDelete", &MainForm::cmdDelete_Click);
    pair("cmdMoveUp", &MainForm::cmdMoveUp_Click);
    pair("cmdMoveDown", &MainForm::cmdMoveDown_Click);
    pair("cmdUpdateOperInfo", &MainForm::cmdUpdateOperInfo_Click);
    // The chooser's cancel takes a new action away through Delete.
    if (m_panel) m_panel->cmdDelete_Click = [this](int32_t index) { cmdDelete_Click(index); };
    for (int32_t i = 0; i < 2; ++i) {
        RibbonButton& style = ViewStyle(i);
        style.Click = [this, &style](int32_t index) { cmdOperListViewStyle_Click(index, style.Value()); };
        MenuItem("mnuViewActionListStyle", i).Click = [this](int32_t index) {
            mnuViewActionListStyle_Click(index);
        };
    }
}

// ---------------------------------------------------------------- new groups

void MainForm::ChooseOperSource(bool justAdded) {
    if (m_panel) m_panel->cmdOperFileName_Click(justAdded);
}

void MainForm::cmdNewCopyFile_Click(int32_t) {
    if (!m_d->AddOperation(action::InstallFile, true)) return;
    // The new group's source folder is chosen at once.
    ChooseOperSource(true);
    m_d->SetDocumentChanged();
    RefreshOperAttributes(0);
    RefreshToolbar(true);
}

void MainForm::cmdNewExecuteFile_Click(int32_t) {
    if (!m_d->AddOperation(action::ExecuteFile, true)) return;
    ChooseOperSource(true);
    m_d->SetDocumentChanged();
    RefreshOperAttributes(0);
    RefreshToolbar(true);
}

void MainForm::cmdNewRegistryKey_Click(int32_t) {
    if (!m_d->AddOperation(action::CreateRegistry, true)) return;
    m_d->SetDocumentChanged();
    RefreshOperAttributes(0);
    RefreshToolbar(true);
}

void MainForm::cmdDelRegistryKey_Click(int32_t) {
    // Adding refreshes the panel and the toolbar itself.
    if (!m_d->AddOperation(action::DeleteRegistry, true)) return;
    m_d->SetDocumentChanged();
}

// ---------------------------------------------------------------- new actions

void MainForm::AddToGroup(bool folder) {
    IActionTree& tree = m_d->Operations();
    const int32_t selected = tree.ListIndex();
    if (selected < 0) return;
    const TreeValue level = tree.Shift(selected);
    if (!level.ok()) return;
    int32_t group = -1;
    if (level.value <= 0) {
        const TreeValue record = tree.ItemLngValue(selected);
        if (!record.ok()) return;
        group = record.value;
        if (!folder) {
            const TreeValue expanded = tree.Expand(selected);
            if (expanded.ok() && expanded.value == 0) tree.SetExpand(selected, true);
        }
    } else {
        const TreeValue parent = tree.ItemParent(selected);
        const TreeValue record = parent.ok() ? tree.ItemLngValue(parent.value) : parent;
        if (!record.ok()) return;
        group = record.value;
    }
    if (!m_d->IsRecordIndex(group)) return;

    if (!m_d->AddOperation(m_d->Actions[static_cast<size_t>(group)].ActionType, false)) return;
    const TreeValue added = tree.ItemLngValue(tree.ListIndex());
    if (!added.ok() || !m_d->IsRecordIndex(added.value)) return;
    const int32_t record = added.value;
    m_d->CopyOperationRecord(group, record);
    ActionRecord& r = m_d->Actions[static_cast<size_t>(record)];
    r.IsFolder = folder;
    if (folder) r.SourcePath = "*.*";

    tree.SetRedraw(false);
    m_d->Bridge().RefreshOperationItem(*m_d, tree.NewIndex(), record);
    tree.SetRedraw(true);

    if (!folder) ChooseOperSource(true);
    m_d->SetDocumentChanged();
    RefreshOperAttributes(0);
    RefreshToolbar(true);
}

void MainForm::cmdNewItem_Click(int32_t) {
    AddToGroup(false);
}

void MainForm::cmdNewGroupItem_Click(int32_t) {
    AddToGroup(true);
}

// ---------------------------------------------------------------- edits

void MainForm::cmdDuplicate_Click(int32_t) {
    m_d->DuplicateOperation(m_d->Operations().ListIndex());
    m_d->SetDocumentChanged();
    RefreshOperAttributes(0);
    RefreshToolbar(true);
}

void MainForm::cmdDelete_Click(int32_t) {
    // A refused group deletion leaves the list, and so the document, as
    // it was: only a removal marks it.
    const int16_t before = m_d->ActionCount;
    const int32_t rows = m_d->Operations().ListCount();
    m_d->DeleteOperation(m_d->Operations().ListIndex());
    if (m_d->ActionCount != before || m_d->Operations().ListCount() != rows) m_d->SetDocumentChanged();
    // The neighbour selected after the removal may keep the same position,
    // so no Click need come: the panel and the toolbar are refreshed here.
    const bool edit_events = m_d->EditEventsEnabled;
    m_d->EditEventsEnabled = false;
    RefreshOperAttributes(0);
    RefreshToolbar(true);
    m_d->EditEventsEnabled = edit_events;
}

void MainForm::cmdMoveUp_Click(int32_t) {
    m_d->MoveOperation(m_d->Operations().ListIndex(), true);
    RefreshToolbar(true);
    m_d->SetDocumentChanged();
}

void MainForm::cmdMoveDown_Click(int32_t) {
    m_d->MoveOperation(m_d->Operations().ListIndex(), false);
    RefreshToolbar(true);
    m_d->SetDocumentChanged();
}

// ---------------------------------------------------------------- views

void MainForm::cmdOperListViewStyle_Click(int32_t index, bool) {
    // The refreshers press these buttons with the edit events off.
    if (!m_d || !m_d->EditEventsEnabled) return;
    m_d->SetActionListViewStyle(index == 0 ? 0 : 1);
}

void MainForm::mnuViewActionListStyle_Click(int32_t index) {
    ViewStyle(index == 0 ? 0 : 1).SetValue(true);
}

void MainForm::cmdUpdateOperInfo_Click(int32_t) {
    const std::vector<ActionRecord> before = m_d->Actions;
    const int32_t refreshed = m_d->UpdateOperFileInfo(m_d->Operations().ListIndex());
    // The refresh redraws the selected item only: every row whose record
    // it changed shows its new size, date and version in the grid too.
    // The list draws the new values once its drawing is switched back on.
    IActionTree& tree = m_d->Operations();
    tree.SetRedraw(false);
    for (int32_t p = 0; p < tree.ListCount() && m_panel->RefreshOperationCells; ++p) {
        const TreeValue record = tree.ItemLngValue(p);
        if (!record.ok() || !m_d->IsRecordIndex(record.value)) continue;
        const auto i = static_cast<size_t>(record.value);
        if (i >= before.size() || !(before[i] == m_d->Actions[i])) m_panel->RefreshOperationCells(p);
    }
    tree.SetRedraw(true);
    if (refreshed <= 0) return;
    m_d->SetDocumentChanged();
    m_d->Message("Information about " + std::to_string(refreshed) + " files has been refreshed.",
                 mb::Information);
}

void MainForm::ctlTabs_Click(int32_t) {
    if (!m_d) return;
    const int32_t t = m_form.Get<TabStrip>("ctlTabs").Tab();
    static const char* const kPanels[] = {"pnlProductAttributes", "pnlLocation", "pnlInstallCriterias",
                                          "pnlInstallPathes", "pnlChunks"};
    for (int32_t k = 0; k < 5; ++k)
        if (plat::forms::Control* panel = m_form.Find(kPanels[k])) panel->SetVisible(t == k);
    if (plat::forms::Control* label = m_form.Find("lblOperationList")) label->SetVisible(t == tab::ActionList);
    m_operations->SetVisible(t == tab::ActionList);
    if (plat::forms::Control* panel = m_form.Find("pnlOperationProperties"))
        panel->SetVisible(t == tab::ActionList && m_d->Operations().ListIndex() >= 0);
    ResizeForm();
    RefreshToolbar(DocumentOpen());
}

} // namespace kld::ui
