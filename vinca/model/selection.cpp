// The selection: each node marks the positions of its selected children in
// its range set, so a selected item stays selected through inserts,
// removals and sorts around it, with or without a view. The views and the
// control's members read and change the same marks.
#include "vinca/model/engine.h"

namespace vinca {

namespace {

int32_t PositionOf(CItem* item) {
    CItemNode* node = item->ParentNode();
    return node->IsVirtual() ? item->IndexField() : item->GetIndex();
}

} // namespace

bool CVincaEngine::IsSelected(CItem* item) {
    if (!item || !item->ParentNode()) return false;
    return item->ParentNode()->Marked().Contains(PositionOf(item));
}

void CVincaEngine::SetSelected(CItem* item, bool on) {
    if (!item || !item->ParentNode() || IsSelected(item) == on) return;
    const int32_t pos = PositionOf(item);
    CRangeSet& marks = item->ParentNode()->Marked();
    if (on) {
        marks.Add(pos, pos);
        m_maySelect = true;
    } else {
        marks.Remove(pos, pos);
    }
    if (!m_sink) return;
    const int32_t row = RowOf(item);
    if (row >= 0) m_sink->RowSelectionChanged(row, on);
}

void CVincaEngine::ClearSelection() {
    if (!m_maySelect) return;
    m_maySelect = false;
    bool any = false;
    std::vector<CItemNode*> todo{RootNode()};
    while (!todo.empty()) {
        CItemNode* node = todo.back();
        todo.pop_back();
        if (!node->Marked().Ranges().empty()) {
            node->Marked().Clear();
            any = true;
        }
        for (int32_t i = 0; i < node->MaterialisedCount(); ++i)
            if (CItemNode* sub = node->MaterialisedAt(i)->ChildNode()) todo.push_back(sub);
    }
    if (any && m_sink) m_sink->SelectionReset();
}

std::vector<CItem*> CVincaEngine::SelectedRowItems() {
    std::vector<CItem*> out;
    if (!m_maySelect) return out;
    // Depth first through the open items, children in order: row order.
    struct Frame {
        CItemNode* node;
        int32_t pos;
    };
    CItemNode* top = TopRowsNode();
    std::vector<Frame> stack{{top, 0}};
    while (!stack.empty()) {
        Frame& f = stack.back();
        CItemNode* node = f.node;
        if (f.pos == 0 && node->IsVirtual() && UnmadeShown()) {
            // Marked virtual children have rows whether made or not: make
            // them, so that they can be named.
            for (const CRangeSet::Range& r : node->Marked().Ranges())
                for (int32_t i = r.first; i <= r.last && i < node->GetCount(); ++i)
                    node->GetAt(i);
        }
        if (f.pos >= node->MaterialisedCount()) {
            stack.pop_back();
            continue;
        }
        CItem* c = node->MaterialisedAt(f.pos++);
        if (!IsItemShown(c)) continue;
        if (node->Marked().Contains(PositionOf(c))) out.push_back(c);
        if (c->IsExpanded() && c->ChildNode() && c->ChildNode()->GetCount() > 0)
            stack.push_back({c->ChildNode(), 0});
    }
    return out;
}

} // namespace vinca
