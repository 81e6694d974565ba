#include "service/work.h"

#include <sys/eventfd.h>

#include <chrono>
#include <exception>

#include "common/db/error_log.h"
#include "common/db/options_file.h"
#include "platform/named_event.h"
#include "service/data_guard.h"
#include "service/message_box.h"
#include "service/mgr_factory.h"
#include "service/options_gate.h"
#include "service/service_context.h"
#include "service/service_strings.h"
#include "service/worker_threads.h"

namespace zen {
namespace {

constexpr std::chrono::milliseconds kThreadsEndWait{2000};
constexpr std::chrono::hours kRepeatInterval{1};

void ShowDatabaseError(int stringId) {
    ShowServiceMessage(stringId, ServiceString(kIdsProductName));
}

// Each manager that can be made joins; one that cannot is logged with its kind, and the
// others still come.
void CreateManagers(ServiceContext& context) {
    const CMgrFactory factory;
    for (const ManagerCreation& creation : factory.Order()) {
        try {
            auto manager = factory.Create(creation, context.db, *context.actions);
            manager->Start();
            context.managers.push_back(std::move(manager));
        } catch (const std::exception& failure) {
            LogError(failure.what());
        }
    }
}

template <typename Body>
Worker StartWorker(Body body) {
    std::packaged_task<void()> task(std::move(body));
    Worker worker;
    worker.ended = task.get_future();
    worker.thread = std::thread(std::move(task));
    return worker;
}

// Joins a worker that ended by the deadline; false, leaving it running, when it did not.
bool JoinBy(Worker& worker, std::chrono::steady_clock::time_point deadline) {
    if (!worker.thread.joinable()) {
        return true;
    }
    if (worker.ended.wait_until(deadline) != std::future_status::ready) {
        worker.thread.detach();
        return false;
    }
    worker.thread.join();
    return true;
}

}  // namespace

bool StartWork(ServiceContext& context) {
    GuardNamedObjectMappings();
    SetRepeatInterval(kRepeatInterval);
    DataGuard::RemoveLeftoverScratchFiles();
    if (!context.stopEvent.Open(kStopEventName, ObjectAccess::RootOnly) ||
        !context.stopEvent.Reset()) {
        ShowSysError(0, "CreateEvent");
        return false;
    }
    if (!context.panelStopEvent.Open(kPanelStopEventName, ObjectAccess::RootSignals)) {
        ShowSysError(0, "CreateEvent");
    }
    context.dataGuard.Tick();
    OpenDatabase(context);
    context.stopWake.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    context.tickThread = StartWorker([&context] { TickThread(context); });
    context.idleThread = StartWorker([&context] { IdleThread(context); });
    return true;
}

bool OpenDatabase(ServiceContext& context) {
    if (context.db.IsInitialised()) {
        return true;
    }
    // The database opens its mutexes in Init; the options are read before it, under the same
    // mutex.
    NamedMutex& optionsMutex = context.db.OptionsMutex();
    if (!optionsMutex.IsOpen() && !optionsMutex.Open(kOptionsMutexName)) {
        ShowSysError(0, "CreateMutex");
    }
    OptionsGate(context.db);
    Options options{};
    const bool optionsRead = SerializeOptions(options, false, false, true, optionsMutex) != 0;
    if (!optionsRead || context.db.Init(false) == 0) {
        if (!context.databaseFailureShown) {
            ShowDatabaseError(optionsRead ? kIdsDatabaseFailed : kIdsOptionsFailed);
            context.databaseFailureShown = true;
        }
        return false;
    }
    if (context.databaseFailureShown) {
        LogError("The database is open again");
        context.databaseFailureShown = false;
    }
    CreateManagers(context);
    return true;
}

bool TermService(ServiceContext& context) {
    if (context.stopEvent.IsOpen()) {
        context.stopEvent.Set();
    }
    if (context.stopWake) {
        const uint64_t one = 1;
        (void)::write(context.stopWake.get(), &one, sizeof one);
    }
    const auto deadline = std::chrono::steady_clock::now() + kThreadsEndWait;
    const bool tickEnded = JoinBy(context.tickThread, deadline);
    const bool idleEnded = JoinBy(context.idleThread, deadline);
    if (!tickEnded || !idleEnded) {
        LogError("TermService(), error timeout");
        return false;
    }
    context.stopEvent.Close();
    return true;
}

}  // namespace zen
