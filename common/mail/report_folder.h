#pragma once

#include <filesystem>
#include <optional>

namespace zen {

// Where the account that builds the daily report keeps its scratch text and archive: for root
// <root>/var/cache/zentimo, for other accounts $XDG_RUNTIME_DIR/zentimo or else
// $HOME/.cache/zentimo. Never a shared temporary directory, where another account could
// plant a link or read the logs before they are enciphered.
std::filesystem::path ReportFolderLocation();

// Makes the folder (mode 0700) where it is missing and proves it private: a real directory,
// not a link, owned by this account, mode exactly 0700. The folder, or nothing after an
// error-log line that says why.
std::optional<std::filesystem::path> PrivateReportFolder();

}  // namespace zen
