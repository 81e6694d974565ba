#include "service/worker_threads.h"

#include <poll.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "common/db/error_log.h"
#include "service/manager.h"
#include "service/service_context.h"
#include "service/tick.h"

namespace zen {

void TickThread(ServiceContext& context) {
    const UniqueFd timer(::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK));
    if (!timer) {
        LogError("Error while creating waitable timer");
        return;
    }
    constexpr timespec period{kManagerPeriodMs / 1000, 0};
    const itimerspec schedule{period, period};
    if (::timerfd_settime(timer.get(), 0, &schedule, nullptr) != 0) {
        LogError("Error while creating waitable timer");
        return;
    }
    pollfd waits[2] = {{context.stopWake.get(), POLLIN, 0}, {timer.get(), POLLIN, 0}};
    for (;;) {
        if (::poll(waits, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            LogError("TickThread() : poll failed");
            return;
        }
        if (waits[0].revents != 0) {
            return;
        }
        uint64_t expirations = 0;
        // Ticks missed while one ran long are not made up: one tick per wake.
        if (::read(timer.get(), &expirations, sizeof expirations) == sizeof expirations) {
            RunTick(context);
        }
    }
}

void IdleThread(ServiceContext& context) {
    while (!context.stopEvent.Wait()) {
    }
}

}  // namespace zen
