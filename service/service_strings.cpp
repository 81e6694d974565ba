#include "service/service_strings.h"

#include <algorithm>
#include <array>
#include <utility>

namespace zen {
namespace {

constexpr std::array<std::pair<int, std::string_view>, 24> kStrings{{
    {131, "Error initializing sockets"},
    {132, "Zentimo"},
    {133, "No TCP/IP services available"},
    {134, "ZenSvc"},
    {135, "Couldn't open service manager"},
    {136, "Couldn't start service"},
    {137, "Couldn't open service"},
    {138,
     "Error opening registry key.\nYou must be logged on as an administrator or a member of the "
     "Administrators group in order to complete this procedure."},
    {139, "Service could not be deleted"},
    {140, "Error opening database\nCode: 0x7A00FC03"},
    {141, "Error opening database\nCode: 0x7A00FC04"},
    {142,
     "Would you like to export your settings in order to save your changes (for upgrading and "
     "repairing Zentimo)?"},
    {143, "The disk %s has been enabled."},
    {144, "The disk %s has been disabled."},
    {145, "Today: Online %d minutes"},
    {146, "Today: Online %d hours %d minutes"},
    {147,
     "You will be logged out in 1 min according to the settings of your system administrator. "
     "Please save your changes and shutdown your computer."},
    {148,
     "The computer is shutting down in 1 min according to the settings of your system "
     "administrator. Please save your changes and shutdown your computer."},
    {149,
     "According to your settings, today's limit for this program access has expired. To change "
     "the setttings, click on the \"Daily Time Limits\" button in the \"Program Timetable\" "
     "screen."},
    {150, "IDS_REASON_TIME_LIMIT_CDROM"},
    {151, "IDS_REASON_TIME_LIMIT_REMOV"},
    {152, "The program %s has been closed"},
    {153, "Reason: The program was run in outside of the allowed time."},
    {154, "The program has been closed"},
}};

}  // namespace

std::string_view ServiceString(int id) {
    const auto found = std::ranges::find(kStrings, id, &std::pair<int, std::string_view>::first);
    return found == kStrings.end() ? std::string_view() : found->second;
}

}  // namespace zen
