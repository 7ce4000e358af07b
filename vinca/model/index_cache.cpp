#include "vinca/model/index_cache.h"

#include <new>
#include <utility>
#include <vector>

namespace vinca {

struct CIndexCache::Entry {
    Ref<CItem> item;
    uint64_t serial;
    int32_t index;
    uint64_t lastUse;
};

class CIndexCache::ByIndex : public TKeyedTable<Entry> {
  public:
    ByIndex() : TKeyedTable(100, 100) {}
    ~ByIndex() override {
        RemoveAll();
        for (Entry* e : spare)
            delete e;
    }
    // Entries that left are kept for the next additions: the cache turns
    // over an entry for nearly every lookup.
    std::vector<Entry*> spare;
    Entry* Make(CItem* item, uint64_t serial, int32_t index, uint64_t clock) {
        Entry* e = nullptr;
        if (!spare.empty()) {
            e = spare.back();
            spare.pop_back();
            *e = Entry{Ref<CItem>(item), serial, index, clock};
        } else {
            e = new (std::nothrow) Entry{Ref<CItem>(item), serial, index, clock};
        }
        return e;
    }

  protected:
    int Compare(const void* a, const void* b) const override {
        int32_t x = *static_cast<const int32_t*>(a), y = *static_cast<const int32_t*>(b);
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    const void* KeyOf(const void* e) const override { return &static_cast<const Entry*>(e)->index; }
    // This table owns the entries.
    void ReleaseEntry(void* p) override {
        auto* e = static_cast<Entry*>(p);
        e->item.reset();
        if (spare.size() < kSpareEntries) {
            spare.push_back(e);
            return;
        }
        delete e;
    }
    static constexpr size_t kSpareEntries = 64;
};

// Ordered by the items' creation serials, so that the order is the same on
// every run.
class CIndexCache::ByItem : public TKeyedTable<Entry> {
  public:
    ByItem() : TKeyedTable(100, 100) {}

  protected:
    int Compare(const void* a, const void* b) const override {
        uint64_t x = *static_cast<const uint64_t*>(a), y = *static_cast<const uint64_t*>(b);
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    const void* KeyOf(const void* e) const override { return &static_cast<const Entry*>(e)->serial; }
};

bool CIndexCache::FindByIndex(int32_t index, int32_t& position) const {
    return SearchTable(
        *m_byIndex, index, [](const Entry* e) { return e->index; }, position);
}

bool CIndexCache::FindBySerial(uint64_t serial, int32_t& position) const {
    return SearchTable(
        *m_byItem, serial, [](const Entry* e) { return e->serial; }, position);
}

CIndexCache::CIndexCache() : m_byIndex(new ByIndex()), m_byItem(new ByItem()) {}

CIndexCache::~CIndexCache() {
    delete m_byItem;
    delete m_byIndex;
}

int32_t CIndexCache::Count() const {
    return m_byIndex->GetCount();
}

CIndexCache::Entry* CIndexCache::FindIndexEntry(int32_t index) const {
    int32_t pos;
    return FindByIndex(index, pos) ? m_byIndex->GetAt(pos) : nullptr;
}

CItem* CIndexCache::LookupIndex(int32_t index) {
    Entry* e = FindIndexEntry(index);
    if (!e) return nullptr;
    e->lastUse = m_clock;
    return e->item.get();
}

int32_t CIndexCache::LookupItem(CItem* item) {
    if (!item) return -1;
    int32_t pos;
    if (!FindBySerial(item->Serial(), pos)) return -1;
    Entry* e = m_byItem->GetAt(pos);
    e->lastUse = m_clock;
    return e->index;
}

void CIndexCache::RemoveEntry(Entry* e) {
    int32_t pos;
    if (FindBySerial(e->serial, pos)) m_byItem->RemoveAt(pos, false);
    if (FindByIndex(e->index, pos)) m_byIndex->RemoveAt(pos, true);
}

void CIndexCache::Recount() {
    Entry* last = m_byIndex->GetAt(-1);
    m_highest = last ? last->index : -1;
}

void CIndexCache::Add(CItem* item, int32_t index) {
    if (!item || index < 0) return;
    ++m_clock;
    int32_t n = Count();
    if (n == kStampMark) m_stamp = m_clock;
    if (n >= kPurgeMark) {
        uint64_t stamp = m_stamp;
        auto old = [stamp](void* e) { return static_cast<Entry*>(e)->lastUse < stamp; };
        m_byItem->RemoveIf(old, false);
        m_byIndex->RemoveIf(old, true); // this table owns the entries
        m_stamp = m_clock;
        Recount();
    }
    // One entry per item and per index.
    uint64_t key = item->Serial();
    int32_t itemPos, indexPos;
    bool removed = false;
    if (FindBySerial(key, itemPos)) {
        RemoveEntry(m_byItem->GetAt(itemPos));
        removed = true;
    }
    if (FindByIndex(index, indexPos)) {
        RemoveEntry(m_byIndex->GetAt(indexPos));
        removed = true;
    }
    if (removed) {
        FindBySerial(key, itemPos);
        FindByIndex(index, indexPos);
    }
    Entry* e = m_byIndex->Make(item, key, index, m_clock);
    if (!e) return;
    if (m_byIndex->InsertAt(indexPos, e) != VE_OK) {
        delete e;
        return;
    }
    if (m_byItem->InsertAt(itemPos, e) != VE_OK) {
        RemoveEntry(e);
        return;
    }
    if (index > m_highest) m_highest = index;
}

void CIndexCache::Invalidate(int32_t n) {
    if (n <= 0) {
        m_byItem->RemoveAll();
        m_byIndex->RemoveAll();
        m_highest = -1;
        return;
    }
    if (n > m_highest) return;
    while (m_byIndex->GetCount() > 0 && m_byIndex->GetAt(-1)->index >= n)
        RemoveEntry(m_byIndex->GetAt(-1));
    Recount();
}

void CIndexCache::InvalidateFrom(CItem* item) {
    if (Count() == 0) return;
    int32_t index = LookupItem(item);
    Invalidate(index < 0 ? 0 : index);
}

namespace {

struct CountForward : CItemVisitor {
    int32_t count;
    int32_t target;
    CItem* found{nullptr};
    CountForward(int32_t from, int32_t to) : count(from), target(to) {}
    bool VisitItem(CItem* item) override {
        if (++count == target) {
            found = item;
            return false;
        }
        return true;
    }
    bool VisitRange(CItemNode* node, int32_t first, int32_t last) override {
        int32_t len = last - first + 1;
        if (int64_t(target) <= int64_t(count) + len) {
            found = node->GetAt(first + (target - count - 1));
            return false;
        }
        count += len;
        return true;
    }
};

struct CountBackward : CItemVisitor {
    int32_t count;
    int32_t target;
    CItem* found{nullptr};
    CountBackward(int32_t from, int32_t to) : count(from), target(to) {}
    bool VisitItem(CItem* item) override {
        if (--count == target) {
            found = item;
            return false;
        }
        return true;
    }
    bool VisitRange(CItemNode* node, int32_t first, int32_t last) override {
        int32_t len = last - first + 1;
        if (int64_t(target) >= int64_t(count) - len) {
            found = node->GetAt(last - (count - 1 - target));
            return false;
        }
        count -= len;
        return true;
    }
};

int32_t PositionInParent(CItem* item) {
    CItemNode* parent = item->ParentNode();
    return parent->IsVirtual() ? item->IndexField() : item->GetIndex();
}

} // namespace

CItem* WalkToPosition(CItem* from, int32_t fromIndex, int32_t target, CItemNode* top) {
    if (!from || !from->ParentNode()) {
        CountForward v(-1, target);
        top->VisitForward(v, -1);
        return v.found;
    }
    if (target == fromIndex) return from;
    if (target > fromIndex) {
        CountForward v(fromIndex, target);
        CItemNode* sub = from->ChildNode();
        if (sub && sub->GetCount() > 0)
            sub->VisitForward(v, -1);
        else
            from->ParentNode()->VisitForward(v, PositionInParent(from));
        return v.found;
    }
    CountBackward v(fromIndex, target);
    from->ParentNode()->VisitBackward(v, PositionInParent(from));
    return v.found;
}

CItem* CIndexCache::ItemAt(int32_t index, CItemNode* top) {
    if (index < 0 || !top) return nullptr;
    if (m_busy) // a walk is running (a virtual child's query asked again)
        return WalkToPosition(nullptr, -1, index, top);
    ++m_clock;
    if (CItem* hit = LookupIndex(index)) return hit;
    CItem* start = nullptr;
    int32_t startIndex = -1;
    int32_t pos;
    FindByIndex(index, pos);
    Entry* after = m_byIndex->GetAt(pos);
    Entry* before = pos > 0 ? m_byIndex->GetAt(pos - 1) : nullptr;
    Entry* nearest = before;
    if (after && (!before || after->index - index < index - before->index)) nearest = after;
    if (nearest && std::abs(nearest->index - index) < index) {
        start = nearest->item.get();
        startIndex = nearest->index;
        nearest->lastUse = m_clock;
    }
    m_busy = true;
    CItem* found = WalkToPosition(start, startIndex, index, top);
    m_busy = false;
    if (found) Add(found, index);
    return found;
}

int32_t CIndexCache::PositionOf(CItem* item, CItemNode* top) {
    if (!item || !item->ParentNode()) return -1;
    // The position follows from the nearest cached sibling before the item
    // (plus the subtrees in between), or else from the parent's position.
    // Items whose position waits for their parent's wait here with what
    // they add to it: the walk up is a loop, however deep the tree.
    std::vector<std::pair<CItem*, int64_t>> waiting;
    int64_t base = -1;
    for (CItem* at = item;;) {
        ++m_clock;
        int32_t cached = LookupItem(at);
        if (cached >= 0) {
            base = cached;
            break;
        }
        CItemNode* parent = at->ParentNode();
        int64_t acc = 0;
        bool fromSibling = false;
        if (!parent->IsVirtual()) {
            for (int32_t k = at->GetIndex() - 1; k >= 0; --k) {
                CItem* sib = parent->MaterialisedAt(k);
                acc += 1 + CountDescendants(sib->ChildNode());
                int32_t c = LookupItem(sib);
                if (c >= 0) {
                    base = c;
                    fromSibling = true;
                    break;
                }
            }
        } else {
            int32_t idx = at->IndexField();
            acc = idx;
            for (int32_t p = 0; p < parent->MaterialisedCount(); ++p) {
                CItem* c = parent->MaterialisedAt(p);
                if (c->IndexField() >= idx) break;
                acc += CountDescendants(c->ChildNode());
            }
        }
        if (fromSibling) {
            waiting.emplace_back(at, acc);
            break;
        }
        waiting.emplace_back(at, acc + 1);
        CItem* owner = parent->OwnerItem();
        if (!owner || !owner->ParentNode()) {
            if (parent != top) return -1;
            base = -1;
            break;
        }
        at = owner;
    }
    for (auto it = waiting.rbegin(); it != waiting.rend(); ++it) {
        base = static_cast<int32_t>(base + it->second);
        Add(it->first, static_cast<int32_t>(base));
    }
    return static_cast<int32_t>(base);
}

} // namespace vinca
