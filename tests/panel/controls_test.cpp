#include <QHelpEvent>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include "panel/controls/close_ctrl.h"
#include "panel/controls/label_ctrl.h"
#include "panel/controls/zen_button_ctrl.h"
#include "panel/controls/zen_check_box.h"
#include "panel/controls/zen_tab_ctrl.h"
#include "panel/tool_tip_switch.h"
#include "panel_fixture.h"

namespace zen::panel::test {
namespace {

// A parent window with one control, shown so that mouse events reach it.
template <typename Control>
struct Hosted {
    QWidget parent;
    Control* control;
    template <typename... Args>
    explicit Hosted(QRect geometry, Args&&... args)
        : control(new Control(std::forward<Args>(args)..., &parent)) {
        parent.resize(400, 200);
        control->setGeometry(geometry);
        parent.show();
    }
};

TEST(ZenButtonCtrl, ReleaseInsideAfterPressSendsOneCommandAndReleaseOutsideNone) {
    Hosted<CZenButtonCtrl> host(QRect(10, 10, 100, 30), 1234, "Apply", kPageButtons);
    QSignalSpy commands(host.control, &ZenControl::command);

    QTest::mousePress(host.control, Qt::LeftButton, {}, QPoint(50, 15));
    EXPECT_TRUE(host.control->isPressed());
    QTest::mouseRelease(host.control, Qt::LeftButton, {}, QPoint(50, 15));
    ASSERT_EQ(commands.count(), 1);
    EXPECT_EQ(commands.takeFirst().at(0).toInt(), 1234);

    // Pressed, then the mouse leaves before the release (captured, as Qt keeps the grab).
    QTest::mousePress(host.control, Qt::LeftButton, {}, QPoint(50, 15));
    QTest::mouseRelease(host.control, Qt::LeftButton, {}, QPoint(150, 15));
    EXPECT_EQ(commands.count(), 0);
    EXPECT_FALSE(host.control->isPressed());

    // A release without a press is not a click either.
    QTest::mouseRelease(host.control, Qt::LeftButton, {}, QPoint(50, 15));
    EXPECT_EQ(commands.count(), 0);
}

TEST(CloseAndLabel, ActOnlyOnReleaseInsideAfterPress) {
    Hosted<CCloseCtrl> close(QRect(0, 0, 20, 20));
    QSignalSpy cancels(close.control, &ZenControl::command);
    QTest::mousePress(close.control, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseRelease(close.control, Qt::LeftButton, {}, QPoint(30, 10));
    QTest::mousePress(close.control, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseRelease(close.control, Qt::LeftButton, {}, QPoint(10, 10));
    ASSERT_EQ(cancels.count(), 1);
    EXPECT_EQ(cancels.takeFirst().at(0).toInt(), kIdCancel);

    Hosted<CLabelCtrl> label(QRect(0, 40, 150, 20), 1200, "Click here for Help");
    QSignalSpy clicks(label.control, &ZenControl::command);
    QTest::mouseRelease(label.control, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mousePress(label.control, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(label.control, Qt::LeftButton, {}, QPoint(-5, 5));
    EXPECT_EQ(clicks.count(), 0);
    QTest::mouseClick(label.control, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(clicks.count(), 1);
}

TEST(ZenCheckBox, NotifiesOncePerChangeFromCodeOrMouseAndNeverForTheSameState) {
    Hosted<CZenCheckBox> host(QRect(10, 10, 160, 16), 1041, "Enable Timetable");
    QSignalSpy commands(host.control, &ZenControl::command);

    host.control->setChecked(false);  // already clear
    EXPECT_EQ(commands.count(), 0);
    host.control->setChecked(true);
    host.control->setChecked(true);
    EXPECT_EQ(commands.count(), 1);
    EXPECT_TRUE(host.control->isChecked());

    QTest::mouseClick(host.control, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(commands.count(), 2);
    EXPECT_FALSE(host.control->isChecked());
    EXPECT_EQ(commands.at(1).at(0).toInt(), 1041);
}

TEST(ZenTabCtrl, HitsOnlyTheTabPictureAndAnnouncesEveryChoice) {
    Hosted<CZenTabCtrl> host(QRect(0, 0, 612, 34), 1005);
    QSignalSpy chosen(host.control, &CZenTabCtrl::tabChosen);
    host.control->setTabs({"A", "B", "C", "D"});
    ASSERT_EQ(chosen.count(), 1);  // the first tab is chosen when the tabs are set
    EXPECT_EQ(chosen.takeFirst().at(0).toInt(), 0);

    const QRect third = host.control->tabRect(2);
    EXPECT_EQ(third.left(), CZenTabCtrl::kGap + 2 * (CZenTabCtrl::kTabWidth + CZenTabCtrl::kGap));
    EXPECT_EQ(third.bottom(), host.control->height() - 1);
    EXPECT_EQ(host.control->tabAt(third.center()), 2);
    // The slanted top corners of a tab's box are not the tab; the gap above the tabs neither.
    EXPECT_EQ(host.control->tabAt(third.topLeft() + QPoint(1, 1)), -1);
    EXPECT_EQ(host.control->tabAt(third.topRight() + QPoint(-1, 1)), -1);
    EXPECT_EQ(host.control->tabAt(QPoint(third.center().x(), 1)), -1);

    QTest::mouseClick(host.control, Qt::LeftButton, {}, third.topLeft() + QPoint(1, 1));
    EXPECT_EQ(chosen.count(), 0);
    QTest::mouseClick(host.control, Qt::LeftButton, {}, third.center());
    QTest::mouseClick(host.control, Qt::LeftButton, {}, third.center());  // the chosen one again
    ASSERT_EQ(chosen.count(), 2);
    EXPECT_EQ(chosen.at(1).at(0).toInt(), 2);
    EXPECT_EQ(host.control->chosen(), 2);
}

// Counts the tool tip requests that reach it.
class TipCounter : public QWidget {
public:
    int tips = 0;

protected:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::ToolTip) {
            ++tips;
        }
        return QWidget::event(event);
    }
};

TEST(ToolTipSwitch, OffStopsEveryTipOfTheProcess) {
    bool off = true;
    ToolTipSwitch tipSwitch([&off] { return off; }, nullptr);
    TipCounter widget;
    widget.setToolTip("Sunday 10:00");
    QHelpEvent request(QEvent::ToolTip, QPoint(1, 1), QPoint(1, 1));
    QApplication::sendEvent(&widget, &request);
    EXPECT_EQ(widget.tips, 0);
    off = false;
    QApplication::sendEvent(&widget, &request);
    EXPECT_EQ(widget.tips, 1);
}

}  // namespace
}  // namespace zen::panel::test

#include "panel/layout_file.h"
#include "panel/pages/overview_page.h"

namespace zen::panel::test {
namespace {

class LayoutOverrideTest : public zen::test::RootedTest {
protected:
    CZenButtonCtrl* Button(QWidget& page, int id) {
        for (auto* button : page.findChildren<CZenButtonCtrl*>()) {
            if (button->controlId() == id) {
                return button;
            }
        }
        return nullptr;
    }
};

TEST_F(LayoutOverrideTest, TheLayoutFileMovesControlsAndRecordModeWritesThem) {
    const OverviewSpec& computer = OverviewSpecs()[0];
    ASSERT_TRUE(WriteLayoutRect(computer.templateId, 1001, {300, 400, 420, 430}));
    {
        OverviewPage page(computer, nullptr);
        EXPECT_EQ(Button(page, 1001)->geometry(), QRect(300, 400, 120, 30));
        EXPECT_NE(Button(page, 1000)->geometry().topLeft(), QPoint(300, 400));
    }

    const OverviewSpec& settings = OverviewSpecs()[6];
    ::setenv("ZEN_LAYOUT_RECORD", "1", 1);
    OverviewPage recorded(settings, nullptr);
    ::unsetenv("ZEN_LAYOUT_RECORD");
    const QRect where = Button(recorded, 1089)->geometry();
    EXPECT_EQ(ReadLayoutRect(settings.templateId, 1089),
              (LayoutRect{where.left(), where.top(), where.right() + 1, where.bottom() + 1}));
}

}  // namespace
}  // namespace zen::panel::test
