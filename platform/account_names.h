#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

namespace zen {

// Login names and never-controlled flags by uid, for passes over hundreds of processes owned by
// a handful of accounts. Everything is asked again once the password file under the root
// changes, and at least every minute for accounts that come from elsewhere (directories).
class AccountNames {
public:
    struct Account {
        std::optional<std::string> name;  // nothing when the uid has no name
        bool system = false;              // root, a system account, or nobody
    };

    // Call once before each pass.
    void Refresh(int64_t now);
    const Account& Of(uid_t uid);

private:
    struct FileState {
        int64_t inode = 0, size = 0, mtimeNs = 0;
        bool operator==(const FileState&) const = default;
    };

    std::unordered_map<uid_t, Account> known_;
    FileState passwd_;
    int64_t filledAt_ = 0;
};

}  // namespace zen
