#include "service/worker_threads.h"

#include <poll.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <vector>

#include "common/db/error_log.h"
#include "service/manager.h"
#include "service/service_context.h"
#include "service/tick.h"

namespace zen {
namespace {

constexpr std::size_t kFirstManagerWait = 2;

}  // namespace

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
    // The stop, the tick, then the timers of the managers that keep one, in list order.
    std::vector<pollfd> waits{{context.stopWake.get(), POLLIN, 0}, {timer.get(), POLLIN, 0}};
    std::vector<CManager*> timed;
    for (const auto& manager : context.managers) {
        if (manager->TimerFd() >= 0) {
            waits.push_back({manager->TimerFd(), POLLIN, 0});
            timed.push_back(manager.get());
        }
    }
    for (;;) {
        if (::poll(waits.data(), waits.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            LogError("TickThread() : poll failed");
            return;
        }
        if (waits[0].revents != 0) {
            return;
        }
        for (std::size_t i = 0; i < timed.size(); ++i) {
            if (waits[kFirstManagerWait + i].revents != 0) {
                timed[i]->OnTimer();
            }
        }
        uint64_t expirations = 0;
        // Ticks missed while one ran long are not made up: one tick per wake.
        if (waits[1].revents != 0 &&
            ::read(timer.get(), &expirations, sizeof expirations) == sizeof expirations) {
            RunTick(context);
        }
    }
}

void IdleThread(ServiceContext& context) {
    while (!context.stopEvent.Wait()) {
    }
}

}  // namespace zen
