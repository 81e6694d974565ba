#pragma once

namespace zen {

// zensvc's exit codes, so that a package script or an administrator can tell what failed.
// A set-up with several failed steps ends with the code of the first.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;              // nothing was set up, or a reset was declined
inline constexpr int kExitUsage = 2;               // a word zensvc does not know
inline constexpr int kExitUnitNotInstalled = 3;    // the unit could not be written or enabled
inline constexpr int kExitServiceNotStarted = 4;   // the service did not start
inline constexpr int kExitFilterNotInstalled = 5;  // the library is unsafe or the list unwritable
inline constexpr int kExitProgramFilesUnsafe = 6;  // a program file is not root's alone
// The filter's list could not be read: the set-up ends there, as the installer always has.
inline constexpr int kExitFilterListUnreadable = 255;

}  // namespace zen
