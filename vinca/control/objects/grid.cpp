#include "vinca/control/objects/grid.h"

#include <cmath>

#include "vinca/control/control.h"
#include "vinca/control/dispids.h"
#include "vinca/control/objects/cell_def.h"
#include "vinca/control/objects/col_defs.h"
#include "vinca/control/objects/level_defs.h"
#include "vinca/model/grid.h"
#include "vinca/model/values.h"
#include "vinca/control/window.h"

#include "vinca/views/grid_panes.h"
#include "vinca/views/view_window.h"

namespace vinca {

namespace {

using Call = plat::DispCall;
using plat::Variant;

class NoticePair {
  public:
    explicit NoticePair(CVincaCtrl& ctl) : m_ctl(ctl) { m_ctl.Engine().OnChangeNotice(0); }
    ~NoticePair() { m_ctl.Engine().OnChangeNotice(1); }
    NoticePair(const NoticePair&) = delete;
    NoticePair& operator=(const NoticePair&) = delete;

  private:
    CVincaCtrl& m_ctl;
};

// One of the grid's own definitions.
class GridDefTarget final : public CellDefTarget {
  public:
    GridDefTarget(plat::ComPtr<COleGrid> grid, CellDefKind kind) : m_grid(std::move(grid)), m_kind(kind) {}
    CAttrSet* List(CVincaCtrl&, bool make) override {
        CTreeGrid* g = make ? m_grid->Make() : m_grid->Find();
        if (!g) return nullptr;
        switch (m_kind) {
        case CellDefKind::Grid:
            return g->GridCellDef(make);
        case CellDefKind::ColTitle:
            return g->ColTitleCellDef(make);
        default:
            return g->RowTitleCellDef(make);
        }
    }

  private:
    plat::ComPtr<COleGrid> m_grid;
    CellDefKind m_kind;
};

// A data cell's own definition: the nested set of the row item's entry.
class CellTarget final : public CellDefTarget {
  public:
    CellTarget(plat::ComPtr<COleGrid> grid, int32_t row, int32_t col)
        : m_grid(std::move(grid)), m_row(row), m_col(col) {}
    CAttrSet* List(CVincaCtrl&, bool make) override {
        CTreeGrid* g = m_grid->Find();
        CColumnDef* col = g ? g->Column(m_col) : nullptr;
        // Row 0 is the column's title: it has no row item.
        if (col && m_row == 0) return col->TitleCellDef(make);
        CItem* item = g ? g->RowItem(m_row) : nullptr;
        if (!item || !col) {
            if (make) ThrowVincaError(VE_BAD_INDEX);
            return nullptr;
        }
        CItemData* data = make ? item->GetItemData() : item->ItemData();
        if (!data) return nullptr;
        CAttrEntry* entry = make ? data->Values().GetOrAdd(col->Key()) : data->Values().Find(col->Key());
        return entry ? entry->NestedSet(make) : nullptr;
    }
    // The sources the cell is drawn with, after its own: a column title
    // inherits from the grid's column-title definition, a row title from
    // the first column, the row and its level, a data cell from its column,
    // its row and level and the grid's cell definition; all of them then
    // from the control's default item cell.
    void Inherited(CVincaCtrl& ctl, std::vector<std::unique_ptr<CAttrSource>>& out) override {
        CTreeGrid* g = m_grid->Find();
        CColumnDef* col = g ? g->Column(m_col) : nullptr;
        if (!col) return;
        CItem* item = m_row > 0 ? g->RowItem(m_row) : nullptr;
        const bool treeGrid = g->GetKind() == CTreeGrid::TREE_GRID;
        auto add = [&](CAttrSet* set) {
            if (set) out.push_back(std::make_unique<CAttrSetSource>(set));
        };
        auto rowSet = [&](const char* key) -> CAttrSet* {
            CItemData* data = item ? item->ItemData() : nullptr;
            return data ? data->GetValueSet(GlobalName(key), false) : nullptr;
        };
        auto rowSources = [&](bool withTree) {
            if (withTree) add(rowSet("__Tree"));
            add(rowSet(treeGrid ? "__TreeGridRowDef" : "__ItemGridRowDef"));
            // A level keeps inner keys, as the default item cell does.
            if (CLevelDef* level = item ? FindLevel(ctl, item->GetItemLevel()) : nullptr)
                if (level->pictures) out.push_back(std::make_unique<CInnerKeySource>(level->pictures.get()));
        };
        if (m_row == 0) {
            add(g->ColTitleCellDef(false));
        } else if (m_col == 0) {
            add(col->TitleDefs(false));
            rowSources(!treeGrid);
            add(g->RowTitleCellDef(false));
        } else {
            add(col->TitleDefs(false));
            rowSources(!treeGrid || m_col == 1);
            add(g->GridCellDef(false));
        }
        out.push_back(std::make_unique<CInnerKeySource>(ctl.DefaultItemCellDef()));
    }

  private:
    plat::ComPtr<COleGrid> m_grid;
    int32_t m_row, m_col;
};

// A row item's definition in the grid.
class RowDefTarget final : public CellDefTarget {
  public:
    RowDefTarget(Ref<CItem> item, const CVincaName* key) : m_item(std::move(item)), m_key(key) {}
    CAttrSet* List(CVincaCtrl&, bool make) override {
        CItemData* data = make ? m_item->GetItemData() : m_item->ItemData();
        return data ? data->GetValueSet(m_key, make) : nullptr;
    }

  private:
    Ref<CItem> m_item;
    const CVincaName* m_key;
};

int32_t Int(const plat::VARIANT& v, int32_t fallback = 0) {
    Variant c(plat::deref(v));
    return plat::FAILED(c.change_type(plat::VT_I4)) ? fallback : c.lVal;
}

Variant Nothing() {
    return Variant(static_cast<plat::IDispatch*>(nullptr));
}

// Row and column inside the grid (381 otherwise).
void CheckCell(CTreeGrid* g, int32_t row, int32_t col) {
    if (!g || row < 0 || row > g->RowCount() || col < 0 || col >= g->ColumnCount())
        ThrowVincaError(VE_BAD_INDEX);
}

// The sort method of the grid's item in the 0/1 form, -1 for none.
int32_t SortingMethodOf(CItem* owner) {
    switch (owner ? owner->SortMethod() : 0) {
    case 1:
    case 2:
        return 0;
    case 3:
    case 4:
        return 1;
    default:
        return -1;
    }
}

bool IsTextKey(const CVincaName* key) {
    return !key || key == names::ObsoleteValue() || key == names::Tree() || key == names::ItemTreeColumn();
}

void SetSort(CVincaCtrl& ctl, CItem* owner, int method, const CVincaName* key) {
    CItemNode* node = owner->GetChildNode();
    if (!node) ThrowVincaError(VE_OUT_OF_MEMORY);
    NoticePair notices(ctl);
    CheckVinca(ctl.Engine().SetItemSortingKey(
        owner, Variant(std::string_view(key == names::ObsoleteValue() ? std::string() : key->Text()))));
    CheckVinca(ctl.Engine().SetItemSorted(owner, method));
    ctl.ClearPending();
}

} // namespace

CVincaCtrl& COleGrid::Control() const {
    if (!m_link || !*m_link) ThrowVincaError(VE_DISCONNECTED);
    return **m_link;
}

CTreeGrid* COleGrid::Find() const {
    CVincaCtrl& ctl = Control();
    if (m_active) return nullptr;
    if (!m_item) return ctl.OwnGrid();
    return static_cast<CTreeGrid*>(m_item->Grid());
}

CTreeGrid* COleGrid::Make() {
    CVincaCtrl& ctl = Control();
    if (CTreeGrid* g = Find()) return g;
    if (m_active) ThrowVincaError(VE_GRID_DISCONNECTED);
    if (!m_item) {
        ctl.SetHasGrid(true);
        return ctl.OwnGrid();
    }
    Ref<CTreeGrid> grid = CTreeGrid::New(CTreeGrid::ITEM_GRID);
    if (!grid) ThrowVincaError(VE_GRID_NOT_CREATED);
    m_item->SetGrid(grid.get());
    return grid.get();
}

CTreeGrid& COleGrid::Need() const {
    CTreeGrid* g = Find();
    if (!g) ThrowVincaError(VE_GRID_DISCONNECTED);
    return *g;
}

plat::HRESULT COleGrid::query_other(plat::REFIID iid, void** out) {
    if (iid != IID_IVincaGrid) return plat::E_NOINTERFACE;
    *out = static_cast<plat::IDispatch*>(this);
    AddRef();
    return plat::S_OK;
}

plat::HRESULT COleGridCell::query_other(plat::REFIID iid, void** out) {
    if (iid != IID_IVincaGridCell) return plat::E_NOINTERFACE;
    *out = static_cast<plat::IDispatch*>(this);
    AddRef();
    return plat::S_OK;
}

Variant GridObject(const ControlLink& link, CItem* item) {
    auto obj = plat::make_object<COleGrid>(link, Ref<CItem>(item));
    return Variant(static_cast<plat::IDispatch*>(obj.get()));
}

const plat::DispatchTable<COleGrid>& COleGrid::dispatch_table() {
    using Self = COleGrid;
    using Row = plat::DispMember<Self>;
    constexpr auto P = plat::DispKind::Property;
    constexpr auto M = plat::DispKind::Method;

    // A read that answers `none` while the grid does not exist.
    auto read = [](auto value, Variant none) {
        return [value, none](Self& self, Call& c) {
            CTreeGrid* g = self.Find();
            c.result() = g ? value(self, *g, c) : none;
        };
    };
    // A write that makes the grid, with the change notices around it.
    auto write = [](auto apply) {
        return [apply](Self& self, Call& c) {
            CVincaCtrl& ctl = self.Control();
            NoticePair notices(ctl);
            CTreeGrid* g = self.Make();
            apply(self, *g, c);
            ctl.RequestRefresh(1, 0);
            ctl.MarkModified();
        };
    };
    auto def_row = [](plat::DISPID id, const char* name, CellDefKind kind) {
        return Row{.id = id,
                   .name = name,
                   .kind = plat::DispKind::Property,
                   .type = plat::VT_DISPATCH,
                   .get =
                       [kind](Self& self, Call& c) {
                           c.result() = CellDefObject(
                               self.Link(), kind,
                               std::make_shared<GridDefTarget>(plat::ComPtr<Self>(&self), kind));
                       },
                   .put =
                       [kind](Self& self, Call& c) {
                           ClearCellDef(self.Control(), c.value(),
                                        std::make_shared<GridDefTarget>(plat::ComPtr<Self>(&self), kind));
                       },
                   .put_type = plat::VT_VARIANT};
    };
    auto cells = [](Self& self, Call& c) {
        CTreeGrid* g = self.Find();
        const int32_t row = c.i4(0), col = c.i4(1);
        CheckCell(g, row, col);
        auto cell = plat::make_object<COleGridCell>(plat::ComPtr<Self>(&self), row, col);
        c.result() = Variant(static_cast<plat::IDispatch*>(cell.get()));
    };
    auto row_item = [](Self& self, int32_t row) -> CItem* {
        CTreeGrid* g = self.Find();
        CItem* item = g && row >= 1 ? g->RowItem(row) : nullptr;
        if (!item) ThrowVincaError(VE_BAD_INDEX);
        return item;
    };
    const plat::DispParam kRow{"Row", plat::VT_I4, 0};
    const plat::DispParam kCol{"Col", plat::VT_I4, 0};
    const plat::DispParam kUnused{"Index", plat::VT_VARIANT, plat::kParamOptional};

    static const plat::DispatchTable<Self> table{
        {.id = 0,
         .name = "_Cells",
         .kind = P,
         .type = plat::VT_DISPATCH,
         .params = {kRow, kCol},
         .get = cells,
         .access = plat::kNoPut},
        {.id = 1,
         .name = "AllowResizing",
         .kind = P,
         .type = plat::VT_I2,
         .get = read([](Self&, CTreeGrid& g, Call&) { return Variant(int16_t(g.m_allowResizing)); },
                     Variant(int16_t(0))),
         .put = write([](Self&, CTreeGrid& g, Call& c) { g.m_allowResizing = c.value().iVal; })},
        {.id = 2,
         .name = "Col",
         .kind = P,
         .type = plat::VT_I4,
         .get = read([](Self&, CTreeGrid&, Call&) { return Variant(int32_t(-1)); }, Variant(int32_t(-1))),
         .access = plat::kNoPut},
        {.id = 3,
         .name = "Row",
         .kind = P,
         .type = plat::VT_I4,
         .get = read([](Self&, CTreeGrid&, Call&) { return Variant(int32_t(-1)); }, Variant(int32_t(-1))),
         .access = plat::kNoPut},
        {.id = 4,
         .name = "Cols",
         .kind = P,
         .type = plat::VT_I4,
         .get =
             read([](Self&, CTreeGrid& g, Call&) { return Variant(g.ColumnCount()); }, Variant(int32_t(-1))),
         .put =
             [write](Self& self, Call& c) {
                 if (c.value().lVal <= 1) ThrowVincaError(VE_INVALID_ARGUMENT);
                 write([](Self&, CTreeGrid& g, Call& c) { CheckVinca(g.SetColumnCount(c.value().lVal)); })(
                     self, c);
             }},
        {.id = 5,
         .name = "Rows",
         .kind = P,
         .type = plat::VT_I4,
         .get =
             read([](Self&, CTreeGrid& g, Call&) { return Variant(g.RowCount() + 1); }, Variant(int32_t(-1))),
         .put =
             [write](Self& self, Call& c) {
                 if (c.value().lVal <= 0) ThrowVincaError(VE_INVALID_ARGUMENT);
                 write([](Self& self, CTreeGrid& g, Call& c) {
                     CVincaEngine& e = self.Control().Engine();
                     const int32_t want = c.value().lVal - 1;
                     if (!g.OwnerItem()) ThrowVincaError(VE_GRID_NOT_CREATED);
                     if (CItemNode* n = g.OwnerItem()->ChildNode(); n && n->IsVirtual())
                         ThrowVincaError(VE_VIRTUAL_TREE);
                     while (g.RowCount() < want)
                         if (!g.AppendRow(e, {})) ThrowVincaError(VE_GRID_NOT_CREATED);
                     while (g.RowCount() > want)
                         CheckVinca(g.RemoveRow(e, g.RowCount()));
                     self.Control().ClearPending();
                 })(self, c);
             }},
        {.id = 6,
         .name = "ColDefs",
         .kind = P,
         .type = plat::VT_DISPATCH,
         .get =
             [](Self& self, Call& c) {
                 self.Control();
                 auto defs = plat::make_object<COleColDefs>(plat::ComPtr<Self>(&self));
                 c.result() = Variant(static_cast<plat::IDispatch*>(defs.get()));
             },
         .access = plat::kNoPut},
        def_row(7, "GridCellDef", CellDefKind::Grid),
        def_row(8, "ColTitleCellDef", CellDefKind::ColTitle),
        def_row(9, "RowTitleCellDef", CellDefKind::RowTitle),
        {.id = 10,
         .name = "ShowColTitles",
         .kind = P,
         .type = plat::VT_BOOL,
         .get = read([](Self&, CTreeGrid& g, Call&) { return Variant::boolean(g.m_titleBands & 1); },
                     Variant::boolean(false)),
         .put = write([](Self&, CTreeGrid& g, Call& c) {
             g.m_titleBands =
                 static_cast<uint8_t>(c.value().boolVal ? (g.m_titleBands | 1) : (g.m_titleBands & ~1));
         })},
        {.id = 11,
         .name = "ShowRowTitles",
         .kind = P,
         .type = plat::VT_BOOL,
         .get = read([](Self&, CTreeGrid& g, Call&) { return Variant::boolean(g.m_titleBands & 2); },
                     Variant::boolean(false)),
         .put = write([](Self&, CTreeGrid& g, Call& c) {
             g.m_titleBands =
                 static_cast<uint8_t>(c.value().boolVal ? (g.m_titleBands | 2) : (g.m_titleBands & ~2));
         })},
        {.id = 12,
         .name = "GridLinesColor",
         .kind = P,
         .type = plat::VT_I4,
         .get =
             read([](Self&, CTreeGrid& g, Call&) { return Variant(g.m_horLineColor); }, Variant(int32_t(0))),
         .put = write(
             [](Self&, CTreeGrid& g, Call& c) { g.m_horLineColor = g.m_verLineColor = c.value().lVal; })},
        {.id = 13,
         .name = "GridLinesStyle",
         .kind = P,
         .type = plat::VT_I2,
         .get = read([](Self&, CTreeGrid& g, Call&) { return Variant(int16_t(g.m_gridLinesStyle)); },
                     Variant(int16_t(3))),
         .put =
             [write](Self& self, Call& c) {
                 if (c.value().iVal < 0 || c.value().iVal > 3) ThrowVincaError(VE_INVALID_ARGUMENT);
                 write([](Self&, CTreeGrid& g, Call& c) { g.m_gridLinesStyle = c.value().iVal; })(self, c);
             }},
        {.id = 14,
         .name = "MouseCol",
         .kind = P,
         .type = plat::VT_I4,
         .get =
             [](Self& self, Call& c) {
                 self.Control();
                 c.result() = Variant(int32_t(-1));
             },
         .access = plat::kNoPut},
        {.id = 15,
         .name = "MouseRow",
         .kind = P,
         .type = plat::VT_I4,
         .get =
             [](Self& self, Call& c) {
                 self.Control();
                 c.result() = Variant(int32_t(-1));
             },
         .access = plat::kNoPut},
        {.id = 16,
         .name = "ParentItemIndex",
         .kind = P,
         .type = plat::VT_I4,
         .get = read(
             [](Self& self, CTreeGrid& g, Call&) {
                 return Variant(self.Item() ? self.Control().Engine().ItemIndex(self.Item()) : int32_t(-1));
             },
             Variant(int32_t(-1))),
         .access = plat::kNoPut},
        {.id = 17,
         .name = "TreeGrid",
         .kind = P,
         .type = plat::VT_BOOL,
         .get = read(
             [](Self&, CTreeGrid& g, Call&) { return Variant::boolean(g.GetKind() == CTreeGrid::TREE_GRID); },
             Variant::boolean(false)),
         .access = plat::kNoPut},
        {.id = 18,
         .name = "Visible",
         .kind = P,
         .type = plat::VT_BOOL,
         .get = read([](Self&, CTreeGrid& g, Call&) { return Variant::boolean(g.m_gridFlag != 0); },
                     Variant::boolean(false)),
         .put = write([](Self&, CTreeGrid& g, Call& c) { g.m_gridFlag = c.value().boolVal ? 1 : 0; })},
        {.id = 19,
         .name = "Cells",
         .kind = P,
         .type = plat::VT_DISPATCH,
         .params = {kRow, kCol},
         .get = cells,
         .access = plat::kNoPut},
        {.id = 20,
         .name = "ColTitlesHeight",
         .kind = P,
         .type = plat::VT_R4,
         .get = read([](Self&, CTreeGrid& g, Call&) { return Variant(g.m_colTitleHeight); }, Variant(0.0f)),
         .put =
             [write](Self& self, Call& c) {
                 const float v = c.value().fltVal;
                 CTreeGrid* g = self.Find();
                 const float min = self.Item() || (g && g->GetKind() == CTreeGrid::ITEM_GRID) ? -1.0f : 0.0f;
                 if (!std::isfinite(v) || v < min) ThrowVincaError(VE_INVALID_ARGUMENT);
                 write([](Self&, CTreeGrid& g, Call& c) { g.m_colTitleHeight = c.value().fltVal; })(self, c);
             }},
        {.id = 21,
         .name = "RowTitlesWidth",
         .kind = P,
         .type = plat::VT_R4,
         .get = read([](Self&, CTreeGrid& g, Call&) { return Variant(g.m_rowTitleWidth); }, Variant(0.0f)),
         .put =
             [write](Self& self, Call& c) {
                 const float v = c.value().fltVal;
                 if (!std::isfinite(v) || v < 0 || v > 2147483647.0f) ThrowVincaError(VE_INVALID_ARGUMENT);
                 write([](Self&, CTreeGrid& g, Call& c) {
                     g.SetRowTitleWidthPixels(
                         static_cast<int32_t>(c.value().fltVal * CTreeGrid::PixelsPerInch() / 1440.0));
                     g.m_rowTitleWidth = c.value().fltVal;
                 })(self, c);
             }},
        {.id = 22,
         .name = "HasCell",
         .kind = P,
         .type = plat::VT_BOOL,
         .params = {kRow, kCol},
         .get =
             [](Self& self, Call& c) {
                 CTreeGrid* g = self.Find();
                 const int32_t row = c.i4(0), col = c.i4(1);
                 CheckCell(g, row, col);
                 bool has = false;
                 if (row == 0) {
                     CColumnDef* column = g->Column(col);
                     has = column && column->TitleEntry(false) && !column->TitleEntry(false)->IsEmpty();
                 } else {
                     has = g->Cell(col, row) != nullptr;
                 }
                 c.result() = Variant::boolean(has);
             },
         .access = plat::kNoPut},
        {.id = 23,
         .name = "AddRow",
         .kind = M,
         .type = plat::VT_EMPTY,
         .params = {{"Text", plat::VT_BSTR, 0}, kUnused},
         .get =
             [](Self& self, Call& c) {
                 CVincaCtrl& ctl = self.Control();
                 VResult failure = VE_OK;
                 {
                     NoticePair notices(ctl);
                     CTreeGrid& g = *self.Make();
                     CItemNode* node = g.OwnerItem() ? g.OwnerItem()->GetChildNode() : nullptr;
                     if (!node || node->IsVirtual()) {
                         failure = VE_VIRTUAL_TREE;
                     } else {
                         CVincaEngine& e = ctl.Engine();
                         const bool convert = e.m_convertTabsToCols != 0;
                         const char delimiter = static_cast<char>(e.m_colDelimiter & 0xFF);
                         const std::string text = c.text(0);
                         const int32_t rows = g.RowCount() + 1;
                         int32_t at = rows;
                         if (c.has_arg(1)) at = Int(c.arg(1), rows);
                         const bool inside = at > 0 && at < rows;
                         CItem* made = nullptr;
                         CheckVinca(
                             g.InsertRow(e, inside ? at : -1, convert ? std::string_view() : text, &made));
                         ctl.ClearPending();
                         if (convert && made) CheckVinca(g.FillRow(e, *made, text, delimiter));
                     }
                     ctl.RequestRefresh(1, 0);
                     ctl.MarkModified();
                 }
                 ctl.ClearPending();
                 if (failure) ThrowVincaError(failure);
             }},
        {.id = 24,
         .name = "RemoveRow",
         .kind = M,
         .type = plat::VT_EMPTY,
         .params = {kRow},
         .get =
             [](Self& self, Call& c) {
                 CVincaCtrl& ctl = self.Control();
                 VResult failure = VE_OK;
                 {
                     NoticePair notices(ctl);
                     CTreeGrid* g = self.Find();
                     if (!g) {
                         failure = VE_GRID_DISCONNECTED;
                     } else if (!g->OwnerItem() ||
                                (g->OwnerItem()->ChildNode() && g->OwnerItem()->ChildNode()->IsVirtual())) {
                         failure = VE_VIRTUAL_TREE;
                     } else {
                         int32_t row = c.i4(0);
                         if (row == -1) row = g->RowCount();
                         if (row >= 1 && row <= g->RowCount()) failure = g->RemoveRow(ctl.Engine(), row);
                         ctl.MarkModified();
                     }
                 }
                 ctl.ClearPending();
                 if (failure) ThrowVincaError(failure);
             }},
        {.id = 25,
         .name = "AutoFillColTitles",
         .kind = P,
         .type = plat::VT_I2,
         .get = read([](Self&, CTreeGrid& g, Call&) { return Variant(int16_t(g.m_autoFillColTitles)); },
                     Variant(int16_t(0))),
         .put =
             [write](Self& self, Call& c) {
                 if (c.value().iVal < 0 || c.value().iVal > 2) ThrowVincaError(VE_INVALID_ARGUMENT);
                 write([](Self&, CTreeGrid& g, Call& c) {
                     g.m_autoFillColTitles = static_cast<uint8_t>(c.value().iVal);
                 })(self, c);
             }},
        {.id = 26,
         .name = "AutoFillRowTitles",
         .kind = P,
         .type = plat::VT_I2,
         .get = read([](Self&, CTreeGrid& g, Call&) { return Variant(int16_t(g.m_autoFillRowTitles)); },
                     Variant(int16_t(0))),
         .put =
             [write](Self& self, Call& c) {
                 if (c.value().iVal < 0 || c.value().iVal > 2) ThrowVincaError(VE_INVALID_ARGUMENT);
                 write([](Self&, CTreeGrid& g, Call& c) {
                     g.m_autoFillRowTitles = static_cast<uint8_t>(c.value().iVal);
                 })(self, c);
             }},
        {.id = 27,
         .name = "BackColorBkg",
         .kind = P,
         .type = plat::VT_I4,
         .get = read([](Self&, CTreeGrid& g, Call&) { return Variant(g.m_gridLinesColor); },
                     Variant(int32_t(0x808080))),
         .put = write([](Self&, CTreeGrid& g, Call& c) { g.m_gridLinesColor = c.value().lVal; })},
        {.id = 28,
         .name = "ItemIndexToRow",
         .kind = M,
         .type = plat::VT_I4,
         .params = {{"Index", plat::VT_I4, 0}},
         .get = read([](Self& self, CTreeGrid& g,
                        Call& c) { return Variant(g.ItemIndexToRow(self.Control().Engine(), c.i4(0))); },
                     Variant(int32_t(-1)))},
        {.id = 29,
         .name = "Sorted",
         .kind = P,
         .type = plat::VT_BOOL,
         .get =
             [](Self& self, Call& c) {
                 CTreeGrid* g = self.Find();
                 c.result() = Variant::boolean(g && SortingMethodOf(g->OwnerItem()) != -1);
             },
         .put =
             [](Self& self, Call& c) {
                 CItem* owner = self.Need().OwnerItem();
                 if (!owner) ThrowVincaError(VE_GRID_DISCONNECTED);
                 const bool on = c.value().boolVal != 0;
                 if (on == (SortingMethodOf(owner) != -1)) return;
                 const CVincaName* key = owner->SortKey();
                 SetSort(self.Control(), owner, on ? (IsTextKey(key) ? 1 : 2) : 0,
                         key ? key : names::ObsoleteValue());
             }},
        {.id = 30,
         .name = "SortingKey",
         .kind = P,
         .type = plat::VT_VARIANT,
         .params = {kUnused},
         .get =
             [](Self& self, Call& c) {
                 CTreeGrid* g = self.Find();
                 const CVincaName* key = g && g->OwnerItem() ? g->OwnerItem()->SortKey() : nullptr;
                 c.result() = Variant(std::string_view(IsTextKey(key) ? std::string() : key->Text()));
             },
         .put =
             [](Self& self, Call& c) {
                 const plat::VARIANT& v = plat::deref(c.value());
                 const CVincaName* key = names::ObsoleteValue();
                 if (v.vt == plat::VT_BSTR) {
                     const std::string text = plat::bstr_to_utf8(v.bstrVal);
                     key = text.empty() ? names::ObsoleteValue() : GlobalName(text);
                 } else if (v.vt == plat::VT_I2 || v.vt == plat::VT_I4) {
                     const int32_t n = v.vt == plat::VT_I2 ? v.iVal : v.lVal;
                     if (n < 0) ThrowVincaError(VE_INVALID_ARGUMENT);
                     CColumnDef* col = self.Need().Column(n);
                     if (col && col->Key()) key = col->Key();
                 }
                 CItem* owner = self.Need().OwnerItem();
                 if (!owner) ThrowVincaError(VE_GRID_DISCONNECTED);
                 int method = owner->SortMethod();
                 if (IsTextKey(key)) {
                     if (method == 2 || method == 4) --method;
                 } else if (method == 1 || method == 3) {
                     ++method;
                 }
                 SetSort(self.Control(), owner, method, key);
             }},
        {.id = 31,
         .name = "SortingMethod",
         .kind = P,
         .type = plat::VT_I2,
         .params = {kUnused},
         .get =
             [](Self& self, Call& c) {
                 CTreeGrid* g = self.Find();
                 c.result() = Variant(int16_t(g ? SortingMethodOf(g->OwnerItem()) : -1));
             },
         .put =
             [](Self& self, Call& c) {
                 const int32_t v = c.value().iVal;
                 if (v < -1 || v > 1) ThrowVincaError(VE_INVALID_ARGUMENT);
                 CItem* owner = self.Need().OwnerItem();
                 if (!owner) ThrowVincaError(VE_GRID_DISCONNECTED);
                 if (SortingMethodOf(owner) == v) return;
                 const CVincaName* key = owner->SortKey() ? owner->SortKey() : names::ObsoleteValue();
                 int method = 0;
                 if (v >= 0) {
                     const int now = owner->SortMethod();
                     const bool byValue = now == 2 || now == 4 || (now == 0 && !IsTextKey(key));
                     method = v == 0 ? (byValue ? 2 : 1) : (byValue ? 4 : 3);
                 }
                 SetSort(self.Control(), owner, method, key);
             }},
        {.id = 32,
         .name = "RowHeight",
         .kind = P,
         .type = plat::VT_R4,
         .params = {kRow},
         .get =
             [row_item](Self& self, Call& c) {
                 const int32_t row = c.i4(0);
                 CTreeGrid* g = self.Find();
                 if (row < -1 || !g) {
                     c.result() = Variant(-1.0f);
                 } else if (row == -1) {
                     c.result() = Variant(g->RowHeightTwips());
                 } else if (row == 0) {
                     c.result() = Variant(g->m_colTitleHeight);
                 } else {
                     CItem* item = row_item(self, row);
                     CItemData* data = item->ItemData();
                     CAttrSet* tree = data ? data->GetValueSet(names::Tree(), false) : nullptr;
                     const plat::Variant* h = tree ? tree->FindValue(names::ItemHeight()) : nullptr;
                     c.result() = Variant(h ? static_cast<float>(Variant(*h).to_r8()) : -1.0f);
                 }
             },
         .put =
             [row_item](Self& self, Call& c) {
                 const int32_t row = c.i4(0);
                 const float h = c.value().fltVal;
                 if (row < -1 || !std::isfinite(h) || h < -1.0f) ThrowVincaError(VE_INVALID_ARGUMENT);
                 CTreeGrid& g = self.Need();
                 CVincaCtrl& ctl = self.Control();
                 NoticePair notices(ctl);
                 if (row == 0) {
                     g.m_colTitleHeight = h;
                 } else if (row == -1) {
                     g.SetRowHeightTwips(h);
                 } else {
                     CItemData* data = row_item(self, row)->GetItemData();
                     CAttrSet* tree = data ? data->GetValueSet(names::Tree(), true) : nullptr;
                     if (!tree) ThrowVincaError(VE_OUT_OF_MEMORY);
                     CheckVinca(tree->SetOrAddValue(names::ItemHeight(), Variant(h)));
                 }
                 ctl.RequestRefresh(1, 0);
                 ctl.MarkModified();
             }},
        {.id = 33,
         .name = "RowToItemIndex",
         .kind = M,
         .type = plat::VT_I4,
         .params = {kRow},
         .get = read([](Self& self, CTreeGrid& g,
                        Call& c) { return Variant(g.RowToItemIndex(self.Control().Engine(), c.i4(0))); },
                     Variant(int32_t(-1)))},
        {.id = 34,
         .name = "RowCellDef",
         .kind = P,
         .type = plat::VT_DISPATCH,
         .params = {kRow},
         .get =
             [row_item](Self& self, Call& c) {
                 const int32_t row = c.i4(0);
                 if (row <= 0) {
                     c.result() = CellDefObject(
                         self.Link(), CellDefKind::RowTitle,
                         std::make_shared<GridDefTarget>(plat::ComPtr<Self>(&self), CellDefKind::RowTitle));
                     return;
                 }
                 CItem* item = row_item(self, row);
                 const bool tree = !self.Item();
                 c.result() = CellDefObject(
                     self.Link(), tree ? CellDefKind::TreeGridRow : CellDefKind::ItemGridRow,
                     std::make_shared<RowDefTarget>(
                         Ref<CItem>(item), GlobalName(tree ? "__TreeGridRowDef" : "__ItemGridRowDef")));
             },
         .put =
             [row_item](Self& self, Call& c) {
                 const int32_t row = c.i4(0);
                 std::shared_ptr<CellDefTarget> target;
                 if (row <= 0)
                     target =
                         std::make_shared<GridDefTarget>(plat::ComPtr<Self>(&self), CellDefKind::RowTitle);
                 else
                     target = std::make_shared<RowDefTarget>(
                         Ref<CItem>(row_item(self, row)),
                         GlobalName(self.Item() ? "__ItemGridRowDef" : "__TreeGridRowDef"));
                 ClearCellDef(self.Control(), c.value(), target);
             },
         .put_type = plat::VT_VARIANT},
        {.id = 35,
         .name = "SortingStyle",
         .kind = P,
         .type = plat::VT_I4,
         .params = {kUnused},
         .get =
             [](Self& self, Call& c) {
                 CTreeGrid* g = self.Find();
                 c.result() = Variant(g && g->OwnerItem() ? g->OwnerItem()->SortingStyle() : int32_t(0));
             },
         .put =
             [](Self& self, Call& c) {
                 CItem* owner = self.Need().OwnerItem();
                 if (!owner) ThrowVincaError(VE_GRID_DISCONNECTED);
                 CVincaCtrl& ctl = self.Control();
                 NoticePair notices(ctl);
                 CheckVinca(ctl.Engine().SetItemSortingStyle(owner, c.value().lVal));
                 ctl.ClearPending();
             }},
    };
    return table;
}

const plat::DispatchTable<COleGridCell>& COleGridCell::dispatch_table() {
    using Self = COleGridCell;
    constexpr auto P = plat::DispKind::Property;
    auto value_get = [](Self& self, Call& c) {
        CVincaCtrl& ctl = self.m_grid->Control();
        CTreeGrid* g = self.m_grid->Find();
        CItem* item = g ? g->RowItem(self.m_row) : nullptr;
        CColumnDef* col = g ? g->Column(self.m_col) : nullptr;
        if (!item || !col) {
            c.result() = Nothing();
            return;
        }
        auto value = plat::make_object<COleValue>(ctl.Link(), Ref<CItem>(item), col->Key());
        c.result() = Variant(static_cast<plat::IDispatch*>(value.get()));
    };
    auto value_put = [](Self& self, Call& c) {
        const plat::VARIANT& v = plat::deref(c.value());
        const bool object = v.vt == plat::VT_DISPATCH || v.vt == plat::VT_UNKNOWN;
        const bool nothing = object && !v.punkVal;
        if (object && !nothing) ThrowVincaError(VE_INVALID_ARGUMENT);
        CVincaCtrl& ctl = self.m_grid->Control();
        CTreeGrid* g = self.m_grid->Find();
        // A cell kept while rows or columns went names nothing any more.
        CheckCell(g, self.m_row, self.m_col);
        CColumnDef* col = g->Column(self.m_col);
        if (!col) return;
        NoticePair notices(ctl);
        if (!nothing) {
            // A plain value in row 0 is the column's title text.
            if (self.m_row != 0) ThrowVincaError(VE_INVALID_ARGUMENT);
            CAttrEntry* title = col->TitleEntry(true);
            if (!title) ThrowVincaError(VE_OUT_OF_MEMORY);
            if (plat::FAILED(title->SetValue(v))) ThrowVincaError(VE_INVALID_ARGUMENT);
            ctl.RequestRefresh(1, 0);
            ctl.MarkModified();
            return;
        }
        if (self.m_row == 0) {
            if (CAttrEntry* title = col->TitleEntry(false)) title->ClearValue();
        } else if (CItem* item = g->RowItem(self.m_row); item && item->ItemData()) {
            if (CAttrEntry* e = item->ItemData()->Values().Find(col->Key())) e->ClearValue();
        }
        ctl.MarkModified();
    };
    // The cell's place in the window, in twips: asked of the window while it
    // shows this grid; -1 otherwise (no window, another grid, or a cell
    // scrolled out of sight for the position).
    auto size = [](int which) {
        return [which](Self& self, Call& c) {
            CVincaCtrl& ctl = self.m_grid->Control();
            c.result() = Variant(-1.0f);
            CTreeGrid* g = self.m_grid->Find();
            CViewWindow* view = ctl.Window().View();
            if (!g || !view || view->Grid() != g) return;
            view->EnsureLayout();
            int32_t px = -1;
            if (which < 2) {
                const Rect r = view->GridPanes()->CellRect(self.m_row, self.m_col);
                if (r.IsEmpty()) return;
                px = which == 0 ? r.left : r.top;
            } else {
                auto cell = view->GridPanes()->CellMetrics(self.m_row, self.m_col);
                if (!cell) return;
                px = which == 2 ? cell->Width() : cell->Height();
            }
            const int32_t twips = plat::gdi::MulDiv(1440, px, CTreeGrid::PixelsPerInch());
            if (twips != -1 || px == -1) c.result() = Variant(float(twips));
        };
    };
    static const plat::DispatchTable<Self> table{
        {.id = 0,
         .name = "_Value",
         .kind = P,
         .type = plat::VT_DISPATCH,
         .get = value_get,
         .put = value_put,
         .put_type = plat::VT_VARIANT},
        {.id = 1,
         .name = "CellDef",
         .kind = P,
         .type = plat::VT_DISPATCH,
         .get =
             [](Self& self, Call& c) {
                 c.result() =
                     CellDefObject(self.m_grid->Link(), CellDefKind::Own,
                                   std::make_shared<CellTarget>(self.m_grid, self.m_row, self.m_col));
             },
         .put =
             [](Self& self, Call& c) {
                 CVincaCtrl& ctl = self.m_grid->Control();
                 CheckCell(self.m_grid->Find(), self.m_row, self.m_col);
                 ClearCellDef(ctl, c.value(),
                              std::make_shared<CellTarget>(self.m_grid, self.m_row, self.m_col));
             },
         .put_type = plat::VT_VARIANT},
        {.id = 2,
         .name = "Grid",
         .kind = P,
         .type = plat::VT_DISPATCH,
         .get =
             [](Self& self, Call& c) {
                 self.m_grid->Control();
                 c.result() = Variant(static_cast<plat::IDispatch*>(self.m_grid.get()));
             },
         .access = plat::kNoPut},
        {.id = 3,
         .name = "Row",
         .kind = P,
         .type = plat::VT_I4,
         .get = [](Self& self, Call& c) { c.result() = Variant(self.m_row); },
         .access = plat::kNoPut},
        {.id = 4,
         .name = "Col",
         .kind = P,
         .type = plat::VT_I4,
         .get = [](Self& self, Call& c) { c.result() = Variant(self.m_col); },
         .access = plat::kNoPut},
        {.id = 5,
         .name = "Value",
         .kind = P,
         .type = plat::VT_DISPATCH,
         .get = value_get,
         .put = value_put,
         .put_type = plat::VT_VARIANT},
        {.id = 6, .name = "Left", .kind = P, .type = plat::VT_R4, .get = size(0), .access = plat::kNoPut},
        {.id = 7, .name = "Top", .kind = P, .type = plat::VT_R4, .get = size(1), .access = plat::kNoPut},
        {.id = 8, .name = "Width", .kind = P, .type = plat::VT_R4, .get = size(2), .access = plat::kNoPut},
        {.id = 9, .name = "Height", .kind = P, .type = plat::VT_R4, .get = size(3), .access = plat::kNoPut},
    };
    return table;
}

} // namespace vinca
