#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/system_actions.h"
#include "platform/unique_fd.h"
#include "service/manager.h"

namespace zen {

class CDBManager;

// Enforces the computer category: when the rules in force forbid the computer at this quarter
// hour, or today's computer minutes are used up, it warns the user once and, a minute later,
// logs the console session off or powers the machine off, as the rules' ShutDown says.
//
// The model of a manager: one class per file pair, built on the database it is given and the
// system's actions; everything it keeps is touched only on the tick thread.
class CShutdownManager final : public CManager {
public:
    static constexpr int kKind = 1005;
    // The user's time to save their work between the warning and the action.
    static constexpr std::chrono::milliseconds kWarningTime{60'000};

    // `warningTime` is shortened only by tests.
    explicit CShutdownManager(CDBManager& db, SystemActions& actions,
                              std::chrono::milliseconds warningTime = kWarningTime);

    // Checks that the service may act on the machine (root); logs it when it may not.
    int Start() override;
    int Stop() override { return 1; }
    int ReleaseAll() override { return 1; }
    int GetKind() const override { return kKind; }
    int GetPeriod() const override { return kManagerPeriodMs; }
    void Tick() override;
    int TimerFd() const override { return timer_.get(); }
    // The minute has passed: the armed action runs.
    void OnTimer() override;

    bool armed() const { return pending_.armed; }

    static std::unique_ptr<CManager> Create(CDBManager& db, SystemActions& actions);

private:
    enum class Action { PowerOff, LogOff };

    struct PendingAction {
        bool armed = false;
        Action action = Action::LogOff;
        SessionRef session;  // the console session when the timer was armed
    };

    // Arms the action for the rules' ShutDown (0 power off, 1 log off; anything else none).
    void ArmFor(uint32_t shutDown);
    void Arm(Action action);
    void Disarm();
    void Warn(std::u16string_view text);

    CDBManager& db_;
    SystemActions& actions_;
    std::chrono::milliseconds warningTime_;
    UniqueFd timer_;
    PendingAction pending_;
};

}  // namespace zen
