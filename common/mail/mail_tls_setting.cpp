#include "common/mail/mail_tls_setting.h"

#include <array>
#include <utility>

#include "common/mail/mailer.h"
#include "platform/machine_conf.h"
#include "platform/root.h"

namespace zen {
namespace {

constexpr std::array kNames{std::pair{SmtpTlsSetting::Verify, std::string_view("verify")},
                            std::pair{SmtpTlsSetting::Encrypt, std::string_view("encrypt")},
                            std::pair{SmtpTlsSetting::Off, std::string_view("off")}};

}  // namespace

std::string_view SmtpTlsName(SmtpTlsSetting setting) {
    for (const auto& [value, name] : kNames) {
        if (value == setting) {
            return name;
        }
    }
    return "verify";
}

std::optional<SmtpTlsSetting> ParseSmtpTls(std::string_view word) {
    for (const auto& [value, name] : kNames) {
        if (name == word) {
            return value;
        }
    }
    return std::nullopt;
}

SmtpTlsSetting MachineSmtpTls() {
    const std::optional<std::string> word = MachineConfValue(kSmtpTlsKey);
    return (word ? ParseSmtpTls(*word) : std::nullopt).value_or(SmtpTlsSetting::Verify);
}

bool StoreMachineSmtpTls(SmtpTlsSetting setting) {
    return StoreMachineConfValues({{kSmtpTlsKey, SmtpTlsName(setting)}});
}

void ApplySmtpTls(CZenMailer& mailer, SmtpTlsSetting setting) {
    const std::string where = std::string(kSmtpTlsKey) + "=" + std::string(SmtpTlsName(setting)) +
                              " in " + paths::ConfFile().string();
    switch (setting) {
        case SmtpTlsSetting::Verify:
            mailer.SetTlsSettingHint(" (" + where + "; \"zenctl mail tls encrypt\" encrypts " +
                                     "without checking the certificate)");
            break;
        case SmtpTlsSetting::Encrypt:
            mailer.SetVerifyCertificate(false);
            break;
        case SmtpTlsSetting::Off:
            mailer.SetTlsMode(MailTlsMode::Off);
            mailer.SetTlsSettingHint(" (" + where + ")");
            break;
    }
}

}  // namespace zen
