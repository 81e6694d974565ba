#include "common/mail/mail_date.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/local_time.h"

namespace zen {

std::string MailDate(int64_t secondsSince1970) {
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    // Re-read the zone so that the time and the offset below agree with the current TZ.
    ::tzset();
    const LocalTime local = BreakDownLocal(secondsSince1970);
    // `timezone` holds the standard (not daylight) offset in seconds west of UTC.
    const long eastHours = -::timezone / 3600;
    char text[64];
    std::snprintf(text, sizeof text, "%02d %s %02d %02d:%02d:%02d %s%02ld00", local.day,
                  kMonths[(local.month - 1) % 12], local.year % 100, local.hour, local.minute,
                  local.second, eastHours < 0 ? "-" : "", std::labs(eastHours));
    return text;
}

}  // namespace zen
