#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

#include "common/db/log_records.h"
#include "page_test.h"
#include "panel/dialog_widgets.h"
#include "panel/pages/log_page.h"
#include "platform/text.h"
#include "support/temp_root.h"

namespace zen::panel::test {
namespace {

using LogPagesTest = PageTest;

TEST(LogPageText, DurationsAreHoursMinutesSeconds) {
    EXPECT_EQ(DurationText(100, 100), "0:00:00");
    EXPECT_EQ(DurationText(0, 3 * 3600 + 25 * 60 + 7), "3:25:07");
    EXPECT_EQ(DurationText(500, 400), "0:00:00");  // a clock set back during the run
}

TEST_F(LogPagesTest, ShowsExportsAndClearsEachLog) {
    ASSERT_EQ(AddWarning(db, u"Program is blocked", u"/usr/games/tetris", 1, u"Timetable"), 1);
    ASSERT_EQ(AddWarning(db, u"Internet is blocked", u"/usr/bin/firefox", 1, u"Daily limit"), 1);
    ActivityRecord run = BuildActivity(1'700'000'000, u"alice", 1'700'000'000 + 3725, u"tetris",
                                       u"/usr/games/tetris", 0);
    ASSERT_EQ(db.Activity().LogAppend(std::as_writable_bytes(std::span(&run, 1))), 1);

    CDlgLogPage warnings(db, LogKind::Warnings, nullptr);
    warnings.Refresh();
    ASSERT_EQ(warnings.list()->topLevelItemCount(), 2);
    const QTreeWidgetItem* first = warnings.list()->topLevelItem(0);
    EXPECT_EQ(first->text(1), "/usr/games/tetris");
    EXPECT_EQ(first->text(3), "Program is blocked");
    EXPECT_EQ(first->text(4), "Timetable");

    CDlgLogPage activity(db, LogKind::Activity, nullptr);
    activity.Refresh();
    ASSERT_EQ(activity.list()->topLevelItemCount(), 1);
    const QTreeWidgetItem* row = activity.list()->topLevelItem(0);
    EXPECT_EQ(row->text(0), FromU16(TimeText(1'700'000'000)));
    EXPECT_EQ(row->text(1), "1:02:05");
    EXPECT_EQ(row->text(2), "tetris");
    EXPECT_EQ(row->text(3), "alice");

    // The export holds the lines the daily report carries, each ended by CR LF.
    for (auto [page, kind] :
         {std::pair{&warnings, LogKind::Warnings}, std::pair{&activity, LogKind::Activity}}) {
        const auto file = root / "export.txt";
        ASSERT_TRUE(page->ExportTo(QString::fromStdString(file.string())));
        const std::string text = zen::test::ReadAll(file);
        EXPECT_EQ(text, Utf16ToUtf8(LogLines(
                            kind == LogKind::Warnings ? db.Warnings() : db.Activity(), kind)));
        EXPECT_TRUE(text.ends_with("\r\n"));
    }
    EXPECT_FALSE(
        warnings.ExportTo(QString::fromStdString((root / "no/such/folder/x.txt").string())));

    warnings.Clear();
    EXPECT_EQ(warnings.list()->topLevelItemCount(), 0);
    EXPECT_EQ(LogLines(db.Warnings(), LogKind::Warnings), u"");
    activity.Refresh();
    EXPECT_EQ(activity.list()->topLevelItemCount(), 1);  // the other log is left alone
}

TEST_F(LogPagesTest, ColumnsWidenShowTheirWholeTextAndSortWhileTheExportKeepsTheLogsOrder) {
    const QByteArray previousTz = qgetenv("TZ");
    const bool hadTz = qEnvironmentVariableIsSet("TZ");
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    const std::u16string longReason(120, u'r');
    const int64_t noon = 1'709'640'300;  // Tue 2024-03-05 12:05:00 UTC
    for (const auto& [time, program] :
         {std::pair{noon, u"/usr/games/b"}, std::pair{noon - 12 * 3600, u"/usr/games/a"},
          std::pair{noon + 3600, u"/usr/games/c"}}) {
        WarningRecord record =
            BuildWarning(time, u"alice", u"Program is blocked", program, 1, longReason);
        ASSERT_EQ(db.Warnings().LogAppend(std::as_writable_bytes(std::span(&record, 1))), 1);
    }
    CDlgLogPage page(db, LogKind::Warnings, nullptr);
    page.show();
    page.Refresh();
    QTreeWidget* list = page.list();
    const auto column = [&](int index) {
        QStringList texts;
        for (int row = 0; row < list->topLevelItemCount(); ++row) {
            texts << list->topLevelItem(row)->text(index);
        }
        return texts;
    };
    EXPECT_EQ(column(1), (QStringList{"/usr/games/b", "/usr/games/a", "/usr/games/c"}))
        << "the log's own order";
    EXPECT_EQ(column(0)[0], "Tue Mar 05 12:05:00 PM");
    EXPECT_EQ(column(0)[1], "Tue Mar 05 12:05:00 AM");
    const QFontMetrics metrics(list->font());
    EXPECT_GE(list->header()->sectionSize(0), metrics.horizontalAdvance(column(0)[0]));

    // Each cell shows its whole text as a tool tip; a column is dragged wider.
    EXPECT_EQ(list->topLevelItem(0)->toolTip(4), FromU16(longReason));
    EXPECT_EQ(list->header()->sectionResizeMode(4), QHeaderView::Interactive);
    list->header()->resizeSection(4, 400);
    EXPECT_EQ(list->header()->sectionSize(4), 400);

    // A click on the time column: newest first; a second one: oldest first; by program too.
    const auto clickCaption = [&](int index) {
        QHeaderView* header = list->header();
        QTest::mouseClick(
            header->viewport(), Qt::LeftButton, {},
            QPoint(header->sectionViewportPosition(index) + 10, header->height() / 2));
    };
    clickCaption(0);
    EXPECT_EQ(column(1), (QStringList{"/usr/games/c", "/usr/games/b", "/usr/games/a"}));
    clickCaption(0);
    EXPECT_EQ(column(1), (QStringList{"/usr/games/a", "/usr/games/b", "/usr/games/c"}));
    clickCaption(0);
    clickCaption(1);
    EXPECT_EQ(column(1), (QStringList{"/usr/games/a", "/usr/games/b", "/usr/games/c"}));

    // Sorted or not, the export holds the log's lines in the log's order.
    clickCaption(0);
    const auto file = root / "sorted.txt";
    ASSERT_TRUE(page.ExportTo(QString::fromStdString(file.string())));
    const std::string text = zen::test::ReadAll(file);
    EXPECT_EQ(text, Utf16ToUtf8(LogLines(db.Warnings(), LogKind::Warnings)));
    EXPECT_LT(text.find("/usr/games/b"), text.find("/usr/games/a"));
    EXPECT_NE(text.find("Tue Mar 05 12:05:00 PM"), std::string::npos);

    // A refresh keeps the chosen order.
    page.Refresh();
    EXPECT_EQ(column(1), (QStringList{"/usr/games/c", "/usr/games/b", "/usr/games/a"}));
    if (hadTz) {
        ::setenv("TZ", previousTz.constData(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
}

TEST_F(LogPagesTest, EveryTypedSizeIsStoredAtOnceAndANegativeOneChangesNothing) {
    CDlgLogPage warnings(db, LogKind::Warnings, nullptr);
    CDlgLogPage activity(db, LogKind::Activity, nullptr);
    warnings.Refresh();
    EXPECT_EQ(warnings.sizeEdit()->text(), QString::number(StoredOptions().WarningsSize));
    const uint32_t activitySize = StoredOptions().ActivitySize;

    warnings.sizeEdit()->clear();
    QTest::keyClicks(warnings.sizeEdit(), "64");
    EXPECT_EQ(StoredOptions().WarningsSize, 64u);
    EXPECT_EQ(db.LockOptions()->WarningsSize, 64u);  // what the log's appends read

    for (const char* typed : {"-5", "-", "abc", "-1"}) {
        warnings.sizeEdit()->clear();
        QTest::keyClicks(warnings.sizeEdit(), typed);
        EXPECT_EQ(StoredOptions().WarningsSize, 64u) << typed;
    }
    EXPECT_EQ(StoredOptions().ActivitySize, activitySize);

    activity.sizeEdit()->clear();
    QTest::keyClicks(activity.sizeEdit(), "0");
    EXPECT_EQ(StoredOptions().ActivitySize, 0u);
    EXPECT_EQ(StoredOptions().WarningsSize, 64u);
}

}  // namespace
}  // namespace zen::panel::test
