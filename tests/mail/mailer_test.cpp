#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <string>
#include <vector>

#include "common/mail/base64.h"
#include "common/mail/destination.h"
#include "common/mail/mailer.h"
#include "mail/mail_test_support.h"
#include "platform/unique_fd.h"
#include "support/temp_root.h"

namespace zen {
namespace {

using test::ScriptedSmtpServer;

constexpr const char* kMessage = "<message>";  // stands for the DATA in expected dialogues

// A mailer with one recipient for `server`:`port`, answering quickly in tests.
CZenMailer MakeMailer(const std::string& server, uint16_t port) {
    CZenMailer mailer;
    mailer.Create("Zentimo warning message", "Parent <parent@example.org>",
                  "Description: The program has been closed", server, port);
    mailer.AddRecipient("admin@example.org");
    mailer.SetTimeout(std::chrono::seconds(3));
    return mailer;
}

void ExpectDialogue(const std::vector<std::string>& received,
                    const std::vector<std::string>& expected) {
    ASSERT_EQ(received.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (expected[i] == kMessage) {
            EXPECT_EQ(received[i].rfind("From: parent@example.org (Parent) \r\n", 0), 0u);
            EXPECT_TRUE(received[i].ends_with("Description: The program has been closed"));
        } else {
            EXPECT_EQ(received[i], expected[i]) << "line " << i;
        }
    }
}

class MailerTest : public test::RootedTest {};

TEST_F(MailerTest, HoldsAtMostOneHundredRecipients) {
    CZenMailer mailer;
    EXPECT_TRUE(mailer.Create("s", "p@example.org", "b", "127.0.0.1", 25));
    EXPECT_FALSE(mailer.AddRecipient(""));
    for (int i = 0; i < 100; ++i) {
        EXPECT_TRUE(mailer.AddRecipient("r" + std::to_string(i) + "@example.org"));
    }
    EXPECT_FALSE(mailer.AddRecipient("r100@example.org"));
}

TEST_F(MailerTest, RefusesAnEmptyBodyAndUnreadableAttachments) {
    CZenMailer mailer;
    EXPECT_FALSE(mailer.Create("s", "p@example.org", "", "127.0.0.1", 25));
    EXPECT_FALSE(mailer.Attach((root / "missing.zip").string()));
    EXPECT_FALSE(mailer.Attach(root.path().string()));
    test::WriteAll(root / "present.txt", "x");
    EXPECT_TRUE(mailer.Attach((root / "present.txt").string()));
}

TEST_F(MailerTest, LocalFaultsEndTheSendBeforeAnyConnection) {
    const struct {
        std::string from, server, recipient, response;
    } cases[] = {
        {"p@example.org", "127.0.0.1", "",
         "451 Requested action aborted: local error who am I mailing"},
        {"", "127.0.0.1", "a@example.org", "451 Requested action aborted: local error who am I"},
        {"Parent <p@example.org", "127.0.0.1", "a@example.org",
         "451 Requested action aborted: local error who am I"},
        {"p@example.org", "", "a@example.org",
         "451 Requested action aborted: local error no SMTP/name server/smtp server"},
    };
    for (const auto& c : cases) {
        CZenMailer mailer;
        mailer.Create("s", c.from, "b", c.server, 25);
        if (!c.recipient.empty()) {
            mailer.AddRecipient(c.recipient);
        }
        mailer.Send();
        EXPECT_EQ(mailer.Response(), c.response);
    }
}

TEST_F(MailerTest, ScriptedServersGetTheExactDialogue) {
    const std::string ehlo = "EHLO " + MailHeloName();
    const std::string helo = "HELO " + MailHeloName();
    const std::string user = Base64Encode("anna", false);
    const std::string password = Base64Encode("s3cret", false);
    const struct {
        const char* name;
        bool credentials;
        std::vector<std::string> replies;
        std::vector<std::string> received;
        std::string response;
    } cases[] = {
        {"EHLO refused, no user: HELO instead",
         false,
         {"220 hi\r\n", "502 no\r\n", "250 hello\r\n", "250 ok\r\n", "250 ok\r\n", "354 go\r\n",
          "250 queued\r\n", "221 bye\r\n"},
         {ehlo, helo, "MAIL FROM:<parent@example.org>", "RCPT TO: <admin@example.org>", "DATA",
          kMessage, "QUIT"},
         "250 queued\r\n"},
        {"EHLO refused with a user: no mail",
         true,
         {"220 hi\r\n", "502 no\r\n"},
         {ehlo},
         "554 possibly trying to use AUTH without ESMTP server, ERROR!"},
        {"HELO refused",
         false,
         {"220 hi\r\n", "502 no\r\n", "550 go away\r\n", "221 bye\r\n"},
         {ehlo, helo, "QUIT"},
         "550 go away\r\n"},
        {"LOGIN not offered",
         true,
         {"220 hi\r\n", "250-mail.test\r\n250 AUTH PLAIN CRAM-MD5\r\n", "221 bye\r\n"},
         {ehlo, "QUIT"},
         "554 ZenMail only handles LOGIN or PLAIN authentication at present!"},
        {"LOGIN accepted",
         true,
         {"220 hi\r\n", "250-mail.test\r\n250 AUTH LOGIN\r\n", "334 VXNlcm5hbWU6\r\n",
          "334 UGFzc3dvcmQ6\r\n", "235 welcome\r\n", "250 ok\r\n", "250 ok\r\n", "354 go\r\n",
          "250 queued\r\n", "221 bye\r\n"},
         {ehlo, "auth LOGIN", user, password, "MAIL FROM:<parent@example.org>",
          "RCPT TO: <admin@example.org>", "DATA", kMessage, "QUIT"},
         "250 queued\r\n"},
        {"LOGIN refused",
         true,
         {"220 hi\r\n", "250-mail.test\r\n250 AUTH LOGIN\r\n", "334 VXNlcm5hbWU6\r\n",
          "334 UGFzc3dvcmQ6\r\n", "535 bad credentials\r\n", "221 bye\r\n"},
         {ehlo, "auth LOGIN", user, password, "QUIT"},
         "535 bad credentials\r\n"},
        {"no user name question",
         true,
         {"220 hi\r\n", "250 AUTH LOGIN\r\n", "504 unknown mechanism\r\n", "221 bye\r\n"},
         {ehlo, "auth LOGIN", "QUIT"},
         "504 unknown mechanism\r\n"},
        {"MAIL FROM refused",
         false,
         {"220 hi\r\n", "250 hello\r\n", "550 sender refused\r\n", "221 bye\r\n"},
         {ehlo, "MAIL FROM:<parent@example.org>", "QUIT"},
         "550 sender refused\r\n"},
        {"DATA not answered 354",
         false,
         {"220 hi\r\n", "250 hello\r\n", "250 ok\r\n", "250 ok\r\n", "451 not now\r\n",
          "221 bye\r\n"},
         {ehlo, "MAIL FROM:<parent@example.org>", "RCPT TO: <admin@example.org>", "DATA", "QUIT"},
         "451 not now\r\n"},
        {"message refused",
         false,
         {"220 hi\r\n", "250 hello\r\n", "250 ok\r\n", "250 ok\r\n", "354 go\r\n",
          "554 rejected\r\n", "221 bye\r\n"},
         {ehlo, "MAIL FROM:<parent@example.org>", "RCPT TO: <admin@example.org>", "DATA", kMessage,
          "QUIT"},
         "554 rejected\r\n"},
        {"EHLO never answered",
         false,
         {"220 hi\r\n"},
         {ehlo},
         "554 Transaction failed: EHLO receipt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedSmtpServer server(c.replies);
        CZenMailer mailer = MakeMailer("127.0.0.1", server.port());
        mailer.SetTimeout(std::chrono::milliseconds(500));
        if (c.credentials) {
            mailer.SetCredentials("anna", "s3cret");
        }
        mailer.Send();
        EXPECT_EQ(mailer.Response(), c.response);
        ExpectDialogue(server.Received(), c.received);
    }
}

TEST_F(MailerTest, ARefusedRecipientDoesNotStopTheOthers) {
    ScriptedSmtpServer server({"220 hi\r\n", "250 hello\r\n", "250 ok\r\n", "550 unknown\r\n",
                               "250 ok\r\n", "354 go\r\n", "250 queued\r\n", "221 bye\r\n"});
    CZenMailer mailer = MakeMailer("127.0.0.1", server.port());
    mailer.AddRecipient("Second <second@example.org>");
    mailer.Send();
    EXPECT_EQ(mailer.Response(), "250 queued\r\n");
    ExpectDialogue(server.Received(), {"EHLO " + MailHeloName(), "MAIL FROM:<parent@example.org>",
                                       "RCPT TO: <admin@example.org>",
                                       "RCPT TO: <second@example.org>", "DATA", kMessage, "QUIT"});
}

TEST_F(MailerTest, ASilentServerEndsTheSendAfterTheTimeOut) {
    ScriptedSmtpServer server({});
    CZenMailer mailer = MakeMailer("127.0.0.1", server.port());
    mailer.SetTimeout(std::chrono::seconds(1));
    const auto start = std::chrono::steady_clock::now();
    mailer.Send();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(mailer.Response(), "554 Transaction failed: server connect response error.");
    EXPECT_GE(elapsed, std::chrono::milliseconds(900));
    EXPECT_LT(elapsed, std::chrono::seconds(10));
}

TEST_F(MailerTest, AClosedPortIsAConnectError) {
    // A port that was just free and that nobody listens on.
    const UniqueFd probe(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(probe.get(), reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(::getsockname(probe.get(), reinterpret_cast<sockaddr*>(&address), &length), 0);
    CZenMailer mailer = MakeMailer("127.0.0.1", ntohs(address.sin_port));
    mailer.Send();
    EXPECT_EQ(mailer.Response(), "554 Transaction failed: server connect error.");
}

// The first address the resolver gives for "localhost".
int LocalhostFamily() {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo("localhost", nullptr, &hints, &found) != 0) {
        return AF_INET;
    }
    const int family = found->ai_family;
    ::freeaddrinfo(found);
    return family;
}

TEST_F(MailerTest, ReachesAddressLiteralsAndNames) {
    const std::vector<std::string> replies = {"220 hi\r\n", "250 hello\r\n", "250 ok\r\n",
                                              "250 ok\r\n", "354 go\r\n",    "250 queued\r\n",
                                              "221 bye\r\n"};
    const std::pair<std::string, int> cases[] = {
        {"127.0.0.1", AF_INET}, {"::1", AF_INET6}, {"localhost", LocalhostFamily()}};
    for (const auto& [host, family] : cases) {
        ScriptedSmtpServer server(replies, family);
        CZenMailer mailer = MakeMailer(host, server.port());
        mailer.Send();
        EXPECT_EQ(mailer.Response(), "250 queued\r\n") << host;
        EXPECT_EQ(server.Received().size(), 6u) << host;
    }
}

}  // namespace
}  // namespace zen
