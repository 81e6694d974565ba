#include "platform/console_session.h"

#include "platform/console_user.h"
#include "platform/logind.h"
#include "platform/logind_control.h"

namespace zen {

SessionRef ConsoleSession() {
    SessionRef session;
    if (LogindInScope()) {
        session.id = LogindActiveSessionId().value_or("");
    }
    session.user = ConsoleUserName();
    return session;
}

}  // namespace zen
