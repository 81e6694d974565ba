#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/db/category.h"
#include "platform/mount_holders.h"
#include "platform/system_actions.h"
#include "service/manager.h"
#include "service/managers/drive_state.h"

namespace zen {

class CDBManager;

// Hides the CD/DVD and removable drives while their category is forbidden, by ending the
// console child's processes that hold them and unmounting them (never lazily), and mounts them
// again when it is allowed. What it hid is kept in the options' device state,
// so that a restarted service, or the removal, puts every drive back.
class CDeviceManager : public CManager {
public:
    CDeviceManager(CDBManager& db, SystemActions& actions);

    int Start() override;
    int Stop() override;
    int ReleaseAll() override;
    int GetKind() const override { return 1003; }
    int GetPeriod() const override { return kManagerPeriodMs; }
    void Tick() override;

    // Reads the hidden drives and the category flags from the options' device state.
    int LoadLastState();
    // Stores them there when they changed.
    int SaveLastState();

    static std::unique_ptr<CManager> Create(CDBManager& db, SystemActions& actions);

private:
    void Check(Category category, uint32_t type, uint32_t& blocked);
    // Hides every mounted drive of the type; true when there was one.
    bool Block(uint32_t type);
    // Ends the console child's processes that hold the drive; the other accounts' holders.
    std::vector<MountHolder> EndControlledHolders(const DriveMount& drive);
    // Mounts every remembered drive of the type again; true when there was one.
    bool Restore(uint32_t type);
    void ShowToUser(int stringId, const std::string& point);
    void LogEvent(int stringId, const std::string& point);
    // Writes run/zentimo/media-forbidden when it changed: which media the console child may
    // not mount now.
    void KeepMediaForbidden();
    // Takes the console child's ACL entry off the optical devices (dev/sr*) while CD/DVD is
    // forbidden, and gives it back when allowed.
    void KeepOpticalAccess();
    void ReportBusy(const std::string& point, const std::string& program);
    void LogText(const std::u16string& text, const std::u16string& program = u"");

    CDBManager& db_;
    SystemActions& actions_;
    DriveState state_;
    // Nothing is stored before the stored state was read: an empty state would forget drives.
    bool loaded_ = false;
    // Whether each type's category is forbidden for the console user at this tick.
    std::map<uint32_t, bool> forbidden_;
    // The account whose optical device access was taken away, to be given back.
    std::optional<uid_t> opticalTakenFrom_;
    // The content of run/zentimo/media-forbidden as last written.
    std::optional<std::string> mediaForbidden_;
    // Drives left mounted because another account holds them (device, type): reported once.
    std::map<std::string, uint32_t> busy_;
    // The last text written, so that an overload is reported once, not every tick.
    std::u16string lastText_;
};

}  // namespace zen
