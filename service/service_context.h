#pragma once

#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/db/db_manager.h"
#include "common/db/object_names.h"
#include "platform/environment.h"
#include "platform/named_event.h"
#include "platform/system_actions.h"
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

// Everything the running service holds: its name, the environment it runs in and the actions
// it allows, the rules database, the stop events, the worker threads and the managers (owned,
// in creation order, until the process ends).
struct ServiceContext {
    explicit ServiceContext(const Environment& environment)
        : environment(environment), actions(MakeSystemActions(environment)) {}

    std::string name;
    bool debugMode = false;
    const Environment& environment;
    const std::unique_ptr<SystemActions> actions;
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
    // Added by the tick thread only (the first ones before it starts); it watches the timer of
    // each one as it comes.
    std::vector<std::unique_ptr<CManager>> managers;
    ReportSchedule reportSchedule;
};

}  // namespace zen
