// sendfile and splice move data without passing it through the application: onto a tracked
// socket they are sends (checked before), out of one they are receives (checked after).
#include <fcntl.h>
#include <sys/sendfile.h>

#include "filter/guarded_call.h"
#include "filter/next_calls.h"

using namespace zen::filter;

ZEN_HOOK ssize_t sendfile(int out, int in, off_t* offset, size_t count) {
    return CheckedBefore(out, true, Checks::DailyThenTimetable,
                         [&] { return Next().sendfile(out, in, offset, count); });
}

ZEN_HOOK ssize_t sendfile64(int out, int in, off64_t* offset, size_t count) {
    return CheckedBefore(out, true, Checks::DailyThenTimetable,
                         [&] { return Next().sendfile64(out, in, offset, count); });
}

ZEN_HOOK ssize_t splice(int in, off64_t* inOffset, int out, off64_t* outOffset, size_t count,
                        unsigned flags) {
    return CheckedBefore(out, true, Checks::DailyThenTimetable, [&] {
        return CheckedAfter(in, true, Checks::DailyThenTimetable, [&] {
            return Next().splice(in, inOffset, out, outOffset, count, flags);
        });
    });
}
