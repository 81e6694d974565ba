#include "common/mail/smtp_connection.h"

#include <fcntl.h>

#include <cerrno>

namespace zen {
namespace {

// A reply larger than this is not an SMTP reply.
constexpr std::size_t kMaxReply = 64 * 1024;

// The length of the complete reply at the start of `text`, or 0 while it is incomplete.
// A reply ends with its first line whose code is not followed by "-".
std::size_t CompleteReplyLength(std::string_view text) {
    std::size_t lineStart = 0;
    for (std::size_t end = text.find('\n'); end != text.npos; end = text.find('\n', lineStart)) {
        const std::string_view line = text.substr(lineStart, end - lineStart);
        lineStart = end + 1;
        if (line.size() < 4 || line[3] != '-') {
            return lineStart;
        }
    }
    return 0;
}

}  // namespace

bool SmtpConnection::Open(int family) {
    fd_.reset(::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    return static_cast<bool>(fd_);
}

bool SmtpConnection::Connect(const sockaddr* address, socklen_t length) {
    if (::connect(fd_.get(), address, length) == 0) {
        return true;
    }
    if (errno != EINPROGRESS || !WaitUntilReady(fd_.get(), IoStatus::WantWrite, Deadline())) {
        return false;
    }
    int error = 0;
    socklen_t size = sizeof error;
    return ::getsockopt(fd_.get(), SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

IoStatus SmtpConnection::Receive(char* data, std::size_t size, std::size_t& count) {
    return tls_ ? tls_->Receive(data, size, count) : PlainReceive(fd_.get(), data, size, count);
}

IoStatus SmtpConnection::Transmit(const char* data, std::size_t size, std::size_t& count) {
    return tls_ ? tls_->Send(data, size, count) : PlainSend(fd_.get(), data, size, count);
}

bool SmtpConnection::Send(std::string_view bytes) {
    auto deadline = Deadline();
    while (!bytes.empty()) {
        std::size_t count = 0;
        const IoStatus status = Transmit(bytes.data(), bytes.size(), count);
        if (status == IoStatus::Done) {
            bytes.remove_prefix(count);
            deadline = Deadline();
        } else if (status == IoStatus::Closed || status == IoStatus::Failed ||
                   !WaitUntilReady(fd_.get(), status, deadline)) {
            return false;
        }
    }
    return true;
}

std::optional<std::string> SmtpConnection::ReadReply() {
    const auto deadline = Deadline();
    for (;;) {
        if (const std::size_t length = CompleteReplyLength(pending_); length > 0) {
            std::string reply = pending_.substr(0, length);
            pending_.erase(0, length);
            return reply;
        }
        if (pending_.size() > kMaxReply) {
            return std::nullopt;
        }
        char buffer[4096];
        std::size_t count = 0;
        const IoStatus status = Receive(buffer, sizeof buffer, count);
        if (status == IoStatus::Done) {
            pending_.append(buffer, count);
        } else if (status == IoStatus::Closed || status == IoStatus::Failed ||
                   !WaitUntilReady(fd_.get(), status, deadline)) {
            return std::nullopt;
        }
    }
}

std::string SmtpConnection::StartTls(const std::string& server, const std::string& caFile,
                                     bool verify) {
    std::string error;
    std::unique_ptr<TlsSession> session =
        TlsSession::Create(fd_.get(), server, caFile, verify, error);
    if (!session) {
        return error;
    }
    // Whatever the server sent before the upgrade must not be read as if it were protected.
    pending_.clear();
    const auto deadline = Deadline();
    for (;;) {
        const IoStatus status = session->Handshake();
        if (status == IoStatus::Done) {
            tls_ = std::move(session);
            return "";
        }
        if (status == IoStatus::Closed || status == IoStatus::Failed ||
            !WaitUntilReady(fd_.get(), status, deadline)) {
            return session->HandshakeFailure();
        }
    }
}

}  // namespace zen
