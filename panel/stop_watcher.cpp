#include "panel/stop_watcher.h"

#include "common/db/object_names.h"
#include "platform/named_event.h"

namespace zen::panel {
namespace {

// Only root creates the event; a panel that starts before it exists looks again this often.
constexpr std::chrono::seconds kOpenRetry{5};
constexpr std::chrono::milliseconds kWaitStep{200};

}  // namespace

StopWatcher::StopWatcher(QObject* parent) : QObject(parent), thread_([this] { Watch(); }) {}

StopWatcher::~StopWatcher() {
    cancel_ = true;
    woken_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool StopWatcher::Pause(std::chrono::milliseconds how_long) {
    std::unique_lock lock(mutex_);
    return !woken_.wait_for(lock, how_long, [this] { return cancel_.load(); });
}

void StopWatcher::Watch() {
    NamedEvent stop;
    while (!cancel_) {
        if (!stop.IsOpen() && !stop.Open(kPanelStopEventName, ObjectAccess::RootSignals)) {
            if (!Pause(kOpenRetry)) {
                return;
            }
            continue;
        }
        // Waits in short steps so that the panel's own end is never held up long.
        if (stop.Wait(kWaitStep)) {
            QMetaObject::invokeMethod(this, &StopWatcher::stopRequested, Qt::QueuedConnection);
            return;
        }
    }
}

}  // namespace zen::panel
