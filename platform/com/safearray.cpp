#include "platform/com/safearray.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/com/errors.h"
#include "platform/com/variant.h"

namespace plat {

namespace {

uint32_t element_size(VARTYPE vt) {
    switch (vt) {
    case VT_UI1:
        return 1;
    case VT_I2:
        return 2;
    case VT_I4:
    case VT_R4:
        return 4;
    case VT_R8:
        return 8;
    case VT_BSTR:
        return sizeof(BSTR);
    case VT_VARIANT:
        return sizeof(VARIANT);
    default:
        return 0;
    }
}

void clear_elements(SAFEARRAY* psa) {
    const uint32_t n = psa->rgsabound[0].cElements;
    if (psa->vt == VT_BSTR) {
        auto* p = static_cast<BSTR*>(psa->pvData);
        for (uint32_t i = 0; i < n; ++i)
            SysFreeString(p[i]);
    } else if (psa->vt == VT_VARIANT) {
        auto* p = static_cast<VARIANT*>(psa->pvData);
        for (uint32_t i = 0; i < n; ++i)
            VariantClear(&p[i]);
    }
}

} // namespace

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, int32_t lbound, uint32_t count) {
    const uint32_t size = element_size(vt);
    if (size == 0) return nullptr;
    if (count > (uint32_t(1) << 31) / size) return nullptr;
    auto* psa = static_cast<SAFEARRAY*>(std::calloc(1, sizeof(SAFEARRAY)));
    if (!psa) return nullptr;
    psa->pvData = std::calloc(count ? count : 1, size);
    if (!psa->pvData) {
        std::free(psa);
        return nullptr;
    }
    psa->cDims = 1;
    psa->cbElements = size;
    psa->rgsabound[0] = {count, lbound};
    psa->vt = vt;
    return psa;
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
    if (!psa) return S_OK;
    if (psa->cLocks) return DISP_E_ARRAYISLOCKED;
    clear_elements(psa);
    std::free(psa->pvData);
    std::free(psa);
    return S_OK;
}

HRESULT SafeArrayCopy(const SAFEARRAY* psa, SAFEARRAY** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!psa) return S_OK;
    const uint32_t n = psa->rgsabound[0].cElements;
    SAFEARRAY* copy = SafeArrayCreateVector(psa->vt, psa->rgsabound[0].lLbound, n);
    if (!copy) return E_OUTOFMEMORY;
    if (psa->vt == VT_BSTR) {
        auto* src = static_cast<BSTR*>(psa->pvData);
        auto* dst = static_cast<BSTR*>(copy->pvData);
        for (uint32_t i = 0; i < n; ++i) {
            if (src[i] && !(dst[i] = bstr_copy(src[i]))) {
                SafeArrayDestroy(copy);
                return E_OUTOFMEMORY;
            }
        }
    } else if (psa->vt == VT_VARIANT) {
        auto* src = static_cast<const VARIANT*>(psa->pvData);
        auto* dst = static_cast<VARIANT*>(copy->pvData);
        for (uint32_t i = 0; i < n; ++i) {
            HRESULT hr = VariantCopy(&dst[i], &src[i]);
            if (FAILED(hr)) {
                SafeArrayDestroy(copy);
                return hr;
            }
        }
    } else {
        std::memcpy(copy->pvData, psa->pvData, size_t(n) * psa->cbElements);
    }
    *out = copy;
    return S_OK;
}

HRESULT SafeArrayGetVartype(const SAFEARRAY* psa, VARTYPE* vt) {
    if (!psa || !vt) return E_INVALIDARG;
    *vt = psa->vt;
    return S_OK;
}

HRESULT SafeArrayGetLBound(const SAFEARRAY* psa, uint32_t dim, int32_t* out) {
    if (!psa || !out) return E_INVALIDARG;
    if (dim != 1) return DISP_E_BADINDEX;
    *out = psa->rgsabound[0].lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(const SAFEARRAY* psa, uint32_t dim, int32_t* out) {
    if (!psa || !out) return E_INVALIDARG;
    if (dim != 1) return DISP_E_BADINDEX;
    *out = static_cast<int32_t>(int64_t(psa->rgsabound[0].lLbound) + psa->rgsabound[0].cElements - 1);
    return S_OK;
}

uint32_t SafeArrayGetDim(const SAFEARRAY* psa) {
    return psa ? psa->cDims : 0;
}
uint32_t SafeArrayGetElemsize(const SAFEARRAY* psa) {
    return psa ? psa->cbElements : 0;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** data) {
    if (!psa || !data) return E_INVALIDARG;
    ++psa->cLocks;
    *data = psa->pvData;
    return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) {
    if (!psa) return E_INVALIDARG;
    if (psa->cLocks == 0) return E_UNEXPECTED;
    --psa->cLocks;
    return S_OK;
}

} // namespace plat
