// The state one session worker owns for its whole life, the request/reply exchange every procedure
// of the session uses, and the worker's one teardown path.
#pragma once

#include <cstdint>

#include "protocol/datagram_channel.h"
#include "protocol/lan_frame.h"
#include "worker/worker_control.h"

namespace tovrin {

struct Session {
    WorkerControl* control = nullptr;
    DatagramChannel channel;
    RequestFrame frame;
    ReplyBuffer reply;
    std::uint32_t session_sequence = 0;
    std::uint32_t idle_ticks = 0;
    bool activated = false;  // the controller has opened a session and the frame carries its ID
};

// The longest wait for the answer to Close Session, whose answer changes nothing.
constexpr std::uint32_t CLOSE_SESSION_WAIT_MS = 1000;

void set_status(Session& session, const char* text);
void notify(Session& session, std::uint32_t code);

// Adds 1 to session_sequence and returns it: every request after logon carries the next number.
std::uint32_t next_sequence(Session& session);

// Sends the first `length` bytes of the frame.
bool send_request(Session& session, std::size_t length);

// Waits for the datagram that answers the request just sent; anything else that arrives is dropped.
// False on a receive error, an unreachable port, an abort, or no reply within the configured time;
// the status line says which, unless the user aborted.
bool await_answer(Session& session);

// send_request, then await_answer.
bool exchange(Session& session, std::size_t length);

// check_reply in `mode`; a reply that fails it is described on the status line (the controller's
// refusal with its completion code, or a damaged reply).
bool check_answer(Session& session, CheckMode mode = CHECK_FULL);

// Says on the status line that the answer to the frame's request ended too soon; returns false.
bool reply_too_short(Session& session);

// Sends Close Session with the next sequence number and waits for its answer at most one reply
// time-out or CLOSE_SESSION_WAIT_MS, whichever is shorter, whatever abort_requested says. The
// answer is not looked at.
void close_session(Session& session);

// Sleeps on the worker thread; 0 does not sleep.
void pause_ms(std::uint32_t milliseconds);

// Tells the front end the session is over (its last notification), then closes the channel.
void worker_fail(Session& session, std::uint32_t code);

}  // namespace tovrin
