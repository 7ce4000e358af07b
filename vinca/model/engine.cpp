#include "vinca/model/engine.h"

#include <algorithm>

namespace vinca {

// ---- CTreeCursor ----

VResult CTreeCursor::SetCurrent(CItemNode* list, int32_t position)
{
    if (!list)
        list = m_root;
    if (position < 0) {
        m_parent = list;
        return VE_OK;
    }
    CItem* item = list->GetAt(position);
    if (!item)
        return VE_BAD_INDEX;
    CItemNode* node = item->GetChildNode();
    if (!node)
        return VE_OUT_OF_MEMORY;
    m_parent = node;
    return VE_OK;
}

int32_t CTreeCursor::GetCachedCount()
{
    if (m_count < 0)
        m_count = CountDescendants(m_root);
    return m_count;
}

// ---- engine ----

CVincaEngine::CVincaEngine(IVincaOwner* owner)
    : m_root(CRootItem::New()), m_nodeLink(CNodeOwnerList::New()), m_owner(owner)
{
    m_root->SetTreeOwner(this);
    m_nodeLink->SetListener(this);
    CItemNode* top = m_root->GetChildNode();
    top->SetItemData(m_nodeLink.get());
    m_cursor.m_root = top;
    m_cursor.m_parent = top;
}

CVincaEngine::~CVincaEngine()
{
    // Every node of the tree goes before the virtual-node list it is in.
    m_currentRow.reset();
    m_visualRoot.reset();
    m_cursor.m_current.reset();
    m_enumCache.Invalidate(0);
    m_rows.clear();
    m_root->Clear();
    m_root->SetTreeOwner(nullptr);
    m_nodeLink->SetListener(nullptr);
}

void CVincaEngine::SetViewSink(IViewSink* sink)
{
    m_sink = sink;
    m_rowsValid = false;
}

VResult CVincaEngine::SetCurrentIndexMethod(int16_t method)
{
    if (method < VNSYS_ENUM || method > VNSYS_LEVEL)
        return VE_INVALID_ARGUMENT;
    m_indexMethod = method;
    return VE_OK;
}

VResult CVincaEngine::SetPathSeparator(std::string_view separator)
{
    if (separator.empty() || separator[0] == '.')
        return VE_INVALID_PATH_SEPARATOR;
    m_pathSeparator.assign(separator);
    return VE_OK;
}

void CVincaEngine::SetMarkHidden(int32_t mark, bool hidden)
{
    if (mark >= 0 && mark < 256)
        m_hiddenMarks[mark] = hidden;
}

void CVincaEngine::EndUpdate()
{
    if (m_updateDepth > 0 && --m_updateDepth == 0 && m_sink)
        m_sink->Repaint();
}

void CVincaEngine::Report(VResult code)
{
    if (code && m_owner)
        m_owner->ReportError(code);
}

CItem* CVincaEngine::ItemOfNode(CItemNode* node) const
{
    return node ? node->OwnerItem() : nullptr;
}

// ---- owner queries and virtual children ----

int32_t CVincaEngine::QueryExpandable(CItem* item)
{
    return m_owner ? m_owner->QueryExpandable(item) : 0;
}

void CVincaEngine::OnChildrenCollapsed(CItem* item)
{
    if (m_triggerEvents == 1 && m_owner)
        m_owner->ItemCollapsedByAncestor(ItemIndex(item));
}

void CVincaEngine::OnChildMade(CItemNode* node, CItem* child)
{
    ++m_childrenMade;
    if (!m_owner)
        return;
    // The container fills the child from inside the event; the views must
    // not start a change batch meanwhile.
    UpdateScope scope(*this);
    CTreeCursor saved = m_cursor; // the event's own lookups must not move the cursor
    int32_t index = ItemIndex(child);
    m_cursor.m_parent = saved.m_parent;
    m_owner->ItemQueryData(index, child->IndexField());
}

// ---- visible rows ----

bool CVincaEngine::IsItemShown(CItem* item) const
{
    return m_showHiddenItems || (!item->Hidden() && !IsMarkHidden(item->Mark()));
}

bool CVincaEngine::HasRow(CItem* item)
{
    if (!item || !item->ParentNode() || !IsItemShown(item))
        return false;
    CItemNode* top = TopRowsNode();
    for (CItemNode* node = item->ParentNode(); node != top;) {
        CItem* owner = node->OwnerItem();
        if (!owner || !owner->ParentNode() || !owner->IsExpanded() || !IsItemShown(owner))
            return false;
        node = owner->ParentNode();
    }
    return true;
}

CItemNode* CVincaEngine::TopRowsNode()
{
    if (m_visualRoot && m_visualRoot->ParentNode())
        if (CItemNode* node = m_visualRoot->GetChildNode())
            return node;
    return m_cursor.m_root;
}

void CVincaEngine::SetVisualRoot(CItem* item)
{
    m_visualRoot = Ref<CItem>(item && item->ParentNode() ? item : nullptr);
    m_rowsValid = false;
    if (m_sink)
        m_sink->RowsReset();
}

void CVincaEngine::RebuildRows()
{
    struct Collect : CItemVisitor {
        CVincaEngine& e;
        std::vector<Row>& rows;
        Collect(CVincaEngine& engine, std::vector<Row>& r) : e(engine), rows(r) { }
        bool Accept(CItem* item) override { return e.IsItemShown(item); }
        bool Enter(CItem* item) override { return item->IsExpanded() && e.IsItemShown(item); }
        bool VisitItem(CItem* item) override
        {
            rows.push_back({ item, nullptr, -1 });
            return true;
        }
        bool VisitRange(CItemNode* node, int32_t first, int32_t last) override
        {
            for (int32_t i = first; i <= last; ++i)
                rows.push_back({ nullptr, node, i });
            return true;
        }
    };
    m_rows.clear();
    Collect c(*this, m_rows);
    TopRowsNode()->VisitSubtree(c);
    m_rowsValid = true;
}

int32_t CVincaEngine::VisibleCount()
{
    if (!m_rowsValid)
        RebuildRows();
    return static_cast<int32_t>(m_rows.size());
}

CItem* CVincaEngine::RowItem(int32_t row)
{
    if (row < 0 || row >= VisibleCount())
        return nullptr;
    Row r = m_rows[row];
    return r.item ? r.item : r.node->GetAt(r.index);
}

int32_t CVincaEngine::RowOf(CItem* item)
{
    if (!item || !item->ParentNode())
        return -1;
    if (!m_rowsValid)
        RebuildRows();
    CItemNode* parent = item->ParentNode();
    bool isVirtual = parent->IsVirtual();
    for (size_t i = 0; i < m_rows.size(); ++i) {
        const Row& r = m_rows[i];
        if (r.item == item || (isVirtual && !r.item && r.node == parent && r.index == item->IndexField()))
            return static_cast<int32_t>(i);
    }
    return -1;
}

static bool RowUnder(CItemNode* node, CItem* ancestor)
{
    for (CItem* owner = node ? node->OwnerItem() : nullptr; owner; owner = owner->GetParentItem())
        if (owner == ancestor)
            return true;
    return false;
}

CVincaEngine::Span CVincaEngine::SpanOf(CItem* item)
{
    Span s;
    if (!m_sink || !item)
        return s;
    s.row = RowOf(item);
    if (s.row < 0)
        return s;
    s.count = 1;
    for (size_t i = s.row + 1; i < m_rows.size(); ++i) {
        const Row& r = m_rows[i];
        CItemNode* node = r.item ? r.item->ParentNode() : r.node;
        if (!RowUnder(node, item))
            break;
        ++s.count;
    }
    return s;
}

void CVincaEngine::RowsChanged(Span before, Span after)
{
    if (!m_sink)
        return;
    if (before.count > 0)
        m_sink->RowsRemoved(before.row, before.count);
    if (after.count > 0)
        m_sink->RowsInserted(after.row, after.count);
    int32_t first = before.row < 0 ? after.row : (after.row < 0 ? before.row : std::min(before.row, after.row));
    if (first >= 0)
        m_sink->InvalidateRows(first, -1);
}

void CVincaEngine::StructureChanged(CItem* item)
{
    m_cursor.InvalidateCount();
    if (item && item->ParentNode())
        m_enumCache.InvalidateFrom(item);
    else
        m_enumCache.Invalidate(0);
    m_rowsValid = false;
}

// ---- bookmarks ----

uint32_t CVincaEngine::ItemBM(CItem* item)
{
    return item && item->ParentNode() ? item->Bookmark() : 0;
}

CItem* CVincaEngine::ItemFromBookmark(uint32_t bookmark)
{
    CItem* item = CItem::FromBookmark(bookmark);
    if (!item || !item->ParentNode() || item->TreeOwner() != static_cast<ITreeOwner*>(this))
        return nullptr;
    return item;
}

VResult CVincaEngine::SetCurrentItemBM(uint32_t bookmark)
{
    if (bookmark == 0) {
        m_cursor.m_parent = m_cursor.m_root;
        return VE_OK;
    }
    CItem* item = ItemFromBookmark(bookmark);
    if (!item)
        return VE_INVALID_BOOKMARK;
    m_cursor.m_parent = item->ParentNode();
    m_cursor.SetCurrentItem(item);
    return VE_OK;
}

} // namespace vinca
