#include "common/db/py_table.h"

#include "common/db/error_log.h"
#include "platform/root.h"

namespace zen {

std::filesystem::path iPYTable::FilePath() const {
    return paths::DataDir() / (name_ + ".dat");
}

int iPYTable::OpenMutex(bool creator) {
    if (!mutex_.Open(name_)) {
        ShowSysError(0, "CreateMutex");
        LogError("Failed to create the mutex, unable to open the %s", name_.c_str());
        return 0;
    }
    create_ = creator ? 1 : 0;
    open_ = 1;
    return 1;
}

void iPYTable::CloseMutex() {
    mutex_.Close();
    open_ = 0;
}

}  // namespace zen
