#pragma once
// Result codes of the component layer and the two forms in which numbered
// automation errors travel as HRESULTs.
#include <cstdint>

#include "platform/base/types.h"

namespace plat {

constexpr HRESULT CLASS_E_NOAGGREGATION = make_hresult(0x80040110u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = make_hresult(0x80040111u);
constexpr HRESULT REGDB_E_CLASSNOTREG = make_hresult(0x80040154u);
constexpr HRESULT REGDB_E_READREGDB = make_hresult(0x80040150u);
constexpr HRESULT REGDB_E_WRITEREGDB = make_hresult(0x80040151u);
constexpr HRESULT CO_E_CLASSSTRING = make_hresult(0x800401F3u);
constexpr HRESULT CO_E_DLLNOTFOUND = make_hresult(0x800401F8u);
constexpr HRESULT CO_E_ERRORINDLL = make_hresult(0x800401F9u);
constexpr HRESULT SELFREG_E_CLASS = make_hresult(0x80040201u);
constexpr HRESULT SELFREG_E_TYPELIB = make_hresult(0x80040200u);

constexpr HRESULT DISP_E_UNKNOWNINTERFACE = make_hresult(0x80020001u);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = make_hresult(0x80020003u);
constexpr HRESULT DISP_E_PARAMNOTFOUND = make_hresult(0x80020004u);
constexpr HRESULT DISP_E_TYPEMISMATCH = make_hresult(0x80020005u);
constexpr HRESULT DISP_E_UNKNOWNNAME = make_hresult(0x80020006u);
constexpr HRESULT DISP_E_NONAMEDARGS = make_hresult(0x80020007u);
constexpr HRESULT DISP_E_BADVARTYPE = make_hresult(0x80020008u);
constexpr HRESULT DISP_E_EXCEPTION = make_hresult(0x80020009u);
constexpr HRESULT DISP_E_OVERFLOW = make_hresult(0x8002000Au);
constexpr HRESULT DISP_E_BADINDEX = make_hresult(0x8002000Bu);
constexpr HRESULT DISP_E_UNKNOWNLCID = make_hresult(0x8002000Cu);
constexpr HRESULT DISP_E_ARRAYISLOCKED = make_hresult(0x8002000Du);
constexpr HRESULT DISP_E_BADPARAMCOUNT = make_hresult(0x8002000Eu);
constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = make_hresult(0x8002000Fu);

constexpr HRESULT CONNECT_E_NOCONNECTION = make_hresult(0x80040200u);
constexpr HRESULT CONNECT_E_ADVISELIMIT = make_hresult(0x80040201u);
constexpr HRESULT CONNECT_E_CANNOTCONNECT = make_hresult(0x80040202u);
constexpr HRESULT CONNECT_E_OVERRIDDEN = make_hresult(0x80040203u);

constexpr HRESULT STG_E_INVALIDFUNCTION = make_hresult(0x80030001u);
constexpr HRESULT STG_E_FILENOTFOUND = make_hresult(0x80030002u);
constexpr HRESULT STG_E_ACCESSDENIED = make_hresult(0x80030005u);
constexpr HRESULT STG_E_INSUFFICIENTMEMORY = make_hresult(0x80030008u);
constexpr HRESULT STG_E_INVALIDPOINTER = make_hresult(0x80030009u);
constexpr HRESULT STG_E_WRITEFAULT = make_hresult(0x8003001Du);
constexpr HRESULT STG_E_READFAULT = make_hresult(0x8003001Eu);
constexpr HRESULT STG_E_MEDIUMFULL = make_hresult(0x80030070u);
constexpr HRESULT STG_E_INVALIDPARAMETER = make_hresult(0x80030057u);
constexpr HRESULT STG_E_SEEKERROR = make_hresult(0x80030019u);
constexpr HRESULT STG_E_CANTSAVE = make_hresult(0x80030103u);
constexpr HRESULT STG_E_DOCFILECORRUPT = make_hresult(0x80030109u);
constexpr HRESULT STG_E_INVALIDHEADER = make_hresult(0x800300FBu);
// A read or save of the stream format ran past the data.
constexpr HRESULT STG_E_OLDFORMAT = make_hresult(0x80030104u);

constexpr HRESULT E_PENDING = make_hresult(0x8000000Au);
constexpr HRESULT OLE_E_BLANK = make_hresult(0x80040007u);
constexpr HRESULT CTL_E_GETNOTSUPPORTED = make_hresult(0x800A018Au);          // 394
constexpr HRESULT CTL_E_SETNOTSUPPORTED = make_hresult(0x800A017Fu);          // 383
constexpr HRESULT CTL_E_SETNOTSUPPORTEDATRUNTIME = make_hresult(0x800A0182u); // 382
constexpr HRESULT CTL_E_GETNOTSUPPORTEDATRUNTIME = make_hresult(0x800A0189u); // 393

// Automation run-time error numbers the layer itself produces.
enum AutomationError : uint16_t {
    kErrOverflow = 6,
    kErrOutOfMemory = 7,
    kErrTypeMismatch = 13,
    kErrFileNotFound = 53,
    kErrInvalidProcedureCall = 5,
    kErrObjectRequired = 424,
    kErrInvalidFileFormat = 321,
    kErrInvalidPropertyValue = 380,
    kErrInvalidPropertyArrayIndex = 381,
    kErrSetNotSupportedAtRuntime = 382,
    kErrSetNotSupported = 383,
    kErrGetNotSupportedAtRuntime = 393,
    kErrGetNotSupported = 394,
    kErrMemberNotFound = 438,
    kErrArgumentNotOptional = 449,
    kErrWrongArgumentCount = 450,
};

// A container's run-time error number in the control facility: 0x800A0000 | code.
constexpr HRESULT control_error_hresult(uint16_t code) {
    return make_hresult(0x800A0000u | code);
}

// A component's own numbered error (20000 and above): 0x80040000 | (code - 20000).
constexpr HRESULT component_error_hresult(uint16_t code) {
    return make_hresult(0x80040000u | static_cast<uint16_t>(code - 20000u));
}

// The scode a numbered error travels with: the component form for its own
// codes (20000 and above), the control facility for the container's numbers.
constexpr HRESULT error_number_hresult(uint16_t code) {
    return code >= 20000 ? component_error_hresult(code) : control_error_hresult(code);
}

// The run-time error number a late-bound caller reports for a failed call:
// control-facility results give their low word, the dispatch results their
// well-known numbers, anything else 0 (the caller shows the HRESULT itself).
uint16_t error_number_from_hresult(HRESULT hr);

} // namespace plat
