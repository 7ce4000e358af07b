#include "support/recording_host.h"

namespace kldtest {

namespace {
std::string B(bool b) {
    return b ? "1" : "0";
}
const char* FormName(kld::Form f) {
    switch (f) {
    case kld::Form::Main:
        return "Main";
    case kld::Form::About:
        return "About";
    case kld::Form::Progress:
        return "Progress";
    }
    return "?";
}
} // namespace

void RecordingHost::Record(std::string call) {
    if (!record_only.empty()) {
        bool keep = false;
        for (const auto& p : record_only)
            if (call.rfind(p, 0) == 0) keep = true;
        if (!keep) return;
    }
    calls.push_back(std::move(call));
}

std::vector<std::string> RecordingHost::Calls(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& c : calls)
        if (c.rfind(prefix, 0) == 0) out.push_back(c);
    return out;
}

void RecordingHost::RefreshControls() {
    Record("RefreshControls");
}
void RecordingHost::RefreshToolbar(bool enabled) {
    Record("RefreshToolbar(" + B(enabled) + ")");
}
void RecordingHost::DisplaySaveButtons(bool enabled) {
    Record("DisplaySaveButtons(" + B(enabled) + ")");
}
void RecordingHost::ResizeForm() {
    Record("ResizeForm");
}
void RecordingHost::ResizeSceneryTab() {
    Record("ResizeSceneryTab");
}
void RecordingHost::RefreshLocationTab(int16_t code) {
    Record("RefreshLocationTab(" + std::to_string(code) + ")");
}
void RecordingHost::ShowTab(int16_t tab) {
    Record("ShowTab(" + std::to_string(tab) + ")");
}
void RecordingHost::ShowMainForm() {
    Record("ShowMainForm");
}
void RecordingHost::SetCaption(const std::string& c) {
    caption = c;
    Record("SetCaption(" + c + ")");
}
void RecordingHost::SetMaskPassword(bool checked) {
    Record("SetMaskPassword(" + B(checked) + ")");
}
void RecordingHost::SelectListRow(kld::ListBox list, int32_t row) {
    Record(std::string("SelectListRow(") +
           (list == kld::ListBox::lstInstallCriterias ? "lstInstallCriterias" : "lstProductPathes") + "," +
           std::to_string(row) + ")");
}
void RecordingHost::SelectAllAndFocus(kld::Control control) {
    Record(std::string("SelectAllAndFocus(") + kld::ControlName(control) + ")");
}
void RecordingHost::FocusControl(kld::Control control) {
    Record(std::string("Focus(") + kld::ControlName(control) + ")");
}
void RecordingHost::FillCombo(kld::Combo combo, const std::vector<kld::ListEntry>& entries) {
    combos[combo] = entries;
    Record(std::string("FillCombo(") + kld::ComboName(combo) + ")");
}
void RecordingHost::SetBusy(bool busy) {
    Record("SetBusy(" + B(busy) + ")");
}
kld::FormPlacement RecordingHost::GetPlacement(kld::Form form) {
    return forms[form];
}
void RecordingHost::SetWindowState(kld::Form form, int16_t state) {
    forms[form].state = state;
    Record(std::string("SetWindowState(") + FormName(form) + "," + std::to_string(state) + ")");
}
void RecordingHost::MoveForm(kld::Form form, double left, double top, double width, double height) {
    auto& f = forms[form];
    f.left = left;
    f.top = top;
    f.width = width;
    f.height = height;
    Record(std::string("MoveForm(") + FormName(form) + ")");
}
void RecordingHost::UnloadForm(kld::Form form) {
    Record(std::string("UnloadForm(") + FormName(form) + ")");
}
void RecordingHost::LoadRecentMenuItem(int32_t index) {
    if (index >= 1 && index <= 4) recent_loaded[index] = true;
    Record("LoadRecentMenuItem(" + std::to_string(index) + ")");
}
std::string RecordingHost::RecentMenuCaption(int32_t index) {
    return index >= 1 && index <= 4 && recent_loaded[index] ? recent_captions[index] : std::string();
}
void RecordingHost::SetRecentMenuCaption(int32_t index, const std::string& c) {
    if (index >= 1 && index <= 4 && recent_loaded[index]) recent_captions[index] = c;
}
bool RecordingHost::RecentMenuVisible(int32_t index) {
    return index >= 1 && index <= 4 && recent_loaded[index] && recent_visible[index];
}
void RecordingHost::SetRecentMenuVisible(int32_t index, bool visible) {
    if (index >= 1 && index <= 4 && recent_loaded[index]) recent_visible[index] = visible;
}
void RecordingHost::SetRecentSeparatorVisible(bool visible) {
    recent_separator = visible;
}
void RecordingHost::RefreshOperAttributes(int16_t what) {
    Record("RefreshOperAttributes(" + std::to_string(what) + ")");
}
void RecordingHost::ReassignOperFileName() {
    Record("ReassignOperFileName");
}
void RecordingHost::ShowProgress() {
    progress_shown = true;
    Record("ShowProgress");
}
void RecordingHost::ProgressStatus(int32_t percent) {
    progress = percent;
    Record("ProgressStatus(" + std::to_string(percent) + ")");
}
void RecordingHost::HideProgress() {
    progress_shown = false;
    Record("HideProgress");
}
void RecordingHost::ProcessEvents() {
    ++process_events_calls;
    if (on_process_events) on_process_events();
}

} // namespace kldtest
