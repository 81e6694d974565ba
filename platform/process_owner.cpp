#include "platform/process_owner.h"

#include <fstream>
#include <sstream>

#include "platform/accounts.h"

namespace zen {

std::optional<uid_t> ProcessRealUid(pid_t pid) {
    // "State:" comes before "Uid:" in the file.
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("State:")) {
            const std::size_t letter = line.find_first_not_of(" \t", 6);
            if (letter == std::string::npos || line[letter] == 'Z' || line[letter] == 'X') {
                return std::nullopt;
            }
        } else if (line.starts_with("Uid:")) {
            std::istringstream fields(line.substr(4));
            uid_t uid = 0;
            if (fields >> uid) {
                return uid;
            }
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<std::string> ProcessOwner(pid_t pid) {
    const std::optional<uid_t> uid = ProcessRealUid(pid);
    return uid ? LoginNameOf(*uid) : std::nullopt;
}

}  // namespace zen
