#pragma once
// The designer's one document and its process state, with every operation
// the windows call on it: document flow, action-list editing, Prepare and
// its checks, update files, INF writers, settings and the file information
// refresh. There is one Designer per program; tests make their own with
// scripted services.
#include <cstdint>
#include <string>
#include <vector>

#include "KLDesigner/builder/action_tree.h"
#include "KLDesigner/builder/document_model.h"
#include "KLDesigner/builder/host.h"
#include "KLDesigner/builder/tree_bridge.h"
#include "platform/ui/prompt.h"

namespace kld {

// Where the designer reaches outside itself. All four must outlive it.
struct DesignerServices {
    IDesignerHost& host;
    plat::ui::IPrompt& prompt;
    IActionTree& operations; // the visible action list
    ITreeBridge& bridge;
};

class Designer {
  public:
    explicit Designer(DesignerServices services);
    Designer(const Designer&) = delete;
    Designer& operator=(const Designer&) = delete;

    IDesignerHost& Host() { return m_host; }
    plat::ui::IPrompt& Prompt() { return m_prompt; }
    IActionTree& Operations() { return m_tree; }
    ITreeBridge& Bridge() { return m_bridge; }

    // --- document state ----------------------------------------------------
    ProductSettings Product;
    std::vector<ActionRecord> Actions = std::vector<ActionRecord>(1);
    int16_t ActionCount = 0;
    std::string CurrentFileName = kNoDocument;
    bool DocumentModified = false;
    bool EditEventsEnabled = false;
    int16_t ActionListViewStyle = -1;
    std::string AppTitle = kAppTitle;
    std::string AppPath;
    int16_t TwipsPerPixelX = 15;
    int16_t TwipsPerPixelY = 15;
    std::string LastDialogFolder;
    std::string StartupFileName = kNoDocument;
    int32_t ListEditBuffer = 0;
    int16_t UpdateFileCounter = 0;
    struct {
        double total = 0; // bytes of every source to pack
        double done = 0;  // bytes of the files already finished
    } ZipProgress;
    bool CancelRequested = false;
    // Set while Prepare runs: a second Prepare and document changes wait.
    bool PrepareRunning = false;

    int32_t ActionsUpperBound() const { return static_cast<int32_t>(Actions.size()) - 1; }
    bool IsRecordIndex(int32_t index) const { return index >= 0 && index <= ActionsUpperBound(); }

    // --- document model ------------------------------------------------------
    void InitOperationRecord(int32_t index);
    void CopyOperationRecord(int32_t source, int32_t target);
    void ClearProduct();
    void ClearOperations();

    // --- start-up and document flow -------------------------------------------
    // `commandLine` is the program's argument text; `programFolder` the
    // folder of the running program.
    void Main(const std::string& commandLine, const std::string& programFolder);
    void InitGlobals(const std::string& programFolder);
    void CreateRecentFilesMenu();
    void CenterForm(Form form);
    void OpenDocument(const std::string& name);
    void NewDocument();
    void LoadDocumentFromBuffer();
    bool SaveDocument();
    void SetDocumentChanged();
    void RefreshFormCaption();
    // programs: a first choice lists the files one may run, whatever their names.
    std::string ShowOpenDialog(const std::string& filter, bool fileMustExist, const std::string& startFolder,
                               const std::string& fileName, const std::string& title, bool programs = false);
    std::string ShowSaveDialog(const std::string& filter, const std::string& startFolder,
                               const std::string& fileName, const std::string& title);
    bool AskSaveChanges(bool ask);
    void SaveSettingsOnExit();
    void SetActionListViewStyle(int16_t style);
    void ShowHelpDocument();

    // --- vocabulary lists ----------------------------------------------------------
    void FillComboLists();
    // Each fills one combo box with its list through the host; `limited`
    // leaves out the file comparisons (execute-file actions).
    void FillFileCriteriaCombo(Combo combo, bool limited);
    void FillInstallCriteriaCombo(Combo combo);
    void FillEditionCompareCombo(Combo combo);
    void FillFolderMacroCombo(Combo combo);
    void FillDestinationMacroCombo(Combo combo);
    void FillHiveCombo(Combo combo);
    void FillDataTypeCombo(Combo combo);

    // --- action-list operations --------------------------------------------------
    // True when a record and its item were added.
    bool AddOperation(int16_t kind, bool isGroup);
    int32_t InsertOperationSlot(int16_t kind, bool isGroup);
    void DeleteOperation(int32_t position);
    void DuplicateOperation(int32_t position);
    void DuplicateItemRecord(int32_t sourcePosition, int32_t targetPosition);
    void MoveOperation(int32_t position, bool up);
    void DropOperation(int32_t source, int32_t target, bool copy);

    // --- Prepare -------------------------------------------------------------------
    void PrepareUpdate();
    bool ValidateDescription();
    bool BuildUpdateFiles();
    double ComputeBuildTotals();
    bool ValidateProductSettings();
    bool ValidateActions();

    // --- update files ----------------------------------------------------------------
    bool MakeUpdateFile(int32_t index, const std::string& sourcePath, std::string& errorText);
    bool ZipUpdateFile(int32_t index, const std::string& sourcePath, const std::string& baseName,
                       std::string& errorText);

    // --- INF writers -----------------------------------------------------------------
    bool WriteProductINF();
    bool WriteProductsINF();

    // --- settings and recent files -------------------------------------------------
    std::string GetSettingValue(const std::string& key, const std::string& def);
    void SaveSettingValue(const std::string& key, const std::string& value);
    void LoadSettings();
    void SaveSettings();
    void AddRecentFile(const std::string& path);

    // --- file information --------------------------------------------------------------
    int32_t UpdateOperFileInfo(int32_t position);

    // A message box titled with the application title. `flags` are the
    // platform's message-box style bits: buttons in bits 0-2, icon 0x10-0x40,
    // default button 0x100 / 0x200.
    plat::ui::MsgAnswer Message(const std::string& text, int32_t flags);

  private:
    // The output folder as Prepare uses it: the stored text made a native path.
    std::string OutputPath() const;
    std::string SourceFileOf(int32_t position, int32_t record);
    bool ShowFailingItem(int32_t position);

    IDesignerHost& m_host;
    plat::ui::IPrompt& m_prompt;
    IActionTree& m_tree;
    ITreeBridge& m_bridge;
};

// The progress form's percentage for bytes done of a total:
// Int(done * 100 / total) - 1, kept within 0 to 100; a total of 0 shows 0.
int32_t ProgressPercent(double done, double total);

// Message-box style bits.
namespace mb {
constexpr int32_t OkOnly = 0x0;
constexpr int32_t YesNoCancel = 0x3;
constexpr int32_t YesNo = 0x4;
constexpr int32_t Critical = 0x10;
constexpr int32_t Question = 0x20;
constexpr int32_t Exclamation = 0x30;
constexpr int32_t Information = 0x40;
constexpr int32_t DefaultButton2 = 0x100;
} // namespace mb

} // namespace kld
