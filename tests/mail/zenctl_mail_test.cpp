#include "common/db/options_file.h"
#include "common/db/rules_model.h"
#include "mail/mail_db_fixture.h"
#include "zenctl/zenctl_runner.h"

namespace zen {
namespace {

using ZenctlMailTest = test::MailDbTest;

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

}  // namespace
}  // namespace zen
