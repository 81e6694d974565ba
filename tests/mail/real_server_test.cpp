#include <cstdlib>
#include <ctime>
#include <string>

#include "common/mail/mailer.h"
#include "mail/mail_test_support.h"
#include "platform/clock.h"
#include "support/temp_root.h"

namespace zen {
namespace {

using test::AiosmtpdServer;

constexpr int64_t kJuly2024 = 1720184589;  // 2024-07-05 13:03:09 UTC

// Against aiosmtpd: a fixed clock and zone, so the Date line is known.
class RealServerTest : public test::RootedTest {
protected:
    void SetUp() override {
        SetNowForTesting(kJuly2024);
        if (const char* zone = std::getenv("TZ")) {
            previousZone_ = zone;
        }
        ::setenv("TZ", "CET-1CEST", 1);
    }
    void TearDown() override {
        SetNowForTesting(std::nullopt);
        if (previousZone_) {
            ::setenv("TZ", previousZone_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }

    AiosmtpdServer StartServer(const AiosmtpdServer::Options& options = {}) {
        return AiosmtpdServer(root / "received", options);
    }

    CZenMailer Mailer(uint16_t port, const std::string& server = "127.0.0.1") {
        CZenMailer mailer;
        mailer.Create("Automated daily report", "Parent <parent@example.org>",
                      "Automated daily report\r\nUser: anna\r\n Computer: den", server, port);
        mailer.AddRecipient("admin@example.org");
        mailer.SetTimeout(std::chrono::seconds(10));
        return mailer;
    }

    test::TestCertificates Certificates() { return test::MakeTestCertificates(root.path()); }

private:
    std::optional<std::string> previousZone_;
};

const std::string kHeaders =
    "From: parent@example.org (Parent) \r\nReply-To: parent@example.org\r\n"
    "To: admin@example.org,\r\n second@example.org\r\n";
const std::string kDateAndSubject =
    "Date: 05 Jul 24 15:03:09 0100\r\nSubject: Automated daily report\r\n\r\n";
const std::string kBody = "Automated daily report\r\nUser: anna\r\n Computer: den";

TEST_F(RealServerTest, PlainMessageArrivesAsBuilt) {
    AiosmtpdServer server = StartServer();
    CZenMailer mailer = Mailer(server.port());
    mailer.AddRecipient("Second <second@example.org>");
    mailer.Send();
    EXPECT_EQ(mailer.Response().substr(0, 4), "250 ");
    ASSERT_EQ(server.MessageCount(), 1);
    EXPECT_EQ(server.Message(1), kHeaders + kDateAndSubject + kBody + "\r\n");
    const auto facts = server.Facts(1);
    EXPECT_EQ(facts.find("from")->second, "parent@example.org");
    EXPECT_EQ(facts.count("rcpt"), 2u);
    EXPECT_EQ(facts.find("tls")->second, "0");
}

TEST_F(RealServerTest, AttachmentsArriveAsBuilt) {
    test::WriteAll(root / "a78.bin", std::string(78, 'A'));
    test::WriteAll(root / "b79.txt", std::string(79, 'A'));
    AiosmtpdServer server = StartServer();
    CZenMailer mailer = Mailer(server.port());
    mailer.AddRecipient("second@example.org");
    ASSERT_TRUE(mailer.Attach((root / "a78.bin").string()));
    ASSERT_TRUE(mailer.Attach((root / "b79.txt").string()));
    mailer.Send();
    EXPECT_EQ(mailer.Response().substr(0, 4), "250 ");
    ASSERT_EQ(server.MessageCount(), 1);
    std::string line104;
    for (int i = 0; i < 26; ++i) {
        line104 += "QUFB";
    }
    const std::string boundary = "bounds=_ZenPart_0056_0_8_789432_mp";
    EXPECT_EQ(server.Message(1),
              "From: parent@example.org (Parent) \r\nReply-To: parent@example.org\r\n"
              "To: admin@example.org,\r\n second@example.org\r\n"
              "MIME-Version: 1.0\r\nContent-Type: multipart/mixed;\r\n\tboundary=\"" +
                  boundary + "\"\r\n" + kDateAndSubject +
                  "This is a MIME encapsulated message\r\n\r\n--" + boundary +
                  "\r\n"
                  "Content-type: text/plain; charset=iso-8859-1\r\n"
                  "Content-transfer-encoding: 7BIT\r\n\r\n" +
                  kBody + "\r\n\r\n--" + boundary +
                  "\r\n"
                  "Content-Type: application/X-other-1;\r\n\tname=\"a78.bin\"\r\n"
                  "Content-Transfer-Encoding: base64\r\n"
                  "Content-Disposition: attachment; filename=\"a78.bin\"\r\n\r\n" +
                  line104 + "\r\n\r\n\r\n--" + boundary +
                  "\r\n"
                  "Content-Type: plain/txt;\r\n\tname=\"b79.txt\"\r\n"
                  "Content-Transfer-Encoding: base64\r\n"
                  "Content-Disposition: attachment; filename=\"b79.txt\"\r\n\r\n" +
                  line104 + "\r\nQQ==" + "\r\n\r\n--" + boundary + "--\r\n\r\n");
}

TEST_F(RealServerTest, BodyLinesStartingWithADotArriveIntact) {
    AiosmtpdServer server = StartServer();
    CZenMailer mailer;
    mailer.Create("s", "parent@example.org", "first\n.\n.hidden\n..two\nlast", "127.0.0.1",
                  server.port());
    mailer.AddRecipient("admin@example.org");
    mailer.Send();
    ASSERT_EQ(server.MessageCount(), 1);
    EXPECT_TRUE(server.Message(1).ends_with("\r\n\r\nfirst\r\n.\r\n.hidden\r\n..two\r\nlast\r\n"))
        << server.Message(1);
}

TEST_F(RealServerTest, LoginAuthenticationOnAPlainConnection) {
    AiosmtpdServer server = StartServer({.user = "anna", .password = "s3cret"});
    const std::pair<std::string, bool> cases[] = {{"wrong", false}, {"s3cret", true}};
    for (const auto& [password, accepted] : cases) {
        CZenMailer mailer = Mailer(server.port());
        mailer.SetCredentials("anna", password);
        mailer.Send();
        EXPECT_EQ(mailer.Response().substr(0, 4), accepted ? "250 " : "535 ")
            << password << ": " << mailer.Response();
    }
    ASSERT_EQ(server.MessageCount(), 1);
    EXPECT_EQ(server.Facts(1).find("login")->second, "anna");
}

TEST_F(RealServerTest, StartTlsIsUsedWhenOfferedAndBeforeLogin) {
    const test::TestCertificates certificates = Certificates();
    AiosmtpdServer server = StartServer({.mode = "starttls",
                                         .user = "anna",
                                         .password = "s3cret",
                                         .cert = certificates.serverCert,
                                         .key = certificates.serverKey});
    for (const std::string host : {"127.0.0.1", "localhost"}) {
        CZenMailer mailer = Mailer(server.port(), host);
        mailer.SetCaFile(certificates.caFile.string());
        mailer.SetCredentials("anna", "s3cret");
        mailer.Send();
        EXPECT_EQ(mailer.Response().substr(0, 4), "250 ") << host << ": " << mailer.Response();
    }
    ASSERT_EQ(server.MessageCount(), 2);
    for (int message : {1, 2}) {
        const auto facts = server.Facts(message);
        EXPECT_EQ(facts.find("tls")->second, "1");
        EXPECT_EQ(facts.find("login")->second, "anna");
    }
}

TEST_F(RealServerTest, ImplicitTlsFromTheFirstByte) {
    const test::TestCertificates certificates = Certificates();
    AiosmtpdServer server = StartServer({.mode = "implicit",
                                         .user = "anna",
                                         .password = "s3cret",
                                         .cert = certificates.serverCert,
                                         .key = certificates.serverKey});
    CZenMailer mailer = Mailer(server.port());
    mailer.SetCaFile(certificates.caFile.string());
    mailer.SetTlsMode(MailTlsMode::Implicit);
    mailer.SetCredentials("anna", "s3cret");
    mailer.Send();
    EXPECT_EQ(mailer.Response().substr(0, 4), "250 ") << mailer.Response();
    ASSERT_EQ(server.MessageCount(), 1);
    EXPECT_EQ(server.Facts(1).find("tls")->second, "1");
}

TEST_F(RealServerTest, AnUntrustedOrMisnamedCertificateEndsTheAttempt) {
    const test::TestCertificates certificates = Certificates();
    const struct {
        const char* name;
        std::filesystem::path cert, key;
        bool trustCa;
        std::string response;
    } cases[] = {
        {"unknown CA", certificates.serverCert, certificates.serverKey, false,
         "554 Transaction failed: server certificate not accepted: unable to get local issuer "
         "certificate."},
        {"other name", certificates.otherCert, certificates.otherKey, true,
         "554 Transaction failed: server certificate not accepted: IP address mismatch."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(root / "received");
        AiosmtpdServer server = StartServer({.mode = "starttls",
                                             .user = "anna",
                                             .password = "s3cret",
                                             .cert = c.cert,
                                             .key = c.key});
        CZenMailer mailer = Mailer(server.port());
        if (c.trustCa) {
            mailer.SetCaFile(certificates.caFile.string());
        }
        mailer.SetCredentials("anna", "s3cret");
        mailer.Send();
        EXPECT_EQ(mailer.Response(), c.response);
        EXPECT_EQ(server.MessageCount(), 0);
    }
}

}  // namespace
}  // namespace zen
