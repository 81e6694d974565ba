#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace zen {

// The account of a uid as the system's own rules see it: on the real machine from the
// password database; under another root from that root's etc/passwd and etc/login.defs, so
// that a test defines an account without touching the machine.
struct ProcessAccount {
    std::string loginName;      // "" when the uid has no name
    bool uncontrolled = false;  // root, a system account (below UID_MIN) or nobody
};

ProcessAccount AccountOfUid(uid_t uid);

}  // namespace zen
