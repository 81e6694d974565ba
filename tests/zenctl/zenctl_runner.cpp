#include "zenctl/zenctl_runner.h"

#include "platform/root.h"
#include "support/temp_root.h"

namespace zen::test {

ZenctlResult Zenctl(const std::vector<std::string>& args, const std::vector<std::string>& prefix) {
    std::vector<std::string> words = prefix;
    words.push_back(ZENCTL_PATH);
    words.insert(words.end(), args.begin(), args.end());
    return RunCommand(std::move(words));
}

std::map<std::filesystem::path, std::string> DataFileBytes() {
    std::map<std::filesystem::path, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(paths::DataDir())) {
        files[entry.path()] = ReadAll(entry.path());
    }
    return files;
}

}  // namespace zen::test
