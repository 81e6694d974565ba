#pragma once

#include <string_view>

namespace zen {

// The administrator password guards every protected action of the panel and of zenctl; both
// decide with these two functions so that they always agree.

// An empty stored password means that none is set: every gate passes without asking.
inline bool PasswordRequired(std::u16string_view stored) {
    return !stored.empty();
}

// The entry opens the gate only when it equals the stored password exactly: UTF-16 units,
// case counts, no trimming.
bool PasswordMatches(std::u16string_view stored, std::u16string_view given);

}  // namespace zen
