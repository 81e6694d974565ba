#pragma once

namespace zen {

// True when "/etc/zentimo/zentimo.conf" exists: from then on ZEN_ROOT is ignored.
bool InstalledForReal();

// The root a process runs under: the directory named by ZEN_ROOT (absolute), or "/" when it
// is not set or once the system is installed for real ("/etc/zentimo/zentimo.conf" exists),
// so that no user can point a process at rules of their own. Written for the preloaded filter
// too: the C library alone, no allocation.
const char* ChosenRoot();

}  // namespace zen
