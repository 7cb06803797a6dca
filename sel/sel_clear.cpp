#include "sel/sel_clear.h"

namespace tovrin {

namespace {

constexpr std::uint8_t RESERVATION_CANCELLED = 0xC5;
constexpr std::uint8_t ERASE_COMPLETED = 0x01;

}  // namespace

bool erase_finished(const ReplyBuffer& reply) {
    if (!check_reply(reply, REPLY_LENGTH_POSITION, CHECK_SUM)) {
        return false;
    }
    const int code = completion_code_position(reply);
    if (reply.bytes[code] == RESERVATION_CANCELLED) {
        return true;
    }
    return reply.bytes[code] == 0x00 && reply_holds(reply, code + 1) &&
           (reply.bytes[code + 1] & 0x0F) == ERASE_COMPLETED;
}

bool clear_sel(Session& session) {
    WorkerControl& control = *session.control;
    set_status(session, "Sending Clear SEL Request");
    if (!exchange(session, build_reserve_sel(session.frame, next_sequence(session))) ||
        !check_answer(session)) {
        return false;
    }
    const int code = completion_code_position(session.reply);
    if (!reply_holds(session.reply, code + 2)) {
        return reply_too_short(session);
    }
    const std::size_t initiate =
        build_clear_sel_initiate(session.frame, next_sequence(session),
                                 session.reply.bytes[code + 1], session.reply.bytes[code + 2]);
    if (!exchange(session, initiate) || !check_answer(session)) {
        return false;
    }
    // Status replies are not held to the check: only one that proves the erase done ends the wait.
    for (;;) {
        pause_ms(control.settings.pace_ms);
        if (erase_finished(session.reply) || control.abort_requested.load() != 0) {
            break;
        }
        if (!exchange(session, build_clear_sel_status(session.frame, next_sequence(session)))) {
            return false;
        }
    }
    if (control.abort_requested.load() == 0) {
        notify(session, UM_SEL_CLEARED);
    }
    return true;
}

}  // namespace tovrin
