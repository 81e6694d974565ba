#include "service/message_box.h"

#include <cstdio>
#include <string>

#include "common/db/error_log.h"
#include "service/service_strings.h"

namespace zen {

void ShowServiceMessage(int stringId, std::string_view caption) {
    const std::string text(ServiceString(stringId));
    std::fprintf(stderr, "%.*s: %s\n", static_cast<int>(caption.size()), caption.data(),
                 text.c_str());
    LogError("%s", text.c_str());
}

}  // namespace zen
