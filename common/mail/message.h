#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/mail/address.h"

namespace zen {

struct MailAttachment {
    std::string name;    // file name without folder
    std::string base64;  // the whole file, Base64 with line breaks
};

// Everything that goes into one message; the body is already normalised.
struct MailContent {
    MailAddress sender;
    std::vector<std::string> recipients;
    std::string subject;
    std::string body;
    std::vector<MailAttachment> attachments;
};

inline constexpr const char* kMailBoundary = "bounds=_ZenPart_0056_0_8_789432_mp";

// The header line that names an attachment's content type, chosen by the last four
// characters of its name.
const char* AttachmentContentType(const std::string& name);

// The DATA of the transaction, ended by the terminating "." line.
std::string BuildMessage(const MailContent& content, int64_t now);

}  // namespace zen
