// Feeds arbitrary bytes to the version reader, both as a whole file image and
// as a bare version block and as a compiled resource file.
#include "platform/fileinfo/res_file.h"
#include "platform/fileinfo/version_info.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    if (auto info = plat::parse_version_info(bytes)) {
        (void)info->query_string("FileVersion");
        for (const auto& t : info->translations)
            (void)info->query_string("OLESelfRegister", t);
    }
    (void)plat::parse_version_block(bytes);
    (void)plat::find_res_version_block(bytes);
    return 0;
}
