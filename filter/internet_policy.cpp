#include "filter/internet_policy.h"

#include "common/db/access.h"
#include "common/db/checksum.h"
#include "common/db/log_records.h"
#include "common/db/messages.h"
#include "filter/filter_texts.h"
#include "platform/clock.h"
#include "platform/process_account.h"
#include "platform/text.h"

namespace zen::filter {
namespace {

constexpr uint32_t kTimetableCode = 7;
constexpr uint32_t kDailyLimitCode = 11;
constexpr int64_t kWarningInterval = 5;

// A program every account may use at any time (the system's own and what sessions stand on):
// an entry without owner under the program's exact key.
bool IsExempt(CustomsTable& customs, std::u16string_view path, uint32_t checksum) {
    FastCustomRecord key{};
    key.Mode = kTrustedMode;
    SetFieldText(key.szVal, path);
    key.dwVal = checksum;
    return customs.Find(key) == 1;
}

}  // namespace

InternetPolicy::InternetPolicy(const ProcessIdentity& identity) {
    const ProcessAccount account = AccountOfUid(identity.effectiveUid);
    if (account.uncontrolled) {
        uncontrolled_ = true;
        return;
    }
    userName_ = Utf8ToUtf16(account.loginName);
    executable_ = Utf8ToUtf16(identity.executable.string());
    auto db = std::make_unique<CDBManager>();
    if (db->Init(false) != 1) {
        return;
    }
    db->SetCurrentUserName(userName_);
    db->SetCurrentUser();
    checksum_ = CheckSum(identity.executable);
    // Only the system-wide entries exempt a process for good; a group's entry is read at every
    // check, so that its own timetable and later edits count.
    exemptProgram_ = IsExempt(db->Customs(), executable_, checksum_);
    db_ = std::move(db);
}

void InternetPolicy::StopFollowingForExit() {
    if (db_ && ::getpid() == opener_) {
        // Long enough for a reload in progress, short enough not to hold an exit up.
        db_->StopFollowingForExit(std::chrono::milliseconds(200));
    }
}

InternetPolicy::~InternetPolicy() = default;

InternetPolicy::Gate InternetPolicy::AccessCheckGate(bool report, FastUsersRecord& rules) {
    if (uncontrolled_ || exemptProgram_) {
        return Gate::NotEnforced;
    }
    if (!db_) {
        return Gate::RefusedQuietly;
    }
    bool clockLock = false;
    {
        // Also the barrier that waits for a writer of the rules in progress.
        LockedOptions options = db_->LockOptions();
        rules = db_->CurrentRulesCopy();
        clockLock = options->clockLock != 0;
    }
    if (rules.Disable != 0) {
        return Gate::NotEnforced;
    }
    if (!clockLock) {
        return Gate::Evaluate;
    }
    if (report) {
        BlockSocket(AsctimeText(Now()), kClockChangedReason, kTimetableCode);
    }
    return Gate::Refused;
}

std::optional<Verdict> InternetPolicy::GateVerdict(FastUsersRecord& rules) {
    switch (AccessCheckGate(true, rules)) {
        case Gate::NotEnforced:
            return Verdict::Pass;
        case Gate::Refused:
            return Verdict::Refuse;
        case Gate::RefusedQuietly:
            return Verdict::RefuseQuietly;
        case Gate::Evaluate:
            break;
    }
    return std::nullopt;
}

Verdict InternetPolicy::TimetableCheck() {
    return Remembered(timetablePassed_, [this] { return EvaluateTimetable(); });
}

Verdict InternetPolicy::DailyLimitCheck() {
    return Remembered(dailyLimitPassed_, [this] { return EvaluateDailyLimit(); });
}

template <typename Evaluate>
Verdict InternetPolicy::Remembered(std::atomic<int64_t>& passedIn, Evaluate evaluate) {
    const int64_t second = Now();
    if (passedIn.load(std::memory_order_relaxed) == second) {
        return Verdict::Pass;
    }
    const Verdict verdict = evaluate();
    if (verdict == Verdict::Pass) {
        passedIn.store(second, std::memory_order_relaxed);
    }
    return verdict;
}

Verdict InternetPolicy::EvaluateTimetable() {
    FastUsersRecord rules;
    if (const auto verdict = GateVerdict(rules)) {
        return *verdict;
    }
    // The clock lock has been dealt with by the gate.
    if (InternetAllowedNow(rules, false, db_->Customs(), executable_, checksum_)) {
        return Verdict::Pass;
    }
    return BlockSocket(FilterText(kTimetableDescription), kTimetableReason, kTimetableCode);
}

Verdict InternetPolicy::EvaluateDailyLimit() {
    FastUsersRecord rules;
    if (const auto verdict = GateVerdict(rules)) {
        return *verdict;
    }
    // A program listed for the group is not held to the group's daily limit.
    if (FindProgramEntry(db_->Customs(), kTrustedMode, FieldText(rules.name), executable_,
                         checksum_)) {
        return Verdict::Pass;
    }
    if (userName_.empty()) {
        return Verdict::Pass;
    }
    return ZenCheckTimeLimits();
}

Verdict InternetPolicy::ZenCheckTimeLimits() {
    const DailyLimitResult result = CheckGroupDailyLimit(
        db_->Users(), db_->StateMutex(), userName_, Category::Internet, kCheckLimitsUserIsGroup);
    if (!result.reached) {
        return Verdict::Pass;
    }
    return BlockSocket(OnlineTodayText(result.minutesUsed), kDailyLimitReason, kDailyLimitCode);
}

Verdict InternetPolicy::BlockSocket(std::u16string_view description, int reasonTextId,
                                    uint32_t code) {
    const int64_t now = Now();
    AddMessage(*db_, FilterText(kAccessRestricted), static_cast<uint32_t>(now));
    // One warning record per process every 5 s; two racing threads at worst write one more.
    int64_t last = lastWarning_.load();
    if (now - last > kWarningInterval && lastWarning_.compare_exchange_strong(last, now)) {
        AddWarning(*db_, description, executable_, code, FilterText(reasonTextId));
    }
    return Verdict::Refuse;
}

}  // namespace zen::filter
