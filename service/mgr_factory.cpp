#include "service/mgr_factory.h"

#include <array>

#include "service/managers/device_manager.h"
#include "service/managers/internet_rules_manager.h"
#include "service/managers/process_manager.h"
#include "service/managers/shutdown_manager.h"

namespace zen {
namespace {

// The drives first, then the programs, then the computer time, then the kernel's Internet
// rules: each manager joins here in that order as it is written.
constexpr std::array<ManagerCreation, 4> kCreationOrder{{
    {"#ERROR : device manager allocation error", &CDeviceManager::Create},
    {"#ERROR : Process Manager allocation error", &CProcessManager::Create},
    {"#ERROR : ShutDown Manager allocation error", &CShutdownManager::Create},
    {"#ERROR : Internet rules manager allocation error", &CInternetRulesManager::Create},
}};

}  // namespace

std::span<const ManagerCreation> CMgrFactory::Order() const {
    return kCreationOrder;
}

std::unique_ptr<CManager> CMgrFactory::Create(const ManagerCreation& creation, CDBManager& db,
                                              SystemActions& actions) const {
    try {
        if (auto manager = creation.make(db, actions)) {
            return manager;
        }
    } catch (const std::bad_alloc&) {
    }
    throw ManagerAllocationError(creation.allocationError);
}

}  // namespace zen
