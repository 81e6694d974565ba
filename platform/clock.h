#pragma once

#include <cstdint>
#include <optional>

namespace zen {

// The one place every decision reads the time from: seconds since 1970 (UTC).
int64_t Now();

// Fixes the moment that Now() returns in this process, or returns it to the real clock.
void SetNowForTesting(std::optional<int64_t> moment);

}  // namespace zen
