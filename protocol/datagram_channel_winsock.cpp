// The channel over Windows Sockets. Each open channel holds one start of the sockets library, which
// its close gives back: WSACleanup runs once per worker.
#include <winsock2.h>

#include "protocol/datagram_channel.h"

namespace tovrin {

namespace {

SOCKET socket_of(const DatagramChannel& channel) {
    return static_cast<SOCKET>(channel.socket);
}

void start_sockets_library() {
    WSADATA data{};
    // A failed start shows up as a failure of socket().
    WSAStartup(MAKEWORD(2, 2), &data);
    if (data.wVersion != MAKEWORD(2, 2)) {
        WSAStartup(MAKEWORD(1, 1), &data);
    }
}

// Waits up to `milliseconds` for a datagram (or an error) to be queued on the socket.
bool wait_readable(SOCKET socket, long milliseconds) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket, &readable);
    timeval limit{milliseconds / 1000, (milliseconds % 1000) * 1000};
    return select(0, &readable, nullptr, nullptr, &limit) > 0;
}

// Windows reports an ICMP port-unreachable on the next receive; Wine only in the socket's pending
// error, which is therefore read whenever a wait ends empty.
bool port_unreachable_error(int error) {
    return error == WSAECONNRESET || error == WSAECONNREFUSED;
}

bool pending_port_unreachable(SOCKET socket) {
    int error = 0;
    int length = sizeof error;
    return getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) ==
               0 &&
           port_unreachable_error(error);
}

}  // namespace

bool open_channel(DatagramChannel& channel, const char* address_text, std::uint16_t port) {
    std::uint32_t address = 0;
    if (!parse_ipv4_address(address_text, address)) {
        return false;
    }
    start_sockets_library();
    const SOCKET created = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (created == INVALID_SOCKET) {
        WSACleanup();
        return false;
    }
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(port);
    destination.sin_addr.s_addr = htonl(address);
    // A connected socket receives only the controller's datagrams.
    if (::connect(created, reinterpret_cast<const sockaddr*>(&destination), sizeof destination) !=
        0) {
        closesocket(created);
        WSACleanup();
        return false;
    }
    channel.socket = static_cast<std::intptr_t>(created);
    return true;
}

bool send_frame(DatagramChannel& channel, const RequestFrame& frame, std::size_t length) {
    char stale[REPLY_BUFFER_CAPACITY];
    while (wait_readable(socket_of(channel), 0) &&
           ::recv(socket_of(channel), stale, sizeof stale, 0) >= 0) {
    }
    return ::send(socket_of(channel), reinterpret_cast<const char*>(frame.bytes.data()),
                  static_cast<int>(length), 0) != SOCKET_ERROR;
}

void set_nonblocking(DatagramChannel& channel) {
    u_long nonblocking = 1;
    ioctlsocket(socket_of(channel), FIONBIO, &nonblocking);
}

int await_reply(DatagramChannel& channel, ReplyBuffer& reply,
                const std::atomic<std::uint32_t>& abort_requested, ReplyDeadline deadline) {
    const SOCKET socket = socket_of(channel);
    for (;;) {
        const int received = ::recv(socket, reinterpret_cast<char*>(reply.bytes.data()),
                                    static_cast<int>(reply.bytes.size()), 0);
        if (received != SOCKET_ERROR) {
            reply.length = static_cast<std::size_t>(received);
            return received;
        }
        const int error = WSAGetLastError();
        if (error == WSAEMSGSIZE) {
            // A datagram larger than the buffer is taken cut short, as on POSIX.
            reply.length = reply.bytes.size();
            return static_cast<int>(reply.length);
        }
        if (port_unreachable_error(error)) {
            return AWAIT_UNREACHABLE;
        }
        if (error != WSAEWOULDBLOCK || abort_requested.load() != 0) {
            return AWAIT_FAILED;
        }
        const int slice_ms = next_wait_slice_ms(deadline);
        if (slice_ms < 0) {
            return AWAIT_TIMED_OUT;
        }
        if (!wait_readable(socket, slice_ms) && pending_port_unreachable(socket)) {
            return AWAIT_UNREACHABLE;
        }
    }
}

void close_channel(DatagramChannel& channel) {
    if (channel.socket >= 0) {
        closesocket(socket_of(channel));
        WSACleanup();
        channel.socket = -1;
    }
}

}  // namespace tovrin
