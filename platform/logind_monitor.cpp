#include "platform/logind_monitor.h"

#include <poll.h>
#include <sys/epoll.h>
#include <time.h>

#include <string_view>

#include "platform/logind.h"

namespace zen {
namespace {

constexpr const char* kLogind = "org.freedesktop.login1";

// Reads the ActiveSession entry out of a PropertiesChanged dictionary; "" when it is not
// there or names no session.
std::string ActiveSessionIn(sd_bus_message* message) {
    const char* interface = nullptr;
    if (sd_bus_message_read(message, "s", &interface) < 0 ||
        sd_bus_message_enter_container(message, 'a', "{sv}") < 0) {
        return {};
    }
    std::string active;
    while (sd_bus_message_enter_container(message, 'e', "sv") > 0) {
        const char* name = nullptr;
        if (sd_bus_message_read(message, "s", &name) < 0) {
            return {};
        }
        const char* id = nullptr;
        const char* path = nullptr;
        if (std::string_view(name) == "ActiveSession" &&
            sd_bus_message_read(message, "v", "(so)", &id, &path) >= 0) {
            active = id != nullptr ? id : "";
        } else if (sd_bus_message_skip(message, "v") < 0) {
            return {};
        }
        sd_bus_message_exit_container(message);
    }
    return active;
}

}  // namespace

SessionMonitor::SessionMonitor() = default;
SessionMonitor::~SessionMonitor() = default;

bool SessionMonitor::Open(Handler handler) {
    if (!LogindInScope()) {
        return false;
    }
    sd_bus* opened = nullptr;
    if (sd_bus_open_system(&opened) < 0) {
        return false;
    }
    bus_.reset(opened);
    handler_ = std::move(handler);
    if (sd_bus_match_signal(opened, nullptr, kLogind, "/org/freedesktop/login1",
                            "org.freedesktop.login1.Manager", "SessionNew", OnSessionNew,
                            this) < 0 ||
        sd_bus_match_signal(opened, nullptr, kLogind, "/org/freedesktop/login1/seat/seat0",
                            "org.freedesktop.DBus.Properties", "PropertiesChanged", OnSeatChanged,
                            this) < 0) {
        bus_.reset();
        return false;
    }
    return true;
}

int SessionMonitor::fd() const {
    return sd_bus_get_fd(bus_.get());
}

uint32_t SessionMonitor::events() const {
    const int wanted = sd_bus_get_events(bus_.get());
    uint32_t events = 0;
    if (wanted > 0 && (wanted & POLLIN) != 0) {
        events |= EPOLLIN;
    }
    if (wanted > 0 && (wanted & POLLOUT) != 0) {
        events |= EPOLLOUT;
    }
    return events;
}

int SessionMonitor::timeoutMs() const {
    uint64_t deadline = 0;
    if (sd_bus_get_timeout(bus_.get(), &deadline) <= 0 || deadline == UINT64_MAX) {
        return -1;
    }
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t nowUsec = uint64_t(now.tv_sec) * 1'000'000 + uint64_t(now.tv_nsec) / 1000;
    return deadline <= nowUsec ? 0 : static_cast<int>((deadline - nowUsec + 999) / 1000);
}

void SessionMonitor::Process() {
    while (bus_ && sd_bus_process(bus_.get(), nullptr) > 0) {
    }
    // logind went away: the service goes on without notifications; the tick still asks.
    if (bus_ && sd_bus_is_open(bus_.get()) <= 0) {
        bus_.reset();
    }
}

int SessionMonitor::OnSessionNew(sd_bus_message* message, void* self, sd_bus_error*) {
    const char* id = nullptr;
    const char* path = nullptr;
    if (sd_bus_message_read(message, "so", &id, &path) >= 0 && id != nullptr) {
        static_cast<SessionMonitor*>(self)->handler_(kSessionLogon, id);
    }
    return 0;
}

int SessionMonitor::OnSeatChanged(sd_bus_message* message, void* self, sd_bus_error*) {
    const std::string active = ActiveSessionIn(message);
    if (!active.empty()) {
        static_cast<SessionMonitor*>(self)->handler_(kSessionConsoleConnect, active);
    }
    return 0;
}

}  // namespace zen
