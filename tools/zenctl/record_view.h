#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

#include "common/db/records.h"
#include "tools/zenctl/json.h"

namespace zen::ctl {

// The stored records as JSON, keyed by their field names, and in text for people.

// The name of a timetable slot and limit block: "Timetable" for the common one, else the
// name of the mode field of its category ("CDROM", "Removable", "Internet", "Power",
// "Program").
std::string_view SlotName(int slot);

// One day row as 96 cells, `allowed` / `forbidden` characters.
std::string TimetableRow(const Timetable& timetable, int day, char allowed, char forbidden);

// The short form (name, UserID, ParentID, Disable) or every field of a users record.
Json UserSummary(const FastUsersRecord& record);
Json UserRecord(const FastUsersRecord& record);
void PrintUserRecord(std::ostream& out, const FastUsersRecord& record);

Json ProgramEntry(const FastCustomRecord& entry);
std::string CheckSumText(uint32_t checksum);  // "0x%08X"

}  // namespace zen::ctl
