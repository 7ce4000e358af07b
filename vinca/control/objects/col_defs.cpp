#include "vinca/control/objects/col_defs.h"

#include <cmath>

#include "platform/com/enum_variant.h"
#include "vinca/control/control.h"
#include "vinca/control/objects/cell_def.h"

namespace vinca {

namespace {

using Call = plat::DispCall;
using plat::Variant;

Variant ColumnObject(const plat::ComPtr<COleGrid>& grid, CColumnDef* column) {
    auto obj = plat::make_object<COleColDef>(grid, Ref<CColumnDef>(column));
    return Variant(static_cast<plat::IDispatch*>(obj.get()));
}

// The column's own cell definition.
class ColumnTarget final : public CellDefTarget {
  public:
    explicit ColumnTarget(plat::ComPtr<COleColDef> col) : m_col(std::move(col)) {}
    CAttrSet* List(CVincaCtrl&, bool make) override {
        int32_t index = -1;
        m_col->Grid(index);
        return m_col->Column().TitleDefs(make);
    }

  private:
    plat::ComPtr<COleColDef> m_col;
};

class NoticePair {
  public:
    explicit NoticePair(CVincaCtrl& ctl) : m_ctl(ctl) { m_ctl.Engine().OnChangeNotice(0); }
    ~NoticePair() { m_ctl.Engine().OnChangeNotice(1); }
    NoticePair(const NoticePair&) = delete;
    NoticePair& operator=(const NoticePair&) = delete;

  private:
    CVincaCtrl& m_ctl;
};

} // namespace

CTreeGrid& COleColDef::Grid(int32_t& index) const {
    m_grid->Control();
    CTreeGrid* g = m_grid->Find();
    index = g ? g->ColumnIndexOf(m_column.get()) : -1;
    if (index < 0) ThrowVincaError(VE_INVALID_COLDEF);
    return *g;
}

plat::HRESULT COleColDefs::query_other(plat::REFIID iid, void** out) {
    if (iid != IID_IVincaColDefs) return plat::E_NOINTERFACE;
    *out = static_cast<plat::IDispatch*>(this);
    AddRef();
    return plat::S_OK;
}

plat::HRESULT COleColDef::query_other(plat::REFIID iid, void** out) {
    if (iid != IID_IVincaColDef) return plat::E_NOINTERFACE;
    *out = static_cast<plat::IDispatch*>(this);
    AddRef();
    return plat::S_OK;
}

const plat::DispatchTable<COleColDefs>& COleColDefs::dispatch_table() {
    using Self = COleColDefs;
    constexpr auto P = plat::DispKind::Property;
    auto item = [](Self& self, Call& c) {
        self.m_grid->Control();
        CTreeGrid* g = self.m_grid->Find();
        const plat::VARIANT& key = plat::deref(c.arg(0));
        int32_t n = -1;
        if (key.vt == plat::VT_I2) n = key.iVal;
        if (key.vt == plat::VT_I4) n = key.lVal;
        if (!g || n < 0 || n >= g->ColumnCount()) ThrowVincaError(VE_BAD_INDEX);
        c.result() = ColumnObject(self.m_grid, g->Column(n));
    };
    static const plat::DispatchTable<Self> table{
        {.id = 0,
         .name = "_Item",
         .kind = P,
         .type = plat::VT_DISPATCH,
         .params = {{"Index", plat::VT_VARIANT, 0}},
         .get = item,
         .access = plat::kNoPut},
        {.id = 1,
         .name = "Count",
         .kind = P,
         .type = plat::VT_I4,
         .get =
             [](Self& self, Call& c) {
                 self.m_grid->Control();
                 CTreeGrid* g = self.m_grid->Find();
                 c.result() = Variant(g ? g->ColumnCount() : int32_t(0));
             },
         .access = plat::kNoPut},
        {.id = 2,
         .name = "Item",
         .kind = P,
         .type = plat::VT_DISPATCH,
         .params = {{"Index", plat::VT_VARIANT, 0}},
         .get = item,
         .access = plat::kNoPut},
        {.id = plat::DISPID_NEWENUM,
         .name = "_NewEnum",
         .kind = plat::DispKind::Method,
         .type = plat::VT_UNKNOWN,
         .get =
             [](Self& self, Call& c) {
                 self.m_grid->Control();
                 std::vector<Variant> columns;
                 if (CTreeGrid* g = self.m_grid->Find())
                     for (int32_t i = 0; i < g->ColumnCount(); ++i)
                         columns.push_back(ColumnObject(self.m_grid, g->Column(i)));
                 auto e = plat::create_variant_enum(std::move(columns));
                 c.result() = Variant(static_cast<plat::IUnknown*>(e.get()));
             }},
    };
    return table;
}

const plat::DispatchTable<COleColDef>& COleColDef::dispatch_table() {
    using Self = COleColDef;
    constexpr auto P = plat::DispKind::Property;
    auto cell_get = [](Self& self, Call& c) {
        int32_t index = -1;
        self.Grid(index);
        c.result() = CellDefObject(self.m_grid->Link(), CellDefKind::Own,
                                   std::make_shared<ColumnTarget>(plat::ComPtr<Self>(&self)));
    };
    auto cell_put = [](Self& self, Call& c) {
        int32_t index = -1;
        self.Grid(index);
        ClearCellDef(self.m_grid->Control(), c.value(),
                     std::make_shared<ColumnTarget>(plat::ComPtr<Self>(&self)));
    };
    static const plat::DispatchTable<Self> table{
        {.id = 0,
         .name = "_CellDef",
         .kind = P,
         .type = plat::VT_DISPATCH,
         .get = cell_get,
         .put = cell_put,
         .put_type = plat::VT_VARIANT},
        {.id = 1,
         .name = "CellDef",
         .kind = P,
         .type = plat::VT_DISPATCH,
         .get = cell_get,
         .put = cell_put,
         .put_type = plat::VT_VARIANT},
        {.id = 2,
         .name = "Visible",
         .kind = P,
         .type = plat::VT_BOOL,
         .get =
             [](Self& self, Call& c) {
                 int32_t index = -1;
                 self.Grid(index);
                 c.result() = Variant::boolean(self.m_column->Visible());
             },
         .put =
             [](Self& self, Call& c) {
                 int32_t index = -1;
                 self.Grid(index);
                 const bool on = c.value().boolVal != 0;
                 if (on == self.m_column->Visible()) return;
                 self.m_column->SetVisible(on);
                 self.m_grid->Control().RequestRefresh(1, 0);
                 self.m_grid->Control().MarkModified();
             }},
        {.id = 3,
         .name = "ValueName",
         .kind = P,
         .type = plat::VT_VARIANT,
         .get =
             [](Self& self, Call& c) {
                 int32_t index = -1;
                 self.Grid(index);
                 const CVincaName* key = self.m_column->Key();
                 c.result() = key ? Variant(std::string_view(key->Text())) : Variant();
             },
         .put =
             [](Self& self, Call& c) {
                 int32_t index = -1;
                 self.Grid(index);
                 CVincaCtrl& ctl = self.m_grid->Control();
                 NoticePair notices(ctl);
                 const plat::VARIANT& v = plat::deref(c.value());
                 // Only a non-empty text names the column.
                 if (v.vt != plat::VT_BSTR) return;
                 const std::string text = plat::bstr_to_utf8(v.bstrVal);
                 if (text.empty()) return;
                 const CVincaName* key = GlobalName(text);
                 if (!key) ThrowVincaError(VE_OUT_OF_MEMORY);
                 self.m_column->SetKey(key);
                 ctl.MarkModified();
             }},
        {.id = 4,
         .name = "Index",
         .kind = P,
         .type = plat::VT_I4,
         .get =
             [](Self& self, Call& c) {
                 int32_t index = -1;
                 self.Grid(index);
                 c.result() = Variant(index);
             },
         .access = plat::kNoPut},
        {.id = 5,
         .name = "Grid",
         .kind = P,
         .type = plat::VT_DISPATCH,
         .get =
             [](Self& self, Call& c) {
                 self.m_grid->Control();
                 c.result() = Variant(static_cast<plat::IDispatch*>(self.m_grid.get()));
             },
         .access = plat::kNoPut},
        {.id = 6,
         .name = "MoveTo",
         .kind = plat::DispKind::Method,
         .type = plat::VT_EMPTY,
         .params = {{"NewIndex", plat::VT_I4, 0}},
         .get =
             [](Self& self, Call& c) {
                 int32_t index = -1;
                 CTreeGrid& g = self.Grid(index);
                 CVincaCtrl& ctl = self.m_grid->Control();
                 bool moved = true;
                 {
                     NoticePair notices(ctl);
                     if (c.i4(0) != index) {
                         moved = g.MoveColumn(index, c.i4(0));
                         if (moved) {
                             ctl.RequestRefresh(1, 0);
                             ctl.MarkModified();
                         }
                     }
                 }
                 if (!moved) ThrowVincaError(VE_INVALID_COLDEF);
             }},
        {.id = 7,
         .name = "Width",
         .kind = P,
         .type = plat::VT_R4,
         .get =
             [](Self& self, Call& c) {
                 int32_t index = -1;
                 self.Grid(index);
                 c.result() = Variant(static_cast<float>(
                     std::lround(1440.0 * self.m_column->Width() / CTreeGrid::PixelsPerInch())));
             },
         .put =
             [](Self& self, Call& c) {
                 int32_t index = -1;
                 CTreeGrid& g = self.Grid(index);
                 const double value = c.value().fltVal;
                 if (!std::isfinite(value) || std::fabs(value) > 2147483647.0)
                     ThrowVincaError(VE_INVALID_ARGUMENT);
                 const double twips = std::trunc(value);
                 const double px = std::round(CTreeGrid::PixelsPerInch() * twips / 1440.0);
                 // The first column is the row titles: their width follows.
                 if (index == 0 && px >= 0) {
                     g.SetRowTitleWidthPixels(static_cast<int32_t>(px));
                     g.m_rowTitleWidth = static_cast<float>(twips);
                 }
                 if (px >= 0) self.m_column->SetWidth(static_cast<int32_t>(px));
                 self.m_grid->Control().RequestRefresh(1, 0);
                 self.m_grid->Control().MarkModified();
             }},
    };
    return table;
}

} // namespace vinca
