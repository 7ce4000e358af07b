#pragma once
// The one way the control reports a failure to its container: a numbered
// error. The control's own codes (20000 and above) carry their text from the
// control's string table; the container's run-time numbers (7, 380, 381...)
// travel in the control facility and the container shows its own text.
#include "vinca/model/errors.h"

namespace vinca {

// Never returns: throws the dispatcher's error for `code`.
[[noreturn]] void ThrowVincaError(VResult code);

// Raises `code` when it is not 0.
inline void CheckVinca(VResult code) {
    if (code != VE_OK) ThrowVincaError(code);
}

} // namespace vinca
