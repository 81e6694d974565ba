#include "service/internet_accounts.h"

#include "common/db/access.h"
#include "common/db/db_manager.h"
#include "common/db/rules_model.h"
#include "platform/text.h"

namespace zen {

std::vector<ControlledAccount> ControlledAccounts(CDBManager& db,
                                                  std::span<const PersonAccount> persons) {
    UsersTable& users = db.Users();
    const std::optional<FastUsersRecord> guests = FindGroupById(users, kGuestsId);
    std::vector<ControlledAccount> controlled;
    controlled.reserve(persons.size());
    for (const PersonAccount& person : persons) {
        std::u16string user = Utf8ToUtf16(person.name);
        // A name that is a group's is no user of one: it has no rules.
        const std::optional<FastUsersRecord> group =
            FindUser(users, user) ? GroupOf(users, user, nullptr) : guests;
        if (group && group->Disable == 0) {
            controlled.push_back({person.uid, std::move(user), *group});
        }
    }
    return controlled;
}

bool InternetForbiddenNow(CDBManager& db, const ControlledAccount& account, bool clockLock) {
    return !CategoryAllowedNow(account.group, clockLock, Category::Internet) ||
           DailyLimitUsedUp(db.StateMutex(), account.group, account.user, Category::Internet);
}

}  // namespace zen
