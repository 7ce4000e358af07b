#pragma once
// Time left and speed of the update download, from the bytes received so
// far, the bytes expected in all and the time since the transfer started.
#include <cstdint>
#include <optional>
#include <string>

namespace klc {

struct Estimate {
    std::optional<int64_t> seconds_left;
    std::optional<double> kb_per_second;
    std::string TimeLeftText() const; // "h:mm:ss", empty when unknown
    std::string SpeedText() const;    // "%2.2f", empty when unknown
};

// How long a transfer runs before its rate makes an estimate.
constexpr int64_t kEstimateSettleMs = 3000;

// Nothing is estimated before kEstimateSettleMs have passed or a byte
// arrived; the time left is never negative.
Estimate ComputeEstimate(int64_t received, int64_t total, int64_t elapsed_ms);

} // namespace klc
