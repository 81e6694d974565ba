#include "filter/process_state.h"

#include <pthread.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <vector>

namespace zen::filter {
namespace {

// initial-exec: reading it never allocates, so it is safe in a signal handler.
__attribute__((tls_model("initial-exec"))) thread_local bool insideFilter = false;

std::atomic<InternetPolicy*> currentPolicy{nullptr};
std::atomic_flag opening = ATOMIC_FLAG_INIT;
std::atomic<pid_t> ownerPid{0};

pid_t KernelPid() {
    return static_cast<pid_t>(::syscall(SYS_getpid));
}

// Every policy ever opened in this process, kept to the end: the parent's copy in a forked
// child is abandoned, not destroyed, as its watcher thread does not exist there.
std::vector<std::unique_ptr<InternetPolicy>>& OpenedPolicies() {
    static auto* opened = new std::vector<std::unique_ptr<InternetPolicy>>;
    return *opened;
}

ProcessIdentity ThisProcess() {
    ProcessIdentity identity;
    identity.effectiveUid = ::geteuid();
    std::error_code error;
    identity.executable = std::filesystem::read_symlink("/proc/self/exe", error);
    return identity;
}

void AfterForkInChild() {
    ownerPid.store(KernelPid());
    currentPolicy.store(nullptr);
    opening.clear();
}

}  // namespace

InternetPolicy& ProcessPolicy() {
    if (InternetPolicy* policy = currentPolicy.load(std::memory_order_acquire)) {
        return *policy;
    }
    FilterScope scope;
    while (opening.test_and_set(std::memory_order_acquire)) {
        ::sched_yield();
    }
    InternetPolicy* policy = currentPolicy.load(std::memory_order_acquire);
    if (policy == nullptr) {
        auto opened = std::make_unique<InternetPolicy>(ThisProcess());
        policy = opened.get();
        OpenedPolicies().push_back(std::move(opened));
        currentPolicy.store(policy, std::memory_order_release);
    }
    opening.clear(std::memory_order_release);
    return *policy;
}

bool InVforkChild() {
    const pid_t owner = ownerPid.load(std::memory_order_relaxed);
    return owner != 0 && owner != KernelPid();
}

void NoteFirstRecord() {
    static std::once_flag once;
    std::call_once(once, [] {
        ownerPid.store(KernelPid());
        ::pthread_atfork(nullptr, nullptr, AfterForkInChild);
    });
}

FilterScope::FilterScope() : savedErrno_(errno), wasActive_(insideFilter) {
    insideFilter = true;
}

FilterScope::~FilterScope() {
    insideFilter = wasActive_;
    errno = savedErrno_;
}

bool FilterScope::Active() {
    return insideFilter;
}

}  // namespace zen::filter
