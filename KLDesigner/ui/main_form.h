#pragma once
// The designer's main form: menus, the toolbar of button pairs, the tabs
// and the hosted action list, the document commands, the layout and the
// menu and toolbar state. It is also the window side of the document flow's
// host interface; the flow itself stays in the Designer.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <QObject>

#include "KLDesigner/builder/designer.h"
#include "KLDesigner/builder/host.h"
#include "platform/forms/form.h"
#include "platform/forms/hosted_control.h"

namespace kld {
class CActionDisplay;
}

namespace kld::ui {

class ProgressForm;
class AboutForm;
class ActionPanel;

// Runs a procedure after the keys, clicks and windows shown or hidden
// that the application handles, once for each batch.
class InputWatch final : public QObject {
  public:
    explicit InputWatch(std::function<void()> after);
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    std::function<void()> m_after;
    bool m_posted{false};
};

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
    bool Attached() const { return m_d != nullptr; }
    // The action property panel beside the action list.
    ActionPanel& panel() { return *m_panel; }

    // Where the later pieces of the window plug in. Each is optional.
    struct Hooks {
        // The product-setting tabs' refresh, given whether a document is open.
        std::function<void(bool)> RefreshTabs;
        // The action property panel's refresh (0 all, 1 the file fields).
        std::function<void(int16_t)> RefreshOperAttributes;
        std::function<void()> ReassignOperFileName;
        std::function<void(int16_t)> RefreshLocationTab;
        // The action panel's refresh as the full refresh of the tabs runs it.
        std::function<void(int16_t)> RefreshSceneryTab;
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

    // --- product, location and download tabs ----------------------------------
    // Shows (and fills) or hides the tab control.
    void RefreshTabs(bool show);
    // Each fills the controls of one refresh code, 0 every code.
    void RefreshProductTab(int16_t what);
    void RefreshDownloadTab(int16_t what);
    void txtProductName_Change();
    void txtManufacturer_Change();
    void txtIconFile_Change();
    void txtAdvertismentFile_Change();
    void txtWhatsNewFile_Change();
    void txtKLDTempPath_Change();
    void txtINFFile_Change();
    void txtInternetPath_Change();
    void chkDivideOntoChunks_Click();
    void txtDivideOntoChunks_Change();
    void chkResumeDownloading_Click();
    void chkPasswordProtection_Click();
    void txtPasswordProtection_Change();
    void chkMaskPassword_Click();
    void chkAutoUninstall_Click();
    void cmdProductIcon_Click();
    void cmdWhatsNewFile_Click();
    void cmdAdvertismentFile_Click();
    void cmdKLDTempPath_Click();

    // --- installation and destination tabs ------------------------------------
    void RefreshInstallTab(int16_t what);
    void RefreshProductInstallCriteriaInfo();
    void RefreshDestinationTab(int16_t what);
    void RefreshProductInstallPathInfo();
    void optInstallNew_Click();
    void optUpdateOld_Click();
    void lstInstallCriterias_Click();
    void optInstallCriteriaType_Click(int32_t index);
    void cboInstallCriteriaRegKey_Click();
    void txtInstallCriteriaRegValue_Change();
    void cboInstallCriteriaPath_Click();
    void txtInstallEdition_Change();
    void cboInstallWinVersion_Click();
    void lstProductPathes_Click();
    void optInstallPathType_Click(int32_t index);
    void cboProductDestinationPath_Click();
    void cboProductDestinationRegKey_Click();
    void txtProductDestinationRegValue_Change();
    void chkInstallPathCreateNewFolder_Click();

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

    // --- action commands, menus and tabs -------------------------------------
    // Every command is reached with index 0, from its button or its menu item.
    void cmdNewCopyFile_Click(int32_t index);
    void cmdNewExecuteFile_Click(int32_t index);
    void cmdNewRegistryKey_Click(int32_t index);
    void cmdDelRegistryKey_Click(int32_t index);
    void cmdNewItem_Click(int32_t index);
    void cmdNewGroupItem_Click(int32_t index);
    void cmdDuplicate_Click(int32_t index);
    void cmdDelete_Click(int32_t index);
    void cmdMoveUp_Click(int32_t index);
    void cmdMoveDown_Click(int32_t index);
    void cmdOperListViewStyle_Click(int32_t index, bool value);
    void cmdUpdateOperInfo_Click(int32_t index);
    void mnuViewActionListStyle_Click(int32_t index);
    void ctlTabs_Click(int32_t previousTab);

    // --- action list events and dragging -------------------------------------
    void vntOperations_Click();
    void vntOperations_PictureClick();
    void vntOperations_Expand(int32_t item);
    void vntOperations_Collapse(int32_t item);
    void vntOperations_ItemDblClick(int32_t item, int16_t button);
    void vntOperations_GridCellDblClick(plat::IDispatch* cell, int16_t button);
    void vntOperations_KeyDown(int16_t keyCode, int16_t shift);
    void vntOperations_KeyPress(int16_t keyAscii);
    void vntOperations_KeyUp(int16_t keyCode, int16_t shift);
    void vntOperations_MouseDown(int16_t button, int16_t shift, float x, float y);
    void vntOperations_MouseMove(int16_t button, int16_t shift, float x, float y);
    void vntOperations_DragOver(plat::IDispatch* source, float x, float y, int16_t state);
    void vntOperations_DragDrop(plat::IDispatch* source, float x, float y);
    // Brings the panel and the toolbar up to the list's selection when it
    // changed since they were last refreshed, whatever changed it: keys,
    // the mouse, a command or Prepare. Runs after every input the program
    // handles, and acts only while no list operation is under way.
    void FollowSelection();
    // What a drag of the list carries and where it points.
    struct ListDrag {
        bool CtrlHeld{false};
        float PressX{0}, PressY{0}; // twips; 0: no press on an item
        int32_t DragItem{-1};
        int32_t DropTarget{-1};
        bool CopyDrag{false};
    };
    const ListDrag& listDrag() const { return m_drag; }
    // The drag pictures: 0 move, 1 copy, 2 no drop.
    const QImage& DragPicture(int32_t which) const;
    // Gives the action list display the form's item pictures
    // (imgOperationType), made into picture objects by the list control.
    // A picture the control refuses leaves that kind without one.
    void LoadOperationPictures(CActionDisplay& display);
    // Shows the action list through `display`: its pictures, the grid
    // cells the panel's editors refresh, and Print Action List.
    void UseDisplay(CActionDisplay& display);

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
    void WireProductTabs();
    void WireInstallTabs();
    void RefreshLocationFields(int16_t what);
    // Runs an editor for `source`; the refresh it ends with leaves that
    // control's text alone, so what is being typed is not rewritten.
    void RunEditor(plat::forms::Control* source, const std::function<void()>& editor);
    // A text box whose text goes into one field of the document as typed.
    void EditTextField(const char* name, std::string& (*field)(Designer&),
                       const std::function<void()>& refresh);
    bool Rewrites(const plat::forms::Control& control) const { return &control != m_editing; }
    // Shows `value` in the named text box unless it is the one being typed in.
    void RefreshText(const char* name, const std::string& value);
    // The detail editors of the two lists: `store` writes the selected entry
    // from the control `source`; the details are refreshed after it.
    template <class T> using EntryStore = std::function<void(T&, plat::forms::Control&)>;
    void EditCriterion(const char* source, bool refresh_first, const EntryStore<ProductCriterion>& store);
    void EditDestination(const char* source, bool refresh_first, const EntryStore<DestinationFolder>& store);
    void ApplyMinimumSize();
    void WireCommands();
    // Tab 0 to 4: its panel, and the controls the tab shows above it.
    void ResizeSettingsTab(int32_t tab);
    plat::forms::Form* FormOf(kld::Form form);
    bool DocumentOpen() const;
    void WireActionCommands();
    void WireActionList();
    void SelectionRefresh();
    // What the panel and the toolbar were last refreshed for.
    struct ListState {
        int32_t count{-1};
        int32_t item{-1};
        int32_t record{-1};
        bool operator==(const ListState&) const = default;
    };
    ListState CurrentListState();
    void AddToGroup(bool folder);
    // The panel's source chooser for the selected item; `justAdded` when an
    // add command made it a moment ago.
    void ChooseOperSource(bool justAdded);

    Designer* m_d{nullptr};
    plat::forms::Control* m_editing{nullptr};
    // Focused while the window was hidden; focused as it shows.
    plat::forms::Control* m_pendingFocus{nullptr};
    plat::forms::Form m_form{"frmMain"};
    plat::forms::HostedControl* m_operations{nullptr};
    std::unique_ptr<ProgressForm> m_progress;
    std::unique_ptr<AboutForm> m_about;
    std::unique_ptr<ActionPanel> m_panel;
    ListDrag m_drag;
    ListState m_seen;
    std::unique_ptr<InputWatch> m_selectionWatch;

    // Designed sizes, taken at the first layout (0: not yet).
    struct {
        int32_t properties_width{0};
        int32_t dest_height{0};
        int32_t criteria_height{0};
        int32_t file_gap{0};
        bool scenery_taken{false};
        int32_t tab_width[5]{};
        int32_t tab_height[5]{};
        // Where the panel and the controls above it stood, for those to
        // keep their distance from the panel.
        int32_t tab_left[5]{};
        int32_t tab_top[5]{};
        int32_t head_left[5][2]{};
        int32_t head_top[5][2]{};
    } m_designed;
};

// Whether dropping list item `item` on `target` keeps every group whole:
// an action stays in its own group, a group at the top, and a move never
// takes a group's only action or the list's only item away.
bool DropRuleHolds(IActionTree& tree, int32_t item, int32_t target, bool copy);

} // namespace kld::ui
