#pragma once
// The tree-list control as the designer's action list uses it: positions in
// tree order (every item, all levels), each item's Long value holding its
// record index. A position that names no item is answered with the control's
// error 381, never thrown; "no sibling" is the position -4096.
#include <cstdint>

namespace kld {

inline constexpr int32_t kNoSibling = -4096;
inline constexpr int32_t kBadPosition = 381;

// A value read from the tree, or the error that kept it from being read.
struct TreeValue {
    int32_t value = 0;
    int32_t error = 0;
    bool ok() const { return error == 0; }
};

class IActionTree {
  public:
    virtual ~IActionTree() = default;

    virtual int32_t ListCount() = 0;
    virtual int32_t ListIndex() = 0; // -1 when nothing is selected
    virtual int32_t SetListIndex(int32_t position) = 0;
    virtual TreeValue ItemLngValue(int32_t position) = 0;
    virtual int32_t SetItemLngValue(int32_t position, int32_t value) = 0;
    virtual TreeValue ItemParent(int32_t position) = 0; // -1 for a top-level item
    virtual TreeValue ItemNextSibling(int32_t position) = 0;
    virtual TreeValue ItemPrevSibling(int32_t position) = 0;
    virtual TreeValue Shift(int32_t position) = 0;       // level, 0 at the top
    virtual TreeValue ListCountEx(int32_t position) = 0; // items below it, all levels
    virtual TreeValue Expand(int32_t position) = 0;      // -1 expanded, 0 not
    virtual int32_t SetExpand(int32_t position, bool expanded) = 0;
    // The item with its subtree copied into a tree buffer; the value is the
    // buffer's handle.
    virtual TreeValue CopyItem(int32_t position) = 0;
    // The buffer's items as the last children of `position` (-1: at the top).
    virtual int32_t Add(int32_t position, int32_t buffer) = 0;
    // The buffer's items before the item at `position`, at its level.
    virtual int32_t Insert(int32_t position, int32_t buffer) = 0;
    virtual int32_t FreeBuffer(int32_t buffer) = 0;
    virtual int32_t NewIndex() = 0;
    virtual TreeValue ItemBM(int32_t position) = 0;
    virtual TreeValue IndexByBM(int32_t bookmark) = 0;
    virtual int32_t RemoveItem(int32_t position) = 0;
    virtual int32_t Clear() = 0;
    virtual void SetRedraw(bool redraw) = 0;
    // Shows or hides the item's grid cells.
    virtual int32_t SetItemGridVisible(int32_t position, bool visible) = 0;
};

} // namespace kld
