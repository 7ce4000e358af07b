#pragma once
// The action property panel beside the action list: the controls that show
// the record of the selected action or group, the refreshes that fill them
// (whole panel or one part, chosen by a refresh code) and the editors that
// write each input straight back into the record.
//
// Filling never writes: it runs with the designer's EditEventsEnabled off,
// and every editor acts only while it is on and an item is selected.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "KLDesigner/builder/document_model.h"
#include "KLDesigner/ui/form_design.h"

namespace plat::forms {
class Control;
}

namespace kld {
class Designer;
}

namespace kld::ui {

class MainForm;

// The panel's controls, containers before what they hold. The three frames
// of a file action and the two sub-panels come from the main form's table.
std::span<const ControlDesign> ActionPanelControls();

// The caption of the panel's frame for a record's kind; empty for a kind
// the panel does not know.
std::string ActionPanelCaption(int16_t actionType, bool isGroup, bool isFileMask);

// A typed whole number: the text's leading number rounded to the nearest
// Long, halves to even; no number gives 0. Nothing when the number lies
// outside the Long range (the field then keeps its value).
std::optional<int32_t> WholeNumberOfText(std::string_view text);
// Long registry data: the leading number, rounded down, clamped to the Long range.
int32_t LongDataOfText(std::string_view text);

class ActionPanel {
  public:
    // Builds the panel's controls on the main form and binds their events.
    explicit ActionPanel(MainForm& main);
    ActionPanel(const ActionPanel&) = delete;
    ActionPanel& operator=(const ActionPanel&) = delete;

    // --- refreshes -----------------------------------------------------------
    // Fills the whole panel (0) or the part a code 1-16 names from the
    // selected item's record; hides the panel when nothing usable is selected.
    // Only in the properties view of the action list.
    void RefreshOperAttributes(int16_t what);
    // The same for the tabs' refresh: it leaves the file frame's caption, and
    // disables the action list while nothing is selected.
    void RefreshSceneryTab(int16_t what);
    void RefreshOperFileAttributes(int32_t record, bool hasFile);
    void RefreshOperInstallCriteriaInfo(int32_t record);
    void RefreshOperInstallPathInfo(int32_t record);
    void RefreshOperRegCriteriaInfo(int32_t record);
    // The file name box given its own text again, so the panel re-reads it.
    void ReassignOperFileName();

    // --- editors -------------------------------------------------------------
    void txtOperFileName_Change();
    void txtOperFileName_KeyPress(int16_t& keyAscii);
    void txtOperFileSize_Change();
    void txtOperFileDate_Change();
    void txtOperFileVersionHi_Change();
    void txtOperFileVersionLo_Change();
    void txtOperFileBuild_Change();
    void chkOperFileIncludeSubDirs_Click();
    void chkOperEncrypt_Click();
    void chkOperFileAskUserToClose_Click();
    void chkOperFileUpdateAfterRestart_Click();
    void cboOperFileCriteriaType_Click();
    void cboOperFileCriteriaPath_Click();
    void cboOperFileCriteriaRegKey_Click();
    void txtOperFileCriteriaRegKeyValue_Change();
    void chkOperFileLogToRegistry_Click();
    void chkOperFileRegister_Click();
    void txtOperFileLogToRegistryData_Change();
    void cboOperFileCriteriaEdition_Click();
    void txtOperFileCriteriaEdition_Change();
    void chkOperFileCreateNew_Click();
    void cboOperFileDestPath_Click();
    void cboOperFileDestRegKey_Click();
    void txtOperFileDestRegKeyValue_Change();
    void chkCreateNewOperDestFolder_Click();
    void optOperDestFolderType_Click(int32_t index);
    void lstOperDestFolders_Click();
    void chkOperCompress_Click();
    void cboOperRegKey_Click();
    void txtOperRegKeyValue_Change();
    void cboOperRegDataType_Click();
    void txtOperRegKeyValueData_Change();
    void cboOperRegCriteriaType_Click();
    void cboOperRegCriteriaPath_Click();
    void cboOperRegCriteriaRegKey_Click();
    void txtOperRegCriteriaRegKeyValue_Change();
    void cboOperRegCriteriaEdition_Click();
    void txtOperRegCriteriaEdition_Change();
    void chkOperRegCreateNew_Click();

    // The source chooser: a folder for a group, a file for an action.
    // `justAdded` tells that an add command made the selected action a
    // moment ago; only such an action goes again when its choice is
    // cancelled.
    void cmdOperFileName_Click(bool justAdded = false);

    // --- what the panel calls outside itself ------------------------------
    // The Delete command with its index; unset, the selected item is
    // deleted through the designer and the panel and toolbar refreshed.
    std::function<void(int32_t index)> cmdDelete_Click;
    // The grid cells of a file action's item (the display's); unset, nothing.
    std::function<void(int32_t item)> RefreshOperationCells;

  private:
    // The selected item: its list position, its record and its group's record.
    struct Selection {
        int32_t item = -1;
        int32_t record = -1;
        int32_t parentItem = -1;
        int32_t parentRecord = 0;
    };
    Selection Selected() const;
    void Refresh(int16_t what, bool scenery);
    void ShowKind(const ActionRecord& r);
    void RefreshPart(int16_t code, const Selection& s, bool scenery);
    void FillFileNameRow(int32_t record, bool scenery);
    // The argument controls of a criterion (file or registry block).
    void ShowCriteriaArgument(bool file, int16_t criteria, const ActionRecord& r);
    void HideCriteriaArgument(bool file);
    // The record an editor writes: nothing when editors must not act (edit
    // events off, nothing selected, the panel showing another record than
    // the selected one, which it then shows); the index may lie outside the
    // array, in which case nothing is written but the refreshes still run.
    std::optional<int32_t> EditedRecord();
    ActionRecord* RecordAt(int32_t record) const;
    // After a write: the tree item ('i'), its cells ('c') or nothing ('-'),
    // then the panel's part and the modified mark.
    void Finish(int16_t code, int32_t record, char tree);
    void RefreshItem(int32_t item, int32_t record);
    void RefreshCells();
    void WriteDestination(const std::function<void(DestinationFolder& row)>& write, bool cells);
    // Runs an editor for an event of `source`.
    void Raise(plat::forms::Control* source, void (ActionPanel::*editor)());
    void Bind();
    // Writes that leave the control whose event is being handled alone.
    void PutText(const char* name, const std::string& text);
    void PutListIndex(const char* name, int32_t index);
    void PutCheck(const char* name, bool on);
    bool IsSource(const char* name, int32_t index = -1) const;
    void Show(const char* name, bool on, int32_t index = -1);
    void SetCaptionOf(const char* name, const std::string& caption, int32_t index = -1);
    Designer* D() const;
    plat::forms::Control& C(const char* name, int32_t index = -1) const;

    MainForm& m_main;
    // The control whose event is being handled: refreshes leave its text
    // alone, so typing is never overwritten under the caret.
    plat::forms::Control* m_source{nullptr};
    // The record the panel was last filled from (-1: none). What is typed
    // into the panel belongs to this record; while the list selects
    // another, nothing is written until the panel shows that one.
    int32_t m_shownRecord{-1};
};

} // namespace kld::ui
