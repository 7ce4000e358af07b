// The control's whole dispatch interface as one table: number, name, kind,
// type, arguments, access and handler of every member. Families of simple
// properties come from the row builders; members that need a window or are
// not offered yet answer with a clear error.
#include "platform/com/dispatcher.h"
#include "vinca/control/control.h"
#include "vinca/control/control_font.h"
#include "vinca/control/dispids.h"
#include "vinca/control/hit_test.h"
#include "vinca/control/members.h"
#include "vinca/control/objects/cell_def.h"
#include "vinca/control/objects/grid.h"
#include "vinca/control/objects/level_defs.h"
#include "vinca/control/objects/report.h"
#include "vinca/control/ole_drag.h"
#include "vinca/control/printing.h"
#include "vinca/control/prop_families.h"
#include "vinca/control/web.h"
#include "vinca/model/buffer.h"
#include "vinca/model/grid.h"
#include "vinca/model/thread_registry.h"

namespace vinca {

namespace {

using namespace rows;
using plat::DispCall;
using plat::DispKind;
using plat::DispParam;
namespace d = dispid;
namespace m = members;

constexpr auto P = DispKind::Property;
constexpr auto M = DispKind::Method;
constexpr uint8_t kG = plat::kNoGetAtDesign;                           // read refused at design time
constexpr uint8_t kNG = plat::kNoGet;                                  // read refused
constexpr uint8_t kNP = plat::kNoPut;                                  // write refused
constexpr uint8_t kPD = plat::kNoPutAtDesign | plat::kPutRefusalAsGet; // design-time write: 394

constexpr plat::VARTYPE I2 = plat::VT_I2, I4 = plat::VT_I4, R4 = plat::VT_R4, BOOL_ = plat::VT_BOOL,
                        BSTR_ = plat::VT_BSTR, VAR = plat::VT_VARIANT, DISP = plat::VT_DISPATCH,
                        NONE = plat::VT_EMPTY;

DispParam Arg(std::string_view name, plat::VARTYPE type) {
    return {name, type, 0};
}
DispParam Opt(std::string_view name) {
    return {name, plat::VT_VARIANT, plat::kParamOptional};
}
DispParam ByRef(std::string_view name, plat::VARTYPE type) {
    return {name, type, plat::kParamByRef};
}

using Fn = plat::DispHandler<CVincaCtrl>;

// An item-indexed property with its handlers.
Row Indexed(plat::DISPID id, std::string_view name, plat::VARTYPE type, Fn get, Fn put, uint8_t access = 0,
            std::vector<DispParam> params = {kIndex}) {
    return Row{.id = id,
               .name = name,
               .kind = P,
               .type = type,
               .params = std::move(params),
               .get = std::move(get),
               .put = std::move(put),
               .access = access};
}

Row Method(plat::DISPID id, std::string_view name, plat::VARTYPE type, std::vector<DispParam> params,
           Fn call) {
    return Row{
        .id = id, .name = name, .kind = M, .type = type, .params = std::move(params), .get = std::move(call)};
}

Row Plain(plat::DISPID id, std::string_view name, plat::VARTYPE type, Fn get, Fn put, uint8_t access = 0) {
    return Row{.id = id,
               .name = name,
               .kind = P,
               .type = type,
               .get = std::move(get),
               .put = std::move(put),
               .access = access};
}

Fn Result(std::function<plat::Variant(CVincaCtrl&, DispCall&)> f) {
    return [f = std::move(f)](CVincaCtrl& self, DispCall& c) { c.result() = f(self, c); };
}

plat::Variant Long(int32_t v) {
    return plat::Variant(v);
}
plat::Variant Short(int32_t v) {
    return plat::Variant(static_cast<int16_t>(v));
}
plat::Variant Bool(bool v) {
    return plat::Variant::boolean(v);
}

// The font members read the fields of the control's font object (kept
// beside the properties) and write through that object, which tells the
// control and every other holder of the change.
Row FontMember(plat::DISPID id, std::string_view name, plat::VARTYPE type, plat::DISPID member) {
    return Plain(id, name, type, Result([id](CVincaCtrl& s, DispCall&) { return s.Prop(id); }),
                 [member](CVincaCtrl& s, DispCall& c) {
                     if (!s.Font().Put(member, c.value())) ThrowVincaError(VE_INVALID_ARGUMENT);
                 },
                 kG);
}

// Explorer-like keys and tree lines: the value is stored and, for 1 to 3,
// the properties it implies are set through their own rows.
void ExplorerCompatible(CVincaCtrl& self, DispCall& c) {
    const int16_t v = c.value().iVal;
    if (v < 0 || v > 3) ThrowVincaError(VE_INVALID_ARGUMENT);
    self.SuspendRedraw();
    self.StoreProp(d::kExplorerCompatible, plat::Variant(v));
    auto set = [&](plat::DISPID id, const plat::Variant& value) {
        const plat::DispMemberInfo* m = CVincaCtrl::dispatch_table().find(id);
        if (!m) return;
        plat::Variant arg = value;
        plat::DISPPARAMS params{&arg, nullptr, 1, 0};
        plat::DISPID put = plat::DISPID_PROPERTYPUT;
        params.rgdispidNamedArgs = &put;
        params.cNamedArgs = 1;
        self.Invoke(id, plat::IID_IUnknown, 0, plat::DISPATCH_PROPERTYPUT, &params, nullptr, nullptr,
                    nullptr);
    };
    if (v == 1 || v == 3) set(d::kToolTipsMode, plat::Variant(int16_t(1)));
    if (v == 2 || v == 3) {
        // 15 pixels whatever the container's units: stored directly.
        self.StoreProp(d::kShiftStep, plat::Variant(int16_t(15)));
        set(d::kTreeLinesStyle, plat::Variant(int16_t(2)));
        set(d::kTreeLinesColor, plat::Variant(int32_t(0x808080)));
        set(d::kForeColor, plat::Variant(int32_t(0x80000008)));
        set(d::kSelForeColor, plat::Variant(int32_t(0x8000000E)));
        set(d::kBackColor, plat::Variant(int32_t(0x80000005)));
        set(d::kSelBackColor, plat::Variant(int32_t(0x8000000D)));
        set(d::kToolTipsBackColor, plat::Variant(int32_t(0x80000018)));
        set(d::kToolTipsForeColor, plat::Variant(int32_t(0x80000017)));
        set(d::kToolTipsViewStyle, plat::Variant(int16_t(1)));
    }
    if (v != 0) set(d::kToolTipsDelay, plat::Variant(int32_t(0)));
    self.ResumeRedraw();
    self.RequestRefresh(1, 0);
    self.MarkModified();
}

// True (non-zero) gives the item a grid of its own when it has none; false
// drops it. The rows from the item down are repainted.
void SetItemGrid(CVincaCtrl& s, DispCall& c) {
    CItem* item = s.Item(c.i4(0));
    const bool on = c.value().lVal != 0;
    if (on == (item->Grid() != nullptr)) return;
    if (on) {
        Ref<CTreeGrid> grid = CTreeGrid::New(CTreeGrid::ITEM_GRID);
        if (!grid) ThrowVincaError(VE_GRID_NOT_CREATED);
        item->SetGrid(grid.get());
    } else {
        item->SetGrid(nullptr);
    }
    const int32_t row = s.Engine().RowOf(item);
    if (row >= 0) s.Engine().RefreshItems(row, -1);
    s.ClearPending();
}

const Refresh kNone{};
const Refresh kRepaint{1, 0};
const Refresh kFlags7{7, 0};
const Refresh kFlags5{5, 0};

} // namespace

const plat::DispatchTable<CVincaCtrl>& CVincaCtrl::dispatch_table() {
    static const plat::DispatchTable<CVincaCtrl> table{
        Enum(d::kMousePointer, "MousePointer", 17, {0, 19}),
        FontMember(d::kFontBold, "FontBold", BOOL_, 3),
        FontMember(d::kFontItalic, "FontItalic", BOOL_, 4),
        FontMember(d::kFontName, "FontName", BSTR_, 0),
        FontMember(d::kFontSize, "FontSize", R4, 2),
        FontMember(d::kFontStrikethru, "FontStrikethru", BOOL_, 6),
        FontMember(d::kFontUnderline, "FontUnderline", BOOL_, 5),
        Color(d::kForeColor, "ForeColor", kFlags7),
        Boolean(d::kImageStretch, "ImageStretch", kFlags7),
        Enum(d::kInvStyle, "InvStyle", 6, kFlags7),
        Enum(d::kViewStyle, "ViewStyle", 6, kRepaint),
        Plain(d::kRedraw, "Redraw", BOOL_, Result([](CVincaCtrl& s, DispCall&) { return Bool(s.RedrawCount() == 0); }),
              m::PutRedraw, kG),
        Enum(d::kMultiSelect, "MultiSelect", 3, {0, 14}),
        Enum(d::kPictureType, "PictureType", 5, kRepaint),
        Plain(d::kPathSeparator, "PathSeparator", BSTR_,
              Result([](CVincaCtrl& s, DispCall&) { return s.Prop(d::kPathSeparator); }),
              [](CVincaCtrl& s, DispCall& c) {
                  const std::string text = c.value().to_utf8();
                  if (text.empty() || text[0] == '.') ThrowVincaError(VE_INVALID_PATH_SEPARATOR);
                  if (s.Prop(d::kPathSeparator).to_utf8() == text) return;
                  s.StoreProp(d::kPathSeparator, plat::Variant(std::string_view(text)));
                  s.MarkModified();
              }),
        Picture(d::kPictureRoot, "PictureRoot", kRepaint),
        Picture(d::kPictureOpen, "PictureOpen", kRepaint),
        Enum(d::kCurrentIndexMethod, "CurrentIndexMethod", 3, kNone),
        Color(d::kSelForeColor, "SelForeColor", kFlags7),
        Color(d::kSelBackColor, "SelBackColor", kRepaint),
        Refused(d::kNoIntegralHeight, "NoIntegralHeight", P, BOOL_),
        Boolean(d::kDisableNoScroll, "DisableNoScroll", {1, 12}),
        Plain(d::kCurrentItem, "CurrentItem", BSTR_, m::GetCurrentItem, m::PutCurrentItem, kG),
        Stored(d::kShowChildren, "ShowChildren", BOOL_, kNone),
        Boolean(d::kFixedSize, "FixedSize", {1, 9}),
        Enum(d::kTriggerEvents, "TriggerEvents", 4, kNone),
        Enum(d::kScrollbars, "Scrollbars", 4, {0, 11}),
        Plain(d::kScrollHorz, "ScrollHorz", I2, m::GetScrollHorz, m::PutScrollHorz, kG),
        Plain(d::kText, "Text", BSTR_,
              Result([](CVincaCtrl& s, DispCall&) {
                  std::string text;
                  s.Engine().GetText(text);
                  return plat::Variant(std::string_view(text));
              }),
              [](CVincaCtrl& s, DispCall& c) {
                  s.Raise(s.Engine().SetText(c.value().to_utf8()));
                  s.RaisePending();
              },
              kG),
        Plain(d::kIsClipboardAvailable, "IsClipboardAvailable", BOOL_,
              Result([](CVincaCtrl&, DispCall&) { return Bool(IsTreeOnClipboard()); }), {}, kG | kNP),
        Picture(d::kPicturePlus, "PicturePlus", kRepaint),
        Picture(d::kPictureMinus, "PictureMinus", kRepaint),
        Picture(d::kPictureMark, "PictureMark", {0, 7}),
        Boolean(d::kNoPictureRoot, "NoPictureRoot", kRepaint),
        Enum(d::kViewStyleEx, "ViewStyleEx", 4, kRepaint),
        Enum(d::kAutoExpand, "AutoExpand", 4, kNone),
        Enum(d::kTreeLinesStyle, "TreeLinesStyle", 5, kRepaint),
        Enum(d::kPicInMultiLine, "PicInMultiLine", 3, kRepaint),
        Enum(d::kShowCaption, "ShowCaption", 3, {8, 0}, Mark::No),
        Plain(d::kCaption, "Caption", BSTR_, Result([](CVincaCtrl& s, DispCall&) { return s.Prop(d::kCaption); }),
              [](CVincaCtrl& s, DispCall& c) {
                  // The frame is always redrawn, even for the same text.
                  s.StoreProp(d::kCaption, c.value());
                  s.RequestRefresh(8, 0);
              }),
        Refused(d::kShowTitles, "ShowTitles", P, I2),
        Stored(d::kMSOutlineAdd, "MSOutlineAdd", BOOL_, kNone),
        Plain(d::kCurrentItemBM, "CurrentItemBM", I4,
              Result([](CVincaCtrl& s, DispCall&) {
                  CItem* item = const_cast<CItem*>(s.Engine().CurrentRowItem());
                  return Long(item ? static_cast<int32_t>(s.Engine().ItemBM(item)) : 0);
              }),
              [](CVincaCtrl& s, DispCall& c) {
                  s.Raise(s.Engine().SetCurrentItemBM(static_cast<uint32_t>(c.value().lVal)));
                  s.ClearPending();
              },
              kG),
        Refused(d::kBackwardCompatibility, "BackwardCompatibility", P, BOOL_),
        Stored(d::kExpandChildren, "ExpandChildren", BOOL_, kNone),
        Stored(d::kExpandNewItem, "ExpandNewItem", BOOL_, kNone),
        Color(d::kBackColor, "BackColor", {7, 1}),
        Enum(d::kAutoScrDuringDragDrop, "AutoScrDuringDragDrop", 4, kNone),
        Enum(d::kDragHighlight, "DragHighlight", 3, {0, 10}),
        Size(d::kShiftStep, "ShiftStep", {}, kFlags7),
        Size(d::kItemImageDefHeight, "ItemImageDefHeight", {.horizontal = false}, kFlags5),
        Size(d::kItemImageDefWidth, "ItemImageDefWidth", {}, kFlags5),
        Size(d::kMarkHeight, "MarkHeight", {.horizontal = false}, kFlags5),
        Size(d::kMarkWidth, "MarkWidth", {}, {5, 16}),
        Size(d::kTabStopDistance, "TabStopDistance", {.max = 31999, .above = VE_INVALID_ARGUMENT}, kFlags5),
        Refused(d::kTitleHeight, "TitleHeight", P, R4),
        Size(d::kWidthOfText, "WidthOfText", {.min = -2, .max = 31999, .above = VE_INVALID_ARGUMENT, .minusOne = true},
             kFlags5),
        Size(d::kXOffset, "XOffset", {.max = 2047, .above = VE_INVALID_ARGUMENT}, kFlags5),
        Boolean(d::kDefMultiLine, "DefMultiLine", kFlags5),
        Picture(d::kMouseIcon, "MouseIcon", {0, 19}, true),
        Plain(d::kBottomIndex, "BottomIndex", I4, m::GetBottomIndex, {}, kG | kNP),
        Indexed(d::kClearItem, "ClearItem", I4, {},
                [](CVincaCtrl& s, DispCall& c) {
                    CItem* item = s.Item(c.value().to_i4());
                    if (item->ChildNode()) {
                        CNodeRef pos{item->ParentNode(), item->ParentNode()->IndexOf(item)};
                        s.Raise(s.Engine().RemoveChildren(pos));
                    }
                    s.ClearPending();
                },
                kNG, {}),
        Plain(d::kCopySelected, "CopySelected", I4, m::CopySelected, {}, kG | kNP),
        Picture(d::kPictureClosed, "PictureClosed", kRepaint),
        Picture(d::kPictureInverted, "PictureInverted", kRepaint),
        Picture(d::kPictureLeaf, "PictureLeaf", kRepaint),
        Plain(d::kListCount, "ListCount", I4, Result([](CVincaCtrl& s, DispCall&) { return Long(s.Engine().ListCount()); }),
              {}, kG | kNP),
        Plain(d::kListIndex, "ListIndex", I4, Result([](CVincaCtrl& s, DispCall&) { return Long(s.Engine().GetListIndex()); }),
              [](CVincaCtrl& s, DispCall& c) {
                  s.Raise(s.Engine().SetListIndex(c.value().lVal));
                  s.ClearPending();
              },
              kG),
        Plain(d::kNewIndex, "NewIndex", I4,
              Result([](CVincaCtrl& s, DispCall&) {
                  CItem* item = s.Engine().Cursor().CurrentItem();
                  int32_t index = s.RecallIndex(item);
                  if (index < 0) {
                      index = s.Engine().NewIndex();
                      s.Remember(index, item);
                  }
                  return Long(index);
              }),
              {},
              kG | kNP),
        Plain(d::kTopIndex, "TopIndex", I4, m::GetTopIndex, m::PutTopIndex, kG),
        Plain(d::kSelItemCount, "SelItemCount", I4, m::GetSelItemCount, {}, kG | kNP),
        Size(d::kWidthOfTextMin, "WidthOfTextMin", {.min = 0, .max = 31999, .above = VE_INVALID_ARGUMENT, .minusOne = true},
             kFlags5),
        Boolean(d::kSmartDragDrop, "SmartDragDrop", {0, 20}),
        Method(d::kAddItem, "AddItem", NONE, {Arg("ItemText", BSTR_), Opt("Index")}, m::AddItem),
        Method(d::kIsValidBM, "IsValidBM", BOOL_, {Arg("hTreeBookmark", I4)},
               Result([](CVincaCtrl& s, DispCall& c) {
                   return Bool(s.Engine().IsValidBookmark(static_cast<uint32_t>(c.i4(0))));
               })),
        Method(d::kOnDragOver, "OnDragOver", NONE, {Arg("X", R4), Arg("Y", R4), Arg("State", I2)},
               oledrag::OnDragOver),
        Method(d::kOnDragDrop, "OnDragDrop", I4, {Arg("X", R4), Arg("Y", R4)}, oledrag::OnDragDrop),
        Method(d::kBeforeDrag, "BeforeDrag", NONE, {}, oledrag::BeforeDrag),
        Method(d::kClear, "Clear", NONE, {}, m::Clear),
        Method(d::kFindItem, "FindItem", I4,
               {Arg("FindWhat", BSTR_), Arg("nFlags", I2), Arg("nFromIndex", I4), Arg("nToIndex", I4)}, m::FindItem),
        Method(d::kFindValue, "FindValue", I4,
               {Arg("FindWhat", VAR), Arg("nFlags", I2), Arg("nFromIndex", I4), Arg("nToIndex", I4), Opt("ValueName")},
               m::FindValue),
        Method(d::kGetItemByXY, "GetItemByXY", I4, {Arg("nX", I2), Arg("nY", I2), Arg("nType", I2)}, m::GetItemByXY),
        Method(d::kGetItemRect, "GetItemRect", I2, {Arg("Index", I4), Arg("nOpts", I2), ByRef("pRect", VAR)},
               m::GetItemRect),
        Method(d::kIndexByBM, "IndexByBM", I4, {Arg("hTreeBookmark", I4)},
               Result([](CVincaCtrl& s, DispCall& c) {
                   CItem* item = s.Engine().ItemFromBookmark(static_cast<uint32_t>(c.i4(0)));
                   return Long(item ? s.Engine().ItemIndex(item) : -1);
               })),
        Method(d::kRemoveItem, "RemoveItem", NONE, {Arg("Index", I4)}, m::RemoveItem),
        Method(d::kTranslateIndex, "TranslateIndex", I4,
               {Arg("nFromIndexMethod", I2), Arg("nToIndexMethod", I2), Arg("nFromIndex", I4)}, m::TranslateIndex),
        Method(d::kDropTarget, "DropTarget", I4, {}, oledrag::DropTarget),
        Method(d::kFastAddItem, "FastAddItem", I2, {Arg("Shift", I2), Arg("Text", BSTR_), Arg("Options", I4)},
               m::FastAddItem),
        Method(d::kFastAddItemEx, "FastAddItemEx", I2,
               {Arg("Shift", I2), Arg("Text", BSTR_), Arg("Options", I4), Arg("FontName", BSTR_), Arg("FontSize", I2),
                Arg("BackColor", I4), Arg("ForeColor", I4)},
               m::FastAddItemEx),
        Indexed(d::kAdd, "Add", I4, {}, [](CVincaCtrl& s, DispCall& c) { m::AddBuffer(s, c, false); }, kNG),
        Indexed(d::kClipboard, "Clipboard", I2, {}, m::ClipboardAction, kNG),
        Indexed(d::kCoerceIndex, "CoerceIndex", I4, m::GetCoerceIndex, m::PutCoerceIndex, kG, {Arg("Index", I2)}),
        Indexed(d::kCopyItem, "CopyItem", I4, [](CVincaCtrl& s, DispCall& c) { m::CopyToBuffer(s, c, 0); }, {},
                kG | kNP),
        Indexed(d::kCopyItemSub, "CopyItemSub", I4, [](CVincaCtrl& s, DispCall& c) { m::CopyToBuffer(s, c, 2); }, {},
                kG | kNP),
        Indexed(d::kCopyOne, "CopyOne", I4, [](CVincaCtrl& s, DispCall& c) { m::CopyToBuffer(s, c, 1); }, {},
                kG | kNP),
        Indexed(d::kExpand, "Expand", BOOL_,
                Result([](CVincaCtrl& s, DispCall& c) {
                    CItem* item = s.ItemOrNull(c.i4(0));
                    return Bool(item && item->IsExpanded());
                }),
                [](CVincaCtrl& s, DispCall& c) {
                    CItem* item = s.Item(c.i4(0));
                    s.Raise(s.Engine().SetItemExpanded(item, c.value().boolVal != 0));
                    s.ClearPending();
                },
                kG),
        Indexed(d::kExpandEx, "ExpandEx", BOOL_,
                Result([](CVincaCtrl& s, DispCall& c) {
                    CItem* item = s.ItemOrNull(c.i4(0));
                    return Bool(item && s.Engine().GetExpandEx(item));
                }),
                [](CVincaCtrl& s, DispCall& c) {
                    CItem* item = s.Item(c.i4(0));
                    s.Engine().ExpandSubtree(item, c.value().boolVal != 0);
                    s.ClearPending();
                },
                kG),
        Indexed(d::kHasSubItems, "HasSubItems", BOOL_,
                Result([](CVincaCtrl& s, DispCall& c) {
                    CItem* item = s.ItemOrNull(c.i4(0));
                    return Bool(item && item->HasChildren());
                }),
                {}, kG | kNP),
        Indexed(
            d::kImage, "Image", DISP, [](CVincaCtrl& s, DispCall& c) { m::GetTreePicture(s, c, "__Image"); },
            [](CVincaCtrl& s, DispCall& c) { m::PutTreePicture(s, c, "__Image"); }),
        Indexed(
            d::kInvImage, "InvImage", DISP, [](CVincaCtrl& s, DispCall& c) { m::GetTreePicture(s, c, "__InvImage"); },
            [](CVincaCtrl& s, DispCall& c) { m::PutTreePicture(s, c, "__InvImage"); }),
        Indexed(d::kItemPicValue, "ItemPicValue", DISP, m::GetPicValue, m::PutPicValue, kG),
        Indexed(d::kMarkPicture, "MarkPicture", DISP, m::GetMarkPicture, m::PutMarkPicture, kG),
        Refused(d::kTitlePicture, "TitlePicture", P, DISP, {kIndex}),
        Indexed(d::kIndent, "Indent", I2, m::GetShift, m::PutShift, kG),
        Indexed(d::kInsert, "Insert", I4, {}, [](CVincaCtrl& s, DispCall& c) { m::AddBuffer(s, c, true); }, kNG),
        Indexed(d::kInsertItem, "InsertItem", BSTR_, {}, m::InsertItem, kNG),
        Indexed(d::kIsItemVisible, "IsItemVisible", BOOL_,
                Result([](CVincaCtrl& s, DispCall& c) {
                    CItem* item = s.ItemOrNull(c.i4(0));
                    return Bool(item && s.Engine().HasRow(item));
                }),
                {}, kG | kNP),
        Indexed(d::kItemBM, "ItemBM", I4,
                Result([](CVincaCtrl& s, DispCall& c) {
                    CItem* item = s.ItemOrNull(c.i4(0));
                    return Long(item ? static_cast<int32_t>(s.Engine().ItemBM(item)) : 0);
                }),
                {}, kG | kNP),
        Indexed(d::kItemBackColor, "ItemBackColor", I4,
                Result([](CVincaCtrl& s, DispCall& c) {
                    // No item, or no colour of its own: white.
                    CItem* item = s.ItemOrNull(c.i4(0));
                    int32_t color = 0xFFFFFF;
                    if (item && item->ItemData()) item->ItemData()->GetTreeColor(names::BackColor(), color);
                    return Long(color);
                }),
                [](CVincaCtrl& s, DispCall& c) {
                    CItem* item = s.Item(c.i4(0));
                    if (CItemData* data = item->GetItemData()) data->SetTreeBackColor(c.value().lVal);
                    s.RefreshItemRow(item);
                }),
        Indexed(d::kItemEditText, "ItemEditText", I2, {},
                [](CVincaCtrl& s, DispCall& c) {
                    CItem* item = s.Item(c.i4(0));
                    s.Raise(s.EditItemText(item, c.value().to_i2()));
                    s.ClearPending();
                },
                kNG),
        Indexed(d::kItemFontBold, "ItemFontBold", BOOL_, [](CVincaCtrl& s, DispCall& c) { m::GetItemFont(s, c, m::FontField::Bold); }, [](CVincaCtrl& s, DispCall& c) { m::PutItemFont(s, c, m::FontField::Bold); }, kG),
        Indexed(d::kItemFontItalic, "ItemFontItalic", BOOL_, [](CVincaCtrl& s, DispCall& c) { m::GetItemFont(s, c, m::FontField::Italic); }, [](CVincaCtrl& s, DispCall& c) { m::PutItemFont(s, c, m::FontField::Italic); }, kG),
        Indexed(d::kItemFontName, "ItemFontName", BSTR_, [](CVincaCtrl& s, DispCall& c) { m::GetItemFont(s, c, m::FontField::Name); }, [](CVincaCtrl& s, DispCall& c) { m::PutItemFont(s, c, m::FontField::Name); }, kG),
        Indexed(d::kItemFontSize, "ItemFontSize", R4, [](CVincaCtrl& s, DispCall& c) { m::GetItemFont(s, c, m::FontField::Size); }, [](CVincaCtrl& s, DispCall& c) { m::PutItemFont(s, c, m::FontField::Size); }, kG),
        Indexed(d::kItemFontStrike, "ItemFontStrike", BOOL_, [](CVincaCtrl& s, DispCall& c) { m::GetItemFont(s, c, m::FontField::Strike); }, [](CVincaCtrl& s, DispCall& c) { m::PutItemFont(s, c, m::FontField::Strike); }, kG),
        Indexed(d::kItemFontUnder, "ItemFontUnder", BOOL_, [](CVincaCtrl& s, DispCall& c) { m::GetItemFont(s, c, m::FontField::Under); }, [](CVincaCtrl& s, DispCall& c) { m::PutItemFont(s, c, m::FontField::Under); }, kG),
        Indexed(d::kItemForeColor, "ItemForeColor", I4,
                Result([](CVincaCtrl& s, DispCall& c) {
                    // No item, or no colour of its own: white.
                    CItem* item = s.ItemOrNull(c.i4(0));
                    int32_t color = 0xFFFFFF;
                    if (item && item->ItemData()) item->ItemData()->GetTreeColor(names::ForeColor(), color);
                    return Long(color);
                }),
                [](CVincaCtrl& s, DispCall& c) {
                    CItem* item = s.Item(c.i4(0));
                    if (CItemData* data = item->GetItemData()) data->SetTreeForeColor(c.value().lVal);
                    s.RefreshItemRow(item);
                }),
        Indexed(d::kItemIntValue, "ItemIntValue", I2, [](CVincaCtrl& s, DispCall& c) { m::GetItemValue(s, c, I2); },
                [](CVincaCtrl& s, DispCall& c) { m::PutItemValue(s, c, I2); }, kG),
        Indexed(d::kItemLngValue, "ItemLngValue", I4, [](CVincaCtrl& s, DispCall& c) { m::GetItemValue(s, c, I4); },
                [](CVincaCtrl& s, DispCall& c) { m::PutItemValue(s, c, I4); }, kG),
        Indexed(d::kItemMark, "ItemMark", I4,
                Result([](CVincaCtrl& s, DispCall& c) {
                    CItem* item = s.ItemOrNull(c.i4(0));
                    return Long(item ? item->Mark() : 0);
                }),
                [](CVincaCtrl& s, DispCall& c) {
                    const int32_t mark = c.value().lVal;
                    if (mark < 0 || mark > 255) ThrowVincaError(VE_BAD_INDEX);
                    CItem* item = s.Item(c.i4(0));
                    s.Raise(s.Engine().SetItemMark(item, mark));
                    s.ClearPending();
                },
                kG | kPD),
        Indexed(d::kItemMultiLine, "ItemMultiLine", I2,
                Result([](CVincaCtrl& s, DispCall& c) {
                    CItem* item = s.Item(c.i4(0));
                    CAttrSet* tree = item->ItemData() ? item->ItemData()->GetValueSet(names::Tree(), false) : nullptr;
                    const plat::Variant* v = tree ? tree->FindValue(GlobalName("__Multiline")) : nullptr;
                    return Short(v ? (v->to_i4() == 2 ? 2 : 1) : 0);
                }),
                [](CVincaCtrl& s, DispCall& c) {
                    CItem* item = s.Item(c.i4(0));
                    const int16_t v = c.value().iVal;
                    CItemData* data = item->GetItemData();
                    CAttrSet* tree = data ? data->GetValueSet(names::Tree()) : nullptr;
                    if (!tree) ThrowVincaError(VE_OUT_OF_MEMORY);
                    const CVincaName* key = GlobalName("__Multiline");
                    if (v == 1 || v == -1 || v == 2)
                        tree->SetOrAddValue(key, plat::Variant(int16_t(v == 2 ? 2 : 1)));
                    else
                        tree->RemoveEntry(key); // back to DefMultiLine
                    s.RefreshItemRow(item);
                },
                kG),
        Indexed(d::kItemParentBM, "ItemParentBM", I4,
                Result([](CVincaCtrl& s, DispCall& c) {
                    const int32_t index = c.i4(0);
                    CItem* item = s.ItemOrNull(index);
                    if (!item) return Long(0);
                    if (s.Engine().CurrentIndexMethod() == VNSYS_LEVEL && index >= 0) return Long(-2);
                    CItem* parent = item->GetParentItem();
                    return Long(parent && parent->ParentNode() ? static_cast<int32_t>(s.Engine().ItemBM(parent)) : 0);
                }),
                {}, kG | kNP),
        Indexed(d::kItemSngValue, "ItemSngValue", R4, [](CVincaCtrl& s, DispCall& c) { m::GetItemValue(s, c, R4); },
                [](CVincaCtrl& s, DispCall& c) { m::PutItemValue(s, c, R4); }, kG),
        Indexed(d::kItemSorted, "ItemSorted", I2,
                Result([](CVincaCtrl& s, DispCall& c) {
                    CItem* item = s.ItemOrNull(c.i4(0));
                    return Short(item ? item->SortMethod() : 0);
                }),
                [](CVincaCtrl& s, DispCall& c) {
                    const int16_t method = c.value().iVal;
                    if (method < 0 || method > 4) ThrowVincaError(VE_INVALID_ARGUMENT);
                    CItem* item = s.Item(c.i4(0));
                    s.Raise(s.Engine().SetItemSorted(item, method));
                    s.ClearPending();
                },
                kG),
        Indexed(d::kItemStrValue, "ItemStrValue", BSTR_, [](CVincaCtrl& s, DispCall& c) { m::GetItemValue(s, c, BSTR_); },
                [](CVincaCtrl& s, DispCall& c) { m::PutItemValue(s, c, BSTR_); }, kG),
        Indexed(d::kItemType, "ItemType", I2,
                Result([](CVincaCtrl& s, DispCall& c) {
                    CItem* item = s.Item(c.i4(0));
                    int16_t kind = 0;
                    s.Engine().GetItemType(item, kind);
                    return Short(kind);
                }),
                {}, kG | kNP),
        Indexed(d::kList, "List", BSTR_,
                Result([](CVincaCtrl& s, DispCall& c) { return plat::Variant(std::string_view(s.Item(c.i4(0))->Text())); }),
                [](CVincaCtrl& s, DispCall& c) {
                    CItem* item = s.Item(c.i4(0));
                    s.Raise(s.Engine().SetListText(item, c.value().to_utf8()));
                    s.ClearPending();
                },
                kG),
        Indexed(d::kListCountEx, "ListCountEx", I4,
                Result([](CVincaCtrl& s, DispCall& c) {
                    const int32_t index = c.i4(0);
                    CItem* item = s.ItemOrNull(index);
                    if (!item) return Long(index == -1 ? s.Engine().ListCount() : 0);
                    return Long(item->ChildCount());
                }),
                {}, kG | kNP),
        Indexed(d::kLoadAndAdd, "LoadAndAdd", I2, {}, [](CVincaCtrl& s, DispCall& c) { m::LoadFromFile(s, c, false); },
                kNG),
        Indexed(d::kLoadAndInsert, "LoadAndInsert", I2, {},
                [](CVincaCtrl& s, DispCall& c) { m::LoadFromFile(s, c, true); }, kNG),
        Indexed(
            d::kMarkTag, "MarkTag", BSTR_,
            Result([](CVincaCtrl& s, DispCall& c) {
                auto it = s.MarkTags().find(c.i4(0));
                return plat::Variant(std::string_view(it == s.MarkTags().end() ? std::string() : it->second));
            }),
            [](CVincaCtrl& s, DispCall& c) {
                const int32_t n = c.i4(0);
                if (n < 0 || n > 255) ThrowVincaError(VE_BAD_INDEX);
                s.MarkTags()[n] = c.value().to_utf8();
            },
            kG),
        Indexed(d::kSave, "Save", I2, {}, [](CVincaCtrl& s, DispCall& c) { m::SaveToFile(s, c, 0); }, kNG),
        Indexed(d::kSaveOne, "SaveOne", I2, {}, [](CVincaCtrl& s, DispCall& c) { m::SaveToFile(s, c, 1); }, kNG),
        Indexed(d::kSaveSub, "SaveSub", I2, {}, [](CVincaCtrl& s, DispCall& c) { m::SaveToFile(s, c, 2); }, kNG),
        Indexed(d::kSelItemIndex, "SelItemIndex", I4, m::GetSelItemIndex, {}, kG | kNP),
        Indexed(d::kSelectEx, "SelectEx", BOOL_, {},
                [](CVincaCtrl& s, DispCall& c) { m::PutSelected(s, c, false); }, kNG),
        Indexed(d::kSelected, "Selected", BOOL_, m::GetSelected,
                [](CVincaCtrl& s, DispCall& c) { m::PutSelected(s, c, true); }, kG),
        Indexed(d::kShift, "Shift", I2, m::GetShift, m::PutShift, kG),
        Refused(d::kTitleText, "TitleText", P, BSTR_, {kIndex}),
        Refused(d::kTitleVisible, "TitleVisible", P, BOOL_, {kIndex}),
        Refused(d::kTitleWidth, "TitleWidth", P, R4, {kIndex}),
        Indexed(d::kFullPath, "FullPath", BSTR_,
                Result([](CVincaCtrl& s, DispCall& c) {
                    CItem* item = s.ItemOrNull(c.i4(0));
                    std::string path;
                    if (item) path = m::JoinedPath(s, item);
                    return plat::Variant(std::string_view(path));
                }),
                {}, kG | kNP),
        Indexed(d::kFile, "File", I2, {}, m::FileAction, kNG, {Arg("FileIndex", I2)}),
        Indexed(d::kItemPMPicType, "ItemPMPicType", I2,
                Result([](CVincaCtrl& s, DispCall& c) {
                    const uint16_t flags = s.Item(c.i4(0))->Flags();
                    return Short(((flags & 0x1000) ? 1 : 0) | ((flags & 0x2000) ? 2 : 0));
                }),
                [](CVincaCtrl& s, DispCall& c) {
                    CItem* item = s.Item(c.i4(0));
                    const int16_t v = c.value().iVal;
                    const uint16_t bits = static_cast<uint16_t>(((v & 1) ? 0x1000 : 0) | ((v & 2) ? 0x2000 : 0));
                    item->SetFlags(static_cast<uint16_t>((item->Flags() & ~0x3000) | bits));
                },
                kG),
        Plain(d::kEnvironment, "Environment", I2, Result([](CVincaCtrl& s, DispCall&) { return s.Prop(d::kEnvironment); }),
              [](CVincaCtrl& s, DispCall& c) {
                  const int16_t v = c.value().iVal;
                  if (v < 0 || v > 1) ThrowVincaError(VE_INVALID_ARGUMENT);
                  if (s.Prop(d::kEnvironment).to_i2() == v) return;
                  s.StoreProp(d::kEnvironment, plat::Variant(v));
                  s.MarkModified();
              }),
        Method(d::kFreeBuffer, "FreeBuffer", NONE, {Arg("TreeBuffer", I4)},
               [](CVincaCtrl&, DispCall& c) { FreeVincaBuffer(static_cast<uint32_t>(c.i4(0))); }),
        Method(d::kIsValidBuffer, "IsValidBuffer", I2, {Arg("TreeBuffer", I4)},
               Result([](CVincaCtrl&, DispCall& c) { return Short(IsValidVincaBuffer(static_cast<uint32_t>(c.i4(0)))); })),
        Method(d::kSaveBuffer, "SaveBuffer", I2, {Arg("TreeBuffer", I4), Arg("nFile", I2)}, m::SaveBuffer),
        Method(d::kLoadBuffer, "LoadBuffer", I2, {ByRef("TreeBuffer", I4), Arg("nFile", I2)}, m::LoadBuffer),
        Method(d::kCopyBuffer, "CopyBuffer", I2, {Arg("TreeBuffer", I4)},
               Result([](CVincaCtrl&, DispCall& c) { return Short(CopyBufferToClipboard(static_cast<uint32_t>(c.i4(0)))); })),
        Method(d::kPasteBuffer, "PasteBuffer", I2, {ByRef("TreeBuffer", I4)}, m::PasteBuffer),
        Method(d::kIsClipboardFormatAvailable, "IsClipboardFormatAvailable", I2, {},
               Result([](CVincaCtrl&, DispCall&) { return Short(IsTreeOnClipboard() ? 1 : 0); })),
        Color(d::kTreeLinesColor, "TreeLinesColor", {3, 0}),
        Boolean(d::kDrawFocusRect, "DrawFocusRect", {0, 15}),
        Plain(d::kExplorerCompatible, "ExplorerCompatible", I2,
              Result([](CVincaCtrl& s, DispCall&) { return s.Prop(d::kExplorerCompatible); }), ExplorerCompatible),
        Enum(d::kToolTipsMode, "ToolTipsMode", 2, {0, 17}),
        Enum(d::kToolTipsViewStyle, "ToolTipsViewStyle", 2, kNone),
        Color(d::kToolTipsForeColor, "ToolTipsForeColor", {4, 0}),
        Color(d::kToolTipsBackColor, "ToolTipsBackColor", {4, 0}),
        Enum(d::kWebAutoNavigate, "WebAutoNavigate", 2, kNone),
        Stored(d::kWebTargetFrame, "WebTargetFrame", BSTR_, kNone),
        Stored(d::kWebURLBase, "WebURLBase", BSTR_, kNone),
        Method(d::kWebGoBack, "WebGoBack", I2, {},
               Result([](CVincaCtrl& s, DispCall&) { return Short(s.Web().GoBack()); })),
        Method(d::kWebGoForward, "WebGoForward", I2, {},
               Result([](CVincaCtrl& s, DispCall&) { return Short(s.Web().GoForward()); })),
        // The URL goes as given, with no base joined; the desktop's browser
        // has no frames or windows to aim at, so those arguments are taken
        // and not used.
        Method(d::kWebNavigate, "WebNavigate", I2, {Arg("lpszURL", BSTR_), Opt("varFrameName"), Opt("varFlags")},
               Result([](CVincaCtrl& s, DispCall& c) { return Short(s.Web().Navigate(c.text(0))); })),
        Method(d::kSaveData, "SaveData", I2, {Arg("lpszFileName", BSTR_)}, m::SaveData),
        Method(d::kLoadData, "LoadData", I2, {Arg("lpszFileName", BSTR_)}, m::LoadData),
        Plain(d::kVersion, "Version", I4, Result([](CVincaCtrl&, DispCall&) { return Long(50019); }), {}, kNP),
        Row{.id = d::kGrid,
            .name = "Grid",
            .kind = P,
            .type = DISP,
            .get = [](CVincaCtrl& s, DispCall& c) { c.result() = GridObject(s.Link(), nullptr); },
            .put = [](CVincaCtrl& s, DispCall& c) { s.SetHasGrid(c.value().lVal != 0); },
            .access = kG,
            .put_type = I4},
        Row{.id = d::kItemGrid,
            .name = "ItemGrid",
            .kind = P,
            .type = DISP,
            .params = {kIndex},
            .get =
                [](CVincaCtrl& s, DispCall& c) {
                    // No item: the grid of the visible tree's root item.
                    CItem* item = s.ItemOrNull(c.i4(0));
                    if (!item) item = s.Engine().VisualRoot() ? s.Engine().VisualRoot() : s.Engine().Root();
                    c.result() = GridObject(s.Link(), item);
                },
            .put = SetItemGrid,
            .put_type = I4},
        Indexed(
            d::kItemValues, "ItemValues", DISP,
            Result([](CVincaCtrl& s, DispCall& c) {
                CItem* item = s.ItemOrNull(c.i4(0));
                if (!item) return plat::Variant(static_cast<plat::IDispatch*>(nullptr));
                const plat::VARIANT& key = plat::deref(c.arg(1));
                // A number is a 0-based position; a text a name; else the whole list.
                if (key.vt == plat::VT_I2 || key.vt == plat::VT_I4)
                    return ValueObjectAt(s.Link(), item, key.vt == plat::VT_I2 ? key.iVal : key.lVal);
                auto values = plat::make_object<COleValues>(s.Link(), Ref<CItem>(item));
                if (key.vt == plat::VT_BSTR) return values->Item(key);
                return plat::Variant(static_cast<plat::IDispatch*>(values.get()));
            }),
            {}, kNP, {kIndex, Opt("ValueName")}),
        Plain(d::kLevelDefs, "LevelDefs", DISP,
              Result([](CVincaCtrl& s, DispCall&) {
                  auto defs = plat::make_object<COleLevelDefs>(s.Link());
                  return plat::Variant(static_cast<plat::IDispatch*>(defs.get()));
              }),
              {}, kNP),
        Picture(d::kBackPicture, "BackPicture", {1, 3}),
        Enum(d::kBackPictureAlignment, "BackPictureAlignment", 12, {1, 3}, Mark::No),
        Row{.id = d::kItemCell,
            .name = "ItemCell",
            .kind = P,
            .type = DISP,
            .params = {kIndex},
            .get =
                [](CVincaCtrl& s, DispCall& c) {
                    // Nothing for an index that names no item.
                    Ref<CItem> item(s.ItemOrNull(c.i4(0)));
                    c.result() = item ? CellDefObject(s.Link(), CellDefKind::TreeCell,
                                                      ItemCellTarget(item, CellDefKind::TreeCell))
                                      : plat::Variant(static_cast<plat::IDispatch*>(nullptr));
                },
            .put =
                [](CVincaCtrl& s, DispCall& c) {
                    // Only Nothing is taken (it resets the cell); an object cannot be set.
                    const plat::VARIANT& v = plat::deref(c.value());
                    if ((v.vt == plat::VT_DISPATCH || v.vt == plat::VT_UNKNOWN) && v.punkVal)
                        plat::raise_error(plat::kErrSetNotSupported);
                    ClearCellDef(s, c.value(), ItemCellTarget(Ref<CItem>(s.Item(c.i4(0))), CellDefKind::TreeCell));
                },
            .put_type = VAR},
        DefCell(d::kDefItemCellBorderStyle, "DefItemCellBorderStyle", 5, {"DefBorderStyle"}),
        DefCell(d::kDefItemCellPictureAlignment, "DefItemCellPictureAlignment", 13, {"DefPictureAlignment"}),
        DefCell(d::kDefItemCellAlignment, "DefItemCellAlignment", 4, {"DefAlignment"}),
        DefCell(d::kDefItemCellTextAlignment, "DefItemCellTextAlignment", 10, {"DefTextAlignment"}),
        Color(d::kGradientColorFrom, "GradientColorFrom", {1, 3}, Mark::No),
        Color(d::kGradientColorTo, "GradientColorTo", {1, 3}, Mark::No),
        Enum(d::kGradientStyle, "GradientStyle", 5, {1, 3}, Mark::No),
        Indexed(d::kItemParent, "ItemParent", I4,
                Result([](CVincaCtrl& s, DispCall& c) {
                    CItem* item = s.ItemOrNull(c.i4(0));
                    CItem* parent = item ? item->GetParentItem() : nullptr;
                    return Long(parent && parent->ParentNode() ? s.Engine().ItemIndex(parent) : -1);
                }),
                {}, kNP),
        Indexed(d::kItemVirtualCount, "ItemVirtualCount", I4,
                Result([](CVincaCtrl& s, DispCall& c) { return Long(s.Engine().GetVirtualCount(s.Item(c.i4(0)))); }),
                [](CVincaCtrl& s, DispCall& c) {
                    s.Raise(s.Engine().SetVirtualCount(s.Item(c.i4(0)), c.value().lVal));
                    s.ClearPending();
                },
                kG),
        Indexed(d::kItemVirtualParent, "ItemVirtualParent", BOOL_,
                Result([](CVincaCtrl& s, DispCall& c) { return Bool(s.Engine().IsVirtualParent(s.ItemOrNull(c.i4(0)))); }),
                [](CVincaCtrl& s, DispCall& c) {
                    const int32_t index = c.i4(0);
                    CItem* item = index == -1 ? nullptr : s.Item(index);
                    s.Raise(s.Engine().SetVirtualParent(item, c.value().boolVal != 0));
                    s.ClearPending();
                },
                kG | kPD),
        Indexed(d::kItemAlwaysHidden, "ItemAlwaysHidden", BOOL_,
                Result([](CVincaCtrl& s, DispCall& c) { return Bool(s.Item(c.i4(0))->Hidden()); }),
                [](CVincaCtrl& s, DispCall& c) {
                    s.Raise(s.Engine().SetItemAlwaysHidden(s.Item(c.i4(0)), c.value().boolVal != 0));
                    s.ClearPending();
                },
                kG),
        Boolean(d::kTransparentBackground, "TransparentBackground", {1, 3}, Mark::No),
        Method(d::kHitTest, "HitTest", VAR, {Arg("X", R4), Arg("Y", R4), ByRef("varTarget", VAR)}, m::HitTest),
        Method(d::kUpdateBackground, "UpdateBackground", NONE, {},
               [](CVincaCtrl& s, DispCall&) { s.RequestRefresh(1, 3); }),
        Indexed(d::kItemURL, "ItemURL", BSTR_,
                Result([](CVincaCtrl& s, DispCall& c) {
                    CItem* item = s.ItemOrNull(c.i4(0));
                    std::string url = item && item->ItemData() ? item->ItemData()->GetTreeUrl() : std::string();
                    return plat::Variant(std::string_view(url));
                }),
                [](CVincaCtrl& s, DispCall& c) {
                    CItem* item = s.Item(c.i4(0));
                    if (CItemData* data = item->GetItemData()) data->SetTreeUrl(c.value().to_utf8());
                },
                kG),
        Row{.id = d::kHasGrid,
            .name = "HasGrid",
            .kind = P,
            .type = BOOL_,
            .get = Result([](CVincaCtrl& s, DispCall&) { return Bool(s.OwnGrid() != nullptr); }),
            .put = [](CVincaCtrl& s, DispCall& c) { s.SetHasGrid(c.value().lVal != 0); },
            .access = kG,
            .put_type = I4},
        Row{.id = d::kItemHasGrid,
            .name = "ItemHasGrid",
            .kind = P,
            .type = BOOL_,
            .params = {kIndex},
            .get = Result([](CVincaCtrl& s, DispCall& c) {
                // Reading never makes a grid; no item asks the root.
                CItem* item = s.ItemOrNull(c.i4(0));
                if (!item) item = s.Engine().Root();
                return Bool(item->Grid() != nullptr);
            }),
            .put = SetItemGrid,
            .access = kG,
            .put_type = I4},
        DefCell(d::kDefItemCellBorderColor, "DefItemCellBorderColor", 0, {}),
        Indexed(d::kItemTag, "ItemTag", VAR,
                Result([](CVincaCtrl& s, DispCall& c) {
                    // The tag lives with the item's tree attributes, where FindValue looks.
                    CItem* item = s.ItemOrNull(c.i4(0));
                    CAttrSet* tree = item && item->ItemData() ? item->ItemData()->GetValueSet(names::Tree(), false)
                                                              : nullptr;
                    const plat::Variant* v = tree ? tree->FindValue(names::Tag()) : nullptr;
                    plat::Variant out = v ? *v : plat::Variant();
                    // Text kept in the item's single-byte form goes out as automation text.
                    if (out.vt == plat::VT_ANSI) out = plat::Variant(plat::bstr_bytes(v->bstrVal));
                    return out;
                }),
                [](CVincaCtrl& s, DispCall& c) {
                    CItem* item = s.Item(c.i4(0));
                    CItemData* data = item->GetItemData();
                    if (!data) ThrowVincaError(VE_OUT_OF_MEMORY);
                    const plat::VARIANT& v = plat::deref(c.value());
                    plat::Variant stored(v);
                    CAttrSet* tree = data->GetValueSet(names::Tree());
                    if (!tree) ThrowVincaError(VE_OUT_OF_MEMORY);
                    s.Raise(tree->SetOrAddValue(names::Tag(), stored));
                }),
        Method(d::kRefreshItems, "RefreshItems", NONE, {Opt("varFrom"), Opt("varTo")},
               [](CVincaCtrl& s, DispCall& c) {
                   const int32_t from = c.has_arg(0) ? c.arg(0).to_i4() : 0;
                   const int32_t to = c.has_arg(1) ? c.arg(1).to_i4() : -1;
                   s.Engine().RefreshItems(from, to);
                   s.ClearPending();
               }),
        Enum(d::kInvBorderStyle, "InvBorderStyle", 2, kFlags7),
        Boolean(d::kShowHiddenItems, "ShowHiddenItems", {0, 18}),
        Row{.id = d::kActiveGrid,
            .name = "ActiveGrid",
            .kind = P,
            .type = DISP,
            .get =
                [](CVincaCtrl& s, DispCall& c) {
                    auto g = COleGrid::Active(s.Link());
                    c.result() = plat::Variant(static_cast<plat::IDispatch*>(g.get()));
                },
            .access = kNP},
        Indexed(d::kMarkedItemsAlwaysHidden, "MarkedItemsAlwaysHidden", I4,
                Result([](CVincaCtrl& s, DispCall& c) { return Long(s.Engine().IsMarkHidden(c.i4(0)) ? 1 : 0); }),
                [](CVincaCtrl& s, DispCall& c) {
                    const int32_t mark = c.i4(0);
                    if (mark < 0 || mark > 255) ThrowVincaError(VE_BAD_INDEX);
                    s.Raise(s.Engine().SetMarkedItemsAlwaysHidden(mark, c.value().lVal != 0));
                    s.ClearPending();
                },
                kG),
        DefCell(d::kDefItemCellBackColor, "DefItemCellBackColor", 0, {}),
        Indexed(d::kPictureList, "PictureList", DISP, m::GetPictureList, {}, kNP, {Arg("Index", I2)}),
        Plain(d::kPictureListCount, "PictureListCount", I2,
              Result([](CVincaCtrl& s, DispCall&) {
                  return Short(s.MarkPictures().empty() ? -1 : static_cast<int32_t>(s.MarkPictures().size()));
              }),
              [](CVincaCtrl& s, DispCall& c) {
                  // 0 empties the list; other values are ignored.
                  if (c.value().iVal != 0) return;
                  s.MarkPictures().clear();
                  s.MarkListChanged();
              },
              kG),
        Indexed(
            d::kItemHasValue, "ItemHasValue", BOOL_,
            Result([](CVincaCtrl& s, DispCall& c) {
                // False for an index that names no item.
                CItem* item = s.ItemOrNull(c.i4(0));
                const std::string name = c.arg(1).to_utf8();
                const CVincaName* key = name.empty() ? nullptr : GlobalName(name);
                return Bool(key && item && item->ItemData() && item->ItemData()->FindNamedValue(key));
            }),
            [](CVincaCtrl& s, DispCall& c) {
                // True makes sure the value is there, False drops it.
                CItem* item = s.Item(c.i4(0));
                const std::string name = c.arg(1).to_utf8();
                if (name.empty()) ThrowVincaError(VE_INVALID_ARGUMENT);
                const CVincaName* key = GlobalName(name);
                if (c.value().boolVal == 0) {
                    if (item->ItemData()) item->ItemData()->Values().RemoveEntry(key);
                    return;
                }
                CItemData* data = item->GetItemData();
                if (!data) ThrowVincaError(VE_OUT_OF_MEMORY);
                // An empty value leaves no entry behind: the value starts as empty text.
                if (!data->FindNamedValue(key)) s.Raise(data->Values().SetOrAddValue(key, plat::Variant::ansi("")));
            },
            0, {kIndex, Arg("ValueName", VAR)}),
        Indexed(
            d::kItemSortingKey, "ItemSortingKey", VAR,
            Result([](CVincaCtrl& s, DispCall& c) {
                CItem* item = s.Item(c.i4(0));
                const CVincaName* key = item->ChildNode() ? item->ChildNode()->OwnerItem()->SortKey() : item->SortKey();
                return plat::Variant(std::string_view(key && key != names::ObsoleteValue() ? key->Text() : ""));
            }),
            [](CVincaCtrl& s, DispCall& c) {
                CItem* item = s.Item(c.i4(0));
                s.Raise(s.Engine().SetItemSortingKey(item, c.value()));
                s.ClearPending();
            },
            kG, {kIndex, Arg("SortOrder", I2)}),
        Indexed(d::kItemPrevSibling, "ItemPrevSibling", I4,
                Result([](CVincaCtrl& s, DispCall& c) {
                    CItem* item = s.Item(c.i4(0));
                    CItemNode* node = item->ParentNode();
                    const int32_t pos = node->IndexOf(item);
                    return Long(pos <= 0 ? CVincaEngine::kNoSibling : s.Engine().ItemIndex(node->GetAt(pos - 1)));
                }),
                {}, kNP),
        Indexed(d::kItemNextSibling, "ItemNextSibling", I4,
                Result([](CVincaCtrl& s, DispCall& c) {
                    CItem* item = s.Item(c.i4(0));
                    CItemNode* node = item->ParentNode();
                    const int32_t pos = node->IndexOf(item);
                    return Long(pos + 1 >= node->GetCount() ? CVincaEngine::kNoSibling
                                                            : s.Engine().ItemIndex(node->GetAt(pos + 1)));
                }),
                {}, kNP),
        Indexed(d::kItemHeight, "ItemHeight", R4, m::GetItemHeight, m::PutItemHeight),
        Plain(d::kOLEDropMode, "OLEDropMode", I2, Result([](CVincaCtrl& s, DispCall&) { return s.Prop(d::kOLEDropMode); }),
              oledrag::PutOLEDropMode),
        Stored(d::kColDelimiter, "ColDelimiter", I2, kNone, Mark::No),
        Stored(d::kConvertTabsToCols, "ConvertTabsToCols", BOOL_, kNone, Mark::No),
        Plain(d::kCurrentParent, "CurrentParent", VAR, m::GetCurrentParent, m::PutCurrentParent, kG | kPD),
        Refused(d::kDummy1, "_Dummy1", P, DISP),
        Refused(d::kDummy2, "_Dummy2", P, DISP),
        Picture(d::kPicturePalette, "PicturePalette", kRepaint),
        Color(d::kTransparentBitmapColor, "TransparentBitmapColor", {7, 3}, Mark::No),
        Boolean(d::kTransparentBitmap, "TransparentBitmap", {7, 3}, Mark::No),
        Method(d::kAddItem2, "AddItem2", I2, {Arg("Shift", I2), Arg("Text", BSTR_), Arg("Options", I4)}, m::FastAddItem),
        Method(d::kAddItem2Ex, "AddItem2Ex", I2,
               {Arg("Shift", I2), Arg("Text", BSTR_), Arg("Options", I4), Arg("FontName", BSTR_), Arg("FontSize", I2),
                Arg("BackColor", I4), Arg("ForeColor", I4)},
               m::FastAddItemEx),
        Plain(d::kReport, "Report", DISP, Result([](CVincaCtrl& s, DispCall&) { return ReportObject(s.Link()); }), {}, kNP),
        Row{.id = d::kDefItemCellDef,
            .name = "DefItemCellDef",
            .kind = P,
            .type = DISP,
            .get =
                [](CVincaCtrl& s, DispCall& c) {
                    c.result() = CellDefObject(s.Link(), CellDefKind::Inner, DefItemCellTarget());
                },
            .access = kNP},
        Plain(d::kVisualRoot, "VisualRoot", I4,
              Result([](CVincaCtrl& s, DispCall&) {
                  CItem* root = s.Engine().VisualRoot();
                  return Long(root ? s.Engine().ItemIndex(root) : -1);
              }),
              [](CVincaCtrl& s, DispCall& c) {
                  const int32_t index = c.value().lVal;
                  s.Engine().SetVisualRoot(index == -1 ? nullptr : s.Item(index));
                  s.ClearPending();
              },
              kG),
        Plain(d::kToolTipsDelay, "ToolTipsDelay", I4,
              Result([](CVincaCtrl& s, DispCall&) { return s.Prop(d::kToolTipsDelay); }),
              [](CVincaCtrl& s, DispCall& c) {
                  const int32_t v = c.value().lVal;
                  if (v < 0 || v > 2147483646) ThrowVincaError(VE_INVALID_ARGUMENT);
                  if (s.Prop(d::kToolTipsDelay).to_i4() == v) return;
                  s.StoreProp(d::kToolTipsDelay, plat::Variant(v));
                  s.RequestRefresh(4, 22);
              }),
        Indexed(d::kItemLastSubItemIndex, "ItemLastSubItemIndex", I4,
                Result([](CVincaCtrl& s, DispCall& c) {
                    CItem* item = s.Item(c.i4(0));
                    CItem* last = item;
                    while (last->ChildNode() && last->ChildNode()->GetCount() > 0)
                        last = last->ChildNode()->GetAt(last->ChildNode()->GetCount() - 1);
                    return Long(s.Engine().ItemIndex(last));
                }),
                {}, kNP),
        Plain(d::kExpandToLevel, "ExpandToLevel", I4, {},
              [](CVincaCtrl& s, DispCall& c) {
                  if (c.value().lVal < 0) ThrowVincaError(VE_BAD_INDEX);
                  s.Engine().ExpandToLevel(c.value().lVal);
                  s.ClearPending();
              },
              kNG),
        Plain(d::kAutoDragMode, "AutoDragMode", I2,
              Result([](CVincaCtrl& s, DispCall&) { return s.Prop(d::kAutoDragMode); }), oledrag::PutAutoDragMode,
              kG),
        Indexed(
            d::kItemSortingStyle, "ItemSortingStyle", I4,
            Result([](CVincaCtrl& s, DispCall& c) { return Long(s.Item(c.i4(0))->SortingStyle()); }),
            [](CVincaCtrl& s, DispCall& c) {
                s.Raise(s.Engine().SetItemSortingStyle(s.Item(c.i4(0)), c.value().lVal));
                s.ClearPending();
            },
            0, {kIndex, Arg("SortOrder", I2)}),
        Plain(d::kDragIconStyle, "DragIconStyle", I2,
              Result([](CVincaCtrl& s, DispCall&) { return s.Prop(d::kDragIconStyle); }), oledrag::PutDragIconStyle),
        Method(d::kLoadPicture, "LoadPicture", DISP, {Arg("lpszFileName", BSTR_)}, m::LoadPicture),
        Method(d::kPrintOneStep, "PrintOneStep", NONE,
               {Arg("varOutputDC", VAR), Arg("LeftMargin", I4), Arg("TopMargin", I4), Arg("RightMargin", I4),
                Arg("BottomMargin", I4), Arg("StartItem", I4), Arg("EndItem", I4), Arg("lOptions", I4),
                Arg("strHeader", BSTR_), Arg("strFooter", BSTR_), Opt("Zoom")},
               [](CVincaCtrl& s, DispCall& c) {
                   printing::PrintOneStep(s, c.arg(0), c.i4(1), c.i4(2), c.i4(3), c.i4(4), c.i4(5), c.i4(6),
                                          c.i4(7), c.text(8), c.text(9), c.arg(10));
               }),
        Plain(d::kModifications, "Modifications", I4,
              Result([](CVincaCtrl& s, DispCall&) { return s.Prop(d::kModifications); }),
              [](CVincaCtrl& s, DispCall& c) {
                  const int32_t v = c.value().lVal;
                  if (v < 0 || v > 7) ThrowVincaError(VE_INVALID_ARGUMENT);
                  if (s.Prop(d::kModifications).to_i4() == v) return;
                  s.StoreProp(d::kModifications, plat::Variant(v));
                  s.RequestRefresh(1, 0);
              },
              kG),
        Row{.id = d::kFont, .name = "Font", .kind = P, .type = DISP, .get = m::GetControlFont, .put = m::PutControlFont, .put_type = VAR},
        Enum(d::kBorderStyle, "BorderStyle", 5, {8, 0}),
        Boolean(d::kEnabled, "Enabled", kRepaint),
        Plain(d::khWnd, "hWnd", I4, Result([](CVincaCtrl& s, DispCall&) { return Long(int32_t(s.WindowHandle())); }), {}, kNP),
        Enum(d::kAppearance, "Appearance", 2, {8, 0}),
        Method(d::kRefresh, "Refresh", NONE, {}, m::Refresh),
        Method(d::kAboutBox, "AboutBox", NONE, {}, m::AboutBox),
    };
    return table;
}

} // namespace vinca
