// The SEL clear: reserve the log, start the erase and poll its status until the controller reports
// it finished, run from the connected loop.
#pragma once

#include "protocol/lan_frame.h"
#include "worker/session.h"

namespace tovrin {

// True when a checked Clear SEL reply reports the erase done: progress bits 3-0 equal 1h, or
// completion code C5h (the reservation ended because the log was erased).
bool erase_finished(const ReplyBuffer& reply);

// Reports UM_SEL_CLEARED (nothing when the user disconnected meanwhile) and returns true while the
// session goes on; false when the session is lost.
bool clear_sel(Session& session);

}  // namespace tovrin
