// Addresses come from INF files and server lists: parsing, applying and
// formatting any text must not crash.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "client/engine/url.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const size_t cut = text.find('\n');
    klc::CUrl url;
    url.Parse(text.substr(0, cut));
    if (cut != std::string_view::npos) {
        const std::string_view rest = text.substr(cut + 1);
        for (int32_t kind : {klc::APPLY_SERVER, klc::APPLY_PATH, klc::APPLY_FILE}) {
            klc::CUrl copy = url;
            copy.ApplyPart(rest, kind);
            copy.Format();
            copy.ObjectName();
        }
    }
    url.Format();
    url.PortNumber();
    return 0;
}
