// The test peers' sockets over POSIX sockets.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>

#include "tests/support/loopback_socket.h"

namespace tovrin::testing {

namespace {

sockaddr_in socket_address(const Endpoint& endpoint) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(endpoint.address);
    address.sin_port = htons(endpoint.port);
    return address;
}

}  // namespace

LoopbackSocket::LoopbackSocket(std::uint32_t address, std::uint16_t port) {
    if (!is_loopback(address)) {
        throw std::invalid_argument("test sockets stay on 127.0.0.0/8");
    }
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        throw std::system_error(errno, std::generic_category(), "loopback socket");
    }
    sockaddr_in bound = socket_address({address, port});
    socklen_t length = sizeof bound;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&bound), sizeof bound) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
        const int error = errno;
        ::close(fd);
        throw std::system_error(error, std::generic_category(), "loopback socket bind");
    }
    handle_ = fd;
    local_ = {address, ntohs(bound.sin_port)};
}

LoopbackSocket::~LoopbackSocket() {
    ::close(static_cast<int>(handle_));
}

bool LoopbackSocket::send_to(const std::vector<std::uint8_t>& bytes, const Endpoint& to) const {
    if (!is_loopback(to.address)) {
        return false;
    }
    const sockaddr_in address = socket_address(to);
    return ::sendto(static_cast<int>(handle_), bytes.data(), bytes.size(), 0,
                    reinterpret_cast<const sockaddr*>(&address), sizeof address) >= 0;
}

std::optional<Datagram> LoopbackSocket::take_queued() {
    std::vector<std::uint8_t> buffer(65536);
    sockaddr_in from{};
    socklen_t length = sizeof from;
    const ssize_t received = ::recvfrom(static_cast<int>(handle_), buffer.data(), buffer.size(),
                                        MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &length);
    if (received < 0) {
        return std::nullopt;
    }
    buffer.resize(static_cast<std::size_t>(received));
    return Datagram{std::move(buffer), {ntohl(from.sin_addr.s_addr), ntohs(from.sin_port)}};
}

bool wait_until_readable(std::intptr_t socket, std::chrono::milliseconds limit) {
    pollfd waiting{static_cast<int>(socket), POLLIN, 0};
    const int timeout = limit.count() < 0 ? -1 : static_cast<int>(limit.count());
    for (;;) {
        const int ready = ::poll(&waiting, 1, timeout);
        if (ready >= 0 || errno != EINTR) {
            return ready > 0;
        }
    }
}

}  // namespace tovrin::testing
