#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace zen {

class CDBManager;

// Leaves a message for the control panels of the current group: reads the messages table as
// saved, inserts the message, saves and pulses the reload event, all under the table's mutex so
// that another process's message is never lost. `tick` overrides the millisecond tick stored
// with it (the network filter stores the low 32 bits of the time instead). 1 on success.
int AddMessage(CDBManager& db, std::u16string_view text, std::optional<uint32_t> tick = {});

}  // namespace zen
