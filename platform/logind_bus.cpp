#include "platform/logind_bus.h"

#include <string_view>

namespace zen {

std::optional<ActiveSession> Seat0ActiveSession(sd_bus* bus) {
    BusError error;
    sd_bus_message* raw = nullptr;
    if (sd_bus_get_property(bus, "org.freedesktop.login1", "/org/freedesktop/login1/seat/seat0",
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
    // logind names "no active session" with an empty id and the path "/".
    if (id == nullptr || *id == '\0' || path == nullptr || std::string_view(path) == "/") {
        return ActiveSession{};
    }
    return ActiveSession{id, path};
}

}  // namespace zen
