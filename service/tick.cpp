#include "service/tick.h"

#include "platform/console_user.h"
#include "platform/text.h"
#include "service/options_gate.h"
#include "service/service_context.h"

namespace zen {

void RunTick(ServiceContext& context) {
    context.db.SetCurrentUserName(Utf8ToUtf16(ConsoleUserName()));
    context.db.SetCurrentUser();
    for (const auto& manager : context.managers) {
        manager->Tick();
    }
    const auto options = OptionsSnapshot(context.db);
    if (options && options->SendDailyReport != 0) {
        context.reportSchedule.Run(context.db);
    }
}

}  // namespace zen
