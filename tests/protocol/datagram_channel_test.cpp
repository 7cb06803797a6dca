#include "protocol/datagram_channel.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "tests/support/closed_port.h"
#include "tests/support/loopback_socket.h"

namespace tovrin {
namespace {

using testing::Endpoint;
using testing::LoopbackSocket;
using testing::wait_until_readable;

constexpr std::chrono::seconds PATIENCE(10);  // a missing datagram fails the test, not hangs it

// A plain UDP socket on 127.0.0.1 standing in for the controller.
class Peer {
  public:
    std::uint16_t port() const { return socket_.port(); }

    // Receives one datagram and remembers who sent it.
    std::vector<std::uint8_t> receive() {
        std::optional<testing::Datagram> datagram = socket_.receive(PATIENCE);
        if (!datagram) {
            return {};
        }
        client_ = datagram->from;
        return datagram->bytes;
    }
    void send(const std::vector<std::uint8_t>& bytes) { socket_.send_to(bytes, client_); }
    Endpoint client() const { return client_; }

  private:
    LoopbackSocket socket_;
    Endpoint client_;
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
    ASSERT_TRUE(wait_until_readable(channel.socket, PATIENCE));
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
    LoopbackSocket().send_to({9, 9, 9}, peer.client());  // the controller's address, another port
    peer.send({4, 4});
    EXPECT_EQ(await(), 2);
    EXPECT_EQ(reply.bytes[0], 4);
}

TEST_F(ChannelTest, SendingDropsWhatIsStillQueued) {
    peer.send({1});
    peer.send({2, 2});
    ASSERT_TRUE(wait_until_readable(channel.socket, PATIENCE));
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
