#include <QDir>
#include <QScreen>

#include "common/db/rules_editor.h"
#include "panel/controls/zen_tab_ctrl.h"
#include "panel/main_window.h"
#include "panel/page_catalog.h"
#include "panel_fixture.h"
#include "support/temp_root.h"

namespace zen::panel::test {
namespace {

// The schedule and users pages for the manual and the README, in the main window, at the
// screen's scale; taken only when ZEN_SCREENSHOT_DIR names where to put them
// (scripts/screenshots.sh).
using Screenshots = ScreenshotTest;

TEST_F(Screenshots, TimetableDailyLimitsAndUsersPages) {
    std::filesystem::create_directories(root / "etc");
    zen::test::WriteAll(root / "etc/passwd",
                        "root:x:0:0::/root:/bin/sh\nalice:x:1000:1000::/home/alice:/bin/sh\n"
                        "tim:x:1001:1001::/home/tim:/bin/sh\n");
    CDBManager db;
    ASSERT_EQ(db.Init(false), 1);
    // A school week: no Internet before 7:00, during school and after 21:00 on weekdays.
    ASSERT_EQ(SetTimetableRange(db, u"Guests", Category::Internet, 0b0111110, 0, 28, false),
              EditStatus::Done);
    ASSERT_EQ(SetTimetableRange(db, u"Guests", Category::Internet, 0b0111110, 32, 56, false),
              EditStatus::Done);
    ASSERT_EQ(SetTimetableRange(db, u"Guests", Category::Internet, 0b0111110, 84, 96, false),
              EditStatus::Done);
    ASSERT_EQ(SetLimitEnabled(db, u"Guests", Category::Power, true), EditStatus::Done);
    ASSERT_EQ(SetLimitMinutes(db, u"Guests", Category::Power, 0b1000001, 180), EditStatus::Done);
    ASSERT_EQ(SetLimitMinutes(db, u"Guests", Category::Power, 0b0111110, 90), EditStatus::Done);
    ASSERT_EQ(AddGroup(db, u"Kids"), EditStatus::Done);
    ASSERT_EQ(AddUser(db, u"tim", u"Kids"), EditStatus::Done);

    CDlgZenCP window(db, PanelPages());
    window.show();
    struct Shot {
        int section;
        int page;
        const char* file;
    };
    for (const Shot shot : {Shot{1, 0, "timetable_internet"}, Shot{0, 1, "daily_limits_computer"},
                            Shot{6, 0, "users_groups"}}) {
        window.strip()->choose(shot.section);
        window.ShowSectionPage(shot.page);
        Spin(100);
        EXPECT_TRUE(Save(window.grab(), shot.file)) << shot.file;
    }
    window.hide();
    db.Term();
}

}  // namespace
}  // namespace zen::panel::test
