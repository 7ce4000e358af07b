#pragma once
// The designer's main form: menus, the toolbar of button pairs, the tabs
// and the hosted action list, the document commands, the layout and the
// menu and toolbar state. It is also the window side of the document flow's
// host interface; the flow itself stays in the Designer.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "KLDesigner/builder/designer.h"
#include "KLDesigner/builder/host.h"
#include "platform/forms/form.h"
#include "platform/forms/hosted_control.h"

namespace kld::ui {

class ProgressForm;
class AboutForm;

class MainForm : public IDesignerHost {
  public:
    MainForm();
    ~MainForm() override;
    MainForm(const MainForm&) = delete;
    MainForm& operator=(const MainForm&) = delete;

    // The designer this form shows; set once, before the form is loaded.
    void Attach(Designer& designer);
    Designer& designer() { return *m_d; }
    plat::forms::Form& form() { return m_form; }
    plat::forms::HostedControl& vntOperations() { return *m_operations; }
    ProgressForm& frmProgress();
    AboutForm& frmAbout();
    bool ProgressLoaded() const { return m_progress != nullptr; }

    // Where the later pieces of the window plug in. Each is optional.
    struct Hooks {
        // The product-setting tabs' refresh, given whether a document is open.
        std::function<void(bool)> RefreshTabs;
        // The action property panel's refresh (0 all, 1 the file fields).
        std::function<void(int16_t)> RefreshOperAttributes;
        std::function<void()> ReassignOperFileName;
        std::function<void(int16_t)> RefreshLocationTab;
        // Prints the action list (the display's printing).
        std::function<void()> PrintOperationsTree;
        // Fills a vocabulary combo box and selects rows of the tabs' lists.
        std::function<void(Combo, const std::vector<ListEntry>&)> FillCombo;
        std::function<void(ListBox, int32_t)> SelectListRow;
    } hooks;

    // --- menu and toolbar state ---------------------------------------------
    void RefreshControls();
    void RefreshTopMenu(bool open);
    void RefreshToolbar(bool open) override;
    // E: the live button enabled and in front; else disabled with the face in front.
    void DisplayButtonsPair(const std::string& pair, bool enabled);
    // Whether the live button of a pair is drawn above its face.
    bool LiveOnTop(const std::string& pair) const;
    plat::forms::CommandButton& Live(const std::string& pair) const;
    plat::forms::CommandButton& Face(const std::string& pair) const;
    plat::forms::RibbonButton& ViewStyle(int32_t index) const;
    plat::forms::Menu& MenuItem(const std::string& name, int32_t index = -1) const;
    // The drop-downs: each copies the toolbar's state into its items.
    void mnuFile_Click();
    void mnuEdit_Click();
    void mnuView_Click();

    // --- layout --------------------------------------------------------------
    void ResizeForm() override;
    void ResizeProductTab();
    void ResizeLocationTab();
    void ResizeInstallTab();
    void ResizeDestinationTab();
    void ResizeOptionsTab();
    void ResizeSceneryTab() override;

    // --- document commands ---------------------------------------------------
    void Form_Load();
    void Form_QueryUnload(bool& cancel, plat::forms::UnloadMode mode);
    void mnuFileExit_Click();
    void cmdNew_Click();
    void cmdOpen_Click();
    void cmdSave_Click();
    void mnuFileSaveAs_Click();
    void mnuFileRecentlyUsedKLD_Click(int32_t index);
    void cmdPrint_Click();
    void cmdMakeStuff_Click();
    void mnuHelpContents_Click();
    void mnuHelpAbout_Click();
    // The compressor's progress: bytes of the current file processed so far
    // and whether that file is complete.
    bool ZipFileStatus(double processed, bool completed) override;

    // --- IDesignerHost -------------------------------------------------------
    void DisplaySaveButtons(bool enabled) override;
    void RefreshLocationTab(int16_t code) override;
    void ShowTab(int16_t tab) override;
    void ShowMainForm() override;
    void SetCaption(const std::string& caption) override;
    void SetMaskPassword(bool checked) override;
    void SelectListRow(ListBox list, int32_t row) override;
    void SelectAllAndFocus(Control control) override;
    void FocusControl(Control control) override;
    void FillCombo(Combo combo, const std::vector<ListEntry>& entries) override;
    void SetBusy(bool busy) override;
    FormPlacement GetPlacement(kld::Form form) override;
    void SetWindowState(kld::Form form, int16_t state) override;
    void MoveForm(kld::Form form, double left, double top, double width, double height) override;
    double ScreenWidth() override;
    double ScreenHeight() override;
    int16_t TwipsPerPixelX() override;
    int16_t TwipsPerPixelY() override;
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
    void BuildForm();
    void ApplyMinimumSize();
    void WireCommands();
    void ResizeSettingsTab(const char* panel, int32_t& designed_width, int32_t& designed_height);
    plat::forms::Form* FormOf(kld::Form form);
    bool DocumentOpen() const;

    Designer* m_d{nullptr};
    plat::forms::Form m_form{"frmMain"};
    plat::forms::HostedControl* m_operations{nullptr};
    std::unique_ptr<ProgressForm> m_progress;
    std::unique_ptr<AboutForm> m_about;

    // Designed sizes, taken at the first layout (0: not yet).
    struct {
        int32_t properties_width{0};
        int32_t dest_height{0};
        int32_t criteria_height{0};
        int32_t file_gap{0};
        bool scenery_taken{false};
        int32_t tab_width[5]{};
        int32_t tab_height[5]{};
    } m_designed;
};

} // namespace kld::ui
