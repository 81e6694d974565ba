#pragma once

#include <cstdint>
#include <optional>

namespace zen {

// The one place every decision reads the time from: seconds since 1970 (UTC).
int64_t Now();

// From now on this process reads the real clock from the kernel (CLOCK_REALTIME through the
// vDSO's own entry, or a system call), never through time() or clock_gettime() that a
// preloaded library may replace, and breaks moments
// down in the system's time zone (etc/localtime under the root), never TZ. For the filter,
// which runs inside the programs of the accounts it controls.
void FollowSystemClockAndZone(bool follow = true);
bool FollowsSystemClockAndZone();

// Fixes the moment that Now() returns in this process, or returns it to the real clock.
void SetNowForTesting(std::optional<int64_t> moment);

}  // namespace zen
