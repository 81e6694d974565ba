#pragma once

// Fixtures shared by the access and usage tests: a time zone and a clock fixed for a scope.
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "common/db/records.h"
#include "platform/clock.h"
#include "platform/local_time.h"

namespace zen::test {

// Tuesday 2024-03-05 10:16:00 UTC; day 64 of a leap year.
inline constexpr int64_t kTuesday1016 = 1'709'633'760;

// Sets TZ for a scope (local days and weekdays depend on it).
class ScopedZone {
public:
    explicit ScopedZone(const char* zone) {
        if (const char* previous = std::getenv("TZ")) {
            previous_ = previous;
        }
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ScopedZone() {
        previous_ ? ::setenv("TZ", previous_->c_str(), 1) : ::unsetenv("TZ");
        ::tzset();
    }
    ScopedZone(const ScopedZone&) = delete;
    ScopedZone& operator=(const ScopedZone&) = delete;

private:
    std::optional<std::string> previous_;
};

// Fixes zen::Now() for a scope.
class ScopedNow {
public:
    explicit ScopedNow(int64_t moment) { SetNowForTesting(moment); }
    ~ScopedNow() { SetNowForTesting(std::nullopt); }
    void Set(int64_t moment) { SetNowForTesting(moment); }
    ScopedNow(const ScopedNow&) = delete;
    ScopedNow& operator=(const ScopedNow&) = delete;
};

inline LocalTime At(int weekday, int hour, int minute) {
    LocalTime moment;
    moment.weekday = weekday;
    moment.hour = hour;
    moment.minute = minute;
    return moment;
}

inline void Forbid(Timetable& timetable, int weekday, int slot) {
    timetable.rows[weekday][slot / 8] &= static_cast<uint8_t>(~(1u << (slot % 8)));
}

}  // namespace zen::test
