#include "platform/root_choice.h"

#include <unistd.h>

#include <cstdlib>

namespace zen {

const char* ChosenRoot() {
    if (::access("/etc/zentimo/zentimo.conf", F_OK) == 0) {
        return "/";
    }
    const char* root = std::getenv("ZEN_ROOT");
    return root != nullptr && root[0] == '/' ? root : "/";
}

}  // namespace zen
