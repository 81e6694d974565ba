#pragma once

#include <memory>
#include <new>
#include <span>
#include <string_view>

#include "service/manager.h"

namespace zen {

class CDBManager;
class SystemActions;

// What a manager's creation raises when it fails: the standard allocation exception, with
// the manager's own text.
class ManagerAllocationError : public std::bad_alloc {
public:
    explicit ManagerAllocationError(const char* text) : text_(text) {}
    const char* what() const noexcept override { return text_; }

private:
    const char* text_;
};

// One manager's place in the creation order.
struct ManagerCreation {
    const char* allocationError;  // e.g. "#ERROR : device manager allocation error"
    std::unique_ptr<CManager> (*make)(CDBManager& db, SystemActions& actions);
};

// Creates the service's managers in their fixed order: CDeviceManager, CProcessManager,
// CShutdownManager, CInternetRulesManager. The tick runs them in the same order.
class CMgrFactory {
public:
    virtual ~CMgrFactory() = default;

    std::span<const ManagerCreation> Order() const;
    // Creates the manager of one place; a failure raises ManagerAllocationError.
    std::unique_ptr<CManager> Create(const ManagerCreation& creation, CDBManager& db,
                                     SystemActions& actions) const;
};

}  // namespace zen
