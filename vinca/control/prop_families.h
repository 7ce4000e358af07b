#pragma once
// Row builders of the member table: one per family of simple properties
// (validate, compare, store, refresh, mark), and the rows of members that
// refuse both directions, need a window, or are not offered yet.
#include <string_view>
#include <vector>

#include "platform/com/dispatcher.h"
#include "vinca/control/control.h"

namespace vinca::rows {

using Row = plat::DispMember<CVincaCtrl>;
using plat::DispKind;
using plat::DispParam;

// What a change asks of the view: flags (1 repaint rows, 2 end editing,
// 4 tool tip, 8 frame) and a change code.
struct Refresh {
    int32_t flags{0};
    int32_t code{0};
};

enum class Mark : uint8_t { Yes, No };

inline constexpr DispParam kIndex{"Index", plat::VT_I4};

// Enumerations: 0 up to, not including, `bound`; 380 outside.
Row Enum(plat::DISPID id, std::string_view name, int16_t bound, Refresh r, Mark m = Mark::Yes,
         uint8_t access = 0);
// Booleans kept as their truth.
Row Boolean(plat::DISPID id, std::string_view name, Refresh r, Mark m = Mark::Yes, uint8_t access = 0);
// Colours, any 32-bit value.
Row Color(plat::DISPID id, std::string_view name, Refresh r, Mark m = Mark::Yes);
// Values stored as given, of `type`.
Row Stored(plat::DISPID id, std::string_view name, plat::VARTYPE type, Refresh r, Mark m = Mark::Yes,
           uint8_t access = 0);
// Sizes in the container's units, kept as pixels: below `min` 380, above
// `max` the code `above`. `minusOne` takes -1 as it is.
struct SizeRule {
    bool horizontal{true};
    int32_t min{0};
    int32_t max{32767};
    VResult above{VE_PICTURE_TOO_LARGE};
    bool minusOne{false};
};
Row Size(plat::DISPID id, std::string_view name, SizeRule rule, Refresh r);
// Members of the default item cell definition: 0 up to `bound` (colours: any).
Row DefCell(plat::DISPID id, std::string_view name, int16_t bound, std::vector<std::string_view> aliases);

// Pictures: a stored picture or Nothing; reading a property without one
// answers the empty picture. `iconOnly` refuses other pictures (25008).
Row Picture(plat::DISPID id, std::string_view name, Refresh r, bool iconOnly = false);

// Kept for their numbers; both directions refused in both modes.
Row Refused(plat::DISPID id, std::string_view name, DispKind kind, plat::VARTYPE type,
            std::vector<DispParam> params = {});
// Members that need the control's window: 20117 raised.
Row NoWindow(plat::DISPID id, std::string_view name, DispKind kind, plat::VARTYPE type,
             std::vector<DispParam> params = {}, uint8_t access = 0);
// Members this build does not offer yet: a clear error names the member.
Row NotYet(plat::DISPID id, std::string_view name, DispKind kind, plat::VARTYPE type,
           std::vector<DispParam> params = {}, uint8_t access = 0);

} // namespace vinca::rows
