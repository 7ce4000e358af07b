// Persisted properties: the tree sub-object, the cell-definition blob and
// the ordered property list with its version rules.
#include "vinca/model/persist.h"

#include <mutex>

#include "platform/com/factory.h"
#include "platform/com/loader.h"
#include "vinca/model/stream_ole.h"
#include "vinca/model/tree_stream.h"
#include "vinca/model/tree_stream_records.h"
#include "vinca/model/values.h"

namespace vinca {

using namespace plat;

// ---- CTreeSerializeObject ------------------------------------------------

const DispatchTable<CTreeSerializeObject>& CTreeSerializeObject::dispatch_table() {
    static const DispatchTable<CTreeSerializeObject> table{};
    return table;
}

HRESULT CTreeSerializeObject::GetClassID(CLSID* out) {
    if (!out) return E_POINTER;
    *out = CLSID_TreeSerializeObject;
    return S_OK;
}

HRESULT CTreeSerializeObject::Save(IStream* stream, BOOL) {
    try {
        CVincaOleStream bytes(stream);
        CTreeStream ts(bytes, CTreeStream::MODE_WRITE);
        if (!ts.Open() || ts.Version() <= 3) {
            lastError = VE_FILE_INIT;
            return E_FAIL;
        }
        CVincaStream& s = ts.Bytes();
        s.WriteU8(root ? 2 : 0);
        if (root) WriteItemRecord(ts, *root, true);
        s.WriteU8(slots ? 1 : 0);
        if (slots) slots->Write(ts);
        s.WriteU8(grid ? 1 : 0);
        if (grid) grid->Write(ts);
        s.WriteU8(levels ? 1 : 0);
        if (levels) levels->Write(ts);
        ts.Close();
        lastError = bytes.Error();
    } catch (...) {
        lastError = VE_OUT_OF_MEMORY;
    }
    return lastError == VE_OK ? S_OK : E_FAIL;
}

HRESULT CTreeSerializeObject::Load(IStream* stream) {
    try {
        CVincaOleStream bytes(stream);
        CTreeStream ts(bytes, CTreeStream::MODE_READ);
        if (!ts.Open()) {
            lastError = bytes.Error();
            return E_FAIL;
        }
        if (ts.Version() <= 3) {
            lastError = VE_FILE_INIT;
            return E_FAIL;
        }
        CVincaStream& s = ts.Bytes();
        Ref<CItem> new_root;
        Ref<CPictureSlots> new_slots;
        Ref<CTreeGrid> new_grid;
        Ref<CLevelDefs> new_levels;
        uint8_t kind = 0, presence = 0;
        bool ok = s.ReadU8(kind);
        if (ok && kind == 1) {
            new_root = CRootItem::New();
            ok = new_root->GetChildNode() && ReadNodeRecord(ts, *new_root->GetChildNode());
        } else if (ok && kind == 2) {
            new_root = CRootItem::New();
            ok = ReadItemRecord(ts, *new_root);
        } else if (ok) {
            ok = false; // nothing stored: the load fails
        }
        if (ok && (ok = s.ReadU8(presence)) && presence) {
            new_slots = CPictureSlots::New();
            ok = new_slots->Read(ts);
        }
        if (ok && (ok = s.ReadU8(presence)) && presence) {
            new_grid = CTreeGrid::New(CTreeGrid::TREE_GRID);
            ok = new_grid->Read(ts);
        }
        if (ok && (ok = s.ReadU8(presence)) && presence) {
            new_levels = CLevelDefs::New();
            ok = new_levels->Read(ts);
        }
        std::vector<ComPtr<IDispatch>> loaded = ts.LoadedPictures();
        ts.Close();
        lastError = bytes.Error();
        if (!ok || lastError != VE_OK) {
            if (lastError == VE_OK) lastError = VE_BAD_FILE_FORMAT;
            return E_FAIL;
        }
        root = new_root;
        slots = new_slots;
        grid = new_grid;
        levels = new_levels;
        pictures = std::move(loaded);
    } catch (...) {
        lastError = VE_OUT_OF_MEMORY;
        return E_FAIL;
    }
    return S_OK;
}

// ---- the cell-definition blob --------------------------------------------

std::optional<GlobalBlock> SaveAttrSetBlob(const CAttrSet& set) {
    CVincaMemStream mem(512);
    CTreeStream ts(mem, CTreeStream::MODE_WRITE);
    if (ts.Open()) ts.WriteAttrList(set);
    ts.Close();
    if (mem.Failed()) return std::nullopt;
    return DetachToGlobal(mem.Store(), true);
}

VResult LoadAttrSetBlob(std::span<const uint8_t> blob, CAttrSet& set) {
    CVincaByteArray store(512);
    if (!AttachFromGlobal(store, blob, true)) return VE_BAD_FILE_FORMAT;
    CVincaMemStream mem(store);
    CTreeStream ts(mem, CTreeStream::MODE_READ);
    Ref<CAttrSet> read = CAttrSet::New();
    if (ts.Open()) ts.ReadAttrList(*read);
    if (VResult r = mem.Error()) return r;
    return set.CopyFrom(*read);
}

// ---- the property list ---------------------------------------------------

namespace {

using K = PropKind;
using D = PropDefault;

constexpr PersistedProperty kProperties[] = {
    {"ForeColor", K::Color, D::None, 0, 0},
    {"BackColor", K::Color, D::None, 0, 0},
    {"SelForeColor", K::Color, D::None, 0, 0},
    {"SelBackColor", K::Color, D::None, 0, 0},
    {"ShiftStep", K::ScaledX, D::None, 0, 0},
    {"ItemImageDefHeight", K::ScaledY, D::None, 0, 0},
    {"ItemImageDefWidth", K::ScaledX, D::None, 0, 0},
    {"WidthOfText", K::ScaledX, D::None, 0, 0},
    {"TabStopDistance", K::ScaledX, D::None, 0, 0},
    {"MarkHeight", K::ScaledY, D::None, 0, 0},
    {"MarkWidth", K::ScaledX, D::None, 0, 0},
    {"TitleHeight", K::ScaledY, D::None, 0, 0},
    {"XOffset", K::ScaledX, D::None, 0, 0},
    {"TriggerEvents", K::Long, D::None, 0, 0},
    {"PathSeparator", K::String, D::None, 0, 0},
    {"Caption", K::String, D::None, 0, 0},
    {"FixedSize", K::Boolean, D::None, 0, 0},
    {"ShowChildren", K::Boolean, D::None, 0, 0},
    {"ExpandChildren", K::Boolean, D::None, 0, 0},
    {"ExpandNewItem", K::Boolean, D::None, 0, 0},
    {"Scrollbars", K::Short, D::None, 0, 0},
    {"PictureRoot", K::Picture, D::None, 0, 0},
    {"PictureOpen", K::Picture, D::None, 0, 0},
    {"PictureClosed", K::Picture, D::None, 0, 0},
    {"PictureLeaf", K::Picture, D::None, 0, 0},
    {"PictureInverted", K::Picture, D::None, 0, 0},
    {"PicturePlus", K::Picture, D::None, 0, 0},
    {"PictureMinus", K::Picture, D::None, 0, 0},
    {"PictureMark", K::Picture, D::None, 0, 0},
    {"ImageStretch", K::Boolean, D::None, 0, 0},
    {"NoIntegralHeight", K::Boolean, D::None, 0, 0},
    {"DisableNoScroll", K::Boolean, D::None, 0, 0},
    {"NoPictureRoot", K::Boolean, D::None, 0, 0},
    {"MSOutlineAdd", K::Boolean, D::None, 0, 0},
    {"BackwardCompatibility", K::Boolean, D::None, 0, 0},
    {"InvStyle", K::Short, D::None, 0, 0},
    {"ViewStyle", K::Short, D::None, 0, 0},
    {"MultiSelect", K::Short, D::None, 0, 0},
    {"PictureType", K::Short, D::None, 0, 0},
    {"CurrentIndexMethod", K::Short, D::None, 0, 0},
    {"ViewStyleEx", K::Short, D::None, 0, 0},
    {"AutoExpand", K::Short, D::None, 0, 0},
    {"TreeLinesStyle", K::Short, D::None, 0, 0},
    {"PicInMultiLine", K::Short, D::None, 0, 0},
    {"ShowCaption", K::Short, D::None, 0, 0},
    {"ShowTitles", K::Short, D::None, 0, 0},
    {"AutoScrDuringDragDrop", K::Short, D::None, 0, 0},
    {"DragHighlight", K::Short, D::None, 0, 0},
    {"MousePointer", K::Short, D::None, 0, 0x30000},
    {"MouseIcon", K::Picture, D::None, 0, 0x30000},
    {"DefMultiLine", K::Boolean, D::None, 0, 0x40000},
    {"SmartDragDrop", K::Boolean, D::None, 0, 0x50000},
    {"WidthOfTextMin", K::Long, D::None, 0, 0x50000},
    {"TreeLinesColor", K::Color, D::ForeColor, 0, 0x60002},
    {"DrawFocusRect", K::Boolean, D::Value, 1, 0x60002},
    {"Environment", K::Short, D::Value, 0, 0x60002},
    {"ExplorerCompatible", K::Short, D::Value, 0, 0x60002},
    {"ToolTipsMode", K::Short, D::Value, 0, 0x60002},
    {"ToolTipsViewStyle", K::Short, D::Value, 0, 0x60002},
    {"ToolTipsForeColor", K::Color, D::Current, 0, 0x60002},
    {"ToolTipsBackColor", K::Color, D::Current, 0, 0x60002},
    {"WebAutoNavigate", K::Short, D::Value, 0, 0x60005},
    {"WebTargetFrame", K::String, D::None, 0, 0x60005},
    {"WebURLBase", K::String, D::None, 0, 0x60005},
    {"IsTreeDataAvailable", K::Boolean, D::Value, 0, 0x60005},
    {"TreeData", K::SubObject, D::None, 0, 0x60005},
    {"BackPicture", K::Picture, D::None, 0, 0x60005},
    {"BackPictureAlignment", K::Short, D::Value, 0, 0x60005},
    {"GradientColorFrom", K::Color, D::Value, 0xFFFFFF, 0x60007},
    {"GradientColorTo", K::Color, D::Value, 0xFF0000, 0x60007},
    {"GradientStyle", K::Short, D::None, 0, 0x60007},
    {"TransparentBackground", K::Boolean, D::None, 0, 0x60007},
    {"DefBorderStyle", K::Short, D::None, 0, 0x60007},
    {"DefPictureAlignment", K::Short, D::None, 0, 0x60007},
    {"DefAlignment", K::Short, D::None, 0, 0x60007},
    {"DefTextAlignment", K::Short, D::None, 0, 0x60007},
    {"DefBorderColor", K::Color, D::WindowFrame, 0, 0x60007},
    {"InvBorderStyle", K::Short, D::Value, 1, 0x60007},
    {"ShowHiddenItems", K::Boolean, D::None, 0, 0x60008},
    {"DefItemCellBackColor", K::Color, D::Value, 0x2C0C0C0, 0x60009},
    {"_InternalVersion", K::ULong, D::None, 0, 0x60009},
    {"OLEDropMode", K::Short, D::Value, 0, 0x70000, true},
    {"ColDelimiter", K::Short, D::Value, 9, 0x70000, true},
    {"ConvertTabsToCols", K::Boolean, D::Value, 1, 0x70000, true},
    {"ItemHeight", K::Float, D::Value, -1, 0x70000, true},
    {"PicturePalette", K::Picture, D::None, 0, 0x70002, true},
    {"TransparentBitmap", K::Boolean, D::Value, 0, 0x70004, true},
    {"TransparentBitmapColor", K::Color, D::Value, 0xFFFFFF, 0x70004, true},
    {"ToolTipsDelay", K::Long, D::Value, 400, 0x70005, true, true},
    {"DragIconStyle", K::Short, D::Value, 0, 0x70006, true, true},
    {"ExchangeDefItemCellDef", K::Blob, D::None, 0, 0x70009, true},
};
static_assert(std::size(kProperties) == 91);

// Rows by their 1-based numbers in the list.
constexpr size_t kScaledFirst = 5, kScaledLast = 13;
constexpr size_t kLastBefore60009 = 79;
constexpr size_t kIsTreeDataAvailable = 65, kTreeData = 66;
constexpr size_t kInternalVersionRow = 81, kColDelimiter = 83;
constexpr size_t kAfterRetiredGradients = 88, kAfterRetiredPictureSizes = 89;
constexpr uint32_t kClassIdAsVersion = 0x9D998150;

bool skipped_in_60000(size_t row) {
    return row == 10 || row == 11 || row == 12 || row == 29 || row == 45 || row == 46;
}

void register_tree_object_class() {
    static std::once_flag once;
    std::call_once(once, [] {
        register_linked_class(CLSID_TreeSerializeObject, creator_of<CTreeSerializeObject>(),
                              "Vinca.TREEOBJECT.5");
    });
}

std::vector<uint8_t> picture_blob(const Variant& v) {
    auto pic = ValuePicture(v);
    auto* p = static_cast<IVincaPicture*>(pic.get());
    if (!p) return {};
    std::vector<uint8_t> out{static_cast<uint8_t>(p->Type())};
    out.insert(out.end(), p->Data().begin(), p->Data().end());
    return out;
}

Variant picture_from_blob(const std::vector<uint8_t>& blob) {
    Variant v;
    if (blob.size() > 1)
        if (auto pic =
                NewPicture(static_cast<PictureType>(blob[0]), std::string(blob.begin() + 1, blob.end())))
            ValueSetPicture(v, pic.get());
    return v;
}

class Exchanger {
  public:
    Exchanger(PropExchange& px, IPersistTarget& target) : m_px(px), m_t(target) {}

    void Run() {
        m_version = m_px.exchange_version(kPropVersion);
        if (m_px.loading() && m_version == kClassIdAsVersion) {
            int32_t dummy = 0;
            for (int i = 0; i < 3; ++i)
                m_px.exchange_long("Dummy", dummy);
            m_version = m_px.exchange_version(kPropVersion);
        }
        m_internal = m_px.loading() ? 0 : kInternalVersion;
        for (size_t row = 1; row <= std::size(kProperties); ++row) {
            if (m_px.loading() && m_version < kPropVersion && row > kLastBefore60009) break;
            Row(row, kProperties[row - 1]);
            if (row == kAfterRetiredGradients) RetiredGradients();
            if (row == kAfterRetiredPictureSizes) RetiredPictureSizes();
        }
    }

  private:
    bool Gate(size_t row, const PersistedProperty& p) {
        if (row >= kScaledFirst && row <= kScaledLast && m_t.ConvertingProperties()) return false;
        if (!m_px.loading()) return true;
        if (m_version == 0x60000 && skipped_in_60000(row)) return false;
        if (p.internal) return p.above ? m_internal > p.from : m_internal >= p.from;
        return m_version >= p.from;
    }

    void Row(size_t row, const PersistedProperty& p) {
        if (!Gate(row, p)) return;
        if (row == kTreeData && !m_treeDataAvailable) return;
        if (row == kInternalVersionRow) {
            uint32_t v = kInternalVersion;
            m_px.exchange_ulong(p.name, v);
            m_internal = v;
            return;
        }
        if (row == kColDelimiter && m_px.loading() && m_internal == 0x70000) {
            std::string text = "\t";
            if (m_px.exchange_string(p.name, text, std::string("\t")))
                m_t.Apply(p, Variant(int16_t(text.empty() ? 9 : static_cast<uint8_t>(text[0]))));
            return;
        }
        Variant current = p.kind == K::Blob ? Variant() : m_t.Get(p);
        switch (p.kind) {
        case K::Boolean: {
            bool v = ValueToInt(current) != 0;
            auto def = p.def == D::Value ? std::optional<bool>(p.default_value != 0) : std::nullopt;
            if (m_px.exchange_bool(p.name, v, def) && m_px.loading()) m_t.Apply(p, Variant::boolean(v));
            if (row == kIsTreeDataAvailable)
                m_treeDataAvailable = m_px.loading() ? v : ValueToInt(current) != 0;
            break;
        }
        case K::Short: {
            int16_t v = static_cast<int16_t>(ValueToInt(current));
            auto def = p.def == D::Value ? std::optional<int16_t>(static_cast<int16_t>(p.default_value))
                                         : std::nullopt;
            if (m_px.exchange_short(p.name, v, def) && m_px.loading()) m_t.Apply(p, Variant(v));
            break;
        }
        case K::Long: {
            int32_t v = ValueToInt(current);
            auto def = p.def == D::Value ? std::optional<int32_t>(p.default_value) : std::nullopt;
            if (m_px.exchange_long(p.name, v, def) && m_px.loading()) m_t.Apply(p, Variant(v));
            break;
        }
        case K::ULong: {
            uint32_t v = static_cast<uint32_t>(ValueToInt(current));
            if (m_px.exchange_ulong(p.name, v) && m_px.loading())
                m_t.Apply(p, Variant(static_cast<int32_t>(v)));
            break;
        }
        case K::Float: {
            float v = static_cast<float>(ValueToReal(current));
            auto def =
                p.def == D::Value ? std::optional<float>(static_cast<float>(p.default_value)) : std::nullopt;
            if (m_px.exchange_float(p.name, v, def) && m_px.loading()) m_t.Apply(p, Variant(v));
            break;
        }
        case K::Color: {
            uint32_t v = static_cast<uint32_t>(ValueToInt(current));
            std::optional<uint32_t> def;
            if (p.def == D::Value)
                def = static_cast<uint32_t>(p.default_value);
            else if (p.def == D::Current)
                def = v;
            else if (p.def == D::ForeColor)
                def = static_cast<uint32_t>(ValueToInt(m_t.Get(kProperties[0])));
            else if (p.def == D::WindowFrame)
                def = m_t.WindowFrameColor();
            if (m_px.exchange_color(p.name, v, def) && m_px.loading())
                m_t.Apply(p, Variant(static_cast<int32_t>(v)));
            break;
        }
        case K::String: {
            std::string v = ValueToText(current);
            if (m_px.exchange_string(p.name, v) && m_px.loading()) m_t.Apply(p, Variant(std::string_view(v)));
            break;
        }
        case K::ScaledX:
        case K::ScaledY: {
            bool horizontal = p.kind == K::ScaledX;
            if (m_px.loading() && m_version < 0x20000) {
                int16_t px = 0;
                if (m_px.exchange_short(p.name, px)) m_t.Apply(p, Variant(int32_t(px)));
                break;
            }
            int32_t units = m_t.ToContainerUnits(ValueToInt(current), horizontal);
            if (m_px.exchange_long(p.name, units) && m_px.loading())
                m_t.Apply(p, Variant(m_t.FromContainerUnits(units, horizontal)));
            break;
        }
        case K::Picture: {
            std::vector<uint8_t> blob = picture_blob(current);
            if (m_px.exchange_blob(p.name, blob) && m_px.loading()) m_t.Apply(p, picture_from_blob(blob));
            break;
        }
        case K::Blob: {
            CAttrSet* set = m_t.DefaultItemCellDef();
            if (!set) break;
            std::vector<uint8_t> blob;
            if (!m_px.loading())
                if (auto b = SaveAttrSetBlob(*set)) blob = std::move(*b);
            // A damaged blob leaves the definition as it was.
            if (m_px.exchange_blob(p.name, blob) && m_px.loading()) LoadAttrSetBlob(blob, *set);
            break;
        }
        case K::SubObject: {
            register_tree_object_class();
            ComPtr<IUnknown> obj;
            if (current.vt == plat::VT_UNKNOWN || current.vt == plat::VT_DISPATCH) obj = current.punkVal;
            if (m_px.exchange_object(p.name, obj, std::span(&CLSID_TreeSerializeObject, 1)) &&
                m_px.loading() && obj) {
                ComPtr<IDispatch> disp;
                obj->QueryInterface(IID_IDispatch, disp.put_void());
                m_t.Apply(p, Variant(disp.get()));
            }
            break;
        }
        }
    }

    // Data of internal versions 0x70005 to 0x70008 carried these; they are
    // read and dropped, never written.
    void RetiredGradients() {
        if (!m_px.loading() || m_internal <= 0x70004 || m_internal > 0x70008) return;
        int16_t s = 0;
        uint32_t c = 0;
        m_px.exchange_short("_DefItemCell_InnerGradientStyle", s);
        m_px.exchange_color("_DefItemCell_InnerGradientColorFrom", c);
        m_px.exchange_color("_DefItemCell_InnerGradientColorTo", c);
        m_px.exchange_short("_DefItemCell_InnerRTFStyle", s);
    }

    void RetiredPictureSizes() {
        if (!m_px.loading() || m_internal <= 0x70005 || m_internal > 0x70008) return;
        int32_t n = 0;
        m_px.exchange_long("_DefItemCell_InnerPictureHeight", n);
        m_px.exchange_long("_DefItemCell_InnerPictureWidth", n);
    }

    PropExchange& m_px;
    IPersistTarget& m_t;
    uint32_t m_version{kPropVersion};
    uint32_t m_internal{0};
    bool m_treeDataAvailable{false};
};

} // namespace

std::span<const PersistedProperty> PersistedProperties() {
    return kProperties;
}

const PersistedProperty* FindPersistedProperty(std::string_view name) {
    for (const PersistedProperty& p : kProperties)
        if (p.name == name) return &p;
    return nullptr;
}

void ExchangeProperties(PropExchange& px, IPersistTarget& target) {
    Exchanger(px, target).Run();
}

} // namespace vinca
