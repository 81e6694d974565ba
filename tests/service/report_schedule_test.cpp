// When the service makes the daily report: the rule alone, then the real zensvc under
// faketime with the report mailed to a local aiosmtpd server.
#include "service/report_schedule.h"

#include <gtest/gtest.h>

#include <functional>

#include "common/db/db_manager.h"
#include "common/db/options_file.h"
#include "mail/mail_test_support.h"
#include "platform/text.h"
#include "service/control_socket.h"
#include "service/zensvc_process.h"
#include "support/temp_root.h"

namespace zen::test {
namespace {

constexpr int64_t kNow = 1'772'488'800;  // Mon 2026-03-02 22:00:00 UTC

TEST(ReportScheduleTest, OnceInHour23AndAgainInTheNextHour23) {
    ReportSchedule schedule;
    EXPECT_FALSE(schedule.Due(kNow - 3600, kNow, 22));
    EXPECT_TRUE(schedule.Due(kNow - 3600, kNow, 23));
    EXPECT_FALSE(schedule.Due(kNow - 3600, kNow, 23));
    EXPECT_FALSE(schedule.Due(kNow - 3600, kNow, 0));
    EXPECT_TRUE(schedule.Due(kNow - 3600, kNow, 23));
    // A service started again within hour 23 remembers nothing and reports again.
    EXPECT_TRUE(ReportSchedule().Due(kNow - 60, kNow, 23));
}

TEST(ReportScheduleTest, LastReportSixtyDaysOrMoreAheadReportsAtOnce) {
    ReportSchedule schedule;
    EXPECT_FALSE(schedule.Due(kNow + kReportAheadLimitSeconds - 1, kNow, 10));
    EXPECT_TRUE(schedule.Due(kNow + kReportAheadLimitSeconds, kNow, 10));
    EXPECT_TRUE(schedule.Due(kNow + 365 * 86400, kNow, 10));
}

class ReportRunTest : public RootedTest {
protected:
    void SetUp() override { CreateDatabase(); }

    void EditOptions(const std::function<void(Options&)>& edit) {
        CDBManager db;
        ASSERT_EQ(db.Init(false), 1);
        {
            const NamedMutexLock lock(db.OptionsMutex());
            edit(*db.LockOptions());
        }
        ASSERT_EQ(db.SaveOptionsAndNotify(), 1);
        db.Term();
    }

    int64_t StoredLastReportTime() {
        NamedMutex mutex;
        EXPECT_TRUE(mutex.Open("_QRT_OptionsMutex_"));
        Options stored{};
        EXPECT_EQ(SerializeOptions(stored, false, false, false, mutex), 1);
        return stored.lastReportTime;
    }

    // Runs zensvc from a faked moment (UTC) for `ticks` ticks, then stops it with code 129.
    void RunFrom(const std::string& moment, int ticks) {
        ZensvcProcess service({"-debug"}, {"env", "TZ=UTC0", "faketime", moment});
        ASSERT_TRUE(service.WaitForLines("zensvc: tick:", ticks, 5s * ticks + 10s))
            << service.Stderr();
        EXPECT_TRUE(SendControlCode(kStopCode));
        EXPECT_EQ(service.WaitExit(5s), std::optional<int>(129));
    }
};

TEST_F(ReportRunTest, ReportMailedAtFirstTickOfHour23AgainAfterRestartAndWhenFarAhead) {
    if (ZEN_SANITIZED) {
        GTEST_SKIP() << "libfaketime cannot be preloaded before the sanitizer runtime";
    }
    AiosmtpdServer server(root / "received", {});
    EditOptions([&](Options& options) {
        SetFieldText(options.SMTPServer, u"127.0.0.1");
        options.Port = server.port();
        SetFieldText(options.SMTPFrom, u"zentimo@example.org");
        SetFieldText(options.SMTPTo, u"admin@example.org");
        SetFieldText(options.reportPassword, u"s3cret");
        options.SendDailyReport = 1;
        options.lastReportTime = 0;
    });

    // Ticks at 22:59:58 (none), 23:00:03 (the report), 23:00:08 (none).
    RunFrom("2026-03-02 22:59:53", 3);
    EXPECT_EQ(server.MessageCount(), 1);
    EXPECT_NE(server.Message(1).find("Automated daily report"), std::string::npos);
    const int64_t hour23 = kNow + 3600;
    EXPECT_GE(StoredLastReportTime(), hour23);
    EXPECT_LT(StoredLastReportTime(), hour23 + 5);

    // Started again within the hour: one more report, at its first tick only.
    RunFrom("2026-03-02 23:30:00", 2);
    EXPECT_EQ(server.MessageCount(), 2);

    // A last report more than 60 days ahead of the clock (set back): a report at the next
    // tick, which brings the stored time back to the clock.
    const int64_t morning = kNow + 12 * 3600;  // 2026-03-03 10:00:00
    EditOptions([&](Options& options) {
        options.lastReportTime = morning + kReportAheadLimitSeconds + 60;
    });
    RunFrom("2026-03-03 10:00:00", 2);
    EXPECT_EQ(server.MessageCount(), 3);
    EXPECT_LT(StoredLastReportTime(), morning + 10);
}

}  // namespace
}  // namespace zen::test
