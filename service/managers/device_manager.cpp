#include "service/managers/device_manager.h"

#include <cerrno>
#include <cstring>
#include <iterator>

#include "common/db/access.h"
#include "common/db/db_manager.h"
#include "common/db/error_log.h"
#include "common/db/log_records.h"
#include "common/db/messages.h"
#include "common/mail/notifications.h"
#include "platform/drives.h"
#include "platform/system_actions.h"
#include "platform/text.h"
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
}

void CDeviceManager::Check(Category category, uint32_t type, uint32_t& blocked) {
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
        if (Block(type)) {
            blocked = 1;
        }
        return;
    }
    if (!CategoryAllowedNow(rules, false, category)) {
        if (Block(type)) {
            blocked = 1;
        }
    } else if (blocked != 0 && Restore(type)) {
        blocked = 0;
    }
}

bool CDeviceManager::Block(uint32_t type) {
    bool found = false;
    // A hidden drive is no longer mounted, so only drives mounted since (a new medium, a stick
    // plugged in, a desktop that mounted one again) are found here.
    for (const DriveMount& drive : MountedDrives(type)) {
        if (!state_.hidden.contains(drive.device)) {
            HiddenDrive remembered{drive, type};
            remembered.mount.mountPoint = FreeMountPoint(state_, drive.mountPoint);
            state_.hidden.emplace(drive.device, std::move(remembered));
        }
        if (actions_.Unmount(drive)) {
            ShowToUser(kIdsDiskDisabled, drive.mountPoint);
            LogEvent(kIdsDiskDisabled, drive.mountPoint);
        } else {
            LogError("CDeviceManager::Block() : %s : %s", drive.mountPoint.c_str(),
                     std::strerror(errno));
        }
        found = true;
    }
    return found;
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

void CDeviceManager::LogEvent(int stringId, const std::string& point) {
    const std::u16string text = DiskText(stringId, point);
    const auto options = OptionsSnapshot(db_);
    if (!options) {
        return;
    }
    if (options->SendNotificationEMail != 0) {
        SendNotification(db_, text);
    }
    AddWarning(db_, text, u"", 0, u"");
}

}  // namespace zen
