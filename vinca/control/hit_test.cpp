// What lies where in the control's window: hit testing in twips and in
// pixels, item rectangles, the top and bottom rows, horizontal scrolling,
// and the About box. Each asks the view; without a window there is none to
// ask and the member says so (20117).
#include "vinca/control/hit_test.h"

#include <cmath>

#include "platform/com/object.h"
#include "platform/com/safearray.h"
#include "vinca/control/objects/grid.h"
#include "vinca/control/window.h"
#include "vinca/model/item.h"

#include <QtWidgets/QWidget>

#include "platform/ui/process_prompt.h"
#include "vinca/views/view_window.h"

namespace vinca::members {

namespace {

CViewWindow* ViewOf(CVincaCtrl& self) {
    CViewWindow* view = self.Window().View();
    if (view) view->EnsureLayout();
    return view;
}

CViewWindow& NeedView(CVincaCtrl& self) {
    CViewWindow* view = ViewOf(self);
    if (!view) ThrowVincaError(VE_NO_WINDOW);
    return *view;
}

int32_t IndexOf(CVincaCtrl& self, CItem* item) {
    return item ? self.Engine().ItemIndex(item) : -1;
}

// A coordinate as a client pixel; false when it lies beyond any window.
bool ToPixel(double value, int32_t& out) {
    if (!std::isfinite(value) || std::fabs(value) > 1e9) return false;
    out = static_cast<int32_t>(std::lround(value));
    return true;
}

// The grid cell under a hit of an item's row: the cell of the item's row in
// its parent's grid (the control's own grid for a top-level item).
plat::Variant GridCellOf(CVincaCtrl& self, CItem* item, const CHitTestInfo& info) {
    CItem* parent = item ? item->GetParentItem() : nullptr;
    Ref<CItem> owner(parent && parent != self.Engine().Root() ? parent : nullptr);
    auto grid = plat::make_object<COleGrid>(self.Link(), std::move(owner));
    const int32_t row = item ? item->GetIndex() + 1 : 0;
    const int32_t col = std::max(0, info.col);
    auto cell = plat::make_object<COleGridCell>(grid, row, col);
    return plat::Variant(static_cast<plat::IDispatch*>(cell.get()));
}

// Whether a slot holds an array of at least four Integers or Longs, which
// a rectangle's left, top, right and bottom go into.
bool IsRectArray(const plat::Variant& v) {
    if (v.vt != (plat::VT_ARRAY | plat::VT_I2) && v.vt != (plat::VT_ARRAY | plat::VT_I4)) return false;
    return v.parray && v.parray->pvData && v.parray->rgsabound[0].cElements >= 4;
}

void StoreRect(plat::Variant& slot, const Rect& r) {
    const int32_t values[4] = {r.left, r.top, r.right, r.bottom};
    void* data = nullptr;
    if (plat::FAILED(plat::SafeArrayAccessData(slot.parray, &data)) || !data) return;
    for (int i = 0; i < 4; ++i) {
        if (slot.vt == (plat::VT_ARRAY | plat::VT_I2))
            static_cast<int16_t*>(data)[i] = static_cast<int16_t>(values[i]);
        else
            static_cast<int32_t*>(data)[i] = values[i];
    }
    plat::SafeArrayUnaccessData(slot.parray);
}

VResult ItemRect(CVincaCtrl& self, Call& c) {
    CViewWindow* view = ViewOf(self);
    if (!view) return VE_NO_WINDOW;
    // The caller's array by reference, or a Variant by reference that takes
    // one (its own array of Integers or Longs, else a new one of Longs).
    plat::Variant& slot = c.ref(2);
    const plat::VARTYPE passed = c.passed_type(2);
    if (passed == (plat::VT_BYREF | plat::VT_VARIANT)) {
        if (!IsRectArray(slot)) {
            plat::Variant fresh;
            fresh.vt = plat::VT_ARRAY | plat::VT_I4;
            fresh.parray = plat::SafeArrayCreateVector(plat::VT_I4, 0, 4);
            if (!fresh.parray) return VE_OUT_OF_MEMORY;
            slot = std::move(fresh);
        }
    } else if (!(passed & plat::VT_BYREF) || !(passed & plat::VT_ARRAY) || !IsRectArray(slot)) {
        return VE_INVALID_ARGUMENTS;
    }
    StoreRect(slot, {});

    ItemPart part;
    switch (c.i2(1)) {
    case 1:
        part = ItemPart::Row;
        break;
    case 2:
        part = ItemPart::Picture;
        break;
    case 4:
        part = ItemPart::Text;
        break;
    case 8:
        part = ItemPart::PlusMinus;
        break;
    case 16:
        part = ItemPart::Mark;
        break;
    default:
        return VE_INVALID_ARGUMENTS;
    }
    const int32_t index = c.i4(0);
    CItem* item = index < 0 ? nullptr : self.ItemOrNull(index);
    if (!item || view->RowOfItem(item) < 0) return VE_BAD_INDEX;
    // A part the item's cell does not show leaves the rectangle empty.
    StoreRect(slot, view->ItemPartRectAnywhere(item, part));
    return VE_OK;
}

} // namespace

void HitTest(CVincaCtrl& self, Call& c) {
    CViewWindow& view = NeedView(self);
    if (!(c.passed_type(2) & plat::VT_BYREF)) ThrowVincaError(VE_INVALID_ARGUMENTS);
    // Always twips, whatever the container's scale.
    int32_t x = 0, y = 0;
    CHitTestInfo info;
    CItem* item = nullptr;
    int32_t kind = HIT_NONE;
    if (ToPixel(CVincaCtrl::TwipsToPixels(c.arg(0).fltVal), x) &&
        ToPixel(CVincaCtrl::TwipsToPixels(c.arg(1).fltVal), y) && view.HitTest({x, y}, info, &item) && item)
        kind = info.kind;
    // With a grid of its own the control answers a row's empty space as a cell.
    if (kind == HIT_ITEM && self.OwnGrid()) kind = HIT_CELL;
    plat::Variant target(int32_t(-1));
    if (kind >= HIT_ITEM && kind <= HIT_MARK)
        target = plat::Variant(IndexOf(self, item));
    else if (kind >= HIT_BORDER && kind <= HIT_TEXT)
        target = GridCellOf(self, item, info);
    c.ref(2) = target;
    c.result() = plat::Variant(kind);
}

void GetItemByXY(CVincaCtrl& self, Call& c) {
    CViewWindow& view = NeedView(self);
    const Point p{c.i2(0), c.i2(1)};
    const int32_t row = view.RowFromPoint(p);
    CItem* item = view.ItemAtRow(row);
    bool found = item != nullptr;
    switch (c.i2(2)) {
    case 1:
        break;
    case 2:
    case 4: {
        CHitTestInfo info;
        const int32_t want = c.i2(2) == 2 ? HIT_IMAGE : HIT_TEXT_ITEM;
        found = found && view.HitTest(p, info) && info.kind == want;
        break;
    }
    case 8: {
        const Rect r = view.RowRect(row);
        const Rect pane = view.RowsArea();
        found = found && !r.IsEmpty() && r.top >= pane.top && r.bottom <= pane.bottom;
        break;
    }
    default:
        found = false;
    }
    c.result() = plat::Variant(found ? IndexOf(self, item) : int32_t(-1));
}

void GetItemRect(CVincaCtrl& self, Call& c) {
    c.result() = plat::Variant(static_cast<int16_t>(ItemRect(self, c)));
}

void GetTopIndex(CVincaCtrl& self, Call& c) {
    CViewWindow& view = NeedView(self);
    c.result() = plat::Variant(IndexOf(self, view.ItemAtRow(view.TopRow())));
}

void PutTopIndex(CVincaCtrl& self, Call& c) {
    CViewWindow& view = NeedView(self);
    CItem* item = self.Item(c.value().lVal);
    const int32_t row = view.RowOfItem(item);
    if (row >= 0) view.SetTopRow(row);
}

void GetBottomIndex(CVincaCtrl& self, Call& c) {
    CViewWindow& view = NeedView(self);
    c.result() = plat::Variant(view.RowCount() > 0 ? IndexOf(self, view.ItemAtRow(view.BottomRow())) : -1);
}

void GetScrollHorz(CVincaCtrl& self, Call& c) {
    c.result() = plat::Variant(static_cast<int16_t>(NeedView(self).HScrollPercent()));
}

void PutScrollHorz(CVincaCtrl& self, Call& c) {
    NeedView(self).SetHScrollPercent(c.value().iVal);
}

void AboutBox(CVincaCtrl& self, Call&) {
    NeedView(self);
    plat::ui::ProcessPrompt().about({"Marovia Vinca 5.0 Control", "5.00.19", "Marovia"});
}

} // namespace vinca::members
