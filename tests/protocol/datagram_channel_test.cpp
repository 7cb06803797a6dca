#include "protocol/datagram_channel.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>
#include <vector>

#include "tests/support/closed_port.h"

namespace tovrin {
namespace {

// A plain UDP socket on 127.0.0.1 standing in for the controller.
class Peer {
  public:
    Peer() {
        fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t size = sizeof address;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
    }
    ~Peer() { ::close(fd_); }
    std::uint16_t port() const { return port_; }

    // Receives one datagram and remembers who sent it.
    std::vector<std::uint8_t> receive() {
        std::vector<std::uint8_t> bytes(2048);
        socklen_t size = sizeof client_;
        const ssize_t n = ::recvfrom(fd_, bytes.data(), bytes.size(), 0,
                                     reinterpret_cast<sockaddr*>(&client_), &size);
        bytes.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
        return bytes;
    }
    void send(const std::vector<std::uint8_t>& bytes) {
        ::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&client_),
                 sizeof client_);
    }
    sockaddr_in client() const { return client_; }

  private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
    sockaddr_in client_{};
};

TEST(ParseIpv4Address, AcceptsOnlyFourStrictDecimalOctets) {
    const struct {
        const char* text;
        bool accepted;
    } cases[] = {
        {"127.0.0.1", true},   {"10.20.30.40", true}, {"255.255.255.254", true},
        {"0.0.0.1", true},     {"0.0.0.0", false},    {"255.255.255.255", false},
        {"127.0.0.01", false}, {"0x7f.0.0.1", false}, {"127.1", false},
        {"127.0.0", false},    {"127.0.0.1.", false}, {"127.0.0.256", false},
        {" 127.0.0.1", false}, {"127.0.0.1 ", false}, {"+1.2.3.4", false},
        {"1..2.3", false},     {"", false},           {"localhost", false},
        {"1.2.3.4444", false}, {"2130706433", false},
    };
    for (const auto& c : cases) {
        std::uint32_t address = 0;
        EXPECT_EQ(parse_ipv4_address(c.text, address), c.accepted) << '"' << c.text << '"';
    }
    std::uint32_t address = 0;
    ASSERT_TRUE(parse_ipv4_address("192.168.1.2", address));
    EXPECT_EQ(address, 0xC0A80102u);
}

TEST(OpenChannel, RefusesAnAddressItCannotTakeStrictly) {
    DatagramChannel channel;
    EXPECT_FALSE(open_channel(channel, "127.0.0.1x", 623));
    EXPECT_EQ(channel.socket, -1);
}

class ChannelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(open_channel(channel, "127.0.0.1", peer.port()));
        frame.bytes.fill(0x5A);
        ASSERT_TRUE(send_frame(channel, frame, 38));
        ASSERT_EQ(peer.receive().size(), 38u);
        set_nonblocking(channel);
    }
    void TearDown() override { close_channel(channel); }

    int await(ReplyDeadline deadline = ReplyDeadline::max()) {
        return await_reply(channel, reply, abort_requested, deadline);
    }

    Peer peer;
    DatagramChannel channel;
    RequestFrame frame;
    ReplyBuffer reply;
    std::atomic<std::uint32_t> abort_requested{0};
};

TEST_F(ChannelTest, DeliversDatagramsWhole) {
    peer.send({1, 2, 3});
    EXPECT_EQ(await(), 3);
    EXPECT_EQ(reply.length, 3u);
    EXPECT_EQ(reply.bytes[2], 3);

    peer.send(std::vector<std::uint8_t>(1024, 0xAB));
    EXPECT_EQ(await(), 1024);

    peer.send({});
    EXPECT_EQ(await(), 0);
    EXPECT_EQ(reply.length, 0u);
    EXPECT_EQ(reply.bytes[0], 0xAB)
        << "the buffer keeps earlier bytes; the length says they are gone";
}

TEST_F(ChannelTest, QueuedDatagramWinsOverAnAbort) {
    peer.send({7, 7});
    // The datagram is on its way; wait for it to be queued without taking it.
    pollfd waiting{static_cast<int>(channel.socket), POLLIN, 0};
    ASSERT_EQ(::poll(&waiting, 1, 5000), 1);
    abort_requested = 1;
    EXPECT_EQ(await(), 2);
    EXPECT_EQ(await(), AWAIT_FAILED) << "nothing queued any more: the abort is seen";
}

TEST_F(ChannelTest, AbortEndsAWaitForASilentPeer) {
    std::thread aborter([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        abort_requested = 1;
    });
    EXPECT_EQ(await(), AWAIT_FAILED);
    aborter.join();
}

TEST_F(ChannelTest, DeadlineEndsTheWait) {
    EXPECT_EQ(await(std::chrono::steady_clock::now() + std::chrono::milliseconds(30)),
              AWAIT_TIMED_OUT);
}

TEST_F(ChannelTest, IgnoresDatagramsFromAnyoneButTheController) {
    const sockaddr_in client = peer.client();
    const std::uint8_t spoof[] = {9, 9, 9};
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);  // the controller's address, another port
    ::sendto(fd, spoof, sizeof spoof, 0, reinterpret_cast<const sockaddr*>(&client), sizeof client);
    ::close(fd);
    peer.send({4, 4});
    EXPECT_EQ(await(), 2);
    EXPECT_EQ(reply.bytes[0], 4);
}

TEST_F(ChannelTest, SendingDropsWhatIsStillQueued) {
    peer.send({1});
    peer.send({2, 2});
    pollfd waiting{static_cast<int>(channel.socket), POLLIN, 0};
    ASSERT_EQ(::poll(&waiting, 1, 5000), 1);
    ASSERT_TRUE(send_frame(channel, frame, 37));
    EXPECT_EQ(peer.receive().size(), 37u);
    peer.send({3, 3, 3});
    EXPECT_EQ(await(), 3);
    EXPECT_EQ(reply.bytes[0], 3);
}

TEST(OpenChannel, ClosedPortIsReportedAsUnreachable) {
    DatagramChannel channel;
    ASSERT_TRUE(open_channel(channel, "127.0.0.1", testing::closed_loopback_port()));
    set_nonblocking(channel);
    RequestFrame frame;
    ASSERT_TRUE(send_frame(channel, frame, 38));
    ReplyBuffer reply;
    const std::atomic<std::uint32_t> never{0};
    EXPECT_EQ(await_reply(channel, reply, never,
                          std::chrono::steady_clock::now() + std::chrono::seconds(20)),
              AWAIT_UNREACHABLE);
    close_channel(channel);
}

}  // namespace
}  // namespace tovrin
