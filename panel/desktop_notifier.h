#pragma once

#include <QString>
#include <cstdint>

namespace zen::panel {

// Balloons for a session without a tray: notifications through the desktop's notification
// service on the session bus (org.freedesktop.Notifications). Without a session bus or such a
// service, nothing is shown.
class DesktopNotifier {
public:
    void Notify(const QString& title, const QString& text, bool warning, int milliseconds);
    // Takes the last notification away.
    void Close();

private:
    uint32_t lastId_ = 0;
};

}  // namespace zen::panel
