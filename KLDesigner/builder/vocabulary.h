#pragma once
// The selection lists of the designer's editors: each entry's text and the
// code the document stores for it, and the small helpers the editors use.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "KLDesigner/builder/document_model.h"
#include "KLDesigner/builder/host.h"

namespace kld {

// The lists, entries in display order. `limited` leaves out the three file
// comparisons (execute-file actions).
std::vector<ListEntry> FileCriteriaList(bool limited);
std::vector<ListEntry> InstallCriteriaList();
std::vector<ListEntry> EditionCompareList();
std::vector<ListEntry> FolderMacroList();
std::vector<ListEntry> DestinationMacroList();
std::vector<ListEntry> HiveList();
std::vector<ListEntry> DataTypeList();

// Which list each of the sixteen combo boxes gets, in filling order.
struct ComboList {
    Combo combo;
    std::vector<ListEntry> entries;
};
std::vector<ComboList> ComboLists();

void AddComboItem(std::vector<ListEntry>& list, std::string text, int32_t code);
// Index of the first entry with the code; -1 for none or an empty list.
int16_t FindItemDataIndex(const std::vector<ListEntry>& list, int32_t code);

// A typed date: the date it reads as, or the zero date ("no date") when it
// is not one.
OleDate TextToDate(std::string_view text);

} // namespace kld
