#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zen::filter {

// The network filter's string table, by string number.
inline constexpr int kTimetableReason = 31;
inline constexpr int kTimetableDescription = 36;
inline constexpr int kAccessRestricted = 37;
inline constexpr int kClockChangedReason = 38;
inline constexpr int kDailyLimitReason = 40;

std::u16string_view FilterText(int id);

// "Today: Online %d minutes" under an hour, "Today: Online %d hours %d minutes" from one.
std::u16string OnlineTodayText(uint32_t minutes);

// A moment in the classic asctime layout, newline included: "Thu Dec 10 11:35:34 2026\n".
std::u16string AsctimeText(int64_t secondsSince1970);

}  // namespace zen::filter
