#pragma once
// One-dimensional arrays as automation values carry them (byte arrays above
// all: pictures and raw data travel as arrays of VT_UI1).
#include <cstdint>

#include "platform/base/types.h"

namespace plat {

using VARTYPE = uint16_t;

struct SAFEARRAYBOUND {
    uint32_t cElements;
    int32_t lLbound;
};

struct SAFEARRAY {
    uint16_t cDims;
    uint16_t fFeatures;
    uint32_t cbElements;
    uint32_t cLocks;
    void* pvData;
    SAFEARRAYBOUND rgsabound[1];
    VARTYPE vt; // element type (kept here so that destroy and copy know it)
};

// Element types supported: VT_UI1, VT_I2, VT_I4, VT_R4, VT_R8, VT_BSTR, VT_VARIANT.
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, int32_t lbound, uint32_t count);
HRESULT SafeArrayDestroy(SAFEARRAY* psa);
HRESULT SafeArrayCopy(const SAFEARRAY* psa, SAFEARRAY** out);
HRESULT SafeArrayGetVartype(const SAFEARRAY* psa, VARTYPE* vt);
HRESULT SafeArrayGetLBound(const SAFEARRAY* psa, uint32_t dim, int32_t* out);
HRESULT SafeArrayGetUBound(const SAFEARRAY* psa, uint32_t dim, int32_t* out);
uint32_t SafeArrayGetDim(const SAFEARRAY* psa);
uint32_t SafeArrayGetElemsize(const SAFEARRAY* psa);
HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** data);
HRESULT SafeArrayUnaccessData(SAFEARRAY* psa);

} // namespace plat
