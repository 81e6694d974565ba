#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QMenu;
class QSystemTrayIcon;

namespace zen::panel {

class DesktopNotifier;

enum class BalloonKind { Information = 1, Warning = 2 };

// The panel's icon in the notification area: the filtering picture, the menu built anew on
// each right click, and the balloons. In a session without a tray the balloons become desktop
// notifications and the panel is opened by starting it again with "-open".
class PanelTray : public QObject {
    Q_OBJECT
public:
    static constexpr int kBalloonMilliseconds = 10000;
    static constexpr int kMaxBalloonText = 255;

    explicit PanelTray(QObject* parent);
    ~PanelTray() override;

    // Adds the icon with the picture of the group's filtering state.
    void Add(bool filteringEnabled);
    void SetFilteringEnabled(bool enabled);
    bool filteringEnabled() const { return filteringEnabled_; }
    void Remove();
    bool isShown() const { return shown_; }

    // Title "Zentimo", the text cut to 255 characters; an empty text takes a shown balloon
    // away.
    void ShowBalloon(const QString& text, BalloonKind kind);

    // The menu as a right click shows it (built for the current state).
    QMenu* Menu() const { return menu_.get(); }

signals:
    // A double click on the icon, or "Open Control Panel".
    void openRequested();
    void changePasswordRequested();
    void enableRequested();
    void disableRequested();
    // Every balloon as shown, whichever way it reached the desktop.
    void balloonShown(const QString& title, const QString& text, BalloonKind kind);

private:
    void RebuildMenu();

    std::unique_ptr<QMenu> menu_;
    QSystemTrayIcon* icon_ = nullptr;
    std::unique_ptr<DesktopNotifier> notifier_;
    bool filteringEnabled_ = true;
    bool shown_ = false;
};

}  // namespace zen::panel
