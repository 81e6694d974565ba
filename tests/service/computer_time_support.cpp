#include "service/computer_time_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <fstream>

#include "common/db/db_manager.h"
#include "common/db/log_records.h"
#include "common/db/rules_editor.h"
#include "platform/root.h"
#include "platform/text.h"

namespace zen::test {

int64_t LocalMoment(int year, int month, int day, int hour, int minute, int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

void AddKidsForbiddenAtTen(CDBManager& db) {
    constexpr uint8_t kEveryDay = 0x7F;
    constexpr int kTenOClock = 40;  // the quarter hour 10:00-10:15
    ASSERT_EQ(AddGroup(db, u"Kids"), EditStatus::Done);
    ASSERT_EQ(AddUser(db, u"alice", u"Kids"), EditStatus::Done);
    ASSERT_EQ(SetShutDown(db, u"Kids", 1), EditStatus::Done);
    ASSERT_EQ(SetTimetableMode(db, u"Kids", Category::Power, 1), EditStatus::Done);
    ASSERT_EQ(SetTimetableRange(db, u"Kids", Category::Power, kEveryDay, kTenOClock, kTenOClock + 1,
                                false),
              EditStatus::Done);
}

std::vector<std::u16string> WaitingMessages(CDBManager& db) {
    db.Messages().ReloadIfChanged();
    std::vector<CustomMessage> messages = db.Messages().WithRecords(
        [](auto& set) { return std::vector<CustomMessage>(set.begin(), set.end()); });
    std::ranges::stable_sort(messages, {}, &CustomMessage::time);
    std::vector<std::u16string> texts;
    for (const CustomMessage& message : messages) {
        texts.emplace_back(FieldText(message.text));
    }
    return texts;
}

std::vector<WarningRecord> WarningRecords(CDBManager& db) {
    std::vector<WarningRecord> records;
    VisitLog<WarningRecord>(db.Warnings(),
                            [&](const WarningRecord& record) { records.push_back(record); });
    return records;
}

std::vector<std::string> ActionLines() {
    std::ifstream log(paths::ActionsLog());
    std::vector<std::string> lines;
    for (std::string line; std::getline(log, line);) {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace zen::test
