#include "panel/desktop_notifier.h"

#include "panel/strings.h"

#ifdef ZEN_PANEL_DBUS
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QVariantMap>
#else
class QDBusInterface {};
#endif

namespace zen::panel {

DesktopNotifier::DesktopNotifier() = default;
DesktopNotifier::~DesktopNotifier() = default;

#ifdef ZEN_PANEL_DBUS

QDBusInterface* DesktopNotifier::Service() {
    if (!lookedUp_) {
        lookedUp_ = true;
        if (QDBusConnection::sessionBus().isConnected()) {
            service_ = std::make_unique<QDBusInterface>(
                "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                "org.freedesktop.Notifications", QDBusConnection::sessionBus());
        }
    }
    return service_ != nullptr && service_->isValid() ? service_.get() : nullptr;
}

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
