// Tree grids: columns, settings, cells and their stream record.
#include "vinca/model/grid.h"

#include <atomic>
#include <cmath>

#include "platform/base/strings.h"
#include "vinca/model/names.h"
#include "vinca/model/tree_stream.h"

namespace vinca {

using namespace plat;

namespace {

std::atomic<int32_t> g_pixelsPerInch{96};

// Smallest stored column: position and presence byte.
constexpr uint64_t kMinColumnBytes = 5;

int32_t twips_to_pixels(float twips) {
    return static_cast<int32_t>(
        std::lround(static_cast<double>(twips) * CTreeGrid::PixelsPerInch() / 1440.0));
}

float pixels_to_twips(int32_t px) {
    return static_cast<float>(static_cast<double>(px) * 1440.0 / CTreeGrid::PixelsPerInch());
}

void set_int(CAttrSet& set, std::string_view name, int32_t value) {
    set.SetInt(GlobalName(name), value);
}

bool read_presence(CTreeStream& ts, uint8_t& presence) {
    return ts.Bytes().ReadU8(presence);
}

// A stored size must be a number; anything else is damage.
bool read_size(CTreeStream& ts, float& out) {
    float v = 0;
    if (!ts.Bytes().ReadF32(v)) return false;
    if (!std::isfinite(v)) return ts.BadFormat();
    out = v;
    return true;
}

} // namespace

// ---- CColumnDef ----------------------------------------------------------

Ref<CColumnDef> CColumnDef::New(const CVincaName* key, int32_t width) {
    return Ref<CColumnDef>(new CColumnDef(key, width));
}

CAttrSet* CColumnDef::TitleDefs(bool create) {
    if (!m_titleDefs && create) m_titleDefs = CAttrSet::New();
    return m_titleDefs.get();
}

CAttrEntry* CColumnDef::TitleEntry(bool create) {
    if (!m_titleEntry && create) m_titleEntry = CAttrEntry::New(names::Value());
    return m_titleEntry.get();
}

CAttrSet* CColumnDef::TitleCellDef(bool create) {
    CAttrEntry* entry = TitleEntry(create);
    return entry ? entry->NestedSet(create) : nullptr;
}

void CColumnDef::Write(CTreeStream& ts) {
    CVincaStream& s = ts.Bytes();
    s.WriteU8(m_titleDefs ? 1 : 0);
    if (m_titleDefs) ts.WriteAttrList(*m_titleDefs);
    s.WriteU8(m_titleEntry ? 1 : 0);
    if (m_titleEntry) ts.WriteAttrEntry(*m_titleEntry);
    ts.WriteNameRef(m_key);
    s.WriteI32(m_width);
    s.WriteU8(m_visible ? 1 : 0);
}

bool CColumnDef::Read(CTreeStream& ts) {
    CVincaStream& s = ts.Bytes();
    uint8_t presence = 0;
    if (!read_presence(ts, presence)) return false;
    if (presence && !ts.ReadAttrList(*TitleDefs())) return false;
    if (!read_presence(ts, presence)) return false;
    if (presence && !ts.ReadAttrEntry(*TitleEntry())) return false;
    const CVincaName* key = ts.ReadNameRef();
    uint8_t visible = 1;
    if (!key || !s.ReadI32(m_width) || !s.ReadU8(visible)) return false;
    m_key = key;
    m_visible = visible != 0;
    return true;
}

// ---- CTreeGrid -----------------------------------------------------------

void CTreeGrid::SetPixelsPerInch(int32_t dpi) {
    g_pixelsPerInch = dpi > 0 ? dpi : 96;
}

int32_t CTreeGrid::PixelsPerInch() {
    return g_pixelsPerInch;
}

CTreeGrid::CTreeGrid(Kind kind) : m_rowTitleWidth(pixels_to_twips(25)), m_kind(kind) {}

Ref<CTreeGrid> CTreeGrid::New(Kind kind, float col_title_height_twips) {
    Ref<CTreeGrid> grid(new CTreeGrid(kind));
    grid->m_colTitleHeight = col_title_height_twips;
    grid->SetDefaultDefinitions();
    return grid;
}

void CTreeGrid::SetDefaultDefinitions() {
    CAttrSet& cells = *GridCellDef();
    set_int(cells, "__BorderStyle", 0);
    set_int(cells, "__BackColor", 0x2C0C0C0);
    set_int(cells, "__Multiline", 1);
    for (CAttrSet* titles : {ColTitleCellDef(), RowTitleCellDef()}) {
        set_int(*titles, "__BorderStyle", 4);
        set_int(*titles, "__BackColor", 0xC0C0C0);
        set_int(*titles, "__Multiline", 1);
        set_int(*titles, "__TextAlign", 5);
    }
}

Ref<CItemGridBase> CTreeGrid::CloneGrid() const {
    return Clone();
}

Ref<CTreeGrid> CTreeGrid::Clone() const {
    CVincaMemStream mem(1024);
    {
        CTreeStream out(mem, CTreeStream::MODE_WRITE);
        if (!out.Open()) return nullptr;
        const_cast<CTreeGrid*>(this)->Write(out);
        out.Close();
    }
    if (mem.Failed() || mem.Seek(0, FROM_START) != VE_OK) return nullptr;
    CTreeStream in(mem, CTreeStream::MODE_READ);
    Ref<CTreeGrid> copy(new CTreeGrid(m_kind));
    if (!in.Open() || !copy->Read(in)) return nullptr;
    return copy;
}

CColumnDef* CTreeGrid::Column(int32_t index) const {
    return index >= 0 && index < ColumnCount() ? m_columns[static_cast<size_t>(index)].get() : nullptr;
}

const CVincaName* CTreeGrid::ColumnKey(int32_t index) const {
    if (index == 0) return names::RowTitle();
    if (index == 1) return m_kind == TREE_GRID ? names::Tree() : names::ItemTreeColumn();
    return GlobalName(strprintf(m_kind == TREE_GRID ? "T%d" : "I%d", index));
}

VResult CTreeGrid::SetColumnCount(int32_t n) {
    if (n < 1) n = 1; // the row-title column stays
    while (ColumnCount() > n)
        m_columns.pop_back();
    while (ColumnCount() < n) {
        int32_t index = ColumnCount();
        const CVincaName* key = ColumnKey(index);
        if (!key) return VE_OUT_OF_MEMORY;
        int32_t width = index == 0 ? 25 : key == names::Tree() ? 200 : 80;
        m_columns.push_back(CColumnDef::New(key, width));
    }
    return VE_OK;
}

int32_t CTreeGrid::ColumnIndexOf(const CColumnDef* column) const {
    for (size_t i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].get() == column) return static_cast<int32_t>(i);
    return -1;
}

bool CTreeGrid::MoveColumn(int32_t from, int32_t to) {
    const int32_t n = ColumnCount();
    if (from < 0 || from >= n || to < 0 || to >= n) return false;
    Ref<CColumnDef> moved = m_columns[static_cast<size_t>(from)];
    m_columns.erase(m_columns.begin() + from);
    m_columns.insert(m_columns.begin() + to, std::move(moved));
    return true;
}

void CTreeGrid::AppendColumn(Ref<CColumnDef> column) {
    m_columns.push_back(std::move(column));
}

int32_t CTreeGrid::VisibleColumnCount() const {
    int32_t n = 0;
    for (int32_t c = (m_kind == TREE_GRID || !m_rowTitleColumn) ? 1 : 0; c < ColumnCount(); ++c)
        if (m_columns[static_cast<size_t>(c)]->Visible() && m_columns[static_cast<size_t>(c)]->Width() > 0)
            ++n;
    return n;
}

int32_t CTreeGrid::ColumnAtVisible(int32_t pos) const {
    int32_t n = 0;
    for (int32_t c = (m_kind == TREE_GRID || !m_rowTitleColumn) ? 1 : 0; c < ColumnCount(); ++c) {
        const CColumnDef& col = *m_columns[static_cast<size_t>(c)];
        if (col.Visible() && col.Width() > 0 && n++ == pos) return c;
    }
    return -1;
}

int32_t CTreeGrid::VisiblePosition(int32_t column) const {
    for (int32_t pos = 0, c; (c = ColumnAtVisible(pos)) >= 0; ++pos)
        if (c == column) return pos;
    return -1;
}

int32_t CTreeGrid::RowCount() const {
    return m_owner ? m_owner->ChildCount() : 0;
}

CItem* CTreeGrid::RowItem(int32_t row) const {
    CItemNode* node = m_owner ? m_owner->ChildNode() : nullptr;
    return node && row >= 1 ? node->GetAt(row - 1) : nullptr;
}

CAttrEntry* CTreeGrid::Cell(int32_t column, int32_t row) const {
    CItem* item = RowItem(row);
    CColumnDef* col = Column(column);
    if (!item || !col || !item->ItemData()) return nullptr;
    return item->ItemData()->Values().Find(col->Key());
}

namespace {
// Switches the engine to the grid's addressing for one row operation.
class RowScope {
  public:
    RowScope(CVincaEngine& engine, CTreeGrid::Kind kind, CItemNode* node)
        : m_engine(engine), m_method(engine.CurrentIndexMethod()), m_parent(engine.Cursor().CurrentParent()) {
        m_engine.SetCurrentIndexMethod(kind == CTreeGrid::ITEM_GRID ? VNSYS_LEVEL : VNSYS_ENUM);
        m_engine.Cursor().SetCurrentParent(node);
    }
    ~RowScope() {
        m_engine.SetCurrentIndexMethod(m_method);
        m_engine.Cursor().SetCurrentParent(m_parent);
    }

  private:
    CVincaEngine& m_engine;
    int16_t m_method;
    CItemNode* m_parent;
};
} // namespace

int32_t CTreeGrid::ItemIndexToRow(CVincaEngine& engine, int32_t index) const {
    CItem* item = engine.ItemFromIndex(index);
    if (!item || !m_owner) return -1;
    if (item == m_owner) return 0;
    if (!item->ParentNode() || item->ParentNode() != m_owner->ChildNode()) return -1;
    return item->GetIndex() + 1;
}

int32_t CTreeGrid::RowToItemIndex(CVincaEngine& engine, int32_t row) const {
    if (row == 0) return m_owner ? engine.ItemIndex(m_owner) : -1;
    CItem* item = row <= RowCount() ? RowItem(row) : nullptr;
    return item ? engine.ItemIndex(item) : -1;
}

bool CTreeGrid::AppendRow(CVincaEngine& engine, std::string_view text) {
    CItemNode* node = m_owner ? m_owner->GetChildNode() : nullptr;
    if (!node) return false;
    RowScope scope(engine, m_kind, node);
    return engine.AddItem(text) == VE_OK;
}

VResult CTreeGrid::InsertRow(CVincaEngine& engine, int32_t before, std::string_view text, CItem** made) {
    CItemNode* node = m_owner ? m_owner->GetChildNode() : nullptr;
    if (!node) return VE_OUT_OF_MEMORY;
    RowScope scope(engine, m_kind, node);
    const int32_t at = before >= 1 && before <= RowCount() ? before - 1 : -1;
    // A sorted owner places the row by its sort; otherwise it goes where asked.
    const int method = m_owner->SortMethod();
    return engine.InsertItem({node, at}, text, 0, method ? method : 0, made);
}

VResult CTreeGrid::FillRow(CVincaEngine& engine, CItem& item, std::string_view text, char delimiter) {
    int32_t col = 1;
    for (size_t start = 0; start <= text.size(); ++col) {
        size_t end = text.find(delimiter, start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view piece = text.substr(start, end - start);
        start = end + 1;
        if (piece.empty()) continue;
        if (ColumnCount() < col + 1)
            if (VResult r = SetColumnCount(col + 1)) return r;
        const CVincaName* key = Column(col)->Key();
        if (!key) continue;
        if (key == names::Tree() || key == names::ItemTreeColumn()) {
            if (VResult r = engine.SetListText(&item, piece)) return r;
            continue;
        }
        CItemData* data = item.GetItemData();
        if (!data) return VE_OUT_OF_MEMORY;
        if (VResult r = data->Values().SetOrAddValue(key, plat::Variant::ansi(piece))) return r;
    }
    return VE_OK;
}

VResult CTreeGrid::RemoveRow(CVincaEngine& engine, int32_t row) {
    CItem* item = row >= 1 && row <= RowCount() ? RowItem(row) : nullptr;
    if (!item) return VE_BAD_INDEX;
    RowScope scope(engine, m_kind, m_owner->ChildNode());
    return engine.RemoveItem(item);
}

CAttrSet* CTreeGrid::GridCellDef(bool create) {
    if (!m_gridCellDef && create) m_gridCellDef = CAttrSet::New();
    return m_gridCellDef.get();
}

CAttrSet* CTreeGrid::ColTitleCellDef(bool create) {
    if (!m_colTitleCellDef && create) m_colTitleCellDef = CAttrSet::New();
    return m_colTitleCellDef.get();
}

CAttrSet* CTreeGrid::RowTitleCellDef(bool create) {
    if (ColumnCount() == 0) {
        if (!create) return nullptr;
        SetColumnCount(1);
    }
    return m_columns[0]->TitleDefs(create);
}

bool CTreeGrid::Lookup(const CVincaName* name, Variant& out) const {
    if (name == names::HorLineColor())
        out = Variant(m_horLineColor);
    else if (name == names::VerLineColor())
        out = Variant(m_verLineColor);
    else if (name == names::HorLinesVisible())
        out = Variant::boolean(HorLinesVisible());
    else if (name == names::VerLinesVisible())
        out = Variant::boolean(VerLinesVisible());
    else if (name == names::AutoFillColTitles())
        out = Variant(int32_t(m_autoFillColTitles));
    else if (name == names::AutoFillRowTitles())
        out = Variant(int32_t(m_autoFillRowTitles));
    else if (m_kind == TREE_GRID && m_rowHeight != -1.0f && name == names::ItemHeight())
        out = Variant(m_rowHeight);
    else
        return false;
    return true;
}

int32_t CTreeGrid::RowTitleWidthPixels() const {
    return twips_to_pixels(m_rowTitleWidth);
}

void CTreeGrid::SetRowTitleWidthPixels(int32_t px) {
    m_rowTitleWidth = pixels_to_twips(px);
    if (ColumnCount() == 0) SetColumnCount(1);
    if (m_columns[0]->Width() != px) m_columns[0]->SetWidth(px);
}

int32_t CTreeGrid::ColTitleHeightPixels() const {
    if (m_colTitleHeight == -1.0f) return -1;
    return m_colTitleHeight <= 0 ? 0 : twips_to_pixels(m_colTitleHeight);
}

void CTreeGrid::SetColTitleHeightPixels(int32_t px) {
    m_colTitleHeight = px < 0 ? -1.0f : pixels_to_twips(px);
}

void CTreeGrid::Write(CTreeStream& ts) {
    CVincaStream& s = ts.Bytes();
    s.WriteU32(static_cast<uint32_t>(ColumnCount()));
    for (int32_t i = 0; i < ColumnCount() && !ts.Failed(); ++i) {
        s.WriteI32(i);
        s.WriteU8(1);
        m_columns[static_cast<size_t>(i)]->Write(ts);
    }
    s.WriteU8(m_gridCellDef ? 1 : 0);
    if (m_gridCellDef) ts.WriteAttrList(*m_gridCellDef);
    s.WriteU8(m_colTitleCellDef ? 1 : 0);
    if (m_colTitleCellDef) ts.WriteAttrList(*m_colTitleCellDef);
    s.WriteU8(m_gridFlag);
    s.WriteU8(m_titleBands);
    s.WriteI32(m_horThickness);
    s.WriteI32(m_horLineColor);
    s.WriteI32(m_verThickness);
    s.WriteI32(m_verLineColor);
    s.WriteU8(m_rowTitleColumn);
    s.WriteU8(m_displayFlag2);
    s.WriteU8(m_autoFillColTitles);
    s.WriteU8(m_autoFillRowTitles);
    s.WriteI32(m_gridLinesColor);
    s.WriteF32(m_rowTitleWidth);
    s.WriteF32(m_colTitleHeight);
    s.WriteF32(m_rowHeight);
}

bool CTreeGrid::Read(CTreeStream& ts) {
    CVincaStream& s = ts.Bytes();
    uint32_t count = 0;
    if (!s.ReadU32(count)) return false;
    if (auto left = s.Remaining(); left && *left / kMinColumnBytes < count) return ts.BadFormat();
    m_columns.clear();
    for (uint32_t i = 0; i < count; ++i) {
        int32_t position = 0;
        uint8_t presence = 0;
        if (!s.ReadI32(position) || !s.ReadU8(presence)) return false;
        if (!presence) continue;
        Ref<CColumnDef> col = CColumnDef::New(nullptr, 80);
        if (!col->Read(ts)) return false;
        if (col->Key()) // the stored position is not used: columns keep their stored order
            AppendColumn(std::move(col));
    }
    uint8_t presence = 0;
    if (!read_presence(ts, presence)) return false;
    if (presence) {
        m_gridCellDef = CAttrSet::New();
        if (!ts.ReadAttrList(*m_gridCellDef)) return false;
    }
    if (!read_presence(ts, presence)) return false;
    if (presence) {
        m_colTitleCellDef = CAttrSet::New();
        if (!ts.ReadAttrList(*m_colTitleCellDef)) return false;
    }
    int32_t hor = 1, ver = 1;
    if (!s.ReadU8(m_gridFlag) || !s.ReadU8(m_titleBands) || !s.ReadI32(hor) || !s.ReadI32(m_horLineColor) ||
        !s.ReadI32(ver) || !s.ReadI32(m_verLineColor) || !s.ReadU8(m_rowTitleColumn) ||
        !s.ReadU8(m_displayFlag2) || !s.ReadU8(m_autoFillColTitles) || !s.ReadU8(m_autoFillRowTitles))
        return false;
    if (hor >= 0) m_horThickness = hor;
    if (ver >= 0) m_verThickness = ver;
    if (ts.Version() >= 5 && !s.ReadI32(m_gridLinesColor)) return false;
    if (ts.Version() >= 11) {
        if (!read_size(ts, m_rowTitleWidth) || !read_size(ts, m_colTitleHeight)) return false;
    } else {
        m_colTitleHeight = pixels_to_twips(35);
    }
    if (ts.Version() >= 15 && !read_size(ts, m_rowHeight)) return false;
    return !ts.Failed();
}

void WriteGridRecord(CTreeStream& ts, CItemGridBase* grid) {
    auto* g = dynamic_cast<CTreeGrid*>(grid);
    ts.Bytes().WriteU8(g ? 1 : 0);
    if (g) g->Write(ts);
}

bool ReadGridRecord(CTreeStream& ts, Ref<CItemGridBase>& out) {
    out.reset();
    uint8_t presence = 0;
    if (!ts.Bytes().ReadU8(presence)) return false;
    if (!presence) return true;
    Ref<CTreeGrid> grid = CTreeGrid::New(CTreeGrid::ITEM_GRID);
    if (!grid->Read(ts)) return false;
    out = grid;
    return true;
}

} // namespace vinca
