#include "worker/session_worker.h"

#include <algorithm>

#include "sel/sel_clear.h"
#include "sel/sel_dump.h"
#include "worker/session.h"

namespace tovrin {

namespace {

// Get Session Challenge, Activate Session and Set Session Privilege Level. On success the
// session header (straight password, session ID, password) stays in the frame for every later
// request. Every failure but the user's abort is said on the status line.
bool log_on(Session& session) {
    const LogonFields& fields = session.control->logon;
    if (!open_channel(session.channel, fields.address_text, session.control->settings.port)) {
        return false;
    }

    std::size_t length = build_get_session_challenge(session.frame, fields.user_name);
    set_status(session, "Get Session Challenge");
    if (!send_request(session, length)) {
        return false;
    }
    set_nonblocking(session.channel);
    if (!await_answer(session)) {
        return false;
    }
    // The challenge reply carries no authentication code and no checksum is asked of it; a refusal
    // (an unknown user, say) ends the logon here, where it can still be told apart.
    if (!check_answer(session, CHECK_CODE)) {
        return false;
    }
    if (session.reply.length < CHALLENGE_REPLY_MIN_LENGTH) {
        return reply_too_short(session);
    }

    length = build_activate_session(session.frame, session.reply, fields.password);
    set_status(session, "Activate Session Request");
    if (!exchange(session, length) || !check_answer(session)) {
        return false;
    }
    if (session.reply.length < ACTIVATE_REPLY_MIN_LENGTH) {
        return reply_too_short(session);
    }

    // A controller that hands out a starting sequence number drops requests outside its window;
    // one that hands out 0 leaves the count to us, starting at 1.
    const std::uint32_t granted = granted_sequence(session.reply);
    session.session_sequence = granted != 0 ? granted : 1;
    length = build_set_privilege_level(session.frame, session.reply, session.session_sequence);
    session.activated = true;
    set_status(session, "Set Privilege Level");
    if (!exchange(session, length) || !check_answer(session)) {
        return false;
    }
    notify(session, UM_CONNECTED);
    session.idle_ticks = 0;
    return true;
}

bool keep_alive(Session& session) {
    set_status(session, "Session Timed Out");
    if (!exchange(session, build_get_session_info(session.frame, next_sequence(session))) ||
        !check_answer(session)) {
        return false;
    }
    set_status(session, "Connected");
    return true;
}

// Returns when the user asked to disconnect or an exchange failed.
void run_connected_loop(Session& session) {
    WorkerControl& control = *session.control;
    // A zero tick would spin; the loop always yields the processor between passes.
    const std::uint32_t tick_ms = std::max<std::uint32_t>(control.settings.tick_ms, 1);
    for (bool first_pass = true;; first_pass = false) {
        if (control.abort_requested.load() != 0) {
            return;
        }
        // A request stored before the worker started (the command line's) is carried out at once.
        const bool stored_before_start = first_pass && (control.dump_requested.load() != 0 ||
                                                        control.clear_requested.load() != 0);
        if (!stored_before_start) {
            pause_ms(tick_ms);
        }
        ++session.idle_ticks;
        if (control.dump_requested.load() != 0) {
            control.dump_requested.store(0);
            if (!dump_sel(session)) {
                return;
            }
        }
        if (control.clear_requested.load() != 0) {
            control.clear_requested.store(0);
            if (!clear_sel(session)) {
                return;
            }
        }
        if (session.idle_ticks >= KEEPALIVE_TICKS) {
            session.idle_ticks = 0;
            if (!keep_alive(session)) {
                return;
            }
        }
    }
}

}  // namespace

void session_worker(WorkerControl* control) {
    Session session;
    session.control = control;
    const bool connected = log_on(session);
    if (connected) {
        run_connected_loop(session);
    }
    if (session.activated && control->settings.close_session) {
        close_session(session);
    }
    worker_fail(session, connected ? UM_DISCONNECTED : UM_LOGON_ABORTED);
}

}  // namespace tovrin
