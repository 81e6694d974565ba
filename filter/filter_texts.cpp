#include "filter/filter_texts.h"

#include <time.h>

#include <cstdio>

#include "platform/local_time.h"
#include "platform/text.h"

namespace zen::filter {
namespace {

struct NumberedText {
    int id;
    std::u16string_view text;
};

constexpr NumberedText kTexts[] = {
    {31, u"Custom settings for Internet Timetable"},
    {36,
     u"The Internet access has been blocked at this time according to your settings. To "
     u"change the settings, use the \"Internet Timetable\" screen."},
    {37, u"Access Restricted.\n\nSee Generated Warnings."},
    {38,
     u"The Internet was blocked because of an attempt to change system time that is "
     u"essential for managing the Internet timetable. To unblock Internet access, enter an "
     u"administrator password."},
    {40,
     u"According to your settings, today's limit for Internet access has expired. To change "
     u"the setttings, click on the \"Daily Time Limits\" button in the \"Internet Timetable\" "
     u"screen."},
};

}  // namespace

std::u16string_view FilterText(int id) {
    for (const NumberedText& entry : kTexts) {
        if (entry.id == id) {
            return entry.text;
        }
    }
    return {};
}

std::u16string OnlineTodayText(uint32_t minutes) {
    char text[64];
    if (minutes < 60) {
        std::snprintf(text, sizeof text, "Today: Online %u minutes", minutes);
    } else {
        std::snprintf(text, sizeof text, "Today: Online %u hours %u minutes", minutes / 60,
                      minutes % 60);
    }
    return Utf8ToUtf16(text);
}

std::u16string AsctimeText(int64_t secondsSince1970) {
    // In the zone the rules go by, not necessarily the program's.
    const LocalTime moment = BreakDownLocal(secondsSince1970);
    tm local{};
    local.tm_year = moment.year - 1900;
    local.tm_mon = moment.month - 1;
    local.tm_mday = moment.day;
    local.tm_hour = moment.hour;
    local.tm_min = moment.minute;
    local.tm_sec = moment.second;
    local.tm_wday = moment.weekday;
    local.tm_yday = moment.yearDay;
    char text[32] = {};
    if (::asctime_r(&local, text) == nullptr) {
        return {};
    }
    return Utf8ToUtf16(text);
}

}  // namespace zen::filter
