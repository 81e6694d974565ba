#include "panel/desktop_notifier.h"

#include "panel/strings.h"

#ifdef ZEN_PANEL_DBUS
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QVariantMap>
#endif

namespace zen::panel {

#ifdef ZEN_PANEL_DBUS
namespace {

QDBusInterface* Service() {
    if (!QDBusConnection::sessionBus().isConnected()) {
        return nullptr;
    }
    static QDBusInterface service("org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                                  "org.freedesktop.Notifications", QDBusConnection::sessionBus());
    return service.isValid() ? &service : nullptr;
}

}  // namespace

void DesktopNotifier::Notify(const QString& title, const QString& text, bool warning,
                             int milliseconds) {
    QDBusInterface* service = Service();
    if (service == nullptr) {
        return;
    }
    QVariantMap hints;
    hints.insert("urgency", QVariant::fromValue<uchar>(warning ? 2 : 1));
    const QDBusReply<uint32_t> reply =
        service->call("Notify", ProductName(), lastId_,
                      QString(warning ? "dialog-warning" : "dialog-information"), title, text,
                      QStringList(), hints, milliseconds);
    if (reply.isValid()) {
        lastId_ = reply.value();
    }
}

void DesktopNotifier::Close() {
    QDBusInterface* service = Service();
    if (service != nullptr && lastId_ != 0) {
        service->call("CloseNotification", lastId_);
    }
    lastId_ = 0;
}

#else

void DesktopNotifier::Notify(const QString&, const QString&, bool, int) {}
void DesktopNotifier::Close() {}

#endif

}  // namespace zen::panel
