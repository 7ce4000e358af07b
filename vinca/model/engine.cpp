#include "vinca/model/engine.h"

#include <algorithm>
#include <vector>

namespace vinca {

// ---- CTreeCursor ----

VResult CTreeCursor::SetCurrent(CItemNode* list, int32_t position) {
    if (!list) list = m_root;
    if (position < 0) {
        m_parent = list;
        return VE_OK;
    }
    CItem* item = list->GetAt(position);
    if (!item) return VE_BAD_INDEX;
    CItemNode* node = item->GetChildNode();
    if (!node) return VE_OUT_OF_MEMORY;
    m_parent = node;
    return VE_OK;
}

int32_t CTreeCursor::GetCachedCount() {
    if (m_count < 0) m_count = CountDescendants(m_root);
    return m_count;
}

// ---- engine ----

CVincaEngine::CVincaEngine(IVincaOwner* owner)
    : m_root(CRootItem::New()), m_nodeLink(CNodeOwnerList::New()), m_owner(owner) {
    m_root->SetTreeOwner(this);
    m_nodeLink->SetListener(this);
    CItemNode* top = m_root->GetChildNode();
    top->SetItemData(m_nodeLink.get());
    m_cursor.m_root = top;
    m_cursor.m_parent = top;
}

CVincaEngine::~CVincaEngine() {
    // Every node of the tree goes before the virtual-node list it is in.
    m_currentRow.reset();
    m_visualRoot.reset();
    m_cursor.m_current.reset();
    m_enumCache.Invalidate(0);
    m_hintItem.reset();
    m_root->Clear();
    m_root->SetTreeOwner(nullptr);
    m_nodeLink->SetListener(nullptr);
}

void CVincaEngine::SetViewSink(IViewSink* sink) {
    m_sink = sink;
}

VResult CVincaEngine::SetCurrentIndexMethod(int16_t method) {
    if (method < VNSYS_ENUM || method > VNSYS_LEVEL) return VE_INVALID_ARGUMENT;
    m_indexMethod = method;
    return VE_OK;
}

VResult CVincaEngine::SetPathSeparator(std::string_view separator) {
    if (separator.empty() || separator[0] == '.') return VE_INVALID_PATH_SEPARATOR;
    m_pathSeparator.assign(separator);
    return VE_OK;
}

void CVincaEngine::EndUpdate() {
    if (m_updateDepth == 0 || --m_updateDepth > 0) return;
    ++m_updates;
    if (m_sink) m_sink->Repaint();
}

void CVincaEngine::Report(VResult code) {
    if (code && m_owner) m_owner->ReportError(code);
}

CItem* CVincaEngine::ItemOfNode(CItemNode* node) const {
    return node ? node->OwnerItem() : nullptr;
}

// ---- owner queries and virtual children ----

int32_t CVincaEngine::QueryExpandable(CItem* item) {
    return m_owner ? m_owner->QueryExpandable(item) : 0;
}

void CVincaEngine::OnChildrenCollapsed(CItem* item) {
    if (m_triggerEvents != 1 || !m_owner) return;
    if (m_closedBelow)
        m_closedBelow->emplace_back(item);
    else
        m_owner->ItemCollapsedByAncestor(ItemIndex(item));
}

void CVincaEngine::OnChildMade(CItemNode* node, CItem* child) {
    ++m_childrenMade;
    if (!m_owner) return;
    // The container fills the child from inside the event; the views must
    // not start a change batch meanwhile.
    UpdateScope scope(*this);
    CTreeCursor saved = m_cursor; // the event's own lookups must not move the cursor
    int32_t index = ItemIndex(child);
    m_cursor.m_parent = saved.m_parent;
    m_owner->ItemQueryData(index, child->IndexField());
}

// ---- visible rows ----

bool CVincaEngine::IsItemShown(CItem* item) const {
    return m_showHiddenItems || (!item->Hidden() && !IsMarkHidden(item->Mark()));
}

bool CVincaEngine::HasRow(CItem* item) {
    if (!item || !item->ParentNode() || !IsItemShown(item)) return false;
    CItemNode* top = TopRowsNode();
    for (CItemNode* node = item->ParentNode(); node != top;) {
        CItem* owner = node->OwnerItem();
        if (!owner || !owner->ParentNode() || !owner->IsExpanded() || !IsItemShown(owner)) return false;
        node = owner->ParentNode();
    }
    return true;
}

CItemNode* CVincaEngine::TopRowsNode() {
    if (m_visualRoot && m_visualRoot->ParentNode())
        if (CItemNode* node = m_visualRoot->GetChildNode()) return node;
    return m_cursor.m_root;
}

void CVincaEngine::SetVisualRoot(CItem* item) {
    m_visualRoot = Ref<CItem>(item && item->ParentNode() ? item : nullptr);
    CItemNode::BumpTreeEpoch();
    if (m_sink) m_sink->RowsReset();
}

int32_t CVincaEngine::RowsOf(CItem* item) {
    if (!IsItemShown(item)) return 0;
    int64_t rows = 1;
    if (item->IsExpanded() && item->ChildNode()) rows += VisibleBelow(item->ChildNode());
    return rows > INT32_MAX ? INT32_MAX : static_cast<int32_t>(rows);
}

int32_t CVincaEngine::VisibleBelow(CItemNode* start) {
    int32_t cached;
    if (start->VisibleCache(m_visibleGen, cached)) return cached;
    // Open nodes without a count yet are counted first, on a stack of their
    // own (a tree may be deeper than the thread's stack).
    auto clamp = [](int64_t rows) { return rows > INT32_MAX ? INT32_MAX : static_cast<int32_t>(rows); };
    struct Frame {
        CItemNode* node;
        int32_t pos;
        int64_t rows;
    };
    std::vector<Frame> stack{{start, 0, 0}};
    for (;;) {
        Frame& f = stack.back();
        if (f.pos < f.node->MaterialisedCount()) {
            CItem* c = f.node->MaterialisedAt(f.pos++);
            if (!IsItemShown(c)) continue;
            CItemNode* sub = c->IsExpanded() ? c->ChildNode() : nullptr;
            if (!sub)
                f.rows += 1;
            else if (sub->VisibleCache(m_visibleGen, cached))
                f.rows += clamp(1 + int64_t(cached));
            else
                stack.push_back({sub, 0, 0}); // its owner's row is added with its count
            continue;
        }
        CItemNode* node = f.node;
        int64_t rows = f.rows;
        if (node->IsVirtual() && UnmadeShown()) rows += node->GetCount() - node->MaterialisedCount();
        int32_t result = clamp(rows);
        node->SetVisibleCache(m_visibleGen, result);
        stack.pop_back();
        if (stack.empty()) return result;
        stack.back().rows += clamp(1 + int64_t(result));
    }
}

const std::vector<int32_t>* CVincaEngine::RowIndex(CItemNode* node) {
    int32_t made = node->MaterialisedCount();
    if (made < kIndexedChildren) return nullptr;
    size_t kept = 0;
    const std::vector<int32_t>* current = node->RowIndex(m_visibleGen, kept);
    // When only the rows after some child changed, the entries up to that
    // child's are right still (a virtual parent's never stay): counting goes
    // on from the last of them, and the children after it are counted on
    // the way. Else the open nodes below are counted first.
    bool resume = !current && kept > 0 && !node->IsVirtual();
    if (!resume) VisibleBelow(node);
    if (current) return current;
    std::vector<int32_t>* index = node->ResetRowIndex(m_visibleGen, static_cast<size_t>(made) + 1);
    if (!index) return nullptr;
    auto clamp = [](int64_t rows) { return rows > INT32_MAX ? INT32_MAX : static_cast<int32_t>(rows); };
    // A virtual parent's unmade children are a row each between the made ones.
    bool unmade = node->IsVirtual() && UnmadeShown();
    int64_t rows = 0;
    int32_t p = 0;
    if (resume) {
        // Clamped rows stay clamped: everything after them is as many or more.
        p = static_cast<int32_t>(std::min(kept, static_cast<size_t>(made) + 1)) - 1;
        rows = (*index)[p];
    }
    for (; p < made; ++p) {
        CItem* c = node->MaterialisedAt(p);
        (*index)[p] = clamp(rows + (unmade ? c->IndexField() - p : 0));
        rows += RowsOf(c);
    }
    (*index)[made] = clamp(rows + (unmade ? node->GetCount() - made : 0));
    // The same sum VisibleBelow makes, from the same clamped counts.
    if (resume) node->SetVisibleCache(m_visibleGen, (*index)[made]);
    return index;
}

CItem* CVincaEngine::IndexedRow(CItemNode* node, const std::vector<int32_t>& index, int64_t& remaining,
                                CItemNode*& below) {
    below = nullptr;
    int32_t made = node->MaterialisedCount();
    // The last child whose rows start at or before the row.
    auto it = std::upper_bound(index.begin(), index.begin() + made, remaining);
    int32_t p = static_cast<int32_t>(it - index.begin()) - 1;
    if (p < 0) // unmade children before the first made one
        return node->IsVirtual() ? node->GetAt(static_cast<int32_t>(remaining)) : nullptr;
    CItem* c = node->MaterialisedAt(p);
    int64_t offset = remaining - index[p];
    int32_t rows = RowsOf(c);
    if (offset < rows) {
        if (offset == 0) return c;
        remaining = offset - 1;
        below = c->ChildNode();
        return nullptr;
    }
    // Past the child: unmade children of a virtual parent after it.
    if (!node->IsVirtual()) return nullptr;
    return node->GetAt(static_cast<int32_t>(c->IndexField() + 1 + (offset - rows)));
}

int32_t CVincaEngine::RowsBefore(CItemNode* node, CItem* item) {
    if (const std::vector<int32_t>* index = RowIndex(node)) {
        int32_t pos = item->IndexField();
        if (!node->IsVirtual())
            pos = item->GetIndex();
        else if (!node->FindMaterialisedPos(pos, pos))
            return 0; // an item that exists is always among the made ones
        return (*index)[pos];
    }
    int64_t rows = 0;
    if (!node->IsVirtual()) {
        int32_t index = item->GetIndex();
        for (int32_t p = 0; p < index; ++p)
            rows += RowsOf(node->MaterialisedAt(p));
    } else {
        int32_t index = item->IndexField();
        int32_t madeBefore = 0;
        for (int32_t p = 0; p < node->MaterialisedCount(); ++p) {
            CItem* c = node->MaterialisedAt(p);
            if (c->IndexField() >= index) break;
            rows += RowsOf(c);
            ++madeBefore;
        }
        if (UnmadeShown()) rows += index - madeBefore;
    }
    return static_cast<int32_t>(rows);
}

int32_t CVincaEngine::VisibleCount() {
    return VisibleBelow(TopRowsNode());
}

CItem* CVincaEngine::DescendToRow(int32_t row) {
    CItemNode* node = TopRowsNode();
    int64_t remaining = row;
    while (node) {
        CItemNode* next = nullptr;
        if (const std::vector<int32_t>* index = RowIndex(node)) {
            if (CItem* found = IndexedRow(node, *index, remaining, next)) return found;
            node = next;
            continue;
        }
        int32_t made = node->MaterialisedCount();
        int32_t index = 0; // next index of a virtual parent not yet counted
        bool unmade = node->IsVirtual() && UnmadeShown();
        for (int32_t p = 0; p <= made && !next; ++p) {
            CItem* c = p < made ? node->MaterialisedAt(p) : nullptr;
            if (node->IsVirtual()) {
                // The unmade children before this one (or up to the end).
                int32_t upto = c ? c->IndexField() : node->GetCount();
                if (unmade && upto > index) {
                    if (remaining < upto - index) return node->GetAt(index + static_cast<int32_t>(remaining));
                    remaining -= upto - index;
                }
                index = upto + 1;
            }
            if (!c) break;
            int32_t rows = RowsOf(c);
            if (rows == 0) continue;
            if (remaining == 0) return c;
            if (remaining < rows) {
                remaining -= 1;
                next = c->ChildNode();
            } else {
                remaining -= rows;
            }
        }
        node = next;
    }
    return nullptr;
}

CItem* CVincaEngine::NextRow(CItem* item) {
    // The first shown child of an open item, else the next shown sibling of
    // the item or of its nearest ancestor below the top of the rows.
    CItemNode* top = TopRowsNode();
    CItemNode* sub = item->ChildNode();
    if (item->IsExpanded() && sub && VisibleBelow(sub) > 0) {
        for (int32_t i = 0; i < sub->GetCount(); ++i) {
            CItem* c = sub->IsVirtual() ? sub->FindMaterialised(i) : sub->GetAt(i);
            if (!c && UnmadeShown()) return sub->GetAt(i);
            if (c && IsItemShown(c)) return c;
        }
    }
    for (CItem* it = item; it && it->ParentNode();) {
        CItemNode* node = it->ParentNode();
        int32_t pos = node->IsVirtual() ? it->IndexField() : it->GetIndex();
        for (int32_t i = pos + 1; i < node->GetCount(); ++i) {
            CItem* c = node->IsVirtual() ? node->FindMaterialised(i) : node->GetAt(i);
            if (!c && UnmadeShown()) return node->GetAt(i);
            if (c && IsItemShown(c)) return c;
        }
        if (node == top) return nullptr;
        it = node->OwnerItem();
    }
    return nullptr;
}

CItem* CVincaEngine::RowItem(int32_t row) {
    if (row < 0 || row >= VisibleCount()) return nullptr;
    uint64_t epoch = CItemNode::TreeEpoch();
    CItem* item = nullptr;
    if (m_hintItem && m_hintEpoch == epoch && m_hintItem->ParentNode()) {
        if (row == m_hintRow)
            item = m_hintItem.get();
        else if (row == m_hintRow + 1)
            item = NextRow(m_hintItem.get());
    }
    if (!item) item = DescendToRow(row);
    m_hintItem = Ref<CItem>(item);
    m_hintRow = row;
    m_hintEpoch = epoch;
    return item;
}

int32_t CVincaEngine::RowOf(CItem* item) {
    if (!HasRow(item)) return -1;
    CItemNode* top = TopRowsNode();
    int64_t row = 0;
    for (CItem* it = item;;) {
        CItemNode* node = it->ParentNode();
        row += RowsBefore(node, it);
        if (node == top) break;
        it = node->OwnerItem();
        row += 1; // the owner's own row comes before its children
    }
    return static_cast<int32_t>(row);
}

CVincaEngine::Span CVincaEngine::SpanOf(CItem* item) {
    Span s;
    if (!RowTracking() || !item) return s;
    s.row = RowOf(item);
    if (s.row >= 0) s.count = RowsOf(item);
    return s;
}

void CVincaEngine::RowsChanged(Span before, Span after) {
    if (!RowTracking()) return;
    if (before.count > 0) m_sink->RowsRemoved(before.row, before.count);
    if (after.count > 0) m_sink->RowsInserted(after.row, after.count);
    int32_t first =
        before.row < 0 ? after.row : (after.row < 0 ? before.row : std::min(before.row, after.row));
    if (first >= 0) m_sink->InvalidateRows(first, -1);
}

void CVincaEngine::StructureChanged(CItem* item) {
    m_cursor.InvalidateCount();
    if (item && item->ParentNode())
        m_enumCache.InvalidateFrom(item);
    else
        m_enumCache.Invalidate(0);
}

// ---- bookmarks ----

uint32_t CVincaEngine::ItemBM(CItem* item) {
    return item && item->ParentNode() ? item->Bookmark() : 0;
}

CItem* CVincaEngine::ItemFromBookmark(uint32_t bookmark) {
    CItem* item = CItem::FromBookmark(bookmark);
    if (!item || !item->ParentNode() || item->TreeOwner() != static_cast<ITreeOwner*>(this)) return nullptr;
    return item;
}

VResult CVincaEngine::SetCurrentItemBM(uint32_t bookmark) {
    if (bookmark == 0) {
        m_cursor.m_parent = m_cursor.m_root;
        return VE_OK;
    }
    CItem* item = ItemFromBookmark(bookmark);
    if (!item) return VE_INVALID_BOOKMARK;
    m_cursor.m_parent = item->ParentNode();
    m_cursor.SetCurrentItem(item);
    return VE_OK;
}

} // namespace vinca
