// Members that add, insert, remove, find and move items, and that read and
// set the list position and the current parent.
#include <algorithm>
#include <cmath>

#include "vinca/control/dispids.h"
#include "vinca/control/members.h"
#include "vinca/model/grid.h"
#include "vinca/model/search.h"

namespace vinca::members {

namespace {

CItem* LastInTreeOrder(CItemNode* node) {
    CItem* last = nullptr;
    while (node && node->GetCount() > 0) {
        last = node->GetAt(node->GetCount() - 1);
        node = last ? last->ChildNode() : nullptr;
    }
    return last;
}

// Index of an optional Integer or Long argument; false when it is missing.
bool IndexArgument(const plat::Variant& v, int32_t& out) {
    if (v.is_missing()) return false;
    const plat::VARIANT& d = plat::deref(v);
    if (d.vt == plat::VT_I2)
        out = d.iVal;
    else if (d.vt == plat::VT_I4)
        out = d.lVal;
    else
        ThrowVincaError(VE_INVALID_ARGUMENTS);
    return true;
}

// Inserts at the end of `node` (or before `before`) and raises a failure.
// The number of items before an add (-1 when it would take a walk to know
// and the index method does not need it). Read before any child list is
// made for the add, which changes the tree's shape but not the count.
struct Before {
    int32_t count{-1};
    uint64_t epoch{0};
};

Before CountBefore(CVincaCtrl& self) {
    CVincaEngine& e = self.Engine();
    Before b{self.FreshCount(), CItemNode::TreeEpoch()};
    if (b.count < 0 && e.CurrentIndexMethod() == VNSYS_ENUM) b.count = e.Cursor().GetCachedCount();
    return b;
}

// The grid whose row a new item of `node` is: with an index given, the
// item grid of the list's owner when it has one; else the control's tree
// grid; null when there is neither.
CTreeGrid* RowGrid(CVincaCtrl& self, CItemNode* node, bool indexGiven) {
    CItem* owner = node->OwnerItem();
    if (indexGiven && owner)
        if (auto* grid = dynamic_cast<CTreeGrid*>(owner->Grid())) return grid;
    return self.OwnGrid();
}

// A document is built top down: most items become the last one in tree
// order, whose index is the count before the add.
void InsertInto(CVincaCtrl& self, CItemNode* node, int32_t before, std::string_view text, int placement,
                Before count, bool indexGiven) {
    CVincaEngine& e = self.Engine();
    CItem* made = nullptr;
    // A text cut by the column delimiter fills the new item's grid row: the
    // item starts without text and the pieces go to the columns from 1 on
    // (column 1, the tree column, is the item's text).
    CTreeGrid* grid = RowGrid(self, node, indexGiven);
    const char delimiter = static_cast<char>(e.m_colDelimiter & 0xFF);
    const bool split = grid && e.m_convertTabsToCols && text.find(delimiter) != std::string_view::npos;
    self.Raise(e.InsertItem({node, before}, split ? std::string_view() : text, 0, placement, &made));
    self.RaisePending();
    if (split && made) {
        self.Raise(grid->FillRow(e, *made, text, delimiter));
        self.ClearPending();
    }
    if (made && count.count >= 0 && LastInTreeOrder(e.RootNode()) == made)
        self.NoteAppendedLast(made, count.count, count.epoch);
}

int PlacementOf(CItemNode* node) {
    CItem* owner = node->OwnerItem();
    int method = owner ? owner->SortMethod() : 0;
    return method == 0 ? -1 : method;
}

} // namespace

void AddItem(CVincaCtrl& self, Call& c) {
    CVincaEngine& e = self.Engine();
    const std::string text = c.text(0);
    int32_t index = -1;
    const bool given = IndexArgument(c.arg(1), index);
    const Before count = CountBefore(self);
    if (!self.Prop(dispid::kMSOutlineAdd).to_bool()) {
        CItem* item = nullptr;
        if (given && index != -1)
            item = self.Item(index);
        else
            self.ItemOrNull(-1);
        CItemNode* node = item ? item->GetChildNode() : e.Cursor().CurrentParent();
        if (!node) self.Raise(VE_OUT_OF_MEMORY);
        InsertInto(self, node, -1, text, PlacementOf(node), count, given && index != -1);
        return;
    }
    if (!given) {
        CItemNode* node = nullptr;
        if (e.VisibleCount() > 0) {
            CItem* current = const_cast<CItem*>(e.CurrentRowItem());
            if (!current || !current->ParentNode()) current = e.RootNode()->GetAt(0);
            node = current ? current->GetChildNode() : nullptr;
        } else {
            node = e.RootNode();
        }
        if (!node) self.Raise(VE_OUT_OF_MEMORY);
        InsertInto(self, node, -1, text, -1, count, false);
        return;
    }
    if (index == -1) {
        self.ItemOrNull(-1);
        InsertInto(self, e.Cursor().CurrentParent(), -1, text, -1, count, false);
        return;
    }
    if (index >= e.ListCount()) {
        InsertInto(self, e.Cursor().CurrentParent(), -1, text, -1, count, true);
        return;
    }
    CItem* item = self.Item(index);
    InsertInto(self, item->ParentNode(), item->ParentNode()->IndexOf(item), text, 0, count, true);
}

void InsertItem(CVincaCtrl& self, Call& c) {
    CVincaEngine& e = self.Engine();
    const std::string text = c.value().to_utf8();
    const int32_t index = c.i4(0);
    const Before count = CountBefore(self);
    CItem* item = index == -1 ? self.ItemOrNull(-1) : self.Item(index);
    if (!item) {
        InsertInto(self, e.Cursor().CurrentParent(), -1, text, -1, count, false);
        return;
    }
    InsertInto(self, item->ParentNode(), item->ParentNode()->IndexOf(item), text, 0, count, true);
}

namespace {

VResult FastAdd(CVincaCtrl& self, int32_t shift, std::string_view text, int32_t options) {
    CVincaEngine& e = self.Engine();
    CItemNode* node = nullptr;
    // The last item in tree order under every index method.
    CItem* last = LastInTreeOrder(e.RootNode());
    if (!last) {
        self.ItemOrNull(-1);
        node = e.Cursor().CurrentParent();
    } else {
        const int32_t level = last->GetItemLevel();
        if (shift < 0 || shift > level + 1) return VE_BAD_INDENTATION;
        if (shift == level + 1) {
            node = last->GetChildNode();
            if (!node) return VE_OUT_OF_MEMORY;
        } else {
            CItem* at = last;
            while (at && at->GetItemLevel() > shift)
                at = at->GetParentItem();
            if (!at || !at->ParentNode()) return VE_BAD_INDENTATION;
            node = at->ParentNode();
        }
    }
    const bool keep = e.m_expandNewItem;
    const int32_t expand = options & 0x3000;
    if (expand == 0x1000) e.m_expandNewItem = true;
    if (expand == 0x2000) e.m_expandNewItem = false;
    VResult r = e.InsertItem({node, -1}, text, 0, -1);
    e.m_expandNewItem = keep;
    self.ClearPending();
    return r;
}

} // namespace

void FastAddItem(CVincaCtrl& self, Call& c) {
    c.result() = plat::Variant(static_cast<int16_t>(FastAdd(self, c.i2(0), c.text(1), c.i4(2))));
}

void FastAddItemEx(CVincaCtrl& self, Call& c) {
    const int32_t options = c.i4(2);
    VResult r = FastAdd(self, c.i2(0), c.text(1), options);
    if (r == VE_OK) {
        CItem* item = self.Engine().Cursor().CurrentItem();
        CItemData* data = item ? item->GetItemData() : nullptr;
        if (data && (options & 0x1)) data->SetTreeBackColor(c.i4(5));
        if (data && (options & 0x2)) data->SetTreeForeColor(c.i4(6));
        // Bits 0x10..0x80 switch an attribute on and 0x100..0x800 off; the on bit wins.
        if (data && (options & 0xFFC)) {
            const std::string name = c.text(3);
            const int16_t size = c.i2(4);
            ChangeItemFont(self, item, [&](FontDesc& d) {
                if (options & 0x4) d.name = name;
                if (options & 0x8) d.size = static_cast<int64_t>(size) * 10000;
                if (options & 0x110) d.italic = options & 0x10;
                if (options & 0x220) d.weight = (options & 0x20) ? 700 : 400;
                if (options & 0x440) d.underline = options & 0x40;
                if (options & 0x880) d.strikethrough = options & 0x80;
            });
        }
    }
    c.result() = plat::Variant(static_cast<int16_t>(r));
}

void RemoveItem(CVincaCtrl& self, Call& c) {
    CItem* item = self.Item(c.i4(0));
    if (item->ParentNode()->IsVirtual()) self.Raise(VE_VIRTUAL_TREE);
    self.Raise(self.Engine().RemoveItem(item));
}

void Clear(CVincaCtrl& self, Call&) {
    CVincaEngine& e = self.Engine();
    self.ItemOrNull(-1);
    CItemNode* node = e.Cursor().CurrentParent();
    CItem* owner = node->OwnerItem();
    if (node == e.RootNode() && e.CurrentIndexMethod() == VNSYS_ENUM) {
        e.SetVirtualParent(nullptr, false);
        e.Clear();
    } else {
        e.SetVirtualParent(owner && owner->ParentNode() ? owner : nullptr, false);
        while (node->GetCount() > 0)
            e.RemoveItem(node->GetAt(node->GetCount() - 1));
        e.Cursor().SetCurrentParent(node);
    }
    self.ClearPending();
}

namespace {

int32_t Find(CVincaCtrl& self, const plat::Variant& what, int32_t flags, int32_t from, int32_t to,
             const CVincaName* key, bool values) {
    CVincaEngine& e = self.Engine();
    const int32_t last = e.ListCount() - 1;
    const bool backwards = flags & 0x100;
    if (!backwards) {
        if (to < from || from > last || to < 0) return -1;
        to = std::min(to, last);
        from = std::max(from, 0);
    } else {
        if (from < to || to > last || from < 0) return -1;
        to = std::max(to, 0);
        from = std::min(from, last);
    }
    const int32_t step = backwards ? -1 : 1;
    const int32_t matchFlags = FindOptionsToFlags(flags) | (values ? CMP_VALUES : 0);
    const std::string needle = values ? std::string() : what.to_utf8();
    for (int32_t i = from; backwards ? i >= to : i <= to; i += step) {
        CItem* item = self.ItemOrNull(i);
        if (!item) return -1;
        if ((flags & 0x200) && !RowSelected(self, item)) continue;
        const bool match = values ? e.ItemMatches(item, what, matchFlags, key)
                                  : CompareTexts(item->Text(), needle, matchFlags) == 0;
        if (match) return i;
    }
    return -1;
}

} // namespace

void FindItem(CVincaCtrl& self, Call& c) {
    c.result() = plat::Variant(Find(self, c.arg(0), c.i2(1) & ~0x8, c.i4(2), c.i4(3), nullptr, false));
}

void FindValue(CVincaCtrl& self, Call& c) {
    const CVincaName* key = nullptr;
    if (c.has_arg(4)) {
        const std::string name = c.arg(4).to_utf8();
        if (!name.empty()) key = GlobalName(name);
    }
    c.result() = plat::Variant(Find(self, c.arg(0), c.i2(1) | 0x8, c.i4(2), c.i4(3), key, true));
}

void TranslateIndex(CVincaCtrl& self, Call& c) {
    CVincaEngine& e = self.Engine();
    const int16_t from = c.i2(0), to = c.i2(1);
    if (from < 0 || from > 2 || to < 0 || to > 2) {
        c.result() = plat::Variant(int32_t(-1));
        return;
    }
    const int16_t keep = e.CurrentIndexMethod();
    CItemNode* parent = e.Cursor().CurrentParent();
    e.SetCurrentIndexMethod(from);
    CItem* item = e.ItemFromIndexChecked(c.i4(2));
    e.SetCurrentIndexMethod(to);
    const int32_t result = item ? e.ItemIndex(item) : -1;
    e.SetCurrentIndexMethod(keep);
    e.Cursor().SetCurrentParent(parent);
    self.RaisePending();
    c.result() = plat::Variant(result);
}

void PutCoerceIndex(CVincaCtrl& self, Call& c) {
    CVincaEngine& e = self.Engine();
    const int16_t method = c.i2(0);
    if (method < 0 || method > 2) ThrowVincaError(VE_BAD_INDEX);
    const int16_t keep = e.CurrentIndexMethod();
    CItemNode* parent = e.Cursor().CurrentParent();
    e.SetCurrentIndexMethod(method);
    CItem* item = e.ItemFromIndexChecked(c.value().to_i4());
    e.SetCurrentIndexMethod(keep);
    e.Cursor().SetCurrentParent(parent);
    self.RaisePending();
    self.m_coerced = item;
}

void GetCoerceIndex(CVincaCtrl& self, Call& c) {
    CVincaEngine& e = self.Engine();
    const int16_t method = c.i2(0);
    CItem* item = self.m_coerced.get();
    if (method < 0 || method > 2 || !item || !item->ParentNode()) {
        c.result() = plat::Variant(int32_t(-1));
        return;
    }
    const int16_t keep = e.CurrentIndexMethod();
    CItemNode* parent = e.Cursor().CurrentParent();
    e.SetCurrentIndexMethod(method);
    const int32_t index = e.ItemIndex(item);
    e.SetCurrentIndexMethod(keep);
    e.Cursor().SetCurrentParent(parent);
    c.result() = plat::Variant(index);
}

void GetShift(CVincaCtrl& self, Call& c) {
    CItem* item = self.ItemOrNull(c.i4(0));
    // An Integer: levels past its range read as its largest value.
    const int32_t level = item ? std::clamp(item->GetItemLevel(), 0, 32767) : 0;
    c.result() = plat::Variant(static_cast<int16_t>(level));
}

void PutShift(CVincaCtrl& self, Call& c) {
    CItem* item = self.Item(c.i4(0));
    self.Raise(self.Engine().SetItemLevel(item, c.value().iVal));
    self.ClearPending();
}

std::string JoinedPath(CVincaCtrl& self, CItem* item) {
    // Each text after a separator, the top one too: the path reads back
    // from the top whatever the current parent is.
    CVincaEngine& e = self.Engine();
    return BuildFullPath(e.RootNode(), item, e.m_pathSeparator);
}

void GetCurrentItem(CVincaCtrl& self, Call& c) {
    CVincaEngine& e = self.Engine();
    CItemNode* node = e.Cursor().CurrentParent();
    CItem* owner = node->OwnerItem();
    std::string path;
    if (owner && owner->ParentNode()) path = JoinedPath(self, owner);
    c.result() = plat::Variant(std::string_view(path));
}

void PutCurrentItem(CVincaCtrl& self, Call& c) {
    CVincaEngine& e = self.Engine();
    CNodeRef pos;
    self.Raise(FindItemByPath(e.RootNode(), e.RootNode(), c.value().to_utf8(), e.m_pathSeparator, pos));
    self.Raise(e.Cursor().SetCurrent(pos.node, pos.index));
}

void GetCurrentParent(CVincaCtrl& self, Call& c) {
    GetCurrentItem(self, c);
}

void PutCurrentParent(CVincaCtrl& self, Call& c) {
    const plat::VARIANT& v = plat::deref(c.value());
    if (v.vt == plat::VT_BSTR) {
        PutCurrentItem(self, c);
        return;
    }
    int32_t index = 0;
    if (v.vt == plat::VT_I2)
        index = v.iVal;
    else if (v.vt == plat::VT_I4)
        index = v.lVal;
    else
        ThrowVincaError(VE_INVALID_ARGUMENTS);
    CVincaEngine& e = self.Engine();
    if (index == -1) {
        self.ItemOrNull(-1);
        return;
    }
    CItem* item = self.Item(index);
    self.Raise(e.Cursor().SetCurrent(item->ParentNode(), item->ParentNode()->IndexOf(item)));
}

void PutRedraw(CVincaCtrl& self, Call& c) {
    if (c.value().boolVal != 0)
        self.ResumeRedraw();
    else
        self.SuspendRedraw();
    if (self.RedrawCount() == 0) self.RequestRefresh(1, 0);
}

void Refresh(CVincaCtrl& self, Call&) {
    self.ReleaseRedraw();
    self.RequestRefresh(1, 0);
}

void GetItemValue(CVincaCtrl& self, Call& c, plat::VARTYPE type) {
    CItem* item = self.Item(c.i4(0));
    plat::Variant v;
    self.Raise(self.Engine().GetItemValue(item, type, v));
    if (v.vt != type) {
        v.clear();
        if (type == plat::VT_BSTR)
            v = plat::Variant(std::string_view());
        else if (plat::FAILED(plat::Variant(int16_t(0)).change_type(type)))
            v = plat::Variant(int16_t(0));
        else {
            plat::Variant zero(int16_t(0));
            zero.change_type(type);
            v = zero;
        }
    }
    c.result() = v;
}

void PutItemValue(CVincaCtrl& self, Call& c, plat::VARTYPE) {
    CItem* item = self.Item(c.i4(0));
    self.Raise(self.Engine().SetItemValue(item, c.value()));
}

void GetItemHeight(CVincaCtrl& self, Call& c) {
    const int32_t index = c.i4(0);
    CItem* item = index == -1 ? nullptr : self.Item(index);
    float twips = -1;
    self.Raise(self.Engine().GetItemHeight(index, item, twips));
    c.result() = plat::Variant(twips < 0 ? twips : static_cast<float>(self.TwipsToContainer(twips, false)));
}

void PutItemHeight(CVincaCtrl& self, Call& c) {
    const int32_t index = c.i4(0);
    const double value = c.value().fltVal;
    if (!std::isfinite(value) || value < -1) ThrowVincaError(VE_INVALID_ARGUMENT);
    CItem* item = index == -1 ? nullptr : self.Item(index);
    double twips = value == -1 ? -1 : std::round(self.ContainerToTwips(value, false));
    if (!std::isfinite(twips) || twips > 2147483647.0) ThrowVincaError(VE_INVALID_ARGUMENT);
    self.Raise(self.Engine().SetItemHeight(index, item, static_cast<float>(twips)));
    self.ClearPending();
    if (index == -1) self.MarkModified();
}

} // namespace vinca::members
