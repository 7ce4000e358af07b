#include "client/ui/estimate.h"

#include "platform/base/strings.h"

namespace klc {

Estimate ComputeEstimate(int64_t received, int64_t total, int64_t elapsed_ms) {
    Estimate e;
    // The first second of a transfer is mostly connecting: a rate taken from
    // it says little, so the estimate waits for a few seconds of bytes.
    if (received <= 0 || elapsed_ms < kEstimateSettleMs) return e;
    double elapsed_s = static_cast<double>(elapsed_ms) / 1000.0;
    double ratio = static_cast<double>(total) / static_cast<double>(received) - 1.0;
    double left = elapsed_s * ratio;
    e.seconds_left = left > 0 ? static_cast<int64_t>(left) : 0;
    e.kb_per_second = static_cast<double>(received) / (elapsed_s * 1024.0);
    return e;
}

std::string Estimate::TimeLeftText() const {
    if (!seconds_left) return {};
    int64_t s = *seconds_left;
    return plat::strprintf("%d:%02d:%02d", static_cast<int>(s / 3600), static_cast<int>(s / 60 % 60),
                           static_cast<int>(s % 60));
}

std::string Estimate::SpeedText() const {
    if (!kb_per_second) return {};
    return plat::strprintf("%2.2f", *kb_per_second);
}

} // namespace klc
