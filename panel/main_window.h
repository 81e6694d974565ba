#pragma once

#include <QPointer>
#include <cstdint>
#include <vector>

#include "panel/clock_monitor.h"
#include "panel/controls/dlg_base.h"
#include "panel/sys_time_changed_dialog.h"

class QTimer;

namespace zen {
class CDBManager;
}

namespace zen::panel {

class CZenTabCtrl;
class PageCatalog;
class PanelTray;
class StopWatcher;

// The main window and the session's control window: the section strip over the pages, the
// tray icon with its menu and balloons, the password gate before opening, the clock-change
// monitor and the stop from the system's removal. Closing it (the close button, Escape, the
// window manager) only hides it, as minimizing to the tray does; the program ends
// by "Close Control Panel" behind the password, or at once when the stop event is set.
class CDlgZenCP : public CDlgBase {
    Q_OBJECT
public:
    static constexpr int kTemplate = 102;
    static constexpr int kStripId = 1005;
    static constexpr int kClockTimerMs = 1000;

    CDlgZenCP(CDBManager& db, const PageCatalog& catalog, QWidget* parent = nullptr);
    ~CDlgZenCP() override;

    PanelTray& tray() const { return *tray_; }
    CZenTabCtrl* strip() const { return strip_; }
    CDlgBase* currentPage() const { return current_; }
    int currentSection() const { return section_; }
    // The page of a section: index -1 is its overview, 0.. the pages behind it.
    CDlgBase* page(int section, int index) const;
    CDlgSysTimeChanged* clockDialog() const { return clockDialog_; }

    // The tray's actions and the window's commands.
    void OpenPanel();
    void ClosePanel();
    void Shutdown();
    void EnableFiltering();
    void DisableFiltering();
    void ChangePassword();
    void ShowAbout();
    // Reloads the users table and shows the group's filtering state on the tray icon.
    void RefreshUsers();

    // Navigation: a section chosen on the strip; a page of the current section (what an
    // overview's buttons ask for); the pending page again ("Back").
    void ChooseSection(int section);
    void ShowSectionPage(int index);
    void ShowPendingPage();

    // One tick of the clock-change monitor at `now` (seconds since 1970).
    void ClockTick(int64_t now);

signals:
    // The window is gone for good: the program ends.
    void ended();

private:
    void ShowPage(CDlgBase* page);
    void AddPage(CDlgBase* page);
    void RefreshTrayPicture();
    void CheckClockChange();
    void End();

    CDBManager& db_;
    PanelTray* tray_;
    CZenTabCtrl* strip_;
    StopWatcher* stopWatcher_;
    QTimer* clockTimer_;
    std::vector<std::vector<CDlgBase*>> pages_;  // per section: overview, then its pages
    CDlgBase* current_ = nullptr;
    CDlgBase* pending_ = nullptr;
    int section_ = 0;
    bool opening_ = false;
    bool clockCheckRunning_ = false;
    ClockMonitor clock_;
    QPointer<CDlgSysTimeChanged> clockDialog_;
};

}  // namespace zen::panel
