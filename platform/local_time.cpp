#include "platform/local_time.h"

#include <ctime>

#include "platform/clock.h"
#include "platform/system_zone.h"

namespace zen {
namespace {

LocalTime FromTm(const std::tm& tm) {
    return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                     tm.tm_min,         tm.tm_sec,     tm.tm_wday, tm.tm_yday};
}

}  // namespace

LocalTime BreakDownLocal(int64_t secondsSince1970) {
    if (FollowsSystemClockAndZone()) {
        return BreakDownUtc(secondsSince1970 + SystemZoneOffset(secondsSince1970));
    }
    const std::time_t moment = static_cast<std::time_t>(secondsSince1970);
    std::tm tm{};
    if (::localtime_r(&moment, &tm) == nullptr) {
        return LocalTime{};
    }
    return FromTm(tm);
}

LocalTime BreakDownUtc(int64_t secondsSince1970) {
    const std::time_t moment = static_cast<std::time_t>(secondsSince1970);
    std::tm tm{};
    if (::gmtime_r(&moment, &tm) == nullptr) {
        return LocalTime{};
    }
    return FromTm(tm);
}

}  // namespace zen
