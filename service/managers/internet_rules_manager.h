#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>

#include "platform/internet_table.h"
#include "platform/kernel_rules_state.h"
#include "platform/system_actions.h"
#include "service/internet_accounts.h"
#include "service/manager.h"

namespace zen {

class CDBManager;

// Keeps the kernel's Internet rules: at every tick (and so at every rules reload the tick
// takes in) each controlled account's Internet is decided and the table replaced when the
// decision changed; the table's counters count the Internet minutes of every program, seen
// by the filter or not. The table outlives the service: a stop or a crash leaves it in force.
class CInternetRulesManager final : public CManager {
public:
    static constexpr int kKind = 1006;

    explicit CInternetRulesManager(CDBManager& db);

    // Puts the table back before the first tick: a restart opens no window.
    int Start() override;
    int Stop() override { return 1; }
    int ReleaseAll() override;
    int GetKind() const override { return kKind; }
    int GetPeriod() const override { return kManagerPeriodMs; }
    void Tick() override;

    static std::unique_ptr<CManager> Create(CDBManager& db, SystemActions& actions);

private:
    void Apply(bool countMinutes);
    void CountMinutes(std::span<const ControlledAccount> accounts);
    void SayUnavailable();
    void Publish(const KernelRulesState& state);

    CDBManager& db_;
    const bool enabled_;  // never the machine's own table under a test root
    InternetTable table_;
    std::map<uid_t, uint64_t> packets_;  // each account's counter as last read
    bool unavailableSaid_ = false;
    std::optional<KernelRulesState> published_;
};

}  // namespace zen
