#pragma once

namespace zen {

struct ServiceContext;

// Makes the service proof against what other accounts do to the shared files (bounded lock
// waits, guarded mappings, scratch files of killed saves removed), opens the rules database
// and starts the tick and idle threads. False when the stop event cannot be had. A database
// that cannot be opened is reported once and tried again at every tick (OpenDatabase).
bool StartWork(ServiceContext& context);

// Opens the rules database unless it is open, then creates and starts the managers. The
// first failure is shown; later ones are not. True when the database is open.
bool OpenDatabase(ServiceContext& context);

// Sets the stop event and waits for both threads, at most 2 s in all. False when a thread
// did not end in time: it still uses the context, which must then outlive the process.
bool TermService(ServiceContext& context);

}  // namespace zen
