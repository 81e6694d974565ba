#include "panel/clock_monitor.h"

#include "common/db/admin_password.h"
#include "common/db/category.h"
#include "platform/text.h"

namespace zen::panel {

bool ClockMonitor::Tick(int64_t now) {
    const bool stepped = previous_ != 0 && (now - previous_ > kAllowedStepSeconds ||
                                            previous_ - now > kAllowedStepSeconds);
    previous_ = now;
    return stepped;
}

bool ClockChangeLocks(const FastUsersRecord& groupRules, const Options& options) {
    if (groupRules.Disable != 0 || !PasswordRequired(FieldText(options.password))) {
        return false;
    }
    for (const Category category : {Category::Power, Category::Internet, Category::Program,
                                    Category::CDROM, Category::Removable}) {
        if (groupRules.*RulesOf(category).mode != 0) {
            return true;
        }
    }
    return false;
}

}  // namespace zen::panel
