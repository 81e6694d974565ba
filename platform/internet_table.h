#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/nftables.h"

namespace zen {

// The kernel's part of the Internet rules: table "inet zentimo", whose output chain sends the
// non-loopback traffic of each controlled account (by the socket's uid) through a chain of its
// own. A forbidden account's chain rejects everything (TCP with a reset, the rest with an ICMP
// "administratively prohibited", so programs fail at once); every account's chain ends in its
// named counter, so the counter sees only what really left.
struct AccountInternetRule {
    uid_t uid = 0;
    bool forbidden = false;
};

inline constexpr char kInternetTableName[] = "zentimo";

// Whether this process may keep the kernel's table: on the real root, or under another root
// (a test, a demo) only in the network namespace that KernelRulesNamespaceFile names by its
// inode number, never the machine's.
bool MayKeepKernelRules();
std::filesystem::path KernelRulesNamespaceFile();  // run/zentimo/netns (non-"/" roots only)

// The whole table for these accounts, as one transaction that replaces any table of the name.
std::string InternetTableText(std::span<const AccountInternetRule> accounts);

// The packets of each account's counter among the table's named counters.
std::map<uid_t, uint64_t> AccountCounters(const std::map<std::string, uint64_t>& named);

class InternetTable {
public:
    enum class Commit { Unchanged, Committed, Failed };

    // Commits the table for these accounts unless it is the one this object committed last;
    // a new table starts its counters at zero.
    Commit Replace(std::span<const AccountInternetRule> accounts);
    // The accounts' counters; nothing when the table cannot be read.
    std::optional<std::map<uid_t, uint64_t>> Counters();
    // Deletes the table, if there is one.
    bool Remove();
    // Whether a table of the name is in the kernel.
    bool Exists();
    // nft's words for the last failure.
    const std::string& LastError() const { return lastError_; }

private:
    Nftables nft_;
    std::string committed_;
    std::size_t committedAccounts_ = 0;
    std::string lastError_;
};

}  // namespace zen
