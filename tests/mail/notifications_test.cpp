#include <string>
#include <vector>

#include "common/mail/notifications.h"
#include "mail/mail_db_fixture.h"

namespace zen {
namespace {

using test::AiosmtpdServer;

// Each case starts far from the others, so the process-wide notification time of one case
// never holds back the next.
constexpr int64_t kBase = 1'720'000'000;

using NotificationTest = test::MailDbTest;

std::vector<std::string> Recipients(const AiosmtpdServer& server, int number) {
    std::vector<std::string> recipients;
    const auto facts = server.Facts(number);
    for (auto [it, end] = facts.equal_range("rcpt"); it != end; ++it) {
        recipients.push_back(it->second);
    }
    return recipients;
}

TEST_F(NotificationTest, RecipientsAreSplitAtEverySeparator) {
    struct Case {
        std::u16string to;
        std::vector<std::string> recipients;
        std::string response;  // its beginning
    };
    const Case cases[] = {
        {u"a@x;b@x, c@x", {"a@x", "b@x", "c@x"}, "250 "},
        {u"a@x\r\n\tb@x  c@x;", {"a@x", "b@x", "c@x"}, "250 "},
        {u",,,", {}, "451 Requested action aborted: local error who am I mailing"},
    };
    AiosmtpdServer server = StartServer();
    int sent = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.to));
        UseServer(server.port(), c.to);
        std::string response;
        EXPECT_EQ(SendMail(db, nullptr, u"Subject", u"Body", &response), 1);
        EXPECT_EQ(response.substr(0, c.response.size()), c.response);
        if (!c.recipients.empty()) {
            ASSERT_EQ(server.MessageCount(), ++sent);
            EXPECT_EQ(Recipients(server, sent), c.recipients);
        }
    }
    EXPECT_EQ(server.MessageCount(), 2);
}

TEST_F(NotificationTest, ATextThatCannotBeConvertedIsSentAsNothing) {
    AiosmtpdServer server = StartServer();
    UseServer(server.port());
    // A lone surrogate in the sender: no sender address at all, rather than a garbled one.
    EditOptions([](Options& options) { SetFieldText(options.SMTPFrom, u"me\xD800@example.org"); });
    std::string response;
    EXPECT_EQ(SendMail(db, nullptr, u"Subject", u"Body", &response), 1);
    EXPECT_EQ(response, "451 Requested action aborted: local error who am I");
    EXPECT_EQ(server.MessageCount(), 0);
}

TEST_F(NotificationTest, CredentialsOnlyWithAuthenticationAndAnAccountName) {
    struct Case {
        uint32_t enable;
        std::u16string name;
        std::string login;  // as the server saw it; empty: no AUTH
    };
    const Case cases[] = {
        {1, u"parent", "parent"},
        {1, u"", ""},
        {0, u"parent", ""},
    };
    AiosmtpdServer::Options account;
    account.user = "parent";
    account.password = "secret";
    AiosmtpdServer server = StartServer(account);
    UseServer(server.port());
    int sent = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.name) + " enable=" + std::to_string(c.enable));
        EditOptions([&](Options& options) {
            options.EnableServerAuthentication = c.enable;
            SetFieldText(options.EMailName, c.name);
            SetFieldText(options.serverPassword, u"secret");
        });
        std::string response;
        SendMail(db, nullptr, u"Subject", u"Body", &response);
        EXPECT_EQ(response.substr(0, 4), "250 ");
        ASSERT_EQ(server.MessageCount(), ++sent);
        EXPECT_EQ(server.Facts(sent).find("login")->second, c.login);
    }
}

TEST_F(NotificationTest, AtMostOneNotificationIn15Seconds) {
    struct Case {
        int64_t gap;  // seconds between two notifications
        int mails;
    };
    const Case cases[] = {{10, 1}, {15, 1}, {16, 2}, {-3600, 2}};
    AiosmtpdServer server = StartServer();
    UseServer(server.port());
    int sent = 0;
    int64_t start = kBase;
    for (const Case& c : cases) {
        SCOPED_TRACE("gap " + std::to_string(c.gap));
        start += 100'000;
        SetNowForTesting(start);
        EXPECT_EQ(SendNotification(db, u"The disk /media/usb has been enabled."), 1);
        SetNowForTesting(start + c.gap);
        EXPECT_EQ(SendNotification(db, u"The disk /media/usb has been disabled."),
                  c.mails == 2 ? 1 : 0);
        sent += c.mails;
        ASSERT_EQ(server.MessageCount(), sent);
    }
    const std::string mail = server.Message(1);
    EXPECT_NE(mail.find("Subject: Zentimo warning message\r\n\r\n"
                        "Description: The disk /media/usb has been enabled.\r\n"),
              std::string::npos)
        << mail;
}

}  // namespace
}  // namespace zen
