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
    const auto tick = context.environment.tickPeriod;
    const timespec period{static_cast<time_t>(tick.count() / 1000),
                          static_cast<long>(tick.count() % 1000) * 1'000'000};
    const itimerspec schedule{period, period};
    if (::timerfd_settime(timer.get(), 0, &schedule, nullptr) != 0) {
        LogError("Error while creating waitable timer");
        return;
    }
    // The stop, the tick, then the timers of the managers that keep one, in list order. A tick
    // may add managers (the database opened late), so the list follows them at every wait.
    std::vector<pollfd> waits;
    std::vector<CManager*> timed;
    for (;;) {
        waits.assign({{context.stopWake.get(), POLLIN, 0}, {timer.get(), POLLIN, 0}});
        timed.clear();
        for (const auto& manager : context.managers) {
            if (manager->TimerFd() >= 0) {
                waits.push_back({manager->TimerFd(), POLLIN, 0});
                timed.push_back(manager.get());
            }
        }
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
