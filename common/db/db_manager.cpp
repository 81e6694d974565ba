#include "common/db/db_manager.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>

#include "common/db/checksum.h"
#include "common/db/error_log.h"
#include "common/db/name_compare.h"
#include "common/db/object_names.h"
#include "common/db/options_file.h"
#include "common/db/protected_programs.h"
#include "common/db/rules_model.h"
#include "platform/accounts.h"
#include "platform/environment.h"
#include "platform/root.h"
#include "platform/shared_file.h"
#include "platform/text.h"

namespace zen {
namespace {

constexpr uint32_t kInitFailed = 0x80040100;
constexpr auto kWatcherStopTimeout = std::chrono::milliseconds(10000);

bool OpenOnce(NamedMutex& mutex, const char* name) {
    return mutex.IsOpen() || mutex.Open(name);
}

}  // namespace

CDBManager::CDBManager()
    : options_(OptionsDefault()),
      currentRules_(RulesDefault()),
      currentUserName_(Utf8ToUtf16(Env().consoleUser ? Env().consoleUser() : std::string())),
      computerName_(Utf8ToUtf16(zen::ComputerName())) {}

CDBManager::~CDBManager() {
    Term();
}

int CDBManager::ReadOptions(bool missingIsFine) {
    return SerializeOptions(options_, false, missingIsFine, false, optionsMutex_);
}

int CDBManager::Init(bool creator) {
    if (IsInitialised()) {
        return 1;
    }
    if (!OpenOnce(optionsMutex_, kOptionsMutexName) || !OpenOnce(stateMutex_, kStateMutexName)) {
        return ShowSysError(0, "CreateMutex");
    }
    if (!reloadEvent_.IsOpen() && !reloadEvent_.Open(kReloadEventName)) {
        return ShowSysError(0, "CreateEvent");
    }
    // Changes saved from here on reach the watcher, even those made before it runs.
    const uint32_t reloadSeen = reloadEvent_.Generation();
    if (ReadOptions(creator) == 0) {
        ShowSysError(kInitFailed, "Init");
        LogError("Failed to initialize options");
        return 0;
    }
    if (users_.Open(creator) == 0 || users_.Load() == 0) {
        return 0;
    }
    if (creator) {
        AddBuiltInGroups();
        AddSetupAccount();
    }
    if (customs_.Open(creator) == 0 || customs_.Load() == 0) {
        return 0;
    }
    if (creator) {
        AddProtectedPrograms();
    }
    if (messages_.Open(creator) == 0 || messages_.Load() == 0 ||
        warnings_.Open(creator, &options_.WarningsSize, &optionsMutex_) == 0 ||
        activity_.Open(creator, &options_.ActivitySize, &optionsMutex_) == 0) {
        return 0;
    }
    initialised_ = 1;
    SetCurrentUser();
    SecureProgramFolder();
    stopWatcher_ = false;
    std::promise<void> stopped;
    watcherStopped_ = stopped.get_future();
    watcher_ = std::thread([this, reloadSeen, stopped = std::move(stopped)]() mutable {
        ReloadWatcher(reloadSeen);
        stopped.set_value();
    });
    return 1;
}

void CDBManager::Term() {
    if (!IsInitialised()) {
        return;
    }
    if (watcher_.joinable()) {
        // The watcher may be between two waits when the flag goes up: keep waking it.
        stopWatcher_ = true;
        const auto deadline = std::chrono::steady_clock::now() + kWatcherStopTimeout;
        for (;;) {
            reloadEvent_.WakeWaiters();
            if (watcherStopped_.wait_for(std::chrono::milliseconds(10)) ==
                std::future_status::ready) {
                break;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                // A thread cannot be killed safely; log, as a hung watcher is a fault, and wait.
                LogError("CDBManager::Term() : WAIT_TIMEOUT");
                watcherStopped_.wait();
                break;
            }
        }
        watcher_.join();
    }
    reloadEvent_.Close();
    customs_.Close();
    users_.Close();
    messages_.Close();
    warnings_.Close();
    activity_.Close();
    optionsMutex_.Close();
    stateMutex_.Close();
    initialised_ = 0;
}

int CDBManager::ResetFiles() {
    for (const std::filesystem::path& file :
         {OptionsFilePath(), users_.FilePath(), customs_.FilePath(), warnings_.FilePath(),
          activity_.FilePath()}) {
        ::unlink(file.c_str());
        // Root's last good copy goes too, or the service would put the file back.
        ::unlink((paths::BackupDir() / file.filename()).c_str());
    }
    return 1;
}

int CDBManager::SaveOptionsAndNotify() {
    // The set-up saves the default options before the database is opened.
    if (!OpenOnce(optionsMutex_, kOptionsMutexName)) {
        return ShowSysError(0, "CreateMutex");
    }
    if (SerializeOptions(options_, true, false, false, optionsMutex_) == 0) {
        return 0;
    }
    PulseReload();
    return 1;
}

void CDBManager::PulseReload() {
    NamedEvent event;
    if (event.Open(kReloadEventName)) {
        event.Pulse();
    }
}

int CDBManager::SecureProgramFolder() {
    // The program folder itself is never opened up to others: only the shared directories
    // and the files in them, which every account must be able to rewrite.
    if (!EnsureSharedDirectories()) {
        return 0;
    }
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(paths::DataDir(), error)) {
        if (entry.path().filename().string().starts_with(".")) {
            continue;
        }
        UniqueFd fd = OpenSharedFile(entry.path(), O_RDONLY);
        struct stat status {};
        if (fd && ::fstat(fd.get(), &status) == 0 && status.st_uid == ::geteuid()) {
            ::fchmod(fd.get(), 0666);
        }
    }
    return 1;
}

int CDBManager::SetCurrentUser() {
    const std::u16string name = CurrentUserName();
    // Nobody at the console: the rules in force stay, and no nameless user is made up.
    if (name.empty()) {
        return 1;
    }
    const auto adopt = [&] {
        const std::optional<FastUsersRecord> user = FindUser(users_, name);
        if (!user) {
            return false;
        }
        const std::optional<FastUsersRecord> group = FindGroupById(users_, user->ParentID);
        if (!group) {
            return false;
        }
        NamedMutexLock lock(optionsMutex_);
        currentUserName_ = name;
        currentRules_ = *group;
        currentGroupName_ = FieldText(group->name);
        return true;
    };
    if (adopt()) {
        return 1;
    }
    const int added = users_.Update(
        [&](UsersTable::Set& records) { return records.insert(NewUser(users_, name)).second; });
    if (added == 0) {
        LogError("Failed to add a new user");
        return 0;
    }
    PulseReload();
    if (!adopt()) {
        LogError("Failed to change the current user");
        return 0;
    }
    return 1;
}

int CDBManager::SaveDeviceState(std::u16string_view text) {
    constexpr std::size_t kFieldUnits = std::size(Options{}.deviceState);
    if (text.size() >= kFieldUnits) {
        // Cutting a state text would lose drives to restore: the stored one stays.
        LogError("SaveLastState DynamicBuffer overload");
        return 0;
    }
    return UpdateOptions([&](Options& options) {
        if (FieldText(options.deviceState) == text) {
            return false;
        }
        SetFieldText(options.deviceState, text);
        return true;
    });
}

int CDBManager::UpdateOptions(const std::function<bool(Options&)>& edit) {
    NamedMutexLock lock(optionsMutex_);
    if (!lock.owns() || SerializeOptions(options_, false, true, true, optionsMutex_) == 0) {
        return 0;
    }
    if (!edit(options_)) {
        return 1;
    }
    if (SerializeOptions(options_, true, false, false, optionsMutex_) == 0) {
        return 0;
    }
    PulseReload();
    return 1;
}

void CDBManager::DeliverMessages() {
    const FastUsersRecord rules = CurrentRulesCopy();
    const std::u16string_view group = FieldText(rules.name);
    std::u16string first;
    const int saved = messages_.Update([&](MessagesTable::Set& messages) {
        bool collected = false;
        for (auto it = messages.begin(); it != messages.end();) {
            if (NameCompare(FieldText(it->name), group) != 0) {
                ++it;
                continue;
            }
            if (!collected) {
                first = FieldText(it->text);
                collected = true;
            }
            it = messages.erase(it);
        }
        return collected;
    });
    if (saved == 0) {
        return;
    }
    PulseReload();
    if (hook_) {
        hook_(rules.ShowCustomWarning != 0 ? std::u16string(FieldText(rules.CustomWarning))
                                           : first);
    }
}

Options CDBManager::OptionsCopy() {
    NamedMutexLock lock(optionsMutex_);
    return options_;
}

FastUsersRecord CDBManager::CurrentRulesCopy() {
    NamedMutexLock lock(optionsMutex_);
    return currentRules_;
}

std::u16string CDBManager::CurrentUserName() {
    NamedMutexLock lock(optionsMutex_);
    return currentUserName_;
}

std::u16string CDBManager::CurrentGroupName() {
    NamedMutexLock lock(optionsMutex_);
    return currentGroupName_;
}

void CDBManager::SetCurrentUserName(std::u16string_view name) {
    NamedMutexLock lock(optionsMutex_);
    currentUserName_ = name;
}

void CDBManager::ReloadWatcher(uint32_t seen) {
    while (!stopWatcher_) {
        if (!reloadEvent_.WaitForChange(seen, std::nullopt, &stopWatcher_)) {
            continue;
        }
        // Taken before reloading, so that a pulse during the reload is not missed: the next
        // wait then returns at once.
        seen = reloadEvent_.Generation();
        FollowChanges();
    }
}

void CDBManager::FollowChanges() {
    const std::lock_guard follow(followGuard_);
    if (stopWatcher_) {
        return;
    }
    const FileStamp options = StampOf(OptionsFilePath());
    if (options.known() && options != optionsSeen_ &&
        SerializeOptions(options_, false, false, true, optionsMutex_) != 0) {
        optionsSeen_ = options;
    }
    if (hook_ && messages_.ReloadIfChanged() != 0) {
        DeliverMessages();
    }
    customs_.ReloadIfChanged();
    if (users_.ReloadIfChanged() != 0) {
        SetCurrentUser();
    }
    warnings_.ReopenIfReplaced();
    activity_.ReopenIfReplaced();
}

void CDBManager::FollowSharedFiles() {
    if (!IsInitialised()) {
        return;
    }
    for (NamedMutex* mutex : {&optionsMutex_, &stateMutex_, &users_.Mutex(), &customs_.Mutex(),
                              &messages_.Mutex(), &warnings_.Mutex(), &activity_.Mutex()}) {
        if (!mutex->Refresh()) {
            LogError("Unable to open the mutex %s again", mutex->Name().c_str());
        }
    }
    if (!reloadEvent_.Refresh()) {
        LogError("Unable to open the reload event again");
    }
    FollowChanges();
}

void CDBManager::StopFollowingForExit(std::chrono::milliseconds limit) {
    stopWatcher_ = true;
    if (followGuard_.try_lock_for(limit)) {
        followGuard_.unlock();
    }
}

void CDBManager::AddBuiltInGroups() {
    const int saved = users_.Update([](UsersTable::Set& records) {
        bool added = false;
        for (const auto& [id, name] :
             {std::pair{kAdministratorsId, u"Administrators"}, std::pair{kUsersId, u"Users"},
              std::pair{kGuestsId, u"Guests"}}) {
            FastUsersRecord group = NamedDefault(name);
            group.UserID = id;
            group.ParentID = 0;
            added |= records.insert(group).second;
        }
        return added;
    });
    if (saved != 0) {
        PulseReload();
    }
}

void CDBManager::AddSetupAccount() {
    const std::optional<std::string> account = SetupAccountName();
    if (!account) {
        LogError("AddUserToAdmin() : error get user name");
        return;
    }
    const std::u16string name = Utf8ToUtf16(*account);
    users_.Update([&](UsersTable::Set& records) {
        FastUsersRecord user = NewUser(users_, name);
        user.ParentID = kAdministratorsId;
        return records.insert(user).second;
    });
    SetCurrentUserName(name);
    PulseReload();
}

void CDBManager::AddProtectedPrograms() {
    const int saved = customs_.Update([](CustomsTable::Set& records) {
        bool added = false;
        for (const std::filesystem::path& program : ProtectedPrograms()) {
            const uint32_t sum = CheckSum(program);
            if (sum == kCheckSumFailed) {
                continue;
            }
            FastCustomRecord entry{};
            entry.Mode = 1;
            entry.dwVal = sum;
            SetFieldText(entry.szVal, Utf8ToUtf16(program.string()));
            entry.timetable = AllAllowed();
            added |= records.insert(entry).second;
        }
        return added;
    });
    if (saved != 0) {
        PulseReload();
    }
}

}  // namespace zen
