// Saved property sets and value texts come from files: neither may crash.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/com/oadate.h"
#include "platform/com/prop_exchange.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace plat;
    auto s = create_memory_stream(std::vector<uint8_t>(data, data + size));
    StreamExchange in(s.get(), true);
    std::string text;
    in.exchange_string("Caption", text);
    std::vector<uint8_t> blob;
    in.exchange_blob("Blob", blob);

    std::string_view chars(reinterpret_cast<const char*>(data), size);
    parse_oa_date(chars);
    Variant v(chars);
    v.to_r8();
    v.to_bool();
    Variant d;
    VariantChangeType(&d, &v, 0, VT_DATE);
    return 0;
}
