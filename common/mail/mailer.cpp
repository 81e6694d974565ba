#include "common/mail/mailer.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "common/mail/base64.h"
#include "common/mail/body.h"
#include "common/mail/destination.h"
#include "platform/clock.h"
#include "platform/unique_fd.h"

namespace zen {
namespace {

constexpr uint16_t kImplicitTlsPort = 465;

// The whole content of a regular file; nothing when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat status {};
    if (!fd || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
        if (count == 0) {
            return bytes;
        }
        if (count < 0) {
            return std::nullopt;
        }
        bytes.append(buffer, static_cast<std::size_t>(count));
    }
}

std::string FileNameOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        slash = path.rfind('\\');
    }
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool CZenMailer::Create(std::string_view subject, std::string_view from, std::string_view body,
                        std::string_view server, uint16_t port) {
    content_ = MailContent{};
    content_.sender = ParseMailAddress(from);
    content_.subject = subject;
    content_.body = NormalizeBody(body);
    server_ = server;
    port_ = port;
    user_.clear();
    password_.clear();
    return !body.empty();
}

bool CZenMailer::AddRecipient(std::string_view text) {
    if (text.empty() || content_.recipients.size() >= kMaxRecipients) {
        return false;
    }
    content_.recipients.push_back(ParseMailAddress(text).address);
    return true;
}

bool CZenMailer::Attach(const std::string& path) {
    const std::optional<std::string> bytes = ReadWholeFile(path);
    if (!bytes) {
        return false;
    }
    content_.attachments.push_back({FileNameOf(path), Base64Encode(*bytes, true)});
    return true;
}

void CZenMailer::SetCredentials(std::string_view user, std::string_view password) {
    user_ = user;
    password_ = password;
}

void CZenMailer::Send() {
    response_.clear();
    if (content_.recipients.empty()) {
        response_ = "451 Requested action aborted: local error who am I mailing";
        return;
    }
    if (content_.sender.address.empty()) {
        response_ = "451 Requested action aborted: local error who am I";
        return;
    }
    if (server_.empty()) {
        response_ = "451 Requested action aborted: local error no SMTP/name server/smtp server";
        return;
    }
    const std::optional<MailDestination> destination = ResolveMailServer(server_, port_);
    if (!destination) {
        response_ = "451 Requested action aborted: local error in processing";
        return;
    }
    SmtpConnection connection(timeout_);
    if (!connection.Open(destination->family())) {
        response_ = "451 Requested action aborted: socket function error";
        return;
    }
    SmtpTransaction transaction;
    transaction.server = server_;
    transaction.caFile = caFile_;
    transaction.implicitTls = tlsMode_ == MailTlsMode::Implicit ||
                              (tlsMode_ == MailTlsMode::Auto && port_ == kImplicitTlsPort);
    transaction.startTls = tlsMode_ != MailTlsMode::Off;
    transaction.verifyCertificate = verifyCertificate_;
    transaction.tlsSettingHint = tlsSettingHint_;
    transaction.heloName = MailHeloName();
    transaction.sender = content_.sender.address;
    transaction.recipients = content_.recipients;
    transaction.message = BuildMessage(content_, Now());
    transaction.user = user_;
    transaction.password = password_;
    RunSmtpDialogue(connection, reinterpret_cast<const sockaddr*>(&destination->address),
                    destination->length, transaction, response_);
}

}  // namespace zen
