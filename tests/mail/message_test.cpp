#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "common/mail/body.h"
#include "common/mail/mail_date.h"
#include "common/mail/message.h"

namespace zen {
namespace {

constexpr int64_t kJuly2024 = 1720184589;     // 2024-07-05 13:03:09 UTC
constexpr int64_t kJanuary2009 = 1230865445;  // 2009-01-02 03:04:05 UTC

// Sets TZ for one test and puts the previous zone back afterwards.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* previous = std::getenv("TZ")) {
            previous_ = previous;
            hadPrevious_ = true;
        }
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ScopedTimeZone() {
        if (hadPrevious_) {
            ::setenv("TZ", previous_.c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }

private:
    std::string previous_;
    bool hadPrevious_ = false;
};

MailContent Warning() {
    MailContent content;
    content.sender = {"Parent", "parent@example.org"};
    content.recipients = {"a@example.org", "b@example.org"};
    content.subject = "Zentimo warning message";
    content.body = NormalizeBody("Description: The disk /media/usb has been disabled.");
    return content;
}

TEST(MailDateHeader, UsesLocalTimeAndTheStandardOffsetInWholeHours) {
    const struct {
        const char* zone;
        int64_t moment;
        std::string expected;
    } cases[] = {
        {"EST5EDT", kJuly2024, "05 Jul 24 09:03:09 -0500"},  // daylight time, standard offset
        {"EST5EDT", kJanuary2009, "01 Jan 09 22:04:05 -0500"},
        {"CET-1CEST", kJuly2024, "05 Jul 24 15:03:09 0100"},
        {"UTC0", kJuly2024, "05 Jul 24 13:03:09 0000"},
        {"IST-5:30", kJuly2024, "05 Jul 24 18:33:09 0500"},
        {"NZST-12NZDT,M9.5.0,M4.1.0/3", kJuly2024, "06 Jul 24 01:03:09 1200"},
    };
    for (const auto& c : cases) {
        ScopedTimeZone zone(c.zone);
        EXPECT_EQ(MailDate(c.moment), c.expected) << c.zone;
    }
}

TEST(MailLayout, PlainMessageHasNoMimeHeaders) {
    ScopedTimeZone zone("EST5EDT");
    EXPECT_EQ(BuildMessage(Warning(), kJuly2024),
              "From: parent@example.org (Parent) \r\nReply-To: parent@example.org\r\n"
              "To: a@example.org,\r\n b@example.org\r\n"
              "Date: 05 Jul 24 09:03:09 -0500\r\n"
              "Subject: Zentimo warning message\r\n\r\n"
              "Description: The disk /media/usb has been disabled."
              "\r\n.\r\n");
}

TEST(MailLayout, AttachmentsMakeAMultipartMessage) {
    ScopedTimeZone zone("CET-1CEST");
    MailContent content = Warning();
    content.sender = {"", "parent@example.org"};
    content.recipients = {"a@example.org"};
    content.subject = "Automated daily report";
    content.body = NormalizeBody("Automated daily report\r\nUser: anna\r\n Computer: den");
    content.attachments = {{"dreport.zip", "QUJD"}, {"notes.txt", "eA=="}};
    EXPECT_EQ(BuildMessage(content, kJuly2024),
              "From: parent@example.org\r\nReply-To: parent@example.org\r\n"
              "To: a@example.org\r\n"
              "MIME-Version: 1.0\r\nContent-Type: multipart/mixed;\r\n"
              "\tboundary=\"bounds=_ZenPart_0056_0_8_789432_mp\"\r\n"
              "Date: 05 Jul 24 15:03:09 0100\r\n"
              "Subject: Automated daily report\r\n\r\n"
              "This is a MIME encapsulated message\r\n\r\n"
              "--bounds=_ZenPart_0056_0_8_789432_mp\r\n"
              "Content-type: text/plain; charset=iso-8859-1\r\n"
              "Content-transfer-encoding: 7BIT\r\n\r\n"
              "Automated daily report\r\nUser: anna\r\n Computer: den"
              "\r\n\r\n--bounds=_ZenPart_0056_0_8_789432_mp\r\n"
              "Content-Type: application/X-other-1;\r\n"
              "\tname=\"dreport.zip\"\r\n"
              "Content-Transfer-Encoding: base64\r\n"
              "Content-Disposition: attachment; filename=\"dreport.zip\"\r\n\r\n"
              "QUJD"
              "\r\n\r\n--bounds=_ZenPart_0056_0_8_789432_mp\r\n"
              "Content-Type: plain/txt;\r\n"
              "\tname=\"notes.txt\"\r\n"
              "Content-Transfer-Encoding: base64\r\n"
              "Content-Disposition: attachment; filename=\"notes.txt\"\r\n\r\n"
              "eA=="
              "\r\n\r\n--bounds=_ZenPart_0056_0_8_789432_mp--\r\n"
              "\r\n.\r\n");
}

TEST(MailLayout, BodyBeyondAsciiIsLabelledUtf8) {
    ScopedTimeZone zone("UTC0");
    MailContent content = Warning();
    content.body = "Benutzer: J\xc3\xbcrgen";
    const std::string plain = BuildMessage(content, kJuly2024);
    EXPECT_NE(plain.find("To: a@example.org,\r\n b@example.org\r\n"
                         "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\n"
                         "Content-Transfer-Encoding: 8bit\r\nDate: "),
              std::string::npos)
        << plain;
    content.attachments = {{"a.txt", "eA=="}};
    const std::string multipart = BuildMessage(content, kJuly2024);
    EXPECT_NE(multipart.find("Content-type: text/plain; charset=utf-8\r\n"
                             "Content-transfer-encoding: 8BIT\r\n\r\nBenutzer: J\xc3\xbcrgen"),
              std::string::npos)
        << multipart;
}

TEST(MailLayout, ContentTypeFollowsTheLastFourCharacters) {
    const std::pair<std::string, std::string> cases[] = {
        {"a.gif", "image/gif;"},
        {"a.jpg", "image/jpg;"},
        {"a.jpeg", "image/jpg;"},
        {"a.txt", "plain/txt;"},
        {"a.bmp", "image/bmp;"},
        {"a.htm", "plain/htm;"},
        {"a.html", "plain/htm;"},
        {"a.png", "image/png;"},
        {"a.exe", "application/X-exectype-1;"},
        {"a.zip", "application/X-other-1;"},
        {"a.TXT", "application/X-other-1;"},
        {"txt", "application/X-other-1;"},
        {"", "application/X-other-1;"},
    };
    for (const auto& [name, type] : cases) {
        EXPECT_EQ(AttachmentContentType(name), "Content-Type: " + type + "\r\n") << name;
    }
}

}  // namespace
}  // namespace zen
