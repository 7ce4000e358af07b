#include "vinca/control/window.h"

#include "platform/ui/window_table.h"
#include "vinca/control/dispids.h"
#include "vinca/control/ole_drag.h"
#include "vinca/control/events.h"
#include "vinca/control/input.h"
#include "vinca/control/objects/level_defs.h"
#include "vinca/model/attr_sources.h"
#include "vinca/model/item.h"
#include "vinca/model/names.h"
#include "vinca/model/picture_slots.h"
#include "vinca/model/values.h"
#include "vinca/views/tree_cell.h"
#include "vinca/views/view_window.h"

// Qt after the control's headers (its `slots` macro).
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtGui/QScreen>
#include <QtWidgets/QWidget>

namespace vinca {

namespace d = dispid;

CControlWindow::CControlWindow(CVincaCtrl& ctrl) : m_ctrl(ctrl) {}

CControlWindow::~CControlWindow() {
    DestroyWindow();
}

plat::HRESULT CControlWindow::QueryInterface(plat::REFIID iid, void** out) {
    return m_ctrl.QueryInterface(iid, out);
}

plat::ULONG CControlWindow::AddRef() {
    return m_ctrl.AddRef();
}

plat::ULONG CControlWindow::Release() {
    return m_ctrl.Release();
}

plat::HRESULT CControlWindow::Activate(uint32_t parent_window, const plat::PixelRect& rect) {
    QWidget* parent = plat::ui::WindowFromHandle(parent_window);
    if (!parent) return plat::E_INVALIDARG;
    if (m_view) {
        if (m_view->parentWidget() != parent) m_view->setParent(parent);
        SetRect(rect);
        m_view->show();
        return plat::S_OK;
    }
    m_view = new CViewWindow(m_ctrl.Engine(), *this, parent);
    m_input = std::make_unique<CControlInput>(m_ctrl, *this, *m_view);
    m_view->SetInputHook(m_input.get());
    // The lock the view holds from its making, released once it has a window.
    m_view->BeginRedrawLock();
    m_handle = plat::ui::Windows().add(m_view);
    m_ctrl.m_view = this;
    // A container may destroy its window with ours inside before it
    // deactivates the control: the control then forgets the window.
    m_viewGone = QObject::connect(m_view, &QObject::destroyed, [this] { ForgetDestroyedWindow(); });
    AttachDragAndDrop(m_ctrl, m_view);
    ApplyChanges(0, true);
    SetRect(rect);
    m_view->SetGrid(m_ctrl.OwnGrid());
    AdjustRootViewLock(true);
    m_view->show();
    return plat::S_OK;
}

plat::HRESULT CControlWindow::SetRect(const plat::PixelRect& rect) {
    if (!m_view) return plat::E_UNEXPECTED;
    // A window larger than the screen is laid out at the screen's size.
    int32_t w = std::max(0, rect.right - rect.left), h = std::max(0, rect.bottom - rect.top);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        w = std::min(w, screen->size().width());
        h = std::min(h, screen->size().height());
    }
    m_view->setGeometry(rect.left, rect.top, w, h);
    return plat::S_OK;
}

plat::HRESULT CControlWindow::Deactivate() {
    DestroyWindow();
    return plat::S_OK;
}

plat::HRESULT CControlWindow::GetWindow(uint32_t* window) {
    if (!window) return plat::E_POINTER;
    *window = m_handle;
    return plat::S_OK;
}

void CControlWindow::DestroyWindow() {
    if (!m_view) return;
    if (m_handlerDepth > 0) {
        DetachWindow();
        return;
    }
    QObject::disconnect(m_viewGone);
    AdjustRootViewLock(false);
    m_ctrl.m_view = nullptr;
    plat::ui::Windows().remove(m_handle);
    m_handle = 0;
    m_view->SetInputHook(nullptr);
    delete m_view;
    m_view = nullptr;
    m_input.reset();
}

void CControlWindow::ForgetDestroyedWindow() {
    QObject::disconnect(m_viewGone);
    m_ctrl.m_view = nullptr;
    plat::ui::Windows().remove(m_handle);
    m_handle = 0;
    m_view = nullptr;
    m_input.reset();
}

void CControlWindow::DetachWindow() {
    // The handler that destroys the window runs inside the window's own
    // event: the window leaves the container now (its parent may go at
    // once) and is deleted from the event loop. The control and the input
    // handler stay alive until then, as the window still reads them.
    QObject::disconnect(m_viewGone);
    AdjustRootViewLock(false);
    m_ctrl.m_view = nullptr;
    plat::ui::Windows().remove(m_handle);
    m_handle = 0;
    CViewWindow* view = std::exchange(m_view, nullptr);
    CControlInput* input = m_input.release();
    view->SetInputHook(nullptr);
    view->hide();
    view->setParent(nullptr);
    m_ctrl.AddRef();
    CVincaCtrl* ctrl = &m_ctrl;
    QObject::connect(view, &QObject::destroyed, [ctrl, input] {
        delete input;
        ctrl->Release();
    });
    view->deleteLater();
}

CControlWindow::HandlerScope::HandlerScope(CControlWindow& window)
    : m_window(window), m_keep(static_cast<plat::IDispatch*>(&window.m_ctrl)) {
    ++m_window.m_handlerDepth;
}

CControlWindow::HandlerScope::~HandlerScope() {
    --m_window.m_handlerDepth;
}

void CControlWindow::AdjustRootViewLock(bool release) {
    if (!m_view) return;
    if (release)
        m_view->EndRedrawLock();
    else
        m_view->BeginRedrawLock();
}

namespace {

// The picture object a property holds; null for none.
plat::ComPtr<IVincaPicture> PictureProp(const plat::Variant& value) {
    const plat::VARIANT& v = plat::deref(value);
    plat::ComPtr<IVincaPicture> pic;
    if ((v.vt == plat::VT_DISPATCH || v.vt == plat::VT_UNKNOWN) && v.punkVal)
        v.punkVal->QueryInterface(IID_IPicture, pic.put_void());
    return pic;
}

} // namespace

const ViewSettings& CControlWindow::Settings() const {
    ViewSettings& s = m_settings;
    auto color = [&](plat::DISPID id, plat::gdi::OLE_COLOR& out) {
        const plat::Variant& v = m_ctrl.Prop(id);
        if (!v.is_empty()) out = static_cast<plat::gdi::OLE_COLOR>(v.to_i4());
    };
    auto number = [&](plat::DISPID id) { return m_ctrl.Prop(id).to_i4(); };
    color(d::kBackColor, s.backColor);
    color(d::kForeColor, s.foreColor);
    color(d::kSelBackColor, s.selBackColor);
    color(d::kSelForeColor, s.selForeColor);
    color(d::kTreeLinesColor, s.linesColor);
    const plat::Variant& caption = m_ctrl.Prop(d::kCaption);
    if (!caption.is_empty()) s.caption = caption.to_utf8();
    const plat::Variant& show = m_ctrl.Prop(d::kShowCaption);
    if (!show.is_empty()) s.showCaption = show.to_i4();

    // What a tree cell shows: lines in view styles 0, 2 and 4, pictures
    // below 4, text but in 2 and 3; the plus/minus box in extended styles
    // 1 and 2.
    const int32_t style = number(d::kViewStyle), styleEx = number(d::kViewStyleEx);
    s.linesShown = style == 0 || style == 2 || style == 4;
    s.picturesShown = style < 4;
    s.textShown = style != 2 && style != 3;
    s.plusMinusShown = styleEx == 1 || styleEx == 2;
    s.indent = number(d::kShiftStep);
    s.lineStyle = number(d::kTreeLinesStyle);
    s.invStyle = number(d::kInvStyle);
    s.xOffset = number(d::kXOffset);
    s.picInMultiLine = number(d::kPicInMultiLine);
    s.drawFocusRect = m_ctrl.Prop(d::kDrawFocusRect).to_bool();
    s.plusPicture = PictureProp(m_ctrl.Prop(d::kPicturePlus));
    s.minusPicture = PictureProp(m_ctrl.Prop(d::kPictureMinus));
    s.uniformRows = m_ctrl.Prop(d::kFixedSize).to_bool();
    s.borderStyle = number(d::kBorderStyle);
    s.appearance = number(d::kAppearance);

    FontDesc font = s.font;
    font.name = m_ctrl.Prop(d::kFontName).to_utf8();
    font.size = static_cast<int64_t>(m_ctrl.Prop(d::kFontSize).to_r8() * 10000.0 + 0.5);
    font.weight = m_ctrl.Prop(d::kFontBold).to_bool() ? 700 : 400;
    font.italic = m_ctrl.Prop(d::kFontItalic).to_bool();
    font.underline = m_ctrl.Prop(d::kFontUnderline).to_bool();
    font.strikethrough = m_ctrl.Prop(d::kFontStrikethru).to_bool();
    if (!font.name.empty() && font.size > 0) s.font = font;
    return s;
}

const ViewBehaviour& CControlWindow::Behaviour() const {
    ViewBehaviour& b = m_behaviour;
    auto number = [&](plat::DISPID id) { return m_ctrl.Prop(id).to_i4(); };
    b.scrollBars = number(d::kScrollbars);
    b.disableNoScroll = m_ctrl.Prop(d::kDisableNoScroll).to_bool();
    b.toolTipsOn = number(d::kToolTipsMode) != 0;
    b.toolTipsDelay = static_cast<uint32_t>(std::max(0, number(d::kToolTipsDelay)));
    b.toolTipsViewStyle = number(d::kToolTipsViewStyle);
    b.toolTipsForeColor = static_cast<plat::gdi::OLE_COLOR>(number(d::kToolTipsForeColor));
    b.toolTipsBackColor = static_cast<plat::gdi::OLE_COLOR>(number(d::kToolTipsBackColor));
    // Explorer-like behaviour hides tips the way the other environments do.
    b.environment = number(d::kExplorerCompatible) != 0 ? 1 : number(d::kEnvironment);
    b.autoDragMode = number(d::kAutoDragMode);
    b.smartDrag = m_ctrl.Prop(d::kSmartDragDrop).to_bool();
    b.mousePointer = number(d::kMousePointer);
    b.mouseIcon = PictureProp(m_ctrl.Prop(d::kMouseIcon));
    return b;
}

const ViewBackground& CControlWindow::Background() const {
    ViewBackground& g = m_background;
    g.gradientFrom = static_cast<plat::gdi::OLE_COLOR>(m_ctrl.Prop(d::kGradientColorFrom).to_i4());
    g.gradientTo = static_cast<plat::gdi::OLE_COLOR>(m_ctrl.Prop(d::kGradientColorTo).to_i4());
    g.gradientStyle = m_ctrl.Prop(d::kGradientStyle).to_i4();
    g.picture = PictureProp(m_ctrl.Prop(d::kBackPicture));
    g.pictureAlignment = m_ctrl.Prop(d::kBackPictureAlignment).to_i4();
    g.transparentBitmap = m_ctrl.Prop(d::kTransparentBitmap).to_bool();
    g.transparentColor = static_cast<plat::gdi::OLE_COLOR>(m_ctrl.Prop(d::kTransparentBitmapColor).to_i4());
    g.transparentBackground = m_ctrl.Prop(d::kTransparentBackground).to_bool();
    return g;
}

bool CControlWindow::ItemHasLink(CItem* item) {
    return item && m_ctrl.Prop(d::kWebAutoNavigate).to_i4() == 1 && item->ItemData() &&
           !item->ItemData()->GetTreeUrl().empty();
}

bool CControlWindow::PaintParentBackground(plat::gdi::Dc& dc, const plat::gdi::Rect& rect) {
    QWidget* parent = m_view ? m_view->parentWidget() : nullptr;
    if (!parent || rect.IsEmpty() || m_paintingParent) return false;
    // The container paints itself (its background and its own painting,
    // not its other children) under the part of the window asked for.
    const QPoint at = m_view->mapToParent(QPoint(rect.left, rect.top));
    QImage under(rect.Width(), rect.Height(), QImage::Format_RGB32);
    under.fill(parent->palette().color(parent->backgroundRole()));
    m_paintingParent = true;
    parent->render(&under, QPoint(), QRegion(at.x(), at.y(), rect.Width(), rect.Height()),
                   QWidget::DrawWindowBackground);
    m_paintingParent = false;
    return dc.DrawImage(rect, under, plat::gdi::SRCCOPY);
}

void CControlWindow::ApplyChanges(int32_t code, bool all) {
    if (!m_view) return;
    // Behaviour settings are told when they differ from what the view has.
    const ViewBehaviour& b = Behaviour();
    auto differs = [&](const auto& now, const auto& before) { return all || !(now == before); };
    const ViewBehaviour& was = m_applied;
    if (differs(b.scrollBars, was.scrollBars)) m_view->PropertyChanged(ViewProperty::ScrollBars);
    if (differs(b.disableNoScroll, was.disableNoScroll)) m_view->PropertyChanged(ViewProperty::DisableNoScroll);
    if (differs(b.toolTipsOn, was.toolTipsOn)) m_view->PropertyChanged(ViewProperty::ToolTipsMode);
    if (differs(b.toolTipsDelay, was.toolTipsDelay)) m_view->PropertyChanged(ViewProperty::ToolTipsDelay);
    if (differs(b.toolTipsViewStyle, was.toolTipsViewStyle) || differs(b.toolTipsForeColor, was.toolTipsForeColor) ||
        differs(b.toolTipsBackColor, was.toolTipsBackColor))
        m_view->PropertyChanged(ViewProperty::ToolTipsColors);
    if (differs(b.environment, was.environment)) m_view->PropertyChanged(ViewProperty::Environment);
    if (differs(b.smartDrag, was.smartDrag)) m_view->PropertyChanged(ViewProperty::SmartDrag);
    const bool pointer = differs(b.mousePointer, was.mousePointer) || b.mouseIcon.get() != was.mouseIcon.get();
    m_applied = b;
    if (!m_view) return;
    // The automatic drag mode and the drop target are the drag code's own.
    switch (code) {
    case 1:
        m_view->PropertyChanged(ViewProperty::BackColor);
        break;
    case 3:
        m_view->PropertyChanged(ViewProperty::Background);
        break;
    case 7:
    case 16:
        m_view->PropertyChanged(ViewProperty::MarkPicture);
        break;
    case 9:
        m_view->PropertyChanged(ViewProperty::FixedSize);
        break;
    case 10:
        m_view->PropertyChanged(ViewProperty::DragHighlight);
        break;
    case 14:
        m_view->PropertyChanged(ViewProperty::SelectionMode);
        break;
    case 15:
        m_view->PropertyChanged(ViewProperty::FocusRect);
        break;
    default:
        break;
    }
    if ((pointer || code == 19) && m_view) m_view->PropertyChanged(ViewProperty::MousePointer);
}

namespace {

// The picture a stored value holds; empty for anything else.
CPictureHolder HolderOf(const plat::Variant* value) {
    if (!value) return {};
    const plat::VARIANT& v = plat::deref(*value);
    if ((v.vt != plat::VT_DISPATCH && v.vt != plat::VT_UNKNOWN) || !v.punkVal) return {};
    plat::ComPtr<IVincaPicture> pic;
    if (!plat::SUCCEEDED(v.punkVal->QueryInterface(IID_IPicture, pic.put_void()))) return {};
    return CPictureHolder(std::move(pic));
}

} // namespace

namespace {

// The sources an item's tree cell reads, nearest first: the item's own cell,
// its inner cell, its level's definition, the control's default item cell
// and, last, the control's defaults.
class ItemCellSources {
  public:
    ItemCellSources(CVincaCtrl& ctrl, CItem* item, const ControlDefaultValues& defaults) : m_defaults(defaults) {
        CItemData* data = item ? item->ItemData() : nullptr;
        auto add = [&](CAttrSet* set) {
            if (set) m_own.push_back(std::make_unique<CAttrSetSource>(set));
        };
        if (data) {
            add(data->GetValueSet(names::Tree(), false));
            add(data->GetValueSet(GlobalName("__InnerTree"), false));
        }
        if (item)
            if (CLevelDef* level = FindLevel(ctrl, item->GetItemLevel())) add(level->pictures.get());
        add(ctrl.DefaultItemCellDef());
        for (const auto& s : m_own)
            m_chain.Add(s.get());
    }
    // `withDefaults` false asks only the item and the definitions.
    bool Find(const char* key, plat::Variant& out, bool withDefaults = true) const {
        const CVincaName* name = GlobalName(key);
        return m_chain.Lookup(name, out) || (withDefaults && m_defaults.Lookup(name, out));
    }

  private:
    std::vector<std::unique_ptr<CAttrSource>> m_own;
    CRefList m_chain;
    CControlDefaults m_defaults;
};

// What the text part of a tree cell reads through the item's sources.
constexpr const char* kItemCellKeys[] = {
    "__ForeColor",       "__SelFrColor",     "__SelBkColor",         "__TransBMPColor",     "__IsSetBMPColor",
    "__InnerBorderColor", "__InnerGradientStyle", "__InnerGrdColorFrom", "__InnerGrdColorTo", "__InnerPicAlign",
    "__InnerTextAlign",  "__InnerAlignment", "__InnerRTFStyle",      "__InnerBorderStyle",  "__InvBorderStyle",
    "__3DBorder",        "__3DShadowColor",  "__InvStyle",           "__Picture",           "__PictureInv",
    "__InnerPicWidth",   "__InnerPicHeight", "__Font",               "__Multiline",         "__TabStopDistance",
    "__MaxTextWidth",    "__MinTextWidth",
};

// What the control's defaults answer for any cell (the keys a cell reads;
// the row height is the view's own business).
constexpr const char* kDefaultCellKeys[] = {
    "__Value",           "__Format",          "__ForeColor",        "__BackColor",         "__InnerBackColor",
    "__SelFrColor",      "__SelBkColor",      "__TextAlign",        "__InnerTextAlign",    "__PicAlign",
    "__InnerPicAlign",   "__Alignment",       "__InnerAlignment",   "__BorderStyle",       "__InnerBorderStyle",
    "__InvBorderStyle",  "__Border",          "__TextIsMultiLine",  "__Multiline",         "__TransBMPColor",
    "__IsSetBMPColor",   "__3DBorder",        "__3DShadowColor",    "__BorderColor",       "__InnerBorderColor",
    "__InvStyle",        "__Font",            "__MaxTextWidth",     "__MinTextWidth",      "__TabStopDistance",
    "__GradientStyle",   "__InnerGradientStyle", "__GrdColorFrom",  "__InnerGrdColorFrom", "__GrdColorTo",
    "__InnerGrdColorTo", "__RTFStyle",        "__InnerRTFStyle",    "__PicHeight",         "__PicWidth",
    "__InnerPicHeight",  "__InnerPicWidth",   "__HorLineThickness", "__VerLineThickness",  "__HorLineColor",
    "__VerLineColor",    "__IsHorGridLinesVisible", "__IsVerGridLinesVisible", "__AutoFillColTitles",
    "__AutoFillRowTitles",
};

} // namespace

ControlDefaultValues CControlWindow::CellDefaults() const {
    ControlDefaultValues v = m_ctrl.DefaultValues();
    // Cells take screen colours: a system colour is resolved before a
    // transparent background marks it as no colour.
    for (int32_t* c : {&v.foreColor, &v.backColor, &v.selForeColor, &v.selBackColor, &v.defBorderColor,
                       &v.transparentBitmapColor})
        *c = int32_t(plat::gdi::TranslateOleColor(uint32_t(*c)).value_or(0));
    const FontDesc& font = Settings().font;
    if (!m_font || !(m_font->Desc() == font)) m_font = NewFont(font);
    if (m_font) v.font = plat::Variant(static_cast<plat::IDispatch*>(m_font.get()));
    // A text width of 0 is the width of the rows' pane; without a window
    // the text is not limited.
    if (v.widthOfText == 0) v.widthOfText = m_view ? std::max(1, m_view->RowsArea().Width()) : -2;
    return v;
}

void CControlWindow::ItemAttributes(CItem* item, CMapAttrChain& attrs) {
    const ItemCellSources sources(m_ctrl, item, CellDefaults());
    plat::Variant v;
    for (const char* key : kItemCellKeys)
        if (sources.Find(key, v)) attrs.Set(key, v);
    // The row under the text is filled by the tree cell in the control's
    // colour (or left to the background layers): the text part fills only
    // with a colour of the item's or a definition's.
    if (sources.Find("__InnerBackColor", v, false)) attrs.Set("__InnerBackColor", v);
}

void CControlWindow::DefaultCellAttributes(CMapAttrChain& attrs) {
    const CControlDefaults defaults(CellDefaults());
    plat::Variant v;
    for (const char* key : kDefaultCellKeys)
        if (!attrs.Has(key) && defaults.Lookup(GlobalName(key), v)) attrs.Set(key, v);
}

void CControlWindow::ItemTreeData(CItem* item, CTreeCellData& data) {
    const int32_t style = m_ctrl.Prop(d::kViewStyle).to_i4();
    const int32_t styleEx = m_ctrl.Prop(d::kViewStyleEx).to_i4();
    CItemData* itemData = item->ItemData();
    CAttrSet* tree = itemData ? itemData->GetValueSet(names::Tree(), false) : nullptr;
    auto own = [&](const char* key) { return HolderOf(tree ? tree->FindValue(GlobalName(key)) : nullptr); };

    // The item's own picture first; else the control's picture for the
    // item's kind, which a definition of the item's level overrides.
    data.picturesShown = style < 4;
    data.stretchImages = m_ctrl.Prop(d::kImageStretch).to_bool();
    data.defPictureWidth = m_ctrl.Prop(d::kItemImageDefWidth).to_i4();
    data.defPictureHeight = m_ctrl.Prop(d::kItemImageDefHeight).to_i4();
    data.picture = own("__Image");
    if (data.picturesShown && data.picture.IsEmpty()) {
        int32_t kind = m_ctrl.Prop(d::kPictureType).to_i4();
        if (kind == 0) kind = !item->HasChildren() ? 4 : item->IsExpanded() ? 2 : 3;
        static constexpr plat::DISPID kKindProp[] = {0, d::kPictureRoot, d::kPictureOpen, d::kPictureClosed,
                                                      d::kPictureLeaf};
        static constexpr const char* kLevelKey[] = {nullptr, nullptr, "__PictureOpen", "__PictureClosed",
                                                    "__PictureLeaf"};
        if (kind >= 1 && kind <= 4) {
            data.picture = HolderOf(&m_ctrl.Prop(kKindProp[kind]));
            CLevelDefs* levels = kLevelKey[kind] ? m_ctrl.LevelDefs(false) : nullptr;
            const size_t level = size_t(std::max(0, item->GetItemLevel()));
            if (levels && level < levels->Levels().size() && levels->Levels()[level] &&
                levels->Levels()[level]->pictures) {
                CPictureHolder p = HolderOf(levels->Levels()[level]->pictures->FindValue(GlobalName(kLevelKey[kind])));
                if (!p.IsEmpty()) data.picture = p;
            }
        }
    }
    // The cell's colours: the item's own, a definition's, else the control's.
    {
        const ItemCellSources sources(m_ctrl, item, CellDefaults());
        plat::Variant v;
        auto colour = [&](const char* key, plat::gdi::OLE_COLOR& out) {
            if (sources.Find(key, v) && (v.vt == plat::VT_I4 || v.vt == plat::VT_I2))
                out = static_cast<plat::gdi::OLE_COLOR>(v.to_i4());
        };
        // The control's own back colour is already there (the view lets
        // the background layers through it).
        if (sources.Find("__BackColor", v, false) && (v.vt == plat::VT_I4 || v.vt == plat::VT_I2))
            data.backColor = static_cast<plat::gdi::OLE_COLOR>(v.to_i4());
        colour("__ForeColor", data.foreColor);
        colour("__SelBkColor", data.selBackColor);
        colour("__SelFrColor", data.selForeColor);
        colour("__TransBMPColor", data.transparentColor);
        if (sources.Find("__IsSetBMPColor", v)) data.transparent = v.to_i4() != 0;
    }
    data.pictureSelected = own("__InvImage");
    if (data.pictureSelected.IsEmpty() && style <= 3) data.pictureSelected = HolderOf(&m_ctrl.Prop(d::kPictureInverted));

    // The mark column: mark 0 shows PictureMark, any other that entry of the
    // list of mark pictures; without a set width the widest of them.
    data.markShown = styleEx == 2 || styleEx == 3;
    if (!data.markShown) return;
    const auto& marks = m_ctrl.MarkPictures();
    const size_t mark = item->Mark();
    data.markPicture = mark == 0 ? HolderOf(&m_ctrl.Prop(d::kPictureMark))
                                 : HolderOf(mark < marks.size() ? &marks[mark] : nullptr);
    data.markWidth = m_ctrl.Prop(d::kMarkWidth).to_i4();
    data.markHeight = m_ctrl.Prop(d::kMarkHeight).to_i4();
    if (data.markWidth == 0) {
        auto widen = [&](const plat::Variant* v) {
            CPictureHolder p = HolderOf(v);
            if (!p.IsEmpty()) data.markWidth = std::max(data.markWidth, PictureHolderGetSize(p).cx);
        };
        widen(&m_ctrl.Prop(d::kPictureMark));
        for (const plat::Variant& v : marks)
            widen(&v);
    }
}

void CControlWindow::RaiseError(VResult code) {
    m_ctrl.ReportError(code);
}

int32_t CControlWindow::ItemIndex(CItem* item) {
    const int32_t index = m_ctrl.Engine().ItemIndex(item);
    m_ctrl.ClearPending();
    return index;
}

VResult CVincaCtrl::EditItemText(CItem* item, int32_t action) {
    return m_window->EditItemText(item, action);
}

VResult CControlWindow::EditItemText(CItem* item, int32_t action) {
    if (!m_view) return VE_NO_WINDOW;
    const VResult r = SetItemEditText(m_view, item, action, m_ctrl.Prop(dispid::kViewStyle).to_i4());
    if (m_view && m_input && m_view->Editor()) m_input->KeepKeysIn(m_view->Editor()->Widget());
    return r;
}

int32_t CControlWindow::SelectionMode() const {
    return m_ctrl.Prop(dispid::kMultiSelect).to_i4();
}

// ---- editing events ----

bool CControlWindow::RequestEditing(int32_t index, std::string& text, int32_t& flags) {
    HandlerScope scope(*this);
    int16_t options = int16_t(flags);
    if (!FireRequestEditing(m_ctrl, index, text, options)) return false;
    flags = uint16_t(options);
    // The press that asked for the edit ends here, so that the editor
    // opens with the button up.
    if (m_input) m_input->CompletePress();
    return m_view != nullptr;
}

bool CControlWindow::AfterEditing(int32_t index, const std::string& text, int32_t flag) {
    HandlerScope scope(*this);
    std::string edited = text;
    FireAfterEditing(m_ctrl, index, edited, int16_t(flag));
    if (edited == text) return true;
    // The container changed the text: that is what the item keeps.
    if (CItem* item = m_ctrl.ItemOrNull(index)) m_ctrl.Engine().SetListText(item, edited);
    m_ctrl.ClearPending();
    return false;
}

bool CControlWindow::EditingKeyDown(int32_t index, int32_t& key, int32_t shift) {
    HandlerScope scope(*this);
    int16_t k = int16_t(key), s = int16_t(shift);
    FireEditingKey(m_ctrl, dispid::event::kEditingKeyDown, index, k, s);
    key = k;
    return k != 0;
}

bool CControlWindow::EditingKeyPress(int32_t index, int32_t& key) {
    HandlerScope scope(*this);
    int16_t k = int16_t(key);
    FireEditingKeyPress(m_ctrl, index, k);
    key = k;
    return k != 0;
}

bool CControlWindow::EditingKeyUp(int32_t index, int32_t& key, int32_t shift) {
    HandlerScope scope(*this);
    int16_t k = int16_t(key), s = int16_t(shift);
    FireEditingKey(m_ctrl, dispid::event::kEditingKeyUp, index, k, s);
    key = k;
    return k != 0;
}

// ---- scrolling and the current row ----

bool CControlWindow::OfferScroll(int32_t bar, int32_t code, int32_t pos) {
    HandlerScope scope(*this);
    // An open editor closes before the rows move.
    if (m_view && m_view->IsEditing()) m_view->EndLabelEdit();
    const plat::DISPID id = bar == 0 ? dispid::event::kHScroll : dispid::event::kVScroll;
    if (FireScroll(m_ctrl, id, int16_t(code), pos)) return false;
    // A handler that took the window away leaves nothing to scroll.
    return m_view != nullptr;
}

void CControlWindow::CurrentRowMoved(int32_t row) {
    if (!m_view) return;
    m_ctrl.Engine().NoteCurrentRow(row >= 0 ? m_view->ItemAtRow(row) : nullptr);
}

void CControlWindow::HoldRows(bool hold) {
    if (!m_view) return;
    if (hold)
        m_view->SuspendRedraw();
    else
        m_view->ResumeRedraw();
}

void CControlWindow::RequestRefresh(int32_t flags, int32_t code) {
    if (!m_view) return;
    // A grid made, dropped, shown or hidden comes with a refresh: the view
    // shows the control's grid in place of the tree while it is shown.
    m_view->SetGrid(m_ctrl.OwnGrid());
    RedrawFlags redraw;
    // Rows keep what they were laid out with (pictures, colours, sizes):
    // repainting every row lays them out again from the control. Then an
    // open editor ends (2), the tip follows the pointer afresh (4), the
    // frame is laid out again (8).
    if (flags & 1) redraw = redraw | RedrawFlag::Repaint | RedrawFlag::Relayout;
    if (flags & 2) redraw = redraw | RedrawFlag::EndEditing;
    if (flags & 4) redraw = redraw | RedrawFlag::ToolTip;
    if (flags & 8) redraw = redraw | RedrawFlag::Frame;
    m_view->Redraw(redraw);
    ApplyChanges(code, false);
}

} // namespace vinca
