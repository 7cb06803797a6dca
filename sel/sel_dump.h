// The SEL dump: every record of the controller's event log, first to last, one line each into the
// dump file, run from the connected loop.
#pragma once

#include <cstdint>

#include "protocol/lan_frame.h"
#include "worker/session.h"

namespace tovrin {

constexpr int SEL_RECORD_RETRIES = 2;  // further tries of a record the controller refused
constexpr std::int32_t SEL_MAX_RECORDS =
    65535;  // a log cannot hold more; beyond it the chain loops

// True when the reply's next record ID is FFFFh: the record just returned is the last.
bool sel_last_record(const ReplyBuffer& reply);

// Byte i (0 low, 1 high) of the reply's next record ID.
std::uint8_t next_record_id(const ReplyBuffer& reply, int i);

// Reports UM_SEL_SAVED, UM_SEL_EMPTY or UM_SEL_FAILED and returns true while the session goes on;
// returns false, with the file closed, when the session is lost.
bool dump_sel(Session& session);

}  // namespace tovrin
