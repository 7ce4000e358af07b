#include "KLDesigner/builder/designer.h"

namespace kld {

Designer::Designer(DesignerServices services)
    : m_host(services.host), m_prompt(services.prompt), m_tree(services.operations),
      m_bridge(services.bridge) {
    Actions.assign(1, ZeroedRecord());
}

ActionRecord ZeroedRecord() {
    ActionRecord r;
    r.ActionType = 0;
    r.RegDataType = 0;
    return r;
}

plat::ui::MsgAnswer Designer::Message(const std::string& text, int32_t flags) {
    plat::ui::MessageRequest r;
    r.text = text;
    r.caption = AppTitle;
    r.buttons = static_cast<plat::ui::MsgButtons>(flags & 0x7);
    r.icon = static_cast<plat::ui::MsgIcon>(flags & 0x70);
    r.default_button = (flags >> 8) & 0x3;
    return m_prompt.message(r);
}

void Designer::InitOperationRecord(int32_t index) {
    if (!IsRecordIndex(index)) return;
    ActionRecord& r = Actions[static_cast<size_t>(index)];
    const bool reserved = r.ReservedFlag;
    r = ActionRecord{};
    r.ReservedFlag = reserved;
}

void Designer::CopyOperationRecord(int32_t source, int32_t target) {
    if (!IsRecordIndex(source) || !IsRecordIndex(target) || source == target) return;
    const ActionRecord& s = Actions[static_cast<size_t>(source)];
    ActionRecord& t = Actions[static_cast<size_t>(target)];
    t.FileType = s.FileType;
    t.SourcePath = s.SourcePath;
    t.VersionHigh = s.VersionHigh;
    t.VersionLow = s.VersionLow;
    t.Build = s.Build;
    t.FileDate = s.FileDate;
    t.FileSize = s.FileSize;
    t.FileReserved = s.FileReserved;
    t.SourceFolder = s.SourceFolder;
    t.RegKey = s.RegKey;
    t.RegValueName = s.RegValueName;
    t.RegDataText = s.RegDataText;
    t.RegDataNumber = s.RegDataNumber;
    t.RegDataType = s.RegDataType;
    t.Encrypt = s.Encrypt;
    t.Compress = s.Compress;
    t.CreateNew = s.CreateNew;
    t.Compare = s.Compare;
    t.CriteriaType = s.CriteriaType;
    t.CriteriaPath = s.CriteriaPath;
    t.CriteriaRegKey = s.CriteriaRegKey;
    t.CriteriaValueName = s.CriteriaValueName;
    t.EditionCompare = s.EditionCompare;
    t.Edition = s.Edition;
    // Every source row is copied; the target keeps at least its three rows.
    if (t.Destinations.size() < s.Destinations.size()) t.Destinations.resize(s.Destinations.size());
    for (size_t i = 0; i < s.Destinations.size(); ++i)
        t.Destinations[i] = s.Destinations[i];
    t.AskClose = s.AskClose;
    t.UpdateOnRestart = s.UpdateOnRestart;
    t.LogToRegistryData = s.LogToRegistryData;
    t.Register = s.Register;
}

void Designer::ClearProduct() {
    Product = ProductSettings{};
    Product.InstallCriteria[0].CriterionType = 1;
    Product.InstallPaths[0].FolderType = 2;
}

void Designer::ClearOperations() {
    Actions.assign(1, ZeroedRecord());
    ActionCount = 0;
    m_tree.Clear();
}

} // namespace kld
