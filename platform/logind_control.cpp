#include "platform/logind_control.h"

#include "platform/logind_bus.h"

namespace zen {
namespace {

constexpr const char* kLogind = "org.freedesktop.login1";
constexpr const char* kManagerPath = "/org/freedesktop/login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";
// A hung logind must not hold the tick thread for sd-bus's default of 25 s.
constexpr uint64_t kCallTimeoutUsec = 5'000'000;

BusPtr OpenBus() {
    sd_bus* opened = nullptr;
    if (sd_bus_open_system(&opened) < 0) {
        return nullptr;
    }
    sd_bus_set_method_call_timeout(opened, kCallTimeoutUsec);
    return BusPtr(opened);
}

// Whether a failed call failed because logind is not there to answer.
bool NobodyAnswers(const sd_bus_error& error) {
    return sd_bus_error_has_name(&error, SD_BUS_ERROR_SERVICE_UNKNOWN) ||
           sd_bus_error_has_name(&error, SD_BUS_ERROR_NAME_HAS_NO_OWNER) ||
           sd_bus_error_has_name(&error, SD_BUS_ERROR_NO_REPLY);
}

template <typename Argument>
LogindResult CallManager(const char* method, const char* signature, Argument argument) {
    const BusPtr bus = OpenBus();
    if (!bus) {
        return LogindResult::Unavailable;
    }
    BusError error;
    if (sd_bus_call_method(bus.get(), kLogind, kManagerPath, kManager, method, &error.error,
                           nullptr, signature, argument) >= 0) {
        return LogindResult::Done;
    }
    return NobodyAnswers(error.error) ? LogindResult::Unavailable : LogindResult::Failed;
}

}  // namespace

std::optional<std::string> LogindActiveSessionId() {
    const BusPtr bus = OpenBus();
    if (!bus) {
        return std::nullopt;
    }
    const std::optional<ActiveSession> active = Seat0ActiveSession(bus.get());
    if (!active) {
        return std::nullopt;
    }
    return active->id;
}

LogindResult LogindTerminateSession(std::string_view sessionId) {
    const std::string id(sessionId);
    return CallManager("TerminateSession", "s", id.c_str());
}

LogindResult LogindPowerOff() {
    return CallManager("PowerOff", "b", 0);
}

}  // namespace zen
