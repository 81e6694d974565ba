#include "platform/process_account.h"

#include "platform/accounts.h"

namespace zen {

ProcessAccount AccountOfUid(uid_t uid) {
    return {LoginNameOf(uid).value_or(""), uid == 0 || IsSystemAccount(uid)};
}

}  // namespace zen
