#include "vinca/model/item.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <vector>

#include "platform/base/handle_table.h"
#include "vinca/model/search.h"
#include "vinca/model/values.h"

namespace vinca {

namespace {

// Serials are unique in the process and increase within a thread. Each
// thread takes them from the shared counter a block at a time, so that
// making an item costs no locked instruction.
uint64_t NextItemSerial() {
    constexpr uint64_t kBlock = 4096;
    static std::atomic<uint64_t> taken{0};
    thread_local uint64_t next = 0, end = 0;
    if (next == end) {
        next = taken.fetch_add(kBlock, std::memory_order_relaxed) + 1;
        end = next + kBlock;
    }
    return next++;
}

// Bookmarks: items that were asked for one are registered here for as long
// as they live.
plat::HandleTable<CItem>& Bookmarks() {
    static plat::HandleTable<CItem> table;
    return table;
}

} // namespace

// ---- CItem ----

CSlotPool& CItem::SlotPool() {
    // Never destroyed: items may still go while the process ends.
    static CSlotPool* pool = new CSlotPool(sizeof(CItem));
    return *pool;
}

CItem::CItem(CItemNode* parent, std::string_view text, uint16_t flags)
    : m_flags(flags), m_parentNode(parent), m_sortKey(names::ObsoleteValue()), m_serial(NextItemSerial()),
      m_text(text) {}

CItem::~CItem() {
    Clear();
    if (m_bookmark) Bookmarks().remove(m_bookmark);
}

Ref<CItem> CItem::New(CItemNode* parent, std::string_view text, uint16_t flags) {
    return Ref<CItem>(new (std::nothrow) CItem(parent, text, flags));
}

Ref<CRootItem> CRootItem::New() {
    return Ref<CRootItem>(new (std::nothrow) CRootItem());
}

uint32_t CItem::Bookmark() {
    if (!m_bookmark) m_bookmark = Bookmarks().add(this);
    return m_bookmark;
}

CItem* CItem::FromBookmark(uint32_t handle) {
    return handle ? Bookmarks().get(handle) : nullptr;
}

void CItem::RowsTouched() {
    if (m_parentNode) m_parentNode->InvalidateVisible(this);
}

void CItem::SetFlags(uint16_t flags) {
    m_flags = flags;
    RowsTouched();
}

void CItem::SetMark(uint8_t mark) {
    m_mark = mark;
    RowsTouched();
}

void CItem::SetHidden(bool hidden) {
    m_hidden = hidden ? 1 : 0;
    RowsTouched();
}

void CItem::SetExpandedFlag(bool notify) {
    if (notify && m_childNode) m_childNode->SetChildrenExpanded(true);
    m_flags |= kExpanded;
    RowsTouched();
}

void CItem::ClearExpandedFlag(bool notify) {
    if (notify && m_childNode) m_childNode->SetChildrenCollapsed(true);
    m_flags &= ~kExpanded;
    RowsTouched();
}

CItemNode* CItem::GetChildNode() {
    if (!m_childNode) {
        Ref<CItemNode> node =
            CItemNode::New(m_parentNode, this, m_parentNode ? m_parentNode->Link() : nullptr);
        m_childNode = node.detach();
        // The rows above were counted without this node; an open item's
        // rows now depend on it. The new node has never been counted, so the
        // drop of the counts above has to start at the parent's node: a walk
        // from the new node would stop at once.
        RowsTouched();
    }
    return m_childNode;
}

CItem* CItem::GetParentItem() const {
    return m_parentNode ? m_parentNode->OwnerItem() : nullptr;
}

int32_t CItem::GetItemLevel() const {
    if (!m_parentNode) return -1;
    int32_t level = 0;
    for (CItemNode* n = m_parentNode->Above(); n; n = n->Above())
        ++level;
    return level;
}

int32_t CItem::GetIndex() {
    if (!m_parentNode) return -1;
    if (!m_parentNode->NumberingValid()) m_parentNode->Renumber();
    return m_index;
}

int32_t CItem::ChildCount() const {
    return m_childNode ? m_childNode->GetCount() : 0;
}

CItemData* CItem::GetItemData() {
    if (!m_itemData) {
        Ref<CItemData> data = CItemData::New();
        if (!data) return nullptr;
        data->SetOwnerItem(this);
        m_itemData = data.detach();
    }
    return m_itemData;
}

void CItem::SetItemData(CItemData* data) {
    if (m_itemData) m_itemData->SetOwnerItem(nullptr);
    AssignRef(m_itemData, data);
    if (m_itemData) m_itemData->SetOwnerItem(this);
}

void CItem::SetGrid(CItemGridBase* grid) {
    if (m_grid && m_grid != grid) m_grid->SetOwnerItem(nullptr);
    AssignRef(m_grid, grid);
    if (m_grid) m_grid->SetOwnerItem(this);
}

void CItem::TakeOver(CItem& other) {
    if (&other == this) return;
    SetItemData(other.m_itemData);
    other.SetItemData(nullptr);
    SetGrid(other.m_grid);
    other.SetGrid(nullptr);
    m_text = std::move(other.m_text);
    other.m_text.clear();
    m_flags |= other.m_flags;
    m_mark = other.m_mark;
    m_hidden = other.m_hidden;
    m_sortKey = other.m_sortKey;
    m_sortStyle = other.m_sortStyle;
    m_itemWord = std::exchange(other.m_itemWord, 0);
    other.m_flags = 0;
    other.m_mark = 0;
    other.m_hidden = 0;
    if (m_childNode) {
        m_childNode->m_owner = nullptr;
        m_childNode->m_above = nullptr;
        m_childNode->Release();
    }
    m_childNode = std::exchange(other.m_childNode, nullptr);
    if (m_parentNode) m_parentNode->CountsChanged();
    if (other.m_parentNode) other.m_parentNode->CountsChanged();
    if (m_childNode) {
        m_childNode->m_owner = this;
        m_childNode->m_above = m_parentNode;
        if (m_parentNode && m_childNode->m_link != m_parentNode->Link())
            m_childNode->SetItemData(m_parentNode->Link());
    }
    RowsTouched();
    other.RowsTouched();
}

void CItem::Clear() {
    if (m_childNode && m_parentNode) m_parentNode->CountsChanged();
    if (CItemNode* node = std::exchange(m_childNode, nullptr)) {
        node->m_owner = nullptr;
        node->m_above = nullptr;
        CItemNode::Drop(node);
    }
    m_text.clear();
    m_text.shrink_to_fit();
    m_flags = 0;
    m_mark = 0;
    m_hidden = 0;
    m_itemWord = 0;
    SetItemData(nullptr);
    SetGrid(nullptr);
    RowsTouched();
}

VResult CItem::CopyFrom(const CItem& other) {
    if (&other == this) return VE_OK;
    Ref<CItemData> data;
    if (other.m_itemData) {
        data = CItemData::NewCopy(other.m_itemData);
        if (!data) return VE_OUT_OF_MEMORY;
    }
    Ref<CItemGridBase> grid;
    if (other.m_grid) {
        grid = other.m_grid->CloneGrid();
        if (!grid) return VE_OUT_OF_MEMORY;
    }
    m_text = other.m_text;
    m_flags = other.m_flags;
    m_mark = other.m_mark;
    m_hidden = other.m_hidden;
    m_sortKey = other.m_sortKey;
    m_sortStyle = other.m_sortStyle;
    m_itemWord = other.m_itemWord;
    SetItemData(data.get());
    SetGrid(grid.get());
    RowsTouched();
    return VE_OK;
}

bool CItem::LookupValue(const CVincaName* name, plat::Variant& out) const {
    if (name != names::Text()) return false;
    out = plat::Variant(std::string_view(m_text));
    return true;
}

ITreeOwner* CItem::TreeOwner() const {
    const CItem* item = this;
    while (item->m_parentNode) {
        CItem* up = item->m_parentNode->OwnerItem();
        if (!up) return nullptr;
        item = up;
    }
    return item->OwnTreeOwner();
}

// ---- CItemNode ----

int CItemNode::ChildTable::Compare(const void* a, const void* b) const {
    int32_t ia = *static_cast<const int32_t*>(a), ib = *static_cast<const int32_t*>(b);
    return ia == ib ? 0 : (ib < ia ? 1 : -1);
}

const void* CItemNode::ChildTable::KeyOf(const void* entry) const {
    return &static_cast<const CItem*>(entry)->m_index;
}

void CItemNode::ChildTable::ReleaseEntry(void* entry) {
    auto* item = static_cast<CItem*>(entry);
    item->m_parentNode = nullptr;
    if (item->m_childNode) item->m_childNode->m_above = nullptr;
    item->Release();
}

CItemNode::CItemNode(CItemNode* above, CItem* owner, CNodeOwnerList* link) : m_above(above), m_owner(owner) {
    AssignRef(m_link, link);
}

CItemNode::~CItemNode() {
    if (m_virtual && m_link) m_link->RemoveNode(this);
    m_marked.Clear();
    m_children.RemoveAll();
    m_owner = nullptr;
    AssignRef(m_link, static_cast<CNodeOwnerList*>(nullptr));
}

Ref<CItemNode> CItemNode::New(CItemNode* above, CItem* owner, CNodeOwnerList* link) {
    return Ref<CItemNode>(new (std::nothrow) CItemNode(above, owner, link));
}

VResult CItemNode::AddNewChild(int32_t& index, std::string_view text, uint16_t flags, CItem** made) {
    if (m_virtual) {
        index = -1;
        return VE_VIRTUAL_NODE;
    }
    Ref<CItem> item = CItem::New(this, text, flags);
    if (!item) return VE_OUT_OF_MEMORY;
    VResult r = AddChild(index, item.get());
    if (r == VE_OK && made) *made = item.get();
    return r;
}

VResult CItemNode::AddChild(int32_t& index, CItem* item) {
    if (m_virtual) {
        index = -1;
        return VE_VIRTUAL_NODE;
    }
    int32_t n = m_children.GetCount();
    bool append = index < 0 || index >= n;
    if (m_children.InsertAt(index, item) != VE_OK) return VE_OUT_OF_MEMORY;
    item->AddRef();
    item->m_parentNode = this;
    AdjustCounts(SubtreeSize(item));
    if (append) item->m_index = index;
    // An item added at the end leaves the rows before it as they were.
    InvalidateVisible(append ? item : nullptr);
    if (item->m_childNode) {
        item->m_childNode->m_above = this;
        if (item->m_childNode->m_link != m_link) item->m_childNode->SetItemData(m_link);
    }
    if (!append) {
        MarkStale();
        // Marks of the children after it move up with them.
        m_marked.OnItemsInserted(index, index);
    }
    return VE_OK;
}

void CItemNode::CopySettings(const CItemNode& other) {
    SetVirtual(other.m_virtual);
    if (m_virtual) m_virtualCount = other.m_virtualCount;
}

CItem* CItemNode::FindMaterialised(int32_t index) const {
    int32_t pos;
    return m_children.Find(&index, pos) ? m_children.GetAt(pos) : nullptr;
}

CItem* CItemNode::GetAt(int32_t index) {
    if (!m_virtual) return m_children.GetAt(index < 0 ? -2 : index); // -1 is not "the last" here
    if (index < 0 || index >= m_virtualCount) return nullptr;
    int32_t pos;
    if (m_children.Find(&index, pos)) return m_children.GetAt(pos);
    Ref<CItem> item = CItem::New(this, {}, 0);
    if (!item) return nullptr;
    item->m_index = index;
    if (m_children.InsertAt(pos, item.get()) != VE_OK) return nullptr;
    m_rowIndexGen = 0;           // the materialised positions moved
    CItem* made = item.detach(); // the child list holds the reference
    if (m_link) m_link->OnChildMade(this, made);
    return made;
}

std::vector<int32_t>* CItemNode::ResetRowIndex(uint32_t generation, size_t size) {
    try {
        if (!m_rowIndex) m_rowIndex = std::make_unique<std::vector<int32_t>>();
        m_rowIndex->resize(size);
    } catch (const std::bad_alloc&) {
        m_rowIndex.reset();
        m_rowIndexGen = 0;
        m_rowIndexKept = 0;
        return nullptr;
    }
    m_rowIndexGen = generation;
    m_rowIndexKept = size;
    return m_rowIndex.get();
}

CItemNode* CItemNode::GetChildNodeAt(int32_t index) {
    CItem* item = m_virtual ? FindMaterialised(index) : GetAt(index);
    return item ? item->ChildNode() : nullptr;
}

namespace {

// Pre-order walk of a node's children from index `from` on, entering
// subtrees; a virtual parent's unmade children are given as ranges. The
// nodes being walked wait on a stack of their own: trees may be deeper than
// the thread's stack allows frames.
bool WalkChildren(CItemNode* start, int32_t from, CItemVisitor& v) {
    struct Frame {
        CItemNode* node;
        int32_t pos;  // next materialised position
        int32_t end;  // materialised children when the node was entered
        int32_t next; // a virtual parent's lowest index not yet given
    };
    std::vector<Frame> stack;
    auto enter = [&](CItemNode* node, int32_t first) {
        if (first < 0) first = 0;
        int32_t n = node->MaterialisedCount();
        if (!node->IsVirtual()) {
            stack.push_back({node, first, n, 0});
            return;
        }
        // First materialised child at or after `first`.
        int32_t lo = 0, hi = n;
        while (lo < hi) {
            int32_t mid = (lo + hi) / 2;
            if (node->MaterialisedAt(mid)->IndexField() < first)
                lo = mid + 1;
            else
                hi = mid;
        }
        stack.push_back({node, lo, n, first});
    };
    enter(start, from);
    while (!stack.empty()) {
        Frame& f = stack.back();
        CItemNode* node = f.node;
        CItem* item = nullptr;
        if (!node->IsVirtual()) {
            if (f.pos < f.end) item = node->MaterialisedAt(f.pos++);
        } else {
            int32_t count = node->GetCount();
            if (f.pos < f.end && f.next < count) {
                CItem* c = node->MaterialisedAt(f.pos++);
                int32_t idx = c->IndexField();
                if (idx < count) {
                    if (idx > f.next && !v.VisitRange(node, f.next, idx - 1)) return false;
                    f.next = idx + 1;
                    item = c;
                } else {
                    f.pos = f.end;
                }
            }
            if (!item && f.next < count && !v.VisitRange(node, f.next, count - 1)) return false;
        }
        if (!item) {
            stack.pop_back();
            continue;
        }
        if (v.Accept(item) && !v.VisitItem(item)) return false;
        CItemNode* sub = item->ChildNode();
        if (sub && sub->GetCount() > 0 && v.Enter(item)) enter(sub, 0);
    }
    return true;
}

// Reverse pre-order of the children before `before` and their subtrees:
// each child's descendants from the last back to the first, then the child.
bool WalkChildrenBackward(CItemNode* start, int32_t before, CItemVisitor& v) {
    struct Frame {
        CItemNode* node;
        CItem* owner; // visited once the node is done; null for the start
        int32_t pos;  // next materialised position, going down
        int32_t next; // a virtual parent's highest index not yet given
    };
    std::vector<Frame> stack;
    auto enter = [&](CItemNode* node, int32_t upto, CItem* owner) {
        if (node->IsVirtual())
            stack.push_back(
                {node, owner, node->MaterialisedCount() - 1, std::min(upto, node->GetCount()) - 1});
        else
            stack.push_back({node, owner, std::min(upto, node->MaterialisedCount()) - 1, -1});
    };
    enter(start, before, nullptr);
    while (!stack.empty()) {
        Frame& f = stack.back();
        CItem* item = nullptr;
        if (!f.node->IsVirtual()) {
            if (f.pos >= 0) item = f.node->MaterialisedAt(f.pos--);
        } else {
            while (!item && f.pos >= 0 && f.next >= 0) {
                CItem* c = f.node->MaterialisedAt(f.pos--);
                int32_t idx = c->IndexField();
                if (idx > f.next) continue;
                if (idx < f.next && !v.VisitRange(f.node, idx + 1, f.next)) return false;
                f.next = idx - 1;
                item = c;
            }
            if (!item && f.next >= 0 && !v.VisitRange(f.node, 0, f.next)) return false;
        }
        if (!item) {
            CItem* owner = f.owner;
            stack.pop_back();
            if (owner && v.Accept(owner) && !v.VisitItem(owner)) return false;
            continue;
        }
        CItemNode* sub = item->ChildNode();
        if (sub && sub->GetCount() > 0 && v.Enter(item))
            enter(sub, INT32_MAX, item);
        else if (v.Accept(item) && !v.VisitItem(item))
            return false;
    }
    return true;
}

int32_t PositionIn(CItemNode* node, CItem* item) {
    return node->IsVirtual() ? item->IndexField() : item->GetIndex();
}

} // namespace

bool CItemNode::VisitForward(CItemVisitor& v, int32_t index) {
    CItemNode* node = this;
    int32_t from = index + 1;
    for (;;) {
        if (!WalkChildren(node, from, v)) return false;
        CItem* owner = node->m_owner;
        CItemNode* up = owner ? owner->ParentNode() : nullptr;
        if (!up) return true;
        from = PositionIn(up, owner) + 1;
        node = up;
    }
}

bool CItemNode::VisitBackward(CItemVisitor& v, int32_t index) {
    CItemNode* node = this;
    int32_t before = index < 0 ? 0 : index;
    for (;;) {
        if (!WalkChildrenBackward(node, before, v)) return false;
        CItem* owner = node->m_owner;
        CItemNode* up = owner ? owner->ParentNode() : nullptr;
        if (!up) return true;
        // The owning item comes before its children in pre-order.
        if (v.Accept(owner) && !v.VisitItem(owner)) return false;
        before = PositionIn(up, owner);
        node = up;
    }
}

bool CItemNode::VisitSubtree(CItemVisitor& v) {
    return WalkChildren(this, 0, v);
}

void CItemNode::Renumber() {
    if (!m_virtual) {
        int32_t n = m_children.GetCount();
        CItem* const* items = m_children.begin();
        for (int32_t i = 0; i < n; ++i)
            items[i]->m_index = i;
    }
    m_numberingValid = true;
}

int32_t CItemNode::FindChildByText(std::string_view text) const {
    if (text.empty() || m_virtual) return -1;
    int32_t n = m_children.GetCount();
    for (int32_t i = 0; i < n; ++i)
        if (m_children.GetAt(i)->Text() == text) return i;
    return -1;
}

void CItemNode::RemoveAt(int32_t index) {
    if (m_virtual) return;
    int32_t n = m_children.GetCount();
    if (index == -1) index = n - 1;
    if (index < 0 || index >= n) return;
    if (index != n - 1) MarkStale();
    AdjustCounts(-SubtreeSize(m_children.GetAt(index)));
    InvalidateVisible();
    m_marked.OnItemsRemoved(index, index);
    m_children.RemoveAt(index, true);
}

Ref<CItem> CItemNode::DetachAt(int32_t index) {
    int32_t n = m_children.GetCount();
    if (index == -1) index = n - 1;
    if (index < 0 || index >= n) return nullptr;
    CItem* item = m_children.GetAt(index);
    if (index != n - 1) MarkStale();
    AdjustCounts(-SubtreeSize(item));
    InvalidateVisible();
    if (!m_virtual) m_marked.OnItemsRemoved(index, index);
    m_children.RemoveAt(index, false);
    item->m_parentNode = nullptr;
    if (item->m_childNode) item->m_childNode->m_above = nullptr;
    return Ref<CItem>::adopt(item);
}

void CItemNode::SetChildrenExpanded(bool notify) {
    // With `notify` every level below opens too, node by node.
    std::vector<CItemNode*> todo{this};
    while (!todo.empty()) {
        CItemNode* node = todo.back();
        todo.pop_back();
        for (CItem* child : node->m_children) {
            if (node->m_virtual && !child->HasChildren()) continue;
            child->SetExpandedFlag(false);
            if (notify && child->m_childNode) todo.push_back(child->m_childNode);
        }
    }
}

void CItemNode::SetChildrenCollapsed(bool notify) {
    // With `notify` every level below closes too, the deepest first, and the
    // tree's owner hears of each item that was open.
    struct Frame {
        CItemNode* node;
        int32_t pos;
    };
    ITreeOwner* owner = nullptr;
    bool ownerKnown = false;
    auto close = [&](CItem* child) {
        bool wasOpen = child->IsExpanded() && child->HasChildren();
        child->ClearExpandedFlag(false);
        if (!notify || !wasOpen) return;
        if (!ownerKnown) {
            owner = child->TreeOwner(); // one tree: asked once
            ownerKnown = true;
        }
        if (owner) owner->OnChildrenCollapsed(child);
    };
    std::vector<Frame> stack{{this, 0}};
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.pos < f.node->m_children.GetCount()) {
            CItem* child = f.node->m_children.GetAt(f.pos++);
            if (f.node->m_virtual && !child->HasChildren()) continue;
            if (notify && child->m_childNode && child->m_childNode->m_owner == child)
                stack.push_back({child->m_childNode, 0}); // closed once its children are
            else
                close(child);
            continue;
        }
        CItem* done = f.node->m_owner;
        stack.pop_back();
        if (!stack.empty()) close(done);
    }
}

int32_t CItemNode::IndexOf(CItem* item) const {
    return item ? item->GetIndex() : -1;
}

void CItemNode::SetVirtual(bool on) {
    if (m_virtual == on) return;
    CountsChanged();
    InvalidateVisible();
    m_children.RemoveAll();
    m_virtual = on;
    if (m_link) {
        if (on)
            m_link->AddNode(this);
        else
            m_link->RemoveNode(this);
    }
    m_virtualCount = 0;
    m_marked.Clear();
    if (on) m_numberingValid = true;
}

void CItemNode::SetItemData(CNodeOwnerList* link) {
    // Nodes further down follow the link of their tree.
    std::vector<CItemNode*> todo{this};
    while (!todo.empty()) {
        CItemNode* node = todo.back();
        todo.pop_back();
        if (link == node->m_link) continue;
        if (node->m_virtual && node->m_link) node->m_link->RemoveNode(node);
        AssignRef(node->m_link, link);
        if (node->m_virtual && node->m_link) node->m_link->AddNode(node);
        for (CItem* child : node->m_children)
            if (child->ChildNode()) todo.push_back(child->ChildNode());
    }
}

void CItemNode::SetVirtualCount(int32_t n) {
    if (!m_virtual || n < 0) return;
    CountsChanged();
    InvalidateVisible();
    if (n < m_virtualCount) {
        if (n == 0) {
            m_children.RemoveAll();
        } else {
            while (m_children.GetCount() > 0 && m_children.GetAt(-1)->IndexField() >= n)
                m_children.RemoveAt(-1, true);
        }
    }
    m_virtualCount = n;
    m_marked.Truncate(n);
}

VResult CItemNode::SetSortMethod(int method, const CVincaName* key) {
    if (method != 0 && m_virtual) return VE_VIRTUAL_SORT;
    if (!m_owner) return VE_NO_OWNER;
    m_owner->SetSortMethodBits(method);
    m_owner->SetSortKey(key);
    return Sort();
}

int CItemNode::CompareChildren(CItem* a, CItem* b) const {
    int method = m_owner ? m_owner->SortMethod() : 0;
    int32_t style = m_owner ? m_owner->SortingStyle() : 0;
    if (style & 0x30) {
        bool ca = a->HasChildren(), cb = b->HasChildren();
        if (ca != cb) {
            bool parentsFirst = style & 0x10;
            return (ca == parentsFirst) ? -1 : 1;
        }
    }
    int32_t flags = style & ~0x30;
    bool descending = method >= 3;
    int c;
    if (method == 1 || method == 3) {
        c = CompareTexts(a->Text(), b->Text(), flags);
    } else {
        const CVincaName* key = m_owner ? m_owner->SortKey() : names::ObsoleteValue();
        CItemData* da = a->ItemData();
        CItemData* db = b->ItemData();
        if (!da || !db) {
            c = (da ? 1 : 0) - (db ? 1 : 0);
        } else {
            const plat::Variant* va = da->FindNamedValue(key);
            const plat::Variant* vb = db->FindNamedValue(key);
            if (!va || !vb)
                c = (va ? 1 : 0) - (vb ? 1 : 0);
            else
                c = CompareItemValues(*va, *vb, flags);
        }
    }
    if (c == 0 && a != b) c = a->Serial() < b->Serial() ? -1 : 1;
    c = c < 0 ? -1 : (c > 0 ? 1 : 0);
    return descending ? -c : c;
}

void CItemNode::QuickSort(int32_t low, int32_t high) {
    CItem* const* items = m_children.begin();
    while (low < high) {
        CItem* pivot = items[low + (high - low) / 2];
        int32_t i = low, j = high;
        while (i <= j) {
            while (CompareChildren(items[i], pivot) < 0)
                ++i;
            while (CompareChildren(pivot, items[j]) < 0)
                --j;
            if (i <= j) {
                m_children.Swap(i, j);
                ++i;
                --j;
            }
        }
        if (low < j) QuickSort(low, j);
        low = i;
    }
}

VResult CItemNode::Sort() {
    int method = m_owner ? m_owner->SortMethod() : 0;
    if (method == 0 || m_children.GetCount() == 0) return VE_OK;
    if (m_virtual) return VE_VIRTUAL_SORT;
    std::vector<CItem*> marked = MarkedChildren();
    QuickSort(0, m_children.GetCount() - 1);
    MarkStale();
    RemarkChildren(marked);
    BumpTreeEpoch();
    return VE_OK;
}

void CItemNode::Reverse() {
    if (m_virtual) return;
    std::vector<CItem*> marked = MarkedChildren();
    m_children.Reverse();
    MarkStale();
    RemarkChildren(marked);
    BumpTreeEpoch();
}

void CItemNode::Clear() {
    CountsChanged();
    InvalidateVisible();
    m_marked.Clear();
    m_children.RemoveAll();
    m_numberingValid = true;
}

VResult CItemNode::AdoptChildren(CItemNode& other) {
    return other.MoveTailTo(0, *this);
}

VResult CItemNode::MoveTailTo(int32_t index, CItemNode& target) {
    if (&target == this || m_virtual) return VE_OK;
    if (target.m_virtual) return VE_VIRTUAL_TREE;
    while (m_children.GetCount() > index && index >= 0) {
        const bool marked = m_marked.Contains(index);
        Ref<CItem> item = DetachAt(index);
        int32_t at = -1;
        if (VResult r = target.AddChild(at, item.get())) return r;
        if (marked) target.m_marked.Add(at, at); // a selected item stays selected
    }
    return VE_OK;
}

void CItemNode::TruncateFrom(int32_t index) {
    if (index < 0) index = 0;
    CountsChanged();
    InvalidateVisible();
    if (!m_virtual) m_marked.Remove(index, -1);
    while (m_children.GetCount() > index)
        m_children.RemoveAt(-1, true);
}

std::vector<CItem*> CItemNode::MarkedChildren() const {
    std::vector<CItem*> out;
    for (const CRangeSet::Range& r : m_marked.Ranges())
        for (int32_t i = r.first; i <= r.last && i < m_children.GetCount(); ++i)
            out.push_back(m_children.GetAt(i));
    return out;
}

void CItemNode::RemarkChildren(const std::vector<CItem*>& items) {
    if (items.empty()) return;
    m_marked.Clear();
    Renumber();
    for (CItem* item : items)
        m_marked.Add(item->IndexField(), item->IndexField());
}

bool CItemNode::PurgeUnusedChildren() {
    bool purged = false;
    for (int32_t p = m_children.GetCount() - 1; p >= 0; --p) {
        CItem* child = m_children.GetAt(p);
        CItemNode* sub = child->ChildNode();
        if (sub && (sub->GetCount() > 0 || sub->IsVirtual())) continue;
        if (child->RefCount() > 1) continue;
        if (sub) CountsChanged(); // an empty child node goes with it
        InvalidateVisible();      // its own flags go with it
        m_children.RemoveAt(p, true);
        purged = true;
    }
    return purged;
}

// ---- CItemData ----

CSlotPool& CItemData::SlotPool() {
    static CSlotPool* pool = new CSlotPool(sizeof(CItemData)); // never destroyed
    return *pool;
}

CItemData::CItemData() : m_values(CAttrSet::New()) {
    if (m_values) m_values->SetOwner(this);
}

CItemData::~CItemData() {
    if (m_values) m_values->SetOwner(nullptr);
}

Ref<CItemData> CItemData::New() {
    Ref<CItemData> d(new (std::nothrow) CItemData());
    return d && d->m_values ? d : nullptr;
}

Ref<CItemData> CItemData::NewCopy(const CItemData* other) {
    if (!other) return nullptr;
    Ref<CItemData> d = New();
    if (!d || d->m_values->CopyFrom(*other->m_values) != VE_OK) return nullptr;
    return d;
}

void CItemData::SetValues(Ref<CAttrSet> values) {
    if (!values) return;
    m_values->SetOwner(nullptr);
    m_values = std::move(values);
    m_values->SetOwner(this);
}

int CItemData::Compare(const plat::VARIANT& value, int32_t flags, const CVincaName* key) const {
    const plat::Variant* mine = FindNamedValue(key);
    if (!mine) return -1;
    return CompareItemValues(*mine, value, flags);
}

CAttrSet* CItemData::GetValueSet(const CVincaName* name, bool create) {
    CAttrEntry* e = create ? m_values->GetOrAdd(name) : m_values->Find(name);
    return e ? e->NestedSet(create) : nullptr;
}

void CItemData::SetTreeForeColor(int32_t color) {
    if (CAttrSet* tree = GetValueSet(names::Tree())) tree->SetInt(names::ForeColor(), color);
}

void CItemData::SetTreeBackColor(int32_t color) {
    if (CAttrSet* tree = GetValueSet(names::Tree())) tree->SetInt(names::BackColor(), color);
}

bool CItemData::GetTreeColor(const CVincaName* which, int32_t& color) const {
    CAttrEntry* e = m_values->Find(names::Tree());
    CAttrSet* tree = e ? e->NestedSet(false) : nullptr;
    const plat::Variant* v = tree ? tree->FindValue(which) : nullptr;
    if (!v) return false;
    color = v->to_i4();
    return true;
}

std::string CItemData::GetTreeUrl() const {
    CAttrEntry* e = m_values->Find(names::Tree());
    CAttrSet* tree = e ? e->NestedSet(false) : nullptr;
    return tree ? tree->GetText(names::Url()) : std::string();
}

void CItemData::SetTreeUrl(std::string_view url) {
    if (CAttrSet* tree = GetValueSet(names::Tree())) tree->SetOrAddValue(names::Url(), plat::Variant(url));
}

plat::Variant CItemData::GetTreeFont() const {
    CAttrEntry* e = m_values->Find(names::Tree());
    CAttrSet* tree = e ? e->NestedSet(false) : nullptr;
    const plat::Variant* v = tree ? tree->FindValue(names::Font()) : nullptr;
    return v ? *v : plat::Variant();
}

void CItemData::SetTreeFont(const plat::VARIANT& font) {
    if (CAttrSet* tree = GetValueSet(names::Tree())) tree->SetOrAddValue(names::Font(), font);
}

// ---- CNodeOwnerList ----

Ref<CNodeOwnerList> CNodeOwnerList::New() {
    return Ref<CNodeOwnerList>(new (std::nothrow) CNodeOwnerList());
}

CNodeOwnerList::~CNodeOwnerList() {
    m_nodes.clear();
}

void CNodeOwnerList::AddNode(CItemNode* node) {
    auto it = std::lower_bound(m_nodes.begin(), m_nodes.end(), node, std::less<CItemNode*>());
    if (it == m_nodes.end() || *it != node) m_nodes.insert(it, node);
}

void CNodeOwnerList::RemoveNode(CItemNode* node) {
    auto it = std::lower_bound(m_nodes.begin(), m_nodes.end(), node, std::less<CItemNode*>());
    if (it != m_nodes.end() && *it == node) m_nodes.erase(it);
}

bool CNodeOwnerList::Contains(const CItemNode* node) const {
    return std::binary_search(m_nodes.begin(), m_nodes.end(), const_cast<CItemNode*>(node),
                              std::less<CItemNode*>());
}

void CNodeOwnerList::OnChildMade(CItemNode* node, CItem* child) {
    if (m_listener) m_listener->OnChildMade(node, child);
}

bool CNodeOwnerList::PurgeUnusedNodes() {
    // A purge may release nodes (and so unregister them): walk a copy.
    std::vector<CItemNode*> nodes = m_nodes;
    bool purged = false;
    for (CItemNode* node : nodes)
        if (Contains(node) && node->PurgeUnusedChildren()) purged = true;
    return purged;
}

// ---- walks ----

CItem* CItemWalker::Next() {
    if (!m_current) return nullptr;
    CItemNode* sub = m_current->ChildNode();
    if (sub && sub->MaterialisedCount() > 0) {
        m_current = sub->MaterialisedAt(0);
        return m_current;
    }
    CItem* item = m_current;
    while (item) {
        CItemNode* parent = item->ParentNode();
        if (!parent) break;
        int32_t pos = parent->IsVirtual() ? -1 : item->GetIndex();
        if (parent->IsVirtual()) {
            for (int32_t p = 0; p < parent->MaterialisedCount(); ++p)
                if (parent->MaterialisedAt(p) == item) {
                    pos = p;
                    break;
                }
        }
        if (pos + 1 < parent->MaterialisedCount()) {
            m_current = parent->MaterialisedAt(pos + 1);
            return m_current;
        }
        item = parent->OwnerItem();
        if (item && item->IsRoot()) break;
    }
    m_current = nullptr;
    return nullptr;
}

CItem* FindLastDescendant(CItemNode* node) {
    CItem* last = nullptr;
    while (node && node->MaterialisedCount() > 0) {
        last = node->MaterialisedAt(node->MaterialisedCount() - 1);
        node = last->ChildNode();
    }
    return last;
}

CItem* ChildBefore(CItemNode* node, CItem* item) {
    if (!node || !item || node->IsVirtual()) return nullptr;
    int32_t i = item->GetIndex();
    return i > 0 ? node->MaterialisedAt(i - 1) : nullptr;
}

int32_t CountDescendants(CItemNode* node) {
    return node ? node->DescendantCount() : 0;
}

int32_t CItemNode::SubtreeSize(CItem* item) {
    CItemNode* sub = item->ChildNode();
    return 1 + (sub ? sub->DescendantCount() : 0);
}

int32_t CItemNode::DescendantCount() {
    if (m_countValid) return m_descendants;
    // Stale nodes below are counted first, each from its children's counts.
    struct Frame {
        CItemNode* node;
        int32_t pos;
        int64_t sum;
    };
    std::vector<Frame> stack{{this, 0, GetCount()}};
    for (;;) {
        Frame& f = stack.back();
        if (f.pos < f.node->m_children.GetCount()) {
            CItemNode* sub = f.node->m_children.GetAt(f.pos++)->ChildNode();
            if (!sub) continue;
            if (sub->m_countValid)
                f.sum += sub->m_descendants;
            else
                stack.push_back({sub, 0, sub->GetCount()});
            continue;
        }
        CItemNode* node = f.node;
        node->m_descendants = f.sum > INT32_MAX ? INT32_MAX : static_cast<int32_t>(f.sum);
        node->m_countValid = true;
        stack.pop_back();
        if (stack.empty()) return node->m_descendants;
        stack.back().sum += node->m_descendants;
    }
}

void CItemNode::Drop(CItemNode* node) {
    // Releasing a node releases its children, and each child its own node:
    // done by nesting, a chain of items would take a stack frame per level.
    // Nodes dropped while a drop is under way wait in a list instead, and
    // the outermost drop clears them one after the other.
    thread_local CItemNode* pending = nullptr;
    thread_local bool draining = false;
    node->m_nextDropped = pending;
    pending = node;
    if (draining) return;
    draining = true;
    while (CItemNode* n = pending) {
        pending = n->m_nextDropped;
        n->m_nextDropped = nullptr;
        n->Clear();
        n->Release();
    }
    draining = false;
}

} // namespace vinca
