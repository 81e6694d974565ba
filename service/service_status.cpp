#include "service/service_status.h"

#include <systemd/sd-daemon.h>

#include <string>

#include "common/db/error_log.h"

namespace zen {
namespace {

constexpr uint32_t kPendingWaitHintMs = 2000;

std::string NotifyText(ServiceState state, uint32_t waitHintMs) {
    std::string text;
    switch (state) {
        case ServiceState::Running:
            text = "READY=1\nSTATUS=Running";
            break;
        case ServiceState::StopPending:
            text = "STOPPING=1\nSTATUS=Stopping";
            break;
        case ServiceState::Stopped:
            text = "STATUS=Stopped";
            break;
        case ServiceState::Paused:
            text = "STATUS=Paused";
            break;
        default:
            text = "STATUS=Starting";
            break;
    }
    if (waitHintMs != 0) {
        text += "\nEXTEND_TIMEOUT_USEC=" + std::to_string(uint64_t{waitHintMs} * 1000);
    }
    return text;
}

}  // namespace

void ServiceStatus::Initialize(bool debugMode) {
    debugMode_ = debugMode;
    state_ = ServiceState::StartPending;
    controlsAccepted_ = 0;
    checkPoint_ = 0;
    waitHint_ = kPendingWaitHintMs;
}

bool ServiceStatus::ReportStatus() {
    if (debugMode_) {
        return true;
    }
    if (::sd_notify(0, NotifyText(state_, waitHint_).c_str()) < 0) {
        LogError("ReportStatus() : SetSericeStatus return FALSE");
        return false;
    }
    return true;
}

bool ServiceStatus::BeginStop() {
    if (!settled_) {
        return false;
    }
    settled_ = false;
    checkPoint_ = 1;
    waitHint_ = kPendingWaitHintMs;
    state_ = ServiceState::StopPending;
    ReportStatus();
    return true;
}

bool ServiceStatus::AdvanceStatus() {
    ServiceState target{};
    switch (state_) {
        case ServiceState::StartPending:
        case ServiceState::ContinuePending:
            target = ServiceState::Running;
            break;
        case ServiceState::StopPending:
            target = ServiceState::Stopped;
            break;
        case ServiceState::PausePending:
            target = ServiceState::Paused;
            break;
        default:
            waitHint_ = checkPoint_ = 0;
            return false;
    }
    waitHint_ = checkPoint_ = 0;
    state_ = target;
    const bool reported = ReportStatus();
    settled_ = true;
    return reported;
}

}  // namespace zen
