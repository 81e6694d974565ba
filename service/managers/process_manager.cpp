#include "service/managers/process_manager.h"

#include <algorithm>
#include <unordered_map>

#include "common/db/category.h"
#include "common/db/checksum.h"
#include "common/db/db_manager.h"
#include "common/db/log_records.h"
#include "common/db/messages.h"
#include "common/db/rules_model.h"
#include "common/mail/notifications.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "service/options_gate.h"
#include "service/service_strings.h"

namespace zen {
namespace {

constexpr uint32_t kClosingWarning = 1;
constexpr std::size_t kShownTextUnits = 511;

char16_t FoldCase(char16_t unit) {
    return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
}

// Names and paths of programs are equal without regard to case (ASCII letters).
bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b) {
    return a == b || std::ranges::equal(a, b, {}, FoldCase, FoldCase);
}

bool SameRun(const TrackedProcess& a, const TrackedProcess& b) {
    return a.processId == b.processId && EqualIgnoringCase(a.path, b.path);
}

std::u16string LastComponent(std::u16string_view path) {
    const std::size_t slash = path.rfind(u'/');
    return std::u16string(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
}

std::u16string Text(int id) {
    return Utf8ToUtf16(ServiceString(id));
}

// The programs of one rules record among the tracked ones: all of them for "All Users".
auto BelongsTo(std::u16string_view recordName) {
    const bool all = EqualIgnoringCase(recordName, kAllUsers);
    return [all, recordName](const TrackedProcess& tracked) {
        return all || std::ranges::any_of(tracked.owners, [&](const std::u16string& owner) {
                   return EqualIgnoringCase(owner, recordName);
               });
    };
}

// The tracked runs by process id, for matching a pass against them.
std::unordered_map<uint32_t, const TrackedProcess*> ByProcessId(
    const std::vector<TrackedProcess>& list, const auto& selected) {
    std::unordered_map<uint32_t, const TrackedProcess*> index;
    index.reserve(list.size());
    for (const TrackedProcess& entry : list) {
        if (selected(entry)) {
            index.emplace(entry.processId, &entry);
        }
    }
    return index;
}

bool Holds(const std::unordered_map<uint32_t, const TrackedProcess*>& index,
           const TrackedProcess& run) {
    const auto found = index.find(run.processId);
    return found != index.end() && SameRun(*found->second, run);
}

struct PathHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view path) const {
        return std::hash<std::string_view>()(path);
    }
};

}  // namespace

CProcessManager::CProcessManager(CDBManager& db, SystemActions& actions, ProcessList::Mode mode)
    : db_(db), actions_(actions), mode_(mode) {}

std::unique_ptr<CManager> CProcessManager::Create(CDBManager& db, SystemActions& actions) {
    return std::make_unique<CProcessManager>(db, actions);
}

int CProcessManager::Start() {
    processes_.emplace(mode_);
    tracked_.clear();
    return 1;
}

int CProcessManager::Stop() {
    processes_.reset();
    tracked_.clear();
    return 1;
}

void CProcessManager::Tick() {
    if (!processes_) {
        return;
    }
    accounts_.Refresh(Now());
    if (const auto everyone = FindUser(db_.Users(), kAllUsers)) {
        Pass(*everyone);
    }
    if (OptionsGate(db_)) {
        Pass(db_.CurrentRulesCopy());
    }
}

void CProcessManager::Pass(const FastUsersRecord& rules) {
    const std::u16string_view recordName = FieldText(rules.name);
    const std::vector<TrackedProcess> current = Enumerate(recordName);
    Sync(recordName, current);
    if (current.empty() || !OptionsGate(db_) || db_.CurrentRulesCopy().Disable != 0) {
        return;
    }
    const CategoryRules program = RulesOf(Category::Program);
    const uint32_t mode = rules.*program.mode;
    const bool allowedNow =
        mode == 0 || IsAllowedNow(rules.timetables[mode == 1 ? program.slot : kCommonSlot]);
    // Program minutes are counted whenever the pass has a watched program, controlled or not.
    bool reached = false;
    if (const std::u16string user = db_.CurrentUserName(); !user.empty()) {
        reached = ProgramLimitReached(user).reached;
    }
    std::vector<Closing> due;
    for (const TrackedProcess& run : current) {
        if (auto closing = DueClosing(rules, allowedNow, reached, run)) {
            due.push_back(std::move(*closing));
        }
    }
    Close(due);
    // Closed programs are still listed: they are logged as ended at a later pass, once gone.
    Sync(recordName, current);
}

std::vector<TrackedProcess> CProcessManager::Enumerate(std::u16string_view recordName) {
    const bool all = EqualIgnoringCase(recordName, kAllUsers);
    const int64_t now = Now();
    // A pass meets the same few owners and programs again and again.
    std::unordered_map<uid_t, PassOwner> owners;
    std::unordered_map<std::string, PassProgram, PathHash, std::equal_to<>> programs;
    std::vector<TrackedProcess> found;
    const auto watched = [&](uid_t uid) {
        const AccountNames::Account& account = accounts_.Of(uid);
        return account.name && !account.system;
    };
    processes_->Visit(watched, [&](const ProcessInfo& process) {
        auto owner = owners.find(process.realUid);
        if (owner == owners.end()) {
            std::u16string name = Utf8ToUtf16(*accounts_.Of(process.realUid).name);
            std::u16string group = GroupNameOf(db_.Users(), name);
            owner =
                owners.emplace(process.realUid, PassOwner{std::move(name), std::move(group)}).first;
        }
        // A game started through the loader or a script run by its interpreter is judged and
        // logged as itself, not as the loader or the interpreter.
        const std::string& runs = process.ProgramPath();
        auto program = programs.find(std::string_view(runs));
        if (program == programs.end()) {
            std::u16string path = Utf8ToUtf16(runs);
            std::u16string name = LastComponent(path);
            program =
                programs.emplace(runs, PassProgram{std::move(path), std::move(name), {}}).first;
        }
        PassProgram& seen = program->second;
        // Trusted programs are matched on the owner's account and the path only.
        auto trusted = seen.trusted.find(process.realUid);
        if (trusted == seen.trusted.end()) {
            const bool entry =
                FindProgramEntry(db_.Customs(), kTrustedMode, owner->second.name, seen.path, 0)
                    .has_value();
            trusted = seen.trusted.emplace(process.realUid, entry).first;
        }
        if (trusted->second) {
            return;
        }
        const std::u16string& group = owner->second.group;
        if (!all && !EqualIgnoringCase(group, recordName)) {
            return;
        }
        const uint32_t checksum = checksums_.Of(processes_->procDirectory(), process);
        if (checksum == kCheckSumFailed) {
            return;
        }
        TrackedProcess& run = found.emplace_back();
        run.name = seen.name;
        run.path = seen.path;
        run.checksum = checksum;
        run.processId = static_cast<uint32_t>(process.pid);
        if (!group.empty()) {
            run.owners.push_back(group);
        }
        run.start = now;
        run.startTicks = process.startTicks;
    });
    return found;
}

void CProcessManager::Sync(std::u16string_view recordName,
                           const std::vector<TrackedProcess>& current) {
    const auto mine = BelongsTo(recordName);
    const auto running = ByProcessId(current, [](const TrackedProcess&) { return true; });
    std::erase_if(tracked_, [&](const TrackedProcess& tracked) {
        if (!mine(tracked) || Holds(running, tracked)) {
            return false;
        }
        // The program name field holds the path, the path field the (empty) title.
        AddActivity(db_, tracked.start, tracked.path, tracked.title, tracked.processId);
        return true;
    });
    const auto known = ByProcessId(tracked_, mine);
    std::vector<TrackedProcess> started;
    for (const TrackedProcess& run : current) {
        if (!Holds(known, run)) {
            started.push_back(run);
        }
    }
    std::ranges::move(started, std::back_inserter(tracked_));
}

std::optional<CProcessManager::Closing> CProcessManager::DueClosing(const FastUsersRecord& rules,
                                                                    bool allowedNow, bool reached,
                                                                    const TrackedProcess& run) {
    const std::optional<FastCustomRecord> entry = FindProgramEntry(
        db_.Customs(), kControlledMode, FieldText(rules.name), run.path, run.checksum);
    if (!entry) {
        return std::nullopt;
    }
    // Taken before deciding: the process judged is the one closed, never a later holder of
    // its id. One that has ended meanwhile needs no closing.
    UniqueFd pidfd = OpenProcessFd(processes_->procDirectory(), static_cast<pid_t>(run.processId),
                                   run.startTicks);
    if (!pidfd) {
        return std::nullopt;
    }
    const bool outside = entry->TimetableState != 0 ? !IsAllowedNow(entry->timetable) : !allowedNow;
    if (reached) {
        return Closing{std::move(pidfd), &run, kIdsReasonProgramLimit};
    }
    if (outside) {
        return Closing{std::move(pidfd), &run, kIdsReasonOutsideTime};
    }
    return std::nullopt;
}

void CProcessManager::Close(std::span<const Closing> due) {
    if (due.empty()) {
        return;
    }
    // All at once: programs that ignore the request cost the tick one wait, not one each.
    std::vector<int> pidfds;
    for (const Closing& closing : due) {
        pidfds.push_back(closing.pidfd.get());
    }
    actions_.CloseProcesses(pidfds);
    for (const Closing& closing : due) {
        LogClosing(closing.run->path, closing.reason);
        ShowClosing(closing.run->path);
    }
}

DailyLimitResult CProcessManager::ProgramLimitReached(std::u16string_view account) {
    return CheckGroupDailyLimit(db_.Users(), db_.StateMutex(), account, Category::Program, nullptr);
}

void CProcessManager::LogClosing(std::u16string_view path, int reason) {
    const std::u16string text = Text(kIdsProgramClosed);
    const auto options = OptionsSnapshot(db_);
    if (options && options->SendNotificationEMail != 0) {
        // The reason stays in the warnings log.
        SendNotification(db_, text);
    }
    AddWarning(db_, text, path, kClosingWarning, Text(reason));
}

void CProcessManager::ShowClosing(std::u16string_view path) {
    std::u16string text = Text(kIdsProgramClosedNamed);
    if (const std::size_t mark = text.find(u"%s"); mark != std::u16string::npos) {
        text.replace(mark, 2, path);
    }
    text.resize(std::min(text.size(), kShownTextUnits));
    if (OptionsGate(db_)) {
        AddMessage(db_, text);
    }
}

}  // namespace zen
