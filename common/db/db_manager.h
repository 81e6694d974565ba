#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>

#include "common/db/fast_table.h"
#include "common/db/log_table.h"
#include "common/db/records.h"
#include "platform/named_event.h"
#include "platform/named_mutex.h"

namespace zen {

using UsersTable = FastTable<FastUsersRecord>;
using CustomsTable = FastTable<FastCustomRecord>;
using MessagesTable = FastTable<CustomMessage>;

// The options record with the options mutex held, for as long as the view lives: the only way
// to the record itself, since the watcher thread rewrites it when another process saves.
class LockedOptions {
public:
    LockedOptions(NamedMutex& mutex, Options& options) : lock_(mutex), options_(options) {}

    bool held() const { return lock_.owns(); }
    LockResult result() const { return lock_.result(); }
    Options& operator*() { return options_; }
    Options* operator->() { return &options_; }

private:
    NamedMutexLock lock_;
    Options& options_;
};

// The one object through which a process uses the rules database: the options, the rules in
// force for the current user, the three tables and two logs, the shared mutexes, and a
// watcher thread that follows what other processes change.
class CDBManager {
public:
    using MessageHook = std::function<void(const std::u16string& text)>;

    CDBManager();
    ~CDBManager();
    CDBManager(const CDBManager&) = delete;
    CDBManager& operator=(const CDBManager&) = delete;

    // Opens everything; in the creator role missing files are made, with the built-in groups,
    // the account that runs the set-up and the protected programs. 1 when ready.
    int Init(bool creator);
    void Term();
    bool IsInitialised() const { return initialised_.load() != 0; }

    // Deletes the options file and the files of ZenUsr, ZenCtb, Zenwgs and Zenavt, with root's
    // last good copies of them.
    int ResetFiles();
    // Writes the options and tells every process.
    int SaveOptionsAndNotify();
    // Tells every process's watcher that a stored file changed.
    static void PulseReload();
    // Maps again every shared object whose file was replaced, cut short or damaged, and takes
    // in every stored file that changed, as a reload pulse does. The service calls it at every
    // tick, so that neither a damaged object nor a lost pulse keeps old rules in force.
    void FollowSharedFiles();

    // For a process that exits with the database still open (the network filter never closes
    // it under a program): no change is followed any more, and a follow already running is
    // waited for up to `limit`, so the watcher never runs into libraries the exit is tearing
    // down.
    void StopFollowingForExit(std::chrono::milliseconds limit);
    // Opens up the shared data and run directories to every account.
    int SecureProgramFolder();
    // Only the control panel sets one, before Init.
    void SetMessageHook(MessageHook hook) { hook_ = std::move(hook); }

    // Looks the current user up and makes its group's record the rules in force; an unknown
    // name joins "Guests". 1 on success.
    int SetCurrentUser();
    // Stores the device state text; saves and pulses only when it changed.
    int SaveDeviceState(std::u16string_view text);
    // A read-modify-write of the options that loses no other process's save: under the
    // options mutex, takes in the stored options, applies `edit(Options&)`, and saves and
    // pulses when it returns true. 0 when the stored options cannot be read or saved.
    int UpdateOptions(const std::function<bool(Options&)>& edit);
    // Hands the messages for the current group to the message hook (control panel).
    void DeliverMessages();

    // Copies taken after the options-mutex barrier, so a writer in progress is waited for.
    Options OptionsCopy();
    FastUsersRecord CurrentRulesCopy();
    std::u16string CurrentUserName();
    std::u16string CurrentGroupName();
    void SetCurrentUserName(std::u16string_view name);
    const std::u16string& ComputerName() const { return computerName_; }

    // The record itself, under the options mutex (recursive: a writer that holds it already
    // may take the view as well).
    LockedOptions LockOptions() { return LockedOptions(optionsMutex_, options_); }

    UsersTable& Users() { return users_; }
    CustomsTable& Customs() { return customs_; }
    MessagesTable& Messages() { return messages_; }
    DBLogTable& Warnings() { return warnings_; }
    DBLogTable& Activity() { return activity_; }
    NamedMutex& OptionsMutex() { return optionsMutex_; }
    NamedMutex& StateMutex() { return stateMutex_; }

private:
    void ReloadWatcher(uint32_t seen);
    void FollowChanges();
    void AddBuiltInGroups();
    void AddSetupAccount();
    void AddProtectedPrograms();
    int ReadOptions(bool missingIsFine);

    std::atomic<uint32_t> initialised_{0};
    Options options_;
    FastUsersRecord currentRules_;
    std::u16string currentGroupName_;
    std::u16string currentUserName_;
    std::u16string computerName_;
    std::atomic<bool> stopWatcher_{false};
    // Taken by whoever follows the changes (watcher or tick), with the options stamp read last.
    std::timed_mutex followGuard_;
    FileStamp optionsSeen_;
    UsersTable users_{"ZenUsr"};
    CustomsTable customs_{"ZenCtb"};
    MessagesTable messages_{"ZenMsg"};
    DBLogTable warnings_{"Zenwgs", sizeof(WarningRecord)};
    DBLogTable activity_{"Zenavt", sizeof(ActivityRecord)};
    NamedMutex optionsMutex_;
    NamedMutex stateMutex_;
    NamedEvent reloadEvent_;
    std::thread watcher_;
    std::future<void> watcherStopped_;
    MessageHook hook_;
};

}  // namespace zen
