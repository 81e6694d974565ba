#pragma once

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace zen::panel {

// Waits on a thread of its own for "__Zentimo_CP_Stop__", which the removal of the system
// sets, and then asks the panel to quit. The thread touches nothing but the event; the
// request reaches the GUI thread as a queued signal.
class StopWatcher : public QObject {
    Q_OBJECT
public:
    explicit StopWatcher(QObject* parent);
    ~StopWatcher() override;

signals:
    void stopRequested();

private:
    void Watch();
    bool Pause(std::chrono::milliseconds how_long);

    std::atomic<bool> cancel_{false};
    std::mutex mutex_;
    std::condition_variable woken_;
    std::thread thread_;
};

}  // namespace zen::panel
