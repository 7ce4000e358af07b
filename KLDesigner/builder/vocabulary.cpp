#include "KLDesigner/builder/vocabulary.h"

#include "KLDesigner/builder/designer.h"
#include "platform/sys/oledate.h"

namespace kld {

std::vector<ListEntry> FileCriteriaList(bool limited) {
    std::vector<ListEntry> l{{"Always", 0}};
    if (!limited) {
        l.push_back({"Date Of Existing File Is Older", 12});
        l.push_back({"Version Of Existing File Is Older", 11});
        l.push_back({"Size/CRC Of Existing File Are Different", 13});
    }
    l.push_back({"Registry Key Value Exists", 1});
    l.push_back({"Registry Key Value Doesn't Exist", -1});
    return l;
}

std::vector<ListEntry> InstallCriteriaList() {
    return {{"Always", 0},
            {"Disk File Exists", 2},
            {"Disk File Doesn't Exist", -2},
            {"Disk Folder Exists", 3},
            {"Disk Folder Doesn't Exist", -3},
            {"Disk File Specified In Registry Key Value Exists", 4},
            {"Disk File Specified In Registry Key Value Doesn't Exist", -4},
            {"Disk Folder Specified In Registry Key Value Exists", 5},
            {"Disk Folder Specified In Registry Key Value Doesn't Exist", -5},
            {"Registry Key Value Exists", 1},
            {"Registry Key Value Doesn't Exist", -1}};
}

std::vector<ListEntry> EditionCompareList() {
    return {{"Any", 0}, {"Equal To", 1}, {"Greater Then", 2}, {"Less Then", 3}};
}

std::vector<ListEntry> FolderMacroList() {
    return {{"%WIN%", 1}, {"%SYS%", 2}, {"%PROGRAM FILES%", 3}, {"%TEMP%", 4}};
}

std::vector<ListEntry> DestinationMacroList() {
    return {{"%PRODUCT%", 0}, {"%WIN%", 1}, {"%SYS%", 2}, {"%PROGRAM FILES%", 3}, {"%TEMP%", 4}};
}

std::vector<ListEntry> HiveList() {
    return {{"HKEY_CLASSES_ROOT\\", 0},
            {"HKEY_CURRENT_USER\\", 1},
            {"HKEY_LOCAL_MACHINE\\", 2},
            {"HKEY_USERS\\", 3}};
}

std::vector<ListEntry> DataTypeList() {
    return {{"String", 1}, {"Long", 4}};
}

std::vector<ComboList> ComboLists() {
    return {{Combo::cboOperFileCriteriaType, FileCriteriaList(false)},
            {Combo::cboOperRegCriteriaType, InstallCriteriaList()},
            {Combo::cboOperFileCriteriaEdition, EditionCompareList()},
            {Combo::cboOperRegCriteriaEdition, EditionCompareList()},
            {Combo::cboInstallCriteriaPath, FolderMacroList()},
            {Combo::cboProductDestinationPath, FolderMacroList()},
            {Combo::cboOperFileDestPath, DestinationMacroList()},
            {Combo::cboOperFileCriteriaPath, DestinationMacroList()},
            {Combo::cboOperRegCriteriaPath, DestinationMacroList()},
            {Combo::cboInstallCriteriaRegKey, HiveList()},
            {Combo::cboProductDestinationRegKey, HiveList()},
            {Combo::cboOperFileDestRegKey, HiveList()},
            {Combo::cboOperFileCriteriaRegKey, HiveList()},
            {Combo::cboOperRegKey, HiveList()},
            {Combo::cboOperRegCriteriaRegKey, HiveList()},
            {Combo::cboOperRegDataType, DataTypeList()}};
}

void AddComboItem(std::vector<ListEntry>& list, std::string text, int32_t code) {
    list.push_back({std::move(text), code});
}

int16_t FindItemDataIndex(const std::vector<ListEntry>& list, int32_t code) {
    for (size_t i = 0; i < list.size() && i < 32768; ++i)
        if (list[i].code == code) return static_cast<int16_t>(i);
    return -1;
}

OleDate TextToDate(std::string_view text) {
    auto d = plat::parse_ole_date(text);
    return d ? *d : 0.0;
}

void Designer::FillComboLists() {
    for (const auto& c : ComboLists())
        m_host.FillCombo(c.combo, c.entries);
}

void Designer::FillFileCriteriaCombo(Combo combo, bool limited) {
    m_host.FillCombo(combo, FileCriteriaList(limited));
}
void Designer::FillInstallCriteriaCombo(Combo combo) {
    m_host.FillCombo(combo, InstallCriteriaList());
}
void Designer::FillEditionCompareCombo(Combo combo) {
    m_host.FillCombo(combo, EditionCompareList());
}
void Designer::FillFolderMacroCombo(Combo combo) {
    m_host.FillCombo(combo, FolderMacroList());
}
void Designer::FillDestinationMacroCombo(Combo combo) {
    m_host.FillCombo(combo, DestinationMacroList());
}
void Designer::FillHiveCombo(Combo combo) {
    m_host.FillCombo(combo, HiveList());
}
void Designer::FillDataTypeCombo(Combo combo) {
    m_host.FillCombo(combo, DataTypeList());
}

const char* ControlName(Control c) {
    static const char* const names[] = {"txtProductName",
                                        "txtManufacturer",
                                        "txtWhatsNewFile",
                                        "txtAdvertismentFile",
                                        "txtIconFile",
                                        "txtKLDTempPath",
                                        "txtINFFile",
                                        "txtInternetPath",
                                        "cboInstallCriteriaRegKey",
                                        "cboProductDestinationPath",
                                        "cboProductDestinationRegKey",
                                        "cmdOperFileName",
                                        "chkOperFileRegister",
                                        "cboOperFileDestPath",
                                        "cboOperFileDestRegKey",
                                        "cboOperFileCriteriaRegKey"};
    auto i = static_cast<size_t>(c);
    return i < std::size(names) ? names[i] : "?";
}

const char* ComboName(Combo c) {
    static const char* const names[] = {"cboOperFileCriteriaType",     "cboOperRegCriteriaType",
                                        "cboOperFileCriteriaEdition",  "cboOperRegCriteriaEdition",
                                        "cboInstallCriteriaPath",      "cboProductDestinationPath",
                                        "cboOperFileDestPath",         "cboOperFileCriteriaPath",
                                        "cboOperRegCriteriaPath",      "cboInstallCriteriaRegKey",
                                        "cboProductDestinationRegKey", "cboOperFileDestRegKey",
                                        "cboOperFileCriteriaRegKey",   "cboOperRegKey",
                                        "cboOperRegCriteriaRegKey",    "cboOperRegDataType"};
    auto i = static_cast<size_t>(c);
    return i < std::size(names) ? names[i] : "?";
}

} // namespace kld
