#include "platform/com/errors.h"

namespace plat {

uint16_t error_number_from_hresult(HRESULT hr) {
    const uint32_t u = static_cast<uint32_t>(hr);
    if ((u & 0xFFFF0000u) == 0x800A0000u) return static_cast<uint16_t>(u & 0xFFFFu);
    switch (hr) {
    case DISP_E_OVERFLOW:
        return kErrOverflow;
    case DISP_E_TYPEMISMATCH:
    case DISP_E_BADVARTYPE:
        return kErrTypeMismatch;
    case E_OUTOFMEMORY:
        return kErrOutOfMemory;
    case DISP_E_MEMBERNOTFOUND:
    case DISP_E_UNKNOWNNAME:
        return kErrMemberNotFound;
    case DISP_E_PARAMNOTOPTIONAL:
        return kErrArgumentNotOptional;
    case DISP_E_BADPARAMCOUNT:
        return kErrWrongArgumentCount;
    case DISP_E_BADINDEX:
        return kErrInvalidPropertyArrayIndex;
    case E_INVALIDARG:
        return kErrInvalidProcedureCall;
    default:
        return 0;
    }
}

} // namespace plat
