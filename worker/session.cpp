#include "worker/session.h"

#include <algorithm>
#include <cstdio>
#include <thread>

#include "protocol/reply_reason.h"

namespace tovrin {

namespace {

// The answer to the frame's request, an AWAIT_ failure, or nothing within `timeout_ms`
// (NO_REPLY_TIMEOUT: no limit); whatever else arrives meanwhile is dropped.
int await_matching(Session& session, const std::atomic<std::uint32_t>& abort_requested,
                   std::uint32_t timeout_ms) {
    const ReplyDeadline deadline =
        timeout_ms == NO_REPLY_TIMEOUT
            ? ReplyDeadline::max()
            : std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        const int received = await_reply(session.channel, session.reply, abort_requested, deadline);
        if (received < 0 || answers_request(session.reply, session.frame)) {
            return received;
        }
    }
}

}  // namespace

void set_status(Session& session, const char* text) {
    session.control->dialog->set_status(text);
}

void notify(Session& session, std::uint32_t code) {
    session.control->dialog->notify(code);
}

std::uint32_t next_sequence(Session& session) {
    return ++session.session_sequence;
}

bool send_request(Session& session, std::size_t length) {
    if (send_frame(session.channel, session.frame, length)) {
        return true;
    }
    set_status(session, "Cannot send to the BMC");
    return false;
}

bool await_answer(Session& session) {
    const std::uint32_t timeout_ms = session.control->settings.reply_timeout_ms;
    const int received = await_matching(session, session.control->abort_requested, timeout_ms);
    if (received == AWAIT_TIMED_OUT) {
        const unsigned seconds = (timeout_ms + 999) / 1000;
        char text[64];
        std::snprintf(text, sizeof text, "No reply within %u second%s", seconds,
                      seconds == 1 ? "" : "s");
        set_status(session, text);
    } else if (received == AWAIT_UNREACHABLE) {
        set_status(session, "The BMC's port is unreachable");
    } else if (received == AWAIT_FAILED && session.control->abort_requested.load() == 0) {
        set_status(session, "Cannot receive from the BMC");
    }
    return received >= 0;
}

bool exchange(Session& session, std::size_t length) {
    return send_request(session, length) && await_answer(session);
}

bool check_answer(Session& session, CheckMode mode) {
    if (check_reply(session.reply, REPLY_LENGTH_POSITION, mode)) {
        return true;
    }
    char text[REPLY_REASON_SIZE];
    if (mode == CHECK_CODE) {
        describe_refusal(session.frame, session.reply, text);
    } else {
        describe_failed_reply(session.frame, session.reply, text);
    }
    set_status(session, text);
    return false;
}

bool reply_too_short(Session& session) {
    char text[REPLY_REASON_SIZE];
    describe_short_reply(session.frame, text);
    set_status(session, text);
    return false;
}

void close_session(Session& session) {
    const std::uint32_t timeout_ms = session.control->settings.reply_timeout_ms;
    const std::uint32_t wait_ms = timeout_ms == NO_REPLY_TIMEOUT
                                      ? CLOSE_SESSION_WAIT_MS
                                      : std::min(timeout_ms, CLOSE_SESSION_WAIT_MS);
    // The session ends because of an abort, most often: this wait must not end on it.
    const std::atomic<std::uint32_t> never_aborted{0};
    if (send_frame(session.channel, session.frame,
                   build_close_session(session.frame, next_sequence(session)))) {
        await_matching(session, never_aborted, wait_ms);
    }
}

void pause_ms(std::uint32_t milliseconds) {
    if (milliseconds > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
}

void worker_fail(Session& session, std::uint32_t code) {
    notify(session, code);
    close_channel(session.channel);
}

}  // namespace tovrin
