#pragma once
// The visible action list: one tree-list item per action record, groups at
// the top and their actions as children, each item carrying its record
// index as its Long value. The control is reached through its dispatch
// interface alone, member by member number.
//
// Every procedure here goes on past a member that fails and reports
// nothing: a property that cannot be set keeps its old value. Guards keep
// calls with a stale position from touching any item.
#include <array>
#include <cstdint>
#include <string>

#include "KLDesigner/builder/designer.h"
#include "KLDesigner/builder/tree_bridge.h"
#include "platform/com/dispatch_client.h"

namespace kld {

// The item pictures, by what an item stands for.
namespace picture {
constexpr int32_t InstallGroup = 0;
constexpr int32_t ExecuteGroup = 1;
constexpr int32_t CreateRegistryGroup = 2;
constexpr int32_t DeleteRegistryGroup = 3;
constexpr int32_t File = 4;         // one install file, and every execute file
constexpr int32_t FileMask = 5;     // install files by mask from the group's folder
constexpr int32_t RegistryText = 6; // a string value, a key alone, or a deletion
constexpr int32_t RegistryLong = 7; // a Long value to create
constexpr int32_t Count = 8;
} // namespace picture

// Colours of item texts and of the grid, as the control takes them.
inline constexpr int32_t kFileActionColor = 0x000000;     // black
inline constexpr int32_t kRegistryActionColor = 0x7F0000; // dark blue (RGB 0, 0, 127)
inline constexpr int32_t kFileNameColumnColor = 0x00FFFF; // yellow
inline constexpr int32_t kPrintBackColor = 0xFFFFFF;      // white

inline constexpr const char* kPrinterNotReady =
    "Default printer is not ready. Please, fix the problem and try again.";

// The text, picture and colour an item shows for its record; what the
// item shows is this and nothing else. `known` is false for a kind the list
// has no face for (the item keeps its text, picture and colour then).
struct OperationFace {
    bool known = false;
    std::string text;
    int32_t picture = 0;
    int32_t color = 0;
};
OperationFace FaceOf(const ActionRecord& r);

// One column of a file group's item grid.
struct OperationColumn {
    const char* key; // the item value it shows; null for the name column
    const char* title;
    int32_t widthPixels;
    int32_t alignment; // 0 leaves the cell definition's own
    bool installOnly;
};
// Columns 1 to 12 (column 0, the row titles, stays hidden).
const std::array<OperationColumn, 12>& OperationColumns();

// The cell text of a file action in the column of that key.
std::string CellText(const ActionRecord& r, const std::string& key);

class CActionDisplay : public ITreeBridge {
  public:
    // `operations` is the visible tree-list control.
    explicit CActionDisplay(plat::IDispatch* operations) : m_ctl(operations) {}

    plat::IDispatch* Control() const { return m_ctl.get(); }

    // The picture an item of that kind shows (the main form's images);
    // without one the item shows none.
    void SetPicture(int32_t index, plat::IDispatch* picture);

    // --- one item ---------------------------------------------------------
    // The item's text, pictures, colour and font from the record; a file
    // group also gets its column grid, a file action its cells.
    void RefreshOperationItem(Designer& d, int32_t item, int32_t record) override;
    // The item grid of a file group item.
    void InitOperationColumns(Designer& d, int32_t item);
    // The cell values of a file action item, from the record its Long value
    // names.
    void RefreshOperationCells(Designer& d, int32_t item);
    // A group goes after the group that holds the selection (at the end when
    // nothing is selected); an action at the end of that group, and nowhere
    // when nothing is selected. The new item carries the record and is
    // selected.
    void AddOperationItem(Designer& d, int32_t record, bool isGroup) override;
    // Removes the item (with what is below it) and selects a neighbour that
    // can be seen: the item now at that position, or the last one, or the
    // group of a hidden one.
    void RemoveOperationItem(Designer& d, int32_t item) override;

    // --- the whole list -----------------------------------------------------
    // One item per record in use, in record order: groups at the top, each
    // action under the group before it. The first item is selected and edit
    // events are on afterwards; with no records nothing happens.
    void FillOperationsTree(Designer& d) override;
    // Prints the list on the default printer on a white background. A list
    // of one item or none prints nothing. A printer that fails gets the
    // "not ready" message; the list's own background and drawing come back
    // either way. True when the list was printed.
    bool PrintOperationsTree(Designer& d);

    // The description file is not the display's: the bridge that owns the
    // file answers these, and this class alone stores nothing.
    void StoreDescriptionInTree(Designer&) override {}
    bool SaveTreeToFile(Designer&, const std::string&) override { return false; }
    bool LoadTreeFromFile(Designer&, const std::string&) override { return false; }
    void ReadDescriptionFromTree(Designer&) override {}

  private:
    // Whether the list has a row `item`; the record an item stands for, or
    // null when the item or its record index is not valid.
    bool HasItem(int32_t item) const;
    const ActionRecord* RecordOfItem(Designer& d, int32_t item) const;
    // What RefreshOperationItem does to an item known to be there; the grid
    // or cells come from `carried` when the item is known to carry that
    // record, else from the record the item names.
    void RefreshItem(Designer& d, int32_t item, int32_t record, const ActionRecord* carried);
    void InitColumns(Designer& d, int32_t item, const ActionRecord& r);
    void WriteCells(int32_t item, const ActionRecord& r);
    // The item just added (NewIndex) gets the record, its face, and the
    // selection. Its position, or -1 when any of that failed.
    int32_t SetUpNewItem(Designer& d, int32_t record);

    plat::ComPtr<plat::IDispatch> m_ctl;
    std::array<plat::ComPtr<plat::IDispatch>, picture::Count> m_pictures;
};

} // namespace kld
