#include "common/mail/smtp_dialogue.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "common/mail/base64.h"

namespace zen {
namespace {

bool HasCode(const std::string& reply, std::string_view code) {
    return reply.compare(0, code.size(), code) == 0;
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// Whether one line of an EHLO reply names `keyword` as its extension.
bool OffersExtension(const std::string& reply, std::string_view keyword) {
    std::size_t start = 0;
    while (start < reply.size()) {
        const std::size_t end = std::min(reply.find('\n', start), reply.size());
        const std::string line = Upper(reply.substr(start, end - start));
        start = end + 1;
        if (line.size() >= 4 + keyword.size() && line.compare(4, keyword.size(), keyword) == 0 &&
            (line.size() == 4 + keyword.size() ||
             std::isspace(static_cast<unsigned char>(line[4 + keyword.size()])))) {
            return true;
        }
    }
    return false;
}

class Dialogue {
public:
    Dialogue(SmtpConnection& connection, const SmtpTransaction& transaction, std::string& response)
        : connection_(connection), transaction_(transaction), response_(response) {}

    bool Run(const sockaddr* address, socklen_t length) {
        if (!connection_.Connect(address, length)) {
            return Fail("554 Transaction failed: server connect error.");
        }
        if (transaction_.implicitTls && !UpgradeToTls()) {
            return false;
        }
        const std::optional<std::string> greeting = connection_.ReadReply();
        if (!greeting) {
            return Fail("554 Transaction failed: server connect response error.");
        }
        response_ = *greeting;
        return Greet() && (transaction_.user.empty() || Authenticate()) && Deliver();
    }

private:
    bool Fail(const std::string& text) {
        response_ = text;
        return false;
    }

    // Sends one command and reads its reply, which becomes the response text.
    std::optional<std::string> Exchange(std::string_view line, const char* sendError,
                                        const char* receiveError) {
        if (!connection_.Send(line)) {
            Fail(sendError);
            return std::nullopt;
        }
        std::optional<std::string> reply = connection_.ReadReply();
        response_ = reply ? *reply : receiveError;
        return reply;
    }

    // Ends the session politely; its reply does not replace the reason we stop. Always false,
    // so that a failing step can end with `return Quit();`.
    bool Quit() {
        if (connection_.Send("QUIT\r\n")) {
            connection_.ReadReply();
        }
        return false;
    }

    bool UpgradeToTls() {
        const std::string failure = connection_.StartTls(transaction_.server, transaction_.caFile,
                                                         transaction_.verifyCertificate);
        if (failure.empty()) {
            return true;
        }
        const bool byCertificate = failure.starts_with(kCertificateRefused);
        return Fail("554 Transaction failed: " + failure +
                    (byCertificate ? transaction_.tlsSettingHint : ""));
    }

    std::optional<std::string> Ehlo() {
        return Exchange("EHLO " + transaction_.heloName + "\r\n",
                        "554 Transaction failed: EHLO send",
                        "554 Transaction failed: EHLO receipt");
    }

    bool Greet() {
        std::optional<std::string> reply = Ehlo();
        if (!reply) {
            return false;
        }
        if (!HasCode(*reply, "250")) {
            if (!transaction_.user.empty()) {
                return Fail("554 possibly trying to use AUTH without ESMTP server, ERROR!");
            }
            const std::optional<std::string> helo = Exchange(
                "HELO " + transaction_.heloName + "\r\n", "554 Transaction failed: HELO send",
                "554 Transaction failed: HELO receipt");
            if (!helo) {
                return false;
            }
            return HasCode(*helo, "250") || Quit();
        }
        const bool offersTls = !connection_.secure() && OffersExtension(*reply, "STARTTLS");
        if (offersTls && !transaction_.startTls && !transaction_.user.empty()) {
            // The password never goes in clear to a server that could have taken it encrypted.
            Fail(
                "554 Transaction failed: the server offers encryption, which is switched off; "
                "the password is not sent in clear." +
                transaction_.tlsSettingHint);
            return Quit();
        }
        if (offersTls && transaction_.startTls) {
            // Encrypt whenever the server can, and start over as the server forgets all.
            const std::optional<std::string> ready =
                Exchange("STARTTLS\r\n", "554 Transaction failed: STARTTLS send",
                         "554 Transaction failed: STARTTLS receipt");
            if (!ready) {
                return false;
            }
            if (!HasCode(*ready, "220")) {
                return Quit();
            }
            if (!UpgradeToTls()) {
                return false;
            }
            reply = Ehlo();
            if (!reply) {
                return false;
            }
            if (!HasCode(*reply, "250")) {
                return Quit();
            }
        }
        extensions_ = *reply;
        return true;
    }

    bool Authenticate() {
        if (Upper(extensions_).find("LOGIN") == std::string::npos) {
            Fail("554 ZenMail only handles LOGIN or PLAIN authentication at present!");
            return Quit();
        }
        // Servers word their questions differently ("Username:", "User Name"); only the
        // code tells that a question was asked.
        struct Step {
            std::string line;
            const char* sendError;
            const char* receiveError;
            std::string_view expected;
        };
        const Step steps[] = {
            {"auth LOGIN\r\n", "554 send failure: \"auth LOGIN\"",
             "554 receive failure: waiting on username question!", "334"},
            {Base64Encode(transaction_.user, false) + "\r\n", "554 send failure: sending username",
             "554 receive failure: waiting on password question!", "334"},
            {Base64Encode(transaction_.password, false) + "\r\n",
             "554 send failure: sending password",
             "554 receive failure: waiting on auth login response!", "235"},
        };
        for (const Step& step : steps) {
            const std::optional<std::string> reply =
                Exchange(step.line, step.sendError, step.receiveError);
            if (!reply) {
                return false;
            }
            if (!HasCode(*reply, step.expected)) {
                return Quit();
            }
        }
        return true;
    }

    bool Deliver() {
        const std::optional<std::string> from =
            Exchange("MAIL FROM:<" + transaction_.sender + ">\r\n", "554 MAIL FROM sending error",
                     "554 MAIL FROM receipt error");
        if (!from) {
            return false;
        }
        if (!HasCode(*from, "250")) {
            return Quit();
        }
        // A refused recipient does not stop the others.
        for (const std::string& recipient : transaction_.recipients) {
            if (!Exchange("RCPT TO: <" + recipient + ">\r\n", "554 Transaction failed",
                          "554 Transaction failed")) {
                return false;
            }
        }
        const std::optional<std::string> data =
            Exchange("DATA\r\n", "554 DATA send error", "554 DATA, server response error");
        if (!data) {
            return false;
        }
        if (!HasCode(*data, "354")) {
            return Quit();
        }
        const std::optional<std::string> accepted =
            Exchange(transaction_.message, "554 DATA, server response error (actual send)",
                     "554 DATA, server response error (actual send)");
        if (!accepted) {
            return false;
        }
        Quit();
        return HasCode(*accepted, "250");
    }

    SmtpConnection& connection_;
    const SmtpTransaction& transaction_;
    std::string& response_;
    std::string extensions_;  // the EHLO reply that authentication looks at
};

}  // namespace

bool RunSmtpDialogue(SmtpConnection& connection, const sockaddr* address, socklen_t length,
                     const SmtpTransaction& transaction, std::string& response) {
    return Dialogue(connection, transaction, response).Run(address, length);
}

}  // namespace zen
