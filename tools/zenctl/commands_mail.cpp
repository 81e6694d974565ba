// The mail account at work: what the panel's test buttons do.
#include <ostream>

#include "common/mail/daily_report.h"
#include "common/mail/notifications.h"
#include "tools/zenctl/commands.h"

namespace zen::ctl {

void RunMail(Session& session, const Words& words) {
    const bool report = words[0] == "report";
    if (!report && words[0] != "test") {
        throw CommandError(kExitUsage,
                           "mail \"" + words[0] + "\" is not valid; use test or report");
    }
    // The report carries the logs: only the parent may send it, as from the panel.
    CDBManager& db = session.Admin();
    std::string response;
    if (report) {
        if (MakeDailyReport(db, ReportRun::Test, &response) == 0) {
            throw CommandError(kExitRefused,
                               "the report archive could not be made; the error log tells why");
        }
    } else {
        SendNotification(db, u"Test notification e-mail settings", &response);
    }
    const bool sent = response.starts_with("250");
    session.out().Emit(Json::Object().Set("sent", sent).Set("response", response),
                       [&](std::ostream& out) { out << response << "\n"; });
    if (!sent) {
        throw CommandError(kExitMailFailed, "the mail was not sent");
    }
}

}  // namespace zen::ctl
