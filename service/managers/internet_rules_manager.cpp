#include "service/managers/internet_rules_manager.h"

#include <vector>

#include "common/db/access.h"
#include "common/db/db_manager.h"
#include "common/db/error_log.h"
#include "common/db/log_records.h"
#include "common/db/rules_model.h"

namespace zen {
namespace {

constexpr uint32_t kInternetWarningKind = 7;
constexpr char16_t kUnavailableText[] =
    u"The kernel's packet filter (nf_tables) is not available: only the preloaded library "
    u"keeps the Internet rules";

bool CountsInternetMinutes(const FastUsersRecord& group) {
    return group.limits[RulesOf(Category::Internet).slot].enable != 0;
}

}  // namespace

CInternetRulesManager::CInternetRulesManager(CDBManager& db)
    : db_(db), enabled_(MayKeepKernelRules()) {}

std::unique_ptr<CManager> CInternetRulesManager::Create(CDBManager& db, SystemActions&) {
    return std::make_unique<CInternetRulesManager>(db);
}

int CInternetRulesManager::Start() {
    Apply(false);
    return 1;
}

void CInternetRulesManager::Tick() {
    Apply(true);
}

int CInternetRulesManager::ReleaseAll() {
    SetKernelCountsInternetMinutes(false);
    if (!enabled_) {
        return 1;
    }
    RemoveKernelRulesState();
    published_.reset();
    return table_.Remove() ? 1 : 0;
}

void CInternetRulesManager::Apply(bool countMinutes) {
    if (!enabled_) {
        return;
    }
    const std::vector<ControlledAccount> accounts = ControlledAccounts(db_, PersonAccountIds());
    if (countMinutes) {
        CountMinutes(accounts);
    }
    const bool clockLock = db_.OptionsCopy().clockLock != 0;
    std::vector<AccountInternetRule> rules;
    rules.reserve(accounts.size());
    KernelRulesState state;
    for (const ControlledAccount& account : accounts) {
        const bool forbidden = InternetForbiddenNow(db_, account, clockLock);
        rules.push_back({account.uid, forbidden});
        state.forbidden[account.uid] = forbidden;
    }
    switch (table_.Replace(rules)) {
        case InternetTable::Commit::Committed:
            // A new table counts from zero.
            packets_.clear();
            state.available = true;
            break;
        case InternetTable::Commit::Unchanged:
            state.available = true;
            break;
        case InternetTable::Commit::Failed:
            SayUnavailable();
            break;
    }
    SetKernelCountsInternetMinutes(state.available);
    Publish(state);
}

// A minute is counted for an account whose counter grew since the last tick: it sent
// non-loopback traffic that the kernel let out. The filter's counting may have counted the
// same minute: both count against the same last-counted moment under the state mutex.
void CInternetRulesManager::CountMinutes(std::span<const ControlledAccount> accounts) {
    std::optional<std::map<uid_t, uint64_t>> counters = table_.Counters();
    if (!counters) {
        return;
    }
    for (const ControlledAccount& account : accounts) {
        const auto now = counters->find(account.uid);
        if (now == counters->end() || !CountsInternetMinutes(account.group)) {
            continue;
        }
        const auto before = packets_.find(account.uid);
        // A used-up limit counts no more: the rule about to be set refuses the traffic.
        if (now->second > (before == packets_.end() ? 0 : before->second) &&
            !DailyLimitUsedUp(db_.StateMutex(), account.group, account.user, Category::Internet)) {
            CountKernelMinute(db_.StateMutex(), account.user, Category::Internet);
        }
    }
    packets_ = std::move(*counters);
}

void CInternetRulesManager::SayUnavailable() {
    if (unavailableSaid_) {
        return;
    }
    unavailableSaid_ = true;
    LogError("Internet rules in the kernel: nf_tables refused the table: %s",
             table_.LastError().c_str());
    AddWarning(db_, kUnavailableText, u"zensvc", kInternetWarningKind, u"nf_tables");
}

void CInternetRulesManager::Publish(const KernelRulesState& state) {
    if (published_ != state && WriteKernelRulesState(state)) {
        published_ = state;
    }
}

}  // namespace zen
