#include "service/trusted_library.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "service/setup_preload.h"
#include "support/temp_root.h"

namespace zen::test {

TrustedLibrary::TrustedLibrary() {
    if (::geteuid() != 0) {
        unusable_ = "only root can own a library that may be preloaded";
        return;
    }
    // /run is root's alone on every machine, wherever the build tree lies (a clone in /tmp,
    // whose sticky folder others can write, cannot hold a trusted library).
    std::string pattern = "/run/zentimo-test-filter.XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        unusable_ = "cannot make a folder in /run";
        return;
    }
    folder_ = pattern;
    library_ = folder_ / "lib" / "libzensp.so";
    ::chmod(folder_.c_str(), 0755);
    ::mkdir(library_.parent_path().c_str(), 0755);
    WriteAll(library_, "");
    ::chmod(library_.c_str(), 0644);
    if (std::optional<std::string> refusal = PreloadRefusal(library_)) {
        unusable_ = "/run cannot hold a trusted library: " + *refusal;
    }
}

TrustedLibrary::~TrustedLibrary() {
    if (!folder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
}

}  // namespace zen::test
