#pragma once

#include <sys/socket.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/mail/socket_io.h"
#include "common/mail/tls_session.h"
#include "platform/unique_fd.h"

namespace zen {

// One TCP connection to an SMTP server, plain or upgraded to TLS. Every operation gives up
// after the time-out: connect, TLS handshake and reading a reply as a whole, sending when
// no byte moves for that long.
class SmtpConnection {
public:
    explicit SmtpConnection(std::chrono::milliseconds timeout) : timeout_(timeout) {}

    bool Open(int family);
    bool Connect(const sockaddr* address, socklen_t length);
    bool Send(std::string_view bytes);
    // One whole reply, all its lines with their CR LF; nothing on time-out, error or close.
    std::optional<std::string> ReadReply();
    // Encrypts the connection; empty on success, otherwise what went wrong.
    std::string StartTls(const std::string& server, const std::string& caFile, bool verify);
    bool secure() const { return tls_ != nullptr; }

private:
    IoStatus Receive(char* data, std::size_t size, std::size_t& count);
    IoStatus Transmit(const char* data, std::size_t size, std::size_t& count);
    MailClock::time_point Deadline() const { return MailClock::now() + timeout_; }

    std::chrono::milliseconds timeout_;
    // Declared after the socket, so the session ends before the socket closes.
    UniqueFd fd_;
    std::unique_ptr<TlsSession> tls_;
    std::string pending_;  // received bytes beyond the last reply
};

}  // namespace zen
