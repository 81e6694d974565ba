// The real zensvc in debug mode enforcing the computer timetable, under faketime running five
// times as fast: the warning, and the logoff a minute later in the root's actions.log.
#include <gtest/gtest.h>

#include <ctime>
#include <optional>
#include <thread>

#include "common/db/db_manager.h"
#include "common/db/rules_editor.h"
#include "platform/text.h"
#include "service/computer_time_support.h"
#include "service/control_socket.h"
#include "service/service_strings.h"
#include "service/zensvc_process.h"
#include "support/temp_root.h"

namespace zen::test {
namespace {

// The moment of an actions.log line ("YYYY-MM-DD HH:MM:SS ...") in UTC.
int64_t LineMoment(const std::string& line) {
    std::tm moment{};
    if (::strptime(line.c_str(), "%Y-%m-%d %H:%M:%S", &moment) == nullptr) {
        return 0;
    }
    return ::timegm(&moment);
}

// When the rules database comes into being: before the service starts, or only after it (the
// service retries at every tick and must then watch the new managers' timers as well).
enum class Database { BeforeStart, SevenSecondsLater };

class ShutdownRunTest : public RootedTest, public ::testing::WithParamInterface<Database> {};

TEST_P(ShutdownRunTest, ForbiddenQuarterWarnsOnceAndLogsOffAMinuteLater) {
    if (ZEN_SANITIZED) {
        GTEST_SKIP() << "libfaketime cannot be preloaded before the sanitizer runtime";
    }
    const bool late = GetParam() == Database::SevenSecondsLater;
    std::optional<CDBManager> db;
    // Alice comes to the console once her rules exist (before, she would join "Guests").
    const auto createRules = [&] {
        CreateDatabase();
        db.emplace();
        ASSERT_EQ(db->Init(false), 1);
        AddKidsForbiddenAtTen(*db);
        WriteAll(root / "run/zentimo/seat", "alice\n");
    };
    if (!late) {
        createRules();
    }

    // The first tick comes at 10:00:03, the logoff a minute after it. A late database comes
    // 7 s of the service's time after its start (1.4 s on the real clock).
    ZensvcProcess service({"-debug"},
                          {"env", "TZ=UTC0", "faketime", "-f", "@2026-12-07 09:59:58 x5"});
    if (late) {
        std::this_thread::sleep_for(1400ms);
        createRules();
    }
    for (int i = 0; i < 400 && ActionLines().empty(); ++i) {
        std::this_thread::sleep_for(50ms);
    }
    // The parent allows the computer again, so that no second warning follows the logoff.
    ASSERT_EQ(SetTimetableMode(*db, u"Kids", Category::Power, 0), EditStatus::Done);
    ASSERT_TRUE(
        service.WaitForLines("zensvc: tick:", CountLines(service.Stderr(), "tick:") + 2, 5s));
    EXPECT_TRUE(SendControlCode(kStopCode));
    EXPECT_EQ(service.WaitExit(5s), std::optional<int>(129));

    const auto lines = ActionLines();
    ASSERT_EQ(lines.size(), 1u) << service.Stderr();
    EXPECT_NE(lines[0].find(" logoff session=- user=alice"), std::string::npos) << lines[0];
    EXPECT_EQ(WaitingMessages(*db),
              std::vector<std::u16string>{Utf8ToUtf16(ServiceString(kIdsLogoffWarning))});
    const auto warnings = WarningRecords(*db);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].kind, 2u);
    const int64_t tenOClock = 1'796'637'600;  // 2026-12-07 10:00:00 UTC
    EXPECT_GE(warnings[0].time, tenOClock);
    EXPECT_LT(warnings[0].time, tenOClock + (late ? 10 : 5));
    const int64_t wait = LineMoment(lines[0]) - warnings[0].time;
    EXPECT_GE(wait, 59);
    EXPECT_LE(wait, 63);
    if (late) {
        // The missing database was told once, and its coming.
        EXPECT_EQ(CountLines(root.ErrorLog(), "The database is open again"), 1) << root.ErrorLog();
    } else {
        EXPECT_EQ(root.ErrorLog(), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Database, ShutdownRunTest,
                         ::testing::Values(Database::BeforeStart, Database::SevenSecondsLater),
                         [](const auto& info) {
                             return info.param == Database::BeforeStart ? "BeforeStart"
                                                                        : "SevenSecondsLater";
                         });

}  // namespace
}  // namespace zen::test
