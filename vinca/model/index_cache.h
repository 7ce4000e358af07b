#pragma once
// Cache of item positions, so that addressing items one after another by
// position does not walk the tree from the top each time. Entries hold a
// counted reference to their item. Entries age by a counter of lookups: once
// 60 are held, those not used since the fortieth was added are dropped.
#include <cstdint>
#include <functional>

#include "vinca/model/item.h"

namespace vinca {

class CIndexCache {
  public:
    static constexpr int32_t kPurgeMark = 60;
    static constexpr int32_t kStampMark = 40;

    CIndexCache();
    ~CIndexCache();
    CIndexCache(const CIndexCache&) = delete;
    CIndexCache& operator=(const CIndexCache&) = delete;

    // The item at a pre-order position under the top node; null past the end
    // or for a negative index.
    CItem* ItemAt(int32_t index, CItemNode* top);
    // The pre-order position of an item under the top node, -1 when it is
    // not in that tree.
    int32_t PositionOf(CItem* item, CItemNode* top);
    void Add(CItem* item, int32_t index);
    // Drops the entries at or after n; n <= 0 empties the cache.
    void Invalidate(int32_t n);
    // Drops the entries from the item's cached position on (all of them when
    // the item is not cached).
    void InvalidateFrom(CItem* item);
    CItem* LookupIndex(int32_t index);
    int32_t LookupItem(CItem* item);

    int32_t Count() const;
    int32_t HighestIndex() const { return m_highest; }
    uint64_t Clock() const { return m_clock; }

  private:
    struct Entry;
    class ByIndex;
    class ByItem;
    Entry* FindIndexEntry(int32_t index) const;
    bool FindByIndex(int32_t index, int32_t& position) const;
    bool FindBySerial(uint64_t serial, int32_t& position) const;
    void RemoveEntry(Entry* e);
    void Recount();

    ByIndex* m_byIndex;
    ByItem* m_byItem;
    uint64_t m_clock{0}; // one tick per lookup or addition
    uint64_t m_stamp{0};
    int32_t m_highest{-1};
    bool m_busy{false};
};

// Walks forward (or backward) from a known item in pre-order, counting items
// and unmade virtual children, until the target position; null when the
// tree ends first.
CItem* WalkToPosition(CItem* from, int32_t fromIndex, int32_t target, CItemNode* top);

} // namespace vinca
