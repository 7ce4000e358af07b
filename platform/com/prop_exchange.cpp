#include "platform/com/prop_exchange.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "platform/base/strings.h"
#include "platform/com/errors.h"

namespace plat {

namespace {

constexpr std::string_view kVersionName = "_Version";
// A saved set larger than this is taken as damaged.
constexpr uint32_t kMaxPayload = 64u << 20;

Variant bytes_variant(const std::vector<uint8_t>& bytes) {
    Variant v;
    SAFEARRAY* sa = SafeArrayCreateVector(VT_UI1, 0, static_cast<uint32_t>(bytes.size()));
    if (!sa) throw std::bad_alloc();
    if (!bytes.empty()) std::memcpy(sa->pvData, bytes.data(), bytes.size());
    v.vt = VT_ARRAY | VT_UI1;
    v.parray = sa;
    return v;
}

bool variant_bytes(const VARIANT& v, std::vector<uint8_t>& out) {
    if (v.vt != (VT_ARRAY | VT_UI1) || !v.parray) return false;
    const auto* p = static_cast<const uint8_t*>(v.parray->pvData);
    out.assign(p, p + v.parray->rgsabound[0].cElements);
    return true;
}

} // namespace

// ---- the typed front ends ----

bool PropExchange::exchange_value(std::string_view name, Variant& value, VARTYPE type, const Variant* def) {
    switch (m_mode) {
    case Mode::Save:
        if (!save_value(name, value)) fail(STG_E_WRITEFAULT);
        return true;
    case Mode::Reset:
        if (!def) return false;
        value = *def;
        return true;
    case Mode::Load: {
        Variant stored;
        if (load_value(name, stored) && SUCCEEDED(stored.change_type(type))) {
            value = std::move(stored);
            return true;
        }
        if (!def) return false;
        value = *def;
        return true;
    }
    }
    return false;
}

uint32_t PropExchange::exchange_version(uint32_t current) {
    uint32_t v = current;
    exchange_ulong(kVersionName, v, current);
    return v;
}

bool PropExchange::exchange_bool(std::string_view name, bool& value, std::optional<bool> def) {
    return exchange_typed(
        name, value, def, VT_BOOL, [](bool b) { return Variant::boolean(b); },
        [](const Variant& v) { return v.boolVal != 0; });
}

bool PropExchange::exchange_short(std::string_view name, int16_t& value, std::optional<int16_t> def) {
    return exchange_typed(
        name, value, def, VT_I2, [](int16_t i) { return Variant(i); },
        [](const Variant& v) { return v.iVal; });
}

bool PropExchange::exchange_long(std::string_view name, int32_t& value, std::optional<int32_t> def) {
    return exchange_typed(
        name, value, def, VT_I4, [](int32_t i) { return Variant(i); },
        [](const Variant& v) { return v.lVal; });
}

// Unsigned values and colours travel as the 32-bit pattern of a Long.
bool PropExchange::exchange_ulong(std::string_view name, uint32_t& value, std::optional<uint32_t> def) {
    return exchange_typed(
        name, value, def, VT_I4, [](uint32_t u) { return Variant(static_cast<int32_t>(u)); },
        [](const Variant& v) { return static_cast<uint32_t>(v.lVal); });
}

bool PropExchange::exchange_color(std::string_view name, uint32_t& value, std::optional<uint32_t> def) {
    return exchange_ulong(name, value, def);
}

bool PropExchange::exchange_float(std::string_view name, float& value, std::optional<float> def) {
    return exchange_typed(
        name, value, def, VT_R4, [](float f) { return Variant(f); },
        [](const Variant& v) { return v.fltVal; });
}

bool PropExchange::exchange_string(std::string_view name, std::string& value,
                                   std::optional<std::string> def) {
    return exchange_typed(
        name, value, def, VT_BSTR, [](const std::string& s) { return Variant(std::string_view(s)); },
        [](const Variant& v) { return bstr_to_utf8(v.bstrVal); });
}

bool PropExchange::exchange_blob(std::string_view name, std::vector<uint8_t>& value) {
    if (m_mode == Mode::Reset) return false;
    Variant v = bytes_variant(saving() ? value : std::vector<uint8_t>{});
    if (!exchange_value(name, v, VT_ARRAY | VT_UI1, nullptr) || saving()) return saving();
    return variant_bytes(v, value);
}

bool PropExchange::exchange_object(std::string_view name, ComPtr<IUnknown>& object,
                                   std::span<const CLSID> allowed) {
    if (m_mode == Mode::Reset) return false;
    std::vector<uint8_t> bytes;
    if (saving()) {
        auto s = create_memory_stream();
        HRESULT hr = save_object_to_stream(object.get(), s.get());
        if (FAILED(hr)) {
            fail(hr);
            return true;
        }
        bytes = memory_stream_bytes(s.get());
        return exchange_blob(name, bytes);
    }
    if (!exchange_blob(name, bytes)) return false;
    auto s = create_memory_stream(std::move(bytes));
    ComPtr<IUnknown> loaded;
    HRESULT hr = load_object_from_stream(s.get(), allowed, IID_IUnknown, loaded.put_void());
    if (FAILED(hr)) {
        fail(hr);
        return false;
    }
    object = std::move(loaded);
    return true;
}

// ---- property bag ----

bool BagExchange::save_value(std::string_view name, const VARIANT& value) {
    std::u16string wide = utf8_to_utf16(name);
    VARIANT copy = value; // the bag copies what it keeps
    return m_bag && SUCCEEDED(m_bag->Write(wide.c_str(), &copy));
}

bool BagExchange::load_value(std::string_view name, Variant& value) {
    std::u16string wide = utf8_to_utf16(name);
    value.clear();
    return m_bag && SUCCEEDED(m_bag->Read(wide.c_str(), &value, nullptr));
}

// ---- stream ----

namespace {

template <class T> void put(std::vector<uint8_t>& out, T v) {
    uint8_t b[sizeof(T)];
    std::memcpy(b, &v, sizeof(T)); // the platforms served are little-endian
    out.insert(out.end(), b, b + sizeof(T));
}

bool encode(std::vector<uint8_t>& out, std::string_view name, const VARIANT& v) {
    if (name.empty() || name.size() > 0xFFFF) return false;
    put<uint16_t>(out, static_cast<uint16_t>(name.size()));
    out.insert(out.end(), name.begin(), name.end());
    put<uint16_t>(out, v.vt);
    switch (v.vt) {
    case VT_I2:
        put(out, v.iVal);
        return true;
    case VT_BOOL:
        put(out, v.boolVal);
        return true;
    case VT_I4:
        put(out, v.lVal);
        return true;
    case VT_R4:
        put(out, v.fltVal);
        return true;
    case VT_R8:
    case VT_DATE:
        put(out, v.dblVal);
        return true;
    case VT_CY:
        put(out, v.cyVal.int64);
        return true;
    case VT_BSTR: {
        std::string s = bstr_to_utf8(v.bstrVal);
        put<uint32_t>(out, static_cast<uint32_t>(s.size()));
        out.insert(out.end(), s.begin(), s.end());
        return true;
    }
    case VT_ARRAY | VT_UI1: {
        std::vector<uint8_t> b;
        variant_bytes(v, b);
        put<uint32_t>(out, static_cast<uint32_t>(b.size()));
        out.insert(out.end(), b.begin(), b.end());
        return true;
    }
    default:
        return false;
    }
}

// Reads the saved set. A declared length is believed only as far as the
// stream bears it out: one that runs past what the stream can still deliver
// is refused before anything is reserved, and a stream that cannot say how
// much it holds is read in steps, so memory follows the bytes that arrive.
class Reader {
  public:
    explicit Reader(IStream* s) : m_s(s) {}
    template <class T> bool get(T& v) { return SUCCEEDED(read_exact(m_s, &v, sizeof(T))); }
    bool bytes(uint32_t n, std::string& out) {
        out.clear();
        if (n > kMaxPayload) return false;
        if (const std::optional<uint64_t> left = remaining(); left && n > *left) return false;
        constexpr uint32_t kStep = 64u << 10;
        while (out.size() < n) {
            const uint32_t want = std::min<uint32_t>(kStep, n - static_cast<uint32_t>(out.size()));
            const size_t at = out.size();
            out.resize(at + want);
            if (FAILED(read_exact(m_s, out.data() + at, want))) return false;
        }
        return true;
    }

  private:
    // The bytes from the position to the end, when the stream tells its size.
    std::optional<uint64_t> remaining() {
        STATSTG st{};
        uint64_t pos = 0;
        if (FAILED(m_s->Stat(&st, STATFLAG_NONAME)) || FAILED(m_s->Seek(0, STREAM_SEEK_CUR, &pos)))
            return std::nullopt;
        free_stat_name(st);
        return st.cbSize > pos ? st.cbSize - pos : 0;
    }

    IStream* m_s;
};

} // namespace

StreamExchange::StreamExchange(IStream* stream, bool loading)
    : PropExchange(loading ? Mode::Load : Mode::Save), m_stream(stream) {
    if (!stream)
        fail(E_POINTER);
    else if (loading)
        if (HRESULT hr = read_set(); FAILED(hr)) {
            m_loaded.clear(); // nothing of a damaged set is applied
            fail(hr);
        }
}

HRESULT StreamExchange::read_set() {
    Reader r(m_stream.get());
    for (;;) {
        uint16_t name_len;
        if (!r.get(name_len)) return STG_E_READFAULT;
        if (name_len == 0) return S_OK;
        std::string name;
        uint16_t vt;
        if (!r.bytes(name_len, name) || !r.get(vt)) return STG_E_READFAULT;
        Variant v;
        bool ok = true;
        switch (vt) {
        case VT_I2:
            ok = r.get(v.iVal);
            break;
        case VT_BOOL:
            ok = r.get(v.boolVal);
            break;
        case VT_I4:
            ok = r.get(v.lVal);
            break;
        case VT_R4:
            ok = r.get(v.fltVal);
            break;
        case VT_R8:
        case VT_DATE:
            ok = r.get(v.dblVal);
            break;
        case VT_CY:
            ok = r.get(v.cyVal.int64);
            break;
        case VT_BSTR:
        case VT_ARRAY | VT_UI1: {
            uint32_t n;
            std::string payload;
            ok = r.get(n) && r.bytes(n, payload);
            if (!ok) break;
            if (vt == VT_BSTR)
                v = Variant(std::string_view(payload));
            else
                v = bytes_variant(std::vector<uint8_t>(payload.begin(), payload.end()));
            break;
        }
        default:
            return STG_E_INVALIDHEADER;
        }
        if (!ok) return STG_E_READFAULT;
        v.vt = vt;
        m_loaded.emplace_back(std::move(name), std::move(v));
    }
}

bool StreamExchange::save_value(std::string_view name, const VARIANT& value) {
    std::vector<uint8_t> bytes;
    if (!m_stream || !encode(bytes, name, value)) return false;
    return SUCCEEDED(write_all(m_stream.get(), bytes.data(), static_cast<uint32_t>(bytes.size())));
}

bool StreamExchange::load_value(std::string_view name, Variant& value) {
    for (const auto& [n, v] : m_loaded) {
        if (iequals(n, name)) {
            value = v;
            return true;
        }
    }
    return false;
}

HRESULT StreamExchange::finish() {
    if (saving() && !m_finished && m_stream) {
        m_finished = true;
        const uint16_t end = 0;
        if (FAILED(write_all(m_stream.get(), &end, sizeof end))) fail(STG_E_WRITEFAULT);
    }
    return status();
}

} // namespace plat
