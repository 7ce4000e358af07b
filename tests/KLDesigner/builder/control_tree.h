#pragma once
// The action tree over a real tree-list control: the built library,
// registered in the test's machine and created through the loader, driven
// only through its dispatch interface. A program using it must never link
// the static model.
#include <memory>
#include <set>

#include "KLDesigner/bridge/dispatch_action_tree.h"
#include "KLDesigner/bridge/host_site.h"
#include "support/shape_tree.h"

namespace kldtest {

class ControlTree : public ShapeTree {
  public:
    ControlTree();
    ~ControlTree() override;

    plat::IDispatch* Control() const { return m_tree->Control(); }
    kld::CHostSite& Site() { return *m_site; }

    void Build(const std::string& shape) override { BuildFromShape(shape); }
    std::string Shape() override { return ShapeFromMembers(); }
    int32_t AddChild(int32_t parent, int32_t lng) override;
    int32_t InsertTopLevel(int32_t before, int32_t lng) override;
    bool GridVisible(int32_t position) override;
    int32_t OpenBuffers() const override { return m_buffers; }

    int32_t ListCount() override { return m_tree->ListCount(); }
    int32_t ListIndex() override { return m_tree->ListIndex(); }
    int32_t SetListIndex(int32_t p) override { return m_tree->SetListIndex(p); }
    kld::TreeValue ItemLngValue(int32_t p) override { return m_tree->ItemLngValue(p); }
    int32_t SetItemLngValue(int32_t p, int32_t v) override { return m_tree->SetItemLngValue(p, v); }
    kld::TreeValue ItemParent(int32_t p) override { return m_tree->ItemParent(p); }
    kld::TreeValue ItemNextSibling(int32_t p) override { return m_tree->ItemNextSibling(p); }
    kld::TreeValue ItemPrevSibling(int32_t p) override { return m_tree->ItemPrevSibling(p); }
    kld::TreeValue Shift(int32_t p) override { return m_tree->Shift(p); }
    kld::TreeValue ListCountEx(int32_t p) override { return m_tree->ListCountEx(p); }
    kld::TreeValue Expand(int32_t p) override { return m_tree->Expand(p); }
    int32_t SetExpand(int32_t p, bool e) override { return m_tree->SetExpand(p, e); }
    kld::TreeValue CopyItem(int32_t p) override {
        const kld::TreeValue v = m_tree->CopyItem(p);
        m_buffers += v.ok();
        return v;
    }
    int32_t Add(int32_t p, int32_t b) override { return m_tree->Add(p, b); }
    int32_t Insert(int32_t p, int32_t b) override { return m_tree->Insert(p, b); }
    int32_t FreeBuffer(int32_t b) override {
        const int32_t r = m_tree->FreeBuffer(b);
        m_buffers -= r == 0;
        return r;
    }
    int32_t NewIndex() override { return m_tree->NewIndex(); }
    kld::TreeValue ItemBM(int32_t p) override { return m_tree->ItemBM(p); }
    kld::TreeValue IndexByBM(int32_t bm) override { return m_tree->IndexByBM(bm); }
    int32_t RemoveItem(int32_t p) override { return m_tree->RemoveItem(p); }
    int32_t Clear() override { return m_tree->Clear(); }
    void SetRedraw(bool r) override {
        ShapeTree::SetRedraw(r);
        m_tree->SetRedraw(r);
    }
    int32_t SetItemGridVisible(int32_t p, bool v) override;

  private:
    std::unique_ptr<kld::CHostSite> m_site;
    std::unique_ptr<kld::CDispatchActionTree> m_tree;
    int32_t m_buffers = 0;
    std::set<int32_t> m_hiddenGrids; // bookmarks
};

// The built control library registered in the current test's machine.
void RegisterControlLibrary();

} // namespace kldtest
