#include "panel/running_programs.h"

#include <algorithm>
#include <tuple>

#include "platform/accounts.h"
#include "platform/process_list.h"

namespace zen::panel {

std::vector<RunningProgram> RunningPrograms() {
    std::vector<RunningProgram> programs;
    ProcessList processes(ProcessList::Mode::ReadWhole);
    processes.Visit([](uid_t uid) { return !IsSystemAccount(uid); },
                    [&](const ProcessInfo& process) {
                        const auto owner = LoginNameOf(process.realUid);
                        if (!process.path.empty() && owner) {
                            programs.push_back({process.path, *owner});
                        }
                    });
    std::ranges::sort(programs, [](const RunningProgram& a, const RunningProgram& b) {
        return std::tie(a.path, a.owner) < std::tie(b.path, b.owner);
    });
    programs.erase(std::unique(programs.begin(), programs.end()), programs.end());
    return programs;
}

}  // namespace zen::panel
