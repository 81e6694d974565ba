#pragma once

#include <sys/types.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zen::test {

using namespace std::chrono_literals;

// The tick of a "-debug" service that a test starts on the real clock.
inline constexpr std::chrono::milliseconds kTestTick{500};

// The real zensvc run as a process of the test, under the test's root (ZEN_ROOT is
// inherited), its standard error kept in a file. `prefix` runs it through another command
// (env, faketime). A "-debug" run without a prefix ticks every kTestTick, unless the
// arguments name a "-tick" of their own. The destructor kills it when it still runs.
class ZensvcProcess {
public:
    explicit ZensvcProcess(const std::vector<std::string>& arguments,
                           const std::vector<std::string>& prefix = {});
    ~ZensvcProcess();
    ZensvcProcess(const ZensvcProcess&) = delete;
    ZensvcProcess& operator=(const ZensvcProcess&) = delete;

    pid_t pid() const { return pid_; }
    std::string Stderr() const;
    // Waits until `count` lines of standard error hold `text`.
    bool WaitForLines(std::string_view text, int count, std::chrono::milliseconds timeout) const;
    // The exit code once the process ended within `timeout`.
    std::optional<int> WaitExit(std::chrono::milliseconds timeout);

private:
    std::filesystem::path stderrFile_;
    pid_t pid_ = -1;
};

int CountLines(std::string_view text, std::string_view needle);

// The pid the detached service's pid file names; 0 when there is none.
pid_t DetachedServicePid();
// Reaps the process (a child, or an orphan the test adopted as subreaper) once it ended
// within `timeout`: its exit code, or 128 + the signal that ended it.
std::optional<int> ReapExit(pid_t pid, std::chrono::milliseconds timeout = 5s);

// Waits until something listens on the socket at `path`.
bool WaitForListener(const std::filesystem::path& path, std::chrono::milliseconds timeout);

// Connects to the service's time socket, writing `written` first when not empty, and reads
// until the service hangs up: every byte it sent.
std::string AskTheClock(std::string_view written = {});

// The time record without its weekday, comparable in time order.
std::array<uint16_t, 7> ClockMoment(std::string_view record);

// Makes the rules database under the current root, as the set-up does.
void CreateDatabase();

// The name of the group of a user in the stored users table; "" when the user is not there.
std::u16string StoredGroupOf(std::u16string_view user);

}  // namespace zen::test
