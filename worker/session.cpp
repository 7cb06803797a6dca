#include "worker/session.h"

#include <cstdio>
#include <thread>

namespace tovrin {

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
    return send_frame(session.channel, session.frame, length);
}

bool await_answer(Session& session) {
    const std::uint32_t timeout_ms = session.control->settings.reply_timeout_ms;
    const ReplyDeadline deadline =
        timeout_ms == NO_REPLY_TIMEOUT
            ? ReplyDeadline::max()
            : std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        const int received =
            await_reply(session.channel, session.reply, session.control->abort_requested, deadline);
        if (received == AWAIT_TIMED_OUT) {
            const unsigned seconds = (timeout_ms + 999) / 1000;
            char text[64];
            std::snprintf(text, sizeof text, "No reply within %u second%s", seconds,
                          seconds == 1 ? "" : "s");
            set_status(session, text);
            return false;
        }
        if (received < 0) {
            return false;
        }
        if (answers_request(session.reply, session.frame)) {
            return true;
        }
    }
}

bool exchange(Session& session, std::size_t length) {
    return send_request(session, length) && await_answer(session);
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
