#pragma once
// A form's design as data: one row per control with its kind, name, array
// index, container, twips geometry, caption and tool tip. Forms build their
// controls from such a table, in its order, so later rows stand above
// earlier ones.
#include <cstdint>
#include <span>

#include "platform/forms/form.h"

namespace kld::ui {

enum class Kind {
    Label,
    TextBox,
    ComboBox,
    ListBox,
    CheckBox,
    OptionButton,
    Frame,
    Panel,
    CommandButton,
    RibbonButton,
    PictureBox,
    Image,
    TabStrip,
};

struct ControlDesign {
    Kind kind;
    const char* name;
    int32_t index; // -1 outside a control array
    // The container: a frame or panel by name, a tab page as "ctlTabs#k",
    // or nullptr for the form's client area.
    const char* container;
    int32_t left, top, width, height;
    const char* caption = "";
    const char* tooltip = "";
    bool visible = true;
    int32_t extra = 0; // tabs of a tab strip, bevel of a panel, style of a combo
};

// Creates every control of `rows` on `form`; containers must come before
// the controls they hold.
void BuildControls(plat::forms::Form& form, std::span<const ControlDesign> rows);

// The widget that a container name from a design row stands for.
QWidget* ContainerWidget(plat::forms::Form& form, const char* container);

} // namespace kld::ui
