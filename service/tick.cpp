#include "service/tick.h"

#include <cstdio>

#include "common/db/usage_state.h"
#include "platform/console_user.h"
#include "platform/text.h"
#include "service/options_gate.h"
#include "service/service_context.h"
#include "service/work.h"

namespace zen {

void RunTick(ServiceContext& context) {
    context.dataGuard.Tick();
    if (!OpenDatabase(context)) {
        return;
    }
    context.db.FollowSharedFiles();
    RefreshUsageGeneration();
    context.dataGuard.Report(context.db);
    const std::string consoleUser = ConsoleUserName();
    context.db.SetCurrentUserName(Utf8ToUtf16(consoleUser));
    context.db.SetCurrentUser();
    if (context.debugMode) {
        // A debug run shows each tick on the terminal.
        std::fprintf(stderr, "zensvc: tick: console user \"%s\", rules of \"%s\"\n",
                     consoleUser.c_str(), Utf16ToUtf8(context.db.CurrentGroupName()).c_str());
    }
    for (const auto& manager : context.managers) {
        manager->Tick();
    }
    const auto options = OptionsSnapshot(context.db);
    if (options && options->SendDailyReport != 0) {
        context.reportSchedule.Run(context.db);
    }
}

}  // namespace zen
