#pragma once

// Another account for the tests that attack the service: a uid that only the test root's
// etc/passwd names. Turning into it needs root.
#include <grp.h>
#include <unistd.h>

#include <string>

#include "support/temp_root.h"

namespace zen::test {

inline constexpr uid_t kKid = 1500;
inline constexpr char kKidName[] = "kid";

// Names the account in the test root and lets it reach the root's shared directories.
inline void AddKidAccount(const TempRoot& root) {
    WriteAll(root / "etc/passwd", std::string(kKidName) + ":x:1500:1500::/:/bin/false\n");
    ::chmod(root.path().c_str(), 0755);
}

// Turns this process into the kid for good; false when it cannot.
inline bool BecomeKid() {
    return ::setgroups(0, nullptr) == 0 && ::setresgid(kKid, kKid, kKid) == 0 &&
           ::setresuid(kKid, kKid, kKid) == 0;
}

}  // namespace zen::test
