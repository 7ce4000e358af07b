#pragma once
// The item tree: counted items, each with its text, flags, mark, values and
// an optional grid; an item's children live in a child node made when the
// item first gets children. A child node may be a virtual parent: its
// children exist as a bare count and are made when first asked for.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/variant.h"
#include "vinca/model/attr.h"
#include "vinca/model/containers.h"
#include "vinca/model/names.h"
#include "vinca/model/pool.h"

namespace vinca {

class CItem;
class CItemNode;
class CItemData;
class CNodeOwnerList;

// An item's own grid (columns and cells). The grid lives with the stored
// tree; the item only needs to copy it and to tell it who owns it.
class CItemGridBase : public CVincaObject {
  public:
    virtual Ref<CItemGridBase> CloneGrid() const = 0;
    virtual void SetOwnerItem(CItem* item) {}
};

// What items ask the tree above them; the root item answers from the tree
// engine, every other item passes the question up.
class ITreeOwner {
  public:
    // Whether an item counts as expandable (1 or 2) without a child list.
    virtual int32_t QueryExpandable(CItem* item) { return 0; }
    // The engine's trigger-events setting.
    virtual int32_t QueryTriggerEvents() { return 0; }
    // Told of every item whose children were collapsed with notification.
    virtual void OnChildrenCollapsed(CItem* item) {}

  protected:
    ~ITreeOwner() = default;
};

// Told when a virtual parent makes a child on demand.
class IVirtualChildListener {
  public:
    virtual void OnChildMade(CItemNode* node, CItem* child) = 0;

  protected:
    ~IVirtualChildListener() = default;
};

// Tree walks call these; VisitItem and VisitRange return false to stop.
class CItemVisitor {
  public:
    virtual ~CItemVisitor() = default;
    virtual bool VisitItem(CItem* item) = 0;
    // Children first..last of a virtual parent that were never made.
    virtual bool VisitRange(CItemNode* node, int32_t first, int32_t last) { return true; }
    // Whether the item itself is visited.
    virtual bool Accept(CItem* item) { return true; }
    // Whether the item's children are entered.
    virtual bool Enter(CItem* item) { return true; }
};

class CItem : public CVincaObject {
  public:
    // Items come from a pool of their own: a tree holds them by the million.
    static CSlotPool& SlotPool();
    VINCA_POOLED_ALLOCATION(SlotPool)

    enum : uint16_t {
        kExpanded = 0x4,
        kSortMask = 0x38,
        kSortShift = 3,
        kRuntimeMask = 0xC3, // bits 0, 1, 6 and 7: never stored
    };

    // A new item with one reference added; null when memory runs out.
    static Ref<CItem> New(CItemNode* parent, std::string_view text, uint16_t flags);

    const std::string& Text() const { return m_text; }
    void SetText(std::string_view text) { m_text.assign(text); }
    // Takes the text over without a copy.
    void AdoptText(std::string&& text) { m_text = std::move(text); }

    uint16_t Flags() const { return m_flags; }
    void SetFlags(uint16_t flags);
    bool IsExpanded() const { return m_flags & kExpanded; }
    // With `notify` the child node is told too, which passes it on.
    void SetExpandedFlag(bool notify = false);
    void ClearExpandedFlag(bool notify = false);
    int SortMethod() const { return (m_flags & kSortMask) >> kSortShift; }
    void SetSortMethodBits(int method) {
        m_flags = static_cast<uint16_t>((m_flags & ~kSortMask) | ((method & 7) << kSortShift));
    }
    // Tells the tree above that the item's rows may have changed.
    void RowsTouched();
    uint8_t Mark() const { return m_mark; }
    void SetMark(uint8_t mark);
    bool Hidden() const { return m_hidden & 0xF; }
    void SetHidden(bool hidden);
    const CVincaName* SortKey() const { return m_sortKey; }
    void SetSortKey(const CVincaName* key) { m_sortKey = key ? key : names::ObsoleteValue(); }
    int32_t SortingStyle() const { return m_sortStyle; }
    void SetSortingStyle(int32_t style) { m_sortStyle = style; }
    // A word the item carries for its host: stored with the item and
    // written back unchanged, never read by the tree itself.
    int32_t ItemWord() const { return m_itemWord; }
    void SetItemWord(int32_t word) { m_itemWord = word; }
    // Creation order; breaks sort ties the same way on every run.
    uint64_t Serial() const { return m_serial; }

    CItemNode* ChildNode() const { return m_childNode; }
    // The child node, made on first use; null when it cannot be made.
    CItemNode* GetChildNode();
    CItemNode* ParentNode() const { return m_parentNode; }
    CItem* GetParentItem() const;
    // 0 for a top-level item, -1 for an item without a parent node.
    int32_t GetItemLevel() const;
    // Position in the parent node (renumbering it when stale); -1 without one.
    int32_t GetIndex();
    int32_t IndexField() const { return m_index; }
    void SetIndexField(int32_t index) { m_index = index; }
    // Number of children (a virtual parent's count); never makes the node.
    int32_t ChildCount() const;
    bool HasChildren() const { return ChildCount() > 0; }

    CItemData* ItemData() const { return m_itemData; }
    // The value holder, made empty on first use; null when it cannot be made.
    CItemData* GetItemData();
    void SetItemData(CItemData* data);
    CItemGridBase* Grid() const { return m_grid; }
    void SetGrid(CItemGridBase* grid);

    // Moves the values, grid, text, flags, mark, hidden state, item word and
    // children of another item into this one; the other keeps none of them.
    void TakeOver(CItem& other);
    // Drops the children, text, flags, mark, hidden state, item word, values
    // and grid.
    void Clear();
    // Copies text, flags, mark, hidden state, sort key, item word, values and
    // grid (children are not copied); 7 when memory runs out.
    VResult CopyFrom(const CItem& other);

    // The item answers a named value only for "__Text".
    bool LookupValue(const CVincaName* name, plat::Variant& out) const;
    // The engine side of the tree, found through the root item; null for a
    // detached item.
    ITreeOwner* TreeOwner() const;
    virtual bool IsRoot() const { return false; }

    // The item's bookmark: a handle that names the item while it lives.
    uint32_t Bookmark();
    static CItem* FromBookmark(uint32_t handle);

  protected:
    friend class CItemNode;
    CItem(CItemNode* parent, std::string_view text, uint16_t flags);
    ~CItem() override;
    virtual ITreeOwner* OwnTreeOwner() const { return nullptr; }

  private:
    uint32_t m_bookmark{0};
    uint16_t m_flags;
    uint8_t m_mark{0};
    uint8_t m_hidden{0};
    int32_t m_index{-1};
    int32_t m_sortStyle{0};
    int32_t m_itemWord{0};           // fills the gap before the pointers: costs no memory
    CItemNode* m_childNode{nullptr}; // counted
    CItemNode* m_parentNode;
    CItemData* m_itemData{nullptr}; // counted
    CItemGridBase* m_grid{nullptr}; // counted
    const CVincaName* m_sortKey;
    uint64_t m_serial;
    std::string m_text;
};

// The item above the top level; it answers the owner queries for the tree.
class CRootItem : public CItem {
  public:
    static Ref<CRootItem> New();
    void SetTreeOwner(ITreeOwner* owner) { m_treeOwner = owner; }
    bool IsRoot() const override { return true; }

  protected:
    ITreeOwner* OwnTreeOwner() const override { return m_treeOwner; }

  private:
    CRootItem() : CItem(nullptr, {}, 0) {}
    ITreeOwner* m_treeOwner{nullptr};
};

// The children of one item (or of the root).
class CItemNode : public CVincaObject {
  public:
    static Ref<CItemNode> New(CItemNode* above, CItem* owner, CNodeOwnerList* link = nullptr);

    CItemNode* Above() const { return m_above; }
    CItem* OwnerItem() const { return m_owner; }
    CNodeOwnerList* Link() const { return m_link; }
    CRangeSet& Marked() { return m_marked; }

    // Makes a child and adds it at the index (-1 or past the end: append);
    // 25004 and index -1 for a virtual parent, 7 when no item can be made.
    VResult AddNewChild(int32_t& index, std::string_view text, uint16_t flags, CItem** made = nullptr);
    // Adds an item (the node takes a reference) at the index.
    VResult AddChild(int32_t& index, CItem* item);
    void CopySettings(const CItemNode& other);

    bool IsVirtual() const { return m_virtual; }
    // A virtual parent's count, else the number of children.
    int32_t GetCount() const { return m_virtual ? m_virtualCount : m_children.GetCount(); }
    // The child at the index; a virtual parent makes it on demand. Null out of range.
    CItem* GetAt(int32_t index);
    CItemNode* GetChildNodeAt(int32_t index);
    // Makes room for `n` children in all (a reader that knows the count);
    // false when memory runs out.
    bool ReserveChildren(int32_t n) { return m_children.Reserve(n < 0 ? 0 : static_cast<size_t>(n)); }
    // The children that exist (for a virtual parent the materialised ones).
    int32_t MaterialisedCount() const { return m_children.GetCount(); }
    CItem* MaterialisedAt(int32_t pos) const { return m_children.GetAt(pos); }
    // The materialised child of a virtual parent with that index, or null.
    CItem* FindMaterialised(int32_t index) const;
    // The position among the materialised children of the virtual child
    // with that index; false when it was never made.
    bool FindMaterialisedPos(int32_t index, int32_t& pos) const { return m_children.Find(&index, pos); }

    // Pre-order walks from after (before) the child at `index`, then on in
    // the nodes above; false when the visitor stopped the walk.
    bool VisitForward(CItemVisitor& visitor, int32_t index);
    bool VisitBackward(CItemVisitor& visitor, int32_t index);
    // Pre-order walk of this node's children and their subtrees only.
    bool VisitSubtree(CItemVisitor& visitor);

    void Renumber();
    bool NumberingValid() const { return m_numberingValid; }
    // The first child whose text equals `text` exactly; -1 for an empty text
    // and always for a virtual parent.
    int32_t FindChildByText(std::string_view text) const;
    // Removes (and releases) the child at the index (-1 the last).
    void RemoveAt(int32_t index);
    // Takes the child out and hands its reference to the caller.
    Ref<CItem> DetachAt(int32_t index);
    void SetChildrenExpanded(bool notify);
    void SetChildrenCollapsed(bool notify);
    int32_t IndexOf(CItem* item) const;

    // Switches between virtual and ordinary parent, dropping the children.
    void SetVirtual(bool on);
    void SetItemData(CNodeOwnerList* link);
    void SetVirtualCount(int32_t n);
    // Stores the method and key in the owning item and sorts; 20132 on a
    // virtual parent, 25001 without an owning item.
    VResult SetSortMethod(int method, const CVincaName* key);
    VResult Sort();
    void Reverse();
    void Clear();
    // Appends every child of the other node to this one.
    VResult AdoptChildren(CItemNode& other);
    // Moves the children from `index` on to the end of `target`.
    VResult MoveTailTo(int32_t index, CItemNode& target);
    // Drops the children from `index` on.
    void TruncateFrom(int32_t index);
    // Drops materialised virtual children that nothing else holds.
    bool PurgeUnusedChildren(); // whether any child went
    // The children whose positions are marked (selected), in order; a sort
    // or a reversal marks the same children again at their new positions.
    std::vector<CItem*> MarkedChildren() const;
    void RemarkChildren(const std::vector<CItem*>& items);
    // Every item below this node, all levels, virtual counts included; kept
    // until the subtree changes.
    int32_t DescendantCount();
    // The rows below this node as the tree engine counted them, kept until
    // something below changes (`generation` is the engine's; 0 = stale).
    bool VisibleCache(uint32_t generation, int32_t& rows) const {
        rows = m_visibleBelow;
        return m_visibleGen == generation;
    }
    void SetVisibleCache(uint32_t generation, int32_t rows) {
        m_visibleGen = generation;
        m_visibleBelow = rows;
    }
    // Something below changed the rows: this node and those above are stale.
    // `changed`, a child of this node, says where: the rows before it stayed.
    void InvalidateVisible(const CItem* changed = nullptr) {
        BumpTreeEpoch();
        KeepRowIndexThrough(changed);
        for (CItemNode* n = this; n->m_visibleGen;) {
            n->m_visibleGen = 0;
            CItemNode* above = n->m_above;
            if (!above) break;
            above->KeepRowIndexThrough(n->m_owner);
            n = above;
        }
    }
    // The rows before each materialised child (one more entry: all the
    // rows), kept by the tree engine so that it finds a row by halving
    // rather than by walking the siblings before it. Null when stale: a
    // change of the rows or of the order below drops it, or the part of it
    // after the child whose rows changed (`kept` then tells how many entries
    // at its front are still right; 0 for none). A node's index is only
    // ever made while its row count is current, and both are dropped
    // together, so the walk above may stop where the counts are stale (a
    // child node starts stale, and its making drops the counts above it);
    // the stale node where it stops still gives up its entries after the
    // child the walk came through, which may come before the child an
    // earlier walk came through.
    // An index made before children were added at the end is short of
    // their entries, and so not current either.
    const std::vector<int32_t>* RowIndex(uint32_t generation, size_t& kept) const {
        kept = m_rowIndex && m_rowIndexGen == generation ? m_rowIndexKept : 0;
        const size_t entries = static_cast<size_t>(m_children.GetCount()) + 1;
        return kept == entries && m_rowIndex->size() == entries ? m_rowIndex.get() : nullptr;
    }
    // Room for `size` entries, current from now on (the entries that were
    // there stay); null when memory runs out.
    std::vector<int32_t>* ResetRowIndex(uint32_t generation, size_t size);
    // Changes with every change of shape, order or rows of any tree of the
    // calling thread (a tree is changed and read on the thread that owns
    // it, so a plain counter per thread does, with no locked instruction).
    static uint64_t TreeEpoch() { return t_treeEpoch; }
    static void BumpTreeEpoch() { ++t_treeEpoch; }

    // Sort order of two children under the owning item's method and style.
    int CompareChildren(CItem* a, CItem* b) const;

  private:
    friend class CItem;
    static inline thread_local uint64_t t_treeEpoch = 1;
    // Clears and releases a node its item let go of, without nesting.
    static void Drop(CItemNode* node);
    CItemNode(CItemNode* above, CItem* owner, CNodeOwnerList* link);
    ~CItemNode() override;
    void MarkStale() {
        m_numberingValid = false;
        m_rowIndexGen = 0;
    }
    // The rows of `child` (null: of a child not known) changed: the entries
    // up to its own stay right, those after it go.
    void KeepRowIndexThrough(const CItem* child) {
        size_t keep = 0;
        if (child && child->m_parentNode == this && !m_virtual && m_numberingValid && child->m_index >= 0)
            keep = static_cast<size_t>(child->m_index) + 1;
        if (keep < m_rowIndexKept) m_rowIndexKept = keep;
    }
    // The subtree changed: this node's count and those above it are stale.
    void CountsChanged() {
        for (CItemNode* n = this; n && n->m_countValid; n = n->m_above)
            n->m_countValid = false;
    }
    // `delta` items joined (or left) this node's subtree. Counts above a
    // stale node are stale already, so the walk stops at the first one.
    // Counts far above are made stale rather than adjusted: in a deep chain
    // growing at its end, each addition would otherwise walk every level.
    void AdjustCounts(int32_t delta) {
        int32_t steps = 0;
        for (CItemNode* n = this; n && n->m_countValid; n = n->m_above) {
            if (++steps > kCountedLevels) return n->CountsChanged();
            n->m_descendants += delta;
        }
    }
    static constexpr int32_t kCountedLevels = 64;
    static int32_t SubtreeSize(CItem* item);
    void QuickSort(int32_t low, int32_t high);

    // Children in display order; a virtual parent's are kept ordered by index.
    class ChildTable : public TKeyedTable<CItem> {
      public:
        ChildTable() : TKeyedTable(50, 50) {}
        ~ChildTable() override { RemoveAll(); }

      protected:
        int Compare(const void* a, const void* b) const override;
        const void* KeyOf(const void* entry) const override;
        void ReleaseEntry(void* entry) override;
    };

    ChildTable m_children;
    CItemNode* m_above;
    CItem* m_owner;
    CNodeOwnerList* m_link{nullptr}; // counted
    CRangeSet m_marked;
    int32_t m_virtualCount{0};
    int32_t m_descendants{0};
    int32_t m_visibleBelow{0};
    uint32_t m_visibleGen{0};
    uint32_t m_rowIndexGen{0};
    size_t m_rowIndexKept{0}; // entries of the row index still right
    std::unique_ptr<std::vector<int32_t>> m_rowIndex;
    CItemNode* m_nextDropped{nullptr}; // while waiting to be cleared
    bool m_countValid{true};
    bool m_numberingValid{true};
    bool m_virtual{false};
};

// An item's values: the main value under "__ObsoleteValue", other named
// values, and the "__Tree" set of tree attributes.
class CItemData : public CVincaObject, private IAttrSetOwner {
  public:
    static CSlotPool& SlotPool();
    VINCA_POOLED_ALLOCATION(SlotPool)

    static Ref<CItemData> New();
    static Ref<CItemData> NewCopy(const CItemData* other);

    CItem* OwnerItem() const { return m_owner; }
    void SetOwnerItem(CItem* item) { m_owner = item; }
    CAttrSet& Values() { return *m_values; }
    const CAttrSet& Values() const { return *m_values; }
    // Replaces the value map (a stream read makes a new one).
    void SetValues(Ref<CAttrSet> values);

    const plat::Variant* FindNamedValue(const CVincaName* name) const { return m_values->FindValue(name); }
    // Compares the value under `key` with `value` (the value comparison).
    int Compare(const plat::VARIANT& value, int32_t flags, const CVincaName* key) const;
    // The nested set stored under a name, made empty on first use.
    CAttrSet* GetValueSet(const CVincaName* name, bool create = true);

    // Tree attributes ("__Tree" set).
    void SetTreeForeColor(int32_t color);
    void SetTreeBackColor(int32_t color);
    bool GetTreeColor(const CVincaName* which, int32_t& color) const;
    std::string GetTreeUrl() const;
    void SetTreeUrl(std::string_view url);
    // The font object of the "__Tree" set, or an empty value.
    plat::Variant GetTreeFont() const;
    void SetTreeFont(const plat::VARIANT& font);

  private:
    CItemData();
    ~CItemData() override;
    void OnAttrChanged(CAttrSet& set, const CVincaName* name) override {}

    CItem* m_owner{nullptr};
    Ref<CAttrSet> m_values;
};

// The set of virtual-parent nodes of one tree; tells the engine when a
// virtual child is made. Every node of the tree holds a reference, so that a
// subtree that outlives its tree never reaches a freed list.
class CNodeOwnerList : public CVincaObject {
  public:
    static Ref<CNodeOwnerList> New();

    void SetListener(IVirtualChildListener* listener) { m_listener = listener; }
    // Registers the node once.
    void AddNode(CItemNode* node);
    void RemoveNode(CItemNode* node);
    bool Contains(const CItemNode* node) const;
    int32_t NodeCount() const { return static_cast<int32_t>(m_nodes.size()); }
    void OnChildMade(CItemNode* node, CItem* child);
    // Whether any child went.
    bool PurgeUnusedNodes();

  private:
    CNodeOwnerList() = default;
    ~CNodeOwnerList() override;
    std::vector<CItemNode*> m_nodes; // no references held; ordered by address
    IVirtualChildListener* m_listener{nullptr};
};

// Pre-order walker over a subtree's items (making no virtual children).
class CItemWalker {
  public:
    explicit CItemWalker(CItem* start) : m_current(start) {}
    CItem* Current() const { return m_current; }
    // Moves to the next item in pre-order; null after the last.
    CItem* Next();

  private:
    CItem* m_current;
};

// The last item of the subtree under the node (following the last child down).
CItem* FindLastDescendant(CItemNode* node);
// The sibling before the item, null for the first.
CItem* ChildBefore(CItemNode* node, CItem* item);
// The number of items under a node, every level, virtual counts included.
int32_t CountDescendants(CItemNode* node);

// A reference to a whole tree (0x5254) or to one item (0x4954), as tree
// buffers and the clipboard carry it.
struct CTreeRef {
    enum Kind : uint16_t { kNone = 0, kTree = 0x5254, kItem = 0x4954 };
    Kind kind{kNone};
    Ref<CItem> item; // the item, or the root item of the whole tree
};

} // namespace vinca

namespace vinca {

// A position in the tree: the node holding an item and the item's index
// there; index -1 stands for the node's owning item (the root for the top node).
struct CNodeRef {
    CItemNode* node{nullptr};
    int32_t index{-1};

    // The item at the position (making a virtual child when needed).
    CItem* Item() const {
        if (!node) return nullptr;
        return index < 0 ? node->OwnerItem() : node->GetAt(index);
    }
};

} // namespace vinca
