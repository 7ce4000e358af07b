#include "platform/gdi/geometry.h"

#include <limits>

namespace plat::gdi {

int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
    if (c == 0) return -1;
    int64_t p = int64_t{a} * b;
    bool negative = (p < 0) != (c < 0);
    uint64_t up = p < 0 ? uint64_t(-(p + 1)) + 1 : uint64_t(p);
    uint64_t uc = c < 0 ? uint64_t(-(int64_t{c})) : uint64_t(c);
    uint64_t q = (up + uc / 2) / uc;
    if (q > uint64_t(std::numeric_limits<int32_t>::max()) + (negative ? 1u : 0u)) return -1;
    return negative ? int32_t(-int64_t(q)) : int32_t(q);
}

} // namespace plat::gdi
