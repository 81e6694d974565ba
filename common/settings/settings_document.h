#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/db/records.h"

namespace zen {

// The settings file: one XML element "doc" (ver 2) with the shareable options, every user and
// group and every program entry, all data in attributes. Passwords, the last report time, the
// device state, the counters and the logs are never in it.

inline constexpr int kSettingsVersion = 2;
// The texts of the two failures an administrator is shown.
inline constexpr std::string_view kSettingsBadFileText =
    "Error: occured while loading file. Reason: bad file format or file is corrupted ";
inline constexpr std::string_view kSettingsBadVersionText = "Invalid file version";

// What an export writes.
struct SettingsSnapshot {
    Options options{};
    std::vector<FastUsersRecord> users;     // in table order
    std::vector<FastCustomRecord> customs;  // in table order
};

// The document's bytes (UTF-8, no declaration, no white space between elements).
std::string WriteSettingsDocument(const SettingsSnapshot& snapshot);

enum class SettingsReadStatus {
    Done,
    Unreadable,      // not XML, or a value that is not what its attribute holds
    NoDocument,      // no "doc" element
    BadVersion,      // "ver" absent or not 2
    MissingSection,  // "Options", "Users" or "Customs" absent
};

// One options attribute found in a file; absent attributes are not listed, so they keep the
// value the system has.
struct ImportedOption {
    std::size_t field;  // index into the options attributes
    uint32_t number;
    std::u16string text;
};

// A whole document, read and checked before anything of the system is changed.
struct ImportedSettings {
    std::vector<ImportedOption> options;
    std::vector<FastUsersRecord> users;     // each replaces the record of its name
    std::vector<FastCustomRecord> customs;  // each replaces the entry of its key

    // Sets the options the file holds.
    void ApplyOptions(Options& options) const;
};

// Reads and checks the whole document. On anything but Done, `settings` is left empty.
SettingsReadStatus ReadSettingsDocument(std::string_view bytes, ImportedSettings& settings);

}  // namespace zen
