#pragma once

#include "filter/check_points.h"

namespace zen::filter {

// An operation whose checks run before it: a refusal keeps it from happening.
template <typename Call>
auto CheckedBefore(int fd, bool classify, Checks checks, Call&& call) -> decltype(call()) {
    if (!Permit(fd, StateOf(fd, classify), checks)) {
        return -1;
    }
    return call();
}

// An operation whose checks run after it (receives): what came in is not handed over when
// the checks refuse. A socket refused before is refused without the call.
template <typename Call>
auto CheckedAfter(int fd, bool classify, Checks checks, Call&& call) -> decltype(call()) {
    const FdState state = StateOf(fd, classify);
    if (state == FdState::Refused && !Permit(fd, state, checks)) {
        return -1;
    }
    const auto result = call();
    if (result >= 0 && !Permit(fd, state, checks)) {
        return -1;
    }
    return result;
}

}  // namespace zen::filter

// The interposed entry points: C names, the only symbols the library exports.
#define ZEN_HOOK extern "C" __attribute__((visibility("default")))
