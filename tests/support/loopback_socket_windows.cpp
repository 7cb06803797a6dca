// The test peers' sockets over Windows Sockets. Each socket holds one start of the sockets library.
#include <winsock2.h>
// After winsock2.h, which it needs.
#include <mswsock.h>

#include <stdexcept>
#include <system_error>

#include "tests/support/loopback_socket.h"

namespace tovrin::testing {

namespace {

SOCKET socket_of(std::intptr_t handle) {
    return static_cast<SOCKET>(handle);
}

sockaddr_in socket_address(const Endpoint& endpoint) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(endpoint.address);
    address.sin_port = htons(endpoint.port);
    return address;
}

std::system_error socket_error(const char* what) {
    return std::system_error(WSAGetLastError(), std::system_category(), what);
}

}  // namespace

LoopbackSocket::LoopbackSocket(std::uint32_t address, std::uint16_t port) {
    if (!is_loopback(address)) {
        throw std::invalid_argument("test sockets stay on 127.0.0.0/8");
    }
    WSADATA data{};
    if (const int error = WSAStartup(MAKEWORD(2, 2), &data); error != 0) {
        throw std::system_error(error, std::system_category(), "loopback socket start-up");
    }
    const SOCKET created = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (created == INVALID_SOCKET) {
        const std::system_error error = socket_error("loopback socket");
        WSACleanup();
        throw error;
    }
    sockaddr_in bound = socket_address({address, port});
    int length = sizeof bound;
    if (::bind(created, reinterpret_cast<const sockaddr*>(&bound), sizeof bound) != 0 ||
        ::getsockname(created, reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
        const std::system_error error = socket_error("loopback socket bind");
        closesocket(created);
        WSACleanup();
        throw error;
    }
    // Windows would otherwise fail the next receive after a datagram to a closed port.
    BOOL report_unreachable = FALSE;
    DWORD returned = 0;
    WSAIoctl(created, SIO_UDP_CONNRESET, &report_unreachable, sizeof report_unreachable, nullptr, 0,
             &returned, nullptr, nullptr);
    u_long nonblocking = 1;
    ioctlsocket(created, FIONBIO, &nonblocking);
    handle_ = static_cast<std::intptr_t>(created);
    local_ = {address, ntohs(bound.sin_port)};
}

LoopbackSocket::~LoopbackSocket() {
    closesocket(socket_of(handle_));
    WSACleanup();
}

bool LoopbackSocket::send_to(const std::vector<std::uint8_t>& bytes, const Endpoint& to) const {
    if (!is_loopback(to.address)) {
        return false;
    }
    const sockaddr_in address = socket_address(to);
    return ::sendto(socket_of(handle_), reinterpret_cast<const char*>(bytes.data()),
                    static_cast<int>(bytes.size()), 0, reinterpret_cast<const sockaddr*>(&address),
                    sizeof address) != SOCKET_ERROR;
}

std::optional<Datagram> LoopbackSocket::take_queued() {
    std::vector<std::uint8_t> buffer(65536);
    sockaddr_in from{};
    int length = sizeof from;
    const int received =
        ::recvfrom(socket_of(handle_), reinterpret_cast<char*>(buffer.data()),
                   static_cast<int>(buffer.size()), 0, reinterpret_cast<sockaddr*>(&from), &length);
    if (received == SOCKET_ERROR) {
        return std::nullopt;
    }
    buffer.resize(static_cast<std::size_t>(received));
    return Datagram{std::move(buffer), {ntohl(from.sin_addr.s_addr), ntohs(from.sin_port)}};
}

bool wait_until_readable(std::intptr_t socket, std::chrono::milliseconds limit) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket_of(socket), &readable);
    const long milliseconds = static_cast<long>(limit.count());
    timeval left{milliseconds / 1000, (milliseconds % 1000) * 1000};
    return select(0, &readable, nullptr, nullptr, limit.count() < 0 ? nullptr : &left) > 0;
}

}  // namespace tovrin::testing
