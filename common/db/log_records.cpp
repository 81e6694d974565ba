#include "common/db/log_records.h"

#include <chrono>
#include <cstdio>

#include "common/db/db_manager.h"
#include "platform/clock.h"
#include "platform/local_time.h"
#include "platform/text.h"

namespace zen {
namespace {

constexpr std::size_t kUserUnits = 24;
constexpr std::size_t kWarningProgramUnits = 255;
constexpr std::size_t kWarningTextUnits = 95;
constexpr std::size_t kSecondTextUnits = 1023;
constexpr std::size_t kActivityTextUnits = 254;

// The log walks give up on a mutex held elsewhere for this long, as the log operations do.
constexpr std::chrono::milliseconds kWalkLockWait{10'000};

// Both records start alike: all zero, then the time, and the user only with a time.
template <typename Record>
Record Started(int64_t Record::*timeField, int64_t time, std::u16string_view user) {
    Record record{};
    record.*timeField = time;
    if (time != 0) {
        SetFieldText(record.user, user, kUserUnits);
    }
    return record;
}

template <typename Record>
int Append(DBLogTable& log, Record record) {
    return log.LogAppend(std::as_writable_bytes(std::span(&record, 1)));
}

std::u16string Decimal(int32_t number) {
    return Utf8ToUtf16(std::to_string(number));
}

}  // namespace

WarningRecord BuildWarning(int64_t time, std::u16string_view user, std::u16string_view text,
                           std::u16string_view program, uint32_t kind,
                           std::u16string_view secondText) {
    WarningRecord record = Started(&WarningRecord::time, time, user);
    record.kind = kind;
    SetFieldText(record.program, program, kWarningProgramUnits);
    SetFieldText(record.text, text, kWarningTextUnits);
    SetFieldText(record.secondText, secondText, kSecondTextUnits);
    return record;
}

ActivityRecord BuildActivity(int64_t startTime, std::u16string_view user, int64_t endTime,
                             std::u16string_view programName, std::u16string_view programPath,
                             uint32_t value) {
    ActivityRecord record = Started(&ActivityRecord::startTime, startTime, user);
    record.endTime = endTime;
    SetFieldText(record.program, programName, kActivityTextUnits);
    record.one = 1;
    record.value = value;
    SetFieldText(record.path, programPath, kActivityTextUnits);
    return record;
}

int AddWarning(CDBManager& db, std::u16string_view text, std::u16string_view program, uint32_t kind,
               std::u16string_view secondText) {
    return Append(db.Warnings(),
                  BuildWarning(Now(), db.CurrentUserName(), text, program, kind, secondText));
}

int AddActivity(CDBManager& db, int64_t startTime, std::u16string_view programName,
                std::u16string_view programPath, uint32_t value) {
    return Append(db.Activity(), BuildActivity(startTime, db.CurrentUserName(), Now(), programName,
                                               programPath, value));
}

std::u16string TimeText(int64_t secondsSince1970) {
    static constexpr const char* kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const LocalTime local = BreakDownLocal(secondsSince1970);
    // Noon and the hour after it are afternoon; midnight's hour is 12 AM.
    const bool afternoon = local.hour >= 12;
    const int hour = local.hour % 12 == 0 ? 12 : local.hour % 12;
    char text[64];
    std::snprintf(text, sizeof text, "%.3s %.3s %02d %02d:%02d:%02d %s",
                  kWeekdays[local.weekday % 7], kMonths[(local.month + 11) % 12], local.day, hour,
                  local.minute, local.second, afternoon ? "PM" : "AM");
    return Utf8ToUtf16(text);
}

std::u16string FormatWarning(const WarningRecord& record) {
    std::u16string line(FieldText(record.user));
    for (const std::u16string_view field :
         {FieldText(record.program), FieldText(record.text), FieldText(record.secondText)}) {
        line.append(u"|").append(field);
    }
    return line.append(u"|").append(TimeText(record.time));
}

std::u16string FormatActivity(const ActivityRecord& record) {
    std::u16string line(FieldText(record.user));
    for (const std::u16string& field :
         {std::u16string(FieldText(record.program)), TimeText(record.startTime),
          TimeText(record.endTime), Decimal(record.secondNumber), Decimal(record.firstNumber)}) {
        line.append(u"|").append(field);
    }
    return line;
}

int WalkLog(DBLogTable& log, std::span<std::byte> buffer, const std::function<void()>& each) {
    NamedMutexLock lock(log.Mutex(), kWalkLockWait);
    if (!log.IsOpen() || !lock.owns()) {
        return 0;
    }
    if (log.LogFirst() != 0) {
        while (log.LogNext(buffer) != 0) {
            each();
        }
    }
    return 1;
}

std::u16string LogLines(DBLogTable& log, LogKind kind) {
    std::u16string text;
    const auto add = [&text](std::u16string line) { text.append(line).append(u"\r\n"); };
    if (kind == LogKind::Warnings) {
        VisitLog<WarningRecord>(log, [&](const WarningRecord& r) { add(FormatWarning(r)); });
    } else {
        VisitLog<ActivityRecord>(log, [&](const ActivityRecord& r) { add(FormatActivity(r)); });
    }
    return text;
}

}  // namespace zen
