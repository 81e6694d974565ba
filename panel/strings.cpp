#include "panel/strings.h"

#include <string_view>
#include <utility>

namespace zen::panel {
namespace {

// The texts are kept as the product always spelled them (the manual and existing users'
// screenshots quote them), but for the slips a parent sees at once: the page title "Export &
// Import", the product's own name and "built-in".
constexpr std::pair<int, std::string_view> kTexts[] = {
    {11, "Program name"},
    {12, "CheckSum"},
    {101, "&About ZenCP..."},
    {102, "Computer Schedule"},
    {103, "Internet Schedule"},
    {104, "Programs Schedule"},
    {105, "CD/DVD Schedule"},
    {106, "Rem. Disks Schedule"},
    {107, "Warnings && Logs"},
    {108, "Zentimo Settings"},
    {109, "Click here for Help"},
    {110, "Timetable"},
    {111, "Daily Time Limits"},
    {112, "Exceptions List"},
    {115, "Warnings Log"},
    {116, "Programs Activity"},
    {117, "Computer Users && Groups"},
    {118, "Set Password"},
    {119, "Export & Import  "},
    {120, "Email Notifications"},
    {122, "AM"},
    {123, "PM"},
    {124, "SUN"},
    {125, "MON"},
    {126, "TUE"},
    {127, "WED"},
    {128, "THU"},
    {129, "FRI"},
    {130, "SAT"},
    {131, "Sunday"},
    {132, "Monday"},
    {133, "Tuesday"},
    {134, "Wednesday"},
    {135, "Thursday"},
    {136, "Friday"},
    {137, "Saturday"},
    {138, "15 min"},
    {139, "Enable Daily Time Limits"},
    {140, "min"},
    {141, "Enable Timetable"},
    {142, "Format:"},
    {143, "Selection type:"},
    {144, "All Users"},
    {145, "12 hour"},
    {146, "24 hour"},
    {147, "Error opening database\nCode: 0x7A00FC04"},
    {148, "Error opening database\nCode: 0x7A00FC03"},
    {149, "30 min"},
    {150, "1 hour"},
    {151, "User:"},
    {152, "Permit All"},
    {153, "Forbid All"},
    {154, "Refresh"},
    {155, "Export"},
    {156, "Clear"},
    {157, "Time"},
    {158, "Program"},
    {159, "User"},
    {160, "Description"},
    {161, "Reason"},
    {162, "Save"},
    {163, "Log size (KB):"},
    {164, "Start"},
    {165, "Duration"},
    {166, "Program"},
    {167, "User"},
    {168, "New Group"},
    {169, "New User"},
    {170, "Rename"},
    {171, "Delete"},
    {172, "Test"},
    {173, "Custom warning"},
    {174, "Disable filtering"},
    {175, "Apply"},
    {176, "New password"},
    {177, "Old password"},
    {178, "Re-enter password for verification"},
    {179, "Incorrect password"},
    {180, "Zentimo"},
    {181, "Passwords do not match\nPlease re-enter passwords"},
    {182, "Password has been changed"},
    {183, "Import"},
    {184, "Error: occured while loading file. Reason: bad file format or file is corrupted "},
    {185, "Invalid file version"},
    {186, "Group name:"},
    {187, "Login name:"},
    {188, "Already exists"},
    {189, "File is not found"},
    {190, "Add program"},
    {191, "Cancel"},
    {192, "From disk"},
    {193, "Add new"},
    {194, "Group:"},
    {195, "Group is not empty"},
    {198, "Do you really want to delete the user?"},
    {199, "Can't delete current logged user"},
    {200, "From memory"},
    {201, "Add"},
    {202, "Open Control Panel"},
    {203, "Change Password"},
    {204, "Enable Zentimo"},
    {205, "Disable Zentimo"},
    {207,
     "The Control  Panel can be opened anytime by double clicking on the Zentimo icon here. "
     "Change the administrator password as soon as possible to prevent unauthorized changing "
     "of your settings by other persons. "},
    {208, "Add program from memory"},
    {209,
     "Allows you to set days and times in which the computer can be used. The computer "
     "schedules can be tailored for each member of the family."},
    {210,
     "Allows you to set the amount of time that each member of the family can spend on the "
     "computer each day, without specifying exact times."},
    {211,
     "Allows you to set days and times in which the Internet can be used. The Internet "
     "schedules can be tailored for each member of the family."},
    {212,
     "Allows you to set the amount of time that each member of the family can access the "
     "Internet each day, without specifying exact times."},
    {213,
     "Add specific Internet based programs (instant messenger, Email client e.t.c) to the "
     "exceptions list in order to prevent Zentimo from restricting their use. These programs "
     "will be accessible at all times. "},
    {214,
     "List the specific programs (games,video and music players e.t.c) whose access you wish "
     "to be limited by Zentimo. Any program not on this list will be accessible at any time."},
    {215,
     "Allows you to limit the days and times in which specific programs (games,video and music "
     "players e.t.c) can be used . The program schedules can be tailored for each member of "
     "the family. This restriction will apply only to the programs listed in the Controlled "
     "programs list below."},
    {216,
     "Allows you to limit the amount of time that each member of the family can use specific "
     "programs (games,video and music players e.t.c) each day, without specifying exact times. "
     "This restriction will apply only to the programs listed in the Controlled programs list "
     "below."},
    {217,
     "Allows you to set days and times in which CD/DVD's can be used. The CD/DVD schedules can "
     "be tailored for each member of the family. This enables you to limit the use of games "
     "that require the original CD/DVD, and to limit the copying and installation of new "
     "software."},
    {218,
     "Allows you to set the amount of time that each member of the family can use CD/DVD's, "
     "without specifying exact times. This enables you to limit the use of games that require "
     "the original CD/DVD, and to limit the copying and installation of new software."},
    {219,
     "Allows you to set days and times in which removable disks (ZIP Drives,  USB Flash "
     "Drives, e.t.c) can be used. The removable disks schedules can be tailored for each "
     "member of the family. This enables you to limit the copying and installation of new "
     "software."},
    {220,
     "Allows you to set the amount of time that each member of the family can use removable "
     "disks (ZIP Drives, USB Flash Drives, e.t.c) each day, without specifying exact times. "
     "This enables you to limit the copying and installation of new software."},
    {221,
     "Log of warnings and and blocked operations produced by Zentimo. You can export this "
     "warnings log to a comma separated text file."},
    {222,
     "Log of program usage; which programs have been used, when and for how long. Enables "
     "parents to keep tabs on how their children use programs."},
    {223,
     "Manage computer users and groups here.  Set customized messages to appear for each "
     "group of users, in the event of the user being blocked from performing an operation."},
    {224,
     "Set an administrative password to prevent your settings from being changed by "
     "unauthorized persons."},
    {225,
     "If you need to repair or upgrade the Zentimo program, you can export (save) your Zentmo "
     "settings, and then import them back in at a later date. Accordingly, it would not be "
     "necessary to re-enter all of your settings. "},
    {226,
     "Receive instant email notification if a user tries to access the computer or any of its "
     "individual functions (programs, games, Internet, e.t.c) at a restricted time. With this "
     "information a parent can take immediate action."},
    {227,
     "If you intend to un-install Zentimo (in the event of repairing or upgrading it), you can "
     "export (save) your settings to a file, so that you can import them back in at a later "
     "date. "},
    {228,
     "After re-installing Zentimo, you can import your previously exported settings back in, and "
     "so avoid re-entering them manually. "},
    {229, "Enable/Disable Tooltip"},
    {230, "Removable Disks Schedule"},
    {231, "Users && Groups"},
    {232, "Export && Import"},
    {233, "Programs List"},
    {234, "Back"},
    {235, "Warnings & Logs"},
    {236, "Computer Timetable"},
    {237, "Internet Timetable"},
    {238, "Programs Timetable"},
    {239, "Removable Disks Timetable"},
    {240, "CD/DVD Timetable"},
    {241, "Computer Daily Time Limits"},
    {242, "Programs Daily Time Limits"},
    {243, "Internet Daily Time Limits"},
    {244, "CD/DVD Daily Time Limits"},
    {245, "Removable Disks Daily Time Limits"},
    {246, "Exceptions List"},
    {247, "Programs List"},
    {248, "Add program"},
    {249, "Ok"},
    {250, "Password"},
    {251, "Please enter the password:"},
    {252, "The password is incorrect"},
    {253, "Change password"},
    {254, "New user or group"},
    {255, "Email Notifications"},
    {256, "Send Daily Report"},
    {257, "Send Notification E-mail"},
    {258, "Password:"},
    {259,
     "To protect your privacy we strongly recommend that your password is at least 8 characters in "
     "length."},
    {260, "Test Daily Report"},
    {261, "Test Notification Report"},
    {262, "Setup E-mail Account"},
    {263,
     "Zentimo uses its own built-in email system. You must set up e-mail account settings before "
     "Zentimo can send daily reports or notification e-mails to you."},
    {264, "Warning message"},
    {265, "E-mail Account Settings"},
    {266, "Outgoing E-mail Server"},
    {267, "Outgoing E-mail Server Port"},
    {268, "Your own e-mail address, the sender of the reports (for example: parent@example.com)"},
    {269, "Recipients, separated by commas (for example: parent@example.com, other@example.com)"},
    {270, "User Name"},
    {271, "My outgoing server requires authentication"},
    {272, "Test notification e-mail settings"},
    {296, "Today: Online %d minutes"},
    {297, "Today: Online %d hours %d minutes"},
    {298,
     "You must set up e-mail account settings before Zentimo can send daily reports or "
     "notification e-mails to you."},
    {308,
     "Your Internet connection has been blocked due to changing the system time. It is used "
     "for controlling the schedule. Do you want to unlock it now?"},
};

}  // namespace

QString Text(int id) {
    for (const auto& [number, text] : kTexts) {
        if (number == id) {
            return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
        }
    }
    return {};
}

}  // namespace zen::panel
