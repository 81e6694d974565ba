#pragma once

namespace zen {

struct ServiceContext;

// Runs the tick every period of the environment (5 s) on a timerfd, the first one period after
// the start, and serves the timers of the managers that keep one (OnTimer), as they are added,
// all on this thread, until the stop event.
void TickThread(ServiceContext& context);

// Waits for the stop event and ends.
void IdleThread(ServiceContext& context);

}  // namespace zen
