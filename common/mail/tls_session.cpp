#include "common/mail/tls_session.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/x509v3.h>

#include <cstdint>

namespace zen {
namespace {

int SocketOf(BIO* bio) {
    return static_cast<int>(reinterpret_cast<intptr_t>(BIO_get_data(bio)));
}

int BioWrite(BIO* bio, const char* data, size_t size, size_t* written) {
    BIO_clear_retry_flags(bio);
    const IoStatus status = PlainSend(SocketOf(bio), data, size, *written);
    if (status == IoStatus::WantWrite) {
        BIO_set_retry_write(bio);
    }
    return status == IoStatus::Done ? 1 : 0;
}

int BioRead(BIO* bio, char* data, size_t size, size_t* read) {
    BIO_clear_retry_flags(bio);
    const IoStatus status = PlainReceive(SocketOf(bio), data, size, *read);
    if (status == IoStatus::WantRead) {
        BIO_set_retry_read(bio);
    }
    return status == IoStatus::Done ? 1 : 0;
}

long BioControl(BIO*, int command, long, void*) {
    return command == BIO_CTRL_FLUSH ? 1 : 0;
}

// OpenSSL's own socket BIO writes with write(2), which raises SIGPIPE when the server hangs
// up; this one sends with MSG_NOSIGNAL through the same helpers as the plain connection.
const BIO_METHOD* SocketMethod() {
    static BIO_METHOD* const method = [] {
        BIO_METHOD* made = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "zen-mail");
        if (made != nullptr) {
            BIO_meth_set_write_ex(made, BioWrite);
            BIO_meth_set_read_ex(made, BioRead);
            BIO_meth_set_ctrl(made, BioControl);
            BIO_meth_set_create(made, [](BIO* bio) {
                BIO_set_init(bio, 1);
                return 1;
            });
        }
        return made;
    }();
    return method;
}

bool IsAddressLiteral(const std::string& server) {
    unsigned char buffer[sizeof(in6_addr)];
    return inet_pton(AF_INET, server.c_str(), buffer) == 1 ||
           inet_pton(AF_INET6, server.c_str(), buffer) == 1;
}

// The name the server is asked for (SNI) and, when verifying, the name its certificate
// must carry.
bool NameThePeer(SSL* ssl, const std::string& server, bool verify) {
    if (IsAddressLiteral(server)) {
        return !verify || X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), server.c_str()) == 1;
    }
    return (!verify || SSL_set1_host(ssl, server.c_str()) == 1) &&
           SSL_set_tlsext_host_name(ssl, server.c_str()) == 1;
}

}  // namespace

std::unique_ptr<TlsSession> TlsSession::Create(int fd, const std::string& server,
                                               const std::string& caFile, bool verify,
                                               std::string& error) {
    std::unique_ptr<TlsSession> session(new TlsSession());
    session->context_.reset(SSL_CTX_new(TLS_client_method()));
    SSL_CTX* context = session->context_.get();
    if (context == nullptr || SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION) != 1 ||
        SSL_CTX_set_default_verify_paths(context) != 1) {
        error = "TLS set-up error.";
        return nullptr;
    }
    if (!caFile.empty() && SSL_CTX_load_verify_locations(context, caFile.c_str(), nullptr) != 1) {
        error = "cannot load the CA file " + caFile + ".";
        return nullptr;
    }
    SSL_CTX_set_verify(context, verify ? SSL_VERIFY_PEER : SSL_VERIFY_NONE, nullptr);
    session->ssl_.reset(SSL_new(context));
    SSL* ssl = session->ssl_.get();
    const BIO_METHOD* method = SocketMethod();
    BIO* bio = method != nullptr ? BIO_new(method) : nullptr;
    if (ssl == nullptr || bio == nullptr || !NameThePeer(ssl, server, verify)) {
        BIO_free(bio);
        error = "TLS set-up error.";
        return nullptr;
    }
    BIO_set_data(bio, reinterpret_cast<void*>(static_cast<intptr_t>(fd)));
    SSL_set_bio(ssl, bio, bio);
    SSL_set_mode(ssl, SSL_MODE_ENABLE_PARTIAL_WRITE);
    SSL_set_connect_state(ssl);
    return session;
}

TlsSession::~TlsSession() {
    // Tell the server we are done; a failure here changes nothing for the caller.
    if (ssl_ && SSL_is_init_finished(ssl_.get())) {
        SSL_shutdown(ssl_.get());
    }
}

IoStatus TlsSession::Status(int result) {
    if (result == 1) {
        return IoStatus::Done;
    }
    switch (SSL_get_error(ssl_.get(), result)) {
        case SSL_ERROR_WANT_READ:
            return IoStatus::WantRead;
        case SSL_ERROR_WANT_WRITE:
            return IoStatus::WantWrite;
        case SSL_ERROR_ZERO_RETURN:
            return IoStatus::Closed;
        default:
            return IoStatus::Failed;
    }
}

IoStatus TlsSession::Handshake() {
    ERR_clear_error();
    return Status(SSL_do_handshake(ssl_.get()));
}

IoStatus TlsSession::Receive(char* data, std::size_t size, std::size_t& count) {
    ERR_clear_error();
    return Status(SSL_read_ex(ssl_.get(), data, size, &count));
}

IoStatus TlsSession::Send(const char* data, std::size_t size, std::size_t& count) {
    ERR_clear_error();
    return Status(SSL_write_ex(ssl_.get(), data, size, &count));
}

std::string TlsSession::HandshakeFailure() const {
    const long verify = SSL_get_verify_result(ssl_.get());
    if (verify != X509_V_OK) {
        return std::string(kCertificateRefused) + ": " + X509_verify_cert_error_string(verify) +
               ".";
    }
    return "TLS handshake error.";
}

}  // namespace zen
