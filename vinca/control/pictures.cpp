// Picture properties: pictures kept as the objects they were given (the
// model's stored pictures) and the control's empty picture for a property
// that holds none. Loading from files is in appearance.cpp.
#include "platform/com/object.h"
#include "vinca/control/members.h"
#include "vinca/control/prop_families.h"
#include "vinca/model/picture.h"
#include "vinca/model/values.h"

namespace vinca {

namespace {

// The picture a property answers when it holds none: a picture of type 0,
// no handle and no size, with the members of every picture.
class CEmptyPicture final : public plat::DispatchObject<CEmptyPicture> {
  public:
    static const plat::DispatchTable<CEmptyPicture>& dispatch_table() {
        auto zero = [](plat::DISPID id, std::string_view name, plat::VARTYPE type) {
            return plat::DispMember<CEmptyPicture>{
                .id = id,
                .name = name,
                .kind = plat::DispKind::Property,
                .type = type,
                .get = [type](CEmptyPicture&, plat::DispCall& c) {
                    c.result() = type == plat::VT_I2 ? plat::Variant(int16_t(0)) : plat::Variant(int32_t(0));
                }};
        };
        static const plat::DispatchTable<CEmptyPicture> table{
            zero(0, "Handle", plat::VT_I4), zero(2, "hPal", plat::VT_I4), zero(3, "Type", plat::VT_I2),
            zero(4, "Width", plat::VT_I4),  zero(5, "Height", plat::VT_I4),
        };
        return table;
    }
};

plat::Variant EmptyPicture() {
    auto pic = plat::make_object<CEmptyPicture>();
    return plat::Variant(static_cast<plat::IDispatch*>(pic.get()));
}

// The stored picture of a value, or null for Nothing and the empty picture;
// 380 for anything that is not a picture.
plat::ComPtr<IVincaPicture> PictureOf(const plat::VARIANT& in) {
    const plat::VARIANT& v = plat::deref(in);
    if (v.vt == plat::VT_EMPTY || v.vt == plat::VT_NULL) return nullptr;
    if ((v.vt != plat::VT_DISPATCH && v.vt != plat::VT_UNKNOWN)) ThrowVincaError(VE_INVALID_ARGUMENT);
    if (!v.punkVal) return nullptr;
    plat::ComPtr<IVincaPicture> pic;
    if (plat::SUCCEEDED(v.punkVal->QueryInterface(IID_IVincaPicture, pic.put_void())) && pic) return pic;
    plat::ComPtr<plat::IDispatch> disp;
    v.punkVal->QueryInterface(plat::IID_IDispatch, disp.put_void());
    // Our own empty picture clears the property.
    if (disp && dynamic_cast<CEmptyPicture*>(disp.get())) return nullptr;
    ThrowVincaError(VE_INVALID_ARGUMENT);
}

} // namespace

namespace rows {

Row Picture(plat::DISPID id, std::string_view name, Refresh r, bool iconOnly) {
    return Row{.id = id,
               .name = name,
               .kind = DispKind::Property,
               .type = plat::VT_DISPATCH,
               .get =
                   [id](CVincaCtrl& self, plat::DispCall& c) {
                       const plat::Variant& v = self.Prop(id);
                       c.result() = v.vt == plat::VT_DISPATCH && v.pdispVal ? v : EmptyPicture();
                   },
               .put =
                   [=](CVincaCtrl& self, plat::DispCall& c) {
                       plat::ComPtr<IVincaPicture> pic = PictureOf(c.value());
                       if (pic && iconOnly && pic->Type() != PICTYPE_ICON) ThrowVincaError(VE_REFUSED);
                       plat::Variant v;
                       if (pic) ValueSetPicture(v, pic.get());
                       const plat::Variant& old = self.Prop(id);
                       if ((old.vt == plat::VT_DISPATCH ? old.pdispVal : nullptr) ==
                           (pic ? v.pdispVal : nullptr))
                           return;
                       self.StoreProp(id, v);
                       self.RequestRefresh(r.flags, r.code);
                       self.MarkModified();
                   },
               .put_type = plat::VT_VARIANT};
}

} // namespace rows

namespace members {

plat::Variant EmptyPictureValue() {
    return EmptyPicture();
}

plat::ComPtr<IVincaPicture> PictureFromValue(const plat::VARIANT& v) {
    return PictureOf(v);
}

void GetTreePicture(CVincaCtrl& self, Call& c, const char* key) {
    CItem* item = self.ItemOrNull(c.i4(0));
    CAttrSet* tree = item && item->ItemData() ? item->ItemData()->GetValueSet(names::Tree(), false) : nullptr;
    const plat::Variant* v = tree ? tree->FindValue(GlobalName(key)) : nullptr;
    c.result() = v && v->vt == plat::VT_DISPATCH && v->pdispVal ? *v : EmptyPicture();
}

void PutTreePicture(CVincaCtrl& self, Call& c, const char* key) {
    CItem* item = self.Item(c.i4(0));
    plat::ComPtr<IVincaPicture> pic = PictureOf(c.value());
    CItemData* data = item->GetItemData();
    CAttrSet* tree = data ? data->GetValueSet(names::Tree()) : nullptr;
    if (!tree) ThrowVincaError(VE_OUT_OF_MEMORY);
    if (!pic) {
        tree->RemoveEntry(GlobalName(key));
    } else {
        plat::Variant v;
        ValueSetPicture(v, pic.get());
        self.Raise(tree->SetOrAddValue(GlobalName(key), v));
    }
    // The row's picture, and with it its size, changed.
    self.RequestRefresh(7, 0);
}

void GetPicValue(CVincaCtrl& self, Call& c) {
    CItem* item = self.Item(c.i4(0));
    plat::Variant v;
    self.Raise(self.Engine().GetItemValue(item, plat::VT_DISPATCH, v));
    c.result() = v.vt == plat::VT_DISPATCH && v.pdispVal ? v : EmptyPicture();
}

void PutPicValue(CVincaCtrl& self, Call& c) {
    CItem* item = self.Item(c.i4(0));
    plat::ComPtr<IVincaPicture> pic = PictureOf(c.value());
    plat::Variant v;
    if (pic) ValueSetPicture(v, pic.get());
    self.Raise(self.Engine().SetItemValue(item, v));
}

void GetMarkPicture(CVincaCtrl& self, Call& c) {
    const int32_t n = c.i4(0);
    if (n < 0 || n > 255) ThrowVincaError(VE_BAD_INDEX);
    const auto& list = self.MarkPictures();
    if (n == 0) {
        const plat::Variant& mark = self.Prop(33); // PictureMark is entry 0
        c.result() = mark.vt == plat::VT_DISPATCH && mark.pdispVal ? mark : EmptyPicture();
        return;
    }
    c.result() = static_cast<size_t>(n) < list.size() && list[n].vt == plat::VT_DISPATCH && list[n].pdispVal
                     ? list[n]
                     : EmptyPicture();
}

void PutMarkPicture(CVincaCtrl& self, Call& c) {
    const int32_t n = c.i4(0);
    if (n < 0 || n > 255) ThrowVincaError(VE_BAD_INDEX);
    plat::ComPtr<IVincaPicture> pic = PictureOf(c.value());
    plat::Variant v;
    if (pic) ValueSetPicture(v, pic.get());
    auto& list = self.MarkPictures();
    // The list of mark pictures is made on first use, up to the number set.
    if (list.size() <= static_cast<size_t>(n)) list.resize(n + 1);
    list[n] = v;
    if (n == 0) self.StoreProp(33, v);
    self.MarkListChanged();
    self.RequestRefresh(1, 16);
}

void GetPictureList(CVincaCtrl& self, Call& c) {
    const int32_t i = c.i2(0);
    const auto& list = self.MarkPictures();
    c.result() = !(i & 0x8000) && i >= 0 && static_cast<size_t>(i) < list.size() &&
                         list[i].vt == plat::VT_DISPATCH && list[i].pdispVal
                     ? list[i]
                     : EmptyPicture();
}

} // namespace members

} // namespace vinca
