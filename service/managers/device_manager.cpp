#include "service/managers/device_manager.h"

#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <span>

#include "common/db/access.h"
#include "common/db/db_manager.h"
#include "common/db/error_log.h"
#include "common/db/log_records.h"
#include "common/db/messages.h"
#include "common/mail/notifications.h"
#include "platform/accounts.h"
#include "platform/device_acl.h"
#include "platform/drives.h"
#include "platform/process_owner.h"
#include "platform/root.h"
#include "platform/shared_file.h"
#include "platform/system_actions.h"
#include "platform/text.h"
#include "platform/unique_fd.h"
#include "service/options_gate.h"
#include "service/service_strings.h"

namespace zen {
namespace {

constexpr std::size_t kDriveMessageUnits = 254;
constexpr std::size_t kDriveStateUnits = std::size(Options{}.deviceState) - 1;

// "The disk %s has been ..." naming the drive by its mount point.
std::u16string DiskText(int stringId, const std::string& point) {
    std::string text(ServiceString(stringId));
    if (const auto at = text.find("%s"); at != std::string::npos) {
        text.replace(at, 2, point);
    }
    std::u16string wide = Utf8ToUtf16(text);
    if (wide.size() > kDriveMessageUnits) {
        wide.resize(kDriveMessageUnits);
    }
    return wide;
}

}  // namespace

CDeviceManager::CDeviceManager(CDBManager& db, SystemActions& actions)
    : db_(db), actions_(actions) {}

std::unique_ptr<CManager> CDeviceManager::Create(CDBManager& db, SystemActions& actions) {
    return std::make_unique<CDeviceManager>(db, actions);
}

int CDeviceManager::Start() {
    return LoadLastState();
}

int CDeviceManager::Stop() {
    return SaveLastState();
}

int CDeviceManager::ReleaseAll() {
    if (LoadLastState() == 0) {
        return 0;
    }
    if (Restore(kDriveCdrom)) {
        state_.cdromBlocked = 0;
    }
    if (Restore(kDriveRemovable)) {
        state_.removableBlocked = 0;
    }
    // The drives are back: a later start must not try them again.
    return SaveLastState();
}

void CDeviceManager::Tick() {
    if (!loaded_ && LoadLastState() == 0) {
        return;
    }
    Check(Category::CDROM, kDriveCdrom, state_.cdromBlocked);
    Check(Category::Removable, kDriveRemovable, state_.removableBlocked);
    SaveLastState();
    KeepMediaForbidden();
    KeepOpticalAccess();
}

void CDeviceManager::KeepOpticalAccess() {
    // Players read a disc through the device itself, which udev's uaccess opens to the console
    // user; while CD/DVD is forbidden that entry goes, again after udev puts it back on a
    // media change, and it is given back once allowed. Root and system accounts keep theirs.
    const std::optional<uid_t> uid = UidOfLogin(Utf16ToUtf8(db_.CurrentUserName()));
    const bool take = forbidden_[kDriveCdrom] && uid && !IsSystemAccount(*uid);
    if (!take && !opticalTakenFrom_) {
        return;
    }
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(Root() / "dev", error)) {
        if (!entry.path().filename().string().starts_with("sr")) {
            continue;
        }
        if (take) {
            if (!RemoveUserAccess(entry.path(), *uid)) {
                LogError("CDeviceManager : %s : access not taken", entry.path().c_str());
            }
        } else if (uid == opticalTakenFrom_) {
            GrantUserAccess(entry.path(), *opticalTakenFrom_);
        }
    }
    opticalTakenFrom_ = take ? uid : std::nullopt;
}

void CDeviceManager::KeepMediaForbidden() {
    // udisks asks polkit before mounting for a user; the rule reads who is refused from here.
    std::string text;
    const std::string user = Utf16ToUtf8(db_.CurrentUserName());
    if (!user.empty() && user.find_first_of(" \n") == std::string::npos) {
        if (forbidden_[kDriveCdrom]) {
            text += "optical " + user + "\n";
        }
        if (forbidden_[kDriveRemovable]) {
            text += "removable " + user + "\n";
        }
    }
    if (mediaForbidden_ && *mediaForbidden_ == text) {
        return;
    }
    if (ReplaceFile(paths::MediaForbidden(), std::as_bytes(std::span(text.data(), text.size())),
                    0644)) {
        mediaForbidden_ = text;
    } else {
        LogError("CDeviceManager : %s : %s", paths::MediaForbidden().c_str(), std::strerror(errno));
    }
}

void CDeviceManager::Check(Category category, uint32_t type, uint32_t& blocked) {
    forbidden_[type] = false;
    if (!OptionsGate(db_)) {
        return;
    }
    const FastUsersRecord rules = db_.CurrentRulesCopy();
    if (rules.Disable != 0) {
        if (blocked != 0 && Restore(type)) {
            blocked = 0;
        }
        return;
    }
    const std::u16string user = db_.CurrentUserName();
    // The day's minutes count whether the drive is used or not; once used up, the drives stay
    // hidden whatever the timetable allows.
    if (!user.empty() && CheckRulesDailyLimit(db_.StateMutex(), rules, user, category).reached) {
        forbidden_[type] = true;
        if (Block(type)) {
            blocked = 1;
        }
        return;
    }
    if (!CategoryAllowedNow(rules, false, category)) {
        forbidden_[type] = true;
        if (Block(type)) {
            blocked = 1;
        }
    } else {
        std::erase_if(busy_, [type](const auto& drive) { return drive.second == type; });
        if (blocked != 0 && Restore(type)) {
            blocked = 0;
        }
    }
}

bool CDeviceManager::Block(uint32_t type) {
    bool found = false;
    // A hidden drive is no longer mounted, so only drives mounted since (a new medium, a stick
    // plugged in, a desktop that mounted one again) and busy ones are found here.
    for (const DriveMount& drive : MountedDrives(type)) {
        found = true;
        const std::vector<MountHolder> others = EndControlledHolders(drive);
        if (actions_.Unmount(drive)) {
            if (!state_.hidden.contains(drive.device)) {
                HiddenDrive remembered{drive, type};
                remembered.mount.mountPoint = FreeMountPoint(state_, drive.mountPoint);
                state_.hidden.emplace(drive.device, std::move(remembered));
            }
            busy_.erase(drive.device);
            ShowToUser(kIdsDiskDisabled, drive.mountPoint);
            LogEvent(kIdsDiskDisabled, drive.mountPoint);
        } else if (errno == EBUSY) {
            // Another account's program holds it: it stays mounted, is tried again at every
            // tick, and the parent hears of it once.
            if (busy_.emplace(drive.device, type).second) {
                ReportBusy(drive.mountPoint, others.empty() ? "?" : others.front().program);
            }
        } else {
            LogError("CDeviceManager::Block() : %s : %s", drive.mountPoint.c_str(),
                     std::strerror(errno));
        }
    }
    return found;
}

std::vector<MountHolder> CDeviceManager::EndControlledHolders(const DriveMount& drive) {
    struct stat point {};
    if (::stat(drive.mountPoint.c_str(), &point) != 0) {
        return {};
    }
    const std::optional<uid_t> child = UidOfLogin(Utf16ToUtf8(db_.CurrentUserName()));
    std::vector<UniqueFd> held;
    std::vector<MountHolder> others;
    for (const MountHolder& holder : MountHolders(point.st_dev)) {
        if (!child || holder.uid != *child || IsSystemAccount(holder.uid)) {
            others.push_back(holder);
            continue;
        }
        // Taken before the owner is read again: a pid reused meanwhile is never signalled.
        UniqueFd pidfd(static_cast<int>(::syscall(SYS_pidfd_open, holder.pid, 0)));
        if (pidfd && ProcessRealUid(holder.pid) == *child) {
            held.push_back(std::move(pidfd));
        }
    }
    if (!held.empty()) {
        std::vector<int> pidfds;
        for (const UniqueFd& pidfd : held) {
            pidfds.push_back(pidfd.get());
        }
        actions_.CloseProcesses(pidfds);
    }
    return others;
}

bool CDeviceManager::Restore(uint32_t type) {
    bool restored = false;
    for (auto it = state_.hidden.begin(); it != state_.hidden.end();) {
        if (it->second.type != type) {
            ++it;
            continue;
        }
        const DriveMount drive = it->second.mount;
        // A drive that cannot be mounted again (the stick was pulled) is not retried.
        it = state_.hidden.erase(it);
        if (!MayMountAgain(drive, type)) {
            LogError(
                "CDeviceManager::Restore() : %s on %s : refused, not a drive of this kind "
                "or not a media directory",
                drive.device.c_str(), drive.mountPoint.c_str());
        } else if (actions_.Mount(drive)) {
            LogEvent(kIdsDiskEnabled, drive.mountPoint);
            ShowToUser(kIdsDiskEnabled, drive.mountPoint);
        } else {
            LogError("CDeviceManager::Restore() : %s on %s : %s", drive.device.c_str(),
                     drive.mountPoint.c_str(), std::strerror(errno));
        }
        restored = true;
    }
    return restored;
}

int CDeviceManager::LoadLastState() {
    const auto options = OptionsSnapshot(db_);
    if (!options) {
        return 0;
    }
    lastText_ = FieldText(options->deviceState);
    state_ = ParseDriveState(lastText_);
    loaded_ = true;
    return 1;
}

int CDeviceManager::SaveLastState() {
    if (!loaded_) {
        return 0;
    }
    const DriveStateText stored = FormatDriveState(state_, kDriveStateUnits);
    if (!stored.complete && stored.text != lastText_) {
        LogError("SaveLastState DynamicBuffer overload");
    }
    lastText_ = stored.text;
    return OptionsGate(db_) ? db_.SaveDeviceState(stored.text) : 0;
}

void CDeviceManager::ShowToUser(int stringId, const std::string& point) {
    const std::u16string text = DiskText(stringId, point);
    if (OptionsGate(db_)) {
        AddMessage(db_, text);
    }
}

void CDeviceManager::ReportBusy(const std::string& point, const std::string& program) {
    // The holder's program goes in the record's program field: the text has little room.
    LogText(Utf8ToUtf16("The disk " + point + " is in use."), Utf8ToUtf16(program));
}

void CDeviceManager::LogEvent(int stringId, const std::string& point) {
    LogText(DiskText(stringId, point));
}

void CDeviceManager::LogText(const std::u16string& text, const std::u16string& program) {
    const auto options = OptionsSnapshot(db_);
    if (!options) {
        return;
    }
    if (options->SendNotificationEMail != 0) {
        SendNotification(db_, text);
    }
    AddWarning(db_, text, program, 0, u"");
}

}  // namespace zen
