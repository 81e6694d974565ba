#include "preload_fixture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>

#include "common/db/records.h"
#include "platform/text.h"

namespace zen::test {
namespace {

using namespace std::chrono_literals;

}  // namespace

bool Has(const Lines& lines, std::string_view line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string Joined(const Lines& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\n";
    }
    return text;
}

void PreloadTest::SetUp() {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "running programs as a uid only the temporary root names needs root";
    }
    FilterRootTest::SetUp();
    ::chmod(root.path().c_str(), 0755);
    for (const char* script : {"net_client.py", "loopback_server.py"}) {
        std::filesystem::copy_file(std::filesystem::path(FILTER_TEST_DIR) / script, root / script);
    }
    EditKids([](FastUsersRecord& group) {
        group.Internet = 1;
        FillTimetable(group.timetables[kInternetSlot], true);
    });
    server_.emplace(std::vector<std::string>{kPython, (root / "loopback_server.py").string()},
                    Program::Options{});
    std::istringstream ports(server_->ReadLine(10s).value_or(""));
    std::string name;
    int port = 0;
    while (ports >> name >> port) {
        ports_[name] = std::to_string(port);
    }
    ASSERT_EQ(ports_.size(), 4u) << "the loopback server did not start";
}

std::unique_ptr<Program> PreloadTest::Start(const std::vector<std::string>& command,
                                            const char* moment, uid_t uid,
                                            std::vector<std::string> environment) {
    // The filter reads the machine's clock, which no test sets: a moment is the timetable in
    // force when the program starts.
    if (moment != nullptr) {
        InternetAt(std::string_view(moment) == kAllowed);
    }
    std::string preload = "LD_PRELOAD=" + library_;
    std::erase_if(environment, [&](const std::string& entry) {
        const bool own = entry.rfind("LD_PRELOAD=", 0) == 0;
        if (own) {
            preload += " " + entry.substr(std::string_view("LD_PRELOAD=").size());
        }
        return own;
    });
    environment.push_back(preload);
    return std::make_unique<Program>(command, Program::Options{uid, environment});
}

Lines PreloadTest::Python(const std::vector<std::string>& arguments, const char* moment, uid_t uid,
                          std::vector<std::string> environment) {
    std::vector<std::string> command{kPython, (root / "net_client.py").string()};
    command.insert(command.end(), arguments.begin(), arguments.end());
    auto program = Start(command, moment, uid, std::move(environment));
    Lines lines = program->ReadLines(30s);
    EXPECT_EQ(program->Wait(5s), 0) << Joined(lines);
    return lines;
}

void PreloadTest::InternetAt(bool allowed) {
    EditKids(
        [&](FastUsersRecord& group) { FillTimetable(group.timetables[kInternetSlot], allowed); });
}

std::size_t PreloadTest::WarningsOf(std::string_view program) {
    const auto warnings = Warnings();
    return std::count_if(warnings.begin(), warnings.end(), [&](const WarningRecord& record) {
        return Utf16ToUtf8(FieldText(record.program)) == program && record.kind == 7 &&
               FieldText(record.user) == u"kid";
    });
}

}  // namespace zen::test
