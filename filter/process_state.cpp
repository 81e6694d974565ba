#include "filter/process_state.h"

#include <dlfcn.h>
#include <pthread.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>

#include "filter/account_class.h"
#include "filter/policy_entry.h"

namespace zen::filter {
namespace {

// initial-exec: reading it never allocates, so it is safe in a signal handler.
__attribute__((tls_model("initial-exec"))) thread_local bool insideFilter = false;

std::atomic<pid_t> ownerPid{0};
std::atomic<bool> recordedOnce{false};

using CheckEntry = int (*)(int);
using ReopenEntry = void (*)();
std::atomic<CheckEntry> checkEntry{nullptr};
std::atomic<ReopenEntry> reopenEntry{nullptr};
std::atomic<bool> reopenWanted{false};
std::atomic<bool> loadFailed{false};
std::atomic_flag loading = ATOMIC_FLAG_INIT;

pid_t KernelPid() {
    return static_cast<pid_t>(::syscall(SYS_getpid));
}

void AfterForkInChild() {
    ownerPid.store(KernelPid());
    reopenWanted.store(true);
}

// The rules library lies next to this one.
void LoadRulesLibrary() {
    Dl_info self{};
    if (::dladdr(reinterpret_cast<void*>(&LoadRulesLibrary), &self) == 0 ||
        self.dli_fname == nullptr) {
        loadFailed.store(true);
        return;
    }
    char path[PATH_MAX];
    const char* slash = std::strrchr(self.dli_fname, '/');
    const std::size_t folder =
        slash != nullptr ? static_cast<std::size_t>(slash - self.dli_fname + 1) : 0;
    if (folder + sizeof ZENSP_RULES_LIBRARY > sizeof path) {
        loadFailed.store(true);
        return;
    }
    std::memcpy(path, self.dli_fname, folder);
    std::memcpy(path + folder, ZENSP_RULES_LIBRARY, sizeof ZENSP_RULES_LIBRARY);
    void* library = ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
    auto check = library != nullptr
                     ? reinterpret_cast<CheckEntry>(::dlsym(library, "zensp_rules_check"))
                     : nullptr;
    auto reopen = library != nullptr
                      ? reinterpret_cast<ReopenEntry>(::dlsym(library, "zensp_rules_reopen"))
                      : nullptr;
    if (check == nullptr || reopen == nullptr) {
        loadFailed.store(true);
        return;
    }
    reopenEntry.store(reopen);
    checkEntry.store(check, std::memory_order_release);
}

CheckEntry RulesCheck() {
    if (CheckEntry check = checkEntry.load(std::memory_order_acquire)) {
        return check;
    }
    while (loading.test_and_set(std::memory_order_acquire)) {
        ::sched_yield();
    }
    if (checkEntry.load() == nullptr && !loadFailed.load()) {
        LoadRulesLibrary();
    }
    loading.clear(std::memory_order_release);
    return checkEntry.load(std::memory_order_acquire);
}

}  // namespace

Verdict EvaluatePolicy(bool dailyLimit) {
    if (ProcessNeverControlled()) {
        return Verdict::Pass;
    }
    const CheckEntry check = RulesCheck();
    if (check != nullptr && reopenWanted.exchange(false)) {
        reopenEntry.load()();
    }
    return check != nullptr ? static_cast<Verdict>(check(dailyLimit ? 1 : 0))
                            : Verdict::RefuseQuietly;
}

void ReopenPolicy() {
    reopenWanted.store(true);
}

bool InVforkChild() {
    const pid_t owner = ownerPid.load(std::memory_order_relaxed);
    return owner != 0 && owner != KernelPid();
}

void NoteFirstRecord() {
    if (recordedOnce.load(std::memory_order_acquire) || recordedOnce.exchange(true)) {
        return;
    }
    ownerPid.store(KernelPid());
    ::pthread_atfork(nullptr, nullptr, AfterForkInChild);
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
