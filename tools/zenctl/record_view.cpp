#include "tools/zenctl/record_view.h"

#include <cstdio>
#include <ostream>

#include "platform/text.h"
#include "tools/zenctl/rule_syntax.h"

namespace zen::ctl {
namespace {

constexpr std::string_view kSlotNames[kSlotCount] = {"Timetable", "CDROM", "Removable",
                                                     "Internet",  "Power", "Program"};

// The mode fields in stored order, with their categories.
struct ModeField {
    std::string_view name;
    uint32_t FastUsersRecord::*field;
    Category category;
};
constexpr ModeField kModeFields[] = {
    {"CDROM", &FastUsersRecord::CDROM, Category::CDROM},
    {"Removable", &FastUsersRecord::Removable, Category::Removable},
    {"Power", &FastUsersRecord::Power, Category::Power},
    {"Internet", &FastUsersRecord::Internet, Category::Internet},
    {"Program", &FastUsersRecord::Program, Category::Program},
};

// A slot for people: the word of its category, as every command takes it, or "common".
std::string SlotWord(int slot) {
    for (const ModeField& mode : kModeFields) {
        if (RulesOf(mode.category).slot == slot) {
            return std::string(CategoryName(mode.category));
        }
    }
    return "common";
}

std::string ModeText(uint32_t mode) {
    switch (mode) {
        case 0:
            return "0 (no timetable)";
        case 1:
            return "1 (own timetable)";
        default:
            return std::to_string(mode) + " (the common timetable)";
    }
}

std::string HourRuler() {
    std::string ruler;
    for (int hour = 0; hour < 24; ++hour) {
        std::string label = std::to_string(hour);
        label.resize(4, ' ');
        ruler += label;
    }
    return ruler.substr(0, ruler.find_last_not_of(' ') + 1);
}

}  // namespace

std::string_view SlotName(int slot) {
    return kSlotNames[slot];
}

std::string TimetableRow(const Timetable& timetable, int day, char allowed, char forbidden) {
    std::string row;
    for (int slot = 0; slot < Timetable::kSlots; ++slot) {
        row += (timetable.rows[day][slot / 8] >> (slot % 8) & 1) != 0 ? allowed : forbidden;
    }
    return row;
}

Json UserSummary(const FastUsersRecord& record) {
    return Json::Object()
        .Set("name", FieldText(record.name))
        .Set("UserID", record.UserID)
        .Set("ParentID", record.ParentID)
        .Set("Disable", record.Disable);
}

Json UserRecord(const FastUsersRecord& record) {
    Json json = UserSummary(record);
    for (const ModeField& mode : kModeFields) {
        json.Set(mode.name, record.*mode.field);
    }
    json.Set("ShutDown", record.ShutDown)
        .Set("EnableWarning", record.EnableWarning)
        .Set("WarnType", record.WarnType)
        .Set("ShowCustomWarning", record.ShowCustomWarning)
        .Set("CustomWarning", FieldText(record.CustomWarning));
    Json timetables = Json::Object();
    Json limits = Json::Object();
    for (int slot = 0; slot < kSlotCount; ++slot) {
        Json rows = Json::Array();
        for (int day = 0; day < Timetable::kDays; ++day) {
            rows.Push(TimetableRow(record.timetables[slot], day, '1', '0'));
        }
        timetables.Set(SlotName(slot), std::move(rows));
        Json minutes = Json::Array();
        for (const uint32_t limit : record.limits[slot].minutes) {
            minutes.Push(limit);
        }
        limits.Set(SlotName(slot), Json::Object()
                                       .Set("enable", record.limits[slot].enable)
                                       .Set("minutes", std::move(minutes)));
    }
    return json.Set("timetables", std::move(timetables))
        .Set("limits", std::move(limits))
        .Set("TrustedAppList", record.TrustedAppList)
        .Set("PermittedAppList", record.PermittedAppList)
        .Set("BlockedAppList", record.BlockedAppList);
}

void PrintUserRecord(std::ostream& out, const FastUsersRecord& record) {
    out << "name: " << Utf16ToUtf8(FieldText(record.name)) << '\n'
        << "UserID: " << record.UserID << '\n'
        << "ParentID: " << record.ParentID << (record.ParentID == 0 ? " (a group)" : "") << '\n'
        << "Disable: " << record.Disable << '\n';
    for (const ModeField& mode : kModeFields) {
        out << CategoryName(mode.category) << " timetable (" << mode.name
            << "): " << ModeText(record.*mode.field) << '\n';
    }
    out << "ShutDown: " << record.ShutDown
        << (record.ShutDown == 1   ? " (log off)"
            : record.ShutDown == 0 ? " (shut down)"
                                   : "")
        << '\n'
        << "EnableWarning: " << record.EnableWarning << '\n'
        << "WarnType: " << record.WarnType << '\n'
        << "ShowCustomWarning: " << record.ShowCustomWarning << '\n'
        << "CustomWarning: " << Utf16ToUtf8(FieldText(record.CustomWarning)) << '\n'
        << "TrustedAppList: " << record.TrustedAppList << '\n'
        << "PermittedAppList: " << record.PermittedAppList << '\n'
        << "BlockedAppList: " << record.BlockedAppList << '\n';
    const std::string ruler = HourRuler();
    for (int slot = 0; slot < kSlotCount; ++slot) {
        out << '\n'
            << SlotWord(slot) << " timetable (# allowed, . forbidden)\n"
            << "     " << ruler << '\n';
        for (int day = 0; day < Timetable::kDays; ++day) {
            out << WeekdayName(day) << "  " << TimetableRow(record.timetables[slot], day, '#', '.')
                << '\n';
        }
        const TimeLimitsTable& block = record.limits[slot];
        out << SlotWord(slot) << " daily limit: " << (block.enable != 0 ? "on" : "off") << ',';
        for (int day = 0; day < Timetable::kDays; ++day) {
            out << ' ' << WeekdayName(day) << ' ' << block.minutes[day];
        }
        out << " minutes\n";
    }
}

std::string CheckSumText(uint32_t checksum) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", checksum);
    return text;
}

Json ProgramEntry(const FastCustomRecord& entry) {
    Json limits = Json::Array();
    for (const uint32_t minutes : entry.TimeLimitsTable) {
        limits.Push(minutes);
    }
    return Json::Object()
        .Set("Mode", static_cast<uint32_t>(entry.Mode))
        .Set("UserID", FieldText(entry.UserID))
        .Set("dwVal", entry.dwVal)
        .Set("CheckSum", CheckSumText(entry.dwVal))
        .Set("szVal", FieldText(entry.szVal))
        .Set("TimetableState", entry.TimetableState)
        .Set("TimeLimitsEnable", entry.TimeLimitsEnable)
        .Set("TimeLimitsTable", std::move(limits));
}

}  // namespace zen::ctl
