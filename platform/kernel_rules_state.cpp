#include "platform/kernel_rules_state.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

#include "platform/root.h"
#include "platform/unique_fd.h"

namespace zen {
namespace {

std::atomic<bool> kernelCounting{false};

std::filesystem::path StateFile() {
    return paths::RunDir() / "internet-rules";
}

}  // namespace

bool KernelCountsInternetMinutes() {
    return kernelCounting.load(std::memory_order_relaxed);
}

void SetKernelCountsInternetMinutes(bool counting) {
    kernelCounting.store(counting, std::memory_order_relaxed);
}

// kernel on|unavailable
// <uid> forbidden|allowed      one line per controlled account
bool WriteKernelRulesState(const KernelRulesState& state) {
    std::ostringstream text;
    text << "kernel " << (state.available ? "on" : "unavailable") << "\n";
    for (const auto& [uid, forbidden] : state.forbidden) {
        text << uid << (forbidden ? " forbidden" : " allowed") << "\n";
    }
    // Readers see the old file or the new one, never half of one.
    const std::filesystem::path file = StateFile();
    std::filesystem::path scratch = file;
    scratch += ".new";
    // The run folder may be open to every account: the scratch name is made anew, never
    // followed.
    ::unlink(scratch.c_str());
    const UniqueFd out(
        ::open(scratch.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    const std::string bytes = text.str();
    if (!out ||
        ::write(out.get(), bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        return false;
    }
    std::error_code error;
    std::filesystem::rename(scratch, file, error);
    return !error;
}

std::optional<KernelRulesState> ReadKernelRulesState() {
    std::ifstream in(StateFile());
    std::string word, value;
    if (!(in >> word >> value) || word != "kernel") {
        return std::nullopt;
    }
    KernelRulesState state;
    state.available = value == "on";
    uid_t uid = 0;
    while (in >> uid >> value) {
        state.forbidden[uid] = value == "forbidden";
    }
    return state;
}

void RemoveKernelRulesState() {
    std::error_code ignored;
    std::filesystem::remove(StateFile(), ignored);
}

}  // namespace zen
