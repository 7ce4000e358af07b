// Which commands are live: the toolbar's button pairs, the pressed view
// style, the context tool tips and the menus, all read from the document,
// the tab in front and the action list's selection. Nothing here changes
// the document.
#include "KLDesigner/ui/main_form.h"

namespace kld::ui {

using namespace plat::forms;

namespace {

// Every pair but New and Open, in the order a closed document turns them off.
constexpr const char* kDocumentPairs[] = {
    "cmdSave",           "cmdPrint",          "cmdUpdateOperInfo", "cmdMakeStuff", "cmdNewCopyFile",
    "cmdNewExecuteFile", "cmdNewRegistryKey", "cmdDelRegistryKey", "cmdNewItem",   "cmdNewGroupItem",
    "cmdMoveDown",       "cmdMoveUp",         "cmdDuplicate",      "cmdDelete",
};

// By the selected record's action type: the New Group Item pair live (on
// the action tab), the New Action tool tip and Edit caption.
struct TypeRow {
    bool group_item;
    const char* new_item_tip;
    const char* new_item_caption;
};
constexpr TypeRow kTypeRows[] = {
    {true, "Add 'Install File' Action", "Install File"},
    {false, "Add 'Execute File' Action", "Execute File"},
    {false, "Add 'Create Registry Key / Set Value' Action", "Create Registry Key / Set Value"},
    {false, "Add 'Delete Registry Key / Value' Action", "Delete Registry Key / Value"},
};

} // namespace

CommandButton& MainForm::Live(const std::string& pair) const {
    return m_form.Get<CommandButton>(pair, 0);
}
CommandButton& MainForm::Face(const std::string& pair) const {
    return m_form.Get<CommandButton>(pair, 1);
}
RibbonButton& MainForm::ViewStyle(int32_t index) const {
    return m_form.Get<RibbonButton>("cmdOperListViewStyle", index);
}
Menu& MainForm::MenuItem(const std::string& name, int32_t index) const {
    return *m_form.FindMenu(name, index);
}

void MainForm::ApplyMinimumSize() {
    // The smallest frame follows whether a document is open; the window
    // system's minimum is that of the client area inside the frame.
    QWidget* w = m_form.window();
    const bool open = DocumentOpen();
    const int32_t frame_w = w->isVisible() ? w->frameGeometry().width() - w->width() : 0;
    const int32_t frame_h = w->isVisible() ? w->frameGeometry().height() - w->height() : 0;
    w->setMinimumSize((open ? 620 : 400) - frame_w, open ? 280 - frame_h : 0);
}

void MainForm::DisplayButtonsPair(const std::string& pair, bool enabled) {
    CommandButton& live = Live(pair);
    live.SetEnabled(enabled);
    if (enabled)
        live.ZOrder(0);
    else
        Face(pair).ZOrder(0);
}

bool MainForm::LiveOnTop(const std::string& pair) const {
    return Live(pair).IsAbove(Face(pair));
}

void MainForm::RefreshControls() {
    const bool open = DocumentOpen();
    RefreshToolbar(open);
    RefreshTopMenu(open);
    // The tab control is there only with a document; the tabs' contents are
    // refreshed by their own pieces.
    auto& tabs = m_form.Get<TabStrip>("ctlTabs");
    tabs.SetVisible(open);
    tabs.SetEnabled(open);
    if (hooks.RefreshTabs) hooks.RefreshTabs(open);
}

void MainForm::RefreshTopMenu(bool open) {
    for (const char* name : {"mnuEdit", "mnuView", "mnuTools"})
        MenuItem(name).SetEnabled(open);
}

void MainForm::RefreshToolbar(bool open) {
    ApplyMinimumSize();
    if (!open) {
        DisplayButtonsPair("cmdNew", true);
        DisplayButtonsPair("cmdOpen", true);
        for (const char* pair : kDocumentPairs)
            DisplayButtonsPair(pair, false);
        ViewStyle(0).SetEnabled(false);
        ViewStyle(1).SetEnabled(false);
        return;
    }
    IActionTree& tree = m_d->Operations();
    const bool on_tab = m_form.Get<TabStrip>("ctlTabs").Tab() == tab::ActionList;
    const int32_t rows = tree.ListCount();
    const int32_t selected = tree.ListIndex();

    DisplayButtonsPair("cmdNew", true);
    DisplayButtonsPair("cmdOpen", true);
    DisplayButtonsPair("cmdSave", m_d->DocumentModified);
    // A build under way cannot be started again.
    DisplayButtonsPair("cmdMakeStuff", !m_d->PrepareRunning);
    for (const char* pair : {"cmdNewCopyFile", "cmdNewExecuteFile", "cmdNewRegistryKey", "cmdDelRegistryKey"})
        DisplayButtonsPair(pair, on_tab);
    DisplayButtonsPair("cmdPrint", on_tab && rows > 1);
    DisplayButtonsPair("cmdUpdateOperInfo", on_tab && rows > 1);
    ViewStyle(0).SetEnabled(on_tab);
    ViewStyle(1).SetEnabled(on_tab);

    // The pressed view style, without the press switching the view.
    const bool edit_events = m_d->EditEventsEnabled;
    m_d->EditEventsEnabled = false;
    ViewStyle(m_d->ActionListViewStyle == 1 ? 1 : 0).SetValue(true);
    m_d->EditEventsEnabled = edit_events;

    if (selected >= 0) {
        const TreeValue record = tree.ItemLngValue(selected);
        if (record.ok() && m_d->IsRecordIndex(record.value)) {
            const int16_t type = m_d->Actions[static_cast<size_t>(record.value)].ActionType;
            if (type >= 0 && type <= 3) {
                const TypeRow& row = kTypeRows[type];
                DisplayButtonsPair("cmdNewGroupItem", row.group_item && on_tab);
                Live("cmdNewItem").SetToolTipText(row.new_item_tip);
                MenuItem("mnuEditNewOperationItemFile").SetCaption(row.new_item_caption);
                if (type != 0) MenuItem("mnuEditNewOperationItemFolder").SetVisible(false);
            }
        }
        const TreeValue next = tree.ItemNextSibling(selected);
        const TreeValue prev = tree.ItemPrevSibling(selected);
        DisplayButtonsPair("cmdMoveDown", on_tab && next.ok() && next.value >= 0);
        DisplayButtonsPair("cmdMoveUp", on_tab && prev.ok() && prev.value >= 0 && selected > 1);
    } else {
        DisplayButtonsPair("cmdMoveDown", false);
        DisplayButtonsPair("cmdMoveUp", false);
    }
    DisplayButtonsPair("cmdNewItem", on_tab && rows > 0);
    DisplayButtonsPair("cmdDuplicate", on_tab);
    DisplayButtonsPair("cmdDelete", on_tab && selected >= 0);

    // Row -1 answers level 0: with nothing selected the group wording shows.
    const TreeValue level = tree.Shift(selected);
    const bool group = !level.ok() || level.value == 0;
    Live("cmdDelete").SetToolTipText(group ? "Delete Action Group" : "Delete Action");
    Live("cmdDuplicate").SetToolTipText(group ? "Duplicate Action Group" : "Duplicate Action");
    Live("cmdMoveDown").SetToolTipText(group ? "Move Action Group Down" : "Move Action Down");
    Live("cmdMoveUp").SetToolTipText(group ? "Move Action Group Up" : "Move Action Up");
}

// ---------------------------------------------------------------- drop-downs

void MainForm::mnuFile_Click() {
    const bool open = DocumentOpen();
    MenuItem("mnuFileSave").SetEnabled(Live("cmdSave").Enabled());
    MenuItem("mnuFileSaveAs").SetEnabled(open);
    MenuItem("mnuFilePrepare").SetEnabled(open);
    MenuItem("mnuFilePrintTree").SetEnabled(Live("cmdPrint").Enabled());
}

void MainForm::mnuEdit_Click() {
    MenuItem("mnuEditDeleteOperation").SetEnabled(Live("cmdDelete").Enabled());
    MenuItem("mnuEditDuplicateOperation").SetEnabled(Live("cmdDuplicate").Enabled());
    MenuItem("mnuEditMoveOperationDown").SetEnabled(Live("cmdMoveDown").Enabled());
    MenuItem("mnuEditMoveOperationUp").SetEnabled(Live("cmdMoveUp").Enabled());
    MenuItem("mnuEditNewOperation")
        .SetEnabled(Live("cmdNewCopyFile").Enabled() || Live("cmdNewExecuteFile").Enabled());
    MenuItem("mnuEditNewOperationItem").SetEnabled(Live("cmdNewItem").Enabled());
}

void MainForm::mnuView_Click() {
    for (int32_t i = 0; i < 2; ++i) {
        Menu& item = MenuItem("mnuViewActionListStyle", i);
        item.SetEnabled(ViewStyle(i).Enabled());
        item.SetChecked(ViewStyle(i).Value());
    }
    const int32_t front = m_form.Get<TabStrip>("ctlTabs").Tab();
    for (int32_t k = 0; k < 6; ++k)
        MenuItem("mnuViewTab", k).SetChecked(k == front);
}

} // namespace kld::ui
