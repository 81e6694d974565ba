#include <signal.h>

#include <string_view>
#include <vector>

#include "service/verbs.h"

int main(int argc, char** argv) {
    // A client that hangs up must never end the service.
    ::signal(SIGPIPE, SIG_IGN);
    const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    return zen::RunVerbs(arguments);
}
