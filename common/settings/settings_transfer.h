#pragma once

#include <filesystem>
#include <string_view>

#include "common/settings/settings_document.h"

namespace zen {

class CDBManager;

// The rules and shareable options as they are saved now, in table order.
SettingsSnapshot TakeSettingsSnapshot(CDBManager& db);

// Writes the settings file at once: a fresh file in the same folder, renamed over `file`, so
// an existing file is replaced whole or not at all. The file is private to its owner (0600).
// False (errno set) when it could not be written.
bool ExportSettings(CDBManager& db, const std::filesystem::path& file);

enum class ImportStatus {
    Done,
    CannotOpen,      // the file cannot be read
    Unreadable,      // not a settings file, or a value its attribute cannot hold
    NoDocument,      // no "doc" element
    BadVersion,      // "ver" absent or not 2
    MissingSection,  // "Options", "Users" or "Customs" absent
    SaveFailed,      // a table or the options could not be saved; what was saved is undone
};

// Reads and checks the whole file first; only a file that is sound throughout changes the
// options, the users and groups (each replaces the record of its name; others stay) and the
// program entries (each replaces the entry of its key), and every process reloads. On any
// other status nothing is changed.
ImportStatus ImportSettings(CDBManager& db, const std::filesystem::path& file);
ImportStatus ImportSettingsDocument(CDBManager& db, std::string_view bytes);

// What to tell the administrator: the system's two texts for a bad file and a bad version,
// a plain description for the rest; "" for Done.
std::string_view ImportStatusText(ImportStatus status);

}  // namespace zen
