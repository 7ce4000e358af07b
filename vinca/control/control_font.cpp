#include "vinca/control/control_font.h"

#include "platform/com/unknown.h"
#include "vinca/control/control.h"
#include "vinca/control/dispids.h"
#include "vinca/model/values.h"

namespace vinca {

namespace {

// The font object's member numbers.
constexpr plat::DISPID kName = 0, kSize = 2, kBold = 3, kItalic = 4, kUnderline = 5, kStrikethrough = 6,
                       kWeight = 7, kCharset = 8;

FontDesc DescFromProps(const CVincaCtrl& ctrl) {
    FontDesc d;
    d.name = ctrl.Prop(dispid::kFontName).to_utf8();
    d.size = static_cast<int64_t>(ctrl.Prop(dispid::kFontSize).to_r8() * 10000.0 + 0.5);
    d.weight = ctrl.Prop(dispid::kFontBold).to_bool() ? 700 : 400;
    d.italic = ctrl.Prop(dispid::kFontItalic).to_bool();
    d.underline = ctrl.Prop(dispid::kFontUnderline).to_bool();
    d.strikethrough = ctrl.Prop(dispid::kFontStrikethru).to_bool();
    return d;
}

} // namespace

// Told of every change of the font object. It holds no reference on the
// control (the control holds the font, the font holds the sink); the
// control cuts it off when it goes, while a container may still hold the
// font.
class CControlFont::Sink final : public plat::IPropertyNotifySink {
  public:
    explicit Sink(CVincaCtrl& ctrl) : m_ctrl(&ctrl) {}
    void Detach() { m_ctrl = nullptr; }

    plat::HRESULT QueryInterface(plat::REFIID iid, void** out) override {
        if (!out) return plat::E_POINTER;
        *out = nullptr;
        if (iid != plat::IID_IUnknown && iid != plat::IPropertyNotifySink::kIID) return plat::E_NOINTERFACE;
        *out = static_cast<plat::IPropertyNotifySink*>(this);
        AddRef();
        return plat::S_OK;
    }
    plat::ULONG AddRef() override { return m_refs.add(); }
    plat::ULONG Release() override {
        const plat::ULONG n = m_refs.release();
        if (n == 0) delete this;
        return n;
    }
    plat::HRESULT OnChanged(plat::DISPID) override {
        if (m_ctrl) m_ctrl->FontChanged();
        return plat::S_OK;
    }
    plat::HRESULT OnRequestEdit(plat::DISPID) override { return plat::S_OK; }

  private:
    ~Sink() = default;
    plat::RefCount m_refs;
    CVincaCtrl* m_ctrl;
};

CControlFont::CControlFont(CVincaCtrl& ctrl)
    : m_font(NewFont(DescFromProps(ctrl))), m_sink(plat::ComPtr<Sink>::adopt(new Sink(ctrl))) {
    m_font->Advise(m_sink.get());
}

CControlFont::~CControlFont() {
    m_sink->Detach();
    m_font->Unadvise(m_sink.get());
}

bool CControlFont::Put(plat::DISPID member, const plat::Variant& value) {
    plat::Variant arg = value;
    plat::DISPID named = plat::DISPID_PROPERTYPUT;
    plat::DISPPARAMS params{&arg, &named, 1, 1};
    return plat::SUCCEEDED(
        m_font->Invoke(member, plat::IID_IUnknown, 0, plat::DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr));
}

void CControlFont::Assign(const FontDesc& d) {
    Put(kName, plat::Variant(std::string_view(d.name)));
    Put(kSize, plat::Variant(static_cast<double>(d.size) / 10000.0));
    Put(kWeight, plat::Variant(d.weight));
    Put(kItalic, plat::Variant::boolean(d.italic));
    Put(kUnderline, plat::Variant::boolean(d.underline));
    Put(kStrikethrough, plat::Variant::boolean(d.strikethrough));
    Put(kCharset, plat::Variant(d.charset));
}

void CVincaCtrl::FontChanged() {
    // The font members and the drawing read the font's fields from here.
    const FontDesc& d = m_font->Desc();
    m_props[dispid::kFontName] = plat::Variant(std::string_view(d.name));
    m_props[dispid::kFontSize] = plat::Variant(static_cast<float>(static_cast<double>(d.size) / 10000.0));
    m_props[dispid::kFontBold] = plat::Variant::boolean(d.weight >= 700);
    m_props[dispid::kFontItalic] = plat::Variant::boolean(d.italic);
    m_props[dispid::kFontUnderline] = plat::Variant::boolean(d.underline);
    m_props[dispid::kFontStrikethru] = plat::Variant::boolean(d.strikethrough);
    RequestRefresh(7, 0);
    MarkModified();
}

namespace members {

void GetControlFont(CVincaCtrl& self, plat::DispCall& c) {
    plat::Variant v;
    ValueSetFont(v, &self.Font().Object());
    c.result() = v;
}

void PutControlFont(CVincaCtrl& self, plat::DispCall& c) {
    const plat::VARIANT& v = plat::deref(c.value());
    plat::ComPtr<IVincaFont> font;
    if ((v.vt == plat::VT_DISPATCH || v.vt == plat::VT_UNKNOWN) && v.punkVal)
        v.punkVal->QueryInterface(IID_IVincaFont, font.put_void());
    if (!font) ThrowVincaError(VE_INVALID_ARGUMENT);
    // The control keeps its own font object and takes the other's fields.
    if (font.get() == &self.Font().Object()) return;
    // One repaint for all the fields.
    self.SuspendRedraw();
    self.Font().Assign(font->Desc());
    self.ResumeRedraw();
}

} // namespace members

} // namespace vinca
