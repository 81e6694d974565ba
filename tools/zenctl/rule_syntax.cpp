#include "tools/zenctl/rule_syntax.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <ctime>
#include <string>

#include "platform/local_time.h"
#include "tools/zenctl/invocation.h"

namespace zen::ctl {
namespace {

std::string Lower(std::string_view word) {
    std::string lower(word);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return lower;
}

[[noreturn]] void Bad(std::string_view what, std::string_view word, std::string_view accepted) {
    throw CommandError(kExitUsage, std::string(what) + " \"" + std::string(word) +
                                       "\" is not valid; use " + std::string(accepted));
}

constexpr std::array<std::string_view, 7> kDayNames{"sunday",   "monday", "tuesday", "wednesday",
                                                    "thursday", "friday", "saturday"};
constexpr std::array<std::string_view, 7> kDayShort{"Sun", "Mon", "Tue", "Wed",
                                                    "Thu", "Fri", "Sat"};

bool Digits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A plain decimal number, or nothing.
std::optional<uint32_t> Decimal(std::string_view text) {
    uint32_t value = 0;
    if (!Digits(text)) {
        return std::nullopt;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// "HH:MM" as hour and minute, both checked against their ranges (24:00 only when allowed).
std::optional<std::pair<int, int>> ClockTime(std::string_view text, bool allowEndOfDay) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon > 2 || text.size() != colon + 3) {
        return std::nullopt;
    }
    const auto hour = Decimal(text.substr(0, colon));
    const auto minute = Decimal(text.substr(colon + 1));
    if (!hour || !minute || *minute > 59) {
        return std::nullopt;
    }
    if (*hour > 23 && !(allowEndOfDay && *hour == 24 && *minute == 0)) {
        return std::nullopt;
    }
    return std::pair{static_cast<int>(*hour), static_cast<int>(*minute)};
}

int QuarterSlot(std::string_view text, std::string_view range) {
    const auto time = ClockTime(text, true);
    if (!time || time->second % 15 != 0) {
        Bad("time range", range,
            "HH:MM-HH:MM on quarter hours, e.g. 08:00-15:30 (24:00 ends the day)");
    }
    return time->first * 4 + time->second / 15;
}

}  // namespace

Category ParseCategory(std::string_view word) {
    const std::string lower = Lower(word);
    for (const Category category : kAllCategories) {
        if (lower == CategoryName(category)) {
            return category;
        }
    }
    Bad("category", word, "computer, internet, programs, cd or removable");
}

std::string_view CategoryName(Category category) {
    switch (category) {
        case Category::Power:
            return "computer";
        case Category::Internet:
            return "internet";
        case Category::Program:
            return "programs";
        case Category::CDROM:
            return "cd";
        case Category::Removable:
            break;
    }
    return "removable";
}

int ParseWeekday(std::string_view word) {
    const std::string lower = Lower(word);
    for (int day = 0; day < 7; ++day) {
        if (lower.size() >= 3 && kDayNames[day].starts_with(lower)) {
            return day;
        }
    }
    Bad("day", word, "sun, mon, tue, wed, thu, fri or sat");
}

std::string_view WeekdayName(int day) {
    return kDayShort[static_cast<std::size_t>(day) % 7];
}

std::string DaysPhrase(uint8_t days) {
    switch (days) {
        case 0x7F:
            return "every day";
        case 0x3E:
            return "on weekdays";
        case 0x41:
            return "at weekends";
        default:
            break;
    }
    std::string phrase;
    for (int day = 0; day < 7; ++day) {
        if ((days >> day & 1) != 0) {
            phrase += (phrase.empty() ? "on " : ", ") + std::string(WeekdayName(day));
        }
    }
    return phrase;
}

uint8_t ParseDays(std::string_view word) {
    const std::string lower = Lower(word);
    if (lower == "all" || lower == "daily") {
        return 0x7F;
    }
    if (lower == "weekdays") {
        return 0x3E;
    }
    if (lower == "weekend") {
        return 0x41;
    }
    uint8_t days = 0;
    std::string_view rest = word;
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        const std::string_view item = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        const std::size_t dash = item.find('-');
        const int first = ParseWeekday(item.substr(0, dash));
        const int last =
            dash == std::string_view::npos ? first : ParseWeekday(item.substr(dash + 1));
        for (int day = first;; day = (day + 1) % 7) {
            days |= static_cast<uint8_t>(1u << day);
            if (day == last) {
                break;
            }
        }
    }
    return days;
}

SlotRange ParseTimeRange(std::string_view word) {
    const std::size_t dash = word.find('-');
    if (dash == std::string_view::npos) {
        Bad("time range", word, "HH:MM-HH:MM, e.g. 08:00-15:00");
    }
    const SlotRange range{QuarterSlot(word.substr(0, dash), word),
                          QuarterSlot(word.substr(dash + 1), word)};
    if (range.from >= range.to) {
        Bad("time range", word, "a start before the end, within one day");
    }
    return range;
}

bool ParseSwitch(std::string_view word) {
    const std::string lower = Lower(word);
    for (const auto& [name, value] :
         {std::pair{"on", true}, std::pair{"yes", true}, std::pair{"1", true},
          std::pair{"true", true}, std::pair{"off", false}, std::pair{"no", false},
          std::pair{"0", false}, std::pair{"false", false}}) {
        if (lower == name) {
            return value;
        }
    }
    Bad("switch", word, "on or off");
}

uint32_t ParseNumber(std::string_view word, uint32_t max, std::string_view what) {
    const auto value = Decimal(word);
    if (!value || *value > max) {
        Bad(what, word, "a whole number from 0 to " + std::to_string(max));
    }
    return *value;
}

int64_t ParseMoment(std::string_view text, int64_t now) {
    constexpr std::string_view kAccepted = "\"YYYY-MM-DD HH:MM\", \"DAY HH:MM\" or \"HH:MM\"";
    const std::size_t blank = text.rfind(' ');
    const std::string_view dayPart = blank == std::string_view::npos ? "" : text.substr(0, blank);
    const auto time =
        ClockTime(text.substr(blank == std::string_view::npos ? 0 : blank + 1), false);
    if (!time) {
        Bad("time", text, kAccepted);
    }
    const LocalTime today = BreakDownLocal(now);
    std::tm moment{};
    moment.tm_year = today.year - 1900;
    moment.tm_mon = today.month - 1;
    moment.tm_mday = today.day;
    if (dayPart.size() == 10 && dayPart[4] == '-' && dayPart[7] == '-') {
        const auto year = Decimal(dayPart.substr(0, 4));
        const auto month = Decimal(dayPart.substr(5, 2));
        const auto day = Decimal(dayPart.substr(8, 2));
        if (!year || !month || !day || *year < 1970 || *month < 1 || *month > 12 || *day < 1 ||
            *day > 31) {
            Bad("time", text, kAccepted);
        }
        moment.tm_year = static_cast<int>(*year) - 1900;
        moment.tm_mon = static_cast<int>(*month) - 1;
        moment.tm_mday = static_cast<int>(*day);
    } else if (!dayPart.empty()) {
        moment.tm_mday += ParseWeekday(dayPart) - today.weekday;
    }
    moment.tm_hour = time->first;
    moment.tm_min = time->second;
    moment.tm_isdst = -1;
    const int expectedDay = moment.tm_mday;
    const int expectedMonth = moment.tm_mon;
    const std::time_t seconds = std::mktime(&moment);
    // mktime moves a day past the month's end (or a time in a clock change's gap): refuse it.
    const bool dateKept = !(dayPart.size() == 10) ||
                          (moment.tm_mday == expectedDay && moment.tm_mon == expectedMonth);
    if (seconds == static_cast<std::time_t>(-1) || !dateKept || moment.tm_hour != time->first ||
        moment.tm_min != time->second) {
        Bad("time", text, std::string(kAccepted) + " naming a moment that exists in local time");
    }
    return seconds;
}

}  // namespace zen::ctl
