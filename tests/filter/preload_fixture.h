#pragma once

// Real programs run through LD_PRELOAD=libzensp.so under the test's root, as "kid" (a uid only
// the root names) unless said otherwise, at an allowed or a forbidden moment. Needs root
// (skipped otherwise); a loopback server of the test answers on TCP and UDP, IPv4 and IPv6.
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
// The filter goes by the machine's clock: a moment is the Kids' Internet timetable, all of it
// forbidden or allowed, in force when a program starts.
inline constexpr char kForbidden[] = "forbidden";
inline constexpr char kAllowed[] = "allowed";

bool Has(const Lines& lines, std::string_view line);
std::string Joined(const Lines& lines);

class PreloadTest : public FilterRootTest {
protected:
    void SetUp() override;

    // A program through the filter at a moment (without one the timetable stays as it is); an
    // LD_PRELOAD of `environment` comes after the filter.
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
