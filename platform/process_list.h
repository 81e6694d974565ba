#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <optional>

#include "platform/process_events.h"
#include "platform/processes.h"
#include "platform/unique_fd.h"

namespace zen {

// The machine's processes that run an executable, as /proc shows them at each visit.
// As root in the initial namespaces the list follows the kernel's process events and reads
// again only the processes that started, ran a new program or changed credentials; the
// executable path, which a rename can change without an event, is confirmed at each visit
// once per distinct file. Elsewhere, and whenever events were lost, /proc is read whole.
class ProcessList {
public:
    enum class Mode { FollowEvents, ReadWhole };

    explicit ProcessList(Mode mode = Mode::FollowEvents);

    // Calls `each` for every process whose real uid `wanted` accepts, in pid order.
    void Visit(const std::function<bool(uid_t)>& wanted,
               const std::function<void(const ProcessInfo&)>& each);

    bool FollowsEvents() const { return events_.has_value(); }
    int procDirectory() const { return proc_.get(); }

private:
    void ReadWhole();
    void ApplyEvents();
    // Re-reads one process: updated, or removed when it cannot be read any more.
    void Reread(pid_t pid);

    UniqueFd proc_;
    std::optional<ProcessEvents> events_;
    std::map<pid_t, ProcessInfo> processes_;
};

}  // namespace zen
