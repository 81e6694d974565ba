#include "common/mail/mail_tls_setting.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <span>
#include <sstream>
#include <utility>

#include "common/mail/mailer.h"
#include "platform/root.h"
#include "platform/shared_file.h"
#include "platform/unique_fd.h"

namespace zen {
namespace {

constexpr std::array kNames{std::pair{SmtpTlsSetting::Verify, std::string_view("verify")},
                            std::pair{SmtpTlsSetting::Encrypt, std::string_view("encrypt")},
                            std::pair{SmtpTlsSetting::Off, std::string_view("off")}};

// The configuration file's text, when root alone could have written it.
std::optional<std::string> TrustedConfText() {
    UniqueFd fd(::open(paths::ConfFile().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat status {};
    if (!fd || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != 0 ||
        (status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return std::nullopt;
    }
    std::string text(static_cast<std::size_t>(std::min<off_t>(status.st_size, 64 * 1024)), '\0');
    text.resize(ReadFully(fd.get(), text.data(), text.size()));
    return text;
}

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The value of "key=value" when `line` is that key's line.
std::optional<std::string_view> ValueOf(std::string_view line, std::string_view key) {
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos || Trimmed(line.substr(0, equals)) != key) {
        return std::nullopt;
    }
    return Trimmed(line.substr(equals + 1));
}

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
    const std::optional<std::string> text = TrustedConfText();
    std::optional<SmtpTlsSetting> setting;
    std::istringstream lines(text.value_or(""));
    for (std::string line; std::getline(lines, line);) {
        if (const auto value = ValueOf(line, kSmtpTlsKey)) {
            setting = ParseSmtpTls(*value);
        }
    }
    return setting.value_or(SmtpTlsSetting::Verify);
}

bool StoreMachineSmtpTls(SmtpTlsSetting setting) {
    std::error_code error;
    std::filesystem::create_directories(paths::ConfFile().parent_path(), error);
    std::string kept;
    std::istringstream lines(TrustedConfText().value_or(""));
    for (std::string line; std::getline(lines, line);) {
        if (!ValueOf(line, kSmtpTlsKey)) {
            kept += line + "\n";
        }
    }
    kept += std::string(kSmtpTlsKey) + "=" + std::string(SmtpTlsName(setting)) + "\n";
    return ReplaceFile(paths::ConfFile(), std::as_bytes(std::span(kept)), 0644);
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
