#include "platform/clock.h"

#include <atomic>
#include <ctime>

namespace zen {
namespace {

constexpr int64_t kRealClock = INT64_MIN;
std::atomic<int64_t> fixedMoment{kRealClock};

}  // namespace

int64_t Now() {
    const int64_t fixed = fixedMoment.load(std::memory_order_relaxed);
    return fixed == kRealClock ? static_cast<int64_t>(::time(nullptr)) : fixed;
}

void SetNowForTesting(std::optional<int64_t> moment) {
    fixedMoment.store(moment.value_or(kRealClock), std::memory_order_relaxed);
}

}  // namespace zen
