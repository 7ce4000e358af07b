#pragma once
// A designer host for benchmarks: the designer's windows, answered by nothing.
#include <string>
#include <vector>

#include "KLDesigner/builder/host.h"

namespace kl_bench {

class QuietHost final : public kld::IDesignerHost {
  public:
    void RefreshControls() override {}
    void RefreshToolbar(bool) override {}
    void DisplaySaveButtons(bool) override {}
    void ResizeForm() override {}
    void ResizeSceneryTab() override {}
    void RefreshLocationTab(int16_t) override {}
    void ShowTab(int16_t) override {}
    void ShowMainForm() override {}
    void SetCaption(const std::string&) override {}
    void SetMaskPassword(bool) override {}
    void SelectListRow(kld::ListBox, int32_t) override {}
    void SelectAllAndFocus(kld::Control) override {}
    void FocusControl(kld::Control) override {}
    void FillCombo(kld::Combo, const std::vector<kld::ListEntry>&) override {}
    void SetBusy(bool) override {}
    kld::FormPlacement GetPlacement(kld::Form) override { return {}; }
    void SetWindowState(kld::Form, int16_t) override {}
    void MoveForm(kld::Form, double, double, double, double) override {}
    double ScreenWidth() override { return 1920 * 15; }
    double ScreenHeight() override { return 1080 * 15; }
    int16_t TwipsPerPixelX() override { return 15; }
    int16_t TwipsPerPixelY() override { return 15; }
    void UnloadForm(kld::Form) override {}
    void LoadRecentMenuItem(int32_t) override {}
    std::string RecentMenuCaption(int32_t) override { return {}; }
    void SetRecentMenuCaption(int32_t, const std::string&) override {}
    bool RecentMenuVisible(int32_t) override { return false; }
    void SetRecentMenuVisible(int32_t, bool) override {}
    void SetRecentSeparatorVisible(bool) override {}
    void RefreshOperAttributes(int16_t) override {}
    void ReassignOperFileName() override {}
    void ShowProgress() override {}
    void ProgressStatus(int32_t) override {}
    void HideProgress() override {}
    void ProcessEvents() override {}
};

} // namespace kl_bench
