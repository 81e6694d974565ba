#include "platform/root_choice.h"

#include <unistd.h>

#include <cstdlib>

namespace zen {

bool InstalledForReal() {
    return ::access("/etc/zentimo/zentimo.conf", F_OK) == 0;
}

const char* ChosenRoot() {
    if (InstalledForReal()) {
        return "/";
    }
    const char* root = std::getenv("ZEN_ROOT");
    return root != nullptr && root[0] == '/' ? root : "/";
}

}  // namespace zen
