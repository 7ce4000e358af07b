// The selection members. Without multi-select the selection is the current
// item; with it, every item the tree's marks select, counted in row order.
#include "vinca/control/dispids.h"
#include "vinca/control/members.h"

namespace vinca::members {

namespace {

bool MultiSelect(CVincaCtrl& self) {
    return self.Prop(dispid::kMultiSelect).to_i2() != 0;
}

bool IsBelow(CItem* item, CItem* ancestor) {
    for (CItem* p = item->GetParentItem(); p; p = p->GetParentItem())
        if (p == ancestor) return true;
    return false;
}

} // namespace

bool RowSelected(CVincaCtrl& self, CItem* item) {
    CVincaEngine& e = self.Engine();
    if (!MultiSelect(self)) return item && item == e.CurrentRowItem();
    return e.IsSelected(item) && e.HasRow(item);
}

void GetSelItemCount(CVincaCtrl& self, Call& c) {
    CVincaEngine& e = self.Engine();
    const size_t n = MultiSelect(self) ? e.SelectedRowItems().size() : (e.CurrentRowItem() ? 1 : 0);
    c.result() = plat::Variant(static_cast<int32_t>(n));
}

void GetSelItemIndex(CVincaCtrl& self, Call& c) {
    CVincaEngine& e = self.Engine();
    const int32_t n = c.i4(0);
    if (!MultiSelect(self)) {
        c.result() = plat::Variant(n <= 0 ? e.GetListIndex() : int32_t(-1));
        return;
    }
    const std::vector<CItem*> items = e.SelectedRowItems();
    c.result() =
        plat::Variant(n >= 0 && size_t(n) < items.size() ? e.ItemIndex(items[size_t(n)]) : int32_t(-1));
}

void GetSelected(CVincaCtrl& self, Call& c) {
    CItem* item = self.ItemOrNull(c.i4(0));
    CVincaEngine& e = self.Engine();
    const bool on = MultiSelect(self) ? e.IsSelected(item) : item && item == e.CurrentRowItem();
    c.result() = plat::Variant::boolean(on);
}

void PutSelected(CVincaCtrl& self, Call& c, bool moveFocus) {
    const int32_t index = c.i4(0);
    CItem* item = self.Item(index);
    CVincaEngine& e = self.Engine();
    const bool on = plat::deref(c.value()).boolVal != 0;
    if (!MultiSelect(self)) {
        // The selection is the current item: selecting moves it there, and
        // deselecting the current item leaves none.
        if (on)
            self.Raise(e.SetListIndex(index));
        else if (item == e.CurrentRowItem())
            self.Raise(e.SetListIndex(-1));
        self.ClearPending();
        return;
    }
    e.SetSelected(item, on);
    if (moveFocus) self.Raise(e.SetListIndex(e.ItemIndex(item)));
    self.ClearPending();
}

void CopySelected(CVincaCtrl& self, Call& c) {
    CVincaEngine& e = self.Engine();
    if (!MultiSelect(self)) {
        CItem* item = const_cast<CItem*>(e.CurrentRowItem());
        if (!item || !item->ParentNode()) ThrowVincaError(VE_NOTHING_TO_COPY);
        CopyItemToBuffer(self, c, item);
        return;
    }
    // Each selected row's item with its subtree; selected rows inside a
    // subtree already taken come with it.
    std::vector<CItem*> tops;
    for (CItem* item : e.SelectedRowItems())
        if (tops.empty() || !IsBelow(item, tops.back())) tops.push_back(item);
    if (tops.empty()) ThrowVincaError(VE_NOTHING_TO_COPY);
    CopyItemsToBuffer(self, c, tops);
}

} // namespace vinca::members
