#include "service/managers/shutdown_manager.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <cstdint>
#include <new>

#include "common/db/access.h"
#include "common/db/db_manager.h"
#include "common/db/error_log.h"
#include "common/db/log_records.h"
#include "common/db/messages.h"
#include "common/mail/notifications.h"
#include "platform/console_session.h"
#include "platform/text.h"
#include "service/options_gate.h"
#include "service/service_strings.h"

namespace zen {
namespace {

// The warnings-log code of a computer-time warning.
constexpr uint32_t kComputerTimeWarning = 2;

}  // namespace

CShutdownManager::CShutdownManager(CDBManager& db, SystemActions& actions,
                                   std::chrono::milliseconds warningTime)
    : db_(db),
      actions_(actions),
      warningTime_(warningTime),
      timer_(::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK)) {
    // Without its timer the manager could warn but never act.
    if (!timer_) {
        throw std::bad_alloc();
    }
}

std::unique_ptr<CManager> CShutdownManager::Create(CDBManager& db, SystemActions& actions) {
    return std::make_unique<CShutdownManager>(db, actions);
}

int CShutdownManager::Start() {
    // Powering off and ending sessions are root's.
    if (::geteuid() != 0) {
        LogError("Error AdjustTokenPrivileges");
        return 0;
    }
    return 1;
}

void CShutdownManager::Tick() {
    OptionsGate(db_);
    const FastUsersRecord rules = db_.CurrentRulesCopy();
    if (rules.Disable != 0) {
        return;
    }
    // The daily limit needs someone at the console; a reached limit is never disarmed here.
    const std::u16string user = db_.CurrentUserName();
    if (!user.empty() &&
        CheckRulesDailyLimit(db_.StateMutex(), rules, user, Category::Power).reached) {
        ArmFor(rules.ShutDown);
        return;
    }
    if (!CategoryAllowedNow(rules, false, Category::Power)) {
        ArmFor(rules.ShutDown);
    } else if (pending_.armed) {
        // The time became allowed again within the minute: no action, and nothing to say.
        Disarm();
    }
}

void CShutdownManager::ArmFor(uint32_t shutDown) {
    if (shutDown == 0) {
        Arm(Action::PowerOff);
    } else if (shutDown == 1) {
        Arm(Action::LogOff);
    }
}

void CShutdownManager::Arm(Action action) {
    if (pending_.armed) {
        if (pending_.action == action) {
            return;  // warned already
        }
        // The rules changed their action: a new warning and a new full minute.
        Disarm();
    }
    Warn(Utf8ToUtf16(
        ServiceString(action == Action::PowerOff ? kIdsShutdownWarning : kIdsLogoffWarning)));
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(warningTime_);
    const auto nanoseconds =
        std::chrono::duration_cast<std::chrono::nanoseconds>(warningTime_ - seconds);
    const itimerspec once{{0, 0}, {seconds.count(), nanoseconds.count()}};
    if (::timerfd_settime(timer_.get(), 0, &once, nullptr) != 0) {
        ShowSysError(0, "CShutdownManager timer");
        return;
    }
    pending_.action = action;
    pending_.armed = true;
    // The session is fixed now: a user who takes over the console within the minute is not
    // the one logged off.
    pending_.session = ConsoleSession();
}

void CShutdownManager::Disarm() {
    // Disarming also drops an expiry not yet read, so a stale one never fires.
    const itimerspec stop{};
    ::timerfd_settime(timer_.get(), 0, &stop, nullptr);
    pending_.armed = false;
}

void CShutdownManager::Warn(std::u16string_view text) {
    const auto options = OptionsSnapshot(db_);
    if (options && options->SendNotificationEMail != 0) {
        SendNotification(db_, text);
    }
    AddWarning(db_, text, u"", kComputerTimeWarning, u"");
    // The control panel in the user's session shows the message.
    OptionsGate(db_);
    AddMessage(db_, text);
}

void CShutdownManager::OnTimer() {
    uint64_t expirations = 0;
    if (::read(timer_.get(), &expirations, sizeof expirations) != sizeof expirations ||
        !pending_.armed) {
        return;
    }
    pending_.armed = false;
    if (pending_.action == Action::PowerOff) {
        if (!actions_.PowerOff()) {
            LogError("CShutdownManager::OnTimer() : power-off failed");
        }
    } else if (!actions_.LogOff(pending_.session)) {
        LogError("CShutdownManager::OnTimer() : logoff of session %s (%s) failed",
                 pending_.session.id.c_str(), pending_.session.user.c_str());
        // Programs that outlived the logoff are the parent's to know; the next tick arms the
        // logoff again while the time stays forbidden.
        AddWarning(db_,
                   Utf8ToUtf16("Logoff of " + pending_.session.user +
                               " failed: some of its programs are still running"),
                   u"", kComputerTimeWarning, u"");
    }
}

}  // namespace zen
