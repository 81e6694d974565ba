#pragma once

#include <string>

#include "common/db/records.h"

namespace zen {

// The fields the outgoing-mail account still needs before a mail can go, as a list for the
// administrator ("" when it is set up): the server, a port other than 0 (which reaches no
// server), the sender and at least one recipient.
std::string MissingMailAccountFields(const Options& options);

inline bool MailAccountSetUp(const Options& options) {
    return MissingMailAccountFields(options).empty();
}

}  // namespace zen
