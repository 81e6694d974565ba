#pragma once

#include <string>
#include <vector>

#include "common/mail/smtp_connection.h"

namespace zen {

// When the connection is encrypted: from the start (as on port 465), after STARTTLS
// whenever the server offers it, or never.
enum class MailTlsMode { Auto, Implicit, Off };

struct SmtpTransaction {
    std::string server;  // as given, for the certificate's name check
    std::string caFile;  // trusted besides the system's store; may be empty
    bool implicitTls = false;
    bool startTls = true;           // upgrade when the server offers STARTTLS
    bool verifyCertificate = true;  // the certificate must chain to a trusted CA and name us
    // Added to a refusal that the machine's TLS setting caused, so the answer names it.
    std::string tlsSettingHint;
    std::string heloName;
    std::string sender;
    std::vector<std::string> recipients;
    std::string message;  // DATA, ended by the "." line
    std::string user;     // LOGIN authentication when not empty
    std::string password;
};

// Runs the whole dialogue on an opened connection that is not yet connected. Returns true
// when the server took the message; `response` holds the last reply or what failed.
bool RunSmtpDialogue(SmtpConnection& connection, const sockaddr* address, socklen_t length,
                     const SmtpTransaction& transaction, std::string& response);

}  // namespace zen
