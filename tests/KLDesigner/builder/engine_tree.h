#pragma once
// The action tree over the control's own tree engine, so positions,
// siblings, subtree copies and bookmarks behave as the control's model has
// them before the control itself exists. A program using it links the
// static model and must never load the control's shared library.
#include <map>
#include <memory>
#include <set>

#include "support/shape_tree.h"
#include "vinca/model/engine.h"

namespace kldtest {

class EngineTree : public ShapeTree {
  public:
    EngineTree();
    ~EngineTree() override;

    void Build(const std::string& shape) override { BuildFromShape(shape); }
    std::string Shape() override { return ShapeFromMembers(); }
    int32_t AddChild(int32_t parent, int32_t lng) override;
    int32_t InsertTopLevel(int32_t before, int32_t lng) override;
    bool GridVisible(int32_t position) override;
    int32_t OpenBuffers() const override { return static_cast<int32_t>(m_buffers.size()); }

    int32_t ListCount() override;
    int32_t ListIndex() override;
    int32_t SetListIndex(int32_t position) override;
    kld::TreeValue ItemLngValue(int32_t position) override;
    int32_t SetItemLngValue(int32_t position, int32_t value) override;
    kld::TreeValue ItemParent(int32_t position) override;
    kld::TreeValue ItemNextSibling(int32_t position) override;
    kld::TreeValue ItemPrevSibling(int32_t position) override;
    kld::TreeValue Shift(int32_t position) override;
    kld::TreeValue ListCountEx(int32_t position) override;
    kld::TreeValue Expand(int32_t position) override;
    int32_t SetExpand(int32_t position, bool expanded) override;
    kld::TreeValue CopyItem(int32_t position) override;
    int32_t Add(int32_t position, int32_t buffer) override;
    int32_t Insert(int32_t position, int32_t buffer) override;
    int32_t FreeBuffer(int32_t buffer) override;
    int32_t NewIndex() override;
    kld::TreeValue ItemBM(int32_t position) override;
    kld::TreeValue IndexByBM(int32_t bookmark) override;
    int32_t RemoveItem(int32_t position) override;
    int32_t Clear() override;
    int32_t SetItemGridVisible(int32_t position, bool visible) override;

  private:
    vinca::CItem* At(int32_t position);
    // A one-item tree to copy new items from.
    vinca::CItem* Fresh(int32_t lng);
    int32_t Place(int32_t position, vinca::CItem* source, bool insert);

    vinca::CVincaEngine m_engine;
    vinca::CVincaEngine m_scratch;
    std::map<int32_t, std::unique_ptr<vinca::CVincaEngine>> m_buffers;
    int32_t m_nextBuffer = 1;
    uint32_t m_selected = 0; // bookmark, 0 for none
    std::set<uint32_t> m_hiddenGrids;
};

} // namespace kldtest
