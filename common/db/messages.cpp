#include "common/db/messages.h"

#include <time.h>

#include "common/db/db_manager.h"
#include "platform/clock.h"
#include "platform/text.h"

namespace zen {
namespace {

uint32_t MillisecondTick() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(now.tv_sec * 1000 + now.tv_nsec / 1'000'000);
}

}  // namespace

int AddMessage(CDBManager& db, std::u16string_view text, std::optional<uint32_t> tick) {
    CustomMessage message{};
    message.time = Now();
    SetFieldText(message.name, FieldText(db.CurrentRulesCopy().name));
    SetFieldText(message.text, text);
    message.tick = tick.value_or(MillisecondTick());

    const int saved = db.Messages().Update(
        [&](MessagesTable::Set& messages) { return messages.insert(message).second; });
    if (saved == 0) {
        return 0;
    }
    CDBManager::PulseReload();
    return 1;
}

}  // namespace zen
