#include "engine_tree.h"

#include "platform/com/variant.h"

using namespace vinca;

namespace kldtest {

namespace {
kld::TreeValue Bad() {
    return {0, kld::kBadPosition};
}
} // namespace

EngineTree::EngineTree() = default;
EngineTree::~EngineTree() = default;

CItem* EngineTree::At(int32_t position) {
    if (position < 0 || position >= m_engine.ListCount()) return nullptr;
    return m_engine.ItemFromIndex(position);
}

CItem* EngineTree::Fresh(int32_t lng) {
    m_scratch.Clear();
    m_scratch.Cursor().SetCurrentParent(m_scratch.RootNode());
    CItem* made = nullptr;
    if (m_scratch.AddItem("item", &made) != VE_OK || !made) return nullptr;
    m_scratch.SetItemValue(made, plat::Variant(lng));
    return made;
}

int32_t EngineTree::Place(int32_t position, CItem* source, bool insert) {
    if (!source) return kld::kBadPosition;
    VResult r;
    if (position < 0 || position >= m_engine.ListCount()) {
        r = m_engine.AddItemCopy({m_engine.RootNode(), -1}, source, -1);
    } else {
        CNodeRef where;
        if (m_engine.ItemPosition(position, where) != VE_OK) return kld::kBadPosition;
        r = insert ? m_engine.AddItemCopy({where.node, -1}, source, where.index)
                   : m_engine.AddItemCopy(where, source, -1);
    }
    return r;
}

int32_t EngineTree::AddChild(int32_t parent, int32_t lng) {
    Place(parent, Fresh(lng), false);
    return NewIndex();
}

int32_t EngineTree::InsertTopLevel(int32_t before, int32_t lng) {
    CItem* item = At(before);
    if (item && m_engine.Shift(before) == 0)
        Place(before, Fresh(lng), true);
    else
        Place(-1, Fresh(lng), false);
    return NewIndex();
}

bool EngineTree::GridVisible(int32_t position) {
    CItem* item = At(position);
    return item && !m_hiddenGrids.count(m_engine.ItemBM(item));
}

int32_t EngineTree::ListCount() {
    return m_engine.ListCount();
}

int32_t EngineTree::ListIndex() {
    CItem* item = m_selected ? m_engine.ItemFromBookmark(m_selected) : nullptr;
    return item ? m_engine.ItemIndex(item) : -1;
}

int32_t EngineTree::SetListIndex(int32_t position) {
    if (position == -1) {
        m_selected = 0;
        return 0;
    }
    CItem* item = At(position);
    if (!item) return kld::kBadPosition;
    m_selected = m_engine.ItemBM(item);
    return 0;
}

kld::TreeValue EngineTree::ItemLngValue(int32_t position) {
    CItem* item = At(position);
    if (!item) return Bad();
    plat::Variant v;
    m_engine.GetItemValue(item, plat::VT_I4, v);
    return {v.vt == plat::VT_I4 ? v.lVal : 0, 0};
}

int32_t EngineTree::SetItemLngValue(int32_t position, int32_t value) {
    CItem* item = At(position);
    if (!item) return kld::kBadPosition;
    return m_engine.SetItemValue(item, plat::Variant(value));
}

kld::TreeValue EngineTree::ItemParent(int32_t position) {
    if (!At(position)) return Bad();
    return {m_engine.ItemParent(position), 0};
}

kld::TreeValue EngineTree::ItemNextSibling(int32_t position) {
    if (!At(position)) return Bad();
    const int32_t next = m_engine.ItemNextSibling(position);
    return {next < 0 ? kld::kNoSibling : next, 0};
}

kld::TreeValue EngineTree::ItemPrevSibling(int32_t position) {
    if (!At(position)) return Bad();
    const int32_t prev = m_engine.ItemPrevSibling(position);
    return {prev < 0 ? kld::kNoSibling : prev, 0};
}

kld::TreeValue EngineTree::Shift(int32_t position) {
    if (!At(position)) return Bad();
    return {m_engine.Shift(position), 0};
}

kld::TreeValue EngineTree::ListCountEx(int32_t position) {
    CItem* item = At(position);
    if (!item) return Bad();
    return {m_engine.ListCountEx(item), 0};
}

kld::TreeValue EngineTree::Expand(int32_t position) {
    CItem* item = At(position);
    if (!item) return Bad();
    return {item->IsExpanded() ? -1 : 0, 0};
}

int32_t EngineTree::SetExpand(int32_t position, bool expanded) {
    CItem* item = At(position);
    if (!item) return kld::kBadPosition;
    return m_engine.SetItemExpanded(item, expanded);
}

kld::TreeValue EngineTree::CopyItem(int32_t position) {
    CItem* item = At(position);
    if (!item) return Bad();
    auto buffer = std::make_unique<CVincaEngine>();
    if (buffer->AddItemCopy({buffer->RootNode(), -1}, item, -1) != VE_OK) return {0, 7};
    const int32_t handle = m_nextBuffer++;
    m_buffers[handle] = std::move(buffer);
    return {handle, 0};
}

int32_t EngineTree::Add(int32_t position, int32_t buffer) {
    auto it = m_buffers.find(buffer);
    if (it == m_buffers.end()) return 380;
    return Place(position, it->second->ItemFromIndex(0), false);
}

int32_t EngineTree::Insert(int32_t position, int32_t buffer) {
    auto it = m_buffers.find(buffer);
    if (it == m_buffers.end()) return 380;
    // Insert behaves as Add when the position names no item.
    return Place(position, it->second->ItemFromIndex(0), At(position) != nullptr);
}

int32_t EngineTree::FreeBuffer(int32_t buffer) {
    return m_buffers.erase(buffer) ? 0 : 380;
}

int32_t EngineTree::NewIndex() {
    return m_engine.NewIndex();
}

kld::TreeValue EngineTree::ItemBM(int32_t position) {
    CItem* item = At(position);
    if (!item) return Bad();
    return {static_cast<int32_t>(m_engine.ItemBM(item)), 0};
}

kld::TreeValue EngineTree::IndexByBM(int32_t bookmark) {
    CItem* item = m_engine.ItemFromBookmark(static_cast<uint32_t>(bookmark));
    if (!item) return {0, 380};
    return {m_engine.ItemIndex(item), 0};
}

int32_t EngineTree::RemoveItem(int32_t position) {
    CItem* item = At(position);
    if (!item) return kld::kBadPosition;
    return m_engine.RemoveItem(item);
}

int32_t EngineTree::Clear() {
    m_engine.Clear();
    m_selected = 0;
    m_hiddenGrids.clear();
    return 0;
}

int32_t EngineTree::SetItemGridVisible(int32_t position, bool visible) {
    CItem* item = At(position);
    if (!item) return kld::kBadPosition;
    const uint32_t bm = m_engine.ItemBM(item);
    if (visible)
        m_hiddenGrids.erase(bm);
    else
        m_hiddenGrids.insert(bm);
    return 0;
}

} // namespace kldtest
