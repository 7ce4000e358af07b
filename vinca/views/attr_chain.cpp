#include "vinca/views/attr_chain.h"

#include "vinca/model/values.h"

namespace vinca {

using plat::Variant;

bool IAttrChain::Has(std::string_view key) const {
    Variant v;
    return Lookup(key, v);
}

std::optional<int32_t> IAttrChain::FindInt(std::string_view key) const {
    Variant v;
    if (!Lookup(key, v)) return std::nullopt;
    const VARIANT& d = plat::deref(v);
    switch (d.vt) {
    case plat::VT_I2:
        return d.iVal;
    case plat::VT_I4:
        return d.lVal;
    case plat::VT_UI1:
        return d.bVal;
    default:
        return std::nullopt;
    }
}

int32_t IAttrChain::GetInt(std::string_view key) const {
    return FindInt(key).value_or(0);
}

std::optional<double> IAttrChain::GetNumber(std::string_view key) const {
    Variant v;
    if (!Lookup(key, v)) return std::nullopt;
    const VARIANT& d = plat::deref(v);
    switch (d.vt) {
    case plat::VT_I2:
        return d.iVal;
    case plat::VT_I4:
        return d.lVal;
    case plat::VT_UI1:
        return d.bVal;
    case plat::VT_R4:
        return d.fltVal;
    case plat::VT_R8:
        return d.dblVal;
    default:
        return std::nullopt;
    }
}

bool IAttrChain::GetFont(std::string_view key, CFontHolder& holder) const {
    Variant v;
    if (Lookup(key, v)) {
        const VARIANT& d = plat::deref(v);
        if (d.vt == plat::VT_DISPATCH && d.pdispVal) {
            plat::ComPtr<IVincaFont> font;
            if (plat::SUCCEEDED(d.pdispVal->QueryInterface(IID_IVincaFont, font.put_void())) && font) {
                holder.Set(font);
                return true;
            }
        }
    }
    holder.Set(nullptr);
    return false;
}

bool IAttrChain::GetPicture(std::string_view key, CPictureHolder& holder) const {
    Variant v;
    if (Lookup(key, v)) {
        const VARIANT& d = plat::deref(v);
        if (d.vt == plat::VT_DISPATCH && d.pdispVal) {
            plat::ComPtr<IVincaPicture> pic;
            if (plat::SUCCEEDED(d.pdispVal->QueryInterface(IID_IVincaPicture, pic.put_void())) && pic) {
                holder.Set(pic);
                return true;
            }
        }
    }
    holder.Clear();
    return false;
}

bool CMapAttrChain::Lookup(std::string_view key, Variant& out) const {
    auto it = m_values.find(key);
    if (it != m_values.end()) {
        out = it->second;
        return true;
    }
    return m_next && m_next->Lookup(key, out);
}

CMapAttrChain& CMapAttrChain::Set(std::string_view key, const Variant& v) {
    m_values[std::string(key)] = v;
    return *this;
}

} // namespace vinca
