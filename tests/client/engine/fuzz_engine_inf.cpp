// Reads arbitrary bytes as a catalogue and as a product INF, the way the
// client reads what a server sends.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "client/engine/product.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static klc::CClientContext ctx;
    ctx.log_level = 0;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    klc::InfFile inf = klc::InfFile::Parse(text);
    klc::CCatalogue cat;
    klc::CUrl base;
    base.Parse("http://127.0.0.1/updates/PRODUCTS.INF");
    cat.ReadCatalogue(ctx, inf, base);
    if (cat.links.empty()) cat.links.push_back({});
    cat.ReadProduct(ctx, 0, 0, inf);
    cat.ReadProduct(ctx, 0, 1, inf);
    return 0;
}
