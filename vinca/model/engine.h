#pragma once
// The tree engine: owns the root item and the tree cursor, addresses items
// by position under the current index method, keeps the visible rows, and
// carries out every change of the tree inside an update scope. It knows the
// control only through two interfaces: the owner (notifications, permission
// to expand and collapse, errors) and the view sink (rows inserted, removed
// and repainted; without a sink the engine tracks no rows).
#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/variant.h"
#include "vinca/model/index_cache.h"
#include "vinca/model/item.h"
#include "vinca/model/search.h"

namespace vinca {

// The control's side of the engine.
class IVincaOwner {
  public:
    // The owner raises the error to its container.
    virtual void ReportError(VResult code) {}
    // Nonzero allows the change (and the owner fires its event).
    virtual bool RequestExpand(int32_t index) { return true; }
    virtual bool RequestCollapse(int32_t index) { return true; }
    // An item closed because an ancestor collapsed (trigger-events mode 1).
    virtual void ItemCollapsedByAncestor(int32_t index) {}
    // A virtual parent made a child: the owner fills it from inside.
    virtual void ItemQueryData(int32_t index, int32_t childIndex) {}
    // Whether an item without a child list counts as expandable (1 or 2).
    virtual int32_t QueryExpandable(CItem* item) { return 0; }

  protected:
    ~IVincaOwner() = default;
};

// The views' side: the engine tells it which rows changed.
class IViewSink {
  public:
    virtual void RowsInserted(int32_t first, int32_t count) {}
    virtual void RowsRemoved(int32_t first, int32_t count) {}
    // Rows first..last need repainting (last -1: to the end).
    virtual void InvalidateRows(int32_t first, int32_t last) {}
    // The outermost update scope closed: repaint once.
    virtual void Repaint() {}
    // Scroll so that rows first..last show.
    virtual void EnsureVisible(int32_t first, int32_t last) {}
    virtual void CurrentRowChanged(int32_t row) {}
    // Too much changed to say which rows: build them all again.
    virtual void RowsReset() {}
    // The selection of one row changed, or of any number of rows (the rows
    // are repainted by the view).
    virtual void RowSelectionChanged(int32_t row, bool selected) {}
    virtual void SelectionReset() {}
    // False while the view will rebuild all rows anyway (during a change
    // batch): the engine then skips working out which rows changed.
    virtual bool TracksRows() const { return true; }

  protected:
    ~IViewSink() = default;
};

// How item positions count.
enum IndexMethod : int16_t {
    VNSYS_ENUM = 0,  // every item in pre-order
    VNSYS_VIS = 1,   // the visible rows
    VNSYS_LEVEL = 2, // the children of the cursor's current parent
};

// The root node, the current parent node (what level positions address)
// and the current item (the last added item).
class CTreeCursor {
  public:
    CItemNode* RootNode() const { return m_root; }
    CItemNode* CurrentParent() const { return m_parent ? m_parent : m_root; }
    void SetCurrentParent(CItemNode* node) { m_parent = node; }
    CItem* CurrentItem() const { return m_current.get(); }
    void SetCurrentItem(CItem* item) { m_current = Ref<CItem>(item); }
    // With a position of 0 or more the child list of the item there becomes
    // the current parent (made when missing: 7 when it cannot be); with -1
    // the list itself.
    VResult SetCurrent(CItemNode* list, int32_t position);
    // Every item of the tree, recounted only after a change.
    int32_t GetCachedCount();
    void InvalidateCount() { m_count = -1; }

  private:
    friend class CVincaEngine;
    CItemNode* m_root{nullptr};
    CItemNode* m_parent{nullptr};
    Ref<CItem> m_current;
    int32_t m_count{-1};
};

class CVincaEngine : private ITreeOwner, private IVirtualChildListener {
  public:
    explicit CVincaEngine(IVincaOwner* owner = nullptr);
    ~CVincaEngine();
    CVincaEngine(const CVincaEngine&) = delete;
    CVincaEngine& operator=(const CVincaEngine&) = delete;

    // ---- structure ----
    CRootItem* Root() const { return m_root.get(); }
    CItemNode* RootNode() const { return m_cursor.m_root; }
    CTreeCursor& Cursor() { return m_cursor; }
    CNodeOwnerList& NodeLink() { return *m_nodeLink; }
    CIndexCache& EnumCache() { return m_enumCache; }
    void SetOwner(IVincaOwner* owner) { m_owner = owner; }
    IVincaOwner* Owner() const { return m_owner; }
    // Null switches row tracking off.
    void SetViewSink(IViewSink* sink);
    bool RowTracking() const { return m_sink && m_sink->TracksRows(); }

    // ---- settings the model reads ----
    int16_t CurrentIndexMethod() const { return m_indexMethod; }
    VResult SetCurrentIndexMethod(int16_t method);
    bool m_expandNewItem{true};         // new items start expanded
    bool m_expandOnSelect{true};        // setting the current row opens its ancestors
    bool m_keepChildStates{true};       // expanding keeps the children's own states
    bool m_skipCollapseQuestion{false}; // no permission asked when collapsing items with children
    int32_t m_triggerEvents{0};
    bool m_showHiddenItems{false}; // after a change call InvalidateRowList
    std::string m_pathSeparator{"\\"};
    int32_t m_convertTabsToCols{1}; // read by the shell for text pasted into cells
    int16_t m_colDelimiter{9};      // low byte: the column delimiter character
    VResult SetPathSeparator(std::string_view separator);
    // Items with these marks are never shown (SetMarkedItemsAlwaysHidden sets them).
    bool IsMarkHidden(int32_t mark) const { return mark >= 0 && mark < 256 && m_hiddenMarks[mark]; }

    // ---- update scope ----
    void BeginUpdate() { ++m_updateDepth; }
    // The outermost close repaints once.
    void EndUpdate();
    class UpdateScope {
      public:
        explicit UpdateScope(CVincaEngine& e) : m_e(e) { m_e.BeginUpdate(); }
        ~UpdateScope() { m_e.EndUpdate(); }
        UpdateScope(const UpdateScope&) = delete;
        UpdateScope& operator=(const UpdateScope&) = delete;

      private:
        CVincaEngine& m_e;
    };
    bool InUpdate() const { return m_updateDepth > 0; }
    // Counts the outermost update scopes closed: each may have changed
    // what the rows show.
    uint64_t Updates() const { return m_updates; }
    // Begin (0) and end (1) notices that automation objects send around a change.
    void OnChangeNotice(int32_t notice) { notice == 0 ? BeginUpdate() : EndUpdate(); }

    // ---- visible rows ----
    int32_t VisibleCount();
    // The item of a row (a virtual child is made on demand); null out of range.
    CItem* RowItem(int32_t row);
    // The row of an item, -1 when it has none.
    int32_t RowOf(CItem* item);
    bool IsItemShown(CItem* item) const; // not hidden by itself or its mark
    // Whether the item has a row (shown, under open ancestors below the top).
    bool HasRow(CItem* item);
    CItem* VisualRoot() const { return m_visualRoot.get(); }
    void SetVisualRoot(CItem* item);
    // The node whose children are the top rows.
    CItemNode* TopRowsNode();
    // The rules of what shows changed (hidden items, marks): count the rows again.
    void InvalidateRowList() {
        ++m_visibleGen;
        CItemNode::BumpTreeEpoch();
    }
    // Rows the item occupies: itself and its open descendants (0 when hidden).
    int32_t RowsOf(CItem* item);

    // ---- addressing ----
    CItem* ItemFromIndex(int32_t index);
    CItem* ItemFromIndexChecked(int32_t index);
    int32_t ItemIndex(CItem* item);
    VResult ItemPosition(int32_t index, CNodeRef& out);
    VResult RowPosition(int32_t row, CNodeRef& out, bool setCurrent);
    void InvalidateItem(CItem* item);
    int32_t ListCount();
    int32_t NewIndex() { return ItemIndex(m_cursor.CurrentItem()); }
    // Relatives by position; -4096 when there is none, 381 (reported) for a bad index.
    static constexpr int32_t kNoSibling = -4096;
    int32_t ItemParent(int32_t index);
    int32_t ItemNextSibling(int32_t index);
    int32_t ItemPrevSibling(int32_t index);
    int32_t Shift(int32_t index);
    // A bookmark of an item of this tree; the item of a bookmark (null when
    // it is gone or belongs to another tree).
    uint32_t ItemBM(CItem* item);
    CItem* ItemFromBookmark(uint32_t bookmark);
    bool IsValidBookmark(uint32_t bookmark) { return ItemFromBookmark(bookmark) != nullptr; }
    // Current item by bookmark: 20116 for an invalid one; 0 resets the current parent.
    VResult SetCurrentItemBM(uint32_t bookmark);

    // ---- item properties ----
    VResult GetItemType(CItem* item, int16_t& kind);
    VResult GetItemValue(CItem* item, plat::VARTYPE vt, plat::Variant& out);
    VResult SetItemValue(CItem* item, const plat::VARIANT& value);
    const CItem* CurrentRowItem() const { return m_currentRow.get(); }
    // The view moved its current row to `item`: noted, nothing told back.
    void NoteCurrentRow(CItem* item) { m_currentRow = Ref<CItem>(item); }
    VResult GetText(std::string& out);
    VResult SetText(std::string_view text);
    VResult SetListText(CItem* item, std::string_view text);
    int32_t GetListIndex();
    VResult SetListIndex(int32_t index);
    VResult SetMarkedItemsAlwaysHidden(int32_t mark, bool hidden);
    bool GetExpandEx(CItem* item);
    int32_t ListCountEx(CItem* item);
    VResult SetItemSorted(CItem* item, int32_t method);
    VResult SetItemSortingKey(CItem* item, const plat::VARIANT& key);
    // Index -1 addresses the control-wide default; -1 means not set.
    VResult GetItemHeight(int32_t index, CItem* item, float& height);
    VResult SetItemHeight(int32_t index, CItem* item, float height);
    void ExpandToLevel(int32_t level);
    // Search members: the first item after `start` (-1: from the top) that
    // matches; -1 when none.
    int32_t FindItem(std::string_view text, int32_t options, int32_t start,
                     const CVincaName* valueKey = nullptr);
    int32_t FindValue(std::string_view text, int32_t options, int32_t start);
    bool ItemMatches(CItem* item, const plat::VARIANT& value, int32_t flags, const CVincaName* key);

    // ---- selection ----
    bool IsSelected(CItem* item);
    // Selects or deselects one item; its row is repainted.
    void SetSelected(CItem* item, bool on);
    void ClearSelection();
    // The selected items that have rows, in row order.
    std::vector<CItem*> SelectedRowItems();
    // False when nothing can be selected (nothing was since the last clear),
    // so that walks for the selection can be skipped.
    bool MaySelect() const { return m_maySelect; }

    // ---- tree operations ----
    VResult InsertItem(CNodeRef pos, std::string_view text, uint16_t flags, int placement,
                       CItem** made = nullptr);
    // At the end of the current parent, or at a place of it.
    VResult AddItem(std::string_view text, CItem** made = nullptr);
    VResult RemoveItem(CItem* item);
    VResult RemoveChildren(CNodeRef pos);
    void Clear();
    VResult SetItemExpanded(CItem* item, bool expand);
    VResult ExpandItem(CItem* item, bool scroll);
    VResult CollapseItem(CItem* item, bool notify);
    void ExpandSubtree(CItem* item, bool expand);
    VResult SetItemAlwaysHidden(CItem* item, bool hidden);
    VResult SetItemMark(CItem* item, int32_t mark);
    void SetMarkCount(int32_t count) { m_markCount = count; }
    bool IsLastVisibleSibling(CItem* item);
    // Whether a plus/minus click may open the item: it has a child list, or
    // the owner answers 1 or 2 for it.
    bool IsExpandable(CItem* item);
    VResult SortChildren(CNodeRef pos);
    VResult ResortItem(CNodeRef pos, int selector, const plat::VARIANT& value);
    VResult SetItemSortingStyle(CItem* item, int32_t style);
    VResult SetItemLevel(CItem* item, int32_t level);
    bool IsVirtualParent(CItem* item);
    VResult SetVirtualParent(CItem* item, bool on);
    int32_t GetVirtualCount(CItem* item);
    VResult SetVirtualCount(CItem* item, int32_t count);
    VResult RefreshItems(int32_t first, int32_t last);
    // Copies of a whole tree or of one item with its subtree under the position.
    // `before` -1 appends as the last children of the item at the position,
    // else inserts before that child. The first copy becomes the current item.
    // With `take` the source's items themselves move over (its tree loses
    // them), ending as copies would: meant for a tree read just for the call.
    VResult AddTreeItems(CNodeRef pos, CItemNode* sourceTop, int32_t before = -1, bool take = false);
    VResult AddItemCopy(CNodeRef pos, CItem* source, int32_t before = -1);

  private:
    // ITreeOwner
    int32_t QueryExpandable(CItem* item) override;
    int32_t QueryTriggerEvents() override { return m_triggerEvents; }
    void OnChildrenCollapsed(CItem* item) override;
    // IVirtualChildListener
    void OnChildMade(CItemNode* node, CItem* child) override;

    struct Span {
        int32_t row{-1};
        int32_t count{0};
    };
    static bool SameRows(Span a, Span b) { return a.row >= 0 && a.row == b.row && a.count == b.count; }
    int32_t VisibleBelow(CItemNode* node);
    int32_t RowsBefore(CItemNode* node, CItem* item);
    // Nodes with fewer children are walked; wider ones get a row index.
    static constexpr int32_t kIndexedChildren = 8;
    // The node's rows before each materialised child, made when missing;
    // null for a narrow node (or when memory runs out).
    const std::vector<int32_t>* RowIndex(CItemNode* node);
    // The item of the row among the node's rows, through its row index;
    // `below` receives the child node to go on in and `remaining` the row
    // there when the row lies under a child.
    CItem* IndexedRow(CItemNode* node, const std::vector<int32_t>& index, int64_t& remaining,
                      CItemNode*& below);
    bool UnmadeShown() const { return m_showHiddenItems || !IsMarkHidden(0); }
    CItem* DescendToRow(int32_t row);
    CItem* NextRow(CItem* item);
    Span SpanOf(CItem* item);
    // The rows steps around a change of an item's subtree.
    void RowsChanged(Span before, Span after);
    void StructureChanged(CItem* item);
    void Report(VResult code);
    CItem* ItemOfNode(CItemNode* node) const;
    VResult MoveLevel(CItem* item, int32_t level);
    VResult CopySubtree(CItemNode* target, int32_t at, CItem* source, CItem** made);
    // Adds a detached item with its subtree in place of a copy of it.
    VResult TakeSubtree(CItemNode* target, int32_t at, CItem* source, CItem** made);
    VResult CopyInto(CNodeRef pos, CItem* const* sources, int32_t count, int32_t before, bool take = false);
    CItem* Lookup(int32_t index, bool report);
    CItemNode* NodeAt(CNodeRef pos, bool create);

    Ref<CRootItem> m_root;
    Ref<CNodeOwnerList> m_nodeLink;
    CTreeCursor m_cursor;
    CIndexCache m_enumCache;
    IVincaOwner* m_owner;
    IViewSink* m_sink{nullptr};
    Ref<CItem> m_visualRoot;
    Ref<CItem> m_currentRow;
    // The last row looked up, for walks row by row.
    Ref<CItem> m_hintItem;
    int32_t m_hintRow{-1};
    uint64_t m_hintEpoch{0};
    uint32_t m_visibleGen{1};
    std::bitset<256> m_hiddenMarks;
    int32_t m_updateDepth{0};
    uint64_t m_updates{0};
    int32_t m_markCount{256};
    float m_defaultItemHeight{-1};
    int16_t m_indexMethod{VNSYS_ENUM};
    bool m_firingExpand{false}; // guards against nested expand and collapse events
    // Open items closed by a collapse of their ancestor, told to the owner
    // once the tree walk is over (its handlers may change the tree).
    std::vector<Ref<CItem>>* m_closedBelow{nullptr};
    uint32_t m_childrenMade{0};
    bool m_maySelect{false};
};

} // namespace vinca
