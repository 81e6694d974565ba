#include "platform/internet_table.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <vector>

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

std::optional<uint64_t> NumberAfter(std::string_view text, std::string_view word) {
    const std::size_t at = text.find(word);
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    const char* first = text.data() + at + word.size();
    uint64_t value = 0;
    if (std::from_chars(first, text.data() + text.size(), value).ec != std::errc{}) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

bool MayKeepKernelRules() {
    if (RootIsSystem()) {
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

std::map<uid_t, uint64_t> ParseAccountCounters(std::string_view listing) {
    // counter u1001 {
    //         packets 12 bytes 3456
    // }
    std::map<uid_t, uint64_t> counters;
    constexpr std::string_view kCounter = "counter u";
    for (std::size_t at = listing.find(kCounter); at != std::string_view::npos;
         at = listing.find(kCounter, at + 1)) {
        const std::string_view rest = listing.substr(at + kCounter.size());
        uid_t uid = 0;
        const auto parsed = std::from_chars(rest.data(), rest.data() + rest.size(), uid);
        if (parsed.ec != std::errc{}) {
            continue;
        }
        const std::string_view body = rest.substr(0, rest.find('}'));
        if (const auto packets = NumberAfter(body, "packets ")) {
            counters[uid] = *packets;
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
        return Commit::Failed;
    }
    committed_ = std::move(text);
    return Commit::Committed;
}

std::optional<std::map<uid_t, uint64_t>> InternetTable::Counters() {
    const Nftables::Result result =
        nft_.Run(std::string("list counters table inet ") + kInternetTableName);
    if (!result.ok) {
        // Someone deleted the table: the next Replace puts it back.
        lastError_ = result.error;
        committed_.clear();
        return std::nullopt;
    }
    return ParseAccountCounters(result.output);
}

bool InternetTable::Remove() {
    const Nftables::Result result = nft_.Run(ReplacingPrologue());
    committed_.clear();
    if (!result.ok) {
        lastError_ = result.error;
    }
    return result.ok;
}

}  // namespace zen
