#pragma once

// Private to the named objects: the small file of the run directory that holds one object.

#include <sys/types.h>
#include <time.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/named_event.h"

namespace zen::detail {

// The first bytes of every object file. A file whose header does not match the kind being
// opened (a stray, forged or older file) is never taken for the object.
struct ObjectHeader {
    uint32_t magic = 0;  // the kind of object and its layout version
    uint32_t size = 0;   // bytes of the whole object, header included
};

struct ObjectMapping {
    void* address = nullptr;
    bool writable = false;  // false: mapped read-only, this process may only watch it
    // The file mapped, to tell later whether the name still leads to it.
    dev_t device = 0;
    ino_t inode = 0;
};

// Maps the object `name` (one file name in the run directory) whose first bytes are
// `header`, creating it zero-filled when it is missing. A file that cannot be the object (a
// link, a short or foreign file, or a root object not owned by root) is replaced when this
// process may create the object, and refused otherwise. Returns a null address with errno set
// when the object cannot be had with `access`.
ObjectMapping MapObject(std::string_view name, ObjectHeader header, ObjectAccess access);

void UnmapObject(void* address, std::size_t size);

// Every account may cut, replace or scribble over the shared objects' files. True when the
// name still leads to the mapped file, whole and of the kind `header` names; otherwise the
// object is opened again as MapObject does (recreated when this process may) and mapped at
// the same address, so that pointers into it stay valid, and true once that succeeded.
// `mapping` then names the new file.
bool RefreshObject(ObjectMapping& mapping, std::string_view name, ObjectHeader header,
                   ObjectAccess access);

// The futex calls on the objects' words. Shared futexes: the waiters may be in any process.
using Clock = std::chrono::steady_clock;  // CLOCK_MONOTONIC, the futex clock
// Now plus `timeout`; time_point::max() for none.
Clock::time_point Deadline(std::optional<std::chrono::milliseconds> timeout);
timespec ToTimespec(Clock::time_point when);
// Sleeps while `*word` holds `expected`, until woken or `until`; returns at once otherwise.
void FutexWaitUntil(const void* word, uint32_t expected, Clock::time_point until);
void FutexWake(const void* word, int count);

}  // namespace zen::detail
