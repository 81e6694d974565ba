#include "platform/process_owner.h"

#include <fstream>
#include <sstream>

#include "platform/accounts.h"

namespace zen {

std::optional<std::string> ProcessOwner(pid_t pid) {
    // The real uid: a set-uid program started by a child still counts as the child's.
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("Uid:")) {
            std::istringstream fields(line.substr(4));
            uid_t uid = 0;
            if (fields >> uid) {
                return LoginNameOf(uid);
            }
            return std::nullopt;
        }
    }
    return std::nullopt;
}

}  // namespace zen
