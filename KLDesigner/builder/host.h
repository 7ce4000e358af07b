#pragma once
// What the document model asks of the designer's windows: refreshes, focus,
// tabs, the progress form, menus, placement and the message loop. Questions
// and file dialogs go through the prompt interface instead.
#include <cstdint>
#include <string>
#include <vector>

namespace kld {

// Controls that the document flow, Prepare and validation select or focus.
enum class Control : int32_t {
    txtProductName,
    txtManufacturer,
    txtWhatsNewFile,
    txtAdvertismentFile,
    txtIconFile,
    txtKLDTempPath,
    txtINFFile,
    txtInternetPath,
    cboInstallCriteriaRegKey,
    cboProductDestinationPath,
    cboProductDestinationRegKey,
    cmdOperFileName,
    chkOperFileRegister,
    cboOperFileDestPath,
    cboOperFileDestRegKey,
    cboOperFileCriteriaRegKey,
};
const char* ControlName(Control c);

// The sixteen vocabulary combo boxes, in the order they are filled.
enum class Combo : int32_t {
    cboOperFileCriteriaType,
    cboOperRegCriteriaType,
    cboOperFileCriteriaEdition,
    cboOperRegCriteriaEdition,
    cboInstallCriteriaPath,
    cboProductDestinationPath,
    cboOperFileDestPath,
    cboOperFileCriteriaPath,
    cboOperRegCriteriaPath,
    cboInstallCriteriaRegKey,
    cboProductDestinationRegKey,
    cboOperFileDestRegKey,
    cboOperFileCriteriaRegKey,
    cboOperRegKey,
    cboOperRegCriteriaRegKey,
    cboOperRegDataType,
};
const char* ComboName(Combo c);

enum class ListBox : int32_t { lstInstallCriterias, lstProductPathes };

enum class Form : int32_t { Main, About, Progress };

// Tabs of the main window.
namespace tab {
constexpr int16_t Product = 0;
constexpr int16_t Location = 1;
constexpr int16_t Installation = 2;
constexpr int16_t Destination = 3;
constexpr int16_t Download = 4;
constexpr int16_t ActionList = 5;
} // namespace tab

// One entry of a selection list: its text and the code stored for it.
struct ListEntry {
    std::string text;
    int32_t code = 0;
    bool operator==(const ListEntry&) const = default;
};

// A form's window state and placement, in twips.
struct FormPlacement {
    int16_t state = 0; // 0 normal, 1 minimised, 2 maximised
    double left = 0, top = 0, width = 0, height = 0;
};

class IDesignerHost {
  public:
    virtual ~IDesignerHost() = default;

    // --- main window ---------------------------------------------------
    virtual void RefreshControls() = 0;
    virtual void RefreshToolbar(bool enabled) = 0;
    // The Save button pair: live (true) or disabled face.
    virtual void DisplaySaveButtons(bool enabled) = 0;
    virtual void ResizeForm() = 0;
    virtual void ResizeSceneryTab() = 0;
    virtual void RefreshLocationTab(int16_t code) = 0;
    virtual void ShowTab(int16_t tab) = 0;
    virtual void ShowMainForm() = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void SetMaskPassword(bool checked) = 0;
    virtual void SelectListRow(ListBox list, int32_t row) = 0;
    // Whole text selected, focus when the control is visible.
    virtual void SelectAllAndFocus(Control control) = 0;
    virtual void FocusControl(Control control) = 0;
    virtual void FillCombo(Combo combo, const std::vector<ListEntry>& entries) = 0;
    virtual void SetBusy(bool busy) = 0; // the hourglass pointer

    // --- placement -----------------------------------------------------
    virtual FormPlacement GetPlacement(Form form) = 0;
    virtual void SetWindowState(Form form, int16_t state) = 0;
    virtual void MoveForm(Form form, double left, double top, double width, double height) = 0;
    virtual double ScreenWidth() = 0; // twips
    virtual double ScreenHeight() = 0;
    virtual int16_t TwipsPerPixelX() = 0;
    virtual int16_t TwipsPerPixelY() = 0;
    virtual void UnloadForm(Form form) = 0;

    // --- recent-files menu (elements 1 to 4) ------------------------------
    virtual void LoadRecentMenuItem(int32_t index) = 0;
    virtual std::string RecentMenuCaption(int32_t index) = 0;
    virtual void SetRecentMenuCaption(int32_t index, const std::string& caption) = 0;
    virtual bool RecentMenuVisible(int32_t index) = 0;
    virtual void SetRecentMenuVisible(int32_t index, bool visible) = 0;
    virtual void SetRecentSeparatorVisible(bool visible) = 0;

    // --- action property panel -------------------------------------------
    virtual void RefreshOperAttributes(int16_t what) = 0;
    // The file name box given its own text again, so the panel re-reads it.
    virtual void ReassignOperFileName() = 0;

    // --- progress form ---------------------------------------------------
    virtual void ShowProgress() = 0;
    virtual void ProgressStatus(int32_t percent) = 0;
    virtual void HideProgress() = 0;
    // The compressor's progress on the file it packs: the bytes processed
    // so far and whether the file is complete. A host with a progress
    // handler shows the share and counts a completed file into
    // `ZipProgress` itself, and answers true; one without answers false and
    // the build shows and counts it.
    virtual bool ZipFileStatus(double processed, bool completed) { return false; }
    // Lets the window system run pending events (Cancel may be pressed).
    virtual void ProcessEvents() = 0;
};

} // namespace kld
