#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/unique_fd.h"

namespace zen::test {

// A scripted SMTP peer on loopback for what a real server will not do. It accepts one
// connection and sends replies[0] as the greeting; then for every line it receives (after a
// "354" reply: the whole message up to the "." line) it records it and sends the next reply.
// When the replies run out it only listens until the client hangs up.
class ScriptedSmtpServer {
public:
    explicit ScriptedSmtpServer(std::vector<std::string> replies, int family = 2 /* AF_INET */);
    ~ScriptedSmtpServer();
    ScriptedSmtpServer(const ScriptedSmtpServer&) = delete;
    ScriptedSmtpServer& operator=(const ScriptedSmtpServer&) = delete;

    uint16_t port() const { return port_; }
    // What the client sent, one entry per line (CR LF removed) or message; waits for the end.
    const std::vector<std::string>& Received();

private:
    void Serve(std::vector<std::string> replies);

    UniqueFd listener_;
    uint16_t port_ = 0;
    std::vector<std::string> received_;
    std::thread thread_;
};

// Certificates made with the openssl command: a test CA and server certificates it signed.
struct TestCertificates {
    std::filesystem::path caFile;
    std::filesystem::path serverCert;  // names 127.0.0.1 and localhost
    std::filesystem::path serverKey;
    std::filesystem::path otherCert;  // names only other.example
    std::filesystem::path otherKey;
};
TestCertificates MakeTestCertificates(const std::filesystem::path& folder);

// aiosmtpd run with /usr/bin/python3 on 127.0.0.1 and a free port; it stores what it accepts
// in `folder` (see smtp_server.py).
class AiosmtpdServer {
public:
    struct Options {
        std::string mode = "plain";  // plain, starttls or implicit
        std::string user;
        std::string password;
        std::filesystem::path cert{};
        std::filesystem::path key{};
    };
    AiosmtpdServer(const std::filesystem::path& folder, const Options& options);
    ~AiosmtpdServer();
    AiosmtpdServer(const AiosmtpdServer&) = delete;
    AiosmtpdServer& operator=(const AiosmtpdServer&) = delete;

    uint16_t port() const { return port_; }
    // The n-th message accepted (from 1): its content and its "key=value" facts.
    std::string Message(int number) const;
    std::multimap<std::string, std::string> Facts(int number) const;
    int MessageCount() const;

private:
    std::filesystem::path folder_;
    pid_t pid_ = -1;
    uint16_t port_ = 0;
};

// The bytes of the attachment `name` of a received mail, decoded from its Base64 lines; ""
// when the mail has none of that name.
std::string AttachedFile(const std::string& mail, const std::string& name);

}  // namespace zen::test
