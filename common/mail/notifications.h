#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace zen {

class CDBManager;

// Sends one mail with the outgoing-mail account of the options, to every address of SMTPTo.
// Always 1: the enforcement never depends on a mail getting through. The mailer's last
// answer goes to `response` when one is given, for the callers that show why a mail failed
// (`zenctl mail test`, the panel's test buttons).
int SendMail(CDBManager& db, const std::filesystem::path* attachment, std::u16string_view subject,
             std::u16string_view body, std::string* response = nullptr);

// Mails "Description: <text>" as a "Zentimo warning message", unless this process sent one
// within the last 15 seconds: 1 when sent, 0 when held back.
int SendNotification(CDBManager& db, std::u16string_view text, std::string* response = nullptr);

}  // namespace zen
