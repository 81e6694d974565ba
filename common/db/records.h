#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace zen {

static_assert(std::endian::native == std::endian::little,
              "stored records are little-endian and used in place");

// One week of quarter hours: 7 day rows (0 = Sunday) of 13 bytes; bit s of a row is slot
// s = hour * 4 + quarter, least significant bit first. A set bit means allowed.
struct Timetable {
    static constexpr int kDays = 7;
    static constexpr int kRowBytes = 13;
    static constexpr int kSlots = 96;
    uint8_t rows[kDays][kRowBytes];
};

// A daily-limit block: enable flag and the minutes of each weekday (0 = Sunday).
struct TimeLimitsTable {
    uint32_t enable;
    uint32_t minutes[7];
};

// The timetable slots and limit blocks of a users record, in stored order.
enum TimetableSlot : int {
    kCommonSlot = 0,
    kCdromSlot = 1,
    kRemovableSlot = 2,
    kInternetSlot = 3,
    kPowerSlot = 4,
    kProgramSlot = 5,
    kSlotCount = 6,
};

// A user or a group (a group has ParentID 0; a user's ParentID is its group's UserID).
struct FastUsersRecord {
    char16_t name[26];
    uint32_t UserID;
    uint32_t ParentID;
    uint32_t Disable;
    uint32_t CDROM;
    uint32_t Removable;
    uint32_t Power;
    uint32_t Internet;
    uint32_t Program;
    uint32_t ShutDown;
    uint32_t EnableWarning;
    uint32_t WarnType;
    uint32_t ShowCustomWarning;
    char16_t CustomWarning[128];
    Timetable timetables[kSlotCount];
    uint8_t reserved1[2];
    TimeLimitsTable limits[kSlotCount];
    uint32_t TrustedAppList;
    uint32_t PermittedAppList;
    uint32_t BlockedAppList;
    uint8_t reserved2[16];
};

// An entry about one program: Mode 1 trusted (an exception), Mode 2 controlled.
struct FastCustomRecord {
    uint16_t Mode;
    char16_t UserID[25];  // the user or group it belongs to, or "All Users"
    uint32_t dwVal;       // CheckSum of the program file, 0 when unknown
    char16_t szVal[260];  // full path of the program file
    Timetable timetable;
    uint8_t reserved1;
    uint32_t TimetableState;
    uint32_t TimeLimitsEnable;
    uint32_t TimeLimitsTable[7];
    uint8_t reserved2[16];
};

// A message an enforcing component leaves for the control panel of the named group.
struct CustomMessage {
    int64_t time;
    char16_t name[25];
    char16_t text[1025];
    uint32_t tick;
    uint8_t reserved[16];
};

// The one options record of the system.
struct Options {
    char16_t password[58];
    uint32_t WarningsSize;
    uint32_t ActivitySize;
    char16_t SMTPServer[40];
    uint32_t Port;
    char16_t SMTPTo[152];
    char16_t SMTPFrom[40];
    char16_t serverPassword[25];
    char16_t EMailName[25];
    char16_t reportPassword[26];
    int64_t lastReportTime;
    uint32_t SendNotificationEMail;
    uint32_t SendDailyReport;
    uint32_t EnableServerAuthentication;
    uint8_t reserved1[60];
    uint32_t TimeFormat;
    uint32_t SelectionType;
    uint32_t toolTipsOff;
    uint8_t reserved2[64];
    uint32_t clockLock;
    char16_t deviceState[511];
    uint8_t reserved3[18];
};

// A refused access: kind 0 = drive, 1 = program, 2 = computer (the filter adds its own kinds).
struct WarningRecord {
    int64_t time;
    char16_t user[28];
    uint32_t kind;
    char16_t program[256];
    char16_t text[96];
    char16_t secondText[1024];
    uint8_t reserved[20];
};

// One run of a controlled program.
struct ActivityRecord {
    int64_t startTime;
    char16_t user[28];
    int64_t endTime;
    int32_t firstNumber;
    int32_t secondNumber;
    char16_t program[256];
    uint32_t one;
    uint32_t value;
    char16_t path[256];
    uint8_t reserved[16];
};

// The stored bytes are the records themselves, so their layout is checked here.
template <typename T>
constexpr bool kStoredRecord = std::is_standard_layout_v<T>&& std::is_trivially_copyable_v<T>;

static_assert(sizeof(Timetable) == 91 && sizeof(TimeLimitsTable) == 32);

static_assert(kStoredRecord<FastUsersRecord> && sizeof(FastUsersRecord) == 1124);
static_assert(offsetof(FastUsersRecord, UserID) == 52 && offsetof(FastUsersRecord, ParentID) == 56);
static_assert(offsetof(FastUsersRecord, Disable) == 60 && offsetof(FastUsersRecord, CDROM) == 64);
static_assert(offsetof(FastUsersRecord, Program) == 80 &&
              offsetof(FastUsersRecord, ShutDown) == 84);
static_assert(offsetof(FastUsersRecord, ShowCustomWarning) == 96);
static_assert(offsetof(FastUsersRecord, CustomWarning) == 100);
static_assert(offsetof(FastUsersRecord, timetables) == 356);
static_assert(offsetof(FastUsersRecord, limits) == 904);
static_assert(offsetof(FastUsersRecord, TrustedAppList) == 1096);
static_assert(offsetof(FastUsersRecord, BlockedAppList) == 1104);

static_assert(kStoredRecord<FastCustomRecord> && sizeof(FastCustomRecord) == 720);
static_assert(offsetof(FastCustomRecord, UserID) == 2 && offsetof(FastCustomRecord, dwVal) == 52);
static_assert(offsetof(FastCustomRecord, szVal) == 56);
static_assert(offsetof(FastCustomRecord, timetable) == 576);
static_assert(offsetof(FastCustomRecord, TimetableState) == 668);
static_assert(offsetof(FastCustomRecord, TimeLimitsEnable) == 672);
static_assert(offsetof(FastCustomRecord, TimeLimitsTable) == 676);

static_assert(kStoredRecord<CustomMessage> && sizeof(CustomMessage) == 2128);
static_assert(offsetof(CustomMessage, name) == 8 && offsetof(CustomMessage, text) == 58);
static_assert(offsetof(CustomMessage, tick) == 2108);

static_assert(kStoredRecord<Options> && sizeof(Options) == 1944);
static_assert(offsetof(Options, WarningsSize) == 116 && offsetof(Options, SMTPServer) == 124);
static_assert(offsetof(Options, Port) == 204 && offsetof(Options, SMTPTo) == 208);
static_assert(offsetof(Options, SMTPFrom) == 512 && offsetof(Options, serverPassword) == 592);
static_assert(offsetof(Options, EMailName) == 642 && offsetof(Options, reportPassword) == 692);
static_assert(offsetof(Options, lastReportTime) == 744);
static_assert(offsetof(Options, SendNotificationEMail) == 752);
static_assert(offsetof(Options, EnableServerAuthentication) == 760);
static_assert(offsetof(Options, TimeFormat) == 824 && offsetof(Options, toolTipsOff) == 832);
static_assert(offsetof(Options, clockLock) == 900 && offsetof(Options, deviceState) == 904);

static_assert(kStoredRecord<WarningRecord> && sizeof(WarningRecord) == 2840);
static_assert(offsetof(WarningRecord, user) == 8 && offsetof(WarningRecord, kind) == 64);
static_assert(offsetof(WarningRecord, program) == 68 && offsetof(WarningRecord, text) == 580);
static_assert(offsetof(WarningRecord, secondText) == 772);

static_assert(kStoredRecord<ActivityRecord> && sizeof(ActivityRecord) == 1128);
static_assert(offsetof(ActivityRecord, endTime) == 64);
static_assert(offsetof(ActivityRecord, firstNumber) == 72);
static_assert(offsetof(ActivityRecord, program) == 80 && offsetof(ActivityRecord, one) == 592);
static_assert(offsetof(ActivityRecord, value) == 596 && offsetof(ActivityRecord, path) == 600);

}  // namespace zen
