// The system's time zone read from the TZif file itself, so that no TZ of a program counts.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/clock.h"
#include "platform/local_time.h"
#include "platform/system_zone.h"
#include "support/temp_root.h"

namespace zen::test {
namespace {

constexpr int64_t kJanuary2026 = 1'767'225'600;  // 2026-01-01 00:00 UTC
constexpr int64_t kJuly2026 = 1'782'864'000;     // 2026-07-01 00:00 UTC
constexpr int64_t kJuly2040 = 2'224'800'000;     // past the transitions a zone file lists

std::string Zone(const char* name) {
    return ReadAll(std::filesystem::path("/usr/share/zoneinfo") / name);
}

TEST(SystemZoneTest, OffsetsComeFromTheZoneFile) {
    if (!std::filesystem::exists("/usr/share/zoneinfo/Europe/Berlin")) {
        GTEST_SKIP() << "tzdata is not installed";
    }
    struct Case {
        const char* zone;
        int64_t moment;
        int64_t offset;
    };
    for (const Case& c :
         {Case{"Europe/Berlin", kJanuary2026, 3600}, Case{"Europe/Berlin", kJuly2026, 7200},
          Case{"America/New_York", kJuly2026, -4 * 3600}, Case{"Asia/Tokyo", kJuly2040, 9 * 3600},
          Case{"Asia/Kolkata", kJuly2040, 5 * 3600 + 1800}, Case{"Etc/UTC", kJuly2026, 0}}) {
        EXPECT_EQ(ZoneOffsetIn(Zone(c.zone), c.moment), c.offset) << c.zone << " " << c.moment;
    }
    EXPECT_EQ(ZoneOffsetIn("not a zone file", kJuly2026), std::nullopt);
    EXPECT_EQ(ZoneOffsetIn(Zone("Europe/Berlin").substr(0, 60), kJuly2026), std::nullopt);
}

TEST(SystemZoneTest, AProcessThatFollowsTheSystemZoneIgnoresTz) {
    if (!std::filesystem::exists("/usr/share/zoneinfo/Asia/Tokyo")) {
        GTEST_SKIP() << "tzdata is not installed";
    }
    TempRoot root;
    std::filesystem::create_directories(root / "etc");
    std::filesystem::copy_file("/usr/share/zoneinfo/Asia/Tokyo", root / "etc/localtime");
    ::setenv("TZ", "UTC+5", 1);
    ::tzset();
    EXPECT_EQ(BreakDownLocal(kJuly2026).hour, 19);  // TZ honoured
    FollowSystemClockAndZone();
    EXPECT_EQ(BreakDownLocal(kJuly2026).hour, 9);  // Tokyo
    EXPECT_NEAR(static_cast<double>(Now()), static_cast<double>(::time(nullptr)), 2.0);
    FollowSystemClockAndZone(false);
    ::unsetenv("TZ");
}

}  // namespace
}  // namespace zen::test
