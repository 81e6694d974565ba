#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/shared_file.h"

namespace zen {

class CDBManager;

// Every account may write the data files, so any of them can be deleted, cut short or
// scribbled over. Root keeps its own copy of the last good options file, tables and logs in
// the backup directory (root's alone), and puts a damaged file back from it.
class DataGuard {
public:
    // Removes what a save killed halfway left behind in the data directory.
    static void RemoveLeftoverScratchFiles();

    // Puts back every data file that is missing, short or unreadable: from the last good
    // copy, or, for a log without one, as an empty log. The restored files are remembered
    // until Report. Then copies every good file that changed since its last copy.
    void Tick();

    // Tells the parent about each file restored since the last report: one warning record
    // and one notification e-mail each. Needs an open database.
    void Report(CDBManager& db);

private:
    struct DataFile;
    static const std::vector<DataFile>& Files();
    bool Restore(const DataFile& file);
    void BackUp(const DataFile& file, const FileStamp& stamp, std::span<const std::byte> bytes);

    std::map<std::string, FileStamp> copied_;
    std::vector<std::string> restored_;
};

}  // namespace zen
