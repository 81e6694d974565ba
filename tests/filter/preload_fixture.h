#pragma once

// Real programs run through LD_PRELOAD=libzensp.so under the test's root, as "kid" (a uid only
// the root names) unless said otherwise, at a moment of faketime or on the real clock. Needs
// root (skipped otherwise); a loopback server of the test answers on TCP and UDP, IPv4 and IPv6.
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "filter_fixture.h"
#include "program_run.h"

namespace zen::test {

using Lines = std::vector<std::string>;

inline constexpr char kPython[] = "/usr/bin/python3";
// The program the filter records for kPython: the file its link leads to, whatever the version.
inline std::string PythonProgram() {
    return std::filesystem::canonical(kPython).string();
}
// Tuesday: the Internet of Kids is closed from 10:00 to 11:00.
inline constexpr char kForbidden[] = "@2024-03-05 10:16:00";
inline constexpr char kAllowed[] = "@2024-03-05 12:00:00";

bool Has(const Lines& lines, std::string_view line);
std::string Joined(const Lines& lines);

class PreloadTest : public FilterRootTest {
protected:
    void SetUp() override;

    // A program through the filter at a moment (faketime; without one the real clock runs).
    std::unique_ptr<Program> Start(const std::vector<std::string>& command, const char* moment,
                                   uid_t uid = kKidUid, std::vector<std::string> environment = {});
    // net_client.py with arguments, run to its end; its lines.
    Lines Python(const std::vector<std::string>& arguments, const char* moment, uid_t uid = kKidUid,
                 std::vector<std::string> environment = {});
    // Every quarter of Kids' Internet timetable allowed or forbidden.
    void InternetAt(bool allowed);
    // Timetable warnings of kid from a program.
    std::size_t WarningsOf(std::string_view program);

    // The filter preloaded: the build's, or a copy a test placed elsewhere.
    std::string library_ = ZENSP_PATH;
    std::optional<Program> server_;
    std::map<std::string, std::string> ports_;
};

}  // namespace zen::test
