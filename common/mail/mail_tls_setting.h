#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zen {

class CZenMailer;

// How the machine's mail goes out, a setting of the machine rather than of the rules: the line
// "smtp_tls=verify|encrypt|off" of etc/zentimo/zentimo.conf, which only root can change.
//   verify   encrypt whenever the server can, and only to a server whose certificate checks out
//   encrypt  encrypt whenever the server can, taking any certificate (a relay of one's own)
//   off      never encrypt
// Whatever the mode, the password never goes in clear to a server that offers encryption.
enum class SmtpTlsSetting { Verify, Encrypt, Off };

inline constexpr std::string_view kSmtpTlsKey = "smtp_tls";

std::string_view SmtpTlsName(SmtpTlsSetting setting);
std::optional<SmtpTlsSetting> ParseSmtpTls(std::string_view word);

// The setting in force: verify when the file or its line is missing or not understood, and
// when the file could have been written by anyone but root.
SmtpTlsSetting MachineSmtpTls();

// Stores the setting in the file, keeping its other lines (root-owned, 0644). False with
// errno set when it cannot be written.
bool StoreMachineSmtpTls(SmtpTlsSetting setting);

// Gives the mailer the setting and the hint that names it in a refusal.
void ApplySmtpTls(CZenMailer& mailer, SmtpTlsSetting setting);

}  // namespace zen
