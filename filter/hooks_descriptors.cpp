// The calls that end or copy descriptors keep the table right: a number the application
// closes is forgotten, a copy is what its original is.
#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <cstdarg>

#include "filter/guarded_call.h"
#include "filter/next_calls.h"

using namespace zen::filter;

namespace {

int Duplicated(int from, int to) {
    if (to >= 0) {
        CopyState(from, to);
    }
    return to;
}

int FileControl(int (*next)(int, int, ...), int fd, int command, void* argument) {
    const int result = next(fd, command, argument);
    return command == F_DUPFD || command == F_DUPFD_CLOEXEC ? Duplicated(fd, result) : result;
}

}  // namespace

ZEN_HOOK int close(int fd) {
    // Forgotten first: once closed, the number may come back at once on another thread.
    const FdState state = Forget(fd);
    const int result = Next().close(fd);
    LostOwn(state);
    return result;
}

ZEN_HOOK int close_range(unsigned first, unsigned last, int flags) {
    const int result = Next().close_range(first, last, flags);
    if (result == 0 && (flags & CLOSE_RANGE_CLOEXEC) == 0) {
        ForgetRange(first, last);
    }
    return result;
}

ZEN_HOOK void closefrom(int first) {
    Next().closefrom(first);
    if (first >= 0) {
        ForgetRange(static_cast<unsigned>(first), UINT_MAX);
    }
}

ZEN_HOOK int dup(int fd) {
    return Duplicated(fd, Next().dup(fd));
}

ZEN_HOOK int dup2(int fd, int target) {
    return Duplicated(fd, Next().dup2(fd, target));
}

ZEN_HOOK int dup3(int fd, int target, int flags) {
    return Duplicated(fd, Next().dup3(fd, target, flags));
}

// Every fcntl command takes at most one argument, an integer or a pointer: passed on as a word.
ZEN_HOOK int fcntl(int fd, int command, ...) {
    va_list arguments;
    va_start(arguments, command);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    return FileControl(Next().fcntl, fd, command, argument);
}

ZEN_HOOK int fcntl64(int fd, int command, ...) {
    va_list arguments;
    va_start(arguments, command);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    return FileControl(Next().fcntl64, fd, command, argument);
}
