#include <gtest/gtest.h>

#include "common/db/rules_model.h"
#include "panel/clock_monitor.h"
#include "panel/command_line.h"
#include "panel/help.h"
#include "panel/layout_file.h"
#include "panel/strings.h"
#include "platform/text.h"
#include "support/temp_root.h"

namespace zen::panel {
namespace {

TEST(CommandLine, WordsMatchWholeAndWithoutCase) {
    const struct {
        const char* line;
        const char* word;
        bool found;
    } cases[] = {
        {"-removeAll", "-removeAll", true},
        {"-REMOVEALL", "-removeAll", true},
        {"x -h", "-h", true},
        {"-h x", "-h", true},
        {"-hx", "-h", false},
        {"x-h", "-h", false},
        {"-home -h", "-h", true},
        {"", "-h", false},
        {"-test-h", "-test", false},
        {"-removeAllx -removeall", "-removeAll", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HasWord(c.line, c.word), c.found) << c.line << " / " << c.word;
    }
}

TEST(CommandLine, AWordThePanelDoesNotKnowIsFound) {
    EXPECT_EQ(UnknownWord({"zencp"}), std::nullopt);
    EXPECT_EQ(UnknownWord({"zencp", "-h", "-OPEN", "-removeall", "-test", "--help"}), std::nullopt);
    EXPECT_EQ(UnknownWord({"zencp", "-open", "-opne"}), std::optional<QString>("-opne"));
    EXPECT_EQ(UnknownWord({"zencp", "open"}), std::optional<QString>("open"));
}

TEST(ClockMonitor, MoreThan240SecondsEitherWayIsAChange) {
    ClockMonitor clock;
    EXPECT_FALSE(clock.Tick(1'000'000));  // nothing to compare with yet
    EXPECT_FALSE(clock.Tick(1'000'240));
    EXPECT_FALSE(clock.Tick(1'000'000));
    EXPECT_TRUE(clock.Tick(1'000'241));
    EXPECT_TRUE(clock.Tick(1'000'000));
    EXPECT_FALSE(clock.Tick(1'000'001));
}

TEST(ClockMonitor, LocksOnlyWithFilteringATimetableAndAPassword) {
    Options options = OptionsDefault();
    SetFieldText(options.password, u"secret");
    FastUsersRecord group = RulesDefault();
    group.Power = group.Internet = group.Program = group.CDROM = group.Removable = 0;
    EXPECT_FALSE(ClockChangeLocks(group, options));
    group.Removable = 2;  // the common timetable counts as in use
    EXPECT_TRUE(ClockChangeLocks(group, options));
    group.Disable = 1;
    EXPECT_FALSE(ClockChangeLocks(group, options));
    group.Disable = 0;
    SetFieldText(options.password, u"");
    EXPECT_FALSE(ClockChangeLocks(group, options));
}

TEST(Help, TopicsAreFilesAndAnchorsOfTheInstalledManual) {
    const QUrl url = HelpUrl("::/manual/sch_computer.html#1");
    EXPECT_TRUE(url.isLocalFile());
    EXPECT_TRUE(url.toLocalFile().endsWith("share/zentimo/manual/manual/sch_computer.html"));
    EXPECT_EQ(url.fragment(), "1");
    EXPECT_TRUE(HelpUrl("").toLocalFile().endsWith("share/zentimo/manual/index.html"));
}

TEST(Strings, TheSlipsAParentSeesAreCorrected) {
    EXPECT_EQ(Text(119), "Export & Import  ");
    EXPECT_EQ(Text(187), "Login name:");
    EXPECT_TRUE(Text(263).startsWith("Zentimo uses its own built-in email system."));
    for (const int id : {213, 214, 221, 225, 227, 228}) {
        EXPECT_TRUE(Text(id).contains("Zentimo")) << id;
        EXPECT_FALSE(Text(id).contains("Zentimu")) << id;
    }
}

class LayoutFileTest : public zen::test::RootedTest {};

TEST_F(LayoutFileTest, RectanglesRoundTripAndDamagedValuesCountAsMissing) {
    EXPECT_FALSE(ReadLayoutRect(209, 1000));
    ASSERT_TRUE(WriteLayoutRect(209, 1000, {10, 20, 110, 66}));
    ASSERT_TRUE(WriteLayoutRect(209, 1001, {-5, 0, 7, 9}));
    ASSERT_TRUE(WriteLayoutRect(210, 1000, {1, 2, 3, 4}));
    ASSERT_TRUE(WriteLayoutRect(209, 1000, {11, 21, 111, 67}));  // replaced in place
    EXPECT_EQ(ReadLayoutRect(209, 1000), (LayoutRect{11, 21, 111, 67}));
    EXPECT_EQ(ReadLayoutRect(209, 1001), (LayoutRect{-5, 0, 7, 9}));
    EXPECT_EQ(ReadLayoutRect(210, 1000), (LayoutRect{1, 2, 3, 4}));
    EXPECT_FALSE(ReadLayoutRect(211, 1000));

    // The structure's bytes in hexadecimal and their sum, as the Windows profile functions
    // write them; a wrong sum or length is ignored.
    zen::test::WriteAll(LayoutFilePath(),
                        "[Obj5]\r\nItem1=0A000000140000006E000000420000000A\r\n"
                        "Item2=0A000000140000006E0000004200000000\r\nItem3=0A00\r\n");
    const uint8_t sum = 0x0A + 0x14 + 0x6E + 0x42;
    ASSERT_EQ(sum, 0xCE);
    EXPECT_FALSE(ReadLayoutRect(5, 1));
    zen::test::WriteAll(LayoutFilePath(),
                        "[obj5]\r\nitem1 = 0A000000140000006E00000042000000CE\r\n");
    EXPECT_EQ(ReadLayoutRect(5, 1), (LayoutRect{10, 20, 110, 66}));
    EXPECT_FALSE(ReadLayoutRect(5, 3));
}

}  // namespace
}  // namespace zen::panel
