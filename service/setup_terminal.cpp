#include "service/setup_terminal.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace zen {
namespace {

std::optional<std::string> AskLine(const std::string& prompt) {
    if (::isatty(STDIN_FILENO) == 0) {
        return std::nullopt;
    }
    std::fprintf(stderr, "%s", prompt.c_str());
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer)) {
        return std::nullopt;
    }
    return answer;
}

}  // namespace

bool AskYesNo(std::string_view caption, std::string_view question) {
    const std::optional<std::string> answer =
        AskLine(std::string(caption) + ": " + std::string(question) + " [y/N] ");
    return answer && !answer->empty() && (answer->front() == 'y' || answer->front() == 'Y');
}

std::optional<std::string> AskFileName(std::string_view prompt, std::string_view proposed) {
    std::optional<std::string> answer =
        AskLine(std::string(prompt) + " [" + std::string(proposed) + "]: ");
    if (answer && answer->empty()) {
        answer = std::string(proposed);
    }
    return answer;
}

}  // namespace zen
