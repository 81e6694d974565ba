#pragma once

#include "common/db/name_compare.h"
#include "common/db/records.h"
#include "platform/text.h"

namespace zen {

// The order of each table's set; records equal under it are stored once.
template <typename T>
struct RecordLess;

template <>
struct RecordLess<FastUsersRecord> {
    bool operator()(const FastUsersRecord& a, const FastUsersRecord& b) const {
        return NameCompare(FieldText(a.name), FieldText(b.name)) < 0;
    }
};

template <>
struct RecordLess<FastCustomRecord> {
    bool operator()(const FastCustomRecord& a, const FastCustomRecord& b) const {
        if (a.Mode != b.Mode) {
            return a.Mode < b.Mode;
        }
        if (const int user = NameCompare(FieldText(a.UserID), FieldText(b.UserID)); user != 0) {
            return user < 0;
        }
        if (const int path = NameCompare(FieldText(a.szVal), FieldText(b.szVal)); path != 0) {
            return path < 0;
        }
        return a.dwVal < b.dwVal;
    }
};

template <>
struct RecordLess<CustomMessage> {
    bool operator()(const CustomMessage& a, const CustomMessage& b) const {
        if (const int name = NameCompare(FieldText(a.name), FieldText(b.name)); name != 0) {
            return name < 0;
        }
        const auto aTime = static_cast<uint32_t>(a.time);
        const auto bTime = static_cast<uint32_t>(b.time);
        if (aTime != bTime) {
            return aTime < bTime;
        }
        if (const int text = NameCompare(FieldText(a.text), FieldText(b.text)); text != 0) {
            return text < 0;
        }
        return a.tick < b.tick;
    }
};

}  // namespace zen
