#include "support/stand_in_bridge.h"

#include "support/temp_dir.h"

namespace kldtest {

void StandInBridge::AddOperationItem(kld::Designer& d, int32_t record, bool isGroup) {
    calls.push_back("AddOperationItem(" + std::to_string(record) + "," + (isGroup ? "1" : "0") + ")");
    int32_t sel = m_tree.ListIndex();
    int32_t group = -1;
    if (sel >= 0) group = m_tree.Shift(sel).value == 0 ? sel : m_tree.ItemParent(sel).value;
    int32_t pos;
    if (isGroup) {
        int32_t before = group >= 0 ? group + m_tree.ListCountEx(group).value + 1 : -1;
        pos = m_tree.InsertTopLevel(before, record);
    } else {
        if (group < 0) return;
        pos = m_tree.AddChild(group, record);
    }
    m_tree.SetListIndex(pos);
}

void StandInBridge::RemoveOperationItem(kld::Designer& d, int32_t position) {
    calls.push_back("RemoveOperationItem(" + std::to_string(position) + ")");
    m_tree.RemoveItem(position);
    int32_t count = m_tree.ListCount();
    m_tree.SetListIndex(position < count ? position : count - 1);
}

void StandInBridge::RefreshOperationItem(kld::Designer& d, int32_t position, int32_t record) {
    calls.push_back("RefreshOperationItem(" + std::to_string(position) + "," + std::to_string(record) + ")");
}

void StandInBridge::FillOperationsTree(kld::Designer& d) {
    calls.push_back("FillOperationsTree");
    int32_t group = -1;
    for (int32_t i = 0; i <= d.ActionsUpperBound(); ++i) {
        const auto& r = d.Actions[static_cast<size_t>(i)];
        if (r.ActionType == kld::action::Free || i >= d.ActionCount) continue;
        if (r.IsGroup)
            group = m_tree.AddChild(-1, i);
        else if (group >= 0)
            m_tree.AddChild(group, i);
    }
}

void StandInBridge::StoreDescriptionInTree(kld::Designer& d) {
    calls.push_back("StoreDescriptionInTree");
    m_buffer.product = d.Product;
    m_buffer.records.clear();
    // Document order is tree order.
    for (int32_t p = 0; p < m_tree.ListCount(); ++p) {
        auto v = m_tree.ItemLngValue(p);
        if (v.ok() && d.IsRecordIndex(v.value))
            m_buffer.records.push_back(d.Actions[static_cast<size_t>(v.value)]);
    }
}

bool StandInBridge::SaveTreeToFile(kld::Designer& d, const std::string& fileName) {
    calls.push_back("SaveTreeToFile(" + fileName + ")");
    if (fail_save) return false;
    kltest::write_file(fileName, "stand-in description\n");
    m_files[fileName] = m_buffer;
    return true;
}

bool StandInBridge::LoadTreeFromFile(kld::Designer& d, const std::string& fileName) {
    calls.push_back("LoadTreeFromFile(" + fileName + ")");
    auto it = m_files.find(fileName);
    if (fail_load || it == m_files.end()) return false;
    m_buffer = it->second;
    return true;
}

void StandInBridge::ReadDescriptionFromTree(kld::Designer& d) {
    calls.push_back("ReadDescriptionFromTree");
    d.Product = m_buffer.product;
    d.Actions.assign(m_buffer.records.empty() ? 1 : m_buffer.records.size(), kld::ZeroedRecord());
    for (size_t i = 0; i < m_buffer.records.size(); ++i)
        d.Actions[i] = m_buffer.records[i];
    d.ActionCount = static_cast<int16_t>(m_buffer.records.size());
}

void StandInBridge::Put(const std::string& fileName, const kld::ProductSettings& product,
                        const std::vector<kld::ActionRecord>& records) {
    kltest::write_file(fileName, "stand-in description\n");
    m_files[fileName] = Snapshot{product, records};
}

} // namespace kldtest
