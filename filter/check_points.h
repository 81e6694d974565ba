#pragma once

#include "filter/fd_table.h"

namespace zen::filter {

// Which checks an operation passes through.
enum class Checks {
    Timetable,           // socket, connect, listen, accept, datagrams, shutdown
    DailyThenTimetable,  // stream data: the daily limit first, then the timetable
};

// The filter's state of a descriptor; an unknown one is asked of the kernel (once, then
// remembered) when `classify` is set: socket calls do, plain reads and writes do not, so a
// process that never uses the Internet pays one table look-up per call.
FdState StateOf(int fd, bool classify);

// Records what the filter knows of a descriptor. Nothing is written in a vfork child, whose
// table is its parent's.
void Record(int fd, FdState state);
// Forgets a number (closed, or made anew as something the filter does not control); what it
// was.
FdState Forget(int fd);
// After the application closed or replaced a number in `state`: a file of the filter's own is
// made anew rather than written through a number that is no longer the filter's (the rules
// are opened afresh before the next check, the AIO worker gets a new wake-up).
void LostOwn(FdState state);
// After dup: the copy is what the original is.
void CopyState(int from, int to);
void ForgetRange(unsigned first, unsigned last);
// A file just opened: the filter's own while it does its work, else whatever the number was
// before is forgotten.
void NoteOpened(int fd);

// Runs the checks for an operation on a descriptor in `state`; true when it may go on. A
// refused socket is shut down and marked refused (never closed: the number is the
// application's); errno is EACCES on a refusal and untouched otherwise.
bool Permit(int fd, FdState state, Checks checks);

// The check of a socket the application has not seen yet (socket, accept): a refused one is
// closed here, as no one else owns it. The new socket's number, or -1 with EACCES.
int AdmitNewSocket(int fd);

// Whether a domain and type are the Internet sockets the filter controls.
bool IsInternetSocket(int domain, int type);

}  // namespace zen::filter
