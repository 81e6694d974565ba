#pragma once

#include <QString>
#include <cstdint>
#include <memory>

class QDBusInterface;

namespace zen::panel {

// Balloons for a session without a tray: notifications through the desktop's notification
// service on the session bus (org.freedesktop.Notifications). Without a session bus or such a
// service, nothing is shown.
class DesktopNotifier {
public:
    DesktopNotifier();
    ~DesktopNotifier();
    DesktopNotifier(const DesktopNotifier&) = delete;
    DesktopNotifier& operator=(const DesktopNotifier&) = delete;

    void Notify(const QString& title, const QString& text, bool warning, int milliseconds);
    // Takes the last notification away.
    void Close();

private:
    // The service, looked up at the first notification; nullptr when there is none.
    QDBusInterface* Service();

    std::unique_ptr<QDBusInterface> service_;
    bool lookedUp_ = false;
    uint32_t lastId_ = 0;
};

}  // namespace zen::panel
