#pragma once

#include <cstdint>

namespace zen {

class CDBManager;

// When the service makes the daily report: once in the first tick of hour 23 (local time),
// and at once when the stored time of the last report lies 60 days or more ahead of the clock
// (a clock set back must not silence the report for good).
class ReportSchedule {
public:
    // Whether a report is due now; keeps the reported-this-hour flag.
    bool Due(int64_t lastReportTime, int64_t now, int localHour);
    // Asks Due with the stored time and the clock, and makes the report when it says so.
    void Run(CDBManager& db);

private:
    bool reportedThisHour_ = false;
};

inline constexpr int64_t kReportAheadLimitSeconds = 5'184'000;  // 60 days
inline constexpr int kReportHour = 23;

}  // namespace zen
