#include "vinca/views/grid_cell.h"
#include "vinca/views/tree_cell.h"

namespace vinca {

std::unique_ptr<CMVBorderCellMetrics> CreateCellMetrics(CViewAbs* view, std::string_view key) {
    std::unique_ptr<CCellMetrics> inner;
    if (key == "__Tree")
        inner = std::make_unique<CVincaTreeCellMetrics>();
    else if (key == "__ColTitle")
        inner = std::make_unique<CMVGridColTitleCellMetrics>();
    else if (key == "__RowTitle")
        inner = std::make_unique<CMVGridRowTitleCellMetrics>();
    else if (key == "__ItemTreeColumn")
        inner = std::make_unique<CItemColumnCellMetrics>();
    else
        inner = std::make_unique<CMVGridCellMetrics>();
    auto cell = std::make_unique<CMVBorderCellMetrics>(std::move(inner));
    cell->SetParent(view);
    return cell;
}

std::unique_ptr<CMVBorderCellMetrics> CreateGridPositionCell(int32_t gridRow, int32_t col, std::string_view key) {
    if (gridRow == 0 && col == 0)
        return std::make_unique<CMVBorderCellMetrics>(std::make_unique<CMVGridCornerCellMetrics>());
    if (gridRow == 0) return CreateCellMetrics(nullptr, "__ColTitle");
    if (col == 0) return CreateCellMetrics(nullptr, "__RowTitle");
    return CreateCellMetrics(nullptr, key);
}

} // namespace vinca
