#pragma once

namespace zen {

struct ServiceContext;

// One tick of the service: damaged data files are put back and the database opened when it
// is not; shared objects and files that changed are taken in; the console user becomes the
// current user (an unknown one joins "Guests"), every manager ticks in list order, then the
// daily report when the options ask for one.
void RunTick(ServiceContext& context);

}  // namespace zen
