// Program entries: Internet exceptions (Mode 1) and controlled programs (Mode 2).
#include <filesystem>
#include <ostream>
#include <vector>

#include "common/db/checksum.h"
#include "platform/text.h"
#include "tools/zenctl/commands.h"
#include "tools/zenctl/record_view.h"

namespace zen::ctl {
namespace {

namespace fs = std::filesystem;

uint16_t ParseKind(const std::string& word) {
    if (word == "exception" || word == "exceptions" || word == "trusted") {
        return 1;
    }
    if (word == "controlled") {
        return 2;
    }
    throw CommandError(kExitUsage,
                       "kind \"" + word + "\" is not valid; use exception or controlled");
}

// Running programs are seen by their resolved path, so an existing file is stored that way.
fs::path ProgramPath(const std::string& word) {
    std::error_code error;
    const fs::path absolute = fs::absolute(word, error).lexically_normal();
    const fs::path canonical = fs::canonical(absolute, error);
    return error ? absolute : canonical;
}

uint32_t ParseCheckSum(const std::string& text) {
    const bool hex = text.size() > 2 && text.size() <= 10 && text[0] == '0' &&
                     (text[1] == 'x' || text[1] == 'X') &&
                     text.find_first_not_of("0123456789abcdefABCDEF", 2) == std::string::npos;
    if (!hex) {
        throw CommandError(kExitUsage, "checksum \"" + text + "\" is not valid; use 0xXXXXXXXX");
    }
    return static_cast<uint32_t>(std::stoul(text.substr(2), nullptr, 16));
}

void AddProgram(Session& session, uint16_t mode, const Words& words) {
    const std::u16string owner = Text16(words[2]);
    const fs::path path = ProgramPath(words[3]);
    std::error_code error;
    if (!fs::is_regular_file(path, error)) {
        throw CommandError(kExitRefused, "\"" + words[3] + "\": file is not found");
    }
    const uint32_t checksum = CheckSum(path);
    if (checksum == kCheckSumFailed) {
        throw CommandError(kExitRefused, "\"" + words[3] + "\": the file cannot be read");
    }
    const EditStatus status =
        AddProgramEntry(session.Admin(), mode, owner, Text16(path.string()), checksum);
    session.Finish(
        status, status == EditStatus::TooLong ? words[3] : words[2],
        path.string() + " (CheckSum " + CheckSumText(checksum) + ") added for " + words[2]);
}

void RemoveProgram(Session& session, uint16_t mode, const Words& words) {
    const std::u16string owner = Text16(words[2]);
    const fs::path path = ProgramPath(words[3]);
    const auto& checksumText = session.invocation().checksum;
    const std::optional<uint32_t> checksum =
        checksumText ? std::optional(ParseCheckSum(*checksumText)) : std::nullopt;
    std::size_t removed = 0;
    const EditStatus status = RemoveProgramEntries(session.Admin(), mode, owner,
                                                   Text16(path.string()), checksum, &removed);
    session.Finish(status, path.string() + " for " + words[2],
                   std::to_string(removed) + " entr" + (removed == 1 ? "y" : "ies") + " removed");
}

}  // namespace

void RunPrograms(Session& session, const Words& words) {
    const uint16_t only = words.empty() ? 0 : ParseKind(words[0]);
    const auto entries = session.Db().Customs().WithRecords([](const CustomsTable::Set& set) {
        return std::vector<FastCustomRecord>(set.begin(), set.end());
    });
    Json list = Json::Array();
    std::string text;
    for (const FastCustomRecord& entry : entries) {
        if (only != 0 && entry.Mode != only) {
            continue;
        }
        list.Push(ProgramEntry(entry));
        const std::string owner = Utf16ToUtf8(FieldText(entry.UserID));
        text += std::string(entry.Mode == 1   ? "exception "
                            : entry.Mode == 2 ? "controlled"
                                              : "mode " + std::to_string(entry.Mode)) +
                "  " + CheckSumText(entry.dwVal) + "  " + (owner.empty() ? "(protected)" : owner) +
                "  " + Utf16ToUtf8(FieldText(entry.szVal)) +
                (entry.TimetableState != 0 ? "  [own timetable]" : "") + "\n";
    }
    session.out().Emit(list, [&](std::ostream& out) { out << text; });
}

void RunProgram(Session& session, const Words& words) {
    const uint16_t mode = ParseKind(words[1]);
    if (words[0] == "add") {
        AddProgram(session, mode, words);
    } else if (words[0] == "remove") {
        RemoveProgram(session, mode, words);
    } else {
        throw CommandError(kExitUsage,
                           "usage: zenctl program add|remove exception|controlled GROUP PATH");
    }
}

}  // namespace zen::ctl
