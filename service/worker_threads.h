#pragma once

namespace zen {

struct ServiceContext;

// Runs the tick every 5 s on a timerfd, the first 5 s after the start, and serves the timers
// of the managers that keep one (OnTimer), all on this thread, until the stop event.
void TickThread(ServiceContext& context);

// Waits for the stop event and ends.
void IdleThread(ServiceContext& context);

}  // namespace zen
