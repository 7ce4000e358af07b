// Action-list operations: add, delete, duplicate, move and drop, keeping the
// records, their count and the visible tree in step. The tree's order is the
// document's order; each item's Long value is its record index.
#include "KLDesigner/builder/designer.h"

namespace kld {

namespace {

constexpr int32_t kMaxRecords = kMaxActionUpperBound + 1;

} // namespace

int32_t Designer::InsertOperationSlot(int16_t kind, bool isGroup) {
    int32_t slot = -1;
    for (int32_t i = 0; i <= ActionsUpperBound(); ++i) {
        if (Actions[static_cast<size_t>(i)].ActionType == action::Free) {
            slot = i;
            break;
        }
    }
    if (slot < 0) {
        if (ActionCount == 0 && ActionsUpperBound() == 0) {
            slot = 0;
        } else {
            slot = ActionsUpperBound() + 1;
            Actions.resize(static_cast<size_t>(slot) + 1);
        }
    }
    InitOperationRecord(slot);
    ActionRecord& r = Actions[static_cast<size_t>(slot)];
    r.ActionType = kind;
    r.IsGroup = isGroup;
    if (isGroup && kind == action::CreateRegistry) r.RegDataType = 1;
    r.CriteriaType = 0;
    r.Destinations[0].FolderType = 1;
    ++ActionCount;
    return slot;
}

bool Designer::AddOperation(int16_t kind, bool isGroup) {
    if (PrepareRunning) return false;
    // An item belongs to the selected group; with nothing selected there is
    // no group to put it in.
    if (!isGroup && m_tree.ListIndex() < 0) return false;
    if (ActionsUpperBound() >= kMaxActionUpperBound) {
        Message("Too many operations.", mb::Critical);
        return false;
    }
    const int32_t slot = InsertOperationSlot(kind, isGroup);
    m_tree.SetRedraw(false);
    m_bridge.AddOperationItem(*this, slot, isGroup);
    EditEventsEnabled = false;
    m_host.RefreshOperAttributes(0);
    m_host.RefreshToolbar(true);
    EditEventsEnabled = true;
    m_tree.SetRedraw(true);
    if (!isGroup) {
        TreeValue parentPos = m_tree.ItemParent(m_tree.ListIndex());
        TreeValue parent = parentPos.ok() ? m_tree.ItemLngValue(parentPos.value) : TreeValue{0, kBadPosition};
        if (parent.ok()) CopyOperationRecord(parent.value, slot);
    }
    SetDocumentChanged();
    if (isGroup) {
        ActionRecord& r = Actions[static_cast<size_t>(slot)];
        r.Destinations[0].FolderType = 1;
        r.Destinations[0].Path = "%PRODUCT%";
        if (kind == action::InstallFile) {
            r.Compare = 12;
            r.CriteriaType = 0;
        } else if (kind == action::ExecuteFile) {
            r.Compare = 0;
            r.CriteriaType = 0;
        }
    }
    m_host.RefreshOperAttributes(0);
    return true;
}

void Designer::DeleteOperation(int32_t position) {
    if (PrepareRunning || position < 0 || position >= m_tree.ListCount()) return;
    TreeValue shift = m_tree.Shift(position);
    if (!shift.ok()) return;
    if (shift.value == 0 &&
        Message("Do you want to remove this operation group from list ?",
                mb::YesNo | mb::Exclamation | mb::DefaultButton2) != plat::ui::MsgAnswer::Yes)
        return;
    const int32_t n = m_tree.ListCountEx(position).value;
    for (int32_t p = position; p <= position + n; ++p) {
        TreeValue rec = m_tree.ItemLngValue(p);
        if (rec.ok() && IsRecordIndex(rec.value))
            Actions[static_cast<size_t>(rec.value)].ActionType = action::Free;
    }
    ActionCount = static_cast<int16_t>(ActionCount - (n + 1));
    m_bridge.RemoveOperationItem(*this, position);
    SetDocumentChanged();
}

void Designer::DuplicateItemRecord(int32_t sourcePosition, int32_t targetPosition) {
    if (sourcePosition < 0 || targetPosition < 0) return;
    TreeValue source = m_tree.ItemLngValue(sourcePosition);
    if (!source.ok() || !IsRecordIndex(source.value)) return;
    const int16_t kind = Actions[static_cast<size_t>(source.value)].ActionType;
    const bool group = Actions[static_cast<size_t>(source.value)].IsGroup;
    const int32_t created = InsertOperationSlot(kind, group);
    CopyOperationRecord(source.value, created);
    Actions[static_cast<size_t>(created)].IsFolder = Actions[static_cast<size_t>(source.value)].IsFolder;
    Actions[static_cast<size_t>(created)].IsGroup = group;
    m_tree.SetItemLngValue(targetPosition, created);
}

void Designer::DuplicateOperation(int32_t position) {
    if (PrepareRunning || position < 0 || position >= m_tree.ListCount()) return;
    TreeValue shift = m_tree.Shift(position);
    if (!shift.ok()) return;
    // The copy needs one record per copied item.
    const int32_t needed = m_tree.ListCountEx(position).value + 1;
    if (ActionCount + needed > kMaxRecords) {
        Message("Too many operations.", mb::Critical);
        return;
    }
    TreeValue buffer = m_tree.CopyItem(position);
    if (!buffer.ok()) return;
    ListEditBuffer = buffer.value;
    const int32_t next = m_tree.ItemNextSibling(position).value;
    if (shift.value > 0) {
        const int32_t parent = m_tree.ItemParent(position).value;
        if (next > 0)
            m_tree.Insert(next, ListEditBuffer);
        else
            m_tree.Add(parent, ListEditBuffer);
        m_tree.FreeBuffer(ListEditBuffer);
        const int32_t created = m_tree.NewIndex();
        DuplicateItemRecord(position, created);
        m_tree.SetListIndex(created);
    } else {
        if (next >= 1)
            m_tree.Insert(next, ListEditBuffer);
        else
            m_tree.Add(-1, ListEditBuffer);
        m_tree.FreeBuffer(ListEditBuffer);
        const int32_t created = m_tree.NewIndex();
        const int32_t count = m_tree.ListCountEx(created).value;
        for (int32_t i = 0; i <= count; ++i)
            DuplicateItemRecord(position + i, created + i);
        m_tree.SetListIndex(created);
    }
    ListEditBuffer = 0;
    SetDocumentChanged();
}

void Designer::MoveOperation(int32_t position, bool up) {
    if (PrepareRunning || position < 0) return;
    TreeValue shift = m_tree.Shift(position);
    if (!shift.ok()) return;
    m_tree.SetRedraw(false);
    bool moved = false;
    const int32_t count = m_tree.ListCount();
    if (shift.value == 0) {
        int32_t target = -1;
        if (!up) {
            TreeValue next = m_tree.ItemNextSibling(position);
            if (position + 1 < count && next.ok() && next.value >= 0)
                target = next.value + m_tree.ListCountEx(next.value).value + 1;
        } else if (position >= 1) {
            TreeValue prev = m_tree.ItemPrevSibling(position);
            if (prev.ok()) target = prev.value;
        }
        if (target >= 0) {
            TreeValue buffer = m_tree.CopyItem(position);
            TreeValue bookmark = m_tree.ItemBM(position);
            if (buffer.ok() && bookmark.ok()) {
                ListEditBuffer = buffer.value;
                if (target >= count)
                    m_tree.Add(-1, ListEditBuffer);
                else
                    m_tree.Insert(target, ListEditBuffer);
                m_tree.FreeBuffer(ListEditBuffer);
                ListEditBuffer = 0;
                m_tree.SetListIndex(m_tree.NewIndex());
                m_tree.RemoveItem(m_tree.IndexByBM(bookmark.value).value);
                moved = true;
            }
        }
    } else {
        // Items trade places with a sibling only, so the groups stay whole.
        TreeValue other = up ? m_tree.ItemPrevSibling(position) : m_tree.ItemNextSibling(position);
        if (other.ok() && other.value >= 0) {
            const int32_t a = m_tree.ItemLngValue(position).value;
            const int32_t b = m_tree.ItemLngValue(other.value).value;
            m_tree.SetItemLngValue(position, b);
            m_tree.SetItemLngValue(other.value, a);
            m_bridge.RefreshOperationItem(*this, position, b);
            m_tree.SetListIndex(other.value);
            m_bridge.RefreshOperationItem(*this, other.value, a);
            moved = true;
        }
    }
    if (moved) SetDocumentChanged();
    m_tree.SetRedraw(true);
}

void Designer::DropOperation(int32_t source, int32_t target, bool copy) {
    if (PrepareRunning || (source == target && !copy)) return;
    if (copy) {
        const int32_t needed = source >= 0 ? m_tree.ListCountEx(source).value + 1 : 0;
        if (ActionsUpperBound() >= kMaxActionUpperBound || ActionCount + needed > kMaxRecords) {
            Message("Too many operations.", mb::Critical);
            return;
        }
    }
    if (source < 0) return;
    TreeValue shift = m_tree.Shift(source);
    if (!shift.ok()) return;
    m_tree.SetRedraw(false);
    int32_t count = m_tree.ListCount();
    auto place = [&](int32_t where, int32_t addParent, bool addAtEnd) -> bool {
        TreeValue buffer = m_tree.CopyItem(source);
        TreeValue bookmark = m_tree.ItemBM(source);
        if (!buffer.ok() || !bookmark.ok()) return false;
        ListEditBuffer = buffer.value;
        if (addAtEnd)
            m_tree.Add(addParent, ListEditBuffer);
        else
            m_tree.Insert(where, ListEditBuffer);
        m_tree.FreeBuffer(ListEditBuffer);
        ListEditBuffer = 0;
        const int32_t created = m_tree.NewIndex();
        source = m_tree.IndexByBM(bookmark.value).value;
        if (copy) {
            const int32_t n = m_tree.ListCountEx(created).value;
            for (int32_t i = 0; i <= n; ++i)
                DuplicateItemRecord(source + i, created + i);
            m_tree.SetListIndex(created);
        } else {
            m_tree.SetListIndex(created);
            m_tree.RemoveItem(source);
        }
        return true;
    };
    if (shift.value == 0) {
        TreeValue targetShift = m_tree.Shift(target);
        if (targetShift.ok() && targetShift.value > 0) target = m_tree.ItemParent(target).value;
        if (target >= source) {
            TreeValue next = m_tree.ItemNextSibling(target);
            target = next.ok() && next.value > 0 ? next.value : count;
        }
        if (target >= 0) place(target, -1, target >= count);
    } else {
        if (target < source) {
            TreeValue targetShift = m_tree.Shift(target);
            if (targetShift.ok() && targetShift.value == 0) target = m_tree.ItemParent(source).value + 1;
        } else {
            target = target + 1;
        }
        if (target >= 0) {
            const int32_t parent = m_tree.ItemParent(source).value;
            const bool pastGroup = target > parent + m_tree.ListCountEx(parent).value;
            place(target, parent, pastGroup);
        }
    }
    SetDocumentChanged();
    m_tree.SetRedraw(true);
}

} // namespace kld
