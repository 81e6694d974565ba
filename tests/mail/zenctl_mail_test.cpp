#include <unistd.h>

#include <cstdlib>

#include "common/db/options_file.h"
#include "common/db/rules_model.h"
#include "mail/mail_db_fixture.h"
#include "platform/root.h"
#include "zenctl/zenctl_runner.h"

namespace zen {
namespace {

class ZenctlMailTest : public test::MailDbTest {
protected:
    std::string WriteFile(const std::string& name, const std::string& text) {
        test::WriteAll(root / name, text);
        return (root / name).string();
    }

    // The account of the server with LOGIN as "anna", an administrator password, and the
    // mail password given through zenctl as a parent would.
    void UseAuthenticatedServer(uint16_t port) {
        UseServer(port);
        EditOptions([](Options& options) {
            SetFieldText(options.EMailName, u"anna");
            options.EnableServerAuthentication = 1;
        });
        admin = WriteFile("admin", "parent-pw\n");
        ASSERT_EQ(test::Zenctl({"password", "--new-password-file", admin}).code, 0);
        const auto set = test::Zenctl({"--password-file", admin, "mail", "password",
                                       "--secret-file", WriteFile("mailpw", "s3cret\n")});
        ASSERT_EQ(set.code, 0) << set.err;
    }

    // Runs 7z on an archive with a password; its exit code.
    int Extract(const std::filesystem::path& archive, const std::string& password,
                const std::filesystem::path& out) {
        return std::system(("7z x -y -p" + password + " -o" + out.string() + " " +
                            archive.string() + " >/dev/null 2>&1")
                               .c_str()) >>
               8;
    }

    std::string admin;
};

TEST_F(ZenctlMailTest, TestMailAndReportReachTheServerAndShowItsAnswer) {
    test::AiosmtpdServer server = StartServer();
    UseServer(server.port());

    const test::ZenctlResult mail = test::Zenctl({"mail", "test"});
    EXPECT_EQ(mail.code, 0) << mail.err;
    EXPECT_EQ(mail.out.substr(0, 3), "250");
    ASSERT_EQ(server.MessageCount(), 1);
    EXPECT_NE(server.Message(1).find("Subject: Zentimo warning message\r\n"), std::string::npos);
    EXPECT_NE(server.Message(1).find("Description: Test notification e-mail settings"),
              std::string::npos);

    const test::ZenctlResult report = test::Zenctl({"--json", "mail", "report"});
    EXPECT_EQ(report.code, 0) << report.err;
    EXPECT_NE(report.out.find("\"sent\": true"), std::string::npos) << report.out;
    ASSERT_EQ(server.MessageCount(), 2);
    EXPECT_NE(server.Message(2).find("Subject: Automated daily report\r\n"), std::string::npos);
    // Made as the service makes it, but the next daily report is not put off.
    Options stored = OptionsDefault();
    ASSERT_EQ(SerializeOptions(stored, false, false, false, db.OptionsMutex()), 1);
    EXPECT_EQ(stored.lastReportTime, 0);
}

TEST_F(ZenctlMailTest, AFailedMailSaysWhyAndExitsWithFour) {
    UseServer(1);  // nothing listens on port 1 of the loopback
    const test::ZenctlResult mail = test::Zenctl({"mail", "test"});
    EXPECT_EQ(mail.code, 4);
    EXPECT_EQ(mail.out, "554 Transaction failed: server connect error.\n");
    EXPECT_NE(mail.err.find("the mail was not sent"), std::string::npos);
}

TEST_F(ZenctlMailTest, SecretsSetThroughZenctlAuthenticateAndLockTheReport) {
    test::AiosmtpdServer server = StartServer({.user = "anna", .password = "s3cret"});
    UseAuthenticatedServer(server.port());
    // Like every change, a secret needs the administrator password.
    const std::string reportSecret = WriteFile("reportpw", "r3port-only\n");
    EXPECT_EQ(test::Zenctl({"report", "password", "--secret-file", reportSecret}).code, 5);
    ASSERT_EQ(test::Zenctl(
                  {"--password-file", admin, "report", "password", "--secret-file", reportSecret})
                  .code,
              0);
    // The options tell that the secrets are set, never what they are.
    const test::ZenctlResult shown = test::Zenctl({"options", "--json"});
    EXPECT_NE(shown.out.find("\"serverPasswordSet\": true"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("\"reportPasswordSet\": true"), std::string::npos) << shown.out;
    EXPECT_EQ(shown.out.find("s3cret"), std::string::npos);
    EXPECT_EQ(shown.out.find("r3port"), std::string::npos);

    const test::ZenctlResult mail = test::Zenctl({"--password-file", admin, "mail", "test"});
    EXPECT_EQ(mail.code, 0) << mail.out << mail.err;
    ASSERT_EQ(server.MessageCount(), 1);
    EXPECT_EQ(server.Facts(1).find("login")->second, "anna");

    // The report names the user at the console and opens only with the report password.
    test::WriteAll(paths::SeatFile(), "alice\n");
    const test::ZenctlResult report = test::Zenctl({"--password-file", admin, "mail", "report"});
    EXPECT_EQ(report.code, 0) << report.out << report.err;
    ASSERT_EQ(server.MessageCount(), 2);
    const std::string message = server.Message(2);
    EXPECT_NE(message.find("Automated daily report\r\nUser: alice\r\n Computer: "),
              std::string::npos)
        << message;
    const std::string zip = test::AttachedFile(message, "dreport.zip");
    ASSERT_FALSE(zip.empty());
    test::WriteAll(root / "report.zip", zip);
    EXPECT_NE(Extract(root / "report.zip", "s3cret", root / "wrong"), 0);
    EXPECT_NE(Extract(root / "report.zip", "", root / "none"), 0);
    ASSERT_EQ(Extract(root / "report.zip", "r3port-only", root / "right"), 0);
    EXPECT_TRUE(std::filesystem::exists(root / "right/ZenWarnings.log"));
    EXPECT_TRUE(std::filesystem::exists(root / "right/ZenProgramsActivity.log"));
}

TEST_F(ZenctlMailTest, TheMachinesTlsSettingDecidesAboutASelfSignedServer) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "the mail encryption setting is root's; run as root";
    }
    // The test CA's own certificate is a self-signed one.
    const test::TestCertificates certificates = test::MakeTestCertificates(root.path());
    test::AiosmtpdServer server = StartServer({.mode = "starttls",
                                               .user = "anna",
                                               .password = "s3cret",
                                               .cert = certificates.caFile,
                                               .key = root / "ca.key"});
    UseAuthenticatedServer(server.port());
    const std::string conf = paths::ConfFile().string();
    std::filesystem::create_directories(paths::ConfFile().parent_path());

    // verify, the default: refused, and the answer names the setting.
    const test::ZenctlResult verify = test::Zenctl({"--password-file", admin, "mail", "test"});
    EXPECT_EQ(verify.code, 4);
    EXPECT_EQ(verify.out,
              "554 Transaction failed: server certificate not accepted: self-signed "
              "certificate. (smtp_tls=verify in " +
                  conf +
                  "; \"zenctl mail tls encrypt\" encrypts without checking the "
                  "certificate)\n");
    EXPECT_EQ(server.MessageCount(), 0);

    // encrypt: the same server is used, encrypted, with the password. The installation's
    // own lines stay.
    test::WriteAll(conf, "zeninst=1\nzenver=2.01\n");
    ASSERT_EQ(test::Zenctl({"mail", "tls", "encrypt"}).code, 0);
    EXPECT_EQ(test::ReadAll(conf), "zeninst=1\nzenver=2.01\nsmtp_tls=encrypt\n");
    const test::ZenctlResult encrypt = test::Zenctl({"--password-file", admin, "mail", "test"});
    EXPECT_EQ(encrypt.code, 0) << encrypt.out;
    ASSERT_EQ(server.MessageCount(), 1);
    EXPECT_EQ(server.Facts(1).find("tls")->second, "1");
    EXPECT_EQ(server.Facts(1).find("login")->second, "anna");

    // off: the password does not go in clear to a server that offers encryption.
    ASSERT_EQ(test::Zenctl({"mail", "tls", "off"}).code, 0);
    EXPECT_EQ(test::Zenctl({"mail", "tls"}).out, "off\n");
    const test::ZenctlResult off = test::Zenctl({"--password-file", admin, "mail", "test"});
    EXPECT_EQ(off.code, 4);
    EXPECT_EQ(off.out,
              "554 Transaction failed: the server offers encryption, which is switched off; the "
              "password is not sent in clear. (smtp_tls=off in " +
                  conf + ")\n");
    EXPECT_EQ(server.MessageCount(), 1);

    // A file that others could have written is not believed: verify again.
    std::filesystem::permissions(conf, std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::add);
    EXPECT_EQ(test::Zenctl({"mail", "tls"}).out, "verify\n");
}

TEST_F(ZenctlMailTest, AnAccountThatIsNotSetUpNamesWhatIsMissing) {
    EditOptions([](Options& options) { SetFieldText(options.SMTPServer, u"mail.example.org"); });
    const test::ZenctlResult mail = test::Zenctl({"mail", "test"});
    EXPECT_EQ(mail.code, 1);
    EXPECT_NE(mail.err.find("You must set up e-mail account settings"), std::string::npos);
    EXPECT_NE(mail.err.find("Missing: SMTPFrom (the sender), SMTPTo (the recipients)"),
              std::string::npos)
        << mail.err;
}

}  // namespace
}  // namespace zen
