#pragma once
// The frame around the control's window, inside the rectangle the container
// gives it: nothing, a single line, a sunken edge, two pixels, or a 3-D
// border in or out. The caption strip, the rows and the scroll bars lie
// inside it.
#include <cstdint>

#include "platform/gdi/dc.h"

namespace vinca {

enum EWindowBorder : int32_t {
    WINDOW_BORDER_NONE = 0,
    WINDOW_BORDER_SINGLE = 1,
    WINDOW_BORDER_TWO_PIXELS = 2,
    WINDOW_BORDER_INSET = 3,
    WINDOW_BORDER_OUTSET = 4,
};

// Pixels the frame takes on each side. The single border is a sunken
// edge of two pixels with the 3-D appearance (1) and a line of one with the
// flat one (0); any other style ignores the appearance. Unknown styles draw
// no frame.
int32_t WindowFrameWidth(int32_t borderStyle, int32_t appearance);

// Draws the frame along the inside of `window`.
void DrawWindowFrame(plat::gdi::Dc& dc, const plat::gdi::Rect& window, int32_t borderStyle,
                     int32_t appearance);

} // namespace vinca
