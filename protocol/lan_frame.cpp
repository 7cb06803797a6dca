#include "protocol/lan_frame.h"

#include "protocol/ipmi_commands.h"

namespace tovrin {

namespace {

// The netFn/LUN byte: netFn in the upper six bits, LUN 0.
constexpr std::uint8_t NETFN_APP = NETFN_APP_REQUEST << 2;
constexpr std::uint8_t NETFN_STORAGE = NETFN_STORAGE_REQUEST << 2;
constexpr std::uint8_t AUTH_STRAIGHT_PASSWORD = 0x04;
constexpr std::uint8_t PRIVILEGE_ADMINISTRATOR = 0x04;

void put_sequence(RequestFrame& frame, std::uint32_t sequence) {
    for (int i = 0; i < 4; ++i) {
        frame.bytes[5 + i] = static_cast<std::uint8_t>(sequence >> (8 * i));
    }
}

// The authenticated layout's message header (bytes 29-35); the header checksum is the constant
// that netFn 18h or 28h with rsSA 20h always gives.
void put_message_header(RequestFrame& frame, std::uint8_t message_length, std::uint8_t netfn,
                        std::uint8_t command) {
    frame.bytes[29] = message_length;
    frame.bytes[30] = 0x20;
    frame.bytes[31] = netfn;
    frame.bytes[32] = netfn == NETFN_APP ? 0xC8 : 0xB8;
    frame.bytes[33] = 0x21;
    frame.bytes[34] = 0x00;
    frame.bytes[35] = command;
}

std::size_t seal(RequestFrame& frame, std::size_t length) {
    const int last = static_cast<int>(length) - 1;
    frame.bytes[last] = ipmi_checksum(frame.bytes.data(), 33, last - 1);
    return length;
}

}  // namespace

std::uint8_t ipmi_checksum(const std::uint8_t* bytes, int first, int last) {
    std::uint8_t sum = 0;
    for (int i = first; i <= last; ++i) {
        sum = static_cast<std::uint8_t>(sum + bytes[i]);
    }
    return static_cast<std::uint8_t>(0x100 - sum);
}

int reply_shift(const ReplyBuffer& reply) {
    return reply.bytes[4] != 0 ? 16 : 0;
}

bool reply_holds(const ReplyBuffer& reply, int position) {
    return position >= 0 && static_cast<std::size_t>(position) < reply.length;
}

int completion_code_position(const ReplyBuffer& reply) {
    return 20 + reply_shift(reply);
}

bool check_reply(const ReplyBuffer& reply, int length_position, CheckMode mode) {
    if (!reply_holds(reply, 4)) {
        return false;
    }
    const int b = reply.bytes[4] == 0 ? length_position - 16 : length_position;
    const bool code_holds = reply_holds(reply, b + 7) && reply.bytes[b + 7] == 0x00;
    bool sum_holds = false;
    if (reply_holds(reply, b)) {
        const int message_length = reply.bytes[b];
        // The message runs from b + 1 to b + L; it must reach the completion code (b + 7) and a
        // trailing checksum after it.
        if (message_length >= 8 && reply_holds(reply, b + message_length)) {
            sum_holds = ipmi_checksum(reply.bytes.data(), b + 1, b + message_length - 1) ==
                        reply.bytes[b + message_length];
        }
    }
    switch (mode) {
        case CHECK_FULL:
            return sum_holds && code_holds;
        case CHECK_SUM:
            return sum_holds;
        case CHECK_CODE:
            return code_holds;
    }
    return false;
}

bool answers_request(const ReplyBuffer& reply, const RequestFrame& frame) {
    if (!reply_holds(reply, 4)) {
        return false;
    }
    const int k = reply_shift(reply);
    if (!reply_holds(reply, 19 + k)) {
        return false;
    }
    const int request_header = frame.bytes[4] == 0 ? 0 : 16;
    const int request_netfn = frame.bytes[15 + request_header] >> 2;
    const int reply_netfn = reply.bytes[15 + k] >> 2;
    return reply_netfn == request_netfn + 1 &&
           reply.bytes[19 + k] == frame.bytes[19 + request_header];
}

std::uint32_t granted_sequence(const ReplyBuffer& activate_reply) {
    std::uint32_t sequence = 0;
    for (int i = 3; i >= 0; --i) {
        sequence = (sequence << 8) | activate_reply.bytes[42 + i];
    }
    return sequence;
}

std::size_t build_get_session_challenge(RequestFrame& frame, const char (&user_name)[17]) {
    auto& b = frame.bytes;
    b[0] = 0x06;
    b[1] = 0x00;
    b[2] = 0xFF;
    b[3] = 0x07;
    for (int i = 4; i <= 12; ++i) {
        b[i] = 0x00;  // no authentication, sequence number 0, session ID 0
    }
    b[13] = 0x18;
    b[14] = 0x20;
    b[15] = NETFN_APP;
    b[16] = ipmi_checksum(b.data(), 14, 15);
    b[17] = 0x21;
    b[18] = 0x00;
    b[19] = CMD_GET_SESSION_CHALLENGE;
    b[20] = AUTH_STRAIGHT_PASSWORD;
    for (std::size_t i = 0; i < CREDENTIAL_FIELD_SIZE; ++i) {
        b[21 + i] = static_cast<std::uint8_t>(user_name[i]);
    }
    b[37] = ipmi_checksum(b.data(), 17, 36);
    return GET_SESSION_CHALLENGE_LENGTH;
}

std::size_t build_activate_session(RequestFrame& frame, const ReplyBuffer& challenge_reply,
                                   const char (&password)[17]) {
    auto& b = frame.bytes;
    b[4] = AUTH_STRAIGHT_PASSWORD;
    for (int i = 0; i < 4; ++i) {
        b[9 + i] = challenge_reply.bytes[21 + i];  // temporary session ID, as it stands
    }
    for (std::size_t i = 0; i < CREDENTIAL_FIELD_SIZE; ++i) {
        b[13 + i] = static_cast<std::uint8_t>(password[i]);
    }
    put_message_header(frame, 0x1D, NETFN_APP, CMD_ACTIVATE_SESSION);
    b[36] = AUTH_STRAIGHT_PASSWORD;
    b[37] = PRIVILEGE_ADMINISTRATOR;
    for (int i = 0; i < 16; ++i) {
        b[38 + i] = challenge_reply.bytes[25 + i];
    }
    b[54] = 0x01;  // initial outbound sequence number 1
    b[55] = 0x00;
    b[56] = 0x00;
    b[57] = 0x00;
    return seal(frame, ACTIVATE_SESSION_LENGTH);
}

std::size_t build_set_privilege_level(RequestFrame& frame, const ReplyBuffer& activate_reply,
                                      std::uint32_t sequence) {
    put_sequence(frame, sequence);
    for (int i = 0; i < 4; ++i) {
        frame.bytes[9 + i] = activate_reply.bytes[38 + i];  // the session ID, as it stands
    }
    put_message_header(frame, 0x08, NETFN_APP, CMD_SET_PRIVILEGE_LEVEL);
    frame.bytes[36] = PRIVILEGE_ADMINISTRATOR;
    return seal(frame, SET_PRIVILEGE_LEVEL_LENGTH);
}

std::size_t build_get_session_info(RequestFrame& frame, std::uint32_t sequence) {
    put_sequence(frame, sequence);
    put_message_header(frame, 0x08, NETFN_APP, CMD_GET_SESSION_INFO);
    frame.bytes[36] = 0x00;  // the session carrying the request
    return seal(frame, GET_SESSION_INFO_LENGTH);
}

std::size_t build_reserve_sel(RequestFrame& frame, std::uint32_t sequence) {
    put_sequence(frame, sequence);
    put_message_header(frame, 0x07, NETFN_STORAGE, CMD_RESERVE_SEL);
    return seal(frame, RESERVE_SEL_LENGTH);
}

std::size_t build_get_sel_entry(RequestFrame& frame, std::uint32_t sequence,
                                std::uint8_t record_id_low, std::uint8_t record_id_high) {
    put_sequence(frame, sequence);
    put_message_header(frame, 0x0D, NETFN_STORAGE, CMD_GET_SEL_ENTRY);
    frame.bytes[36] = 0x00;  // no reservation
    frame.bytes[37] = 0x00;
    frame.bytes[38] = record_id_low;
    frame.bytes[39] = record_id_high;
    frame.bytes[40] = 0x00;  // from the record's first byte
    frame.bytes[41] = 0xFF;  // the whole record
    return seal(frame, GET_SEL_ENTRY_LENGTH);
}

namespace {

std::size_t build_clear_sel(RequestFrame& frame, std::uint32_t sequence, std::uint8_t action) {
    put_sequence(frame, sequence);
    put_message_header(frame, 0x0D, NETFN_STORAGE, CMD_CLEAR_SEL);
    frame.bytes[38] = 'C';
    frame.bytes[39] = 'L';
    frame.bytes[40] = 'R';
    frame.bytes[41] = action;
    return seal(frame, CLEAR_SEL_LENGTH);
}

}  // namespace

std::size_t build_clear_sel_initiate(RequestFrame& frame, std::uint32_t sequence,
                                     std::uint8_t reservation_low, std::uint8_t reservation_high) {
    frame.bytes[36] = reservation_low;
    frame.bytes[37] = reservation_high;
    return build_clear_sel(frame, sequence, 0xAA);
}

std::size_t build_clear_sel_status(RequestFrame& frame, std::uint32_t sequence) {
    return build_clear_sel(frame, sequence, 0x00);
}

std::size_t build_close_session(RequestFrame& frame, std::uint32_t sequence) {
    put_sequence(frame, sequence);
    put_message_header(frame, 0x0B, NETFN_APP, CMD_CLOSE_SESSION);
    for (int i = 0; i < 4; ++i) {
        frame.bytes[36 + i] = frame.bytes[9 + i];  // the session ID, as Activate Session gave it
    }
    return seal(frame, CLOSE_SESSION_LENGTH);
}

}  // namespace tovrin
