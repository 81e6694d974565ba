#include "platform/internet_table.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <vector>

#include "platform/nft_counters.h"
#include "platform/root.h"

namespace zen {
namespace {

std::string AccountName(uid_t uid) {
    return "u" + std::to_string(uid);
}

// "add" makes the table when there is none, so that "delete" never fails: the pair empties
// any earlier table in the same transaction that defines the new one.
std::string ReplacingPrologue() {
    const std::string table = std::string("inet ") + kInternetTableName;
    return "add table " + table + "\ndelete table " + table + "\n";
}

std::vector<AccountInternetRule> Sorted(std::span<const AccountInternetRule> accounts) {
    std::vector<AccountInternetRule> sorted(accounts.begin(), accounts.end());
    std::ranges::sort(sorted, {}, &AccountInternetRule::uid);
    const auto repeated = std::ranges::unique(sorted, {}, &AccountInternetRule::uid);
    sorted.erase(repeated.begin(), repeated.end());
    return sorted;
}

}  // namespace

bool MayKeepKernelRules() {
    if (Env().onMachine) {
        return true;
    }
    // Another root names the one namespace it made for the rules: the machine's own never
    // gets them, whatever the machine lets a process see of its other namespaces.
    std::ifstream named(KernelRulesNamespaceFile());
    ino_t allowed = 0;
    struct stat own {};
    return named >> allowed && ::stat("/proc/self/ns/net", &own) == 0 && own.st_ino == allowed;
}

std::filesystem::path KernelRulesNamespaceFile() {
    return paths::RunDir() / "netns";
}

std::string InternetTableText(std::span<const AccountInternetRule> accounts) {
    const std::vector<AccountInternetRule> sorted = Sorted(accounts);
    std::string text = ReplacingPrologue();
    text += std::string("table inet ") + kInternetTableName + " {\n";
    std::string verdicts;
    for (const AccountInternetRule& account : sorted) {
        const std::string name = AccountName(account.uid);
        text += "\tcounter " + name + " {\n\t}\n\tchain " + name + " {\n";
        if (account.forbidden) {
            text += "\t\tmeta l4proto tcp reject with tcp reset\n";
            text += "\t\treject with icmpx admin-prohibited\n";
        }
        text += "\t\tcounter name \"" + name + "\"\n\t}\n";
        verdicts +=
            (verdicts.empty() ? "" : ", ") + std::to_string(account.uid) + " : jump " + name;
    }
    // Loopback is not the Internet: desktops, local servers and the service itself use it.
    text += "\tchain output {\n\t\ttype filter hook output priority filter; policy accept;\n";
    text += "\t\toif \"lo\" return\n";
    if (!verdicts.empty()) {
        text += "\t\tmeta skuid vmap { " + verdicts + " }\n";
    }
    text += "\t}\n}\n";
    return text;
}

std::map<uid_t, uint64_t> AccountCounters(const std::map<std::string, uint64_t>& named) {
    std::map<uid_t, uint64_t> counters;
    for (const auto& [name, packets] : named) {
        uid_t uid = 0;
        const char* last = name.data() + name.size();
        if (name.size() > 1 && name[0] == 'u' &&
            std::from_chars(name.data() + 1, last, uid) == std::from_chars_result{last, {}}) {
            counters[uid] = packets;
        }
    }
    return counters;
}

InternetTable::Commit InternetTable::Replace(std::span<const AccountInternetRule> accounts) {
    std::string text = InternetTableText(accounts);
    if (text == committed_) {
        return Commit::Unchanged;
    }
    const Nftables::Result result = nft_.Run(text);
    if (!result.ok) {
        lastError_ = result.error;
        committed_.clear();
        committedAccounts_ = 0;
        return Commit::Failed;
    }
    committed_ = std::move(text);
    committedAccounts_ = accounts.size();
    return Commit::Committed;
}

std::optional<std::map<uid_t, uint64_t>> InternetTable::Counters() {
    const auto named = ReadInetTableCounters(kInternetTableName);
    // The dump of a table that is not there is empty.
    if (!named || (named->empty() && committedAccounts_ != 0)) {
        // Someone deleted the table: the next Replace puts it back.
        lastError_ = "the table's counters cannot be read";
        committed_.clear();
        return std::nullopt;
    }
    return AccountCounters(*named);
}

bool InternetTable::Exists() {
    return nft_.Run(std::string("list table inet ") + kInternetTableName).ok;
}

bool InternetTable::Remove() {
    const Nftables::Result result = nft_.Run(ReplacingPrologue());
    committed_.clear();
    committedAccounts_ = 0;
    if (!result.ok) {
        lastError_ = result.error;
    }
    return result.ok;
}

}  // namespace zen
