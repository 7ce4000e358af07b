#pragma once
// The control's outgoing events: every event reaches the sinks connected to
// the control's event interface through its connection points.
#include <span>

#include "platform/com/dispatch.h"
#include "platform/com/variant.h"

namespace vinca {

class CVincaCtrl;

// Fires event `id` with its arguments (in declaration order) to every sink
// of the control's event interface. Without connection points nothing happens.
void FireControlEvent(CVincaCtrl& ctrl, plat::DISPID id, std::span<const plat::Variant> args);

} // namespace vinca
