#include "panel/tray.h"

#include <QMenu>
#include <QSystemTrayIcon>

#include "panel/desktop_notifier.h"
#include "panel/pictures.h"
#include "panel/strings.h"

namespace zen::panel {

PanelTray::PanelTray(QObject* parent)
    : QObject(parent),
      menu_(std::make_unique<QMenu>()),
      notifier_(std::make_unique<DesktopNotifier>()) {
    icon_ = new QSystemTrayIcon(this);
    icon_->setToolTip(ProductName());
    icon_->setContextMenu(menu_.get());
    connect(menu_.get(), &QMenu::aboutToShow, this, &PanelTray::RebuildMenu);
    connect(icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason why) {
                if (why == QSystemTrayIcon::DoubleClick) {
                    emit openRequested();
                }
            });
    RebuildMenu();
}

PanelTray::~PanelTray() {
    Remove();
}

void PanelTray::Add(bool filteringEnabled) {
    SetFilteringEnabled(filteringEnabled);
    icon_->show();
    shown_ = true;
}

void PanelTray::SetFilteringEnabled(bool enabled) {
    filteringEnabled_ = enabled;
    icon_->setIcon(TrayIcon(enabled));
    RebuildMenu();
}

void PanelTray::Remove() {
    if (shown_) {
        icon_->hide();
        notifier_->Close();
        shown_ = false;
    }
}

void PanelTray::ShowBalloon(const QString& text, BalloonKind kind) {
    const QString shown = text.left(kMaxBalloonText);
    const QString title = ProductName();
    if (QSystemTrayIcon::isSystemTrayAvailable() && shown_) {
        if (shown.isEmpty()) {
            // Replacing the balloon with an empty one takes it away.
            icon_->showMessage(QString(), QString(), QSystemTrayIcon::NoIcon, 1);
        } else {
            icon_->showMessage(title, shown,
                               kind == BalloonKind::Warning ? QSystemTrayIcon::Warning
                                                            : QSystemTrayIcon::Information,
                               kBalloonMilliseconds);
        }
    } else if (shown.isEmpty()) {
        notifier_->Close();
    } else {
        notifier_->Notify(title, shown, kind == BalloonKind::Warning, kBalloonMilliseconds);
    }
    emit balloonShown(title, shown, kind);
}

void PanelTray::RebuildMenu() {
    menu_->clear();
    connect(menu_->addAction(Text(202)), &QAction::triggered, this, &PanelTray::openRequested);
    connect(menu_->addAction(Text(203)), &QAction::triggered, this,
            &PanelTray::changePasswordRequested);
    menu_->addSeparator();
    if (filteringEnabled_) {
        connect(menu_->addAction(Text(205)), &QAction::triggered, this,
                &PanelTray::disableRequested);
    } else {
        connect(menu_->addAction(Text(204)), &QAction::triggered, this,
                &PanelTray::enableRequested);
    }
}

}  // namespace zen::panel
