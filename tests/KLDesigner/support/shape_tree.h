#pragma once
// An action tree that tests can build and read back as text: "G0(I1,I2) G3"
// is group record 0 with items of records 1 and 2, then group record 3.
#include <string>

#include "KLDesigner/builder/action_tree.h"

namespace kldtest {

class ShapeTree : public kld::IActionTree {
  public:
    // Builds the tree from the text form; level 0 items are groups.
    virtual void Build(const std::string& shape) = 0;
    // The text form: top-level items "G<record>", children "I<record>".
    virtual std::string Shape() = 0;
    // Adds an item as the last child of `parent` (-1: at the top); answers
    // its position.
    virtual int32_t AddChild(int32_t parent, int32_t lng) = 0;
    // A new top-level item before the one at `before` (at the end when none).
    virtual int32_t InsertTopLevel(int32_t before, int32_t lng) = 0;
    virtual bool GridVisible(int32_t position) = 0;
    virtual int32_t OpenBuffers() const = 0;

    void SetRedraw(bool r) override {
        if (!r) ++redraw_off;
        redraw = r;
    }
    int32_t redraw_off = 0; // times Redraw was switched off
    bool redraw = true;

  protected:
    // The shape from the tree's own members, the same for every tree.
    std::string ShapeFromMembers();
    void BuildFromShape(const std::string& shape);
};

} // namespace kldtest
