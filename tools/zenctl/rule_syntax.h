#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/db/category.h"

namespace zen::ctl {

// The words of the command line that name rules. Each parser throws CommandError
// (kExitUsage) with a message that says what it accepts.

// The words of the categories, the same in every command and output: computer, internet,
// programs, cd, removable (any case on input).
Category ParseCategory(std::string_view word);
std::string_view CategoryName(Category category);
inline constexpr Category kAllCategories[] = {
    Category::Power, Category::Internet, Category::Program, Category::CDROM, Category::Removable};

// A weekday: "sun", "sunday", ... (any case); 0 = Sunday.
int ParseWeekday(std::string_view word);
std::string_view WeekdayName(int day);  // "Sun" ... "Sat"

// Days as a mask (bit d = weekday d): comma-separated days and ranges ("mon-fri",
// "fri-mon" wraps), or "all", "weekdays", "weekend".
uint8_t ParseDays(std::string_view word);
// The days of a mask for a sentence: "every day", "on weekdays", "at weekends", "on Mon, Wed".
std::string DaysPhrase(uint8_t days);

// "HH:MM-HH:MM" on quarter hours ("24:00" ends the day): the quarter-hour slots [from, to).
struct SlotRange {
    int from;
    int to;
};
SlotRange ParseTimeRange(std::string_view word);

// on|off, yes|no, 1|0, true|false.
bool ParseSwitch(std::string_view word);

// A decimal number no greater than `max`; `what` names it in the message.
uint32_t ParseNumber(std::string_view word, uint32_t max, std::string_view what);

// A local moment: "YYYY-MM-DD HH:MM", "DAY HH:MM" (that weekday of the current week, which
// starts on Sunday) or "HH:MM" (today). Seconds since 1970.
int64_t ParseMoment(std::string_view text, int64_t now);

}  // namespace zen::ctl
