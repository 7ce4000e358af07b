#include "vinca/control/objects/data_object.h"

#include <cstring>
#include <filesystem>

#include "platform/base/strings.h"
#include "platform/com/safearray.h"
#include "vinca/control/members.h"
#include "vinca/model/picture.h"

namespace vinca {

namespace {

using Call = plat::DispCall;
using plat::Variant;

uint32_t U32(const std::string& b, size_t at) {
    uint32_t v = 0;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}
uint16_t U16(const std::string& b, size_t at) {
    uint16_t v = 0;
    std::memcpy(&v, b.data() + at, 2);
    return v;
}

struct FormatAlias {
    uint32_t alias;
    const char* name;
};
constexpr FormatAlias kAliases[] = {{0xBF00, "Link"}, {0xBF01, "Rich Text Format"}};

// The format a number stands for: an alias becomes its registered format
// when the data offers that one.
uint32_t MapFormat(plat::IDataObject* data, const plat::VARIANT& arg) {
    Variant v(plat::deref(arg));
    const uint32_t n = plat::FAILED(v.change_type(plat::VT_I4)) ? 0 : static_cast<uint32_t>(v.lVal);
    for (const FormatAlias& a : kAliases)
        if (a.alias == n) {
            const uint32_t registered = plat::register_clipboard_format(a.name);
            if (data && data->QueryGetData(registered) == plat::S_OK) return registered;
        }
    return n;
}

// The whole block as an array of unsigned bytes.
Variant ByteArray(const std::string& block) {
    plat::SAFEARRAY* sa = plat::SafeArrayCreateVector(plat::VT_UI1, 0, static_cast<uint32_t>(block.size()));
    if (!sa) ThrowVincaError(VE_OUT_OF_MEMORY);
    void* data = nullptr;
    if (plat::SUCCEEDED(plat::SafeArrayAccessData(sa, &data))) {
        if (!block.empty()) std::memcpy(data, block.data(), block.size());
        plat::SafeArrayUnaccessData(sa);
    }
    Variant v;
    v.vt = plat::VT_ARRAY | plat::VT_UI1;
    v.parray = sa;
    return v;
}

} // namespace

namespace dataobj {

std::string TextOf(const std::string& block) {
    return block.substr(0, block.find('\0'));
}

std::string BitmapFileOf(const std::string& dib) {
    if (dib.size() < 12) return {};
    const uint32_t header = U32(dib, 0);
    if (header < 12 || header > dib.size()) return {};
    const bool old = header == 12;
    if (!old && header < 40) return {};
    const uint16_t bits = old ? U16(dib, 10) : U16(dib, 14);
    const uint32_t compression = old ? 0 : U32(dib, 16);
    uint64_t colours = old ? 0 : U32(dib, 32);
    if (colours == 0) colours = bits == 1 ? 2 : bits == 4 ? 16 : bits == 8 ? 256 : 0;
    if (colours > 256 && bits <= 8) return {};
    uint64_t table = colours * (old ? 3 : 4);
    // Three masks follow a 40-byte header of a bit-field bitmap.
    if (compression == 3 && header == 40) table += 12;
    const uint64_t offset = 14 + uint64_t(header) + table;
    if (uint64_t(header) + table > dib.size()) return {};
    std::string file = "BM";
    const uint32_t size = static_cast<uint32_t>(14 + dib.size());
    file.append(reinterpret_cast<const char*>(&size), 4);
    file.append(4, '\0');
    const uint32_t off = static_cast<uint32_t>(offset);
    file.append(reinterpret_cast<const char*>(&off), 4);
    file += dib;
    return file;
}

std::vector<std::string> FileNamesOf(const std::string& block) {
    std::vector<std::string> names;
    if (block.size() < 20) return names;
    const uint32_t start = U32(block, 0);
    const bool wide = U32(block, 16) != 0;
    size_t at = start;
    while (at < block.size()) {
        std::string name;
        if (wide) {
            std::u16string w;
            while (at + 1 < block.size() && U16(block, at) != 0 && w.size() <= 260) {
                w += static_cast<char16_t>(U16(block, at));
                at += 2;
            }
            if (at + 1 >= block.size() || w.size() > 260) break; // no terminator inside the block
            at += 2;
            name = plat::utf16_to_utf8(w);
        } else {
            const size_t end = block.find('\0', at);
            if (end == std::string::npos || end - at > 260) break;
            name = block.substr(at, end - at);
            at = end + 1;
        }
        if (name.empty()) break;
        names.push_back(std::move(name));
    }
    return names;
}

} // namespace dataobj

COleVincaDataObject::COleVincaDataObject(plat::IDataObject* data) : m_data(data) {
    for (const FormatAlias& a : kAliases)
        plat::register_clipboard_format(a.name);
}

plat::HRESULT COleVincaDataObject::query_other(plat::REFIID iid, void** out) {
    if (iid != IID_IVincaDataObject) return plat::E_NOINTERFACE;
    *out = static_cast<plat::IDispatch*>(this);
    AddRef();
    return plat::S_OK;
}

plat::HRESULT CVincaDataObjectFiles::query_other(plat::REFIID iid, void** out) {
    if (iid != IID_IVincaDataObjectFiles) return plat::E_NOINTERFACE;
    *out = static_cast<plat::IDispatch*>(this);
    AddRef();
    return plat::S_OK;
}

const plat::DispatchTable<COleVincaDataObject>& COleVincaDataObject::dispatch_table() {
    using Self = COleVincaDataObject;
    constexpr auto P = plat::DispKind::Property;
    const plat::DispParam kFormat{"Format", plat::VT_VARIANT, 0};
    static const plat::DispatchTable<Self> table{
        {.id = 1,
         .name = "Files",
         .kind = P,
         .type = plat::VT_DISPATCH,
         .get =
             [](Self& self, Call& c) {
                 std::vector<std::string> names;
                 std::string block;
                 if (self.m_data && self.m_data->QueryGetData(plat::CF_HDROP) == plat::S_OK &&
                     plat::SUCCEEDED(self.m_data->GetData(plat::CF_HDROP, block))) {
                     for (std::string& n : dataobj::FileNamesOf(block)) {
                         std::error_code ec;
                         if (std::filesystem::exists(std::filesystem::path(n), ec))
                             names.push_back(std::move(n));
                     }
                 }
                 auto files = plat::make_object<CVincaDataObjectFiles>(std::move(names));
                 c.result() = Variant(static_cast<plat::IDispatch*>(files.get()));
             },
         .access = plat::kNoPut},
        {.id = 2,
         .name = "GetData",
         .kind = plat::DispKind::Method,
         .type = plat::VT_VARIANT,
         .params = {kFormat},
         .get =
             [](Self& self, Call& c) {
                 plat::IDataObject* data = self.m_data.get();
                 const uint32_t format = MapFormat(data, c.arg(0));
                 std::string block;
                 if (!data || data->QueryGetData(format) != plat::S_OK ||
                     plat::FAILED(data->GetData(format, block))) {
                     c.result() = Variant();
                     return;
                 }
                 if (format == plat::CF_TEXT ||
                     format == plat::register_clipboard_format("Rich Text Format")) {
                     // Automation text, as every standard client reads a string.
                     c.result() = Variant(std::string_view(dataobj::TextOf(block)));
                 } else if (format == plat::CF_DIB || format == plat::CF_BITMAP ||
                            format == plat::CF_METAFILEPICT) {
                     // Metafiles have no renderer here: they give the empty picture.
                     std::string file = format == plat::CF_DIB ? dataobj::BitmapFileOf(block) : std::string();
                     plat::ComPtr<IVincaPicture> pic =
                         file.empty() ? nullptr : NewPicture(PICTYPE_BITMAP, std::move(file));
                     c.result() = pic ? Variant(static_cast<plat::IDispatch*>(pic.get()))
                                      : members::EmptyPictureValue();
                 } else {
                     c.result() = ByteArray(block);
                 }
             }},
        {.id = 3,
         .name = "GetFormat",
         .kind = plat::DispKind::Method,
         .type = plat::VT_BOOL,
         .params = {kFormat},
         .get =
             [](Self& self, Call& c) {
                 plat::IDataObject* data = self.m_data.get();
                 c.result() =
                     Variant::boolean(data && data->QueryGetData(MapFormat(data, c.arg(0))) == plat::S_OK);
             }},
        {.id = 4,
         .name = "DataObject",
         .kind = P,
         .type = plat::VT_UNKNOWN,
         .get = [](Self& self,
                   Call& c) { c.result() = Variant(static_cast<plat::IUnknown*>(self.m_data.get())); },
         .access = plat::kNoPut},
    };
    return table;
}

const plat::DispatchTable<CVincaDataObjectFiles>& CVincaDataObjectFiles::dispatch_table() {
    using Self = CVincaDataObjectFiles;
    constexpr auto P = plat::DispKind::Property;
    static const plat::DispatchTable<Self> table{
        {.id = 1,
         .name = "Count",
         .kind = P,
         .type = plat::VT_I4,
         .get = [](Self& self, Call& c) { c.result() = Variant(static_cast<int32_t>(self.m_names.size())); },
         .access = plat::kNoPut},
        {.id = 2,
         .name = "Item",
         .kind = P,
         .type = plat::VT_BSTR,
         .params = {{"Index", plat::VT_I4, 0}},
         .get =
             [](Self& self, Call& c) {
                 const int32_t i = c.i4(0);
                 const bool in = i >= 0 && static_cast<size_t>(i) < self.m_names.size();
                 c.result() =
                     Variant(std::string_view(in ? self.m_names[static_cast<size_t>(i)] : std::string()));
             },
         .access = plat::kNoPut},
    };
    return table;
}

} // namespace vinca
