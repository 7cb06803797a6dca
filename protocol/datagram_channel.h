// One UDP socket per worker, connected to the controller: one request datagram out, then a wait for
// the datagram that comes back. The socket layer of each platform lives in its own source file.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>

#include "protocol/lan_frame.h"

namespace tovrin {

struct DatagramChannel {
    std::intptr_t socket = -1;
};

// await_reply's failures; a result of 0 or more is the length of the datagram received.
constexpr int AWAIT_FAILED = -1;       // a receive error, or an abort seen while nothing was queued
constexpr int AWAIT_TIMED_OUT = -2;    // the deadline passed with nothing queued
constexpr int AWAIT_UNREACHABLE = -3;  // the controller's host said its port is closed (ICMP)

constexpr int AWAIT_SLICE_MS = 20;  // longest kernel wait before abort_requested is read again

using ReplyDeadline = std::chrono::steady_clock::time_point;

// How long await_reply's next kernel wait may last: AWAIT_SLICE_MS, or less to end at the deadline;
// negative once the deadline has passed.
int next_wait_slice_ms(ReplyDeadline deadline);

// Fails for an address that is not four strict decimal octets, for 0.0.0.0 and
// 255.255.255.255, and when no socket can be made. Only the controller's datagrams get through.
bool open_channel(DatagramChannel& channel, const char* address_text, std::uint16_t port);

// Drops whatever is already queued (a late or duplicated answer to an earlier request), then
// sends the first `length` bytes of the frame as one datagram.
bool send_frame(DatagramChannel& channel, const RequestFrame& frame, std::size_t length);

void set_nonblocking(DatagramChannel& channel);

// Waits in the kernel, in slices of AWAIT_SLICE_MS, for one datagram and copies it into `reply`.
// A datagram already queued wins over an abort request. Pass ReplyDeadline::max() to wait until
// the abort.
int await_reply(DatagramChannel& channel, ReplyBuffer& reply,
                const std::atomic<std::uint32_t>& abort_requested, ReplyDeadline deadline);

void close_channel(DatagramChannel& channel);

// Four decimal octets 0-255 without leading zeros, signs or blanks; the result in host order.
bool parse_ipv4_address(const char* text, std::uint32_t& address);

}  // namespace tovrin
