#pragma once

#include <openssl/ssl.h>

#include <memory>
#include <string>

#include "common/mail/socket_io.h"

namespace zen {

// The start of a handshake failure caused by the server's certificate.
inline constexpr char kCertificateRefused[] = "server certificate not accepted";

// TLS on a connected non-blocking socket. When `verify` is set the peer's certificate must
// chain to the system's trust store (or to the extra CA file) and name the server, by host
// name or by address; otherwise any certificate is taken (encryption without the check).
class TlsSession {
public:
    // Null with `error` set when the context cannot be prepared.
    static std::unique_ptr<TlsSession> Create(int fd, const std::string& server,
                                              const std::string& caFile, bool verify,
                                              std::string& error);
    ~TlsSession();
    TlsSession(const TlsSession&) = delete;
    TlsSession& operator=(const TlsSession&) = delete;

    IoStatus Handshake();
    IoStatus Receive(char* data, std::size_t size, std::size_t& count);
    IoStatus Send(const char* data, std::size_t size, std::size_t& count);
    // Why the handshake failed, in words for the response text.
    std::string HandshakeFailure() const;

private:
    struct ContextFree {
        void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
    };
    struct SslFree {
        void operator()(SSL* ssl) const { SSL_free(ssl); }
    };

    TlsSession() = default;
    IoStatus Status(int result);

    std::unique_ptr<SSL_CTX, ContextFree> context_;
    std::unique_ptr<SSL, SslFree> ssl_;
};

}  // namespace zen
