#include "private_network.h"

#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include "platform/internet_table.h"
#include "support/temp_root.h"

namespace zen::test {
namespace {

using namespace std::chrono_literals;

constexpr char kPython[] = "/usr/bin/python3";

std::string ServerScript() {
    return std::string(KERNEL_RULES_TEST_DIR) + "/outside_server.py";
}

}  // namespace

int RunCommand(const std::vector<std::string>& command) {
    Program program(command, Program::Options{});
    program.ReadLines(10s);
    return program.Wait(10s).value_or(-1);
}

std::optional<std::string> PrivateNetwork::Enter(std::unique_ptr<PrivateNetwork>& network) {
    if (::unshare(CLONE_NEWNET) != 0) {
        return std::string("unshare(CLONE_NEWNET) failed");
    }
    network = std::make_unique<PrivateNetwork>();
    struct stat own {};
    if (::stat("/proc/self/ns/net", &own) != 0) {
        return std::string("no /proc/self/ns/net");
    }
    WriteAll(KernelRulesNamespaceFile(), std::to_string(own.st_ino));
    if (RunCommand({"/usr/sbin/ip", "link", "set", "lo", "up"}) != 0) {
        return std::string("no loopback in the namespace");
    }
    network->outside_ =
        std::make_unique<Program>(std::vector<std::string>{"/usr/bin/unshare", "-n", kPython,
                                                           ServerScript(), kServicePort, "dns"},
                                  Program::Options{});
    const std::optional<std::string> ready = network->outside_->ReadLine(10s);
    if (!ready || ready->rfind("ready ", 0) != 0) {
        return std::string("the outside server did not start");
    }
    const std::string serverPid = ready->substr(6);
    const std::vector<std::vector<std::string>> steps{
        {"/usr/sbin/ip", "link", "add", "zt0", "type", "veth", "peer", "name", "zt1", "netns",
         serverPid},
        {"/usr/sbin/ip", "addr", "add", "10.224.0.1/24", "dev", "zt0"},
        {"/usr/sbin/ip", "-6", "addr", "add", "fd24::1/64", "dev", "zt0", "nodad"},
        {"/usr/sbin/ip", "link", "set", "zt0", "up"},
        {"/usr/bin/nsenter", "-t", serverPid, "-n", "ip", "link", "set", "lo", "up"},
        {"/usr/bin/nsenter", "-t", serverPid, "-n", "ip", "addr", "add", "10.224.0.2/24", "dev",
         "zt1"},
        {"/usr/bin/nsenter", "-t", serverPid, "-n", "ip", "-6", "addr", "add", "fd24::2/64", "dev",
         "zt1", "nodad"},
        {"/usr/bin/nsenter", "-t", serverPid, "-n", "ip", "link", "set", "zt1", "up"},
    };
    for (const auto& step : steps) {
        if (RunCommand(step) != 0) {
            return "failed: " + step[0] + " " + step[1] + " " + step[2] + " " + step[3];
        }
    }
    network->loopback_ = std::make_unique<Program>(
        std::vector<std::string>{kPython, ServerScript(), kLoopbackPort}, Program::Options{});
    if (!network->loopback_->ReadLine(10s)) {
        return std::string("the loopback server did not start");
    }
    return std::nullopt;
}

}  // namespace zen::test
