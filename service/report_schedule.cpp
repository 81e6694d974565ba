#include "service/report_schedule.h"

#include "common/db/db_manager.h"
#include "common/mail/daily_report.h"
#include "platform/clock.h"
#include "platform/local_time.h"
#include "service/options_gate.h"

namespace zen {

bool ReportSchedule::Due(int64_t lastReportTime, int64_t now, int localHour) {
    if (lastReportTime - now >= kReportAheadLimitSeconds) {
        return true;
    }
    if (localHour != kReportHour) {
        reportedThisHour_ = false;
        return false;
    }
    if (reportedThisHour_) {
        return false;
    }
    reportedThisHour_ = true;
    return true;
}

void ReportSchedule::Run(CDBManager& db) {
    const auto options = OptionsSnapshot(db);
    if (!options) {
        return;
    }
    const int64_t now = Now();
    if (Due(options->lastReportTime, now, BreakDownLocal(now).hour)) {
        MakeDailyReport(db, ReportRun::Daily);
    }
}

}  // namespace zen
