#include "vinca/control/errors.h"

#include "platform/com/dispatcher.h"

namespace vinca {

void ThrowVincaError(VResult code) {
    const uint16_t number = static_cast<uint16_t>(code);
    if (number >= 20000) {
        // A code without a text of its own travels with an empty description.
        const char* text = VincaErrorText(code);
        plat::DispatchError e;
        e.code = number;
        e.description = text ? text : "";
        throw e;
    }
    plat::raise_error(number);
}

} // namespace vinca
