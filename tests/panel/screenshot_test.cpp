#include <QDir>
#include <QScreen>

#include "panel/controls/zen_tab_ctrl.h"
#include "panel/main_window.h"
#include "panel/page_catalog.h"
#include "panel/password_dialog.h"
#include "panel/sys_time_changed_dialog.h"
#include "panel_fixture.h"

namespace zen::panel::test {
namespace {

// The pictures of the manual and the README: the main window on each section's overview, at
// the screen's scale. Taken only when ZEN_SCREENSHOT_DIR names where to put them
// (scripts/screenshots.sh runs this under a virtual X server at 100 % and 200 %).
using Screenshots = ScreenshotTest;

const char* const kSectionFiles[] = {"computer",  "internet", "programs", "cddvd",
                                     "removable", "logs",     "settings"};

TEST_F(Screenshots, MainWindowOnEveryOverviewPage) {
    CDBManager db;
    ASSERT_EQ(db.Init(false), 1);
    CDlgZenCP window(db, PanelPages());
    window.show();
    for (int section = 0; section < static_cast<int>(std::size(kSectionFiles)); ++section) {
        window.strip()->choose(section);
        Spin(100);
        const QPixmap shot = window.grab();
        EXPECT_EQ(shot.width(), window.width() * percent() / 100);
        EXPECT_TRUE(Save(shot, QString("overview_") + kSectionFiles[section]))
            << kSectionFiles[section];
    }
    window.hide();

    // The prompts a parent meets: the password gate and the lock after a clock change.
    CDlgPassword prompt(u"x", nullptr);
    CDlgSysTimeChanged clockLocked(db, nullptr);
    for (QWidget* dialog : std::initializer_list<QWidget*>{&prompt, &clockLocked}) {
        dialog->show();
        Spin(100);
        EXPECT_TRUE(Save(dialog->grab(), dialog->objectName()));
        dialog->hide();
    }
    db.Term();
}

}  // namespace
}  // namespace zen::panel::test
