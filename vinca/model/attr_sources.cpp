#include "vinca/model/attr_sources.h"

#include <string_view>
#include <unordered_map>

namespace vinca {

int32_t CAttrSource::GetInt(const CVincaName* key) const {
    plat::Variant v;
    if (!Lookup(key, v)) return 0;
    if (v.vt == plat::VT_I2) return v.iVal;
    if (v.vt == plat::VT_I4) return v.lVal;
    return 0;
}

bool CAttrSetSource::Lookup(const CVincaName* key, plat::Variant& out) const {
    return m_set && key && m_set->Lookup(key, out);
}

namespace {

// Plain keys with an inner form, and the inner forms.
const std::unordered_map<const CVincaName*, const CVincaName*>& InnerKeys() {
    static const auto* map = [] {
        auto* m = new std::unordered_map<const CVincaName*, const CVincaName*>;
        static constexpr std::pair<std::string_view, std::string_view> kPairs[] = {
            {"__BackColor", "__InnerBackColor"},         {"__PicAlign", "__InnerPicAlign"},
            {"__TextAlign", "__InnerTextAlign"},         {"__BorderStyle", "__InnerBorderStyle"},
            {"__Alignment", "__InnerAlignment"},         {"__BorderColor", "__InnerBorderColor"},
            {"__GradientStyle", "__InnerGradientStyle"}, {"__GrdColorFrom", "__InnerGrdColorFrom"},
            {"__GrdColorTo", "__InnerGrdColorTo"},       {"__RTFStyle", "__InnerRTFStyle"},
            {"__PicHeight", "__InnerPicHeight"},         {"__PicWidth", "__InnerPicWidth"},
        };
        for (const auto& [plain, inner] : kPairs)
            (*m)[GlobalName(plain)] = GlobalName(inner);
        return m;
    }();
    return *map;
}

} // namespace

const CVincaName* InnerKeyOf(const CVincaName* key) {
    const auto& m = InnerKeys();
    auto it = m.find(key);
    return it == m.end() ? nullptr : it->second;
}

bool CInnerKeySource::Lookup(const CVincaName* key, plat::Variant& out) const {
    if (!m_set || !key) return false;
    if (m_set->Lookup(key, out)) return true;
    const CVincaName* inner = InnerKeyOf(key);
    return inner && m_set->Lookup(inner, out);
}

void CRefList::Add(const CAttrSource* source) {
    if (!source || m_count >= kMaxSources) return;
    m_sources[m_count++] = source;
}

bool CRefList::Lookup(const CVincaName* key, plat::Variant& out) const {
    for (size_t i = 0; i < m_count; ++i)
        if (m_sources[i]->Lookup(key, out)) return true;
    return false;
}

bool CControlDefaults::Lookup(const CVincaName* key, plat::Variant& out) const {
    if (!key) return false;
    const std::string_view k = key->Text();
    auto i4 = [&](int32_t v) {
        out = plat::Variant(v);
        return true;
    };
    // The key itself or its inner form ("__X" and "__InnerX"), compared in
    // place: this runs for every key of every cell laid out.
    auto either = [&](std::string_view plain) {
        constexpr std::string_view inner = "__Inner";
        return k == plain || (k.size() == plain.size() + inner.size() - 2 && k.starts_with(inner) &&
                              k.substr(inner.size()) == plain.substr(2));
    };
    if (k == "__Value" || k == "__TAG" || k == "__URL") {
        out = plat::Variant();
        return true;
    }
    if (k == "__Format") {
        out = plat::Variant(std::string_view());
        return true;
    }
    if (k == "__ForeColor") return i4(m_v.foreColor);
    if (either("__BackColor"))
        return i4(m_v.transparentBackground ? (m_v.backColor | 0x2000000) : m_v.backColor);
    if (k == "__SelFrColor") return i4(m_v.selForeColor);
    if (k == "__SelBkColor") return i4(m_v.selBackColor);
    if (either("__TextAlign")) return i4(m_v.defTextAlignment);
    if (either("__PicAlign")) return i4(m_v.defPictureAlignment);
    if (either("__Alignment")) return i4(m_v.defAlignment);
    if (either("__BorderStyle")) return i4(m_v.defBorderStyle);
    if (k == "__InvBorderStyle") return i4(m_v.invBorderStyle);
    if (k == "__Border") return i4(m_v.defBorderStyle == 2 ? 2 : (m_v.defBorderStyle == 1 ? 1 : 0));
    if (k == "__TextIsMultiLine") return i4(m_v.defMultiLine ? 1 : 0);
    if (k == "__Multiline") return i4(m_v.defMultiLine ? 1 : 2);
    if (k == "__TransBMPColor") return i4(m_v.transparentBitmapColor);
    if (k == "__IsSetBMPColor") return i4(m_v.transparentBitmap ? 1 : 0);
    if (k == "__3DBorder") return i4(1);
    if (k == "__3DShadowColor") return i4(0x808080);
    if (either("__BorderColor")) return i4(m_v.defBorderColor);
    if (k == "__InvStyle") return i4(m_v.invStyle);
    if (k == "__Font") {
        if (m_v.font.vt == plat::VT_EMPTY) return false;
        out = m_v.font;
        return true;
    }
    if (k == "__Height" || k == "__Width") {
        out = plat::Variant(100.0);
        return true;
    }
    if (k == "__MaxTextWidth") {
        if (m_v.hasGrid || m_v.widthOfText == -1) return i4(-2);
        return i4(m_v.widthOfText);
    }
    if (k == "__MinTextWidth") return i4(m_v.hasGrid || m_v.widthOfText != -1 ? -2 : m_v.widthOfTextMin);
    if (k == "__ItemHeight") {
        out = plat::Variant(m_v.itemHeight);
        return true;
    }
    if (k == "__TabStopDistance") return i4(m_v.tabStopDistance);
    if (either("__GradientStyle") || either("__RTFStyle")) return i4(0);
    if (either("__GrdColorFrom")) return i4(0xFFFFFF);
    if (either("__GrdColorTo")) return i4(0xFF0000);
    if (either("__PicHeight") || either("__PicWidth")) return i4(-1);
    if (k == "__HorLineThickness" || k == "__VerLineThickness") return i4(1);
    if (k == "__HorLineColor" || k == "__VerLineColor") return i4(0);
    if (k == "__IsHorGridLinesVisible" || k == "__IsVerGridLinesVisible") return i4(1);
    if (k == "__AutoFillColTitles" || k == "__AutoFillRowTitles") return i4(0);
    return false;
}

} // namespace vinca
