#pragma once

#include <sys/types.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace zen::test {

// python3-dbusmock's logind on a private system bus (see logind_mock.py). While it lives,
// DBUS_SYSTEM_BUS_ADDRESS names that bus, for this process and the processes it starts.
class LogindMock {
public:
    explicit LogindMock(const std::filesystem::path& folder);
    ~LogindMock();
    LogindMock(const LogindMock&) = delete;
    LogindMock& operator=(const LogindMock&) = delete;

    // A new active session of seat0, announced as logind does (SessionNew).
    void AddSession(const std::string& id, unsigned uid, const std::string& user);
    // The same, as the login screen's session (class greeter).
    void AddGreeterSession(const std::string& id, unsigned uid, const std::string& user);
    // Makes an existing session the active one of seat0.
    void Activate(const std::string& id);
    // The methods called on logind's manager so far, oldest first: "METHOD ARGUMENTS...".
    std::vector<std::string> Calls();

private:
    // Sends a command; the lines the mock answers before its "OK".
    std::vector<std::string> Command(const std::string& line);

    pid_t pid_ = -1;
    FILE* toMock_ = nullptr;
    FILE* fromMock_ = nullptr;
};

}  // namespace zen::test
