#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPixmap>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "common/db/db_manager.h"
#include "panel/pictures.h"
#include "support/temp_root.h"

namespace zen::panel::test {

// Owns the waits of WhenModal; a PanelTest ends every wait its test left.
QObject& PendingWaits();

// Runs `act` on the next modal widget of type T as soon as it shows (within 10 s), from the
// event loop the modal dialog itself runs.
template <typename T>
void WhenModal(std::function<void(T*)> act) {
    auto* poll = new QTimer(&PendingWaits());
    auto tries = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, qApp, [poll, tries, act] {
        if (T* widget = qobject_cast<T*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            act(widget);
        } else if (++*tries > 1000) {
            poll->stop();
            poll->deleteLater();
        }
    });
    poll->start(10);
}

// Answers the next message box with Ok and keeps its text.
void CloseNextMessage(QString* text);

// Whether `control` is drawn with `picture`: its pixels along the left edge, clear of the
// caption, are those of the picture alone.
bool DrawnWith(QWidget* control, Picture picture);

// A temporary root with a rules database set up as the installer leaves it and a console user
// "alice" (who joins "Guests" at the panel's first look).
class PanelTest : public zen::test::RootedTest {
protected:
    PanelTest();
    // Every dialog a test waited for must have come.
    ~PanelTest() override;
    // Stores the administrator password.
    void SetPassword(std::u16string_view password);
    Options StoredOptions();
    FastUsersRecord StoredGroup(std::u16string_view name);
    // Gives the group a timetable of its own for the Internet.
    void UseInternetTimetable(std::u16string_view group);
    // Processes events for `ms` milliseconds.
    static void Spin(int ms);
};

// Takes the panel's pictures for the manual and the README into the folder that
// ZEN_SCREENSHOT_DIR names, at the screen's scale (scripts/screenshots.sh runs them on a
// virtual X server at 100 % and 200 %); skipped when the variable is not set.
class ScreenshotTest : public PanelTest {
protected:
    void SetUp() override;
    // The screen's scale in percent, which ends every file name.
    int percent() const { return percent_; }
    // Saves `picture` as <name>_<percent>.png; false when it cannot be written.
    bool Save(const QPixmap& picture, const QString& name) const;

private:
    QString directory_;
    int percent_ = 100;
};

}  // namespace zen::panel::test
