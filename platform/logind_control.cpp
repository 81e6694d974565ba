#include "platform/logind_control.h"

#include <systemd/sd-bus.h>

#include <memory>

namespace zen {
namespace {

constexpr const char* kLogind = "org.freedesktop.login1";
constexpr const char* kManagerPath = "/org/freedesktop/login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";
// A hung logind must not hold the tick thread for sd-bus's default of 25 s.
constexpr uint64_t kCallTimeoutUsec = 5'000'000;

struct BusClose {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
using BusPtr = std::unique_ptr<sd_bus, BusClose>;

struct MessageUnref {
    void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using MessagePtr = std::unique_ptr<sd_bus_message, MessageUnref>;

struct BusError {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    ~BusError() { sd_bus_error_free(&error); }
};

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
    BusError error;
    sd_bus_message* raw = nullptr;
    if (sd_bus_get_property(bus.get(), kLogind, "/org/freedesktop/login1/seat/seat0",
                            "org.freedesktop.login1.Seat", "ActiveSession", &error.error, &raw,
                            "(so)") < 0) {
        return std::nullopt;
    }
    const MessagePtr reply(raw);
    const char* id = nullptr;
    const char* path = nullptr;
    if (sd_bus_message_read(reply.get(), "(so)", &id, &path) < 0) {
        return std::nullopt;
    }
    return std::string(id == nullptr ? "" : id);
}

LogindResult LogindTerminateSession(std::string_view sessionId) {
    const std::string id(sessionId);
    return CallManager("TerminateSession", "s", id.c_str());
}

LogindResult LogindPowerOff() {
    return CallManager("PowerOff", "b", 0);
}

}  // namespace zen
