// Changes of the tree as a whole: insertion and removal, expansion, hiding
// and marks, sorting, level changes, virtual parents and copies. Each runs
// inside an update scope so that the views repaint once.
#include <algorithm>
#include <utility>
#include <vector>

#include "vinca/model/engine.h"

namespace vinca {

namespace {

bool IsInside(CItem* item, CItem* ancestor) {
    for (CItem* p = item; p; p = p->GetParentItem())
        if (p == ancestor) return true;
    return false;
}

bool NodeInside(CItemNode* node, CItem* ancestor) {
    return node && IsInside(node->OwnerItem(), ancestor);
}

// The item that comes after a new leaf in pre-order: the next sibling of
// the item or of its nearest ancestor that has one; null at the end of the
// tree. `known` is false when a virtual node lies on the way, whose unmade
// children are not looked at here, or when the climb grows long: a deep
// chain built level by level would otherwise climb its whole height for
// every item added.
CItem* ItemAfterNewLeaf(CItem* item, bool& known) {
    constexpr int kMaxClimb = 64;
    known = true;
    int climbed = 0;
    for (CItem* at = item; at && at->ParentNode(); at = at->GetParentItem()) {
        CItemNode* node = at->ParentNode();
        if (node->IsVirtual() || ++climbed > kMaxClimb) {
            known = false;
            return nullptr;
        }
        const int32_t next = at->GetIndex() + 1;
        if (next < node->GetCount()) return node->GetAt(next);
    }
    return nullptr;
}

} // namespace

CItemNode* CVincaEngine::NodeAt(CNodeRef pos, bool create) {
    CItemNode* node = pos.node ? pos.node : m_cursor.m_root;
    if (pos.index < 0) return node;
    CItem* item = node->GetAt(pos.index);
    if (!item) return nullptr;
    return create ? item->GetChildNode() : item->ChildNode();
}

VResult CVincaEngine::InsertItem(CNodeRef pos, std::string_view text, uint16_t flags, int placement,
                                 CItem** made) {
    CItemNode* node = pos.node ? pos.node : m_cursor.m_root;
    if (node->IsVirtual()) return VE_VIRTUAL_TREE;
    int32_t index = -1;
    switch (placement) {
    case 0:
        index = pos.index;
        break;
    case 1:
    case 3: {
        // Equal texts go after the ones already there.
        plat::Variant key(text);
        int32_t n = node->GetCount();
        index = -1;
        for (int32_t i = 0; i < n; ++i) {
            int c = CompareKey(node->MaterialisedAt(i), key, 0, nullptr);
            if (placement == 1 ? c > 0 : c < 0) {
                index = i;
                break;
            }
        }
        break;
    }
    case 2:
        index = 0;
        break;
    default:
        index = -1;
        break;
    }
    if (m_expandNewItem)
        flags |= CItem::kExpanded;
    else
        flags &= ~CItem::kExpanded;
    UpdateScope scope(*this);
    CItem* before = index >= 0 ? node->GetAt(index) : nullptr;
    CItem* item = nullptr;
    if (VResult r = node->AddNewChild(index, text, flags, &item)) return r;
    m_cursor.SetCurrentItem(item);
    m_cursor.m_parent = node;
    m_cursor.InvalidateCount();
    // Positions before the new item keep their cached indexes; an item
    // added at the end of the tree moves none (a list filled item by item
    // then finds each new one next to the last).
    bool known = true;
    CItem* after = before ? before : ItemAfterNewLeaf(item, known);
    if (after)
        m_enumCache.InvalidateFrom(after);
    else if (!known)
        m_enumCache.Invalidate(0);
    if (made) *made = item;
    RowsChanged({}, SpanOf(item));
    return VE_OK;
}

VResult CVincaEngine::AddItem(std::string_view text, CItem** made) {
    CItemNode* node = m_cursor.CurrentParent();
    CItem* owner = node->OwnerItem();
    int method = owner ? owner->SortMethod() : 0;
    return InsertItem({node, -1}, text, 0, method == 0 ? -1 : method, made);
}

VResult CVincaEngine::RemoveItem(CItem* item) {
    if (!item || !item->ParentNode()) return VE_BAD_INDEX;
    CItemNode* parent = item->ParentNode();
    if (parent->IsVirtual()) return VE_OK;
    UpdateScope scope(*this);
    Span before = SpanOf(item);
    Ref<CItem> keep(item);
    // The current rows move to the row before the item.
    CItem* previous = nullptr;
    if (m_sink && before.row >= 0) {
        previous = before.row > 0 ? RowItem(before.row - 1) : nullptr;
    } else {
        CItem* prev = ChildBefore(parent, item);
        if (prev) {
            CItem* last = FindLastDescendant(prev->ChildNode());
            previous = last ? last : prev;
        } else {
            CItem* owner = parent->OwnerItem();
            previous = owner && owner->ParentNode() ? owner : nullptr;
        }
    }
    if (m_currentRow && IsInside(m_currentRow.get(), item)) m_currentRow = Ref<CItem>(previous);
    if (m_cursor.CurrentItem() && IsInside(m_cursor.CurrentItem(), item)) m_cursor.SetCurrentItem(previous);
    if (NodeInside(m_cursor.m_parent, item)) m_cursor.m_parent = parent;
    if (m_visualRoot && IsInside(m_visualRoot.get(), item)) m_visualRoot.reset();
    m_enumCache.InvalidateFrom(item);
    parent->RemoveAt(item->GetIndex());
    StructureChanged(nullptr);
    RowsChanged(before, {});
    if (m_sink) m_sink->CurrentRowChanged(RowOf(m_currentRow.get()));
    return VE_OK;
}

VResult CVincaEngine::RemoveChildren(CNodeRef pos) {
    CItemNode* node = NodeAt(pos, false);
    if (!node)
        return pos.index >= 0 && !(pos.node ? pos.node : m_cursor.m_root)->GetAt(pos.index) ? VE_BAD_INDEX
                                                                                            : VE_OK;
    // A virtual list's children are the container's to count.
    if (node->IsVirtual()) return VE_VIRTUAL_TREE;
    CItem* owner = node->OwnerItem();
    UpdateScope scope(*this);
    Span before = SpanOf(owner);
    auto inside = [&](CItem* it) { return it && it != owner && IsInside(it, owner); };
    if (inside(m_currentRow.get())) m_currentRow = Ref<CItem>(owner && owner->ParentNode() ? owner : nullptr);
    if (inside(m_cursor.CurrentItem()))
        m_cursor.SetCurrentItem(owner && owner->ParentNode() ? owner : nullptr);
    if (NodeInside(m_cursor.m_parent, owner) && m_cursor.m_parent != node) m_cursor.m_parent = node;
    if (inside(m_visualRoot.get())) m_visualRoot.reset();
    node->Clear();
    StructureChanged(owner && owner->ParentNode() ? owner : nullptr);
    RowsChanged(before, SpanOf(owner));
    return VE_OK;
}

void CVincaEngine::Clear() {
    UpdateScope scope(*this);
    m_currentRow.reset();
    m_visualRoot.reset();
    m_cursor.SetCurrentItem(nullptr);
    m_cursor.m_parent = m_cursor.m_root;
    m_enumCache.Invalidate(0);
    m_cursor.m_root->SetVirtual(false);
    m_cursor.m_root->Clear();
    StructureChanged(nullptr);
    if (m_sink) m_sink->RowsReset();
}

// ---- expansion ----

VResult CVincaEngine::SetItemExpanded(CItem* item, bool expand) {
    if (!item) return VE_BAD_INDEX;
    return expand ? ExpandItem(item, false) : CollapseItem(item, false);
}

VResult CVincaEngine::ExpandItem(CItem* item, bool scroll) {
    if (!item) return VE_BAD_INDEX;
    if (item->IsExpanded()) return VE_OK;
    if (!IsExpandable(item)) {
        // A leaf has nothing to open: no row moves and no event fires. The
        // flag is kept, so children added later show as the caller asked.
        item->SetExpandedFlag();
        return VE_OK;
    }
    UpdateScope scope(*this);
    // The highest item whose rows change: the item or its highest collapsed ancestor.
    CItem* highest = item;
    for (CItem* p = item->GetParentItem(); p && p->ParentNode(); p = p->GetParentItem())
        if (!p->IsExpanded()) highest = p;
    Span before = SpanOf(highest);
    item->SetExpandedFlag();
    if (!m_keepChildStates && item->ChildNode())
        for (int32_t p = 0; p < item->ChildNode()->MaterialisedCount(); ++p)
            item->ChildNode()->MaterialisedAt(p)->ClearExpandedFlag();
    for (CItem* p = item->GetParentItem(); p && p->ParentNode(); p = p->GetParentItem())
        p->SetExpandedFlag();
    Span after = SpanOf(highest);
    if (m_sink && before.row >= 0 && after.count > before.count) {
        // Only the rows below the item are new.
        m_sink->RowsInserted(before.row + 1, after.count - before.count);
        m_sink->InvalidateRows(before.row, -1);
    } else if (SameRows(before, after)) {
        // An empty child list opened: the rows, the current row and the
        // selection stay; the item's sign is drawn again.
        if (m_sink && RowTracking()) m_sink->InvalidateRows(before.row, before.row);
    } else {
        RowsChanged(before, after);
    }
    if (m_owner && !m_firingExpand) {
        m_firingExpand = true;
        bool allowed = m_owner->RequestExpand(ItemIndex(item));
        m_firingExpand = false;
        if (!allowed) return VE_REFUSED;
    }
    if (scroll && m_sink) {
        Span s = SpanOf(item);
        if (s.row >= 0) m_sink->EnsureVisible(s.row, s.row + s.count - 1);
    }
    return VE_OK;
}

VResult CVincaEngine::CollapseItem(CItem* item, bool notify) {
    if (!item) return VE_BAD_INDEX;
    if (!item->IsExpanded()) return VE_OK;
    if (!IsExpandable(item)) {
        item->ClearExpandedFlag(false); // a leaf: nothing to close, no event
        return VE_OK;
    }
    UpdateScope scope(*this);
    Ref<CItem> keep(item);
    Span before = SpanOf(item);
    // The closed descendants are told once the walk and the rows are done,
    // each while it is still in the tree: their handlers may change it.
    std::vector<Ref<CItem>> closed;
    std::vector<Ref<CItem>>* outer = std::exchange(m_closedBelow, &closed);
    // Collapse events for the closed descendants also close them.
    item->ClearExpandedFlag(!m_keepChildStates || notify || m_triggerEvents == 1);
    m_closedBelow = outer;
    Span after = SpanOf(item);
    if (m_sink && before.row >= 0 && after.row == before.row && before.count > after.count) {
        m_sink->RowsRemoved(before.row + 1, before.count - after.count);
        m_sink->InvalidateRows(before.row, -1);
    } else if (SameRows(before, after)) {
        if (m_sink && RowTracking()) m_sink->InvalidateRows(before.row, before.row);
    } else {
        RowsChanged(before, after);
    }
    auto inTree = [this](CItem* it) {
        return it->ParentNode() && it->TreeOwner() == static_cast<ITreeOwner*>(this);
    };
    for (const Ref<CItem>& c : closed)
        if (inTree(c.get()) && m_owner) m_owner->ItemCollapsedByAncestor(ItemIndex(c.get()));
    if (!inTree(item)) return VE_OK; // removed by one of those handlers
    if (m_owner && !m_firingExpand && !(m_skipCollapseQuestion && item->HasChildren())) {
        m_firingExpand = true;
        bool allowed = m_owner->RequestCollapse(ItemIndex(item));
        m_firingExpand = false;
        if (!allowed) return VE_REFUSED;
    }
    return VE_OK;
}

void CVincaEngine::ExpandSubtree(CItem* item, bool expand) {
    struct Flags : CItemVisitor {
        bool expand;
        explicit Flags(bool e) : expand(e) {}
        bool VisitItem(CItem* it) override {
            if (expand)
                it->SetExpandedFlag();
            else
                it->ClearExpandedFlag();
            return true;
        }
    } flags(expand);
    UpdateScope scope(*this);
    if (item) flags.VisitItem(item);
    CItemNode* node = item ? item->ChildNode() : m_cursor.m_root;
    if (node) node->VisitSubtree(flags);
    if (m_sink) m_sink->RowsReset();
}

// ---- hiding and marks ----

VResult CVincaEngine::SetItemAlwaysHidden(CItem* item, bool hidden) {
    if (!item) return VE_BAD_INDEX;
    UpdateScope scope(*this);
    Span before = SpanOf(item);
    item->SetHidden(hidden);
    RowsChanged(before, SpanOf(item));
    return VE_OK;
}

VResult CVincaEngine::SetItemMark(CItem* item, int32_t mark) {
    if (!item) return VE_BAD_INDEX;
    if (mark < 0 || mark >= m_markCount || mark > 255) return VE_OK; // no such mark picture: nothing changes
    UpdateScope scope(*this);
    Span before = SpanOf(item);
    item->SetMark(static_cast<uint8_t>(mark));
    RowsChanged(before, SpanOf(item));
    return VE_OK;
}

bool CVincaEngine::IsLastVisibleSibling(CItem* item) {
    if (!item || !item->ParentNode()) return true;
    CItemNode* parent = item->ParentNode();
    if (parent->IsVirtual()) return item->IndexField() == parent->GetCount() - 1;
    for (int32_t i = item->GetIndex() + 1; i < parent->MaterialisedCount(); ++i)
        if (IsItemShown(parent->MaterialisedAt(i))) return false;
    return true;
}

bool CVincaEngine::IsExpandable(CItem* item) {
    if (!item) return false;
    if (item->ChildNode()) return true;
    int32_t answer = QueryExpandable(item);
    return answer == 1 || answer == 2;
}

// ---- sorting ----

VResult CVincaEngine::SortChildren(CNodeRef pos) {
    CItemNode* node = NodeAt(pos, false);
    if (!node) return VE_OK;
    UpdateScope scope(*this);
    VResult r = node->Sort();
    CItem* owner = node->OwnerItem();
    StructureChanged(owner && owner->ParentNode() ? owner : nullptr);
    if (m_sink) m_sink->RowsReset();
    return r;
}

VResult CVincaEngine::ResortItem(CNodeRef pos, int selector, const plat::VARIANT& value) {
    CItemNode* node = NodeAt(pos, true);
    if (!node) return VE_BAD_INDEX;
    CItem* owner = node->OwnerItem();
    if (!owner) return VE_NO_OWNER;
    int method = owner->SortMethod();
    const CVincaName* key = owner->SortKey();
    if (selector == 0) {
        key = GlobalNameTable().InternVariant(value);
        if (!key) key = names::ObsoleteValue();
    } else {
        method = plat::Variant(value).to_i4();
        if (method < 0 || method > 7) return VE_INVALID_ARGUMENT;
    }
    UpdateScope scope(*this);
    VResult r = node->SetSortMethod(method, key);
    StructureChanged(owner->ParentNode() ? owner : nullptr);
    if (m_sink) m_sink->RowsReset();
    return r;
}

VResult CVincaEngine::SetItemSortingStyle(CItem* item, int32_t style) {
    if (!item) return VE_BAD_INDEX;
    if (item->SortingStyle() == style) return VE_OK;
    item->SetSortingStyle(style);
    if (item->SortMethod() == 0 || !item->ChildNode()) return VE_OK;
    UpdateScope scope(*this);
    VResult r = item->ChildNode()->Sort();
    StructureChanged(item->ParentNode() ? item : nullptr);
    if (m_sink) m_sink->RowsReset();
    return r;
}

// ---- levels ----

VResult CVincaEngine::SetItemLevel(CItem* item, int32_t level) {
    if (!item || !item->ParentNode()) return VE_BAD_INDEX;
    if (item->ParentNode()->IsVirtual()) return VE_VIRTUAL_TREE;
    int32_t current = item->GetItemLevel();
    if (level == current) return VE_OK;
    UpdateScope scope(*this);
    VResult r = MoveLevel(item, level);
    StructureChanged(nullptr);
    if (m_sink) m_sink->RowsReset();
    return r;
}

VResult CVincaEngine::MoveLevel(CItem* item, int32_t level) {
    // The item object itself moves, so that its bookmark stays valid.
    CItemNode* parent = item->ParentNode();
    int32_t current = item->GetItemLevel();
    Ref<CItem> keep(item);
    if (level > current) {
        CItem* target = ChildBefore(parent, item);
        if (!target) return VE_BAD_INDENTATION;
        for (int32_t depth = current + 1; depth < level; ++depth) {
            CItemNode* sub = target->ChildNode();
            if (sub && sub->IsVirtual()) return VE_VIRTUAL_TREE;
            CItem* last = sub && sub->MaterialisedCount() > 0
                              ? sub->MaterialisedAt(-1 + sub->MaterialisedCount())
                              : nullptr;
            if (!last) return VE_BAD_INDENTATION;
            target = last;
        }
        CItemNode* targetNode = target->GetChildNode();
        if (!targetNode) return VE_OUT_OF_MEMORY;
        if (targetNode->IsVirtual()) return VE_VIRTUAL_TREE;
        CItemNode* own = item->ChildNode();
        if (own && own->IsVirtual() && own->GetCount() > 0)
            return VE_VIRTUAL_TREE; // a virtual parent's children cannot be moved out
        const bool selected = IsSelected(item);
        Ref<CItem> moved = parent->DetachAt(item->GetIndex());
        int32_t at = -1;
        if (VResult r = targetNode->AddChild(at, moved.get())) return r;
        if (selected) targetNode->Marked().Add(at, at); // a moved item stays selected
        // The item's own children keep their level: they follow it.
        if (own && !own->IsVirtual())
            if (VResult r = own->MoveTailTo(0, *targetNode)) return r;
        if (target->SortMethod() != 0) targetNode->Sort();
        return VE_OK;
    }
    if (level < 0 || current == 0) return VE_BAD_INDENTATION;
    CItem* ancestor = item->GetParentItem();
    for (int32_t at = current - 1; ancestor && at > level; --at)
        ancestor = ancestor->GetParentItem();
    if (!ancestor || !ancestor->ParentNode()) return VE_BAD_INDENTATION;
    CItemNode* targetNode = ancestor->ParentNode();
    if (targetNode->IsVirtual()) return VE_VIRTUAL_TREE;
    int32_t index = item->GetIndex();
    if (index + 1 < parent->MaterialisedCount()) {
        // The siblings that follow become the item's children.
        CItemNode* own = item->GetChildNode();
        if (!own) return VE_OUT_OF_MEMORY;
        if (own->IsVirtual()) return VE_VIRTUAL_TREE;
        if (VResult r = parent->MoveTailTo(index + 1, *own)) return r;
    }
    const bool selected = IsSelected(item);
    Ref<CItem> moved = parent->DetachAt(index);
    int32_t at = ancestor->GetIndex() + 1;
    if (VResult r = targetNode->AddChild(at, moved.get())) return r;
    if (selected) targetNode->Marked().Add(at, at);
    CItem* newParent = targetNode->OwnerItem();
    if (newParent && newParent->SortMethod() != 0) targetNode->Sort();
    return VE_OK;
}

// ---- virtual parents ----

bool CVincaEngine::IsVirtualParent(CItem* item) {
    CItemNode* node = item ? item->ChildNode() : m_cursor.m_root;
    return node && node->IsVirtual();
}

VResult CVincaEngine::SetVirtualParent(CItem* item, bool on) {
    CItem* owner = item ? item : m_root.get();
    CItemNode* node = owner->GetChildNode();
    if (!node) return VE_OUT_OF_MEMORY;
    if (node->IsVirtual() == on) return VE_OK;
    if (on && owner->SortMethod() != 0) return VE_VIRTUAL_SORT;
    UpdateScope scope(*this);
    auto inside = [&](CItem* it) { return it && it != owner && IsInside(it, owner); };
    if (inside(m_currentRow.get())) m_currentRow.reset();
    if (inside(m_cursor.CurrentItem())) m_cursor.SetCurrentItem(nullptr);
    if (NodeInside(m_cursor.m_parent, owner) && m_cursor.m_parent != node) m_cursor.m_parent = node;
    if (inside(m_visualRoot.get())) m_visualRoot.reset();
    m_enumCache.Invalidate(0);
    node->SetVirtual(on);
    StructureChanged(nullptr);
    if (m_sink) m_sink->RowsReset();
    return VE_OK;
}

int32_t CVincaEngine::GetVirtualCount(CItem* item) {
    CItemNode* node = item ? item->ChildNode() : m_cursor.m_root;
    return node && node->IsVirtual() ? node->GetCount() : 0;
}

VResult CVincaEngine::SetVirtualCount(CItem* item, int32_t count) {
    CItem* owner = item ? item : m_root.get();
    CItemNode* node = owner->ChildNode();
    if (count < 0 || !node || !node->IsVirtual() || node->GetCount() == count) return VE_OK;
    if (owner->SortMethod() != 0) return VE_VIRTUAL_SORT;
    UpdateScope scope(*this);
    auto dropped = [&](CItem* it) {
        for (CItem* p = it; p && p->ParentNode(); p = p->GetParentItem())
            if (p->ParentNode() == node) return p->IndexField() >= count;
        return false;
    };
    if (dropped(m_currentRow.get())) m_currentRow.reset();
    if (dropped(m_cursor.CurrentItem())) m_cursor.SetCurrentItem(nullptr);
    if (m_visualRoot && dropped(m_visualRoot.get())) m_visualRoot.reset();
    if (m_cursor.m_parent && m_cursor.m_parent != node && dropped(m_cursor.m_parent->OwnerItem()))
        m_cursor.m_parent = node;
    m_enumCache.Invalidate(0);
    node->SetVirtualCount(count);
    StructureChanged(nullptr);
    if (m_sink) m_sink->RowsReset();
    return VE_OK;
}

VResult CVincaEngine::RefreshItems(int32_t first, int32_t last) {
    // Entries of purged children would be stale; with none purged the
    // cached positions still hold.
    if (m_nodeLink->PurgeUnusedNodes()) m_enumCache.Invalidate(0);
    if (first < 0 || (last >= 0 && last < first)) return VE_OK;
    if (last < 0) last = ListCount() - 1;
    UpdateScope scope(*this);
    for (int32_t i = first; i <= last; ++i) {
        uint32_t madeBefore = m_childrenMade;
        CItem* item = Lookup(i, false);
        if (!item) break;
        CItemNode* parent = item->ParentNode();
        // A child the lookup just made was announced already.
        if (parent && parent->IsVirtual() && m_childrenMade == madeBefore) OnChildMade(parent, item);
    }
    if (m_sink) m_sink->InvalidateRows(first, last);
    return VE_OK;
}

// ---- copies ----

VResult CVincaEngine::CopySubtree(CItemNode* target, int32_t at, CItem* source, CItem** made) {
    // Items still to copy, each with the node its copy goes to, in pre-order
    // (a stack, not nested calls: the source may be of any depth).
    struct Job {
        CItemNode* target;
        Ref<CItem> source;
    };
    std::vector<Job> jobs;
    jobs.push_back({target, Ref<CItem>(source)});
    bool first = true;
    while (!jobs.empty()) {
        Job job = std::move(jobs.back());
        jobs.pop_back();
        // Taken before the copy joins the tree: a copy into the source's own
        // children must not copy itself again.
        CItemNode* from = job.source->ChildNode();
        size_t children = jobs.size();
        if (from && !from->IsVirtual())
            for (int32_t p = from->MaterialisedCount() - 1; p >= 0; --p)
                jobs.push_back({nullptr, Ref<CItem>(from->MaterialisedAt(p))});
        Ref<CItem> copy = CItem::New(job.target, {}, 0);
        if (!copy) return VE_OUT_OF_MEMORY;
        if (VResult r = copy->CopyFrom(*job.source)) return r;
        int32_t index = first ? at : -1;
        if (VResult r = job.target->AddChild(index, copy.get())) return r;
        if (first && made) *made = copy.get();
        first = false;
        if (!from) continue;
        CItemNode* to = copy->GetChildNode();
        if (!to) return VE_OUT_OF_MEMORY;
        to->CopySettings(*from);
        // A virtual parent's children are made by the container again on demand.
        for (size_t j = children; j < jobs.size(); ++j)
            jobs[j].target = to;
    }
    return VE_OK;
}

VResult CVincaEngine::TakeSubtree(CItemNode* target, int32_t at, CItem* source, CItem** made) {
    // What a copy would not carry over goes first: a virtual parent's made
    // children (the container makes them again on demand), an item grid (a
    // copy has a clone of its own), selection marks and row counts.
    std::vector<CItem*> items{source};
    while (!items.empty()) {
        CItem* item = items.back();
        items.pop_back();
        if (item->Grid()) {
            Ref<CItemGridBase> grid = item->Grid()->CloneGrid();
            if (!grid) return VE_OUT_OF_MEMORY;
            item->SetGrid(grid.get());
        }
        CItemNode* node = item->ChildNode();
        if (!node) continue;
        node->Marked().Clear();
        node->InvalidateVisible();
        if (node->IsVirtual()) {
            node->TruncateFrom(0);
            continue;
        }
        for (int32_t p = node->MaterialisedCount() - 1; p >= 0; --p)
            items.push_back(node->MaterialisedAt(p));
    }
    if (VResult r = target->AddChild(at, source)) return r;
    if (made) *made = source;
    return VE_OK;
}

VResult CVincaEngine::CopyInto(CNodeRef pos, CItem* const* sources, int32_t count, int32_t before,
                               bool take) {
    if (count <= 0) return VE_NOTHING_TO_COPY;
    CItemNode* target = NodeAt(pos, true);
    if (!target) return pos.index >= 0 ? VE_BAD_INDEX : VE_OUT_OF_MEMORY;
    if (target->IsVirtual()) return VE_VIRTUAL_TREE;
    UpdateScope scope(*this);
    if (take) {
        // The sources leave their tree from the last one on (the caller
        // holds them), so that no detachment renumbers the ones after it.
        for (int32_t i = count - 1; i >= 0; --i) {
            CItemNode* from = sources[i]->ParentNode();
            if (!from) continue;
            int32_t last = from->MaterialisedCount() - 1;
            from->DetachAt(from->MaterialisedAt(last) == sources[i] ? last : sources[i]->GetIndex());
        }
    }
    CItem* first = nullptr;
    VResult result = VE_OK;
    for (int32_t i = 0; i < count; ++i) {
        // A source under the target must be copied as it was before the copy began.
        int32_t at = before < 0 ? -1 : before + i;
        CItem* made = nullptr;
        result =
            take ? TakeSubtree(target, at, sources[i], &made) : CopySubtree(target, at, sources[i], &made);
        if (!first) first = made;
        if (result) break;
    }
    CItem* owner = target->OwnerItem();
    if (owner && owner->SortMethod() != 0) target->Sort();
    if (first) {
        m_cursor.SetCurrentItem(first);
        m_cursor.m_parent = target;
    }
    StructureChanged(nullptr);
    if (m_sink) m_sink->RowsReset();
    return result;
}

VResult CVincaEngine::AddTreeItems(CNodeRef pos, CItemNode* sourceTop, int32_t before, bool take) {
    if (!sourceTop || sourceTop->MaterialisedCount() == 0) return VE_NOTHING_TO_COPY;
    // The top items are gathered first so that copying a tree into itself ends.
    std::vector<CItem*> sources;
    std::vector<Ref<CItem>> keep;
    for (int32_t p = 0; p < sourceTop->MaterialisedCount(); ++p) {
        sources.push_back(sourceTop->MaterialisedAt(p));
        keep.emplace_back(sources.back());
    }
    // A virtual top's items would lose their indexes on the way: copied.
    take = take && !sourceTop->IsVirtual();
    return CopyInto(pos, sources.data(), static_cast<int32_t>(sources.size()), before, take);
}

VResult CVincaEngine::AddItemCopy(CNodeRef pos, CItem* source, int32_t before) {
    if (!source) return VE_NOTHING_TO_COPY;
    Ref<CItem> keep(source);
    return CopyInto(pos, &source, 1, before);
}

} // namespace vinca
