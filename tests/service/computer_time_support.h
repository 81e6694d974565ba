#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/db/records.h"

namespace zen {
class CDBManager;
}

namespace zen::test {

// A moment in local time, as the rules read it.
int64_t LocalMoment(int year, int month, int day, int hour, int minute, int second);

// A group "Kids" with the user "alice", whose computer timetable forbids 10:00-10:15 every
// day and whose computer time ends in a logoff.
void AddKidsForbiddenAtTen(CDBManager& db);

// The texts of the messages waiting in the stored messages table, oldest first.
std::vector<std::u16string> WaitingMessages(CDBManager& db);
// The stored warnings log.
std::vector<WarningRecord> WarningRecords(CDBManager& db);
// The lines of the root's actions.log.
std::vector<std::string> ActionLines();

}  // namespace zen::test
