#include "filter/policy_entry.h"

#include <sched.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <vector>

#include "filter/internet_policy.h"
#include "platform/clock.h"

namespace zen::filter {
namespace {

std::atomic<InternetPolicy*> currentPolicy{nullptr};
std::atomic_flag opening = ATOMIC_FLAG_INIT;

// Every policy opened in this process, kept to the end: the policy is never destroyed, as an
// exiting process must not wait for the rules' watcher thread, and a forked child abandons
// its parent's copy rather than destroying it.
std::vector<std::unique_ptr<InternetPolicy>>& OpenedPolicies() {
    static auto* opened = new std::vector<std::unique_ptr<InternetPolicy>>;
    return *opened;
}

// An exiting process tears its libraries down (OpenSSL's among them) while the rules' watcher
// may still be following a change: every policy stops following first. Registered once the
// first policy exists, after the program's own libraries registered theirs, so it runs before
// them.
void StopFollowingAtExit() {
    for (const auto& policy : OpenedPolicies()) {
        policy->StopFollowingForExit();
    }
}

ProcessIdentity ThisProcess() {
    ProcessIdentity identity;
    identity.effectiveUid = ::geteuid();
    std::error_code error;
    identity.executable = std::filesystem::read_symlink("/proc/self/exe", error);
    return identity;
}

InternetPolicy& ProcessPolicy() {
    if (InternetPolicy* policy = currentPolicy.load(std::memory_order_acquire)) {
        return *policy;
    }
    while (opening.test_and_set(std::memory_order_acquire)) {
        ::sched_yield();
    }
    InternetPolicy* policy = currentPolicy.load(std::memory_order_acquire);
    if (policy == nullptr) {
        // The program's own clock and zone are the child's to fake: the rules go by the
        // machine's.
        FollowSystemClockAndZone();
        auto opened = std::make_unique<InternetPolicy>(ThisProcess());
        policy = opened.get();
        if (OpenedPolicies().empty()) {
            std::atexit(StopFollowingAtExit);
        }
        OpenedPolicies().push_back(std::move(opened));
        currentPolicy.store(policy, std::memory_order_release);
    }
    opening.clear(std::memory_order_release);
    return *policy;
}

}  // namespace
}  // namespace zen::filter

using namespace zen::filter;

extern "C" __attribute__((visibility("default"))) int zensp_rules_check(int dailyLimit) {
    InternetPolicy& policy = ProcessPolicy();
    if (dailyLimit != 0) {
        if (const Verdict verdict = policy.DailyLimitCheck(); verdict != Verdict::Pass) {
            return static_cast<int>(verdict);
        }
    }
    return static_cast<int>(policy.TimetableCheck());
}

extern "C" __attribute__((visibility("default"))) void zensp_rules_reopen() {
    currentPolicy.store(nullptr);
    opening.clear();
}
