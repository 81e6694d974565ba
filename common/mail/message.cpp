#include "common/mail/message.h"

#include <algorithm>
#include <string_view>

#include "common/mail/mail_date.h"

namespace zen {
namespace {

constexpr std::string_view kAsciiBodyHeader =
    "Content-type: text/plain; charset=iso-8859-1\r\nContent-transfer-encoding: 7BIT\r\n\r\n";
// Callers hand over UTF-8; a body beyond ASCII must say so or it arrives garbled.
constexpr std::string_view kUtf8BodyHeader =
    "Content-type: text/plain; charset=utf-8\r\nContent-transfer-encoding: 8BIT\r\n\r\n";
constexpr std::string_view kUtf8SingleHeaders =
    "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\n"
    "Content-Transfer-Encoding: 8bit\r\n";

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

void AppendSender(std::string& out, const MailAddress& sender) {
    out += "From: " + sender.address;
    if (!sender.name.empty()) {
        out += " (" + sender.name + ") ";
    }
    out += "\r\nReply-To: " + sender.address + "\r\n";
}

void AppendRecipients(std::string& out, const std::vector<std::string>& recipients) {
    if (recipients.empty()) {
        return;
    }
    out += "To: ";
    for (std::size_t i = 0; i < recipients.size(); ++i) {
        out += (i > 0 ? ",\r\n " : "") + recipients[i];
    }
    out += "\r\n";
}

void AppendMultipart(std::string& out, const MailContent& content) {
    const std::string boundary = kMailBoundary;
    out += "This is a MIME encapsulated message\r\n\r\n--" + boundary + "\r\n";
    out += IsAscii(content.body) ? kAsciiBodyHeader : kUtf8BodyHeader;
    out += content.body;
    out += "\r\n\r\n--" + boundary + "\r\n";
    for (std::size_t i = 0; i < content.attachments.size(); ++i) {
        const MailAttachment& attachment = content.attachments[i];
        out += AttachmentContentType(attachment.name);
        out += "\tname=\"" + attachment.name + "\"\r\n";
        out += "Content-Transfer-Encoding: base64\r\n";
        out += "Content-Disposition: attachment; filename=\"" + attachment.name + "\"\r\n\r\n";
        out += attachment.base64;
        const bool last = i + 1 == content.attachments.size();
        out += "\r\n\r\n--" + boundary + (last ? "--\r\n" : "\r\n");
    }
}

}  // namespace

const char* AttachmentContentType(const std::string& name) {
    static constexpr std::pair<std::string_view, const char*> kTypes[] = {
        {".gif", "Content-Type: image/gif;\r\n"},
        {".jpg", "Content-Type: image/jpg;\r\n"},
        {"jpeg", "Content-Type: image/jpg;\r\n"},
        {".txt", "Content-Type: plain/txt;\r\n"},
        {".bmp", "Content-Type: image/bmp;\r\n"},
        {".htm", "Content-Type: plain/htm;\r\n"},
        {"html", "Content-Type: plain/htm;\r\n"},
        {".png", "Content-Type: image/png;\r\n"},
        {".exe", "Content-Type: application/X-exectype-1;\r\n"},
    };
    const std::string_view tail =
        std::string_view(name).substr(name.size() < 4 ? 0 : name.size() - 4);
    for (const auto& [suffix, header] : kTypes) {
        if (tail == suffix) {
            return header;
        }
    }
    return "Content-Type: application/X-other-1;\r\n";
}

std::string BuildMessage(const MailContent& content, int64_t now) {
    std::string out;
    AppendSender(out, content.sender);
    AppendRecipients(out, content.recipients);
    const bool multipart = !content.attachments.empty();
    if (multipart) {
        out += "MIME-Version: 1.0\r\nContent-Type: multipart/mixed;\r\n\tboundary=\"" +
               std::string(kMailBoundary) + "\"\r\n";
    } else if (!IsAscii(content.body)) {
        out += kUtf8SingleHeaders;
    }
    out += "Date: " + MailDate(now) + "\r\n";
    out += "Subject: " + content.subject + "\r\n\r\n";
    if (multipart) {
        AppendMultipart(out, content);
    } else {
        out += content.body;
    }
    out += "\r\n.\r\n";
    return out;
}

}  // namespace zen
