#include "KLDesigner/bridge/dispatch_action_tree.h"

#include "vinca/control/dispids.h"

namespace kld {

namespace d = vinca::dispid;
using plat::Variant;

int32_t CallErrorNumber(plat::HRESULT hr, const plat::CallError& e) {
    if (hr == plat::S_OK) return 0;
    return e.number ? e.number : 5;
}

TreeValue CDispatchActionTree::Get(int32_t id, int32_t position) {
    Variant v;
    plat::CallError e;
    const Variant index[] = {Variant(position)};
    const plat::HRESULT hr = plat::dispatch_get(m_ctl.get(), id, v, index, &e);
    if (hr != plat::S_OK) return {0, CallErrorNumber(hr, e)};
    plat::HRESULT conv = plat::S_OK;
    const int32_t value = v.to_i4(&conv);
    if (plat::FAILED(conv)) return {0, 13};
    return {value, 0};
}

int32_t CDispatchActionTree::Put(int32_t id, int32_t position, const Variant& value) {
    plat::CallError e;
    const Variant index[] = {Variant(position)};
    return CallErrorNumber(plat::dispatch_put(m_ctl.get(), id, value, index, &e), e);
}

int32_t CDispatchActionTree::ListCount() {
    Variant v;
    if (plat::dispatch_get(m_ctl.get(), d::kListCount, v) != plat::S_OK) return 0;
    return v.to_i4();
}

int32_t CDispatchActionTree::ListIndex() {
    Variant v;
    if (plat::dispatch_get(m_ctl.get(), d::kListIndex, v) != plat::S_OK) return -1;
    return v.to_i4();
}

int32_t CDispatchActionTree::SetListIndex(int32_t position) {
    plat::CallError e;
    return CallErrorNumber(plat::dispatch_put(m_ctl.get(), d::kListIndex, Variant(position), {}, &e), e);
}

TreeValue CDispatchActionTree::ItemLngValue(int32_t position) {
    return Get(d::kItemLngValue, position);
}
int32_t CDispatchActionTree::SetItemLngValue(int32_t position, int32_t value) {
    return Put(d::kItemLngValue, position, Variant(value));
}
TreeValue CDispatchActionTree::ItemParent(int32_t position) {
    return Get(d::kItemParent, position);
}
TreeValue CDispatchActionTree::ItemNextSibling(int32_t position) {
    return Get(d::kItemNextSibling, position);
}
TreeValue CDispatchActionTree::ItemPrevSibling(int32_t position) {
    return Get(d::kItemPrevSibling, position);
}
TreeValue CDispatchActionTree::Shift(int32_t position) {
    return Get(d::kShift, position);
}
TreeValue CDispatchActionTree::ListCountEx(int32_t position) {
    return Get(d::kListCountEx, position);
}
TreeValue CDispatchActionTree::Expand(int32_t position) {
    // A Boolean: True reads as -1.
    return Get(d::kExpand, position);
}
int32_t CDispatchActionTree::SetExpand(int32_t position, bool expanded) {
    return Put(d::kExpand, position, Variant::boolean(expanded));
}
TreeValue CDispatchActionTree::CopyItem(int32_t position) {
    return Get(d::kCopyItem, position);
}
int32_t CDispatchActionTree::Add(int32_t position, int32_t buffer) {
    return Put(d::kAdd, position, Variant(buffer));
}
int32_t CDispatchActionTree::Insert(int32_t position, int32_t buffer) {
    return Put(d::kInsert, position, Variant(buffer));
}

int32_t CDispatchActionTree::FreeBuffer(int32_t buffer) {
    plat::CallError e;
    const Variant args[] = {Variant(buffer)};
    Variant result;
    return CallErrorNumber(plat::dispatch_call(m_ctl.get(), d::kFreeBuffer, args, &result, &e), e);
}

int32_t CDispatchActionTree::NewIndex() {
    Variant v;
    if (plat::dispatch_get(m_ctl.get(), d::kNewIndex, v) != plat::S_OK) return -1;
    return v.to_i4();
}

TreeValue CDispatchActionTree::ItemBM(int32_t position) {
    return Get(d::kItemBM, position);
}

TreeValue CDispatchActionTree::IndexByBM(int32_t bookmark) {
    Variant v;
    plat::CallError e;
    const Variant args[] = {Variant(bookmark)};
    const plat::HRESULT hr = plat::dispatch_call(m_ctl.get(), d::kIndexByBM, args, &v, &e);
    if (hr != plat::S_OK) return {0, CallErrorNumber(hr, e)};
    return {v.to_i4(), 0};
}

int32_t CDispatchActionTree::RemoveItem(int32_t position) {
    plat::CallError e;
    const Variant args[] = {Variant(position)};
    return CallErrorNumber(plat::dispatch_call(m_ctl.get(), d::kRemoveItem, args, nullptr, &e), e);
}

int32_t CDispatchActionTree::Clear() {
    plat::CallError e;
    return CallErrorNumber(plat::dispatch_call(m_ctl.get(), d::kClear, {}, nullptr, &e), e);
}

void CDispatchActionTree::SetRedraw(bool redraw) {
    plat::dispatch_put(m_ctl.get(), d::kRedraw, Variant::boolean(redraw));
}

int32_t CDispatchActionTree::SetItemGridVisible(int32_t position, bool visible) {
    Variant grid;
    plat::CallError e;
    const Variant index[] = {Variant(position)};
    plat::HRESULT hr = plat::dispatch_get(m_ctl.get(), d::kItemGrid, grid, index, &e);
    if (hr != plat::S_OK) return CallErrorNumber(hr, e);
    if (grid.vt != plat::VT_DISPATCH || !grid.pdispVal) return 91;
    hr = plat::dispatch_put(grid.pdispVal, "Visible", Variant::boolean(visible), {}, &e);
    return CallErrorNumber(hr, e);
}

} // namespace kld
