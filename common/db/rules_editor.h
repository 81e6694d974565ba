#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/db/category.h"
#include "common/db/db_manager.h"
#include "common/db/records.h"
#include "common/db/rules_model.h"
#include "platform/named_mutex.h"

namespace zen {

class CDBManager;

// What an edit of the rules came to. Every refusal leaves the tables as they were: an edit is
// decided on the table as saved (under its mutex) and saved whole only when it succeeds.
enum class EditStatus {
    Done,
    NotFound,       // no user or group of that name
    NotAGroup,      // the name is a user's where a group is needed
    NotAUser,       // the name is a group's where a user is needed
    AlreadyExists,  // the new name is taken (names are equal under NameCompare)
    BuiltIn,        // the built-in groups are never renamed or deleted
    GroupNotEmpty,  // a group with users is not deleted
    ProtectedUser,  // the caller's own account is not deleted
    BadName,        // empty, longer than a stored name, or holding the "*" wildcard
    TooLong,        // a text longer than its field accepts
    OutOfRange,     // a number or range outside what the field holds
    NoSuchEntry,    // no program entry matched a removal
    SaveFailed,     // the table or options file could not be written
};

// A short English text for the status ("already exists", "group is not empty", ...).
std::string_view EditStatusText(EditStatus status);

// The longest user or group name and custom warning text the editors accept.
inline constexpr std::size_t kMaxNameUnits = kNameUnits;
inline constexpr std::size_t kMaxWarningUnits = 126;
inline constexpr uint32_t kMaxDailyMinutes = 1440;

// Users and groups. Every successful edit saves the users table with the lossless
// read-modify-write, pulses the reload event and refreshes this process's rules in force.
// A new group starts from the rules default; a new user joins an existing group.
EditStatus AddGroup(CDBManager& db, std::u16string_view name);
EditStatus AddUser(CDBManager& db, std::u16string_view name, std::u16string_view group);
// Keeps the record's UserID, so a group keeps its users; a group's program entries follow
// its new name (entries name their group by name).
EditStatus RenameRecord(CDBManager& db, std::u16string_view name, std::u16string_view newName);
EditStatus MoveUser(CDBManager& db, std::u16string_view user, std::u16string_view group);
// `protectedUser` is the account that may not be deleted (the one running the editor, or the
// one at the console); empty protects nobody.
EditStatus DeleteRecord(CDBManager& db, std::u16string_view name,
                        std::u16string_view protectedUser);

// The group-wide settings: set on the group (a user's name stands for its group) and copied
// to every user of it.
EditStatus SetDisable(CDBManager& db, std::u16string_view name, bool disable);
EditStatus SetShowCustomWarning(CDBManager& db, std::u16string_view name, bool show);
EditStatus SetCustomWarning(CDBManager& db, std::u16string_view name, std::u16string_view text);
// The computer's end action of a group: 0 shut down, 1 log off.
EditStatus SetShutDown(CDBManager& db, std::u16string_view group, uint32_t action);

// A category's timetable mode on a group: 0 no timetable, 1 its own timetable.
EditStatus SetTimetableMode(CDBManager& db, std::u16string_view group, Category category,
                            uint32_t mode);
// Allows or forbids, in the category's own timetable, the quarter hours [fromSlot, toSlot)
// of every weekday in `days` (bit d = weekday d, 0 = Sunday). Slots are 0..96.
EditStatus SetTimetableRange(CDBManager& db, std::u16string_view group, Category category,
                             uint8_t days, int fromSlot, int toSlot, bool allowed);
// Writes into the category's own timetable the quarter hours in which `edited` differs from
// `shown` (what the panel's grid painted over what it showed); every other quarter, and the
// spare bits after the last one, keep what is stored, another process's edit included.
EditStatus SetTimetableChanges(CDBManager& db, std::u16string_view group, Category category,
                               const Timetable& shown, const Timetable& edited);
EditStatus SetLimitEnabled(CDBManager& db, std::u16string_view group, Category category,
                           bool enable);
// Sets the daily limit of every weekday in `days` to `minutes` (at most 1440).
EditStatus SetLimitMinutes(CDBManager& db, std::u16string_view group, Category category,
                           uint8_t days, uint32_t minutes);

// Program entries (Mode 1 exceptions, Mode 2 controlled programs) of a group or of
// "All Users". Adding replaces an equal entry; the table is saved and the reload pulsed.
EditStatus AddProgramEntry(CDBManager& db, uint16_t mode, std::u16string_view owner,
                           std::u16string_view path, uint32_t checksum);
// Removes the entries of that mode, owner and path (under NameCompare), only the one with
// that checksum when one is given. `removed` receives how many went.
EditStatus RemoveProgramEntries(CDBManager& db, uint16_t mode, std::u16string_view owner,
                                std::u16string_view path, std::optional<uint32_t> checksum,
                                std::size_t* removed = nullptr);

// Changes the options without losing another process's save: under the options mutex the
// file is read again, `edit` applied and the options saved (pulsing the reload event) when
// it returns Done.
template <typename Edit>
EditStatus EditOptions(CDBManager& db, Edit&& edit);

// Stores a new administrator password (empty switches the password off).
EditStatus SetAdminPassword(CDBManager& db, std::u16string_view password);
inline constexpr std::size_t kMaxPasswordUnits = 23;

// The part of EditOptions that is not a template.
class OptionsTransaction {
public:
    explicit OptionsTransaction(CDBManager& db);
    ~OptionsTransaction();
    OptionsTransaction(const OptionsTransaction&) = delete;
    OptionsTransaction& operator=(const OptionsTransaction&) = delete;

    bool ok() const { return ok_; }
    Options& options();
    EditStatus Commit();

private:
    CDBManager& db_;
    LockedOptions view_;
    bool ok_ = false;
};

template <typename Edit>
EditStatus EditOptions(CDBManager& db, Edit&& edit) {
    OptionsTransaction transaction(db);
    if (!transaction.ok()) {
        return EditStatus::SaveFailed;
    }
    Options edited = transaction.options();
    const EditStatus status = edit(edited);
    if (status != EditStatus::Done) {
        return status;
    }
    transaction.options() = edited;
    return transaction.Commit();
}

}  // namespace zen
