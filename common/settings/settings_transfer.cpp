#include "common/settings/settings_transfer.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <span>
#include <string>

#include "common/db/db_manager.h"
#include "common/db/rules_editor.h"
#include "platform/shared_file.h"

namespace zen {
namespace {

// Far beyond any real file (a program entry takes about 1.5 KB), and small enough to read
// whole.
constexpr std::streamsize kLargestSettingsFile = 64 << 20;

template <typename Table>
auto RecordsOf(Table& table) {
    table.ReloadIfChanged();
    return table.WithRecords([](const typename Table::Set& records) {
        return std::vector<typename Table::Set::value_type>(records.begin(), records.end());
    });
}

std::optional<std::string> ReadWhole(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string bytes;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (static_cast<std::streamsize>(bytes.size()) > kLargestSettingsFile) {
            return std::nullopt;
        }
    }
    return in.bad() ? std::nullopt : std::optional(std::move(bytes));
}

// Replaces the records equal to the imported ones (each table's own key) and saves; on a
// failed save the records this process holds are put back. `before` receives the old set.
template <typename Table, typename Record>
bool ReplaceRecords(Table& table, const std::vector<Record>& imported,
                    typename Table::Set& before) {
    const int saved = table.Update([&](typename Table::Set& records) {
        before = records;
        for (const Record& record : imported) {
            records.erase(record);
            records.insert(record);
        }
        return true;
    });
    if (saved == 0) {
        table.WithRecords([&](typename Table::Set& records) { records = before; });
    }
    return saved != 0;
}

template <typename Table>
void RestoreRecords(Table& table, const typename Table::Set& before) {
    table.Update([&](typename Table::Set& records) {
        records = before;
        return true;
    });
}

ImportStatus Apply(CDBManager& db, const ImportedSettings& settings) {
    Options optionsBefore{};
    const EditStatus options = EditOptions(db, [&](Options& edited) {
        optionsBefore = edited;
        settings.ApplyOptions(edited);
        return EditStatus::Done;
    });
    if (options != EditStatus::Done) {
        return ImportStatus::SaveFailed;
    }
    const auto restoreOptions = [&] {
        EditOptions(db, [&](Options& edited) {
            edited = optionsBefore;
            return EditStatus::Done;
        });
    };
    UsersTable::Set usersBefore;
    if (!ReplaceRecords(db.Users(), settings.users, usersBefore)) {
        restoreOptions();
        return ImportStatus::SaveFailed;
    }
    CustomsTable::Set customsBefore;
    if (!ReplaceRecords(db.Customs(), settings.customs, customsBefore)) {
        RestoreRecords(db.Users(), usersBefore);
        restoreOptions();
        CDBManager::PulseReload();
        return ImportStatus::SaveFailed;
    }
    CDBManager::PulseReload();
    db.SetCurrentUser();
    return ImportStatus::Done;
}

}  // namespace

SettingsSnapshot TakeSettingsSnapshot(CDBManager& db) {
    return {db.OptionsCopy(), RecordsOf(db.Users()), RecordsOf(db.Customs())};
}

bool ExportSettings(CDBManager& db, const std::filesystem::path& file) {
    const std::string document = WriteSettingsDocument(TakeSettingsSnapshot(db));
    return ReplaceFile(file, std::as_bytes(std::span(document)), 0600);
}

ImportStatus ImportSettings(CDBManager& db, const std::filesystem::path& file) {
    const std::optional<std::string> bytes = ReadWhole(file);
    return bytes ? ImportSettingsDocument(db, *bytes) : ImportStatus::CannotOpen;
}

ImportStatus ImportSettingsDocument(CDBManager& db, std::string_view bytes) {
    ImportedSettings settings;
    switch (ReadSettingsDocument(bytes, settings)) {
        case SettingsReadStatus::Done:
            return Apply(db, settings);
        case SettingsReadStatus::Unreadable:
            return ImportStatus::Unreadable;
        case SettingsReadStatus::NoDocument:
            return ImportStatus::NoDocument;
        case SettingsReadStatus::BadVersion:
            return ImportStatus::BadVersion;
        case SettingsReadStatus::MissingSection:
            return ImportStatus::MissingSection;
    }
    return ImportStatus::Unreadable;
}

std::string_view ImportStatusText(ImportStatus status) {
    switch (status) {
        case ImportStatus::Done:
            return "";
        case ImportStatus::CannotOpen:
            return "the file cannot be read";
        case ImportStatus::Unreadable:
            return kSettingsBadFileText;
        case ImportStatus::NoDocument:
            return "the file holds no settings document";
        case ImportStatus::BadVersion:
            return kSettingsBadVersionText;
        case ImportStatus::MissingSection:
            return "the file lacks its options, users or program entries";
        case ImportStatus::SaveFailed:
            return "the settings could not be saved; nothing was changed";
    }
    return "";
}

}  // namespace zen
