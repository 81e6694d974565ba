#include "platform/logind.h"

#include <systemd/sd-bus.h>

#include <cstdlib>
#include <memory>
#include <string_view>

#include "platform/accounts.h"
#include "platform/environment.h"
#include "platform/logind_bus.h"

namespace zen {
namespace {

constexpr const char* kLogind = "org.freedesktop.login1";
// A hung logind must not hold the tick up for sd-bus's default of 25 s.
constexpr uint64_t kCallTimeoutUsec = 2'000'000;

sd_bus* ThreadBus() {
    thread_local std::unique_ptr<sd_bus, BusClose> bus;
    if (bus && sd_bus_is_open(bus.get()) <= 0) {
        bus.reset();
    }
    if (!bus) {
        sd_bus* opened = nullptr;
        if (sd_bus_open_system(&opened) < 0) {
            return nullptr;
        }
        sd_bus_set_method_call_timeout(opened, kCallTimeoutUsec);
        bus.reset(opened);
    }
    return bus.get();
}

std::optional<std::string> SessionName(sd_bus* bus, const char* sessionPath) {
    BusError error;
    char* name = nullptr;
    if (sd_bus_get_property_string(bus, kLogind, sessionPath, "org.freedesktop.login1.Session",
                                   "Name", &error.error, &name) < 0) {
        return std::nullopt;
    }
    std::string result(name);
    free(name);
    return result;
}

// The login screen, and sessions of the accounts that are never controlled, are nobody's.
bool IsControlledSession(sd_bus* bus, const char* sessionPath) {
    BusError error;
    char* sessionClass = nullptr;
    if (sd_bus_get_property_string(bus, kLogind, sessionPath, "org.freedesktop.login1.Session",
                                   "Class", &error.error, &sessionClass) >= 0) {
        const bool greeter = std::string_view(sessionClass) == "greeter";
        free(sessionClass);
        if (greeter) {
            return false;
        }
    }
    BusError userError;
    sd_bus_message* raw = nullptr;
    if (sd_bus_get_property(bus, kLogind, sessionPath, "org.freedesktop.login1.Session", "User",
                            &userError.error, &raw, "(uo)") < 0) {
        return true;
    }
    const MessagePtr reply(raw);
    uint32_t uid = 0;
    const char* userPath = nullptr;
    return sd_bus_message_read(reply.get(), "(uo)", &uid, &userPath) < 0 ||
           !IsSystemAccount(static_cast<uid_t>(uid));
}

}  // namespace

bool LogindInScope() {
    return Env().logind;
}

std::optional<std::string> LogindConsoleUser() {
    sd_bus* bus = ThreadBus();
    if (bus == nullptr) {
        return std::nullopt;
    }
    const std::optional<ActiveSession> active = Seat0ActiveSession(bus);
    if (!active) {
        return std::nullopt;
    }
    // logind names "no active session" with an empty id and the path "/".
    if (active->id.empty() || active->path == "/" ||
        !IsControlledSession(bus, active->path.c_str())) {
        return std::string();
    }
    return SessionName(bus, active->path.c_str());
}

std::optional<std::string> LogindSessionUser(std::string_view sessionId) {
    sd_bus* bus = ThreadBus();
    if (bus == nullptr) {
        return std::nullopt;
    }
    BusError error;
    sd_bus_message* raw = nullptr;
    const std::string id(sessionId);
    if (sd_bus_call_method(bus, kLogind, "/org/freedesktop/login1",
                           "org.freedesktop.login1.Manager", "GetSession", &error.error, &raw, "s",
                           id.c_str()) < 0) {
        return std::nullopt;
    }
    const MessagePtr reply(raw);
    const char* path = nullptr;
    if (sd_bus_message_read(reply.get(), "o", &path) < 0) {
        return std::nullopt;
    }
    if (!IsControlledSession(bus, path)) {
        return std::string();
    }
    return SessionName(bus, path);
}

}  // namespace zen
