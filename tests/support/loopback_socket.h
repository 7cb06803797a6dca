// A UDP socket for the test peers, bound to an address in 127.0.0.0/8: the tests' traffic never
// leaves the machine. The socket calls of each platform live in their own source file.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace tovrin::testing {

constexpr std::uint32_t LOOPBACK_ADDRESS = 0x7F000001;  // 127.0.0.1, in host order

struct Endpoint {
    std::uint32_t address = LOOPBACK_ADDRESS;  // host order
    std::uint16_t port = 0;

    bool operator==(const Endpoint&) const = default;
};

constexpr bool is_loopback(std::uint32_t address) {
    return address >> 24 == 127;
}

struct Datagram {
    std::vector<std::uint8_t> bytes;
    Endpoint from;
};

class LoopbackSocket {
  public:
    // Port 0 takes one of the system's choosing. Throws std::invalid_argument for an address
    // outside 127.0.0.0/8 and std::system_error when the socket cannot be made or bound.
    explicit LoopbackSocket(std::uint32_t address = LOOPBACK_ADDRESS, std::uint16_t port = 0);
    ~LoopbackSocket();
    LoopbackSocket(const LoopbackSocket&) = delete;
    LoopbackSocket& operator=(const LoopbackSocket&) = delete;

    Endpoint local() const { return local_; }
    std::uint16_t port() const { return local_.port; }

    // One datagram; false when the system refused it or `to` is not a loopback address.
    bool send_to(const std::vector<std::uint8_t>& bytes, const Endpoint& to) const;

    // The next datagram from a loopback address, waiting up to `limit` for one (no limit when
    // negative); nothing when none came in time. Receive errors (an earlier datagram's port
    // unreachable) and datagrams from elsewhere are passed over.
    std::optional<Datagram> receive(std::chrono::milliseconds limit);

    // Ends a receive that waits on another thread, or the next one: a one-byte datagram to itself.
    void wake() const;

  private:
    std::optional<Datagram> take_queued();  // without waiting; nothing on an error

    std::intptr_t handle_ = -1;
    Endpoint local_;
};

// Whether a datagram leaves from the 127.0.0.x its socket is bound to. Wine binds such a socket to
// every address and sends from 127.0.0.1, so a peer that expects 127.0.0.x drops the datagram.
bool sent_from_bound_address();

// True once a datagram is queued on another component's socket (not taken); false after `limit`.
bool wait_until_readable(std::intptr_t socket, std::chrono::milliseconds limit);

}  // namespace tovrin::testing
