#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "common/db/db_manager.h"
#include "filter/verdict.h"

namespace zen::filter {

// What the process is: the account it runs as and the program it runs.
struct ProcessIdentity {
    uid_t effectiveUid = 0;
    std::filesystem::path executable;
};

// The Internet time enforcement of one process: the decisions on its sockets and what a
// refusal leaves behind (the user's message, the warning record). Knows nothing of sockets,
// so that it can be driven without preloading.
class InternetPolicy {
public:
    // The open step: an uncontrolled account needs no rules; otherwise the rules database is
    // opened, the process's user made current and the program's exemption looked up.
    explicit InternetPolicy(const ProcessIdentity& identity);
    ~InternetPolicy();
    InternetPolicy(const InternetPolicy&) = delete;
    InternetPolicy& operator=(const InternetPolicy&) = delete;

    // The check of socket creation, connect, listen, accept, datagrams and shutdown.
    Verdict TimetableCheck();
    // The check of stream data, run before TimetableCheck on sends and receives.
    Verdict DailyLimitCheck();

    // The process is exiting: the rules stop following changes before the libraries they use
    // are torn down. A copy inherited through fork has no watcher here and is left alone.
    void StopFollowingForExit();

private:
    enum class Gate { NotEnforced, Refused, RefusedQuietly, Evaluate };

    // Fills `rules` with the rules in force when it answers Evaluate.
    Gate AccessCheckGate(bool report, FastUsersRecord& rules);
    // The gate's answer as a verdict, nothing when the rules are to be evaluated.
    std::optional<Verdict> GateVerdict(FastUsersRecord& rules);
    template <typename Evaluate>
    Verdict Remembered(std::atomic<int64_t>& passedIn, Evaluate evaluate);
    Verdict EvaluateTimetable();
    Verdict EvaluateDailyLimit();
    Verdict ZenCheckTimeLimits();
    Verdict BlockSocket(std::u16string_view description, int reasonTextId, uint32_t code);

    bool uncontrolled_ = false;
    bool exemptProgram_ = false;
    std::u16string userName_;
    std::u16string executable_;
    uint32_t checksum_ = 0;
    std::unique_ptr<CDBManager> db_;  // null when not needed or not openable
    pid_t opener_ = ::getpid();
    std::atomic<int64_t> lastWarning_{0};
    // The second in which each check last passed: a busy socket is checked in full once a
    // second (a rule change or a quarter hour never waits longer than that).
    std::atomic<int64_t> timetablePassed_{-1};
    std::atomic<int64_t> dailyLimitPassed_{-1};
};

}  // namespace zen::filter
