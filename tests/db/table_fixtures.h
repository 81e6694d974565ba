#pragma once

#include <string>
#include <string_view>

#include "common/db/data_file_key.h"
#include "common/db/records.h"
#include "platform/text.h"

namespace zen::test {

// The signature that opens every table file.
inline const std::string kTableSignature("v2.0\x07", 5);

inline FastUsersRecord User(std::u16string_view name, uint32_t id) {
    FastUsersRecord record{};
    SetFieldText(record.name, name);
    record.UserID = id;
    return record;
}

// A record as a table file stores it.
inline std::string Stored(FastUsersRecord record) {
    DataFileKey::Encipher(record);
    return std::string(reinterpret_cast<const char*>(&record), sizeof record);
}

}  // namespace zen::test
