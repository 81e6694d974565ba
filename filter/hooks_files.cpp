// Opening files: a number the filter's rules open while they work is marked as theirs, so that
// an application that closes or replaces it makes the rules open afresh instead of having them
// write into what the number has become; any other new file clears what the number was.
#include <fcntl.h>

#include <cstdarg>

#include "filter/guarded_call.h"
#include "filter/next_calls.h"

using namespace zen::filter;

namespace {

bool TakesMode(int flags) {
    return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
}

int Opened(int fd) {
    NoteOpened(fd);
    return fd;
}

}  // namespace

#define ZEN_MODE_ARGUMENT(flags)                            \
    mode_t mode = 0;                                        \
    if (TakesMode(flags)) {                                 \
        va_list arguments;                                  \
        va_start(arguments, flags);                         \
        mode = static_cast<mode_t>(va_arg(arguments, int)); \
        va_end(arguments);                                  \
    }

ZEN_HOOK int open(const char* path, int flags, ...) {
    ZEN_MODE_ARGUMENT(flags)
    return Opened(Next().open(path, flags, mode));
}

ZEN_HOOK int open64(const char* path, int flags, ...) {
    ZEN_MODE_ARGUMENT(flags)
    return Opened(Next().open64(path, flags, mode));
}

ZEN_HOOK int openat(int dir, const char* path, int flags, ...) {
    ZEN_MODE_ARGUMENT(flags)
    return Opened(Next().openat(dir, path, flags, mode));
}

ZEN_HOOK int openat64(int dir, const char* path, int flags, ...) {
    ZEN_MODE_ARGUMENT(flags)
    return Opened(Next().openat64(dir, path, flags, mode));
}
