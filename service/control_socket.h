#pragma once

#include <cstdint>
#include <functional>

#include "platform/unique_fd.h"

namespace zen {

// The service's private control code: besides system shutdown, the only way to stop it.
inline constexpr uint32_t kStopCode = 129;

// The service's control socket, run/zentimo/control. A sender writes one 32-bit code
// (little-endian) and reads back the handler's 32-bit answer. Only root's code 129 reaches
// the handler; other senders are hung up on unread, so no account can stop or stall the loop.
class ControlSocket {
public:
    using Handler = std::function<uint32_t(uint32_t code)>;

    bool Open();
    void Close();
    int fd() const { return listener_.get(); }
    // Takes one waiting sender.
    void ServeOne(const Handler& handler);

private:
    UniqueFd listener_;
};

// Sends a control code to the running service; true when the service took it.
bool SendControlCode(uint32_t code);

}  // namespace zen
