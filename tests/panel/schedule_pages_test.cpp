#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <functional>

#include "common/db/checksum.h"
#include "common/db/rules_editor.h"
#include "common/db/rules_model.h"
#include "common/db/usage_state.h"
#include "panel/controls/zen_button_ctrl.h"
#include "panel/controls/zen_check_box.h"
#include "panel/page_catalog.h"
#include "panel/pages/group_chooser.h"
#include "panel/pages/schedule_pages.h"
#include "panel/pages/timetable_ctl.h"
#include "panel_fixture.h"
#include "platform/clock.h"
#include "zenctl/zenctl_runner.h"

namespace zen::panel::test {
namespace {

// The schedule pages of one panel over a rules database with a group "Kids".
class SchedulePagesTest : public PanelTest {
protected:
    SchedulePagesTest() {
        EXPECT_EQ(db.Init(false), 1);
        EXPECT_EQ(AddGroup(db, u"Kids"), EditStatus::Done);
        RegisterSchedulePages(catalog);
    }
    ~SchedulePagesTest() override { db.Term(); }

    template <typename Page>
    std::unique_ptr<Page> Open(const QString& pageClass) {
        std::unique_ptr<Page> page(qobject_cast<Page*>(catalog.Create(pageClass, db, nullptr)));
        EXPECT_NE(page, nullptr) << pageClass.toStdString();
        page->show();
        page->Refresh();
        // Focus moves for real only in the active window.
        page->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(page.get()));
        return page;
    }
    static void Choose(SchedulePage& page, const QString& group) {
        GroupChooser* chooser = page.groupChooser();
        const int index = chooser->findText(group);
        ASSERT_GE(index, 0) << group.toStdString();
        chooser->setCurrentIndex(index);
        emit chooser->activated(index);
    }
    static void Click(QWidget* control) {
        QTest::mouseClick(control, Qt::LeftButton, {}, control->rect().center());
    }
    static void Click(QWidget* page, int buttonId) {
        for (CZenButtonCtrl* button : page->findChildren<CZenButtonCtrl*>()) {
            if (button->controlId() == buttonId) {
                return Click(button);
            }
        }
        ADD_FAILURE() << "no button " << buttonId;
    }
    // Puts `text` into a day's combo as its field's own content (past the digits-only check the
    // keyboard meets) and leaves the combo by Tab.
    static void Type(QComboBox* combo, const QString& text) {
        Focus(combo);
        combo->lineEdit()->setText(text);
        QTest::keyClick(combo, Qt::Key_Tab);
        EXPECT_FALSE(combo->hasFocus());
    }
    // Clicks into a day's combo's field, the way a parent starts typing there.
    static void Focus(QComboBox* combo) {
        QTest::mouseClick(combo->lineEdit(), Qt::LeftButton, {}, QPoint(5, 5));
        ASSERT_TRUE(combo->hasFocus());
    }
    // Types over the field's content with the keyboard.
    static void TypeKeys(QComboBox* combo, const QString& keys) {
        Focus(combo);
        QTest::keyClick(combo, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(combo, keys);
        ASSERT_EQ(combo->lineEdit()->text(), keys);
    }
    static QStringList Items(QComboBox* combo) {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i) {
            items << combo->itemText(i);
        }
        return items;
    }
    FastUsersRecord Kids() { return StoredGroup(u"Kids"); }

    CDBManager db;
    PageCatalog catalog;
};

const QStringList kPresetItems{"10", "20", "30", "60", "90", "120", "180", "240", "360", "480"};

TEST_F(SchedulePagesTest, TypedMinutesAreSavedWhenPlainAndAtMostADayAndListedUntilTheNextLoad) {
    auto page = Open<CDlgDailyTimeLimits>("CDlgInternetDailyLimits");
    Choose(*page, "Kids");
    ASSERT_EQ(SetLimitMinutes(db, u"Kids", Category::Internet, 1u << 1, 90), EditStatus::Done);
    Choose(*page, "Kids");
    EXPECT_FALSE(page->dayCombo(1)->isEnabled()) << "limits start switched off";
    Click(page->enableBox());
    EXPECT_EQ(Kids().limits[kInternetSlot].enable, 1u);
    ASSERT_TRUE(page->dayCombo(1)->isEnabled());
    EXPECT_EQ(page->dayCombo(1)->currentText(), "90");

    Type(page->dayCombo(1), "45");
    EXPECT_EQ(Kids().limits[kInternetSlot].minutes[1], 45u);
    EXPECT_EQ(Items(page->dayCombo(1)), kPresetItems + QStringList{"45"});
    EXPECT_EQ(page->dayCombo(1)->currentText(), "45");

    const auto before = zen::test::DataFileBytes();
    for (const QString refused : {"1441", "4a", "", "99999999999999999999"}) {
        Type(page->dayCombo(1), refused);
        EXPECT_EQ(page->dayCombo(1)->currentText(), "45") << refused.toStdString();
    }
    EXPECT_EQ(zen::test::DataFileBytes(), before) << "a refused entry saves nothing";
    Type(page->dayCombo(1), "1440");
    EXPECT_EQ(Kids().limits[kInternetSlot].minutes[1], 1440u);

    // A preset chosen from the list is saved at once; another group's 60 drops the extra entry.
    page->dayCombo(3)->setCurrentIndex(5);
    emit page->dayCombo(3)->activated(5);
    EXPECT_EQ(Kids().limits[kInternetSlot].minutes[3], 120u);
    ASSERT_EQ(SetLimitMinutes(db, u"Guests", Category::Internet, 1u << 1, 60), EditStatus::Done);
    Choose(*page, "Guests");
    EXPECT_EQ(Items(page->dayCombo(1)), kPresetItems);
    EXPECT_EQ(page->dayCombo(1)->currentText(), "60");
}

TEST_F(SchedulePagesTest, TypedMinutesAreTakenByEveryWayOfLeavingTheCombo) {
    // In a window of its own, as the main window holds it: closing the page hides it there.
    QWidget window;
    std::unique_ptr<CDlgDailyTimeLimits> page(
        qobject_cast<CDlgDailyTimeLimits*>(catalog.Create("CDlgComputerDailyLimits", db, &window)));
    ASSERT_NE(page, nullptr);
    window.resize(page->size());
    window.show();
    page->Refresh();
    Choose(*page, "Kids");
    ASSERT_EQ(SetLimitEnabled(db, u"Kids", Category::Power, true), EditStatus::Done);
    const auto monday = [&] { return Kids().limits[kPowerSlot].minutes[1]; };
    const struct {
        const char* way;
        std::function<void()> leave;
    } ways[] = {
        {"Tab", [&] { QTest::keyClick(page->dayCombo(1), Qt::Key_Tab); }},
        {"a click on the page",
         [&] { QTest::mouseClick(page.get(), Qt::LeftButton, {}, QPoint(560, 300)); }},
        {"Shift+Tab", [&] { QTest::keyClick(page->dayCombo(1), Qt::Key_Tab, Qt::ShiftModifier); }},
        {"a click on another day", [&] { Focus(page->dayCombo(4)); }},
        {"closing the page", [&] { page->hide(); }},
    };
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    for (const auto& way : ways) {
        SCOPED_TRACE(way.way);
        page->show();
        ASSERT_EQ(SetLimitMinutes(db, u"Kids", Category::Power, 1u << 1, 10), EditStatus::Done);
        Choose(*page, "Kids");
        ASSERT_EQ(page->dayCombo(1)->currentText(), "10");
        TypeKeys(page->dayCombo(1), "45");
        EXPECT_EQ(monday(), 10u) << "typing alone saves nothing";
        way.leave();
        EXPECT_FALSE(page->dayCombo(1)->hasFocus() && page->dayCombo(1)->isVisible());
        EXPECT_EQ(monday(), 45u) << way.way;
        EXPECT_EQ(page->dayCombo(1)->currentText(), "45") << way.way;

        page->show();
        const auto before = zen::test::DataFileBytes();
        TypeKeys(page->dayCombo(1), "1441");
        way.leave();
        EXPECT_EQ(page->dayCombo(1)->currentText(), "45")
            << way.way << ": the stored value is back";
        EXPECT_EQ(page->dayCombo(1)->lineEdit()->text(), "45") << way.way;
        EXPECT_EQ(zen::test::DataFileBytes(), before) << way.way;
    }
}

TEST_F(SchedulePagesTest, AGroupChosenOnOnePageIsTheGroupOfEverySchedulePage) {
    auto internet = Open<CDlgTimeTable>("CDlgInternetTimetable");
    EXPECT_EQ(internet->groupChooser()->currentText(), "Guests") << "the running account's group";
    Choose(*internet, "Kids");
    ASSERT_EQ(SetTimetableMode(db, u"Kids", Category::CDROM, 0), EditStatus::Done);
    for (const QString pageClass : {"CDlgCDTimetable", "CDlgComputerDailyLimits"}) {
        auto other = Open<SchedulePage>(pageClass);
        EXPECT_EQ(other->groupChooser()->currentText(), "Kids") << pageClass.toStdString();
    }
    auto cd = Open<CDlgTimeTable>("CDlgCDTimetable");
    EXPECT_FALSE(cd->enableBox()->isChecked()) << "Kids' CD timetable is off";
    EXPECT_FALSE(cd->grid()->isEnabled());
}

TEST_F(SchedulePagesTest, ComputerEndActionShowsAnythingButLogOffAsShutdownAndSavesItBackAsZero) {
    ASSERT_EQ(db.Users().Update([](UsersTable::Set& records) {
        auto node = records.extract(records.find(NamedDefault(u"Kids")));
        node.value().ShutDown = 7;
        records.insert(std::move(node));
        return true;
    }),
              1);
    auto page = Open<CDlgDailyTimeLimits>("CDlgComputerDailyLimits");
    Choose(*page, "Kids");
    ASSERT_NE(page->endAction(), nullptr);
    EXPECT_EQ(page->endAction()->currentText(), "Shutdown");
    EXPECT_EQ(Kids().ShutDown, 7u) << "showing saves nothing";
    Click(page->enableBox());
    EXPECT_EQ(Kids().ShutDown, 0u);

    page->endAction()->setCurrentIndex(1);
    emit page->endAction()->activated(1);
    EXPECT_EQ(Kids().ShutDown, 1u);
    // The box says what it is for.
    const QLabel* label = nullptr;
    for (const QLabel* candidate : page->findChildren<QLabel*>()) {
        if (candidate->text() == "When time is up:") {
            label = candidate;
        }
    }
    ASSERT_NE(label, nullptr);
    EXPECT_NEAR(label->geometry().center().y(), page->endAction()->geometry().center().y(), 3);
    EXPECT_LT(label->geometry().right(), page->endAction()->geometry().left());
    EXPECT_EQ(Open<SchedulePage>("CDlgInternetTimetable")->endAction(), nullptr);
}

TEST_F(SchedulePagesTest, PermitAndForbidAllActOnlyWhileTheTimetableIsEnabled) {
    auto page = Open<CDlgTimeTable>("CDlgProgramsTimetable");
    Choose(*page, "Kids");
    ASSERT_TRUE(page->enableBox()->isChecked());
    Click(page->enableBox());
    EXPECT_EQ(Kids().Program, 0u);
    EXPECT_FALSE(page->grid()->isEnabled());
    const auto before = zen::test::DataFileBytes();
    Click(page.get(), 1099);
    EXPECT_EQ(zen::test::DataFileBytes(), before);

    Click(page->enableBox());
    EXPECT_EQ(Kids().Program, 1u);
    Click(page.get(), 1099);
    const Timetable forbidden = Kids().timetables[kProgramSlot];
    for (int day = 0; day < 7; ++day) {
        for (int byte = 0; byte < 12; ++byte) {
            EXPECT_EQ(forbidden.rows[day][byte], 0) << day << " " << byte;
        }
    }
    Click(page.get(), 1098);
    EXPECT_EQ(Kids().timetables[kProgramSlot].rows[3][11], 0xFF);
}

TEST_F(SchedulePagesTest, AStrokeIsWhatZenctlAnswersAndZenctlsEditShowsAfterThePulse) {
    ASSERT_EQ(MoveUser(db, u"alice", u"Kids"), EditStatus::Done);
    auto page = Open<CDlgTimeTable>("CDlgInternetTimetable");
    Choose(*page, "Kids");
    CTimetableCtl* grid = page->grid();
    // zenctl's edit lands while the grid still shows the old Saturday: the stroke keeps it.
    ASSERT_EQ(zen::test::Zenctl({"forbid", "Kids", "internet", "sat", "20:00-20:15"}).code, 0);
    // A stroke over Monday 08:00 - 10:00 with the hour selection forbids both hours.
    const QPoint from = grid->cellRect(1, 33).center();
    const QPoint to = grid->cellRect(1, 38).center();
    QTest::mousePress(grid, Qt::LeftButton, {}, from);
    QTest::mouseMove(grid, to);
    QTest::mouseRelease(grid, Qt::LeftButton, {}, to);

    struct Moment {
        const char* at;
        bool allowed;
    };
    for (const Moment moment :
         {Moment{"Mon 07:59", true}, Moment{"Mon 08:00", false}, Moment{"Mon 09:59", false},
          Moment{"Mon 10:00", true}, Moment{"Tue 08:30", true}}) {
        const auto result =
            zen::test::Zenctl({"check", "alice", "internet", "--at", moment.at, "--json"});
        ASSERT_EQ(result.code, 0) << result.err;
        EXPECT_NE(result.out.find(moment.allowed ? "\"allowed\": true" : "\"allowed\": false"),
                  std::string::npos)
            << moment.at << "\n"
            << result.out;
    }

    // An edit by zenctl while the page is open shows after the reload pulse.
    ASSERT_EQ(zen::test::Zenctl({"forbid", "Kids", "internet", "sun", "06:00-06:15"}).code, 0);
    const QPoint sunday = grid->cellRect(0, 24).center();
    EXPECT_EQ(grid->grab().toImage().pixelColor(sunday), QColor(255, 255, 191));
    for (int wait = 0; wait < 50 && (grid->grid().rows[0][3] & 1u) != 0; ++wait) {
        Spin(50);
    }
    EXPECT_EQ(grid->grid().rows[0][3] & 1u, 0u) << "the reload pulse brought zenctl's edit";
    EXPECT_EQ(grid->grab().toImage().pixelColor(sunday), QColor(200, 0, 0));
}

TEST_F(SchedulePagesTest, StatusLineShowsTodaysMinutesOfTheRunningAccountWhileTheLimitIsOn) {
    ASSERT_EQ(SaveUsage(db.StateMutex(), static_cast<uint32_t>(Now()), 75, StringCrc(u"alice"),
                        RulesOf(Category::CDROM).seed),
              1);
    auto page = Open<CDlgDailyTimeLimits>("CDlgCDDailyLimits");
    EXPECT_EQ(page->statusLine()->text(), "Today: Online 0 minutes") << "the limit is off";
    ASSERT_EQ(SetLimitEnabled(db, u"Guests", Category::CDROM, true), EditStatus::Done);
    page->Refresh();
    EXPECT_EQ(page->statusLine()->text(), "Today: Online 1 hours 15 minutes");

    // A group's name at the console is a fault in the table, logged, with no line shown.
    db.SetCurrentUserName(u"Kids");
    page->Refresh();
    EXPECT_EQ(page->statusLine()->text(), "");
    EXPECT_NE(root.ErrorLog().find("GetTimeOnline() : error : CurUser is Group"),
              std::string::npos);
}

}  // namespace
}  // namespace zen::panel::test
