#include "vinca/views/item_cell.h"

#include <algorithm>

#include "platform/gdi/font.h"
#include "vinca/model/engine.h"
#include "vinca/model/grid.h"
#include "vinca/model/item.h"
#include "vinca/views/layers.h"

namespace vinca {

void FillTreeData(const ViewSettings& s, CItem* item, CTreeCellData& d) {
    d.level = item->GetItemLevel();
    d.indent = s.indent;
    d.lineStyle = s.lineStyle;
    d.linesShown = s.linesShown;
    d.linesColor = s.linesColor;
    d.pmShown = s.plusMinusShown;
    d.picturesShown = s.picturesShown;
    d.invStyle = s.invStyle;
    d.backColor = s.backColor;
    d.foreColor = s.foreColor;
    d.selBackColor = s.selBackColor;
    d.selForeColor = s.selForeColor;
    d.xOffset = s.xOffset;
    d.picInMultiLine = s.picInMultiLine;
    d.textShown = s.textShown;
    d.plusPicture = CPictureHolder(s.plusPicture);
    d.minusPicture = CPictureHolder(s.minusPicture);
    d.item = item;
    // An item grid shows while its visible flag is set.
    auto* grid = dynamic_cast<CTreeGrid*>(item->Grid());
    d.itemGridShown = grid && grid->GetKind() == CTreeGrid::ITEM_GRID && grid->m_gridFlag != 0;
    d.itemGrid = d.itemGridShown ? Ref<CTreeGrid>(grid) : Ref<CTreeGrid>();
    d.itemGridRows = d.itemGridShown ? item->ChildCount() + 1 : -1;
    d.hasChildren = item->HasChildren();
    d.expanded = item->IsExpanded();
    d.pmState = d.hasChildren ? (d.expanded ? PM_MINUS : PM_PLUS) : PM_NONE;
    auto isLast = [](CItem* it) {
        CItemNode* node = it->ParentNode();
        return !node || it->GetIndex() >= node->GetCount() - 1;
    };
    d.lastChild = isLast(item);
    // An ancestor's line goes on past this row when the ancestor has a
    // sibling after it.
    d.lineLevels.assign(size_t(std::max(0, d.level)), false);
    CItem* up = item->GetParentItem();
    for (int32_t lvl = d.level - 1; lvl >= 0 && up; --lvl, up = up->GetParentItem())
        d.lineLevels[size_t(lvl)] = !isLast(up);
}

int32_t ItemRowHeight(CVincaEngine& engine, CItem* item) {
    // Twips: the item's own height, else the control's.
    float twips = -1;
    engine.GetItemHeight(0, item, twips);
    if (twips < 0) engine.GetItemHeight(-1, nullptr, twips);
    if (!(twips >= 0)) return -1;
    return plat::gdi::MulDiv(plat::gdi::ScreenPixelsPerInch(), int32_t(std::min(twips, 2.0e9f)), 1440);
}

bool CItemCellBuilder::Layered() const {
    // Over a gradient, a picture or the container, rows let the background
    // through instead of filling it with the window colour.
    return LayeredBackground(m_host.Background());
}

void CItemCellBuilder::Attributes(CItem* item, CMapAttrChain& attrs) {
    const ViewSettings& s = m_host.Settings();
    attrs.SetText("__Text", item->Text());
    attrs.SetInt("__InnerTextAlign", 2).SetInt("__InnerPicAlign", 0).SetInt("__Multiline", 2);
    attrs.SetInt("__ForeColor", int32_t(s.foreColor))
        .SetInt("__InnerBackColor", int32_t(Layered() ? plat::gdi::kNoColorBit : s.backColor));
    attrs.SetInt("__SelFrColor", int32_t(s.selForeColor)).SetInt("__SelBkColor", int32_t(s.selBackColor));
    if (!m_font || !(m_font->Desc() == s.font)) m_font = NewFont(s.font);
    attrs.Set("__Font", plat::Variant(static_cast<plat::IDispatch*>(m_font.get())));
    m_host.ItemAttributes(item, attrs);
}

std::unique_ptr<CVincaTreeCellMetrics> CItemCellBuilder::Build(CItem* item, Dc& dc, Size size, CViewAbs* parent) {
    return Build(item, dc, size, parent, nullptr, LAYOUT_FULL);
}

std::unique_ptr<CVincaTreeCellMetrics> CItemCellBuilder::Build(CItem* item, Dc& dc, Size size,
                                                               CViewAbs* parent, const Adjust& adjust,
                                                               int32_t kind) {
    CTreeCellData data;
    FillTreeData(m_host.Settings(), item, data);
    const OLE_COLOR controlBack = data.backColor;
    data.host = &m_host;
    m_host.ItemTreeData(item, data);
    // A colour of the item's own shows over the layers; the control's
    // colour lets them through.
    if (Layered() && data.backColor == controlBack) data.backColor = plat::gdi::kNoColorBit;
    CMapAttrChain attrs;
    Attributes(item, attrs);
    if (adjust) adjust(attrs, data);
    attrs.SetTreeCellData(&data);
    auto cell = std::make_unique<CVincaTreeCellMetrics>();
    cell->SetParent(parent);
    cell->Layout(dc, size, attrs, kind);
    return cell;
}

} // namespace vinca
