#pragma once

#include <sys/types.h>

#include <span>
#include <string>
#include <vector>

#include "common/db/records.h"
#include "platform/accounts.h"

namespace zen {

class CDBManager;

// An account whose Internet the rules control: its group does not have filtering disabled.
// An account the users table does not know yet is under "Guests", as it will be at its first
// logon or socket.
struct ControlledAccount {
    uid_t uid = 0;
    std::u16string user;
    FastUsersRecord group{};
};

std::vector<ControlledAccount> ControlledAccounts(CDBManager& db,
                                                  std::span<const PersonAccount> persons);

// Whether the account's Internet is forbidden now: outside its group's Internet timetable, past
// today's Internet limit, or while the clock lock holds. Decided from this process's clock and
// the system's time zone.
bool InternetForbiddenNow(CDBManager& db, const ControlledAccount& account, bool clockLock);

}  // namespace zen
