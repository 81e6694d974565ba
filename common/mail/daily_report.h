#pragma once

#include <string>

namespace zen {

class CDBManager;

enum class ReportRun {
    Daily,  // the service's report: stores the time of the last report in the options
    Test,   // the panel's test button and `zenctl mail report`: leaves that time alone, and
            // each of the two archived files holds the UTF-16 text "Test" instead of a log
};

// Archives the warnings and programs-activity logs as "ZenWarnings.log" and
// "ZenProgramsActivity.log" (UTF-16LE lines) in "dreport.zip" under the report password, in
// the account's private report folder, and mails it as the "Automated daily report". The
// result of SendMail, or 0 when the archive could not be made: then nothing is sent and the
// last report time stays as it was. The mailer's answer goes to `response` when given.
int MakeDailyReport(CDBManager& db, ReportRun run = ReportRun::Daily,
                    std::string* response = nullptr);

}  // namespace zen
