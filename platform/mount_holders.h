#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace zen {

// A process that keeps a mounted file system busy.
struct MountHolder {
    pid_t pid = 0;
    uid_t uid = 0;
    std::string program;  // the file name of its executable
};

// The processes whose working directory or root lies on the file system `device`, or that
// hold a file of it open or mapped, as /proc shows them; unmounting it fails while one runs.
std::vector<MountHolder> MountHolders(dev_t device);

}  // namespace zen
