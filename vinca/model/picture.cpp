// Picture and font objects and their stored forms.
#include "vinca/model/picture.h"

#include <atomic>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/base/handle_table.h"
#include "platform/base/strings.h"

#include "vinca/model/stream.h"
#include "vinca/model/values.h"

namespace vinca {

using namespace plat;

namespace {

// The persisted picture starts with this key, then the byte count.
constexpr uint32_t kPictureKey = 0x0000746C;
// Font flags in the stored form.
constexpr uint8_t kFontItalic = 0x02, kFontUnderline = 0x04, kFontStrike = 0x08;

// Member numbers by name (case-blind); only the first name is a member,
// further names are named arguments, which these members have none of.
template <size_t N>
HRESULT NamesToIds(const std::pair<std::string_view, DISPID> (&members)[N], OLECHAR** names, uint32_t count,
                   DISPID* ids) {
    if (!names || !ids || count == 0) return E_POINTER;
    HRESULT hr = S_OK;
    for (uint32_t i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
        if (i > 0) {
            hr = DISP_E_UNKNOWNNAME;
            continue;
        }
        const std::string name = names[i] ? utf16_to_utf8(std::u16string_view(names[i])) : std::string();
        for (const auto& [text, id] : members)
            if (plat::iequals(name, text)) ids[i] = id;
        if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

// Counting and the dispatch members every stored object shares: they have
// no automation members of their own in the model.
template <class Iface> class StoredObject : public Iface {
  public:
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        ULONG n = --m_refs;
        if (n == 0) delete this;
        return n;
    }
    HRESULT GetTypeInfoCount(uint32_t* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(uint32_t, LCID, ITypeInfo** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT GetIDsOfNames(REFIID, OLECHAR**, uint32_t, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    HRESULT Invoke(DISPID, REFIID, LCID, uint16_t, DISPPARAMS*, VARIANT*, EXCEPINFO*, uint32_t*) override {
        return DISP_E_MEMBERNOTFOUND;
    }

  protected:
    virtual ~StoredObject() = default;
    HRESULT Answer(void** out) {
        *out = static_cast<Iface*>(this);
        AddRef();
        return S_OK;
    }

  private:
    std::atomic<ULONG> m_refs{0};
};

std::atomic<PictureMeasure> g_measure{nullptr};

// Handle numbers of pictures: a picture gets one when it is first asked
// for it and gives it back when it goes.
plat::HandleTable<IVincaPicture>& PictureHandles() {
    static plat::HandleTable<IVincaPicture> table;
    return table;
}

class Picture final : public StoredObject<IVincaPicture> {
  public:
    Picture(PictureType type, std::string data) : m_type(type), m_data(std::move(data)) {}
    ~Picture() override {
        if (m_handle) PictureHandles().remove(m_handle);
    }
    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IPictureDisp || iid == IID_IVincaPicture)
            return Answer(out);
        return E_NOINTERFACE;
    }
    PictureType Type() const override { return m_type; }
    const std::string& Data() const override { return m_data; }

    HRESULT GetIDsOfNames(REFIID, OLECHAR** names, uint32_t count, LCID, DISPID* ids) override {
        static constexpr std::pair<std::string_view, DISPID> kMembers[] = {
            {"Handle", 0}, {"hPal", 2}, {"Type", 3}, {"Width", 4}, {"Height", 5}};
        return NamesToIds(kMembers, names, count, ids);
    }

    HRESULT Invoke(DISPID id, REFIID, LCID, uint16_t flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                   uint32_t*) override {
        if (id < 0 || id > 5 || id == 1) return DISP_E_MEMBERNOTFOUND;
        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) return DISP_E_MEMBERNOTFOUND;
        if (!(flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD))) return DISP_E_MEMBERNOTFOUND;
        if (params && params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
        Variant v;
        switch (id) {
        case 0:
            if (!m_handle) m_handle = PictureHandles().add(this);
            v = Variant(static_cast<int32_t>(m_handle));
            break;
        case 2:
            v = Variant(int32_t(0)); // pictures carry no palette of their own
            break;
        case 3:
            v = Variant(static_cast<int16_t>(m_type));
            break;
        default:
            Measure();
            v = Variant(id == 4 ? m_width : m_height);
            break;
        }
        if (result) *result = v.detach();
        return S_OK;
    }

  private:
    void Measure() {
        if (m_measured) return;
        m_measured = true;
        const PictureMeasure measure = g_measure.load();
        if (!measure || !measure(m_type, m_data, m_width, m_height)) m_width = m_height = 0;
    }

    PictureType m_type;
    std::string m_data;
    uint32_t m_handle{0};
    bool m_measured{false};
    int32_t m_width{0};
    int32_t m_height{0};
};

class Font final : public StoredObject<IVincaFont> {
  public:
    explicit Font(const FontDesc& desc) : m_desc(desc) {}
    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IFontDisp || iid == IID_IVincaFont)
            return Answer(out);
        return E_NOINTERFACE;
    }
    const FontDesc& Desc() const override { return m_desc; }
    void Advise(plat::IPropertyNotifySink* sink) override {
        if (sink) m_sinks.push_back(ComPtr<plat::IPropertyNotifySink>(sink));
    }
    void Unadvise(plat::IPropertyNotifySink* sink) override {
        std::erase_if(m_sinks, [&](const auto& s) { return s.get() == sink; });
    }

    HRESULT GetIDsOfNames(REFIID, OLECHAR** names, uint32_t count, LCID, DISPID* ids) override {
        static constexpr std::pair<std::string_view, DISPID> kMembers[] = {
            {"Name", 0},      {"Size", 2},          {"Bold", 3},   {"Italic", 4},
            {"Underline", 5}, {"Strikethrough", 6}, {"Weight", 7}, {"Charset", 8}};
        return NamesToIds(kMembers, names, count, ids);
    }

    HRESULT Invoke(DISPID id, REFIID, LCID, uint16_t flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                   uint32_t*) override {
        if (id < 0 || id > 8 || id == 1) return DISP_E_MEMBERNOTFOUND;
        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
            if (!params || params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
            return Put(id, deref(params->rgvarg[0]));
        }
        if (!(flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD))) return DISP_E_MEMBERNOTFOUND;
        Variant v;
        switch (id) {
        case 0:
            v = Variant(std::string_view(m_desc.name));
            break;
        case 2:
            v = Variant(static_cast<double>(m_desc.size) / 10000.0);
            break;
        case 3:
            v = Variant::boolean(m_desc.weight >= 700);
            break;
        case 4:
            v = Variant::boolean(m_desc.italic);
            break;
        case 5:
            v = Variant::boolean(m_desc.underline);
            break;
        case 6:
            v = Variant::boolean(m_desc.strikethrough);
            break;
        case 7:
            v = Variant(m_desc.weight);
            break;
        default:
            v = Variant(m_desc.charset);
            break;
        }
        if (result) *result = v.detach();
        return S_OK;
    }

  private:
    HRESULT Put(DISPID id, const VARIANT& value) {
        Variant v(value);
        HRESULT hr = S_OK;
        FontDesc d = m_desc;
        switch (id) {
        case 0:
            d.name = v.to_utf8(&hr);
            break;
        case 2: {
            const double size = v.to_r8(&hr);
            if (SUCCEEDED(hr) && !(size >= 0 && size <= 1e6)) hr = DISP_E_OVERFLOW;
            d.size = static_cast<int64_t>(size * 10000.0 + 0.5);
            break;
        }
        case 3:
            d.weight = v.to_bool(&hr) ? 700 : 400;
            break;
        case 4:
            d.italic = v.to_bool(&hr);
            break;
        case 5:
            d.underline = v.to_bool(&hr);
            break;
        case 6:
            d.strikethrough = v.to_bool(&hr);
            break;
        case 7:
            d.weight = v.to_i2(&hr);
            break;
        default:
            d.charset = v.to_i2(&hr);
            break;
        }
        if (FAILED(hr)) return hr;
        if (d == m_desc) return S_OK;
        m_desc = d;
        // The sinks may drop their own advice meanwhile: tell a copy.
        ComPtr<IVincaFont> self(this);
        const auto sinks = m_sinks;
        for (const auto& s : sinks)
            s->OnChanged(id);
        return S_OK;
    }

    FontDesc m_desc;
    std::vector<ComPtr<plat::IPropertyNotifySink>> m_sinks;
};

template <class T> ComPtr<T> query(IUnknown* obj, const IID& iid) {
    ComPtr<T> out;
    if (obj) obj->QueryInterface(iid, out.put_void());
    return out;
}

} // namespace

PictureType SniffPictureType(std::span<const uint8_t> b) {
    auto starts = [&](std::initializer_list<uint8_t> sig) {
        return b.size() >= sig.size() && std::equal(sig.begin(), sig.end(), b.begin());
    };
    if (starts({'B', 'M'}) || starts({'G', 'I', 'F', '8'}) || starts({0xFF, 0xD8, 0xFF}) ||
        starts({0x89, 'P', 'N', 'G'}))
        return PICTYPE_BITMAP;
    if (starts({0xD7, 0xCD, 0xC6, 0x9A})) return PICTYPE_METAFILE;
    if (starts({0, 0, 1, 0}) || starts({0, 0, 2, 0})) return PICTYPE_ICON;
    if (b.size() >= 44 && starts({1, 0, 0, 0}) && std::memcmp(b.data() + 40, " EMF", 4) == 0)
        return PICTYPE_ENHMETAFILE;
    return PICTYPE_NONE;
}

void SetPictureMeasure(PictureMeasure measure) {
    g_measure.store(measure);
}

ComPtr<IVincaPicture> NewPicture(PictureType type, std::string data) {
    if (type <= PICTYPE_NONE || type > PICTYPE_ENHMETAFILE) return nullptr;
    auto bytes = std::span(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    if (SniffPictureType(bytes) == PICTYPE_NONE) return nullptr;
    return ComPtr<IVincaPicture>(new Picture(type, std::move(data)));
}

ComPtr<IVincaFont> NewFont(const FontDesc& desc) {
    return ComPtr<IVincaFont>(new Font(desc));
}

void WriteStoredObject(IUnknown* obj, CVincaStream& out) {
    if (auto pic = query<IVincaPicture>(obj, IID_IVincaPicture)) {
        out.Write(&CLSID_StdPicture, sizeof(CLSID));
        out.WriteU32(kPictureKey);
        out.WriteU32(static_cast<uint32_t>(pic->Data().size()));
        out.WriteBlock(pic->Data().data(), static_cast<uint32_t>(pic->Data().size()));
        return;
    }
    if (auto font = query<IVincaFont>(obj, IID_IVincaFont)) {
        const FontDesc& d = font->Desc();
        out.Write(&CLSID_StdFont, sizeof(CLSID));
        std::string name = d.name.substr(0, 255);
        out.WriteU8(1);
        out.WriteU16(static_cast<uint16_t>(d.charset));
        out.WriteU8(static_cast<uint8_t>((d.italic ? kFontItalic : 0) | (d.underline ? kFontUnderline : 0) |
                                         (d.strikethrough ? kFontStrike : 0)));
        out.WriteU16(static_cast<uint16_t>(d.weight));
        out.WriteU32(static_cast<uint32_t>(d.size));
        out.WriteU8(static_cast<uint8_t>(name.size()));
        out.WriteBlock(name.data(), static_cast<uint32_t>(name.size()));
        return;
    }
    out.Write(&GUID_NULL, sizeof(CLSID));
}

VResult LoadObjectData(const CLSID& clsid, CVincaStream& in, ComPtr<IDispatch>& out) {
    out.reset();
    if (clsid == CLSID_StdPicture || clsid == CLSID_OldPicture) {
        uint32_t key = 0, n = 0;
        std::string data;
        if (!in.ReadU32(key) || !in.ReadU32(n)) return in.Error();
        if (key != kPictureKey) return in.SetError(VE_BAD_FILE_FORMAT);
        if (in.ReadBytes(data, n) != VE_OK) return in.Error();
        auto bytes = std::span(reinterpret_cast<const uint8_t*>(data.data()), data.size());
        auto pic = NewPicture(SniffPictureType(bytes), std::move(data));
        if (!pic) return in.SetError(VE_BAD_FILE_FORMAT);
        out = ComPtr<IDispatch>(pic.get());
        return VE_OK;
    }
    if (clsid == CLSID_StdFont) {
        uint8_t version = 0, flags = 0, len = 0;
        uint16_t charset = 0, weight = 0;
        uint32_t size = 0;
        FontDesc d;
        if (!in.ReadU8(version) || !in.ReadU16(charset) || !in.ReadU8(flags) || !in.ReadU16(weight) ||
            !in.ReadU32(size) || !in.ReadU8(len) || in.ReadBytes(d.name, len) != VE_OK)
            return in.Error();
        if (version != 1 || d.name.find('\0') != std::string::npos) return in.SetError(VE_BAD_FILE_FORMAT);
        d.charset = static_cast<int16_t>(charset);
        d.weight = static_cast<int16_t>(weight);
        d.size = size;
        d.italic = flags & kFontItalic;
        d.underline = flags & kFontUnderline;
        d.strikethrough = flags & kFontStrike;
        auto font = NewFont(d);
        out = ComPtr<IDispatch>(font.get());
        return VE_OK;
    }
    return in.SetError(VE_BAD_FILE_FORMAT);
}

} // namespace vinca
