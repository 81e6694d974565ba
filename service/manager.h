#pragma once

namespace zen {

// One enforcer of the service. The operations keep this order, the one every manager
// overrides; the service calls Start once after creating a manager and Tick every period, all
// on the tick thread, so managers need no locks among themselves. ReleaseAll undoes what a
// manager holds (the removal calls it).
class CManager {
public:
    virtual ~CManager() = default;
    virtual int Start() = 0;
    virtual int Stop() = 0;
    virtual int ReleaseAll() = 0;
    virtual int GetKind() const = 0;
    virtual int GetPeriod() const = 0;
    virtual void Tick() = 0;

    // A manager that acts at a moment of its own (the warning's minute before a logoff) owns a
    // timer descriptor that turns readable then; the tick thread waits on it with the tick and
    // calls OnTimer on its own thread. -1: the manager has no timer.
    virtual int TimerFd() const { return -1; }
    virtual void OnTimer() {}
};

// The period of every manager and of the tick, in milliseconds.
inline constexpr int kManagerPeriodMs = 5000;

}  // namespace zen
