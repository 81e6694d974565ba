#include <QHeaderView>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QToolTip>
#include <QTreeWidget>

#include "common/db/log_records.h"
#include "common/db/rules_editor.h"
#include "panel/controls/zen_button_ctrl.h"
#include "panel/controls/zen_tab_ctrl.h"
#include "panel/main_window.h"
#include "panel/page_catalog.h"
#include "panel/pages/log_page.h"
#include "panel/pages/users_groups_page.h"
#include "panel_fixture.h"

namespace zen::panel::test {
namespace {

// What helps a parent find the way: the keyboard's focus ring, a log column dragged wider with
// the tool tip of a cut text, and the Users page's disabled buttons; taken like the other
// screenshots (scripts/screenshots.sh).
using ScreenshotsOfReadingAids = ScreenshotTest;

TEST_F(ScreenshotsOfReadingAids, FocusRingWideLogColumnAndDisabledButtons) {
    CDBManager db;
    ASSERT_EQ(db.Init(false), 1);
    db.SetCurrentUser();
    ASSERT_EQ(AddGroup(db, u"Kids"), EditStatus::Done);
    AddWarning(db, u"Program is blocked", u"/usr/games/supertux2", 1,
               u"Outside the timetable of the group Kids: allowed again at 16:00");
    AddWarning(db, u"Internet is blocked", u"/usr/bin/firefox-esr", 1,
               u"The daily Internet limit of 60 minutes is used up");

    CDlgZenCP window(db, PanelPages());
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    window.strip()->choose(6);
    window.ShowSectionPage(0);
    auto* users = qobject_cast<CDlgUsersGroups*>(window.currentPage());
    ASSERT_NE(users, nullptr);

    // The focus ring: Tab from the tree onto "New Group".
    users->tree()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(users->tree(), Qt::Key_Tab);
    ASSERT_TRUE(users->button(1124)->hasFocus());
    Spin(100);
    EXPECT_TRUE(Save(window.grab(), "focus_ring"));

    // A built-in group: "Rename" and "Delete" are disabled and look it.
    const QList<QTreeWidgetItem*> guests = users->tree()->findItems("Guests", Qt::MatchExactly);
    ASSERT_FALSE(guests.isEmpty());
    users->tree()->setCurrentItem(guests.first());
    ASSERT_FALSE(users->button(1126)->isEnabled());
    Spin(100);
    EXPECT_TRUE(Save(window.grab(), "users_disabled_buttons"));

    // The warnings log with its "Reason" column dragged wider and the tool tip of a reason
    // that is still cut; the tool tip is a window of its own, so the screen is taken.
    window.strip()->choose(5);
    window.ShowSectionPage(0);
    auto* log = qobject_cast<CDlgLogPage*>(window.currentPage());
    ASSERT_NE(log, nullptr);
    QTreeWidget* list = log->list();
    list->header()->resizeSection(4, 300);
    Spin(100);  // the scroll bar learns the wider column
    list->horizontalScrollBar()->setValue(list->horizontalScrollBar()->maximum());
    QTreeWidgetItem* row = list->topLevelItem(0);
    ASSERT_NE(row, nullptr);
    const QRect cell = list->visualItemRect(row);
    // Low and left enough for the whole tip to lie inside the window's picture.
    const QPoint at = list->viewport()->mapToGlobal(
        QPoint(list->header()->sectionViewportPosition(4) - 150, cell.bottom()));
    QToolTip::showText(at, row->toolTip(4), list->viewport());
    Spin(300);
    const QRect area(window.mapToGlobal(QPoint(0, 0)), window.size());
    EXPECT_TRUE(
        Save(window.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()),
             "log_column_tooltip"));
    QToolTip::hideText();
    window.hide();
    db.Term();
}

}  // namespace
}  // namespace zen::panel::test
