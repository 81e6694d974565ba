#include "platform/environment.h"

#include <atomic>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <string>

#include "platform/drive_mount.h"
#include "platform/root_choice.h"

namespace zen {
namespace fs = std::filesystem;
namespace {

// A test's logind: DBUS_SYSTEM_BUS_ADDRESS names one socket below the root, without escapes,
// so a test or demo root that names the machine's own bus still acts on nothing.
bool BusBelowRoot(const char* address, const fs::path& root) {
    constexpr std::string_view kUnixPath = "unix:path=";
    if (address == nullptr || !std::string_view(address).starts_with(kUnixPath)) {
        return false;
    }
    const std::string_view rest = std::string_view(address).substr(kUnixPath.size());
    if (rest.find_first_of(";%") != std::string_view::npos) {
        return false;
    }
    std::error_code socketError;
    std::error_code rootError;
    const auto socket = fs::canonical(rest.substr(0, rest.find(',')), socketError);
    const auto canonicalRoot = fs::canonical(root, rootError);
    if (socketError || rootError) {
        return false;
    }
    return PathBelow(socket, canonicalRoot);
}

// Environments are kept for the life of the process, so a reference to one never dangles.
struct Installed {
    std::mutex guard;
    std::deque<Environment> kept;
    std::atomic<const Environment*> current{nullptr};
};

Installed& TheInstalled() {
    static Installed installed;
    return installed;
}

}  // namespace

Environment Environment::ForRoot(const fs::path& root) {
    Environment environment;
    environment.root = root;
    environment.onMachine = root == fs::path("/");
    const char* bus = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    environment.logind = environment.onMachine || bus != nullptr;
    if (!environment.onMachine) {
        environment.accountsFile = root / "etc/passwd";
        environment.seatFile = root / "run/zentimo/seat";
        environment.privateLogind = BusBelowRoot(bus, root);
        environment.actions = ActionsBackend::Recorded;
        environment.mountScope = root;
        if (const char* library = std::getenv("ZEN_FILTER_LIBRARY");
            library != nullptr && library[0] == '/') {
            environment.filterLibrary = library;
        }
    }
    return environment;
}

Environment Environment::FromProcess(std::span<const std::string_view> arguments) {
    Environment environment = ForRoot(ChosenRoot());
    for (std::size_t i = 0; i + 1 < arguments.size(); ++i) {
        if (arguments[i] != "-tick") {
            continue;
        }
        // Only a test may hurry the service: on the machine the tick stays as it is.
        const long milliseconds = std::strtol(std::string(arguments[i + 1]).c_str(), nullptr, 10);
        if (!environment.onMachine && milliseconds >= 100 && milliseconds <= 5000) {
            environment.tickPeriod = std::chrono::milliseconds(milliseconds);
        }
    }
    return environment;
}

const Environment& Env() {
    Installed& installed = TheInstalled();
    if (const Environment* current = installed.current.load(std::memory_order_acquire)) {
        return *current;
    }
    std::lock_guard lock(installed.guard);
    if (installed.current.load() == nullptr) {
        installed.kept.push_back(Environment::FromProcess());
        installed.current.store(&installed.kept.back(), std::memory_order_release);
    }
    return *installed.current.load();
}

void SetEnvironment(Environment environment) {
    Installed& installed = TheInstalled();
    std::lock_guard lock(installed.guard);
    installed.kept.push_back(std::move(environment));
    installed.current.store(&installed.kept.back(), std::memory_order_release);
}

}  // namespace zen
