#include <QSignalSpy>
#include <QTest>

#include "panel/pages/timetable_ctl.h"
#include "panel_fixture.h"

namespace zen::panel::test {
namespace {

constexpr int kSpareByte = 12;

// A shown grid over a plain parent, every quarter forbidden and the spare bits set.
struct GridHost {
    QWidget parent;
    CTimetableCtl* grid = new CTimetableCtl(1000, &parent);
    explicit GridHost(int width = 654, int height = 250) {
        parent.resize(width + 20, height + 20);
        grid->setGeometry(10, 10, width, height);
        Timetable start{};
        for (auto& row : start.rows) {
            row[kSpareByte] = 0xA5;
        }
        grid->setGrid(start);
        parent.show();
    }
    bool Allowed(int day, int slot) const {
        return (grid->grid().rows[day][slot / 8] >> (slot % 8) & 1u) != 0;
    }
    QPoint At(int day, int slot) const { return grid->cellRect(day, slot).center(); }
};

TEST(TimetableCtl, CellWidthIsTheWholeShareOfTheClientWidthAnchoredBottomRight) {
    struct Case {
        int width;
        int cell;
    };
    // 654 - 30 is 6.5 cells: rounding up would draw 672 pixels of cells into 654.
    for (const Case c : {Case{654, 6}, Case{701, 6}, Case{702, 7}, Case{318, 3}}) {
        GridHost host(c.width, 240);
        SCOPED_TRACE(c.width);
        EXPECT_EQ(host.grid->cellWidth(), c.cell);
        EXPECT_EQ(host.grid->rowHeight(), (240 - 30) / 7);
        const QRect last = host.grid->cellRect(6, 95);
        EXPECT_EQ(last.right(), c.width - 1);
        EXPECT_EQ(last.bottom(), 239);
        // What the rounding leaves goes to the day names at the left.
        EXPECT_EQ(host.grid->cellRect(0, 0).left(), c.width - 96 * c.cell);
        EXPECT_GE(host.grid->cellRect(0, 0).left(), CTimetableCtl::kMargin);
    }
    GridHost host;
    const QRect cell = host.grid->cellRect(2, 40);
    ASSERT_TRUE(host.grid->hitTest(cell.center()).has_value());
    EXPECT_EQ(host.grid->hitTest(cell.center())->hour, 10);
    EXPECT_FALSE(host.grid->hitTest(cell.topLeft()).has_value()) << "a grid line hits nothing";
    EXPECT_FALSE(host.grid->hitTest(QPoint(2, 2)).has_value());
}

TEST(TimetableCtl, HourSelectionTogglesTheHourByTheClickedQuarterAndDragsByEachHoursOwnState) {
    GridHost host;
    QSignalSpy strokes(host.grid, &CTimetableCtl::strokeFinished);
    // 14:00 on Tuesday: only quarter 2 forbidden; 15:00 all allowed.
    Timetable grid = host.grid->grid();
    grid.rows[2][7] = 0b1111'1011;  // byte 7: slots 56..59 in bits 0..3, 60..63 in bits 4..7
    host.grid->setGrid(grid);
    ASSERT_FALSE(host.Allowed(2, 58));
    ASSERT_TRUE(host.Allowed(2, 61));

    QTest::mousePress(host.grid, Qt::LeftButton, {}, host.At(2, 58));
    for (int slot : {56, 57, 59}) {
        EXPECT_TRUE(host.Allowed(2, slot)) << slot;
    }
    EXPECT_TRUE(host.Allowed(2, 58));
    // Within the hour nothing changes again.
    QTest::mouseMove(host.grid, host.At(2, 56));
    QTest::mouseMove(host.grid, host.At(2, 59));
    for (int slot = 56; slot < 60; ++slot) {
        EXPECT_TRUE(host.Allowed(2, slot)) << slot;
    }
    // Across the border: 15:00 is toggled by its own (allowed) state.
    QTest::mouseMove(host.grid, host.At(2, 60));
    for (int slot = 60; slot < 64; ++slot) {
        EXPECT_FALSE(host.Allowed(2, slot)) << slot;
    }
    EXPECT_EQ(strokes.count(), 0) << "saved only at the end of the stroke";
    QTest::mouseRelease(host.grid, Qt::LeftButton, {}, host.At(2, 60));
    EXPECT_EQ(strokes.count(), 1);
    EXPECT_EQ(host.grid->grid().rows[2][kSpareByte], 0xA5);
}

TEST(TimetableCtl, QuarterAndHalfHourSelectionsToggleTheirOwnGroups) {
    GridHost host;
    host.grid->setSelectionType(CTimetableCtl::Quarter);
    QTest::mouseClick(host.grid, Qt::LeftButton, {}, host.At(1, 37));
    EXPECT_TRUE(host.Allowed(1, 37));
    EXPECT_FALSE(host.Allowed(1, 36));
    EXPECT_FALSE(host.Allowed(1, 38));

    host.grid->setSelectionType(CTimetableCtl::HalfHour);
    QTest::mouseClick(host.grid, Qt::LeftButton, {}, host.At(1, 39));  // 9:30 - 10:00
    EXPECT_TRUE(host.Allowed(1, 38));
    EXPECT_TRUE(host.Allowed(1, 39));
    EXPECT_FALSE(host.Allowed(1, 36));
    // Its first half holds 37 allowed and 36 forbidden: the clicked quarter decides.
    QTest::mouseClick(host.grid, Qt::LeftButton, {}, host.At(1, 37));
    EXPECT_FALSE(host.Allowed(1, 36));
    EXPECT_FALSE(host.Allowed(1, 37));
}

TEST(TimetableCtl, PermitAllSetsThe672BitsKeepsTheSpareOnesAndIsIgnoredWhileDisabled) {
    GridHost host;
    QSignalSpy strokes(host.grid, &CTimetableCtl::strokeFinished);
    host.grid->setEnabled(false);
    host.grid->setAll(true);
    QTest::mouseClick(host.grid, Qt::LeftButton, {}, host.At(3, 3));
    EXPECT_EQ(strokes.count(), 0);
    EXPECT_FALSE(host.Allowed(3, 3));

    host.grid->setEnabled(true);
    host.grid->setAll(true);
    EXPECT_EQ(strokes.count(), 1);
    int allowed = 0;
    for (int day = 0; day < 7; ++day) {
        for (int slot = 0; slot < 96; ++slot) {
            allowed += host.Allowed(day, slot) ? 1 : 0;
        }
        EXPECT_EQ(host.grid->grid().rows[day][kSpareByte], 0xA5);
    }
    EXPECT_EQ(allowed, 672);
    host.grid->setAll(false);
    EXPECT_EQ(host.grid->grid().rows[4][5], 0);
    EXPECT_EQ(host.grid->grid().rows[4][kSpareByte], 0xA5);
}

TEST(TimetableCtl, DisabledGridDrawsOnlyGreyFramesAndEnabledOneColoursByHourAndState) {
    GridHost host;
    Timetable grid = host.grid->grid();
    grid.rows[0][0] = 0xFF;  // Sunday 0:00 - 2:00 allowed
    host.grid->setGrid(grid);
    const auto colourAt = [&](int day, int slot) {
        return host.grid->grab().toImage().pixelColor(host.At(day, slot));
    };
    EXPECT_EQ(colourAt(0, 1), QColor(255, 255, 191));
    EXPECT_EQ(colourAt(0, 5), QColor(214, 168, 73));
    EXPECT_EQ(colourAt(0, 9), QColor(200, 0, 0));

    host.grid->setEnabled(false);
    const QImage disabled = host.grid->grab().toImage();
    for (const QPoint centre : {host.At(0, 1), host.At(0, 9), host.At(6, 95)}) {
        const QColor colour = disabled.pixelColor(centre);
        EXPECT_NE(colour, QColor(255, 255, 191));
        EXPECT_NE(colour, QColor(214, 168, 73));
        EXPECT_NE(colour, QColor(200, 0, 0));
    }
    const QRect cell = host.grid->cellRect(0, 9);
    EXPECT_EQ(disabled.pixelColor(cell.topLeft() + QPoint(1, 1)), QColor(128, 128, 128));
}

TEST(TimetableCtl, ToolTipNamesTheDayAndTheSpanOfTheGroupUnderTheMouse) {
    GridHost host;
    EXPECT_EQ(host.grid->toolTipAt(host.At(1, 37)), "Monday 09:00 - 10:00");
    host.grid->setSelectionType(CTimetableCtl::HalfHour);
    EXPECT_EQ(host.grid->toolTipAt(host.At(1, 39)), "Monday 09:30 - 10:00");
    host.grid->setSelectionType(CTimetableCtl::Quarter);
    host.grid->setTimeFormat(CTimetableCtl::Hours12);
    EXPECT_EQ(host.grid->toolTipAt(host.At(6, 95)), "Saturday 11:45 PM - 12:00 AM");
    EXPECT_EQ(host.grid->toolTipAt(host.At(0, 49)), "Sunday 12:15 PM - 12:30 PM");
    EXPECT_EQ(host.grid->toolTipAt(QPoint(1, 1)), "");
}

}  // namespace
}  // namespace zen::panel::test
