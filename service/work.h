#pragma once

namespace zen {

struct ServiceContext;

// Opens the rules database, creates and starts the managers and starts the tick and idle
// threads. False when the options or the database cannot be opened: then no manager and no
// thread runs, and the service only keeps its clock for clients.
bool StartWork(ServiceContext& context);

// Sets the stop event and waits for both threads, at most 2 s in all. False when a thread
// did not end in time: it still uses the context, which must then outlive the process.
bool TermService(ServiceContext& context);

}  // namespace zen
