#pragma once
// An action tree in plain memory with the control's position rules: items of
// every level in tree order, buffers that copy a subtree, bookmarks that
// survive insertions, 381 for a position that names no item. Tests describe
// and compare trees as text: "G0(I1,I2) G3" is group record 0 with items
// of records 1 and 2, then group record 3.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/shape_tree.h"

namespace kldtest {

class ListTree : public ShapeTree {
  public:
    ListTree();
    ~ListTree() override;

    void Build(const std::string& shape) override { BuildFromShape(shape); }
    std::string Shape() override { return ShapeFromMembers(); }

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

    int32_t AddChild(int32_t parent, int32_t lng) override;
    int32_t InsertTopLevel(int32_t before, int32_t lng) override;
    bool GridVisible(int32_t position) override;
    int32_t OpenBuffers() const override { return static_cast<int32_t>(m_buffers.size()); }

  private:
    struct Node;
    struct Flat {
        Node* node;
        Node* parent; // null at the top
        int32_t level;
    };
    std::vector<Flat> Flatten() const;
    int32_t PositionOf(const Node* n) const;
    std::vector<std::unique_ptr<Node>>& ChildrenOf(Node* parent);

    std::vector<std::unique_ptr<Node>> m_top;
    std::map<int32_t, std::unique_ptr<Node>> m_buffers;
    int32_t m_nextBuffer = 1;
    int32_t m_nextId = 1;
    const Node* m_selected = nullptr;
    const Node* m_new = nullptr;
};

} // namespace kldtest
