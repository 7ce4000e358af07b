#include "vinca/views/window_frame.h"

#include "platform/gdi/color.h"
#include "vinca/views/paint.h"

namespace vinca {

using namespace plat::gdi;

namespace {

// One ring of a frame: top and left in `topLeft`, bottom and right in
// `bottomRight`, one pixel wide.
void Ring(Dc& dc, const Rect& r, COLORREF topLeft, COLORREF bottomRight) {
    if (r.IsEmpty()) return;
    FillSolid(dc, topLeft, {r.left, r.top, r.right, r.top + 1});
    FillSolid(dc, topLeft, {r.left, r.top, r.left + 1, r.bottom});
    FillSolid(dc, bottomRight, {r.left, r.bottom - 1, r.right, r.bottom});
    FillSolid(dc, bottomRight, {r.right - 1, r.top, r.right, r.bottom});
}

} // namespace

int32_t WindowFrameWidth(int32_t borderStyle, int32_t appearance) {
    switch (borderStyle) {
    case WINDOW_BORDER_SINGLE:
        return appearance != 0 ? 2 : 1;
    case WINDOW_BORDER_TWO_PIXELS:
    case WINDOW_BORDER_INSET:
    case WINDOW_BORDER_OUTSET:
        return 2;
    default:
        return 0;
    }
}

void DrawWindowFrame(Dc& dc, const Rect& window, int32_t borderStyle, int32_t appearance) {
    const int32_t w = WindowFrameWidth(borderStyle, appearance);
    if (w == 0 || window.IsEmpty()) return;
    const COLORREF frame = GetSysColor(COLOR_WINDOWFRAME);
    switch (borderStyle) {
    case WINDOW_BORDER_SINGLE:
        if (appearance == 0) {
            Ring(dc, window, frame, frame);
        } else {
            // The sunken edge: shadow over highlight outside, dark shadow
            // over light inside.
            Ring(dc, window, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT));
            Ring(dc, window.Inflate(-1, -1), GetSysColor(COLOR_3DDKSHADOW), GetSysColor(COLOR_3DLIGHT));
        }
        break;
    case WINDOW_BORDER_TWO_PIXELS:
        Ring(dc, window, frame, frame);
        Ring(dc, window.Inflate(-1, -1), frame, frame);
        break;
    default: {
        C3DBorder border;
        border.shadow = GetSysColor(COLOR_BTNSHADOW);
        border.fill = kNoColorBit;
        border.width = w;
        border.Draw(dc, window, borderStyle == WINDOW_BORDER_INSET);
        break;
    }
    }
}

} // namespace vinca
