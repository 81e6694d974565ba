#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/environment.h"
#include "platform/logind_monitor.h"
#include "platform/unique_fd.h"
#include "service/control_socket.h"
#include "service/posted_codes.h"
#include "service/service_status.h"
#include "service/time_socket.h"

namespace zen {

struct ServiceContext;

// Service control codes.
inline constexpr uint32_t kControlStop = 1;
inline constexpr uint32_t kControlPause = 2;
inline constexpr uint32_t kControlStart = 3;  // only the loop's own first packet
inline constexpr uint32_t kControlInterrogate = 4;
inline constexpr uint32_t kControlShutdown = 5;
inline constexpr uint32_t kControlSessionChange = 14;
inline constexpr uint32_t kCallNotImplemented = 120;

// The body of the service: one epoll loop that starts and stops the work, serves the time
// socket one client at a time and takes the control codes (SIGTERM or SIGINT is system
// shutdown, root's code 129 arrives on the control socket, logind's session changes on the
// bus). Returns when the service has stopped: kStopCode when code 129 stopped it, else 0.
class ServiceMainLoop {
public:
    ServiceMainLoop(std::string name, bool debugMode, const Environment& environment);
    ~ServiceMainLoop();
    ServiceMainLoop(const ServiceMainLoop&) = delete;
    ServiceMainLoop& operator=(const ServiceMainLoop&) = delete;

    int Run();

    // The control handler: 0 when the code was handled, 120 when it is not implemented.
    uint32_t ServiceControlHandler(uint32_t code, uint32_t eventType, std::string_view sessionId);

private:
    enum class Key { Control, TimeClient };
    struct Packet {
        Key key;
        uint32_t code;
    };

    bool Create();
    void PostStatus(uint32_t code);
    void Start();
    void Stop(uint32_t code);
    bool Watch(int fd, uint32_t events);
    Packet WaitForPacket();
    void HandleSignal();

    bool debugMode_;
    ServiceStatus status_;
    UniqueFd epoll_;
    UniqueFd signals_;
    PostedCodes posted_;
    TimeSocket timeSocket_;
    ControlSocket control_;
    SessionMonitor sessions_;
    std::unique_ptr<ServiceContext> context_;
    bool clientWaiting_ = false;
    int exitCode_ = 0;
};

}  // namespace zen
