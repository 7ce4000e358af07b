// Item addressing by position under the current index method, and the
// engine side of the item-indexed properties.
#include <algorithm>
#include <cmath>
#include <vector>

#include "vinca/model/engine.h"
#include "vinca/model/values.h"

namespace vinca {

namespace {

int32_t PositionInParent(CItem* item) {
    CItemNode* parent = item->ParentNode();
    return parent->IsVirtual() ? item->IndexField() : item->GetIndex();
}

} // namespace

CItem* CVincaEngine::Lookup(int32_t index, bool report) {
    CItem* item = nullptr;
    if (index == -1) {
        if (m_indexMethod == VNSYS_ENUM)
            m_cursor.m_parent = m_cursor.m_root;
        else if (m_indexMethod == VNSYS_VIS)
            m_cursor.m_parent = TopRowsNode();
        return nullptr;
    }
    if (index == -2) {
        item = ItemOfNode(m_cursor.CurrentParent());
    } else if (index == -3) {
        item = m_cursor.CurrentItem();
        if (item && !item->ParentNode()) item = nullptr; // the last added item was removed since
    } else if (index >= 0) {
        switch (m_indexMethod) {
        case VNSYS_ENUM:
            item = m_enumCache.ItemAt(index, m_cursor.m_root);
            break;
        case VNSYS_VIS:
            item = RowItem(index);
            break;
        default:
            item = m_cursor.CurrentParent()->GetAt(index);
            break;
        }
        if (item) m_cursor.m_parent = item->ParentNode();
    }
    if (!item && report) Report(VE_BAD_INDEX);
    return item;
}

CItem* CVincaEngine::ItemFromIndex(int32_t index) {
    return Lookup(index, true);
}

CItem* CVincaEngine::ItemFromIndexChecked(int32_t index) {
    CItem* item = Lookup(index, false);
    if (!item) Report(VE_BAD_INDEX);
    return item;
}

int32_t CVincaEngine::ItemIndex(CItem* item) {
    if (!item || !item->ParentNode()) return -1;
    switch (m_indexMethod) {
    case VNSYS_ENUM:
        return m_enumCache.PositionOf(item, m_cursor.m_root);
    case VNSYS_VIS:
        return RowOf(item);
    default:
        m_cursor.m_parent = item->ParentNode();
        return PositionInParent(item);
    }
}

VResult CVincaEngine::ItemPosition(int32_t index, CNodeRef& out) {
    CItem* item = Lookup(index, false);
    if (!item || !item->ParentNode()) {
        out = {m_cursor.CurrentParent(), -1};
        return item || index == -1 ? VE_OK : VE_BAD_INDEX;
    }
    out = {item->ParentNode(), PositionInParent(item)};
    return VE_OK;
}

VResult CVincaEngine::RowPosition(int32_t row, CNodeRef& out, bool setCurrent) {
    if (row == -1) {
        out = {m_cursor.m_root, -1};
        return VE_OK;
    }
    CItem* item = RowItem(row);
    if (!item) return VE_BAD_INDEX;
    out = {item->ParentNode(), PositionInParent(item)};
    if (setCurrent) m_cursor.m_parent = item->ParentNode();
    return VE_OK;
}

void CVincaEngine::InvalidateItem(CItem* item) {
    m_enumCache.InvalidateFrom(item);
}

int32_t CVincaEngine::ListCount() {
    switch (m_indexMethod) {
    case VNSYS_ENUM:
        return m_cursor.GetCachedCount();
    case VNSYS_VIS:
        return VisibleCount();
    default:
        return m_cursor.CurrentParent()->GetCount();
    }
}

int32_t CVincaEngine::ItemParent(int32_t index) {
    CItem* item = ItemFromIndexChecked(index);
    if (!item) return -1;
    CItem* parent = item->GetParentItem();
    return parent && parent->ParentNode() ? ItemIndex(parent) : -1;
}

int32_t CVincaEngine::ItemNextSibling(int32_t index) {
    CItem* item = ItemFromIndexChecked(index);
    if (!item) return kNoSibling;
    CItemNode* parent = item->ParentNode();
    int32_t pos = PositionInParent(item);
    if (pos + 1 >= parent->GetCount()) return kNoSibling;
    return ItemIndex(parent->GetAt(pos + 1));
}

int32_t CVincaEngine::ItemPrevSibling(int32_t index) {
    CItem* item = ItemFromIndexChecked(index);
    if (!item) return kNoSibling;
    int32_t pos = PositionInParent(item);
    if (pos <= 0) return kNoSibling;
    return ItemIndex(item->ParentNode()->GetAt(pos - 1));
}

int32_t CVincaEngine::Shift(int32_t index) {
    CItem* item = ItemFromIndex(index);
    return item ? std::max(0, item->GetItemLevel()) : 0;
}

// ---- values ----

namespace {

// Kind tags of item values as the automation reports them.
int16_t KindTag(plat::VARTYPE vt) {
    switch (vt) {
    case plat::VT_I2:
        return 0x494E;
    case plat::VT_I4:
        return 0x4C4E;
    case plat::VT_R4:
        return 0x534E;
    case plat::VT_ANSI:
        return 0x5354;
    case plat::VT_DISPATCH:
        return 0x5450;
    default:
        return 0;
    }
}

} // namespace

VResult CVincaEngine::GetItemType(CItem* item, int16_t& kind) {
    kind = 0;
    if (!item) return VE_BAD_INDEX;
    CItemData* data = item->ItemData();
    const plat::Variant* v = data ? data->FindNamedValue(names::ObsoleteValue()) : nullptr;
    if (v) kind = KindTag(v->vt);
    return VE_OK;
}

VResult CVincaEngine::GetItemValue(CItem* item, plat::VARTYPE vt, plat::Variant& out) {
    out.clear();
    if (!item) return VE_BAD_INDEX;
    CItemData* data = item->ItemData();
    const plat::Variant* v = data ? data->FindNamedValue(names::ObsoleteValue()) : nullptr;
    if (!v) return VE_OK;
    plat::VARTYPE want = vt == plat::VT_BSTR ? static_cast<plat::VARTYPE>(plat::VT_ANSI) : vt;
    if (KindTag(v->vt) == 0 || KindTag(v->vt) != KindTag(want)) return VE_OK;
    if (v->vt == plat::VT_ANSI)
        out = plat::Variant(plat::bstr_bytes(v->bstrVal)); // handed out as wide text
    else
        out = *v;
    return VE_OK;
}

VResult CVincaEngine::SetItemValue(CItem* item, const plat::VARIANT& valueIn) {
    if (!item) return VE_BAD_INDEX;
    CItemData* data = item->GetItemData();
    if (!data) return VE_OUT_OF_MEMORY;
    const plat::VARIANT& value = plat::deref(valueIn);
    plat::Variant stored;
    if (value.vt == plat::VT_BSTR)
        stored = plat::Variant::ansi(plat::bstr_to_utf8(value.bstrVal)); // kept as single-byte text
    else
        stored = value;
    return data->Values().SetOrAddValue(names::ObsoleteValue(), stored);
}

// The current row's item: the one ListIndex names. With no current row
// there is no text to read or write, whichever item was added last.
CItem* CVincaEngine::TextItem() {
    if (m_currentRow && !m_currentRow->ParentNode()) m_currentRow.reset();
    return m_currentRow.get();
}

VResult CVincaEngine::GetText(std::string& out) {
    CItem* item = TextItem();
    out = item ? item->Text() : std::string();
    return VE_OK;
}

VResult CVincaEngine::SetText(std::string_view text) {
    CItem* item = TextItem();
    if (!item) return VE_BAD_INDEX;
    return SetListText(item, text);
}

VResult CVincaEngine::SetListText(CItem* item, std::string_view text) {
    if (!item) return VE_BAD_INDEX;
    UpdateScope scope(*this);
    item->SetText(text);
    CItem* parent = item->GetParentItem();
    if (parent && parent->SortMethod() != 0 && item->ParentNode()) {
        item->ParentNode()->Sort();
        StructureChanged(parent->ParentNode() ? parent : nullptr);
        if (m_sink) m_sink->RowsReset();
    } else if (RowTracking()) {
        // A view that builds all its rows again anyway (a list filled with
        // drawing off) repaints none on its own: the row, which costs a walk
        // over the rows before the item, is worked out only for one that does.
        int32_t row = RowOf(item);
        if (row >= 0) m_sink->InvalidateRows(row, row);
    }
    return VE_OK;
}

int32_t CVincaEngine::GetListIndex() {
    if (m_currentRow && !m_currentRow->ParentNode()) m_currentRow.reset();
    return ItemIndex(m_currentRow.get());
}

VResult CVincaEngine::SetListIndex(int32_t index) {
    CItem* item = index == -1 ? nullptr : ItemFromIndexChecked(index);
    if (index != -1 && !item) return VE_BAD_INDEX;
    if (item && m_expandOnSelect) {
        // Open the collapsed ancestors from the top down.
        std::vector<CItem*> closed;
        for (CItem* p = item->GetParentItem(); p && p->ParentNode(); p = p->GetParentItem())
            if (!p->IsExpanded()) closed.push_back(p);
        for (auto it = closed.rbegin(); it != closed.rend(); ++it)
            if (VResult r = ExpandItem(*it, false)) return r;
    }
    m_currentRow = Ref<CItem>(item);
    if (m_sink) m_sink->CurrentRowChanged(RowOf(item));
    return VE_OK;
}

VResult CVincaEngine::SetMarkedItemsAlwaysHidden(int32_t mark, bool hidden) {
    if (mark < 0 || mark > 255) return VE_BAD_INDEX;
    if (m_hiddenMarks[mark] == hidden) return VE_OK;
    m_hiddenMarks[mark] = hidden;
    InvalidateRowList();
    if (m_sink) m_sink->RowsReset();
    return VE_OK;
}

bool CVincaEngine::GetExpandEx(CItem* item) {
    return item && item->IsExpanded() && HasRow(item);
}

int32_t CVincaEngine::ListCountEx(CItem* item) {
    return item ? item->ChildCount() : VisibleCount();
}

VResult CVincaEngine::SetItemSorted(CItem* item, int32_t method) {
    if (!item) return VE_BAD_INDEX;
    if (method < 0 || method > 4) return VE_INVALID_ARGUMENT;
    CItemNode* node = item->GetChildNode();
    if (!node) return VE_OUT_OF_MEMORY;
    UpdateScope scope(*this);
    VResult r = node->SetSortMethod(method, item->SortKey());
    if (r == VE_OK && method != 0) {
        StructureChanged(item->ParentNode() ? item : nullptr);
        if (m_sink) m_sink->RowsReset();
    }
    return r;
}

VResult CVincaEngine::SetItemSortingKey(CItem* item, const plat::VARIANT& key) {
    if (!item) return VE_BAD_INDEX;
    std::string text = ValueToText(plat::deref(key));
    const CVincaName* name = text.empty() ? names::ObsoleteValue() : GlobalName(text);
    if (!name) return VE_OUT_OF_MEMORY;
    CItemNode* node = item->GetChildNode();
    if (!node) return VE_OUT_OF_MEMORY;
    UpdateScope scope(*this);
    VResult r = node->SetSortMethod(item->SortMethod(), name);
    if (r == VE_OK && item->SortMethod() != 0) {
        StructureChanged(item->ParentNode() ? item : nullptr);
        if (m_sink) m_sink->RowsReset();
    }
    return r;
}

VResult CVincaEngine::GetItemHeight(int32_t index, CItem* item, float& height) {
    height = -1;
    if (index == -1) {
        height = m_defaultItemHeight;
        return VE_OK;
    }
    if (index < -1 || !item) return VE_BAD_INDEX;
    CItemData* data = item->ItemData();
    CAttrSet* tree = data ? data->GetValueSet(names::Tree(), false) : nullptr;
    const plat::Variant* v = tree ? tree->FindValue(names::ItemHeight()) : nullptr;
    if (v) height = static_cast<float>(ValueToReal(*v));
    return VE_OK;
}

VResult CVincaEngine::SetItemHeight(int32_t index, CItem* item, float height) {
    if (index < -1) return VE_BAD_INDEX;
    if (height < -1 || std::isnan(height)) return VE_INVALID_ARGUMENT;
    if (index == -1) {
        m_defaultItemHeight = height;
    } else {
        if (!item) return VE_BAD_INDEX;
        if (height == -1) {
            CItemData* data = item->ItemData();
            if (CAttrSet* tree = data ? data->GetValueSet(names::Tree(), false) : nullptr)
                tree->RemoveEntry(names::ItemHeight());
        } else {
            CItemData* data = item->GetItemData();
            CAttrSet* tree = data ? data->GetValueSet(names::Tree()) : nullptr;
            if (!tree) return VE_OUT_OF_MEMORY;
            if (VResult r = tree->SetOrAddValue(names::ItemHeight(), plat::Variant(height))) return r;
        }
    }
    if (m_sink) m_sink->RowsReset();
    return VE_OK;
}

void CVincaEngine::ExpandToLevel(int32_t level) {
    struct ToLevel : CItemVisitor {
        int32_t level;
        // The nodes from the top down to the one the walk is in: an item's
        // level is its parent node's place here (pre-order keeps it current).
        std::vector<CItemNode*> path;
        explicit ToLevel(int32_t l) : level(l) {}
        bool VisitItem(CItem* item) override {
            CItemNode* parent = item->ParentNode();
            while (!path.empty() && path.back() != parent)
                path.pop_back();
            if (path.empty()) {
                for (CItemNode* n = parent; n; n = n->Above())
                    path.push_back(n);
                std::reverse(path.begin(), path.end());
            }
            if (static_cast<int32_t>(path.size()) - 1 <= level)
                item->SetExpandedFlag();
            else
                item->ClearExpandedFlag();
            if (CItemNode* sub = item->ChildNode()) path.push_back(sub);
            return true;
        }
    };
    UpdateScope scope(*this);
    ToLevel v(level);
    m_cursor.m_root->VisitSubtree(v);
    if (m_sink) m_sink->RowsReset();
}

// ---- search ----

bool CVincaEngine::ItemMatches(CItem* item, const plat::VARIANT& value, int32_t flags,
                               const CVincaName* key) {
    if ((flags & CMP_VALUES) && (!key || key == names::Tag())) {
        int result;
        return CompareTreeValue(item, ValueToText(plat::deref(value)), flags, names::Tag(), result) &&
               result == 0;
    }
    return CompareKey(item, value, flags, key) == 0;
}

int32_t CVincaEngine::FindItem(std::string_view text, int32_t options, int32_t start,
                               const CVincaName* valueKey) {
    int32_t flags = FindOptionsToFlags(options);
    bool visibleOnly = options & 0x200;
    plat::Variant value(text);
    if (m_indexMethod == VNSYS_ENUM) {
        struct Finder : CItemVisitor {
            CVincaEngine& e;
            const plat::Variant& value;
            int32_t flags;
            const CVincaName* key;
            bool visibleOnly;
            int32_t count;
            CItem* found{nullptr};
            // A text search compares with the text directly, not through a value.
            bool byText;
            std::string needle;
            Finder(CVincaEngine& engine, const plat::Variant& v, int32_t f, const CVincaName* k, bool vis,
                   int32_t c, std::string_view text)
                : e(engine), value(v), flags(f), key(k), visibleOnly(vis), count(c),
                  byText(!(f & CMP_VALUES)), needle(text) {}
            bool VisitItem(CItem* item) override {
                ++count;
                if (visibleOnly && !e.HasRow(item)) return true;
                bool match = byText ? CompareTexts(item->Text(), needle, flags) == 0
                                    : e.ItemMatches(item, value, flags, key);
                if (match) {
                    found = item;
                    return false;
                }
                return true;
            }
            // Children never made have no text yet: they are counted, not searched.
            bool VisitRange(CItemNode*, int32_t first, int32_t last) override {
                count += last - first + 1;
                return true;
            }
        };
        CItem* from = start >= 0 ? m_enumCache.ItemAt(start, m_cursor.m_root) : nullptr;
        if (start >= 0 && !from) return -1;
        Finder f(*this, value, flags, valueKey, visibleOnly, from ? start : -1, text);
        if (!from) {
            m_cursor.m_root->VisitForward(f, -1);
        } else if (from->ChildNode() && from->ChildNode()->GetCount() > 0) {
            from->ChildNode()->VisitForward(f, -1);
        } else {
            from->ParentNode()->VisitForward(f, PositionInParent(from));
        }
        if (!f.found) return -1;
        m_enumCache.Add(f.found, f.count);
        return f.count;
    }
    int32_t n = ListCount();
    for (int32_t i = start < 0 ? 0 : start + 1; i < n; ++i) {
        CItem* item = m_indexMethod == VNSYS_VIS ? RowItem(i) : m_cursor.CurrentParent()->GetAt(i);
        if (!item || (visibleOnly && !HasRow(item))) continue;
        if (ItemMatches(item, value, flags, valueKey)) return i;
    }
    return -1;
}

int32_t CVincaEngine::FindValue(std::string_view text, int32_t options, int32_t start) {
    return FindItem(text, options | 0x8, start, names::Tag());
}

} // namespace vinca
