#pragma once

#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/db/db_manager.h"
#include "common/db/object_names.h"
#include "platform/named_event.h"
#include "platform/unique_fd.h"
#include "service/data_guard.h"
#include "service/manager.h"
#include "service/report_schedule.h"

namespace zen {

// A worker thread whose end can be waited for with a limit.
struct Worker {
    std::thread thread;
    std::future<void> ended;
};

// Everything the running service holds: its name, the rules database, the stop events, the
// worker threads and the managers (owned, in creation order, until the process ends).
struct ServiceContext {
    std::string name;
    bool debugMode = false;
    CDBManager db;
    // The database could not be opened and this was shown; it is tried again at every tick.
    bool databaseFailureShown = false;
    DataGuard dataGuard;
    // Private to the service: set when the work stops.
    NamedEvent stopEvent;
    // Created here because only root may create it; the removal sets it to close every panel.
    NamedEvent panelStopEvent;
    // Wakes the tick thread's poll when the stop event is set.
    UniqueFd stopWake;
    Worker tickThread;
    Worker idleThread;
    std::vector<std::unique_ptr<CManager>> managers;
    ReportSchedule reportSchedule;
};

}  // namespace zen
