// The window side of the document flow: what the Designer asks of its
// forms, answered by the main form, the progress form and the About box.
#include "KLDesigner/ui/main_form.h"
#include "KLDesigner/ui/action_panel.h"
#include "KLDesigner/ui/progress_form.h"
#include "platform/forms/forms_runtime.h"

#include <QLineEdit>
#include <utility>

namespace kld::ui {

using namespace plat::forms;

namespace {
constexpr const char* kRecentItem = "mnuFileRecentlyUsedKLD";
}

void MainForm::DisplaySaveButtons(bool enabled) {
    DisplayButtonsPair("cmdSave", enabled);
}

void MainForm::RefreshLocationTab(int16_t code) {
    if (hooks.RefreshLocationTab) hooks.RefreshLocationTab(code);
}

void MainForm::ShowTab(int16_t tab) {
    m_form.Get<TabStrip>("ctlTabs").SetTab(tab);
}

void MainForm::ShowMainForm() {
    m_form.Show();
    m_form.window()->raise();
    m_form.window()->activateWindow();
    // A control focused before the window was shown (a file opened at
    // start-up) takes the keyboard now.
    if (plat::forms::Control* c = std::exchange(m_pendingFocus, nullptr); c && c->widget()->isVisible())
        c->SetFocus();
}

void MainForm::SetCaption(const std::string& caption) {
    m_form.SetCaption(caption);
}

void MainForm::SetMaskPassword(bool checked) {
    if (auto* c = dynamic_cast<CheckBox*>(m_form.Find("chkMaskPassword"))) c->SetValue(checked ? 1 : 0);
}

void MainForm::SelectListRow(ListBox list, int32_t row) {
    if (hooks.SelectListRow) {
        hooks.SelectListRow(list, row);
        return;
    }
    const char* name = list == ListBox::lstInstallCriterias ? "lstInstallCriterias" : "lstProductPathes";
    if (auto* c = dynamic_cast<ListControl*>(m_form.Find(name)); c && row < c->ListCount())
        c->SetListIndex(row);
}

void MainForm::SelectAllAndFocus(Control control) {
    plat::forms::Control* c = m_form.Find(ControlName(control));
    if (!c) return;
    if (auto* text = dynamic_cast<TextBox*>(c)) text->line_edit()->selectAll();
    FocusControl(control);
}

void MainForm::FocusControl(Control control) {
    plat::forms::Control* c = m_form.Find(ControlName(control));
    if (!c || !c->Visible()) return;
    if (c->widget()->isVisible())
        c->SetFocus();
    else if (!m_form.window()->isVisible())
        m_pendingFocus = c;
}

void MainForm::FillCombo(Combo combo, const std::vector<ListEntry>& entries) {
    if (hooks.FillCombo) {
        hooks.FillCombo(combo, entries);
        return;
    }
    auto* c = dynamic_cast<ComboBox*>(m_form.Find(ComboName(combo)));
    if (!c) return;
    c->Clear();
    for (const ListEntry& e : entries) {
        const int32_t at = c->AddItem(e.text);
        c->SetItemData(at, e.code);
    }
}

void MainForm::SetBusy(bool busy) {
    Screen::SetMousePointer(busy ? Screen::kHourglass : Screen::kDefaultPointer);
}

plat::forms::Form* MainForm::FormOf(kld::Form form) {
    switch (form) {
    case kld::Form::Main:
        return &m_form;
    case kld::Form::About:
        return &frmAbout().form();
    case kld::Form::Progress:
        return &frmProgress().form();
    }
    return nullptr;
}

FormPlacement MainForm::GetPlacement(kld::Form form) {
    plat::forms::Form* f = FormOf(form);
    FormPlacement p;
    const Qt::WindowStates s = f->window()->windowState();
    p.state = s & Qt::WindowMinimized ? 1 : s & Qt::WindowMaximized ? 2 : 0;
    p.left = f->Left();
    p.top = f->Top();
    p.width = f->Width();
    p.height = f->Height();
    return p;
}

void MainForm::SetWindowState(kld::Form form, int16_t state) {
    QWidget* w = FormOf(form)->window();
    w->setWindowState(state == 1   ? Qt::WindowMinimized
                      : state == 2 ? Qt::WindowMaximized
                                   : Qt::WindowNoState);
}

void MainForm::MoveForm(kld::Form form, double left, double top, double width, double height) {
    FormOf(form)->Move(static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(width),
                       static_cast<int32_t>(height));
}

double MainForm::ScreenWidth() {
    return Screen::Width();
}
double MainForm::ScreenHeight() {
    return Screen::Height();
}
int16_t MainForm::TwipsPerPixelX() {
    return Screen::TwipsPerPixelX;
}
int16_t MainForm::TwipsPerPixelY() {
    return Screen::TwipsPerPixelY;
}

void MainForm::UnloadForm(kld::Form form) {
    switch (form) {
    case kld::Form::Main:
        m_form.Unload();
        break;
    case kld::Form::About:
        if (m_about) m_about->form().Unload();
        break;
    case kld::Form::Progress:
        if (m_progress) m_progress->form().Unload();
        break;
    }
}

// ---------------------------------------------------------------- recent files

void MainForm::LoadRecentMenuItem(int32_t index) {
    if (m_form.FindMenu(kRecentItem, index)) return;
    Menu& item = m_form.AddMenu(kRecentItem, m_form.FindMenu("mnuFile"), index);
    item.Click = [this](int32_t i) { mnuFileRecentlyUsedKLD_Click(i); };
}

std::string MainForm::RecentMenuCaption(int32_t index) {
    Menu* m = m_form.FindMenu(kRecentItem, index);
    return m ? m->Caption() : std::string();
}

void MainForm::SetRecentMenuCaption(int32_t index, const std::string& caption) {
    if (Menu* m = m_form.FindMenu(kRecentItem, index)) m->SetCaption(caption);
}

bool MainForm::RecentMenuVisible(int32_t index) {
    Menu* m = m_form.FindMenu(kRecentItem, index);
    return m && m->Visible();
}

void MainForm::SetRecentMenuVisible(int32_t index, bool visible) {
    if (Menu* m = m_form.FindMenu(kRecentItem, index)) m->SetVisible(visible);
}

void MainForm::SetRecentSeparatorVisible(bool visible) {
    MenuItem("mnuFileRecentlyUsedKLDSep").SetVisible(visible);
}

// ---------------------------------------------------------------- action panel

void MainForm::RefreshOperAttributes(int16_t what) {
    if (hooks.RefreshOperAttributes)
        hooks.RefreshOperAttributes(what);
    else if (m_panel)
        m_panel->RefreshOperAttributes(what);
}

void MainForm::ReassignOperFileName() {
    if (hooks.ReassignOperFileName)
        hooks.ReassignOperFileName();
    else if (m_panel)
        m_panel->ReassignOperFileName();
}

// ---------------------------------------------------------------- progress

void MainForm::ShowProgress() {
    // The progress form blocks the other windows while the build runs: an
    // edit or a second build from the main window would work on the
    // document being built. Its own questions still come through.
    QWidget* window = frmProgress().form().window();
    if (!window->isVisible()) window->setWindowModality(Qt::ApplicationModal);
    frmProgress().form().Show();
}

void MainForm::ProgressStatus(int32_t percent) {
    frmProgress().OverallStatus(percent);
}

void MainForm::HideProgress() {
    if (m_progress) m_progress->form().Hide();
}

void MainForm::ProcessEvents() {
    DoEvents();
}

} // namespace kld::ui
