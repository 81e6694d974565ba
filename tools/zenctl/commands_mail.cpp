// The mail account at work (what the panel's test buttons do), its secrets and the machine's
// mail encryption.
#include <unistd.h>

#include <ostream>

#include "common/db/option_fields.h"
#include "common/mail/daily_report.h"
#include "common/mail/mail_account.h"
#include "common/mail/mail_tls_setting.h"
#include "common/mail/notifications.h"
#include "platform/console_user.h"
#include "platform/root.h"
#include "platform/text.h"
#include "tools/zenctl/commands.h"
#include "tools/zenctl/new_secret.h"

namespace zen::ctl {
namespace {

void SendNow(Session& session, bool report) {
    // The report carries the logs: only the parent may send it, as from the panel.
    CDBManager& db = session.Admin();
    if (const std::string missing = MissingMailAccountFields(db.OptionsCopy()); !missing.empty()) {
        throw CommandError(kExitRefused,
                           "You must set up e-mail account settings before Zentimo can send daily "
                           "reports or notification e-mails to you. Missing: " +
                               missing + " (set them with \"zenctl option NAME VALUE\")");
    }
    std::string response;
    if (report) {
        // The report names the user at the console, as the service's own report does.
        db.SetCurrentUserName(Utf8ToUtf16(ConsoleUserName()));
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

void SetSecret(Session& session, const SecretField& field, std::string_view what) {
    CDBManager& db = session.Admin();
    const std::u16string secret = ReadNewSecret(session.invocation().secretFile, what);
    if (secret.size() > field.maxUnits) {
        throw CommandError(kExitUsage, std::string(what) + ": at most " +
                                           std::to_string(field.maxUnits) +
                                           " characters; nothing was changed");
    }
    session.Finish(
        EditOptions(db, [&](Options& options) { return SetSecretValue(options, field, secret); }),
        field.name, std::string(what) + (secret.empty() ? " removed" : " set"));
}

void RunTls(Session& session, const Words& words) {
    if (words.size() == 1) {
        const std::string_view mode = SmtpTlsName(MachineSmtpTls());
        session.out().Emit(Json::Object().Set(kSmtpTlsKey, mode),
                           [&](std::ostream& out) { out << mode << "\n"; });
        return;
    }
    const auto setting = ParseSmtpTls(words[1]);
    if (!setting) {
        throw CommandError(
            kExitUsage, "mail tls \"" + words[1] + "\" is not valid; use verify, encrypt or off");
    }
    // A setting of the machine: its file belongs to root, like the rest of the installation.
    if (::geteuid() != 0) {
        throw CommandError(kExitRefused, "only root may change how mail is encrypted (" +
                                             paths::ConfFile().string() + ")");
    }
    if (!StoreMachineSmtpTls(*setting)) {
        throw CommandError(kExitNoDatabase, "cannot write " + paths::ConfFile().string());
    }
    const std::string done = "mail encryption: " + words[1];
    session.out().Emit(Json::Object().Set("done", true).Set(kSmtpTlsKey, words[1]),
                       [&](std::ostream& out) { out << done << "\n"; });
}

}  // namespace

void RunMail(Session& session, const Words& words) {
    const std::string& action = words[0];
    if (action == "tls") {
        RunTls(session, words);
        return;
    }
    if (words.size() > 1) {
        throw CommandError(kExitUsage, "usage: zenctl mail test|report|password|tls [MODE]");
    }
    if (action == "test" || action == "report") {
        SendNow(session, action == "report");
    } else if (action == "password") {
        SetSecret(session, ServerPasswordField(), "mail password");
    } else {
        throw CommandError(
            kExitUsage, "mail \"" + action + "\" is not valid; use test, report, password or tls");
    }
}

void RunReport(Session& session, const Words& words) {
    if (words[0] != "password") {
        throw CommandError(kExitUsage, "usage: zenctl report password");
    }
    SetSecret(session, ReportPasswordField(), "report password");
}

}  // namespace zen::ctl
