#pragma once

#include <cstdint>

namespace zen {

// A moment broken down by the C library, so the TZ environment and the system's zone files
// are honoured; in a process that follows the system's clock and zone, in the zone of
// etc/localtime alone. weekday: 0 = Sunday; yearDay: 0..365; month: 1..12.
struct LocalTime {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int weekday = 4;
    int yearDay = 0;
};

LocalTime BreakDownLocal(int64_t secondsSince1970);
LocalTime BreakDownUtc(int64_t secondsSince1970);

}  // namespace zen
