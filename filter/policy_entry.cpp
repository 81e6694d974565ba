#include "filter/policy_entry.h"

#include <pthread.h>
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
// Guards the opening of a policy and the list of opened ones. A fork child gets it unlocked
// (the atfork handlers hold it across the fork), so a thread that held it in the parent can
// never leave it locked for good in the child.
pthread_mutex_t openingGuard = PTHREAD_MUTEX_INITIALIZER;

void LockOpening() {
    ::pthread_mutex_lock(&openingGuard);
}
void UnlockOpening() {
    ::pthread_mutex_unlock(&openingGuard);
}

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

struct OpeningLock {
    OpeningLock() { LockOpening(); }
    ~OpeningLock() { UnlockOpening(); }
    OpeningLock(const OpeningLock&) = delete;
    OpeningLock& operator=(const OpeningLock&) = delete;
};

InternetPolicy& ProcessPolicy() {
    if (InternetPolicy* policy = currentPolicy.load(std::memory_order_acquire)) {
        return *policy;
    }
    const OpeningLock lock;
    InternetPolicy* policy = currentPolicy.load(std::memory_order_acquire);
    if (policy == nullptr) {
        // The program's own clock and zone are the child's to fake: the rules go by the
        // machine's.
        FollowSystemClockAndZone();
        auto opened = std::make_unique<InternetPolicy>(ThisProcess());
        policy = opened.get();
        if (OpenedPolicies().empty()) {
            std::atexit(StopFollowingAtExit);
            ::pthread_atfork(LockOpening, UnlockOpening, UnlockOpening);
        }
        OpenedPolicies().push_back(std::move(opened));
        currentPolicy.store(policy, std::memory_order_release);
    }
    return *policy;
}

}  // namespace
}  // namespace zen::filter

using namespace zen::filter;

// Nothing may leave these entry points as an exception: it would end the program the filter is
// loaded into. The caller is a controlled account (the filter passes the others before it gets
// here), so rules that cannot be read or followed refuse quietly.
extern "C" __attribute__((visibility("default"))) int zensp_rules_check(int dailyLimit) noexcept {
    try {
        InternetPolicy& policy = ProcessPolicy();
        if (dailyLimit != 0) {
            if (const Verdict verdict = policy.DailyLimitCheck(); verdict != Verdict::Pass) {
                return static_cast<int>(verdict);
            }
        }
        return static_cast<int>(policy.TimetableCheck());
    } catch (...) {
        return static_cast<int>(Verdict::RefuseQuietly);
    }
}

extern "C" __attribute__((visibility("default"))) void zensp_rules_reopen() noexcept {
    const OpeningLock lock;
    currentPolicy.store(nullptr);
}
