#include "platform/clock.h"

#include "platform/vdso_clock.h"

#include <atomic>
#include <ctime>

namespace zen {
namespace {

constexpr int64_t kRealClock = INT64_MIN;
std::atomic<int64_t> fixedMoment{kRealClock};
std::atomic<bool> systemClockOnly{false};

}  // namespace

void FollowSystemClockAndZone(bool follow) {
    systemClockOnly.store(follow, std::memory_order_relaxed);
}

bool FollowsSystemClockAndZone() {
    return systemClockOnly.load(std::memory_order_relaxed);
}

int64_t Now() {
    const int64_t fixed = fixedMoment.load(std::memory_order_relaxed);
    if (fixed != kRealClock) {
        return fixed;
    }
    return FollowsSystemClockAndZone() ? KernelRealtimeSeconds()
                                       : static_cast<int64_t>(::time(nullptr));
}

void SetNowForTesting(std::optional<int64_t> moment) {
    fixedMoment.store(moment.value_or(kRealClock), std::memory_order_relaxed);
}

}  // namespace zen
