#pragma once

#include <systemd/sd-bus.h>

#include <memory>
#include <optional>
#include <string>

namespace zen {

// What the logind files share: owners of sd-bus's reference-counted handles, and the one
// question both ask of the seat.
struct BusClose {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
using BusPtr = std::unique_ptr<sd_bus, BusClose>;

struct MessageUnref {
    void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using MessagePtr = std::unique_ptr<sd_bus_message, MessageUnref>;

// Frees an sd_bus_error when the call that filled it is done with.
struct BusError {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    ~BusError() { sd_bus_error_free(&error); }
};

// seat0's active session: its id and object path, both "" when no session is active there;
// nothing when logind cannot be asked.
struct ActiveSession {
    std::string id;
    std::string path;
};
std::optional<ActiveSession> Seat0ActiveSession(sd_bus* bus);

}  // namespace zen
