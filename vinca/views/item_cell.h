#pragma once
// Builds the tree cell of an item from the control's settings and the
// attributes the host keeps for it. The window's rows and printed rows are
// laid out by the same code, so a row measures the same on a page as on
// the screen.
#include <functional>
#include <memory>

#include "vinca/views/tree_cell.h"
#include "vinca/views/view_host.h"

namespace vinca {

class CItem;
class CVincaEngine;

// Level, lines, plus/minus state and colours of an item's tree cell.
void FillTreeData(const ViewSettings& s, CItem* item, CTreeCellData& d);

// The height, in pixels, an item's row is laid out at on the screen and on
// paper: the item's own height, else the control's item height; -1 for the
// natural height the cell measures for itself.
int32_t ItemRowHeight(CVincaEngine& engine, CItem* item);

class CItemCellBuilder {
  public:
    explicit CItemCellBuilder(IViewHost& host) : m_host(host) {}
    // The item's cell under `parent` (may be null), laid out on `dc` at
    // `size` (-1 for natural).
    // The attributes the item's cell reads.
    void Attributes(CItem* item, CMapAttrChain& attrs);
    std::unique_ptr<CVincaTreeCellMetrics> Build(CItem* item, Dc& dc, Size size, CViewAbs* parent);
    // The same with the attributes and tree data changed by `adjust` before
    // the layout of the given kind (a tool tip's own colours).
    using Adjust = std::function<void(CMapAttrChain& attrs, CTreeCellData& data)>;
    std::unique_ptr<CVincaTreeCellMetrics> Build(CItem* item, Dc& dc, Size size, CViewAbs* parent,
                                                 const Adjust& adjust, int32_t kind);

  private:
    bool Layered() const;
    IViewHost& m_host;
    plat::ComPtr<IVincaFont> m_font;
};

} // namespace vinca
