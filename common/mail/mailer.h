#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/mail/address.h"
#include "common/mail/message.h"
#include "common/mail/smtp_dialogue.h"

namespace zen {

// Sends one message with optional attachments to one SMTP server. Texts are UTF-8. Nothing
// is thrown or logged: every outcome ends up in Response(), which begins with "250" when the
// server took the message.
class CZenMailer {
public:
    static constexpr std::size_t kMaxRecipients = 100;
    static constexpr std::chrono::milliseconds kDefaultTimeout = std::chrono::seconds(30);

    // False when the body is empty (the message then goes without one); the other fields are
    // set either way and the recipients, attachments and credentials start empty.
    bool Create(std::string_view subject, std::string_view from, std::string_view body,
                std::string_view server, uint16_t port);
    // False for an empty text or when kMaxRecipients are already held.
    bool AddRecipient(std::string_view text);
    // Reads the whole file now; false when it cannot be read.
    bool Attach(const std::string& path);
    // LOGIN authentication happens only when the user name is not empty.
    void SetCredentials(std::string_view user, std::string_view password);

    // How long each connect, TLS handshake, reply or stalled send may take.
    void SetTimeout(std::chrono::milliseconds timeout) { timeout_ = timeout; }
    // Certificates in this file are trusted besides the system's store.
    void SetCaFile(std::string path) { caFile_ = std::move(path); }
    // Auto: TLS from the start on port 465, otherwise STARTTLS whenever the server offers it.
    // Off: never encrypted, and no password for a server that offers STARTTLS.
    void SetTlsMode(MailTlsMode mode) { tlsMode_ = mode; }
    // Off: encrypts without checking the server's certificate (a relay with its own one).
    void SetVerifyCertificate(bool verify) { verifyCertificate_ = verify; }
    // Added to the answer when the TLS mode or the certificate check refused the server.
    void SetTlsSettingHint(std::string hint) { tlsSettingHint_ = std::move(hint); }

    void Send();
    const std::string& Response() const { return response_; }

private:
    MailContent content_;
    std::string server_;
    uint16_t port_ = 25;
    std::string user_;
    std::string password_;
    std::chrono::milliseconds timeout_ = kDefaultTimeout;
    std::string caFile_;
    MailTlsMode tlsMode_ = MailTlsMode::Auto;
    bool verifyCertificate_ = true;
    std::string tlsSettingHint_;
    std::string response_;
};

}  // namespace zen
