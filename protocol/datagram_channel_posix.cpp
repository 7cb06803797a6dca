// The channel over POSIX sockets.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "protocol/datagram_channel.h"

namespace tovrin {

namespace {

int fd_of(const DatagramChannel& channel) {
    return static_cast<int>(channel.socket);
}

bool would_block(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

}  // namespace

bool open_channel(DatagramChannel& channel, const char* address_text, std::uint16_t port) {
    std::uint32_t address = 0;
    if (!parse_ipv4_address(address_text, address)) {
        return false;
    }
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(port);
    destination.sin_addr.s_addr = htonl(address);
    // A connected socket receives only the controller's datagrams.
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&destination), sizeof destination) != 0) {
        ::close(fd);
        return false;
    }
    channel.socket = fd;
    return true;
}

bool send_frame(DatagramChannel& channel, const RequestFrame& frame, std::size_t length) {
    std::uint8_t stale[REPLY_BUFFER_CAPACITY];
    while (::recv(fd_of(channel), stale, sizeof stale, MSG_DONTWAIT) >= 0) {
    }
    return ::send(fd_of(channel), frame.bytes.data(), length, 0) >= 0;
}

void set_nonblocking(DatagramChannel& channel) {
    const int flags = ::fcntl(fd_of(channel), F_GETFL, 0);
    ::fcntl(fd_of(channel), F_SETFL, flags | O_NONBLOCK);
}

int await_reply(DatagramChannel& channel, ReplyBuffer& reply,
                const std::atomic<std::uint32_t>& abort_requested, ReplyDeadline deadline) {
    for (;;) {
        // A datagram larger than the buffer is taken cut short.
        const ssize_t received =
            ::recv(fd_of(channel), reply.bytes.data(), reply.bytes.size(), MSG_DONTWAIT);
        if (received >= 0) {
            reply.length = static_cast<std::size_t>(received);
            return static_cast<int>(received);
        }
        if (errno == ECONNREFUSED) {
            return AWAIT_UNREACHABLE;
        }
        if (!would_block(errno) || abort_requested.load() != 0) {
            return AWAIT_FAILED;
        }
        const int slice_ms = next_wait_slice_ms(deadline);
        if (slice_ms < 0) {
            return AWAIT_TIMED_OUT;
        }
        pollfd waiting{fd_of(channel), POLLIN, 0};
        ::poll(&waiting, 1, slice_ms);
    }
}

void close_channel(DatagramChannel& channel) {
    if (channel.socket >= 0) {
        ::close(fd_of(channel));
        channel.socket = -1;
    }
}

}  // namespace tovrin
