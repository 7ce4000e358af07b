// The buffer functions the library exports with C linkage, for hosts that
// handle trees without a control instance.
#include <cstdint>

#include "vinca/model/buffer.h"
#include "vinca/model/thread_registry.h"

extern "C" {

__attribute__((visibility("default"))) int16_t VincaIsValidBuffer(uint32_t buffer) {
    return vinca::IsValidVincaBuffer(buffer) ? 1 : 0;
}

__attribute__((visibility("default"))) int16_t VincaFreeBuffer(uint32_t buffer) {
    vinca::FreeVincaBuffer(buffer);
    return 0;
}

__attribute__((visibility("default"))) int16_t VincaCopyBuffer(uint32_t buffer) {
    return vinca::CopyBufferToClipboard(buffer);
}

__attribute__((visibility("default"))) int16_t VincaPasteBuffer(uint32_t* buffer) {
    return vinca::PasteBufferFromClipboard(buffer);
}

__attribute__((visibility("default"))) int16_t VincaSaveBuffer(uint32_t buffer, int16_t file) {
    if (!vinca::IsValidVincaBuffer(buffer)) return vinca::VE_INVALID_TREE_BUFFER;
    // Host files are reached only through a live control's site.
    plat::ComPtr<plat::IUnknown> site = vinca::FindHostFileSite();
    if (!site) return vinca::VE_NOT_LOADED;
    return vinca::SaveBufferToHostFile(buffer, file, site.get());
}

__attribute__((visibility("default"))) int16_t VincaLoadBuffer(uint32_t* buffer, int16_t file) {
    plat::ComPtr<plat::IUnknown> site = vinca::FindHostFileSite();
    if (!site) {
        if (buffer) *buffer = 0;
        return vinca::VE_NOT_LOADED;
    }
    return vinca::LoadBufferFromHostFile(buffer, file, site.get());
}

__attribute__((visibility("default"))) int16_t VincaIsClipboardFormatAvailable() {
    return vinca::IsTreeOnClipboard() ? 1 : 0;
}

} // extern "C"
