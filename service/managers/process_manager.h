#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/db/access.h"
#include "common/db/checksum_cache.h"
#include "common/db/records.h"
#include "platform/account_names.h"
#include "platform/process_list.h"
#include "platform/system_actions.h"
#include "service/manager.h"

namespace zen {

class CDBManager;

// One running program as one enumeration saw it.
struct TrackedProcess {
    std::u16string name;  // the executable's file name
    std::u16string path;
    uint32_t checksum = 0;
    // A window title is out of a system service's reach; it stays empty.
    std::u16string title;
    uint32_t processId = 0;
    // The rules records (groups) under which the process was found; no name twice.
    std::vector<std::u16string> owners;
    int64_t start = 0;  // when the enumeration that first saw it ran
    // With the process id, names the process for its life, so that closing never reaches
    // another process that was given the same id.
    uint64_t startTicks = 0;
};

// Watches the programs of the computer: logs each run in the programs-activity log and closes
// controlled programs outside their time or once the day's program minutes are used up.
// Each tick makes a pass for the record "All Users", then one for the current rules.
class CProcessManager final : public CManager {
public:
    static constexpr int kKind = 1004;

    explicit CProcessManager(CDBManager& db, SystemActions& actions,
                             ProcessList::Mode mode = ProcessList::Mode::FollowEvents);

    int Start() override;
    int Stop() override;
    int ReleaseAll() override { return 1; }
    int GetKind() const override { return kKind; }
    int GetPeriod() const override { return kManagerPeriodMs; }
    void Tick() override;

    // The programs seen running at the last passes, with their owners and start times.
    const std::vector<TrackedProcess>& Tracked() const { return tracked_; }

    static std::unique_ptr<CManager> Create(CDBManager& db, SystemActions& actions);

private:
    // The owner of processes as one pass sees it.
    struct PassOwner {
        std::u16string name;
        std::u16string group;
    };
    // A program path as one pass sees it, and whether it is trusted for each owner.
    struct PassProgram {
        std::u16string path;
        std::u16string name;
        std::unordered_map<uid_t, bool> trusted;
    };
    // A program the pass closes: the process, held from before the decision, and the reason.
    struct Closing {
        UniqueFd pidfd;
        const TrackedProcess* run;
        int reason;  // string number
    };

    void Pass(const FastUsersRecord& rules);
    std::vector<TrackedProcess> Enumerate(std::u16string_view recordName);
    void Sync(std::u16string_view recordName, const std::vector<TrackedProcess>& current);
    std::optional<Closing> DueClosing(const FastUsersRecord& rules, bool allowedNow, bool reached,
                                      const TrackedProcess& run);
    void Close(std::span<const Closing> due);
    DailyLimitResult ProgramLimitReached(std::u16string_view account);
    void LogClosing(std::u16string_view path, int reason);
    void ShowClosing(std::u16string_view path);

    CDBManager& db_;
    SystemActions& actions_;
    ProcessList::Mode mode_;
    std::optional<ProcessList> processes_;  // from Start to Stop
    std::vector<TrackedProcess> tracked_;
    ChecksumCache checksums_;
    AccountNames accounts_;
};

}  // namespace zen
