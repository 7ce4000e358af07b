#pragma once
// Window numbers: a window that automation values name (a control's hWnd, a
// container's parent window) is registered here and known by its number.
// The table lives in the one Qt platform library, so the control library
// and its container read the same numbers.
#include <cstdint>

#include "platform/base/handle_table.h"

class QWidget;

namespace plat::ui {

HandleTable<QWidget>& Windows();

// The window of a number (null for 0 or one that is gone).
QWidget* WindowFromHandle(uint32_t handle);

} // namespace plat::ui
