#include "vinca/control/objects/cell_def.h"

#include <cmath>

#include "vinca/control/control.h"
#include "vinca/control/dispids.h"
#include "vinca/control/members.h"
#include "vinca/control/objects/level_defs.h"
#include "vinca/model/format.h"
#include "vinca/model/grid.h"
#include "vinca/model/picture.h"
#include "vinca/model/values.h"

namespace vinca {

void CellDefTarget::Clear(CVincaCtrl& ctl) {
    if (CAttrSet* list = List(ctl, false)) list->RemoveAll();
}

namespace {

// An item's tree cell (4) or inner definition (5); the inner one also
// consults the tree cell before the control's default item cell.
class ItemTarget final : public CellDefTarget {
  public:
    ItemTarget(Ref<CItem> item, CellDefKind kind) : m_item(std::move(item)), m_kind(kind) {}
    CAttrSet* List(CVincaCtrl&, bool make) override {
        CItemData* data = make ? m_item->GetItemData() : m_item->ItemData();
        if (!data) return nullptr;
        return data->GetValueSet(m_kind == CellDefKind::Inner ? GlobalName("__InnerTree") : names::Tree(),
                                 make);
    }
    void Inherited(CVincaCtrl& ctl, std::vector<std::unique_ptr<CAttrSource>>& out) override {
        if (m_kind == CellDefKind::Inner)
            if (CItemData* data = m_item->ItemData())
                if (CAttrSet* tree = data->GetValueSet(names::Tree(), false))
                    out.push_back(std::make_unique<CAttrSetSource>(tree));
        out.push_back(std::make_unique<CInnerKeySource>(ctl.DefaultItemCellDef()));
    }

  private:
    Ref<CItem> m_item;
    CellDefKind m_kind;
};

// The control's default item cell definition.
class DefItemTarget final : public CellDefTarget {
  public:
    CAttrSet* List(CVincaCtrl& ctl, bool) override { return ctl.DefaultItemCellDef(); }
};

// The keys a level keeps beside its cell definition.
bool IsLevelPictureKey(const CVincaName* name) {
    return name == GlobalName("__PictureOpen") || name == GlobalName("__PictureClosed") ||
           name == GlobalName("__PictureLeaf");
}

class LevelTarget final : public CellDefTarget {
  public:
    explicit LevelTarget(int16_t level) : m_level(level) {}
    CAttrSet* List(CVincaCtrl& ctl, bool make) override {
        CLevelDef* level = make ? MakeLevel(ctl, m_level) : FindLevel(ctl, m_level);
        return level ? level->pictures.get() : nullptr;
    }
    // The level's pictures are members of the level, not of its cell
    // definition: clearing the definition keeps them.
    void Clear(CVincaCtrl& ctl) override {
        CAttrSet* list = List(ctl, false);
        if (!list) return;
        std::vector<const CVincaName*> drop;
        for (int32_t i = 0; i < list->GetCount(); ++i)
            if (!IsLevelPictureKey(list->GetAt(i)->Name())) drop.push_back(list->GetAt(i)->Name());
        for (const CVincaName* n : drop)
            list->RemoveEntry(n);
    }

  private:
    int16_t m_level;
};

// Opening and closing change notices around a write; the closing one is
// sent also when the write fails.
class NoticePair {
  public:
    explicit NoticePair(CVincaCtrl& ctl) : m_ctl(ctl) { m_ctl.Engine().OnChangeNotice(0); }
    ~NoticePair() { m_ctl.Engine().OnChangeNotice(1); }
    NoticePair(const NoticePair&) = delete;
    NoticePair& operator=(const NoticePair&) = delete;

  private:
    CVincaCtrl& m_ctl;
};

// Stores (or with `unset` removes) one attribute of the definition.
void Store(COleCellDef& self, const CVincaName* key, const plat::Variant* value) {
    CVincaCtrl& ctl = self.Control();
    NoticePair notices(ctl);
    if (!value) {
        if (CAttrSet* list = self.Target().List(ctl, false)) list->RemoveEntry(key);
    } else {
        CAttrSet* list = self.Target().List(ctl, true);
        if (!list) ThrowVincaError(VE_OUT_OF_MEMORY);
        CheckVinca(list->SetOrAddValue(key, *value));
    }
    ctl.MarkModified();
}

int32_t AsInt(const plat::Variant& v, int32_t fallback) {
    plat::Variant c = v;
    if (plat::FAILED(c.change_type(plat::VT_I4))) return fallback;
    return c.lVal;
}

// Sits on a font handed out by a definition: each change of the font is
// stored back, as a copy, into the definition's font attribute. The font
// owns the sink; the sink keeps the definition object.
class FontSink final : public plat::IPropertyNotifySink {
  public:
    FontSink(plat::ComPtr<COleCellDef> def, IVincaFont* font) : m_def(std::move(def)), m_font(font) {}
    plat::HRESULT QueryInterface(plat::REFIID iid, void** out) override {
        if (!out) return plat::E_POINTER;
        *out = nullptr;
        if (iid != plat::IID_IUnknown && iid != plat::IPropertyNotifySink::kIID) return plat::E_NOINTERFACE;
        *out = static_cast<plat::IPropertyNotifySink*>(this);
        AddRef();
        return plat::S_OK;
    }
    plat::ULONG AddRef() override { return ++m_refs; }
    plat::ULONG Release() override {
        const plat::ULONG n = --m_refs;
        if (n == 0) delete this;
        return n;
    }
    plat::HRESULT OnChanged(plat::DISPID) override {
        try {
            plat::ComPtr<IVincaFont> copy = NewFont(m_font->Desc());
            if (!copy) return plat::E_OUTOFMEMORY;
            plat::Variant v;
            ValueSetFont(v, copy.get());
            Store(*m_def, names::Font(), &v);
        } catch (...) {
            // The control is gone: the change stays with the font alone.
            return plat::E_FAIL;
        }
        return plat::S_OK;
    }
    plat::HRESULT OnRequestEdit(plat::DISPID) override { return plat::S_OK; }

  private:
    ~FontSink() = default;
    plat::ComPtr<COleCellDef> m_def;
    IVincaFont* m_font;
    plat::ULONG m_refs{0};
};

struct EnumSpec {
    plat::DISPID id;
    const char* name;
    const char* key;
    bool inner;
    int32_t min, max, unset, unsetRead;
};

constexpr EnumSpec kEnums[] = {
    {9, "PictureAlignment", "__PicAlign", true, -1, 12, -1, -1},
    {10, "TextAlignment", "__TextAlign", true, -1, 9, -1, -1},
    {12, "MultiLine", "__Multiline", false, -1, 2, 0, 2},
    {13, "BorderStyle", "__BorderStyle", true, -1, 4, -1, -1},
    {15, "Alignment", "__Alignment", true, -1, 3, -1, -1},
    {18, "GradientStyle", "__GradientStyle", true, -1, 4, -1, -1},
    {21, "RTFStyle", "__RTFStyle", true, -1, 1, -1, -1},
};

struct ColorSpec {
    plat::DISPID id;
    const char* name;
    const char* key;
    bool inner;
};

constexpr ColorSpec kColors[] = {
    {4, "BackColor", "__BackColor", true},         {5, "ForeColor", "__ForeColor", false},
    {6, "SelBackColor", "__SelBkColor", false},    {7, "SelForeColor", "__SelFrColor", false},
    {17, "BorderColor", "__BorderColor", true},    {19, "GradientColorFrom", "__GrdColorFrom", true},
    {20, "GradientColorTo", "__GrdColorTo", true},
};

constexpr double kHimetricPerInch = 2540.0;

} // namespace

CVincaCtrl& COleCellDef::Control() const {
    if (!m_link || !*m_link) ThrowVincaError(VE_DISCONNECTED);
    return **m_link;
}

const CVincaName* COleCellDef::Key(const char* plain, bool hasInner) const {
    const CVincaName* key = GlobalName(plain);
    if (hasInner && (m_kind == CellDefKind::Inner || m_kind == CellDefKind::Level))
        if (const CVincaName* inner = InnerKeyOf(key)) return inner;
    return key;
}

bool COleCellDef::Resolve(const CVincaName* key, plat::Variant& out) const {
    CVincaCtrl& ctl = Control();
    if (CAttrSet* own = m_target->List(ctl, false))
        if (own->Lookup(key, out)) return true;
    std::vector<std::unique_ptr<CAttrSource>> sources;
    m_target->Inherited(ctl, sources);
    CRefList chain;
    for (const auto& s : sources)
        chain.Add(s.get());
    CControlDefaults defaults(ctl.DefaultValues());
    chain.Add(&defaults);
    return chain.Lookup(key, out);
}

plat::HRESULT COleCellDef::query_other(plat::REFIID iid, void** out) {
    if (iid != IID_IVincaCellDef) return plat::E_NOINTERFACE;
    *out = static_cast<plat::IDispatch*>(this);
    AddRef();
    return plat::S_OK;
}

plat::Variant CellDefObject(const ControlLink& link, CellDefKind kind,
                            std::shared_ptr<CellDefTarget> target) {
    auto obj = plat::make_object<COleCellDef>(link, kind, std::move(target));
    return plat::Variant(static_cast<plat::IDispatch*>(obj.get()));
}

void ClearCellDef(CVincaCtrl& ctl, const plat::VARIANT& value, const std::shared_ptr<CellDefTarget>& target) {
    const plat::VARIANT& v = plat::deref(value);
    const bool nothing = (v.vt == plat::VT_DISPATCH || v.vt == plat::VT_UNKNOWN) && !v.punkVal;
    if (!nothing) ThrowVincaError(VE_INVALID_ARGUMENT);
    NoticePair notices(ctl);
    target->Clear(ctl);
    ctl.MarkModified();
}

std::shared_ptr<CellDefTarget> ItemCellTarget(Ref<CItem> item, CellDefKind kind) {
    return std::make_shared<ItemTarget>(std::move(item), kind);
}
std::shared_ptr<CellDefTarget> DefItemCellTarget() {
    return std::make_shared<DefItemTarget>();
}
std::shared_ptr<CellDefTarget> LevelCellTarget(int16_t level) {
    return std::make_shared<LevelTarget>(level);
}

const plat::DispatchTable<COleCellDef>& COleCellDef::dispatch_table() {
    using Self = COleCellDef;
    using Row = plat::DispMember<Self>;

    auto enum_row = [](const EnumSpec& e) {
        return Row{.id = e.id,
                   .name = e.name,
                   .kind = plat::DispKind::Property,
                   .type = plat::VT_I2,
                   .get =
                       [e](Self& self, plat::DispCall& c) {
                           plat::Variant v;
                           const bool has = self.Resolve(self.Key(e.key, e.inner), v);
                           c.result() =
                               plat::Variant(static_cast<int16_t>(has ? AsInt(v, e.unsetRead) : e.unsetRead));
                       },
                   .put =
                       [e](Self& self, plat::DispCall& c) {
                           const int32_t n = c.value().iVal;
                           if (n < e.min || n > e.max) ThrowVincaError(VE_INVALID_ARGUMENT);
                           const CVincaName* key = self.Key(e.key, e.inner);
                           if (n == e.unset) return Store(self, key, nullptr);
                           // Flags are kept as 32-bit integers: the views read them by type.
                           const plat::Variant v(n);
                           Store(self, key, &v);
                       }};
    };
    auto color_row = [](const ColorSpec& e) {
        return Row{.id = e.id,
                   .name = e.name,
                   .kind = plat::DispKind::Property,
                   .type = plat::VT_I4,
                   .get =
                       [e](Self& self, plat::DispCall& c) {
                           plat::Variant v;
                           c.result() =
                               plat::Variant(self.Resolve(self.Key(e.key, e.inner), v) ? AsInt(v, 0) : 0);
                       },
                   .put =
                       [e](Self& self, plat::DispCall& c) {
                           const CVincaName* key = self.Key(e.key, e.inner);
                           // 1 (not -1, which is a colour) removes the colour.
                           if (c.value().lVal == 1) return Store(self, key, nullptr);
                           const plat::Variant v(c.value().lVal);
                           Store(self, key, &v);
                       }};
    };
    auto picture_row = [](plat::DISPID id, const char* name, const char* key) {
        return Row{
            .id = id,
            .name = name,
            .kind = plat::DispKind::Property,
            .type = plat::VT_DISPATCH,
            .get =
                [key](Self& self, plat::DispCall& c) {
                    plat::Variant v;
                    if (self.Resolve(GlobalName(key), v))
                        if (plat::ComPtr<plat::IUnknown> pic = ValuePicture(v)) {
                            plat::ComPtr<plat::IDispatch> disp;
                            if (plat::SUCCEEDED(pic->QueryInterface(plat::IID_IDispatch, disp.put_void())) &&
                                disp) {
                                c.result() = plat::Variant(disp.get());
                                return;
                            }
                        }
                    c.result() = members::EmptyPictureValue();
                },
            .put =
                [key](Self& self, plat::DispCall& c) {
                    plat::ComPtr<IVincaPicture> pic = members::PictureFromValue(c.value());
                    if (!pic) return Store(self, GlobalName(key), nullptr);
                    plat::Variant v;
                    ValueSetPicture(v, pic.get());
                    Store(self, GlobalName(key), &v);
                },
            .put_type = plat::VT_VARIANT};
    };
    auto text_row = [](plat::DISPID id, const char* name, const char* key) {
        return Row{.id = id,
                   .name = name,
                   .kind = plat::DispKind::Property,
                   .type = plat::VT_BSTR,
                   .get =
                       [key](Self& self, plat::DispCall& c) {
                           plat::Variant v;
                           c.result() = plat::Variant(std::string_view(
                               self.Resolve(GlobalName(key), v) && v.vt == plat::VT_BSTR ? v.to_utf8()
                                                                                         : std::string()));
                       },
                   .put =
                       [key](Self& self, plat::DispCall& c) {
                           const plat::Variant& v = c.value();
                           // A null string removes the text.
                           if (v.vt != plat::VT_BSTR || !v.bstrVal)
                               return Store(self, GlobalName(key), nullptr);
                           Store(self, GlobalName(key), &v);
                       }};
    };
    auto size_row = [](plat::DISPID id, const char* name, const char* key, bool horizontal) {
        return Row{.id = id,
                   .name = name,
                   .kind = plat::DispKind::Property,
                   .type = plat::VT_R4,
                   .get =
                       [key, horizontal](Self& self, plat::DispCall& c) {
                           plat::Variant v;
                           int32_t stored = self.Resolve(self.Key(key, true), v) ? AsInt(v, 0) : 0;
                           if (stored == 0 || stored == -1) {
                               c.result() = plat::Variant(static_cast<float>(stored == -1 ? -1 : 0));
                               return;
                           }
                           const double px = stored * CTreeGrid::PixelsPerInch() / kHimetricPerInch;
                           c.result() =
                               plat::Variant(static_cast<float>(self.Control().FromPixels(px, horizontal)));
                       },
                   .put =
                       [key, horizontal](Self& self, plat::DispCall& c) {
                           const double value = c.value().fltVal;
                           const CVincaName* k = self.Key(key, true);
                           if (value == -1.0) return Store(self, k, nullptr);
                           if (!std::isfinite(value) || value < 0) ThrowVincaError(VE_INVALID_ARGUMENT);
                           const double himetric = self.Control().ToPixels(value, horizontal) *
                                                   kHimetricPerInch / CTreeGrid::PixelsPerInch();
                           if (!(himetric <= 2147483647.0)) ThrowVincaError(VE_INVALID_ARGUMENT);
                           const plat::Variant v(static_cast<int32_t>(std::lround(himetric)));
                           Store(self, k, &v);
                       }};
    };
    auto tag_get = [](Self& self, plat::DispCall& c) {
        plat::Variant v;
        c.result() = self.Resolve(names::Tag(), v) ? v : plat::Variant();
    };
    auto tag_put = [](Self& self, plat::DispCall& c) { Store(self, names::Tag(), &c.value()); };

    static const plat::DispatchTable<Self> table{
        {.id = 0,
         .name = "_Tag",
         .kind = plat::DispKind::Property,
         .type = plat::VT_VARIANT,
         .get = tag_get,
         .put = tag_put},
        picture_row(1, "Picture", "__Picture"),
        picture_row(2, "PictureSelected", "__PictureInv"),
        {.id = 3,
         .name = "Text",
         .kind = plat::DispKind::Property,
         .type = plat::VT_BSTR,
         .get =
             [](Self& self, plat::DispCall& c) {
                 plat::Variant data, format;
                 std::string text;
                 if (self.Resolve(GlobalName("__ValueData"), data)) {
                     self.Resolve(GlobalName("__Format"), format);
                     text = FormatValue(data, format.vt == plat::VT_BSTR ? format.to_utf8() : std::string());
                 }
                 c.result() = plat::Variant(std::string_view(text));
             },
         .access = plat::kNoPut},
        color_row(kColors[0]),
        color_row(kColors[1]),
        color_row(kColors[2]),
        color_row(kColors[3]),
        {.id = 8,
         .name = "Font",
         .kind = plat::DispKind::Property,
         .type = plat::VT_DISPATCH,
         .get =
             [](Self& self, plat::DispCall& c) {
                 // A copy of the font in force, or the control's own font.
                 plat::Variant v;
                 plat::ComPtr<IVincaFont> font;
                 if (self.Resolve(names::Font(), v))
                     if (plat::ComPtr<plat::IUnknown> unk = ValueFont(v))
                         unk->QueryInterface(IID_IVincaFont, font.put_void());
                 FontDesc d;
                 if (font) {
                     d = font->Desc();
                 } else {
                     CVincaCtrl& ctl = self.Control();
                     d.name = ctl.Prop(dispid::kFontName).to_utf8();
                     d.size = static_cast<int64_t>(ctl.Prop(dispid::kFontSize).to_r8() * 10000.0 + 0.5);
                 }
                 plat::ComPtr<IVincaFont> copy = NewFont(d);
                 if (!copy) ThrowVincaError(VE_OUT_OF_MEMORY);
                 // Changes made to the copy are written back into the definition.
                 plat::ComPtr<FontSink> sink(new FontSink(plat::ComPtr<COleCellDef>(&self), copy.get()));
                 copy->Advise(sink.get());
                 c.result() = plat::Variant(static_cast<plat::IDispatch*>(copy.get()));
             },
         .put =
             [](Self& self, plat::DispCall& c) {
                 const plat::VARIANT& v = plat::deref(c.value());
                 if ((v.vt != plat::VT_DISPATCH && v.vt != plat::VT_UNKNOWN) || !v.punkVal)
                     return Store(self, names::Font(), nullptr);
                 plat::ComPtr<IVincaFont> font;
                 v.punkVal->QueryInterface(IID_IVincaFont, font.put_void());
                 if (!font) ThrowVincaError(VE_INVALID_ARGUMENT);
                 plat::ComPtr<IVincaFont> copy = NewFont(font->Desc());
                 if (!copy) ThrowVincaError(VE_OUT_OF_MEMORY);
                 plat::Variant stored;
                 ValueSetFont(stored, copy.get());
                 Store(self, names::Font(), &stored);
             },
         .put_type = plat::VT_VARIANT},
        enum_row(kEnums[0]),
        enum_row(kEnums[1]),
        {.id = 11,
         .name = "Tag",
         .kind = plat::DispKind::Property,
         .type = plat::VT_VARIANT,
         .get = tag_get,
         .put = tag_put},
        enum_row(kEnums[2]),
        enum_row(kEnums[3]),
        text_row(14, "Format", "__Format"),
        enum_row(kEnums[4]),
        text_row(16, "Url", "__URL"),
        color_row(kColors[4]),
        enum_row(kEnums[5]),
        color_row(kColors[5]),
        color_row(kColors[6]),
        enum_row(kEnums[6]),
        size_row(22, "PictureHeight", "__PicHeight", false),
        size_row(23, "PictureWidth", "__PicWidth", true),
    };
    return table;
}

} // namespace vinca
