#pragma once
// The action tree over a tree-list control reached only through its
// dispatch interface, member by member number. A failing member answers the
// error number the control raised (381 for a position that names no item).
#include "KLDesigner/builder/action_tree.h"
#include "platform/com/dispatch_client.h"

namespace kld {

class CDispatchActionTree : public IActionTree {
  public:
    explicit CDispatchActionTree(plat::IDispatch* control) : m_ctl(control) {}

    plat::IDispatch* Control() const { return m_ctl.get(); }

    int32_t ListCount() override;
    int32_t ListIndex() override;
    int32_t SetListIndex(int32_t position) override;
    TreeValue ItemLngValue(int32_t position) override;
    int32_t SetItemLngValue(int32_t position, int32_t value) override;
    TreeValue ItemParent(int32_t position) override;
    TreeValue ItemNextSibling(int32_t position) override;
    TreeValue ItemPrevSibling(int32_t position) override;
    TreeValue Shift(int32_t position) override;
    TreeValue ListCountEx(int32_t position) override;
    TreeValue Expand(int32_t position) override;
    int32_t SetExpand(int32_t position, bool expanded) override;
    TreeValue CopyItem(int32_t position) override;
    int32_t Add(int32_t position, int32_t buffer) override;
    int32_t Insert(int32_t position, int32_t buffer) override;
    int32_t FreeBuffer(int32_t buffer) override;
    int32_t NewIndex() override;
    TreeValue ItemBM(int32_t position) override;
    TreeValue IndexByBM(int32_t bookmark) override;
    int32_t RemoveItem(int32_t position) override;
    int32_t Clear() override;
    void SetRedraw(bool redraw) override;
    int32_t SetItemGridVisible(int32_t position, bool visible) override;

  private:
    TreeValue Get(int32_t id, int32_t position);
    int32_t Put(int32_t id, int32_t position, const plat::Variant& value);

    plat::ComPtr<plat::IDispatch> m_ctl;
};

// The error number of a failed late-bound call: what the control raised, or
// 5 ("invalid procedure call") when it said nothing more.
int32_t CallErrorNumber(plat::HRESULT hr, const plat::CallError& e);

} // namespace kld
