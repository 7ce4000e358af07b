#pragma once
// The main form's design: the form's size, its controls, the toolbar's
// button pairs and the menus, as tables.
#include <cstdint>
#include <span>

#include "KLDesigner/ui/form_design.h"

namespace kld::ui {

inline constexpr int32_t kMainFormWidth = 9600;
inline constexpr int32_t kMainFormHeight = 7200;

// A toolbar command: index 0 the live button with its tool tip, index 1 the
// face shown while the command is off, both 360 x 360 twips on one spot.
struct ButtonPairDesign {
    const char* name;
    int32_t left;
    int32_t top;
    bool on_toolbar;
    const char* tip0;
    const char* tip1;
};
inline constexpr int32_t kButtonSize = 360;

// A menu entry; "-" as caption is a separator. `parent` null: a top menu.
struct MenuDesign {
    const char* name;
    int32_t index;
    const char* parent;
    const char* caption;
    const char* shortcut = "";
    bool visible = true;
};

std::span<const ControlDesign> MainControls();
std::span<const ButtonPairDesign> ToolbarPairs();
// The view-style pair of ribbon buttons: index 0 at the first left.
inline constexpr int32_t kViewStyleLeft[2] = {4950, 5295};
inline constexpr const char* kViewStyleTip[2] = {"View Actions / Edit Action Properties",
                                                 "View Actions As Tree Grid"};
std::span<const MenuDesign> MainMenus();
// The tabs' captions, 0 Product to 5 Actions.
std::span<const char* const> TabCaptions();

} // namespace kld::ui
