#include "platform/account_names.h"

#include <sys/stat.h>

#include "platform/accounts.h"
#include "platform/root.h"

namespace zen {
namespace {

constexpr int64_t kLongestKeptSeconds = 60;

}  // namespace

void AccountNames::Refresh(int64_t now) {
    struct stat status {};
    FileState state;
    if (::stat((Root() / "etc/passwd").c_str(), &status) == 0) {
        state = {static_cast<int64_t>(status.st_ino), static_cast<int64_t>(status.st_size),
                 status.st_mtim.tv_sec * 1'000'000'000 + status.st_mtim.tv_nsec};
    }
    if (state != passwd_ || now < filledAt_ || now - filledAt_ >= kLongestKeptSeconds) {
        known_.clear();
        passwd_ = state;
        filledAt_ = now;
    }
}

const AccountNames::Account& AccountNames::Of(uid_t uid) {
    auto found = known_.find(uid);
    if (found == known_.end()) {
        found = known_.emplace(uid, Account{LoginNameOf(uid), IsSystemAccount(uid)}).first;
    }
    return found->second;
}

}  // namespace zen
