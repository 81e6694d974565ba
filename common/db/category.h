#pragma once

#include <cstdint>

#include "common/db/records.h"

namespace zen {

// The functions the rules control.
enum class Category { Power, Internet, Program, CDROM, Removable };

// Where a category's rules sit in a users record, and the seed of its usage counters.
struct CategoryRules {
    uint32_t FastUsersRecord::*mode;  // 0 none, 1 own timetable, other: the common one
    TimetableSlot slot;               // own timetable and limit block
    uint32_t seed;
};

constexpr CategoryRules RulesOf(Category category) {
    switch (category) {
        case Category::Power:
            return {&FastUsersRecord::Power, kPowerSlot, 9231};
        case Category::Internet:
            return {&FastUsersRecord::Internet, kInternetSlot, 9321};
        case Category::Program:
            return {&FastUsersRecord::Program, kProgramSlot, 9673};
        case Category::CDROM:
            return {&FastUsersRecord::CDROM, kCdromSlot, 9935};
        case Category::Removable:
            break;
    }
    return {&FastUsersRecord::Removable, kRemovableSlot, 9077};
}

}  // namespace zen
