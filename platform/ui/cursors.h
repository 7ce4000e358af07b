#pragma once
// Pointer shapes by number: the container's standard pointers (the
// `MousePointer` values of controls and forms) and the module's own
// cursors of the resize trackers at their limits.
#include <cstdint>

#include <QtGui/QCursor>
#include <QtGui/QImage>

namespace plat::ui {

enum MousePointerId : int32_t {
    kPointerDefault = 0,
    kPointerArrow = 1,
    kPointerCross = 2,
    kPointerIBeam = 3,
    kPointerIcon = 4,
    kPointerSize = 5,
    kPointerSizeNESW = 6,
    kPointerSizeNS = 7,
    kPointerSizeNWSE = 8,
    kPointerSizeEW = 9,
    kPointerUpArrow = 10,
    kPointerHourglass = 11,
    kPointerNoDrop = 12,
    kPointerArrowHourglass = 13,
    kPointerArrowQuestion = 14,
    kPointerSizeAll = 15,
    kPointerCustom = 16,
};

// The module's cursors of a resize tracker held at its limit: 209 for a
// horizontal line, 210 for a vertical one.
inline constexpr int32_t kCursorSplitHorizontalLine = 209;
inline constexpr int32_t kCursorSplitVerticalLine = 210;

// The shape of a standard pointer. Default, custom and unknown numbers
// have none: the caller keeps whatever the window shows otherwise.
bool StandardPointerShape(int32_t pointer, Qt::CursorShape& shape);

// A custom pointer from an icon image, its hot spot at the centre; false
// for a null image.
bool CursorFromIcon(const QImage& icon, QCursor& cursor);

// The shape of a module cursor (209, 210); the arrow for other numbers.
Qt::CursorShape ModuleCursorShape(int32_t id);

} // namespace plat::ui
