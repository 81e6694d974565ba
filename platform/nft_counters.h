#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace zen {

// The named counters of one inet table by their names, read with one netlink dump: what the
// service reads at every tick costs a system call or two instead of a libnftables listing.
// Nothing when the table cannot be read (there is none, or no nf_tables).
std::optional<std::map<std::string, uint64_t>> ReadInetTableCounters(std::string_view table);

}  // namespace zen
