#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "common/db/log_table.h"
#include "common/db/records.h"

namespace zen {

class CDBManager;

// The records of the two logs: zeroed, then time and user (the user only with a time), then
// the rest, every text cut to its field.
WarningRecord BuildWarning(int64_t time, std::u16string_view user, std::u16string_view text,
                           std::u16string_view program, uint32_t kind,
                           std::u16string_view secondText);
ActivityRecord BuildActivity(int64_t startTime, std::u16string_view user, int64_t endTime,
                             std::u16string_view programName, std::u16string_view programPath,
                             uint32_t value);

// Appends a warning of the current user at the current time to "Zenwgs". 1 / 0.
int AddWarning(CDBManager& db, std::u16string_view text, std::u16string_view program, uint32_t kind,
               std::u16string_view secondText);
// Appends a finished run of a controlled program, ending now, to "Zenavt". 1 / 0.
int AddActivity(CDBManager& db, int64_t startTime, std::u16string_view programName,
                std::u16string_view programPath, uint32_t value);

// "Www Mmm dd hh:mm:ss AM" in local time on a 12-hour clock: midnight's hour prints as
// "12:mm:ss AM", noon's as "12:mm:ss PM", 13:00 as "01:00:00 PM".
std::u16string TimeText(int64_t secondsSince1970);

// The text line of a record, fields separated by "|", without a line end:
// user|program|text|second text|time
std::u16string FormatWarning(const WarningRecord& record);
// user|program|start|end|second number|first number
std::u16string FormatActivity(const ActivityRecord& record);

// Reads the whole log oldest first under its mutex, so that no append interleaves, deciphering
// each record into `buffer` and calling `each` after it. 0 when the log cannot be read.
int WalkLog(DBLogTable& log, std::span<std::byte> buffer, const std::function<void()>& each);

// WalkLog with typed records; 0 also when the log does not hold records of this type.
template <typename Record, typename Visit>
int VisitLog(DBLogTable& log, Visit&& visit) {
    if (log.RecordSize() != sizeof(Record)) {
        return 0;
    }
    Record record;
    return WalkLog(log, std::as_writable_bytes(std::span(&record, 1)),
                   [&] { visit(std::as_const(record)); });
}

enum class LogKind { Warnings, Activity };

// The text of a whole log: one formatted line per record, oldest first, each ended by
// "\r\n"; what the daily report archives and `zenctl log` prints.
std::u16string LogLines(DBLogTable& log, LogKind kind);

}  // namespace zen
