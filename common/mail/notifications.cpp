#include "common/mail/notifications.h"

#include <cstdint>
#include <limits>
#include <mutex>

#include "common/db/db_manager.h"
#include "common/mail/mail_tls_setting.h"
#include "common/mail/mailer.h"
#include "platform/clock.h"
#include "platform/text.h"

namespace zen {
namespace {

constexpr int64_t kNotificationGapSeconds = 15;
constexpr std::u16string_view kRecipientSeparators = u",; \n\r\t";

// A text that cannot be converted is sent as nothing rather than garbled.
std::string MailText(std::u16string_view text) {
    return Utf16ToUtf8Strict(text).value_or("");
}

// A port that does not fit 16 bits reaches no server instead of a wrapped-around one.
uint16_t MailPort(uint32_t port) {
    return port <= std::numeric_limits<uint16_t>::max() ? static_cast<uint16_t>(port) : 0;
}

void AddRecipients(CZenMailer& mailer, std::u16string_view list) {
    while (!list.empty()) {
        const std::size_t end = std::min(list.find_first_of(kRecipientSeparators), list.size());
        if (end > 0) {
            mailer.AddRecipient(MailText(list.substr(0, end)));
        }
        list.remove_prefix(std::min(end + 1, list.size()));
    }
}

}  // namespace

int SendMail(CDBManager& db, const std::filesystem::path* attachment, std::u16string_view subject,
             std::u16string_view body, std::string* response) {
    // The copy is taken behind the options mutex, so a writer in progress is waited for.
    const Options options = db.OptionsCopy();
    CZenMailer mailer;
    mailer.Create(MailText(subject), MailText(FieldText(options.SMTPFrom)), MailText(body),
                  MailText(FieldText(options.SMTPServer)), MailPort(options.Port));
    AddRecipients(mailer, FieldText(options.SMTPTo));
    ApplySmtpTls(mailer, MachineSmtpTls());
    if (attachment != nullptr) {
        mailer.Attach(attachment->string());
    }
    // The mailer authenticates only when the account name is not empty.
    if (options.EnableServerAuthentication != 0) {
        mailer.SetCredentials(MailText(FieldText(options.EMailName)),
                              MailText(FieldText(options.serverPassword)));
    }
    mailer.Send();
    if (response != nullptr) {
        *response = mailer.Response();
    }
    return 1;
}

int SendNotification(CDBManager& db, std::u16string_view text, std::string* response) {
    static std::mutex guard;
    static int64_t lastNotification = 0;
    {
        const std::lock_guard lock(guard);
        const int64_t now = Now();
        const int64_t elapsed = now - lastNotification;
        // A clock set back (elapsed below zero) must not silence the mails until it catches up.
        if (elapsed >= 0 && elapsed <= kNotificationGapSeconds) {
            return 0;
        }
        lastNotification = now;
    }
    std::u16string body = u"Description: ";
    body += text;
    return SendMail(db, nullptr, u"Zentimo warning message", body, response);
}

}  // namespace zen
