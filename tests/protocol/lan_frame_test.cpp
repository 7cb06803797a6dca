#include "protocol/lan_frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace tovrin {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes frame_bytes(const RequestFrame& frame, std::size_t first, std::size_t last) {
    return Bytes(frame.bytes.begin() + first, frame.bytes.begin() + last + 1);
}

ReplyBuffer reply_of(const Bytes& datagram) {
    ReplyBuffer reply;
    std::copy(datagram.begin(), datagram.end(), reply.bytes.begin());
    reply.length = datagram.size();
    return reply;
}

// A well-formed reply datagram: plain layout for auth type 0, else with a 16-byte auth code.
Bytes reply_datagram(std::uint8_t auth_type, std::uint8_t netfn, std::uint8_t command,
                     std::uint8_t completion_code, const Bytes& data = {}) {
    Bytes out = {0x06, 0x00, 0xFF, 0x07, auth_type, 0, 0, 0, 0, 0x11, 0x22, 0x33, 0x44};
    if (auth_type != 0) {
        out.insert(out.end(), 16, 'p');
    }
    Bytes message = {
        0x81, static_cast<std::uint8_t>((netfn + 1) << 2), 0, 0x20, 0x00, command, completion_code};
    message[2] = ipmi_checksum(message.data(), 0, 1);
    message.insert(message.end(), data.begin(), data.end());
    message.push_back(ipmi_checksum(message.data(), 3, static_cast<int>(message.size()) - 1));
    out.push_back(static_cast<std::uint8_t>(message.size()));
    out.insert(out.end(), message.begin(), message.end());
    return out;
}

TEST(IpmiChecksum, KnownVectors) {
    const struct {
        Bytes bytes;
        std::uint8_t sum;
    } cases[] = {{{0x20, 0x18}, 0xC8},
                 {{0x20, 0x28}, 0xB8},
                 {{0x61, 0x62, 0x63}, 0xDA},
                 {{0x80, 0x80}, 0x00}};
    for (const auto& c : cases) {
        EXPECT_EQ(ipmi_checksum(c.bytes.data(), 0, static_cast<int>(c.bytes.size()) - 1), c.sum);
    }
    const std::uint8_t some[] = {1, 2, 3};
    EXPECT_EQ(ipmi_checksum(some, 2, 1), 0x00) << "an empty range";
}

// A frame that has been through the three logon requests, as every later request finds it.
class LoggedOnFrame : public ::testing::Test {
  protected:
    void SetUp() override {
        const char user[17] = "USERID";
        const char password[17] = "0123456789abcdef";  // fills the field, no zero byte
        build_get_session_challenge(frame, user);
        Bytes challenge_data = {0xA1, 0xA2, 0xA3, 0xA4};
        for (int i = 0; i < 16; ++i) {
            challenge_data.push_back(static_cast<std::uint8_t>(0xC0 + i));
        }
        build_activate_session(frame, reply_of(reply_datagram(0, 0x06, 0x39, 0, challenge_data)),
                               password);
        const Bytes activated = {0x04, 0x5A, 0x5B, 0x5C, 0x5D, 0, 0, 0, 0, 0x04};
        build_set_privilege_level(frame, reply_of(reply_datagram(4, 0x06, 0x3A, 0, activated)), 1);
    }
    RequestFrame frame;
};

TEST_F(LoggedOnFrame, SetPrivilegeLevelCarriesTheSessionFromActivation) {
    EXPECT_EQ(frame_bytes(frame, 0, 12),
              (Bytes{0x06, 0x00, 0xFF, 0x07, 0x04, 0x01, 0, 0, 0, 0x5A, 0x5B, 0x5C, 0x5D}));
    EXPECT_EQ(std::memcmp(&frame.bytes[13], "0123456789abcdef", 16), 0);
    EXPECT_EQ(frame_bytes(frame, 29, 37),
              (Bytes{0x08, 0x20, 0x18, 0xC8, 0x21, 0x00, 0x3B, 0x04, 0xA0}));
}

TEST_F(LoggedOnFrame, LaterRequestsRewriteOnlyTheirOwnBytes) {
    const Bytes session_header = frame_bytes(frame, 0, 28);
    struct Case {
        const char* name;
        std::size_t (*build)(RequestFrame&);
        std::size_t length;
        Bytes tail;  // bytes 29 to the end
    };
    const Case cases[] = {
        {"Get Session Info",
         [](RequestFrame& f) { return build_get_session_info(f, 2); },
         38,
         {0x08, 0x20, 0x18, 0xC8, 0x21, 0x00, 0x3D, 0x00, 0xA2}},
        {"Reserve SEL",
         [](RequestFrame& f) { return build_reserve_sel(f, 2); },
         37,
         {0x07, 0x20, 0x28, 0xB8, 0x21, 0x00, 0x42, 0x9D}},
        {"first Get SEL Entry",
         [](RequestFrame& f) { return build_get_sel_entry(f, 2, 0, 0); },
         43,
         {0x0D, 0x20, 0x28, 0xB8, 0x21, 0x00, 0x43, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x9D}},
        {"Clear SEL initiate",
         [](RequestFrame& f) { return build_clear_sel_initiate(f, 2, 0x01, 0x00); },
         43,
         {0x0D, 0x20, 0x28, 0xB8, 0x21, 0x00, 0x47, 0x01, 0x00, 0x43, 0x4C, 0x52, 0xAA, 0x0C}},
        {"Close Session",
         [](RequestFrame& f) { return build_close_session(f, 2); },
         41,
         {0x0B, 0x20, 0x18, 0xC8, 0x21, 0x00, 0x3C, 0x5A, 0x5B, 0x5C, 0x5D, 0x35}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RequestFrame copy = frame;
        ASSERT_EQ(c.build(copy), c.length);
        Bytes expected_header = session_header;
        expected_header[5] = 0x02;
        EXPECT_EQ(frame_bytes(copy, 0, 28), expected_header);
        EXPECT_EQ(frame_bytes(copy, 29, c.length - 1), c.tail);
    }
}

TEST_F(LoggedOnFrame, ClearSelStatusPollKeepsTheReservation) {
    build_clear_sel_initiate(frame, 2, 0x01, 0x00);
    ASSERT_EQ(build_clear_sel_status(frame, 0x01020304), 43u);
    EXPECT_EQ(frame_bytes(frame, 5, 8), (Bytes{0x04, 0x03, 0x02, 0x01}));
    EXPECT_EQ(frame_bytes(frame, 36, 42), (Bytes{0x01, 0x00, 0x43, 0x4C, 0x52, 0x00, 0xB6}));
}

TEST_F(LoggedOnFrame, GetSelEntryCarriesTheRecordIdAsGiven) {
    build_get_sel_entry(frame, 3, 0x0A, 0x00);
    EXPECT_EQ(frame_bytes(frame, 36, 41), (Bytes{0x00, 0x00, 0x0A, 0x00, 0x00, 0xFF}));
    EXPECT_EQ(frame.bytes[42], ipmi_checksum(frame.bytes.data(), 33, 41));
}

TEST(GetSessionChallenge, PlainLayoutWithZeroPaddedUserName) {
    RequestFrame frame;
    frame.bytes.fill(0xEE);
    const char user[17] = "ab";
    ASSERT_EQ(build_get_session_challenge(frame, user), 38u);
    EXPECT_EQ(frame_bytes(frame, 0, 21),
              (Bytes{0x06, 0x00, 0xFF, 0x07, 0,    0,    0,    0,    0,    0,    0,
                     0,    0,    0x18, 0x20, 0x18, 0xC8, 0x21, 0x00, 0x39, 0x04, 'a'}));
    EXPECT_EQ(frame.bytes[22], 'b');
    EXPECT_EQ(frame_bytes(frame, 23, 36), Bytes(14, 0x00));
    EXPECT_EQ(frame.bytes[37], ipmi_checksum(frame.bytes.data(), 17, 36));
}

TEST(ActivateSession, TakesTheChallengeAtPlainPositions) {
    RequestFrame frame;
    const char user[17] = "u";
    const char password[17] = "pw";
    build_get_session_challenge(frame, user);
    Bytes data = {1, 2, 3, 4};
    for (int i = 0; i < 16; ++i) {
        data.push_back(static_cast<std::uint8_t>(0x30 + i));
    }
    ASSERT_EQ(
        build_activate_session(frame, reply_of(reply_datagram(0, 0x06, 0x39, 0, data)), password),
        59u);
    EXPECT_EQ(frame_bytes(frame, 4, 12), (Bytes{0x04, 0, 0, 0, 0, 1, 2, 3, 4}));
    EXPECT_EQ(frame_bytes(frame, 13, 16), (Bytes{'p', 'w', 0, 0}));
    EXPECT_EQ(frame_bytes(frame, 29, 37),
              (Bytes{0x1D, 0x20, 0x18, 0xC8, 0x21, 0x00, 0x3A, 0x04, 0x04}));
    EXPECT_EQ(frame_bytes(frame, 38, 53), Bytes(data.begin() + 4, data.end()));
    EXPECT_EQ(frame_bytes(frame, 54, 57), (Bytes{1, 0, 0, 0}));
    EXPECT_EQ(frame.bytes[58], ipmi_checksum(frame.bytes.data(), 33, 57));
}

struct CheckCase {
    const char* name;
    Bytes datagram;
    bool full, sum, code;
};

Bytes with(Bytes bytes, std::size_t position, std::uint8_t value) {
    bytes.at(position) = value;
    return bytes;
}

Bytes cut(Bytes bytes, std::size_t length) {
    bytes.resize(length);
    return bytes;
}

TEST(CheckReply, Table) {
    const Bytes plain = reply_datagram(0, 0x0A, 0x43, 0x00, {0xFF, 0xFF});
    const Bytes shifted = reply_datagram(4, 0x0A, 0x43, 0x00, {0xFF, 0xFF});
    const Bytes other_auth = reply_datagram(2, 0x06, 0x3D, 0x00);
    const std::size_t header = 30,
                      trailer = shifted.size() - 1;  // shifted header checksum, trailing
    const CheckCase cases[] = {
        {"plain, good", plain, true, true, true},
        {"shifted, good", shifted, true, true, true},
        {"any non-zero auth type shifts", other_auth, true, true, true},
        {"completion code C1h", reply_datagram(4, 0x06, 0x3B, 0xC1), false, true, false},
        {"bad header checksum", with(shifted, header + 2, shifted[header + 2] + 1), false, false,
         true},
        {"bad trailing checksum", with(shifted, trailer, shifted[trailer] + 1), false, false, true},
        {"errors that cancel",
         with(with(shifted, header + 2, shifted[header + 2] + 1), trailer, shifted[trailer] - 1),
         true, true, true},
        {"message longer than the datagram", cut(shifted, shifted.size() - 1), false, false, true},
        {"completion code outside the datagram", cut(shifted, 36), false, false, false},
        {"message length 0", with(cut(shifted, 30), 29, 0), false, false, false},
        {"message length 1", with(with(cut(shifted, 31), 29, 1), 30, 0), false, false, false},
        {"empty datagram", Bytes{}, false, false, false},
    };
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ReplyBuffer reply = reply_of(c.datagram);
        EXPECT_EQ(check_reply(reply, REPLY_LENGTH_POSITION, CHECK_FULL), c.full);
        EXPECT_EQ(check_reply(reply, REPLY_LENGTH_POSITION, CHECK_SUM), c.sum);
        EXPECT_EQ(check_reply(reply, REPLY_LENGTH_POSITION, CHECK_CODE), c.code);
    }
}

TEST(CheckReply, NeverReadsBytesLeftByAnEarlierDatagram) {
    ReplyBuffer reply = reply_of(reply_datagram(4, 0x0A, 0x43, 0x00, {0xFF, 0xFF}));
    const Bytes shorter = reply_datagram(4, 0x0A, 0x43, 0x00);
    // Same header, but the length byte still claims the earlier, longer message.
    std::memcpy(reply.bytes.data(), shorter.data(), 30);
    reply.length = 30;
    EXPECT_FALSE(check_reply(reply, REPLY_LENGTH_POSITION, CHECK_SUM));
    EXPECT_FALSE(check_reply(reply, REPLY_LENGTH_POSITION, CHECK_CODE));
}

TEST(AnswersRequest, MatchesResponseNetFnAndCommand) {
    RequestFrame frame;
    const char user[17] = "u";
    build_get_session_challenge(frame, user);
    EXPECT_TRUE(answers_request(reply_of(reply_datagram(0, 0x06, 0x39, 0xC1)), frame));
    EXPECT_FALSE(answers_request(reply_of(reply_datagram(0, 0x06, 0x3A, 0)), frame))
        << "other command";
    EXPECT_FALSE(answers_request(reply_of(reply_datagram(0, 0x0A, 0x39, 0)), frame))
        << "other netFn";

    frame.bytes[4] = 0x04;  // authenticated from here on
    build_reserve_sel(frame, 2);
    EXPECT_TRUE(answers_request(reply_of(reply_datagram(4, 0x0A, 0x42, 0, {1, 0})), frame));
    EXPECT_FALSE(answers_request(reply_of(reply_datagram(4, 0x0A, 0x43, 0)), frame));
    EXPECT_FALSE(answers_request(reply_of(cut(reply_datagram(4, 0x0A, 0x42, 0), 35)), frame))
        << "command byte outside the datagram";
}

TEST(GrantedSequence, ReadsActivateReplyBytes42To45) {
    const Bytes activated = {0x04, 1, 2, 3, 4, 0x78, 0x56, 0x34, 0x12, 0x04};
    EXPECT_EQ(granted_sequence(reply_of(reply_datagram(4, 0x06, 0x3A, 0, activated))), 0x12345678u);
}

}  // namespace
}  // namespace tovrin
