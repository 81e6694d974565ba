#pragma once

#include <cstdint>

namespace zen {

enum class ServiceState : uint32_t {
    Stopped = 1,
    StartPending = 2,
    StopPending = 3,
    Running = 4,
    ContinuePending = 5,
    PausePending = 6,
    Paused = 7,
};

// Controls the service accepts: system shutdown and session changes; stop never.
inline constexpr uint32_t kAcceptShutdown = 0x04;
inline constexpr uint32_t kAcceptSessionChange = 0x80;

// The service's status towards its manager, reported to systemd with sd_notify (READY when
// running, STOPPING when a stop begins). In debug mode nothing is reported.
class ServiceStatus {
public:
    // Start pending, no controls accepted yet, nothing reported.
    void Initialize(bool debugMode);
    void AcceptControls(uint32_t controls) { controlsAccepted_ |= controls; }

    bool ReportStatus();
    // Stop pending, reported. A stop asked for while the last change is not settled yet (a
    // stop already under way) is refused: the loop that would settle it is the one asking.
    bool BeginStop();
    // The pending state's target: start pending -> running, stop pending -> stopped, and so
    // on; false when the state has none.
    bool AdvanceStatus();

    ServiceState state() const { return state_; }
    uint32_t checkPoint() const { return checkPoint_; }
    uint32_t waitHint() const { return waitHint_; }
    uint32_t controlsAccepted() const { return controlsAccepted_; }

private:
    bool debugMode_ = false;
    ServiceState state_ = ServiceState::Stopped;
    uint32_t controlsAccepted_ = 0;
    uint32_t checkPoint_ = 0;
    uint32_t waitHint_ = 0;
    // The status-settled event: set at start and by every completed change.
    bool settled_ = true;
};

}  // namespace zen
