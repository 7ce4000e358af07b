#include "platform/com/ole.h"

#include <cmath>
#include <cstdlib>

namespace plat {

bool read_ambient(IUnknown* site, DISPID id, Variant& out) {
    out.clear();
    if (!site) return false;
    ComPtr<IDispatch> disp;
    if (FAILED(site->QueryInterface(IID_IDispatch, disp.put_void())) || !disp) return false;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    HRESULT hr = disp->Invoke(id, IID_IUnknown, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr);
    if (FAILED(hr)) {
        VariantClear(&result);
        return false;
    }
    out = Variant::adopt(result);
    return true;
}

bool ambient_user_mode(IUnknown* site) {
    Variant v;
    if (!read_ambient(site, DISPID_AMBIENT_USERMODE, v)) return true;
    HRESULT hr = S_OK;
    bool mode = v.to_bool(&hr);
    return FAILED(hr) ? true : mode;
}

int32_t himetric_to_pixels(int32_t himetric, int32_t dpi) {
    return static_cast<int32_t>(std::lround(static_cast<double>(himetric) * dpi / 2540.0));
}

int32_t pixels_to_himetric(int32_t pixels, int32_t dpi) {
    return static_cast<int32_t>(std::lround(static_cast<double>(pixels) * 2540.0 / dpi));
}

} // namespace plat

namespace plat {

void* task_mem_alloc(size_t bytes) {
    return std::malloc(bytes == 0 ? 1 : bytes);
}

void task_mem_free(void* p) {
    std::free(p);
}

} // namespace plat
