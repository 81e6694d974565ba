#pragma once

#include <sys/types.h>

#include <map>
#include <optional>

namespace zen {

// Whether the service counts the Internet minutes from the kernel's counters: its table is
// in force. The one place that decides whose minute reports count; while it holds, the
// filter's own counting only fills gaps (both count under the state mutex against the same
// last-counted moment, so a minute is never counted twice).
bool KernelCountsInternetMinutes();
void SetKernelCountsInternetMinutes(bool counting);

// What the service last put into the kernel, for zenctl: written to the run folder whenever it
// changes, and left there while the service is stopped, as the table is.
struct KernelRulesState {
    bool available = false;           // nf_tables took the table
    std::map<uid_t, bool> forbidden;  // per controlled account: its Internet is rejected
    bool operator==(const KernelRulesState&) const = default;
};

bool WriteKernelRulesState(const KernelRulesState& state);
std::optional<KernelRulesState> ReadKernelRulesState();
void RemoveKernelRulesState();

}  // namespace zen
