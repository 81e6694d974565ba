#include "platform/console_session.h"

#include "platform/console_user.h"
#include "platform/logind.h"
#include "platform/logind_control.h"

namespace zen {

SessionRef ConsoleSession() {
    SessionRef session;
    session.user = ConsoleUserName();
    // Nobody at the console: the active session, if any, is the login screen's, which a logoff
    // must leave alone.
    if (!session.user.empty() && LogindInScope()) {
        session.id = LogindActiveSessionId().value_or("");
    }
    return session;
}

}  // namespace zen
