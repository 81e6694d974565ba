#pragma once

namespace zen::filter {

// True when this process's account is one the system never controls: root, a system account
// (below UID_MIN of the root's etc/login.defs, 1000 when unset) or nobody. Told from the kernel
// and that one file before anything of the rules is loaded, so that no state of the rules
// library (missing, failing, half upgraded) can ever refuse them.
bool ProcessNeverControlled();

}  // namespace zen::filter
