// The fake BMC's wire format is checked here against hand-made requests, so that a product test
// that fails points at the product and not at its peer.
#include "tests/support/fake_bmc.h"

#include <gtest/gtest.h>

#include <numeric>
#include <stdexcept>

#include "tests/support/closed_port.h"
#include "tests/support/loopback_socket.h"

namespace tovrin::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

const std::array<std::uint8_t, 16> PASSWORD{'s', 'e', 'c', 'r', 'e', 't'};

std::uint8_t sum(Bytes::const_iterator first, Bytes::const_iterator last) {
    return static_cast<std::uint8_t>(std::accumulate(first, last, 0u));
}

// Lays out a request as a console does: plain when `session_id` is absent, else with the password.
Bytes request(std::uint8_t netfn, std::uint8_t command, const Bytes& data,
              const std::array<std::uint8_t, 4>* session_id = nullptr, std::uint32_t sequence = 0) {
    Bytes out{0x06, 0x00, 0xFF, 0x07, std::uint8_t(session_id ? 0x04 : 0x00)};
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(sequence >> (8 * i)));
    }
    if (session_id) {
        out.insert(out.end(), session_id->begin(), session_id->end());
        out.insert(out.end(), PASSWORD.begin(), PASSWORD.end());
    } else {
        out.insert(out.end(), 4, 0x00);
    }
    out.push_back(static_cast<std::uint8_t>(7 + data.size()));
    const std::size_t message = out.size();
    out.insert(out.end(), {0x20, std::uint8_t(netfn << 2)});
    out.push_back(static_cast<std::uint8_t>(-sum(out.begin() + message, out.end())));
    out.insert(out.end(), {0x21, 0x00, command});
    out.insert(out.end(), data.begin(), data.end());
    out.push_back(static_cast<std::uint8_t>(-sum(out.begin() + message + 3, out.end())));
    return out;
}

class Console {
  public:
    explicit Console(std::uint16_t bmc_port, std::uint32_t bmc_address = LOOPBACK_ADDRESS)
        : bmc_{bmc_address, bmc_port} {}

    void send(const Bytes& bytes) { socket_.send_to(bytes, bmc_); }
    // The next datagram and where it came from (port 0 when none came: a missing answer fails the
    // test instead of hanging it).
    std::pair<Bytes, Endpoint> receive_from() {
        std::optional<Datagram> datagram = socket_.receive(std::chrono::seconds(10));
        if (!datagram) {
            return {};
        }
        return {datagram->bytes, datagram->from};
    }
    Bytes receive() { return receive_from().first; }
    Bytes exchange(const Bytes& bytes) {
        send(bytes);
        return receive();
    }

    // Challenge, activation and privilege, checked only as far as a later step needs them.
    void log_on() {
        exchange(request(0x06, 0x39, Bytes(17, 0x00)));
        Bytes activate{0x04, 0x04};
        activate.insert(activate.end(), FakeBmc::CHALLENGE.begin(), FakeBmc::CHALLENGE.end());
        activate.insert(activate.end(), {0x01, 0x00, 0x00, 0x00});
        exchange(request(0x06, 0x3A, activate, &FakeBmc::TEMPORARY_SESSION_ID));
        exchange(request(0x06, 0x3B, {0x04}, &FakeBmc::SESSION_ID, 1));
    }
    void send_in_session(std::uint8_t netfn, std::uint8_t command, const Bytes& data) {
        send(request(netfn, command, data, &FakeBmc::SESSION_ID, ++sequence_));
    }
    Bytes in_session(std::uint8_t netfn, std::uint8_t command, const Bytes& data) {
        send_in_session(netfn, command, data);
        return receive();
    }

  private:
    LoopbackSocket socket_;
    Endpoint bmc_;
    std::uint32_t sequence_ = 1;
};

// Both checksums hold and the message length matches the datagram.
void expect_well_formed(const Bytes& reply) {
    ASSERT_GE(reply.size(), 21u);
    const std::size_t base = reply[4] == 0 ? 13 : 29;
    ASSERT_EQ(reply.size(), base + 1 + reply[base]);
    EXPECT_EQ(sum(reply.begin() + base + 1, reply.begin() + base + 4), 0);
    EXPECT_EQ(sum(reply.begin() + base + 4, reply.end()), 0);
}

Bytes slice(const Bytes& bytes, std::size_t first, std::size_t count) {
    return Bytes(bytes.begin() + first, bytes.begin() + first + count);
}

TEST(FakeBmc, LogonRepliesTakeThePlainThenTheAuthenticatedLayout) {
    FakeBmc bmc;
    bmc.set_granted_sequence(0x04030201);
    Console console(bmc.port());

    const Bytes challenge = console.exchange(request(0x06, 0x39, Bytes(17, 0x00)));
    expect_well_formed(challenge);
    EXPECT_EQ(slice(challenge, 0, 5), (Bytes{0x06, 0x00, 0xFF, 0x07, 0x00}));
    EXPECT_EQ(slice(challenge, 14, 7), (Bytes{0x21, 0x1C, 0xC3, 0x20, 0x00, 0x39, 0x00}));
    EXPECT_EQ(slice(challenge, 21, 4),
              Bytes(FakeBmc::TEMPORARY_SESSION_ID.begin(), FakeBmc::TEMPORARY_SESSION_ID.end()));
    EXPECT_EQ(slice(challenge, 25, 16),
              Bytes(FakeBmc::CHALLENGE.begin(), FakeBmc::CHALLENGE.end()));

    Bytes data{0x04, 0x04};
    data.insert(data.end(), FakeBmc::CHALLENGE.begin(), FakeBmc::CHALLENGE.end());
    data.insert(data.end(), {0x01, 0x00, 0x00, 0x00});
    const Bytes activate =
        console.exchange(request(0x06, 0x3A, data, &FakeBmc::TEMPORARY_SESSION_ID));
    expect_well_formed(activate);
    EXPECT_EQ(activate[4], 0x04);
    EXPECT_EQ(slice(activate, 9, 4),
              Bytes(FakeBmc::TEMPORARY_SESSION_ID.begin(), FakeBmc::TEMPORARY_SESSION_ID.end()));
    EXPECT_EQ(slice(activate, 13, 16), Bytes(PASSWORD.begin(), PASSWORD.end()));
    EXPECT_EQ(slice(activate, 30, 8), (Bytes{0x21, 0x1C, 0xC3, 0x20, 0x00, 0x3A, 0x00, 0x04}));
    EXPECT_EQ(slice(activate, 38, 4),
              Bytes(FakeBmc::SESSION_ID.begin(), FakeBmc::SESSION_ID.end()));
    EXPECT_EQ(slice(activate, 42, 5), (Bytes{0x01, 0x02, 0x03, 0x04, 0x04}));

    const Bytes privilege = console.exchange(request(0x06, 0x3B, {0x04}, &FakeBmc::SESSION_ID, 1));
    expect_well_formed(privilege);
    EXPECT_EQ(slice(privilege, 35, 3), (Bytes{0x3B, 0x00, 0x04}));
    for (const Request& seen : bmc.requests()) {
        EXPECT_EQ(seen.problem, "") << "command " << int(seen.command);
    }
}

TEST(FakeBmc, SelEntriesFollowTheChainAndAClearEmptiesTheLog) {
    FakeBmc bmc;
    std::array<std::uint8_t, 16> first{}, second{};
    first.fill(0x11);
    second.fill(0x22);
    bmc.set_sel(sel_chain({first, second}));
    bmc.set_erase_in_progress_polls(1);
    Console console(bmc.port());
    console.log_on();

    const Bytes one = console.in_session(0x0A, 0x43, {0x00, 0x00, 0x00, 0x00, 0x00, 0xFF});
    expect_well_formed(one);
    EXPECT_EQ(slice(one, 29, 8), (Bytes{0x1A, 0x21, 0x2C, 0xB3, 0x20, 0x00, 0x43, 0x00}));
    EXPECT_EQ(slice(one, 37, 5), (Bytes{0x02, 0x00, 0x01, 0x00, 0x11}));
    const Bytes two = console.in_session(0x0A, 0x43, {0x00, 0x00, one[37], one[38], 0x00, 0xFF});
    EXPECT_EQ(slice(two, 37, 5), (Bytes{0xFF, 0xFF, 0x02, 0x00, 0x22}));
    const Bytes missing = console.in_session(0x0A, 0x43, {0x00, 0x00, 0x03, 0x00, 0x00, 0xFF});
    expect_well_formed(missing);
    EXPECT_EQ(missing.size(), 38u);
    EXPECT_EQ(missing[36], 0xCB);

    EXPECT_EQ(slice(console.in_session(0x0A, 0x42, {}), 36, 3), (Bytes{0x00, 0x01, 0x00}));
    EXPECT_EQ(slice(console.in_session(0x0A, 0x42, {}), 36, 3), (Bytes{0x00, 0x02, 0x00}));
    EXPECT_EQ(console.in_session(0x0A, 0x47, {0x01, 0x00, 'C', 'L', 'R', 0xAA})[36], 0xC5);
    EXPECT_EQ(slice(console.in_session(0x0A, 0x47, {0x02, 0x00, 'C', 'L', 'R', 0xAA}), 36, 2),
              (Bytes{0x00, 0x00}));
    EXPECT_EQ(bmc.sel().size(), 2u);
    EXPECT_EQ(slice(console.in_session(0x0A, 0x47, {0x02, 0x00, 'C', 'L', 'R', 0x00}), 36, 2),
              (Bytes{0x00, 0x01}));
    EXPECT_TRUE(bmc.sel().empty());
    EXPECT_EQ(console.in_session(0x0A, 0x43, {0x00, 0x00, 0x00, 0x00, 0x00, 0xFF})[36], 0xCB);
}

TEST(FakeBmc, AScriptBendsOnlyTheNextAnswerToItsCommand) {
    struct Case {
        const char* name;
        Reply reply;
        void (*check)(const Bytes& reply, Endpoint from, std::uint16_t bmc_port);
    };
    const Case cases[] = {
        {"bad trailing checksum", Reply{.bad_checksum = true},
         [](const Bytes& r, Endpoint, std::uint16_t) {
             EXPECT_EQ(sum(r.begin() + 30, r.begin() + 33), 0);
             EXPECT_EQ(sum(r.begin() + 33, r.end()), 1);
         }},
        {"bad header checksum", Reply{.bad_header_checksum = true},
         [](const Bytes& r, Endpoint, std::uint16_t) {
             EXPECT_EQ(sum(r.begin() + 30, r.begin() + 33), 1);
             EXPECT_EQ(sum(r.begin() + 33, r.end()), 0);
         }},
        {"other command", Reply{.command = 0x43},
         [](const Bytes& r, Endpoint, std::uint16_t) {
             expect_well_formed(r);
             EXPECT_EQ(r[35], 0x43);
         }},
        {"completion code", Reply{.completion_code = 0xD4},
         [](const Bytes& r, Endpoint, std::uint16_t) {
             expect_well_formed(r);
             EXPECT_EQ(slice(r, 35, 2), (Bytes{0x42, 0xD4}));
             EXPECT_EQ(r.size(), 38u);
         }},
        {"cut short", Reply{.truncate_to = 21},
         [](const Bytes& r, Endpoint, std::uint16_t) { EXPECT_EQ(r.size(), 21u); }},
        {"other port", Reply{.from_other_port = true},
         [](const Bytes& r, Endpoint from, std::uint16_t bmc_port) {
             expect_well_formed(r);
             EXPECT_NE(from.port, bmc_port);
             EXPECT_NE(from.port, 0);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeBmc bmc;
        Console console(bmc.port());
        console.log_on();
        bmc.script(0x42, c.reply);
        console.send_in_session(0x0A, 0x42, {});
        const auto [bent, from] = console.receive_from();
        c.check(bent, from, bmc.port());
        const Bytes next = console.in_session(0x0A, 0x42, {});
        expect_well_formed(next);
        EXPECT_EQ(slice(next, 35, 4), (Bytes{0x42, 0x00, 0x02, 0x00}));
    }
}

TEST(FakeBmc, DuplicateLateAndUnsolicitedDatagramsArrive) {
    FakeBmc bmc;
    Console console(bmc.port());
    console.log_on();
    bmc.script(0x42, Reply{.copies = 2});
    bmc.script(0x3D, Reply{.delay = std::chrono::milliseconds(100)});
    bmc.script(0x3D, Reply{.delay = std::chrono::minutes(1)});

    console.send_in_session(0x0A, 0x42, {});
    const Bytes first = console.receive();
    EXPECT_EQ(console.receive(), first);
    EXPECT_EQ(console.in_session(0x06, 0x3D, {0x00})[35], 0x3D);
    // While the next answer waits, the fake goes on answering.
    console.send_in_session(0x06, 0x3D, {0x00});
    EXPECT_EQ(console.in_session(0x0A, 0x42, {})[35], 0x42);

    EXPECT_TRUE(bmc.send_unsolicited({0x01, 0x02}, true));
    const auto [unsolicited, from] = console.receive_from();
    EXPECT_EQ(unsolicited, (Bytes{0x01, 0x02}));
    EXPECT_NE(from.port, bmc.port());
}

TEST(FakeBmc, ServesAtTheLoopbackAddressAndPortItIsGiven) {
    const std::uint32_t address = LOOPBACK_ADDRESS + 2;
    const std::uint16_t port = closed_loopback_port();
    FakeBmc bmc("127.0.0.3", port);
    EXPECT_EQ(bmc.port(), port);
    Console console(port, address);
    console.send(request(0x06, 0x39, Bytes(17, 0x00)));
    const auto [challenge, from] = console.receive_from();
    expect_well_formed(challenge);
    if (!sent_from_bound_address()) {
        GTEST_SKIP() << "this socket layer sends from 127.0.0.1 whatever 127.0.0.x it is bound to";
    }
    EXPECT_EQ(from, (Endpoint{address, port}));
    EXPECT_TRUE(bmc.send_unsolicited({0x01}, true));
    EXPECT_EQ(console.receive_from().second.address, address) << "the second socket shares it";
}

TEST(FakeBmc, RefusesAnAddressOutsideLoopback) {
    for (const char* elsewhere :
         {"10.1.2.3", "192.168.0.1", "128.0.0.1", "0.0.0.0", "localhost", "127.0.0.1 "}) {
        EXPECT_THROW(FakeBmc(elsewhere, 0), std::invalid_argument) << '"' << elsewhere << '"';
    }
}

TEST(FakeBmc, RequestsItCannotPlaceAreRecordedWithTheProblemAndDropped) {
    FakeBmc bmc;
    Console console(bmc.port());
    console.log_on();
    Bytes bad_sum = request(0x0A, 0x42, {}, &FakeBmc::SESSION_ID, 2);
    ++bad_sum.back();
    const std::array<std::uint8_t, 4> stranger{1, 2, 3, 4};
    console.send(bad_sum);
    console.send(request(0x0A, 0x42, {}, &stranger, 3));
    console.send(request(0x0A, 0x47, {0x00, 0x00, 'C', 'L', 'X', 0xAA}, &FakeBmc::SESSION_ID, 4));

    // Only the last one is answered, with CCh.
    EXPECT_EQ(slice(console.receive(), 35, 2), (Bytes{0x47, 0xCC}));
    const std::vector<Request> seen = bmc.requests();
    ASSERT_EQ(seen.size(), 6u);
    EXPECT_EQ(seen[3].problem, "trailing checksum");
    EXPECT_EQ(seen[4].problem, "not in the active session");
    EXPECT_EQ(seen[5].problem, "Clear SEL without the letters CLR");
    EXPECT_EQ(seen[5].sequence, 4u);
    EXPECT_EQ(seen[5].data, (Bytes{0x00, 0x00, 'C', 'L', 'X', 0xAA}));
}

}  // namespace
}  // namespace tovrin::testing
