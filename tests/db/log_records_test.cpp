#include <cstdlib>
#include <ctime>
#include <string>

#include "common/db/log_records.h"
#include "platform/text.h"
#include "support/temp_root.h"

namespace zen {
namespace {

// Local time is UTC for these tests.
class UtcTest : public test::RootedTest {
protected:
    void SetUp() override {
        if (const char* tz = std::getenv("TZ")) {
            previousTz_ = tz;
        }
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
    void TearDown() override {
        if (previousTz_) {
            ::setenv("TZ", previousTz_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }

private:
    std::optional<std::string> previousTz_;
};

constexpr int64_t k0005 = 1709597100;  // Tue 2024-03-05 00:05:00 UTC
constexpr int64_t k1205 = 1709640300;  // 12:05 the same day
constexpr int64_t k1305 = 1709643900;  // 13:05 the same day

using TimeTextTest = UtcTest;

TEST_F(TimeTextTest, TwelveHourClockPutsNoonInTheAfternoonAndMidnightInTheMorning) {
    const std::pair<int64_t, std::u16string> cases[] = {
        {k0005, u"Tue Mar 05 12:05:00 AM"},      {k1205, u"Tue Mar 05 12:05:00 PM"},
        {k1305, u"Tue Mar 05 01:05:00 PM"},      {k1205 - 5 * 60 - 1, u"Tue Mar 05 11:59:59 AM"},
        {1735689599, u"Tue Dec 31 11:59:59 PM"}, {0, u"Thu Jan 01 12:00:00 AM"},
    };
    for (const auto& [moment, text] : cases) {
        EXPECT_EQ(Utf16ToUtf8(TimeText(moment)), Utf16ToUtf8(text)) << moment;
    }
}

TEST(LogRecordsTest, WarningFieldsAreCutToTheirWidths) {
    const std::u16string longText(3000, u'x');
    const WarningRecord record = BuildWarning(k1305, longText, longText, longText, 1, longText);
    EXPECT_EQ(record.time, k1305);
    EXPECT_EQ(record.kind, 1u);
    EXPECT_EQ(FieldText(record.user).size(), 24u);
    EXPECT_EQ(FieldText(record.program).size(), 255u);
    EXPECT_EQ(FieldText(record.text).size(), 95u);
    EXPECT_EQ(FieldText(record.secondText).size(), 1023u);
    EXPECT_EQ(std::u16string(std::size(record.user) - 24, u'\0'),
              std::u16string(record.user + 24, std::size(record.user) - 24));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.reserved), 20),
              std::string(20, '\0'));

    const WarningRecord timeless = BuildWarning(0, u"tom", u"text", u"", 2, u"");
    EXPECT_EQ(FieldText(timeless.user), u"");
    EXPECT_EQ(FieldText(timeless.text), u"text");
}

TEST(LogRecordsTest, ActivityFieldsAreCutToTheirWidths) {
    const std::u16string longText(600, u'p');
    const ActivityRecord record = BuildActivity(k0005, u"tom", k1305, longText, longText, 42);
    EXPECT_EQ(record.startTime, k0005);
    EXPECT_EQ(record.endTime, k1305);
    EXPECT_EQ(FieldText(record.user), u"tom");
    EXPECT_EQ(FieldText(record.program).size(), 254u);
    EXPECT_EQ(FieldText(record.path).size(), 254u);
    EXPECT_EQ(record.firstNumber, 0);
    EXPECT_EQ(record.secondNumber, 0);
    EXPECT_EQ(record.one, 1u);
    EXPECT_EQ(record.value, 42u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.reserved), 16),
              std::string(16, '\0'));

    EXPECT_EQ(FieldText(BuildActivity(0, u"tom", k1305, u"a", u"b", 1).user), u"");
}

using FormatTest = UtcTest;

TEST_F(FormatTest, LinesSeparateTheFieldsWithBars) {
    const WarningRecord warning =
        BuildWarning(k1305, u"tom", u"Program blocked", u"game", 1, u"Not now \u00e9");
    EXPECT_EQ(FormatWarning(warning),
              u"tom|game|Program blocked|Not now \u00e9|Tue Mar 05 01:05:00 PM");

    ActivityRecord activity = BuildActivity(k0005, u"ann", k1205, u"game", u"/usr/games/game", 7);
    activity.firstNumber = -3;
    activity.secondNumber = 12;
    EXPECT_EQ(FormatActivity(activity),
              u"ann|game|Tue Mar 05 12:05:00 AM|Tue Mar 05 12:05:00 PM|12|-3");
}

TEST_F(FormatTest, LogLinesReadTheWholeLogOldestFirst) {
    NamedMutex optionsMutex;
    ASSERT_TRUE(optionsMutex.Open("_QRT_OptionsMutex_"));
    uint32_t limitKb = 64;
    DBLogTable warnings("Zenwgs", sizeof(WarningRecord));
    ASSERT_EQ(warnings.Open(true, &limitKb, &optionsMutex), 1);
    EXPECT_EQ(LogLines(warnings, LogKind::Warnings), u"");
    for (const char16_t* text : {u"first", u"second"}) {
        WarningRecord record = BuildWarning(k1305, u"tom", text, u"", 2, u"");
        ASSERT_EQ(warnings.LogAppend(std::as_writable_bytes(std::span(&record, 1))), 1);
    }
    EXPECT_EQ(LogLines(warnings, LogKind::Warnings),
              u"tom||first||Tue Mar 05 01:05:00 PM\r\n"
              u"tom||second||Tue Mar 05 01:05:00 PM\r\n");
    // A log of the other kind yields nothing rather than misread records.
    EXPECT_EQ(LogLines(warnings, LogKind::Activity), u"");
}

}  // namespace
}  // namespace zen
