#include "common/db/rules_editor.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "common/db/db_manager.h"
#include "common/db/name_compare.h"
#include "common/db/options_file.h"
#include "common/db/rules_model.h"
#include "platform/text.h"

namespace zen {
namespace {

using UserSet = UsersTable::Set;
using UserIt = UserSet::iterator;

// Runs `edit(Set&) -> EditStatus` as one lossless read-modify-write of a table; the table is
// saved only when the edit is Done, which must leave the set untouched otherwise.
template <typename Table, typename Edit>
EditStatus EditTable(Table& table, Edit&& edit) {
    EditStatus status = EditStatus::Done;
    const int saved = table.Update([&](typename Table::Set& records) {
        status = edit(records);
        return status == EditStatus::Done;
    });
    if (status != EditStatus::Done) {
        return status;
    }
    if (saved == 0) {
        return EditStatus::SaveFailed;
    }
    CDBManager::PulseReload();
    return EditStatus::Done;
}

// EditTable over the users table; this process's rules in force follow at once, as the other
// processes' watchers make theirs follow.
template <typename Edit>
EditStatus EditUsers(CDBManager& db, Edit&& edit) {
    const EditStatus status = EditTable(db.Users(), std::forward<Edit>(edit));
    if (status == EditStatus::Done) {
        db.SetCurrentUser();
    }
    return status;
}

UserIt FindName(UserSet& records, std::u16string_view name) {
    return std::find_if(records.begin(), records.end(), [&](const FastUsersRecord& record) {
        return NameCompare(FieldText(record.name), name) == 0;
    });
}

UserIt FindGroup(UserSet& records, uint32_t id) {
    return std::find_if(records.begin(), records.end(), [&](const FastUsersRecord& record) {
        return record.ParentID == 0 && record.UserID == id;
    });
}

uint32_t NextId(const UserSet& records) {
    uint32_t largest = 0;
    for (const FastUsersRecord& record : records) {
        largest = std::max(largest, record.UserID);
    }
    return largest + 1;
}

bool IsBuiltIn(const FastUsersRecord& record) {
    return record.ParentID == 0 && record.UserID >= kAdministratorsId && record.UserID <= kGuestsId;
}

// Records are ordered by name only, so anything but the name is changed in place through a
// node handle; a changed name is inserted anew.
template <typename Change>
bool Modify(UserSet& records, UserIt it, Change&& change) {
    auto node = records.extract(it);
    change(node.value());
    return records.insert(std::move(node)).inserted;
}

// A name must fit a stored name and must not act as a wildcard or as "All Users", which
// program entries use for everyone.
bool ValidName(std::u16string_view name) {
    // A control character would pass through to lists, logs and mail as it is.
    const auto control = [](char16_t unit) { return unit < 0x20 || (unit >= 0x7F && unit < 0xA0); };
    return !name.empty() && name.size() <= kMaxNameUnits &&
           name.find(u'*') == std::u16string_view::npos && std::ranges::none_of(name, control) &&
           NameCompare(name, kAllUsers) != 0;
}

// Finds `name` as a group: NotFound, NotAGroup, or Done with `out` set.
EditStatus LookUpGroup(UserSet& records, std::u16string_view name, UserIt& out) {
    out = FindName(records, name);
    if (out == records.end()) {
        return EditStatus::NotFound;
    }
    return out->ParentID == 0 ? EditStatus::Done : EditStatus::NotAGroup;
}

// The group-wide settings travel with membership.
void CopyGroupSettings(const FastUsersRecord& group, FastUsersRecord& member) {
    member.Disable = group.Disable;
    member.ShowCustomWarning = group.ShowCustomWarning;
    std::copy(std::begin(group.CustomWarning), std::end(group.CustomWarning), member.CustomWarning);
}

// Applies `change` to one group's record.
template <typename Change>
EditStatus EditGroup(CDBManager& db, std::u16string_view group, Change&& change) {
    return EditUsers(db, [&](UserSet& records) {
        UserIt it;
        if (const EditStatus found = LookUpGroup(records, group, it); found != EditStatus::Done) {
            return found;
        }
        FastUsersRecord edited = *it;
        if (const EditStatus status = change(edited); status != EditStatus::Done) {
            return status;
        }
        Modify(records, it, [&](FastUsersRecord& record) { record = edited; });
        return EditStatus::Done;
    });
}

// Applies `change` to the group of `name` (the record itself, or a user's group) and to every
// user of that group.
template <typename Change>
EditStatus EditGroupWide(CDBManager& db, std::u16string_view name, Change&& change) {
    return EditUsers(db, [&](UserSet& records) {
        UserIt it = FindName(records, name);
        if (it != records.end() && it->ParentID != 0) {
            it = FindGroup(records, it->ParentID);
        }
        if (it == records.end()) {
            return EditStatus::NotFound;
        }
        const uint32_t id = it->UserID;
        std::vector<UserIt> members{it};
        for (auto member = records.begin(); member != records.end(); ++member) {
            if (member->ParentID == id) {
                members.push_back(member);
            }
        }
        for (const UserIt& member : members) {
            Modify(records, member, change);
        }
        return EditStatus::Done;
    });
}

EditStatus CheckDaysAndSlots(uint8_t days, int fromSlot, int toSlot) {
    const bool daysOk = days != 0 && days < (1u << Timetable::kDays);
    const bool slotsOk = fromSlot >= 0 && fromSlot < toSlot && toSlot <= Timetable::kSlots;
    return daysOk && slotsOk ? EditStatus::Done : EditStatus::OutOfRange;
}

bool HasDay(uint8_t days, int day) {
    return (days >> day & 1u) != 0;
}

}  // namespace

std::string_view EditStatusText(EditStatus status) {
    switch (status) {
        case EditStatus::Done:
            return "done";
        case EditStatus::NotFound:
            return "no such user or group";
        case EditStatus::NotAGroup:
            return "is a user, not a group";
        case EditStatus::NotAUser:
            return "is a group, not a user";
        case EditStatus::AlreadyExists:
            return "already exists";
        case EditStatus::BuiltIn:
            return "is a built-in group and cannot be renamed or deleted";
        case EditStatus::GroupNotEmpty:
            return "group is not empty";
        case EditStatus::ProtectedUser:
            return "is the logged-on user and cannot be deleted";
        case EditStatus::BadName:
            return "is not a valid name (1 to 24 characters, no control characters, no \"*\", not "
                   "\"All Users\")";
        case EditStatus::TooLong:
            return "text is too long";
        case EditStatus::OutOfRange:
            return "value out of range";
        case EditStatus::NoSuchEntry:
            return "no such program entry";
        case EditStatus::SaveFailed:
            return "the database could not be written";
    }
    return "unknown result";
}

EditStatus AddGroup(CDBManager& db, std::u16string_view name) {
    if (!ValidName(name)) {
        return EditStatus::BadName;
    }
    return EditUsers(db, [&](UserSet& records) {
        if (FindName(records, name) != records.end()) {
            return EditStatus::AlreadyExists;
        }
        FastUsersRecord group = RulesDefault();
        SetFieldText(group.name, name, kNameUnits);
        group.UserID = NextId(records);
        group.ParentID = 0;
        return records.insert(group).second ? EditStatus::Done : EditStatus::AlreadyExists;
    });
}

EditStatus AddUser(CDBManager& db, std::u16string_view name, std::u16string_view group) {
    if (!ValidName(name)) {
        return EditStatus::BadName;
    }
    return EditUsers(db, [&](UserSet& records) {
        UserIt parent;
        if (const EditStatus found = LookUpGroup(records, group, parent);
            found != EditStatus::Done) {
            return found;
        }
        if (FindName(records, name) != records.end()) {
            return EditStatus::AlreadyExists;
        }
        FastUsersRecord user = RulesDefault();
        SetFieldText(user.name, name, kNameUnits);
        user.UserID = NextId(records);
        user.ParentID = parent->UserID;
        CopyGroupSettings(*parent, user);
        return records.insert(user).second ? EditStatus::Done : EditStatus::AlreadyExists;
    });
}

EditStatus RenameRecord(CDBManager& db, std::u16string_view name, std::u16string_view newName) {
    if (!ValidName(newName)) {
        return EditStatus::BadName;
    }
    std::u16string oldName;
    bool wasGroup = false;
    const EditStatus renamed = EditUsers(db, [&](UserSet& records) {
        const UserIt it = FindName(records, name);
        if (it == records.end()) {
            return EditStatus::NotFound;
        }
        if (IsBuiltIn(*it)) {
            return EditStatus::BuiltIn;
        }
        if (const UserIt taken = FindName(records, newName);
            taken != records.end() && taken != it) {
            return EditStatus::AlreadyExists;
        }
        const FastUsersRecord before = *it;
        oldName = FieldText(before.name);
        wasGroup = before.ParentID == 0;
        if (!Modify(records, it, [&](FastUsersRecord& r) { SetFieldText(r.name, newName); })) {
            records.insert(before);
            return EditStatus::AlreadyExists;
        }
        return EditStatus::Done;
    });
    if (renamed != EditStatus::Done || !wasGroup) {
        return renamed;
    }
    // Program entries name their group: carry them over, or they would fall to whichever
    // group is given the old name next.
    const EditStatus carried = EditTable(db.Customs(), [&](CustomsTable::Set& entries) {
        std::vector<FastCustomRecord> moved;
        for (auto it = entries.begin(); it != entries.end();) {
            if (NameCompare(FieldText(it->UserID), oldName) == 0) {
                moved.push_back(*it);
                SetFieldText(moved.back().UserID, newName);
                it = entries.erase(it);
            } else {
                ++it;
            }
        }
        for (const FastCustomRecord& entry : moved) {
            entries.insert(entry);
        }
        return moved.empty() ? EditStatus::NoSuchEntry : EditStatus::Done;
    });
    return carried == EditStatus::SaveFailed ? carried : EditStatus::Done;
}

EditStatus MoveUser(CDBManager& db, std::u16string_view user, std::u16string_view group) {
    return EditUsers(db, [&](UserSet& records) {
        const UserIt it = FindName(records, user);
        if (it == records.end()) {
            return EditStatus::NotFound;
        }
        if (it->ParentID == 0) {
            return EditStatus::NotAUser;
        }
        UserIt target;
        if (const EditStatus found = LookUpGroup(records, group, target);
            found != EditStatus::Done) {
            return found;
        }
        const FastUsersRecord parent = *target;
        Modify(records, it, [&](FastUsersRecord& record) {
            record.ParentID = parent.UserID;
            CopyGroupSettings(parent, record);
        });
        return EditStatus::Done;
    });
}

EditStatus DeleteRecord(CDBManager& db, std::u16string_view name,
                        std::u16string_view protectedUser) {
    return EditUsers(db, [&](UserSet& records) {
        const UserIt it = FindName(records, name);
        if (it == records.end()) {
            return EditStatus::NotFound;
        }
        if (IsBuiltIn(*it)) {
            return EditStatus::BuiltIn;
        }
        if (it->ParentID == 0) {
            const uint32_t id = it->UserID;
            if (std::any_of(records.begin(), records.end(),
                            [&](const FastUsersRecord& r) { return r.ParentID == id; })) {
                return EditStatus::GroupNotEmpty;
            }
        } else if (!protectedUser.empty() && NameCompare(FieldText(it->name), protectedUser) == 0) {
            return EditStatus::ProtectedUser;
        }
        records.erase(it);
        return EditStatus::Done;
    });
}

EditStatus SetDisable(CDBManager& db, std::u16string_view name, bool disable) {
    return EditGroupWide(db, name, [&](FastUsersRecord& r) { r.Disable = disable ? 1 : 0; });
}

EditStatus SetShowCustomWarning(CDBManager& db, std::u16string_view name, bool show) {
    return EditGroupWide(db, name, [&](FastUsersRecord& r) { r.ShowCustomWarning = show ? 1 : 0; });
}

EditStatus SetCustomWarning(CDBManager& db, std::u16string_view name, std::u16string_view text) {
    if (text.size() > kMaxWarningUnits) {
        return EditStatus::TooLong;
    }
    return EditGroupWide(db, name,
                         [&](FastUsersRecord& r) { SetFieldText(r.CustomWarning, text); });
}

EditStatus SetShutDown(CDBManager& db, std::u16string_view group, uint32_t action) {
    if (action > 1) {
        return EditStatus::OutOfRange;
    }
    return EditGroup(db, group, [&](FastUsersRecord& r) {
        r.ShutDown = action;
        return EditStatus::Done;
    });
}

EditStatus SetTimetableMode(CDBManager& db, std::u16string_view group, Category category,
                            uint32_t mode) {
    if (mode > 1) {
        return EditStatus::OutOfRange;
    }
    return EditGroup(db, group, [&](FastUsersRecord& r) {
        r.*RulesOf(category).mode = mode;
        return EditStatus::Done;
    });
}

EditStatus SetTimetableRange(CDBManager& db, std::u16string_view group, Category category,
                             uint8_t days, int fromSlot, int toSlot, bool allowed) {
    if (const EditStatus range = CheckDaysAndSlots(days, fromSlot, toSlot);
        range != EditStatus::Done) {
        return range;
    }
    return EditGroup(db, group, [&](FastUsersRecord& r) {
        Timetable& timetable = r.timetables[RulesOf(category).slot];
        for (int day = 0; day < Timetable::kDays; ++day) {
            if (!HasDay(days, day)) {
                continue;
            }
            for (int slot = fromSlot; slot < toSlot; ++slot) {
                uint8_t& byte = timetable.rows[day][slot / 8];
                const auto bit = static_cast<uint8_t>(1u << (slot % 8));
                byte =
                    allowed ? static_cast<uint8_t>(byte | bit) : static_cast<uint8_t>(byte & ~bit);
            }
        }
        return EditStatus::Done;
    });
}

EditStatus SetTimetableChanges(CDBManager& db, std::u16string_view group, Category category,
                               const Timetable& shown, const Timetable& edited) {
    constexpr int kSlotBytes = Timetable::kSlots / 8;
    return EditGroup(db, group, [&](FastUsersRecord& r) {
        Timetable& timetable = r.timetables[RulesOf(category).slot];
        for (int day = 0; day < Timetable::kDays; ++day) {
            for (int byte = 0; byte < kSlotBytes; ++byte) {
                const auto changed =
                    static_cast<uint8_t>(shown.rows[day][byte] ^ edited.rows[day][byte]);
                uint8_t& stored = timetable.rows[day][byte];
                stored =
                    static_cast<uint8_t>((stored & ~changed) | (edited.rows[day][byte] & changed));
            }
        }
        return EditStatus::Done;
    });
}

EditStatus SetLimitEnabled(CDBManager& db, std::u16string_view group, Category category,
                           bool enable) {
    return EditGroup(db, group, [&](FastUsersRecord& r) {
        r.limits[RulesOf(category).slot].enable = enable ? 1 : 0;
        return EditStatus::Done;
    });
}

EditStatus SetLimitMinutes(CDBManager& db, std::u16string_view group, Category category,
                           uint8_t days, uint32_t minutes) {
    if (minutes > kMaxDailyMinutes) {
        return EditStatus::OutOfRange;
    }
    if (const EditStatus range = CheckDaysAndSlots(days, 0, 1); range != EditStatus::Done) {
        return range;
    }
    return EditGroup(db, group, [&](FastUsersRecord& r) {
        TimeLimitsTable& block = r.limits[RulesOf(category).slot];
        for (int day = 0; day < Timetable::kDays; ++day) {
            if (HasDay(days, day)) {
                block.minutes[day] = minutes;
            }
        }
        return EditStatus::Done;
    });
}

EditStatus AddProgramEntry(CDBManager& db, uint16_t mode, std::u16string_view owner,
                           std::u16string_view path, uint32_t checksum) {
    constexpr std::size_t kMaxPathUnits = std::size(FastCustomRecord{}.szVal) - 1;
    if (mode != 1 && mode != 2) {
        return EditStatus::OutOfRange;
    }
    if (path.empty() || path.size() > kMaxPathUnits) {
        return EditStatus::TooLong;
    }
    std::u16string ownerName(kAllUsers);
    if (NameCompare(owner, kAllUsers) != 0) {
        const std::optional<FastUsersRecord> group = FindUser(db.Users(), owner);
        if (!group) {
            return EditStatus::NotFound;
        }
        if (group->ParentID != 0) {
            return EditStatus::NotAGroup;
        }
        ownerName = FieldText(group->name);
    }
    FastCustomRecord entry{};
    entry.Mode = mode;
    SetFieldText(entry.UserID, ownerName);
    entry.dwVal = checksum;
    SetFieldText(entry.szVal, path);
    entry.timetable = AllAllowed();
    return EditTable(db.Customs(), [&](CustomsTable::Set& entries) {
        entries.erase(entry);
        return entries.insert(entry).second ? EditStatus::Done : EditStatus::AlreadyExists;
    });
}

EditStatus RemoveProgramEntries(CDBManager& db, uint16_t mode, std::u16string_view owner,
                                std::u16string_view path, std::optional<uint32_t> checksum,
                                std::size_t* removed) {
    std::size_t count = 0;
    const EditStatus status = EditTable(db.Customs(), [&](CustomsTable::Set& entries) {
        count = std::erase_if(entries, [&](const FastCustomRecord& e) {
            return e.Mode == mode && NameCompare(FieldText(e.UserID), owner) == 0 &&
                   NameCompare(FieldText(e.szVal), path) == 0 &&
                   (!checksum || e.dwVal == *checksum);
        });
        return count == 0 ? EditStatus::NoSuchEntry : EditStatus::Done;
    });
    if (removed != nullptr) {
        *removed = status == EditStatus::Done ? count : 0;
    }
    return status;
}

OptionsTransaction::OptionsTransaction(CDBManager& db) : db_(db), view_(db.LockOptions()) {
    if (!view_.held()) {
        return;
    }
    // Read what is saved now, so that another process's change made since this one last read
    // the options is kept.
    Options saved = *view_;
    if (SerializeOptions(saved, false, false, true, db_.OptionsMutex()) == 1) {
        *view_ = saved;
        ok_ = true;
    }
}

OptionsTransaction::~OptionsTransaction() = default;

Options& OptionsTransaction::options() {
    return *view_;
}

EditStatus OptionsTransaction::Commit() {
    return db_.SaveOptionsAndNotify() == 1 ? EditStatus::Done : EditStatus::SaveFailed;
}

EditStatus SetAdminPassword(CDBManager& db, std::u16string_view password) {
    if (password.size() > kMaxPasswordUnits) {
        return EditStatus::TooLong;
    }
    return EditOptions(db, [&](Options& options) {
        SetFieldText(options.password, password);
        return EditStatus::Done;
    });
}

}  // namespace zen
