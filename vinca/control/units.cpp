// Sizes between the container's units and the pixels the control keeps:
// the ambient ScaleUnits names the unit ("", "Pixel(s)": pixels; "Twip(s)":
// twips; anything else: the container's own, through its transform to
// HIMETRIC). The screen is 96 dots per inch.
#include <cmath>

#include "platform/base/strings.h"
#include "vinca/control/control.h"
#include "vinca/control/prop_families.h"

namespace vinca {

namespace {
constexpr int32_t kDpi = 96;
} // namespace

double CVincaCtrl::TwipsToPixels(double twips) {
    return twips * kDpi / 1440.0;
}

double CVincaCtrl::ToPixels(double value, bool horizontal) {
    plat::Variant units;
    std::string scale;
    if (plat::read_ambient(m_site.get(), plat::DISPID_AMBIENT_SCALEUNITS, units)) scale = units.to_utf8();
    if (scale.empty() || plat::iequals(scale, "Pixel") || plat::iequals(scale, "Pixels")) return value;
    if (plat::iequals(scale, "Twip") || plat::iequals(scale, "Twips")) return value * kDpi / 1440.0;
    // The container's own units through its transform to HIMETRIC; without
    // a transform the units are HIMETRIC.
    double himetric = value;
    plat::ComPtr<plat::IOleControlSite> cs;
    if (m_site && plat::SUCCEEDED(m_site.query(plat::IOleControlSite::kIID, cs)) && cs) {
        plat::POINTL hm;
        plat::POINTF c{static_cast<float>(horizontal ? value : 0),
                       static_cast<float>(horizontal ? 0 : value)};
        if (plat::SUCCEEDED(
                cs->TransformCoords(&hm, &c, plat::XFORMCOORDS_SIZE | plat::XFORMCOORDS_CONTAINERTOHIMETRIC)))
            himetric = horizontal ? hm.x : hm.y;
    }
    return himetric * kDpi / 2540.0;
}

double CVincaCtrl::FromPixels(double pixels, bool horizontal) {
    plat::Variant units;
    std::string scale;
    if (plat::read_ambient(m_site.get(), plat::DISPID_AMBIENT_SCALEUNITS, units)) scale = units.to_utf8();
    if (scale.empty() || plat::iequals(scale, "Pixel") || plat::iequals(scale, "Pixels")) return pixels;
    if (plat::iequals(scale, "Twip") || plat::iequals(scale, "Twips")) return pixels * 1440.0 / kDpi;
    const double himetric = pixels * 2540.0 / kDpi;
    plat::ComPtr<plat::IOleControlSite> cs;
    if (m_site && plat::SUCCEEDED(m_site.query(plat::IOleControlSite::kIID, cs)) && cs) {
        plat::POINTL hm{static_cast<int32_t>(std::lround(horizontal ? himetric : 0)),
                        static_cast<int32_t>(std::lround(horizontal ? 0 : himetric))};
        plat::POINTF c;
        if (plat::SUCCEEDED(
                cs->TransformCoords(&hm, &c, plat::XFORMCOORDS_SIZE | plat::XFORMCOORDS_HIMETRICTOCONTAINER)))
            return horizontal ? c.x : c.y;
    }
    return himetric;
}

namespace rows {

Row Size(plat::DISPID id, std::string_view name, SizeRule rule, Refresh r) {
    return Row{
        .id = id,
        .name = name,
        .kind = DispKind::Property,
        .type = plat::VT_R4,
        .get =
            [id, rule](CVincaCtrl& self, plat::DispCall& c) {
                const int16_t px = self.Prop(id).to_i2();
                // -1 (and 0) come back as they are.
                if (rule.minusOne && px <= 0)
                    c.result() = plat::Variant(static_cast<float>(px));
                else
                    c.result() = plat::Variant(static_cast<float>(self.FromPixels(px, rule.horizontal)));
            },
        .put =
            [id, rule, r](CVincaCtrl& self, plat::DispCall& c) {
                const double value = c.value().fltVal;
                if (!std::isfinite(value)) ThrowVincaError(VE_INVALID_ARGUMENT);
                double px = 0;
                if (rule.minusOne && (value == -1 || (rule.min < 0 && value == -2)))
                    px = value; // the sentinels are taken before any conversion
                else
                    px = std::round(self.ToPixels(value, rule.horizontal));
                if (!std::isfinite(px)) ThrowVincaError(VE_INVALID_ARGUMENT);
                const bool sentinel = rule.minusOne && px == -1;
                if (!sentinel && px < rule.min) ThrowVincaError(VE_INVALID_ARGUMENT);
                if (px > rule.max) ThrowVincaError(rule.above);
                const plat::Variant v(static_cast<int16_t>(px));
                if (self.Prop(id).to_i2() == v.iVal) return;
                self.StoreProp(id, v);
                self.RequestRefresh(r.flags, r.code);
                self.MarkModified();
            },
    };
}

} // namespace rows

} // namespace vinca
