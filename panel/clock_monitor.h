#pragma once

#include <cstdint>

#include "common/db/records.h"

namespace zen::panel {

// Watches the clock from one tick of the panel's second timer to the next: a step of more
// than 240 seconds either way means that someone set the clock.
class ClockMonitor {
public:
    static constexpr int64_t kAllowedStepSeconds = 240;

    // Records `now` (seconds); true when it differs from the previous tick's time by more than
    // the allowed step. The first tick has nothing to compare with.
    bool Tick(int64_t now);

private:
    int64_t previous_ = 0;
};

// Whether a clock change locks the Internet: only for a group with filtering on, with the
// timetable of at least one category in use, and only while a password guards the unlock.
bool ClockChangeLocks(const FastUsersRecord& groupRules, const Options& options);

}  // namespace zen::panel
