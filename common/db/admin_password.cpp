#include "common/db/admin_password.h"

namespace zen {

bool PasswordMatches(std::u16string_view stored, std::u16string_view given) {
    return given == stored;
}

}  // namespace zen
