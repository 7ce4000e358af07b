#include "vinca/control/control.h"

#include <cmath>
#include <set>
#include <utility>

#include "platform/base/strings.h"
#include "platform/com/prop_exchange.h"
#include "vinca/control/dispids.h"
#include "vinca/control/events.h"
#include "vinca/control/window.h"
#include "vinca/model/data_file.h"
#include "vinca/model/values.h"

namespace vinca {

namespace {

// Properties kept here under names the member table does not carry.
constexpr plat::DISPID kTreeDataAvailable = 100001;
constexpr plat::DISPID kDefaultItemHeight = 100002;

// Defaults of a new control, by member number.
void FillDefaults(std::map<plat::DISPID, plat::Variant>& p) {
    using namespace dispid;
    auto color = [&](int32_t id, uint32_t c) { p[id] = plat::Variant(static_cast<int32_t>(c)); };
    auto i2 = [&](int32_t id, int16_t v) { p[id] = plat::Variant(v); };
    auto boolean = [&](int32_t id, bool v) { p[id] = plat::Variant::boolean(v); };
    auto text = [&](int32_t id, std::string_view v) { p[id] = plat::Variant(v); };
    color(kBackColor, 0x80000005);
    color(kForeColor, 0x80000008);
    color(kSelBackColor, 0x8000000D);
    color(kSelForeColor, 0x8000000E);
    color(kToolTipsBackColor, 0x80000018);
    color(kToolTipsForeColor, 0x80000017);
    color(kTreeLinesColor, 0x80000008);
    color(kGradientColorFrom, 0xFFFFFF);
    color(kGradientColorTo, 0xFF0000);
    color(kTransparentBitmapColor, 0xFFFFFF);
    for (int32_t id : {kAutoExpand, kDragHighlight, kInvBorderStyle, kPicInMultiLine, kViewStyleEx})
        i2(id, 1);
    i2(kAutoScrDuringDragDrop, 3);
    i2(kScrollbars, 3);
    for (int32_t id :
         {kCurrentIndexMethod, kGradientStyle,        kInvStyle,      kMousePointer,       kMultiSelect,
          kPictureType,        kTriggerEvents,        kShowCaption,   kToolTipsViewStyle,  kTreeLinesStyle,
          kViewStyle,          kBackPictureAlignment, kEnvironment,   kExplorerCompatible, kToolTipsMode,
          kOLEDropMode,        kWebAutoNavigate,      kDragIconStyle, kShowTitles,         kAutoDragMode})
        i2(id, 0);
    i2(kItemImageDefWidth, 15);
    i2(kItemImageDefHeight, 15);
    i2(kMarkWidth, 0);
    i2(kMarkHeight, 0);
    i2(kShiftStep, 20);
    i2(kTabStopDistance, 0);
    i2(kXOffset, 0);
    i2(kWidthOfText, -1);
    i2(kWidthOfTextMin, -1);
    i2(kTitleHeight, 0);
    text(kPathSeparator, "\\");
    i2(kColDelimiter, 9);
    boolean(kConvertTabsToCols, true);
    for (int32_t id : {kExpandChildren, kExpandNewItem, kShowChildren, kNoPictureRoot, kDrawFocusRect})
        boolean(id, true);
    for (int32_t id :
         {kFixedSize, kImageStretch, kMSOutlineAdd, kShowHiddenItems, kSmartDragDrop, kTransparentBackground,
          kTransparentBitmap, kDefMultiLine, kDisableNoScroll, kNoIntegralHeight, kBackwardCompatibility,
          kFontBold, kFontItalic, kFontStrikethru, kFontUnderline})
        boolean(id, false);
    for (int32_t id : {kCaption, kWebTargetFrame, kWebURLBase})
        text(id, "");
    text(kFontName, "DejaVu Sans");
    p[kFontSize] = plat::Variant(8.25f);
    p[kToolTipsDelay] = plat::Variant(int32_t(400));
    p[kModifications] = plat::Variant(int32_t(0));
    i2(kBorderStyle, 1);
    i2(kAppearance, 1);
    boolean(kEnabled, true);
    for (int32_t id : {kPictureRoot, kPictureOpen, kPictureClosed, kPictureLeaf, kPictureInverted,
                       kPicturePlus, kPictureMinus, kPictureMark, kBackPicture, kPicturePalette, kMouseIcon})
        p[id] = plat::Variant();
    p[kTreeDataAvailable] = plat::Variant::boolean(false);
    p[kDefaultItemHeight] = plat::Variant(-1.0f);
}

// Persisted names that differ from the member names.
plat::DISPID PersistedId(std::string_view name) {
    if (name == "DefBorderColor") return dispid::kDefItemCellBorderColor;
    if (name == "IsTreeDataAvailable") return kTreeDataAvailable;
    if (name == "ItemHeight") return kDefaultItemHeight;
    if (const plat::DispMemberInfo* m = CVincaCtrl::dispatch_table().find(name)) return m->id;
    return 0;
}

// The member numbers of the persisted settings.
bool IsPersistedId(plat::DISPID id) {
    static const std::set<plat::DISPID> ids = [] {
        std::set<plat::DISPID> out;
        for (const PersistedProperty& p : PersistedProperties())
            if (const plat::DISPID found = PersistedId(p.name)) out.insert(found);
        return out;
    }();
    return ids.count(id) != 0;
}

// Whether a stored setting would keep its value.
bool SameValue(const plat::Variant& a, const plat::Variant& b) {
    if (a.vt != b.vt) return false;
    switch (a.vt) {
    case plat::VT_EMPTY:
        return true;
    case plat::VT_BSTR:
        return a.to_utf8() == b.to_utf8();
    case plat::VT_DISPATCH:
        return a.pdispVal == b.pdispVal;
    case plat::VT_UNKNOWN:
        return a.punkVal == b.punkVal;
    case plat::VT_R4:
        return a.fltVal == b.fltVal;
    case plat::VT_R8:
    case plat::VT_DATE:
        return a.dblVal == b.dblVal;
    default:
        return a.to_i4() == b.to_i4();
    }
}

bool IsDefCellMember(plat::DISPID id) {
    using namespace dispid;
    return id == kDefItemCellBorderStyle || id == kDefItemCellPictureAlignment ||
           id == kDefItemCellAlignment || id == kDefItemCellTextAlignment || id == kDefItemCellBorderColor ||
           id == kDefItemCellBackColor;
}

} // namespace

CVincaCtrl::CVincaCtrl()
    : m_link(std::make_shared<CVincaCtrl*>(this)), m_engine(this), m_defCell(CAttrSet::New()) {
    m_events = std::make_unique<CControlEvents>(static_cast<plat::IDispatch&>(*this));
    AttachThreadContext();
    m_extent = {plat::pixels_to_himetric(200), plat::pixels_to_himetric(200)};
    ResetProperties();
    m_window = std::make_unique<CControlWindow>(*this);
    RegisterLiveControl(this);
}

CVincaCtrl::~CVincaCtrl() {
    // Nothing fires while the control is torn down.
    m_events->Close();
    // The window goes while the engine it shows is still whole.
    m_window.reset();
    // Objects handed out now answer 20126.
    *m_link = nullptr;
    UnregisterLiveControl(this);
    m_engine.SetOwner(nullptr);
    DetachThreadContext();
}

void CVincaCtrl::ResetProperties() {
    m_props.clear();
    FillDefaults(m_props);
    // The default item cell definition of a new control.
    m_defCell->RemoveAll();
    using namespace dispid;
    DefCellSet(kDefItemCellBackColor, plat::Variant(int32_t(0x2C0C0C0)));
    DefCellSet(kDefItemCellBorderColor, plat::Variant(int32_t(0x80000006)));
    DefCellSet(kDefItemCellBorderStyle, plat::Variant(int16_t(0)));
    DefCellSet(kDefItemCellAlignment, plat::Variant(int16_t(0)));
    DefCellSet(kDefItemCellPictureAlignment, plat::Variant(int16_t(5)));
    DefCellSet(kDefItemCellTextAlignment, plat::Variant(int16_t(2)));
    for (auto& [id, v] : m_props)
        SyncEngine(id);
}

plat::HRESULT CVincaCtrl::query_other(plat::REFIID iid, void** out) {
    if (iid == plat::IPersist::kIID) {
        *out = static_cast<plat::IPersistStreamInit*>(this);
    } else if (iid == IID_DVinca5) {
        *out = static_cast<plat::IDispatch*>(this);
    } else if (iid == plat::IOleWindow::kIID) {
        *out = static_cast<plat::IOleInPlaceObject*>(this);
    } else if (iid == plat::IViewObject::kIID) {
        *out = static_cast<plat::IViewObject2*>(this);
    } else if (iid == plat::IInPlaceControl::kIID) {
        *out = static_cast<plat::IInPlaceControl*>(m_window.get());
    } else if (iid == plat::IConnectionPointContainer::kIID) {
        *out = static_cast<plat::IConnectionPointContainer*>(m_events.get());
    } else {
        return plat::E_NOINTERFACE;
    }
    AddRef();
    return plat::S_OK;
}

uint32_t CVincaCtrl::WindowHandle() const {
    return m_window ? m_window->Handle() : 0;
}

bool CVincaCtrl::user_mode() const {
    if (!m_userModeKnown) {
        m_userMode = plat::ambient_user_mode(m_site.get());
        m_userModeKnown = true;
    }
    return m_userMode;
}

// ---- site ----

plat::HRESULT CVincaCtrl::SetClientSite(plat::IOleClientSite* site) {
    m_site = site;
    m_userModeKnown = false;
    return plat::S_OK;
}

plat::HRESULT CVincaCtrl::GetClientSite(plat::IOleClientSite** out) {
    if (!out) return plat::E_POINTER;
    *out = m_site.get();
    if (*out) (*out)->AddRef();
    return plat::S_OK;
}

plat::HRESULT CVincaCtrl::Close(uint32_t) {
    m_coerced = nullptr;
    return plat::S_OK;
}

plat::HRESULT CVincaCtrl::SetExtent(uint32_t aspect, plat::SIZEL* size) {
    if (!size) return plat::E_POINTER;
    if (aspect != plat::DVASPECT_CONTENT) return plat::E_INVALIDARG;
    // A restore in progress keeps the size it restores.
    if (m_loading) return plat::S_OK;
    m_extent = *size;
    return plat::S_OK;
}

plat::HRESULT CVincaCtrl::GetExtent(uint32_t aspect, plat::SIZEL* size) {
    if (!size) return plat::E_POINTER;
    if (aspect != plat::DVASPECT_CONTENT) return plat::E_INVALIDARG;
    *size = m_extent;
    return plat::S_OK;
}

plat::HRESULT CVincaCtrl::GetMiscStatus(uint32_t, uint32_t* status) {
    if (!status) return plat::E_POINTER;
    *status = kVincaMiscStatus;
    return plat::S_OK;
}

plat::HRESULT CVincaCtrl::OnAmbientPropertyChange(plat::DISPID id) {
    // Units are read from the site on every use, the mode again after the
    // container says it changed; a window would repaint here.
    if (id == plat::DISPID_AMBIENT_USERMODE || id == plat::DISPID_UNKNOWN_AMBIENTS) m_userModeKnown = false;
    RequestRefresh(1, 0);
    return plat::S_OK;
}

plat::ComPtr<plat::IUnknown> CVincaCtrl::ClientSite() {
    plat::ComPtr<plat::IUnknown> unk;
    if (m_site) m_site->QueryInterface(plat::IID_IUnknown, unk.put_void());
    return unk;
}

plat::ComPtr<plat::IDispatch> CVincaCtrl::ExtendedControl() {
    plat::ComPtr<plat::IDispatch> ext;
    plat::ComPtr<plat::IOleControlSite> cs;
    if (m_site && plat::SUCCEEDED(m_site.query(plat::IOleControlSite::kIID, cs)) && cs)
        cs->GetExtendedControl(ext.put());
    return ext;
}

// ---- persistence ----

plat::HRESULT CVincaCtrl::GetClassID(plat::CLSID* out) {
    if (!out) return plat::E_POINTER;
    *out = CLSID_Vinca5;
    return plat::S_OK;
}

plat::HRESULT CVincaCtrl::InitNew() {
    plat::ResetExchange px;
    Exchange(px);
    // A new control shows the stock frame.
    m_props[dispid::kBorderStyle] = plat::Variant(int16_t(1));
    m_props[dispid::kAppearance] = plat::Variant(int16_t(1));
    m_dirty = false;
    return plat::S_OK;
}

void CVincaCtrl::Exchange(plat::PropExchange& px) {
    m_exchanging = true;
    SetThreadContextFlag();
    if (px.loading()) m_loading = true;
    ExchangeProperties(px, *this);
    m_loading = false;
    m_exchanging = false;
}

plat::HRESULT CVincaCtrl::Load(plat::IStream* stream) {
    if (!stream) return plat::E_POINTER;
    plat::StreamExchange px(stream, true);
    if (plat::FAILED(px.status())) return px.status();
    Exchange(px);
    m_dirty = false;
    return px.status();
}

plat::HRESULT CVincaCtrl::Save(plat::IStream* stream, plat::BOOL clear_dirty) {
    if (!stream) return plat::E_POINTER;
    plat::StreamExchange px(stream, false);
    Exchange(px);
    plat::HRESULT hr = px.finish();
    if (plat::SUCCEEDED(hr) && clear_dirty) m_dirty = false;
    return hr;
}

plat::HRESULT CVincaCtrl::Load(plat::IPropertyBag* bag, plat::IErrorLog*) {
    if (!bag) return plat::E_POINTER;
    plat::BagExchange px(bag, true);
    Exchange(px);
    m_dirty = false;
    return px.status();
}

plat::HRESULT CVincaCtrl::Save(plat::IPropertyBag* bag, plat::BOOL clear_dirty, plat::BOOL) {
    if (!bag) return plat::E_POINTER;
    plat::BagExchange px(bag, false);
    Exchange(px);
    if (plat::SUCCEEDED(px.status()) && clear_dirty) m_dirty = false;
    return px.status();
}

void CVincaCtrl::SetHasGrid(bool on) {
    if (on == bool(m_grid)) return;
    // The title row of a new tree grid is 35 pixels high.
    m_grid = on ? CTreeGrid::New(CTreeGrid::TREE_GRID, 35.0f * 15.0f) : Ref<CTreeGrid>();
    if (on && !m_grid) ThrowVincaError(VE_GRID_NOT_CREATED);
    // The tree grid's rows are the items at the top of the tree.
    if (m_grid) m_grid->SetOwnerItem(m_engine.Root());
    RequestRefresh(1, 0);
    MarkModified();
}

CLevelDefs* CVincaCtrl::LevelDefs(bool make) {
    if (!m_levels && make) m_levels = CLevelDefs::New();
    return m_levels.get();
}

int16_t CVincaCtrl::SaveData(const std::string& path) {
    m_exchanging = true;
    const int r = SaveDataFile(path, *this);
    m_exchanging = false;
    return static_cast<int16_t>(r);
}

int16_t CVincaCtrl::LoadData(const std::string& path) {
    // A container that sets the extent meanwhile gets success and changes nothing.
    m_exchanging = true;
    m_loading = true;
    const int r = LoadDataFile(path, *this);
    m_loading = false;
    m_exchanging = false;
    if (r == 0) MarkModified();
    return static_cast<int16_t>(r);
}

plat::Variant CVincaCtrl::Get(const PersistedProperty& p) {
    if (p.kind == PropKind::SubObject) {
        auto obj = plat::make_object<CTreeSerializeObject>(false);
        obj->root = m_engine.Root();
        obj->levels = m_levels;
        obj->grid = m_grid;
        return plat::Variant(static_cast<plat::IDispatch*>(obj.get()));
    }
    const plat::DISPID id = PersistedId(p.name);
    if (id == kTreeDataAvailable && !m_loading)
        return plat::Variant::boolean(m_engine.RootNode()->GetCount() > 0);
    if (IsDefCellMember(id)) return DefCellGet(id);
    auto it = m_props.find(id);
    return it == m_props.end() ? plat::Variant() : it->second;
}

void CVincaCtrl::Apply(const PersistedProperty& p, const plat::Variant& value) {
    if (p.kind == PropKind::SubObject) {
        plat::ComPtr<plat::IUnknown> unk;
        if (value.vt == plat::VT_DISPATCH && value.pdispVal) unk = value.pdispVal;
        auto* obj = unk ? dynamic_cast<CTreeSerializeObject*>(static_cast<plat::IDispatch*>(value.pdispVal))
                        : nullptr;
        if (obj && obj->levels) m_levels = obj->levels;
        if (obj && obj->grid) {
            m_grid = obj->grid;
            m_grid->SetOwnerItem(m_engine.Root());
        }
        if (obj && obj->root && obj->root->ChildNode()) {
            m_engine.Clear();
            m_engine.AddTreeItems({m_engine.RootNode(), -1}, obj->root->ChildNode());
            m_pending = VE_OK;
        }
        return;
    }
    const plat::DISPID id = PersistedId(p.name);
    if (!id) return;
    if (id == kDefaultItemHeight) {
        float h = value.vt == plat::VT_R4 ? value.fltVal : static_cast<float>(value.to_r8());
        m_engine.SetItemHeight(-1, nullptr, h);
        m_pending = VE_OK;
    }
    if (IsDefCellMember(id)) {
        DefCellSet(id, value);
        return;
    }
    // Plain values go through their members' setters, so that a stored value
    // out of range is refused (the member keeps its value) and the engine
    // hears of the change; the exchange keeps them from marking the control.
    const plat::DispMemberInfo* m = dispatch_table().find(id);
    const bool plain = p.kind == PropKind::Boolean || p.kind == PropKind::Short || p.kind == PropKind::Long ||
                       p.kind == PropKind::Color || p.kind == PropKind::String;
    if (m && plain && m->can_put && !(m->access & plat::kNoPut) && m->params.empty() &&
        p.name != "WidthOfTextMin") {
        plat::Variant arg = value;
        plat::DISPID named = plat::DISPID_PROPERTYPUT;
        plat::DISPPARAMS params{&arg, &named, 1, 1};
        plat::EXCEPINFO ei{};
        if (plat::FAILED(Invoke(id, plat::IID_IUnknown, 0, plat::DISPATCH_PROPERTYPUT, &params, nullptr, &ei,
                                nullptr)))
            plat::clear_excepinfo(&ei);
        return;
    }
    auto it = m_props.find(id);
    if (it == m_props.end()) return;
    plat::Variant v = value;
    // Keep the stored type of the member.
    if (it->second.vt != plat::VT_EMPTY && v.vt != it->second.vt && it->second.vt != plat::VT_DISPATCH)
        if (plat::FAILED(v.change_type(it->second.vt))) return;
    it->second = v;
    SyncEngine(id);
}

int32_t CVincaCtrl::ToContainerUnits(int32_t pixels, bool horizontal) {
    return static_cast<int32_t>(std::lround(FromPixels(pixels, horizontal)));
}

int32_t CVincaCtrl::FromContainerUnits(int32_t units, bool horizontal) {
    return static_cast<int32_t>(std::lround(ToPixels(units, horizontal)));
}

// ---- errors and lookups ----

void CVincaCtrl::ReportError(VResult code) {
    if (m_pending == VE_OK) m_pending = code;
}

void CVincaCtrl::RaisePending() {
    VResult code = m_pending;
    m_pending = VE_OK;
    Raise(code);
}

void CVincaCtrl::Raise(VResult code) {
    if (code == VE_OK) return;
    // A failed call never leaves drawing off.
    ReleaseRedraw();
    RequestRefresh(1, 0);
    ThrowVincaError(code);
}

void CVincaCtrl::Remember(int32_t index, CItem* item) {
    if (index < 0 || !item || m_engine.CurrentIndexMethod() != VNSYS_ENUM) return;
    const uint64_t epoch = CItemNode::TreeEpoch();
    for (Memo& m : m_memo)
        if (m.index == index || m.item.get() == item) m = {};
    m_memo[m_memoNext] = {index, epoch, Ref<CItem>(item)};
    m_memoNext = (m_memoNext + 1) % m_memo.size();
}

CItem* CVincaCtrl::Recall(int32_t index) {
    if (index < 0 || m_engine.CurrentIndexMethod() != VNSYS_ENUM) return nullptr;
    const uint64_t epoch = CItemNode::TreeEpoch();
    for (Memo& m : m_memo) {
        if (m.index != index || m.epoch != epoch) continue;
        CItem* item = m.item.get();
        if (!item || !item->ParentNode()) return nullptr;
        // What a lookup does besides finding the item.
        m_engine.Cursor().SetCurrentParent(item->ParentNode());
        return item;
    }
    return nullptr;
}

int32_t CVincaCtrl::RecallIndex(CItem* item) {
    if (!item || m_engine.CurrentIndexMethod() != VNSYS_ENUM) return -1;
    const uint64_t epoch = CItemNode::TreeEpoch();
    for (const Memo& m : m_memo)
        if (m.item.get() == item && m.epoch == epoch) return m.index;
    return -1;
}

int32_t CVincaCtrl::FreshCount() {
    return m_count >= 0 && m_countEpoch == CItemNode::TreeEpoch() ? m_count : -1;
}

void CVincaCtrl::NoteAppendedLast(CItem* item, int32_t countBefore, uint64_t epochBefore) {
    const uint64_t epoch = CItemNode::TreeEpoch();
    for (Memo& m : m_memo)
        if (m.epoch == epochBefore) m.epoch = epoch;
    m_count = countBefore + 1;
    m_countEpoch = epoch;
    Remember(countBefore, item);
}

CItem* CVincaCtrl::Item(int32_t index) {
    if (CItem* item = Recall(index)) return item;
    m_pending = VE_OK;
    CItem* item = m_engine.ItemFromIndexChecked(index);
    RaisePending();
    if (!item) Raise(VE_BAD_INDEX);
    Remember(index, item);
    return item;
}

CItem* CVincaCtrl::ItemOrNull(int32_t index) {
    if (CItem* item = Recall(index)) return item;
    CItem* item = m_engine.ItemFromIndex(index);
    m_pending = VE_OK;
    Remember(index, item);
    return item;
}

// ---- properties ----

const plat::Variant& CVincaCtrl::Prop(plat::DISPID id) const {
    static const plat::Variant empty;
    auto it = m_props.find(id);
    return it == m_props.end() ? empty : it->second;
}

void CVincaCtrl::StoreProp(plat::DISPID id, const plat::Variant& value) {
    plat::Variant& slot = m_props[id];
    // A real change of a persisted setting is a modification whichever
    // member made it, so that IsDirty tells the container the truth.
    if (IsPersistedId(id) && !SameValue(slot, value)) MarkModified();
    slot = value;
    SyncEngine(id);
}

void CVincaCtrl::RequestRefresh(int32_t flags, int32_t code) {
    ++m_layoutChanges;
    // While Redraw is off the rows are laid out once, when it comes back on:
    // a list filled item by item would otherwise measure a page of rows at
    // every member it sets.
    if (m_redrawOff > 0) {
        m_refreshPending |= flags;
        return;
    }
    flags |= std::exchange(m_refreshPending, 0);
    if (m_view) m_view->RequestRefresh(flags, code);
}

void CVincaCtrl::FlushRefresh() {
    if (m_refreshPending && m_redrawOff == 0) RequestRefresh(0, 0);
}

void CVincaCtrl::SyncEngine(plat::DISPID id) {
    const plat::Variant& v = Prop(id);
    switch (id) {
    case dispid::kCurrentIndexMethod:
        m_engine.SetCurrentIndexMethod(v.to_i2());
        break;
    case dispid::kPathSeparator:
        if (!v.to_utf8().empty()) m_engine.m_pathSeparator = v.to_utf8();
        break;
    case dispid::kExpandNewItem:
        m_engine.m_expandNewItem = v.to_bool();
        break;
    case dispid::kShowHiddenItems:
        if (m_engine.m_showHiddenItems != v.to_bool()) {
            m_engine.m_showHiddenItems = v.to_bool();
            m_engine.InvalidateRowList();
        }
        break;
    case dispid::kTriggerEvents:
        m_engine.m_triggerEvents = v.to_i2();
        break;
    case dispid::kColDelimiter:
        m_engine.m_colDelimiter = v.to_i2();
        break;
    case dispid::kConvertTabsToCols:
        m_engine.m_convertTabsToCols = v.to_bool() ? 1 : 0;
        break;
    default:
        break;
    }
    m_pending = VE_OK;
}

// ---- the default item cell definition ----

namespace {

const CVincaName* DefCellKey(plat::DISPID id) {
    using namespace dispid;
    switch (id) {
    case kDefItemCellBorderStyle:
        return names::InnerBorderStyle();
    case kDefItemCellPictureAlignment:
        return names::InnerPicAlign();
    case kDefItemCellAlignment:
        return names::InnerAlignment();
    case kDefItemCellTextAlignment:
        return names::InnerTextAlign();
    case kDefItemCellBorderColor:
        return names::InnerBorderColor();
    default:
        return names::InnerBackColor();
    }
}

} // namespace

plat::Variant CVincaCtrl::DefCellGet(plat::DISPID id) {
    const bool color = id == dispid::kDefItemCellBorderColor || id == dispid::kDefItemCellBackColor;
    const plat::Variant* v = m_defCell->FindValue(DefCellKey(id));
    if (!v) {
        if (color) return plat::Variant(int32_t(0));
        return plat::Variant(int16_t(id == dispid::kDefItemCellPictureAlignment ? 4 : 0));
    }
    plat::Variant out = *v;
    if (plat::FAILED(out.change_type(color ? plat::VT_I4 : plat::VT_I2))) out = plat::Variant(int16_t(0));
    return out;
}

bool CVincaCtrl::DefCellSet(plat::DISPID id, const plat::Variant& value) {
    const bool color = id == dispid::kDefItemCellBorderColor || id == dispid::kDefItemCellBackColor;
    plat::Variant v = value;
    if (plat::FAILED(v.change_type(color ? plat::VT_I4 : plat::VT_I2))) return false;
    const CVincaName* key = DefCellKey(id);
    if (id == dispid::kDefItemCellBackColor && v.lVal == 1) {
        if (!m_defCell->FindValue(key)) return false;
        m_defCell->RemoveEntry(key);
        return true;
    }
    const plat::Variant* old = m_defCell->FindValue(key);
    if (old && old->vt == v.vt && (color ? old->lVal == v.lVal : old->iVal == v.iVal)) return false;
    m_defCell->SetOrAddValue(key, v);
    return true;
}

void CVincaCtrl::RefreshItemRow(CItem* item) {
    const int32_t row = item ? m_engine.RowOf(item) : -1;
    if (row >= 0) m_engine.RefreshItems(row, row);
    ClearPending();
}

ControlDefaultValues CVincaCtrl::DefaultValues() {
    using namespace dispid;
    ControlDefaultValues v;
    v.foreColor = Prop(kForeColor).to_i4();
    v.backColor = Prop(kBackColor).to_i4();
    v.transparentBackground = Prop(kTransparentBackground).to_bool();
    v.selForeColor = Prop(kSelForeColor).to_i4();
    v.selBackColor = Prop(kSelBackColor).to_i4();
    v.defTextAlignment = DefCellGet(kDefItemCellTextAlignment).to_i4();
    v.defPictureAlignment = DefCellGet(kDefItemCellPictureAlignment).to_i4();
    v.defAlignment = DefCellGet(kDefItemCellAlignment).to_i4();
    v.defBorderStyle = DefCellGet(kDefItemCellBorderStyle).to_i4();
    v.defBorderColor = DefCellGet(kDefItemCellBorderColor).to_i4();
    v.invBorderStyle = Prop(kInvBorderStyle).to_i4();
    v.invStyle = Prop(kInvStyle).to_i4();
    v.defMultiLine = Prop(kDefMultiLine).to_bool();
    v.transparentBitmap = Prop(kTransparentBitmap).to_bool();
    v.transparentBitmapColor = Prop(kTransparentBitmapColor).to_i4();
    v.itemHeight = static_cast<float>(Prop(kItemHeight).to_r8());
    v.tabStopDistance = Prop(kTabStopDistance).to_i4();
    v.hasGrid = m_grid != nullptr;
    v.widthOfText = Prop(kWidthOfText).to_i4();
    v.widthOfTextMin = Prop(kWidthOfTextMin).to_i4();
    return v;
}

} // namespace vinca
