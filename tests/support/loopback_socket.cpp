#include "tests/support/loopback_socket.h"

#include <algorithm>

namespace tovrin::testing {

std::optional<Datagram> LoopbackSocket::receive(std::chrono::milliseconds limit) {
    using std::chrono::milliseconds;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        milliseconds left = limit;
        if (limit.count() >= 0) {
            left = std::max(milliseconds(0), std::chrono::ceil<milliseconds>(
                                                 deadline - std::chrono::steady_clock::now()));
        }
        if (!wait_until_readable(handle_, left)) {
            return std::nullopt;
        }
        if (auto datagram = take_queued(); datagram && is_loopback(datagram->from.address)) {
            return datagram;
        }
    }
}

// One byte: a zero-length wake once went unseen under Wine, and the serving thread slept until its
// next due answer; a one-byte datagram is an ordinary one.
void LoopbackSocket::wake() const {
    send_to({0}, local_);
}

bool sent_from_bound_address() {
    LoopbackSocket sender(LOOPBACK_ADDRESS + 2);
    LoopbackSocket receiver;
    sender.send_to({0}, receiver.local());
    const std::optional<Datagram> datagram = receiver.receive(std::chrono::seconds(10));
    return datagram && datagram->from == sender.local();
}

}  // namespace tovrin::testing
