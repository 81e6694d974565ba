#pragma once

namespace zen::filter {

// What a check answers for one socket operation.
enum class Verdict {
    Pass = 0,
    Refuse = 1,  // refused and recorded: the socket is to be shut down and marked
    RefuseQuietly =
        2,  // the rules could not be read: fail the call, keep the socket, record nothing
};

}  // namespace zen::filter
