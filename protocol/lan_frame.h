// IPMI v1.5 LAN frames: the one request buffer a worker builds every request in, the reply buffer
// every datagram lands in, the checksums, the reply checks and one builder per request we send.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tovrin {

constexpr std::size_t REQUEST_FRAME_CAPACITY = 59;  // Activate Session, the longest request
constexpr std::size_t REPLY_BUFFER_CAPACITY = 1024;
constexpr std::size_t CREDENTIAL_FIELD_SIZE = 16;  // user name and password travel as 16 bytes

// Frame lengths of the requests.
constexpr std::size_t GET_SESSION_CHALLENGE_LENGTH = 38;
constexpr std::size_t ACTIVATE_SESSION_LENGTH = 59;
constexpr std::size_t SET_PRIVILEGE_LEVEL_LENGTH = 38;
constexpr std::size_t GET_SESSION_INFO_LENGTH = 38;
constexpr std::size_t RESERVE_SEL_LENGTH = 37;
constexpr std::size_t GET_SEL_ENTRY_LENGTH = 43;
constexpr std::size_t CLEAR_SEL_LENGTH = 43;
constexpr std::size_t CLOSE_SESSION_LENGTH = 41;

// Every caller checks replies with the length byte's position in the authenticated layout.
constexpr int REPLY_LENGTH_POSITION = 29;

// Never cleared: each request rewrites only its own bytes and the rest carry over from earlier
// requests (the session header written at logon travels with every later request).
struct RequestFrame {
    std::array<std::uint8_t, REQUEST_FRAME_CAPACITY> bytes{};
};

// Each datagram is copied in from byte 0; `length` is how many bytes the last one held. Bytes past
// it are left from earlier datagrams and are never read as data.
struct ReplyBuffer {
    std::array<std::uint8_t, REPLY_BUFFER_CAPACITY> bytes{};
    std::size_t length = 0;
};

enum CheckMode { CHECK_FULL = 0, CHECK_SUM = 1, CHECK_CODE = 2 };

// Two's complement of the 8-bit sum of bytes[first..last]; 0 for an empty range.
std::uint8_t ipmi_checksum(const std::uint8_t* bytes, int first, int last);

// 16 when the reply carries an authentication code (byte 4 non-zero), else 0.
int reply_shift(const ReplyBuffer& reply);

// True when the datagram holds byte `position`.
bool reply_holds(const ReplyBuffer& reply, int position);

// The sum test holds only for a message that lies wholly inside the datagram and is at least
// 8 bytes long; the code test only when the completion code lies inside the datagram.
bool check_reply(const ReplyBuffer& reply, int length_position, CheckMode mode);

// Position of the completion code (20 + shift); the response data start right after it.
int completion_code_position(const ReplyBuffer& reply);

// True when the reply is a response to the request in `frame`: response netFn (request netFn + 1)
// and the same command byte.
bool answers_request(const ReplyBuffer& reply, const RequestFrame& frame);

// Logon replies are read at fixed positions: the challenge reply's temporary session ID (21-24)
// and challenge (25-40), the Activate Session reply's session ID (38-41) and the sequence number
// the controller wants next (42-45). A shorter datagram does not hold them.
constexpr std::size_t CHALLENGE_REPLY_MIN_LENGTH = 41;
constexpr std::size_t ACTIVATE_REPLY_MIN_LENGTH = 46;
std::uint32_t granted_sequence(const ReplyBuffer& activate_reply);

// Builders. Each writes exactly the bytes its request owns, trailing checksum last, and returns
// the frame length to send.
std::size_t build_get_session_challenge(RequestFrame& frame, const char (&user_name)[17]);
std::size_t build_activate_session(RequestFrame& frame, const ReplyBuffer& challenge_reply,
                                   const char (&password)[17]);
std::size_t build_set_privilege_level(RequestFrame& frame, const ReplyBuffer& activate_reply,
                                      std::uint32_t sequence);
std::size_t build_get_session_info(RequestFrame& frame, std::uint32_t sequence);
std::size_t build_reserve_sel(RequestFrame& frame, std::uint32_t sequence);
std::size_t build_get_sel_entry(RequestFrame& frame, std::uint32_t sequence,
                                std::uint8_t record_id_low, std::uint8_t record_id_high);
std::size_t build_clear_sel_initiate(RequestFrame& frame, std::uint32_t sequence,
                                     std::uint8_t reservation_low, std::uint8_t reservation_high);
// A status poll keeps the reservation ID that the initiating request wrote.
std::size_t build_clear_sel_status(RequestFrame& frame, std::uint32_t sequence);
// Closes the session whose ID the session header carries.
std::size_t build_close_session(RequestFrame& frame, std::uint32_t sequence);

}  // namespace tovrin
