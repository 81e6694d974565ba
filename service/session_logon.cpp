#include "service/session_logon.h"

#include "common/db/db_manager.h"
#include "common/db/rules_model.h"
#include "platform/console_user.h"
#include "platform/text.h"

namespace zen {

void SessionLogon(CDBManager& db, std::string_view sessionId) {
    const std::string name = SessionUserName(sessionId);
    if (name.empty() || !db.IsInitialised()) {
        return;
    }
    const std::u16string user = Utf8ToUtf16(name);
    if (!FindUser(db.Users(), user)) {
        db.SetCurrentUserName(user);
    }
    db.SetCurrentUser();
}

}  // namespace zen
