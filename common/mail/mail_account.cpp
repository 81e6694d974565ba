#include "common/mail/mail_account.h"

#include <string_view>

#include "platform/text.h"

namespace zen {

std::string MissingMailAccountFields(const Options& options) {
    std::string missing;
    const auto need = [&](bool given, std::string_view name) {
        if (!given) {
            missing.append(missing.empty() ? "" : ", ").append(name);
        }
    };
    need(!FieldText(options.SMTPServer).empty(), "SMTPServer (the server)");
    need(options.Port != 0, "Port");
    need(!FieldText(options.SMTPFrom).empty(), "SMTPFrom (the sender)");
    need(FieldText(options.SMTPTo).find_first_not_of(u",; \n\r\t") != std::u16string_view::npos,
         "SMTPTo (the recipients)");
    return missing;
}

}  // namespace zen
