#include "filter/filter_texts.h"

#include <time.h>

#include <cstdio>

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
    const time_t moment = static_cast<time_t>(secondsSince1970);
    tm local{};
    char text[32] = {};
    if (::localtime_r(&moment, &local) == nullptr || ::asctime_r(&local, text) == nullptr) {
        return {};
    }
    return Utf8ToUtf16(text);
}

}  // namespace zen::filter
