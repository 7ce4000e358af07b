#pragma once
// A designer host without windows: every call is recorded as a line of text
// ("RefreshToolbar(1)", "Focus(txtKLDTempPath)"), placement and menus are
// kept in plain fields, and ProcessEvents runs a test's hook (to press
// Cancel halfway, for example).
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "KLDesigner/builder/host.h"

namespace kldtest {

class RecordingHost : public kld::IDesignerHost {
  public:
    std::vector<std::string> calls;
    // Only calls whose text starts with one of these prefixes are recorded,
    // when the list is not empty.
    std::vector<std::string> record_only;

    std::map<kld::Form, kld::FormPlacement> forms;
    double screen_width = 1920 * 15, screen_height = 1080 * 15;
    std::string caption;
    std::map<kld::Combo, std::vector<kld::ListEntry>> combos;
    std::string recent_captions[5];
    bool recent_visible[5] = {false, false, false, false, false};
    bool recent_loaded[5] = {false, true, false, false, false};
    bool recent_separator = false;
    int32_t progress = -1;
    bool progress_shown = false;
    int32_t process_events_calls = 0;
    std::function<void()> on_process_events;

    // The calls recorded whose text starts with `prefix`.
    std::vector<std::string> Calls(const std::string& prefix) const;
    void Clear() { calls.clear(); }

    void RefreshControls() override;
    void RefreshToolbar(bool enabled) override;
    void DisplaySaveButtons(bool enabled) override;
    void ResizeForm() override;
    void ResizeSceneryTab() override;
    void RefreshLocationTab(int16_t code) override;
    void ShowTab(int16_t tab) override;
    void ShowMainForm() override;
    void SetCaption(const std::string& caption) override;
    void SetMaskPassword(bool checked) override;
    void SelectListRow(kld::ListBox list, int32_t row) override;
    void SelectAllAndFocus(kld::Control control) override;
    void FocusControl(kld::Control control) override;
    void FillCombo(kld::Combo combo, const std::vector<kld::ListEntry>& entries) override;
    void SetBusy(bool busy) override;
    kld::FormPlacement GetPlacement(kld::Form form) override;
    void SetWindowState(kld::Form form, int16_t state) override;
    void MoveForm(kld::Form form, double left, double top, double width, double height) override;
    double ScreenWidth() override { return screen_width; }
    double ScreenHeight() override { return screen_height; }
    int16_t TwipsPerPixelX() override { return 15; }
    int16_t TwipsPerPixelY() override { return 15; }
    void UnloadForm(kld::Form form) override;
    void LoadRecentMenuItem(int32_t index) override;
    std::string RecentMenuCaption(int32_t index) override;
    void SetRecentMenuCaption(int32_t index, const std::string& caption) override;
    bool RecentMenuVisible(int32_t index) override;
    void SetRecentMenuVisible(int32_t index, bool visible) override;
    void SetRecentSeparatorVisible(bool visible) override;
    void RefreshOperAttributes(int16_t what) override;
    void ReassignOperFileName() override;
    void ShowProgress() override;
    void ProgressStatus(int32_t percent) override;
    void HideProgress() override;
    void ProcessEvents() override;

  private:
    void Record(std::string call);
};

} // namespace kldtest
