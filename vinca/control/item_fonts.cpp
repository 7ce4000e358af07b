// The item's tree-cell font: read from its stored form, changed by making a
// new font object with the change (fonts are values of the item).
#include "vinca/control/dispids.h"
#include "vinca/control/members.h"
#include "vinca/model/picture.h"
#include "vinca/model/values.h"

namespace vinca::members {

namespace {

// The font a new item font starts from: the control's own.
FontDesc DefaultFontDesc(CVincaCtrl& self) {
    FontDesc d;
    d.name = self.Prop(dispid::kFontName).to_utf8();
    d.size = static_cast<int64_t>(self.Prop(dispid::kFontSize).to_r8() * 10000.0 + 0.5);
    return d;
}

bool ItemFontDesc(CItem* item, FontDesc& out) {
    if (!item || !item->ItemData()) return false;
    plat::Variant v = item->ItemData()->GetTreeFont();
    plat::ComPtr<plat::IUnknown> unk = ValueFont(v);
    plat::ComPtr<IVincaFont> font;
    if (!unk || plat::FAILED(unk->QueryInterface(IID_IVincaFont, font.put_void())) || !font) return false;
    out = font->Desc();
    return true;
}

} // namespace

void ChangeItemFont(CVincaCtrl& self, CItem* item, const std::function<void(FontDesc&)>& change) {
    FontDesc d;
    if (!ItemFontDesc(item, d)) d = DefaultFontDesc(self);
    change(d);
    plat::ComPtr<IVincaFont> font = NewFont(d);
    CItemData* data = item->GetItemData();
    if (!font || !data) ThrowVincaError(VE_OUT_OF_MEMORY);
    plat::Variant v;
    ValueSetFont(v, font.get());
    data->SetTreeFont(v);
}

void GetItemFont(CVincaCtrl& self, Call& c, FontField field) {
    FontDesc d;
    const bool has = ItemFontDesc(self.ItemOrNull(c.i4(0)), d);
    switch (field) {
    case FontField::Name:
        c.result() = plat::Variant(std::string_view(has ? d.name.substr(0, 31) : std::string()));
        break;
    case FontField::Size:
        c.result() = plat::Variant(has ? static_cast<float>(d.size / 10000.0) : -1.0f);
        break;
    case FontField::Bold:
        c.result() = plat::Variant::boolean(has && d.weight >= 700);
        break;
    case FontField::Italic:
        c.result() = plat::Variant::boolean(has && d.italic);
        break;
    case FontField::Strike:
        c.result() = plat::Variant::boolean(has && d.strikethrough);
        break;
    case FontField::Under:
        c.result() = plat::Variant::boolean(has && d.underline);
        break;
    }
}

void PutItemFont(CVincaCtrl& self, Call& c, FontField field) {
    CItem* item = self.Item(c.i4(0));
    const plat::Variant& v = c.value();
    ChangeItemFont(self, item, [&](FontDesc& d) {
        switch (field) {
        case FontField::Name:
            d.name = v.to_utf8();
            break;
        case FontField::Size:
            d.size = static_cast<int64_t>(v.to_r8() * 10000.0 + 0.5);
            break;
        case FontField::Bold:
            d.weight = v.to_bool() ? 700 : 400;
            break;
        case FontField::Italic:
            d.italic = v.to_bool();
            break;
        case FontField::Strike:
            d.strikethrough = v.to_bool();
            break;
        case FontField::Under:
            d.underline = v.to_bool();
            break;
        }
    });
    self.RefreshItemRow(item);
}

} // namespace vinca::members
