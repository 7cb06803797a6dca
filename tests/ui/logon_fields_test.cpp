#include "ui/logon_fields.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/ui/fake_view.h"

namespace tovrin::testing {
namespace {

using Calls = std::vector<ViewCall>;
using Bytes = std::vector<char>;

// What an earlier capture left: every byte set, so that a member written only in part shows.
constexpr char EARLIER = 0x7F;

const char* const REFUSED = "Invalid IP, User Name, or Password";

Bytes member(const char (&bytes)[17]) {
    return Bytes(bytes, bytes + 17);
}

Bytes captured(const std::string& text) {
    Bytes bytes(17, 0);
    std::copy(text.begin(), text.end(), bytes.begin());
    return bytes;
}

const Bytes earlier(17, EARLIER);

struct Rig {
    FakeView view;
    LogonFields fields;

    Rig(std::string address, std::string user, std::string password) {
        for (char* bytes : {fields.address_text, fields.user_name, fields.password}) {
            std::memset(bytes, EARLIER, sizeof fields.address_text);
        }
        view.boxes = {{IDC_ADDRESS, std::move(address)},
                      {IDC_USER, std::move(user)},
                      {IDC_PASSWORD, std::move(password)}};
    }
};

TEST(LogonFields, CapturesOrRefusesEachBox) {
    const std::string addr15 = "192.168.100.200";
    const std::string name16(16, 'u');
    const std::string pass16 = "p@ss word 123456";
    const struct {
        const char* name;
        std::string address, user, password;
        int refused;  // the box refused, or 0 when all three are captured
    } cases[] = {
        {"all at their limits", addr15, name16, pass16, 0},
        {"one character each", "h", "u", "p", 0},
        {"not an address at all", "bmc.example", "admin", " ", 0},
        {"address over its limit", addr15 + "0", name16, pass16, IDC_ADDRESS},
        {"user name over its limit", addr15, name16 + "u", pass16, IDC_USER},
        {"password over its limit", addr15, name16, pass16 + "7", IDC_PASSWORD},
        {"empty address", "", "admin", "secret", IDC_ADDRESS},
        {"empty user name", "10.0.0.2", "", "secret", IDC_USER},
        {"empty password", "10.0.0.2", "admin", "", IDC_PASSWORD},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig(c.address, c.user, c.password);

        const bool accepted = read_logon_fields(rig.view, rig.fields);

        EXPECT_EQ(accepted, c.refused == 0);
        // Boxes in order, each asked for its length before it is read; none after a refusal.
        Calls expected;
        const struct {
            int control;
            const std::string& text;
            const char (&bytes)[17];
        } boxes[] = {{IDC_ADDRESS, c.address, rig.fields.address_text},
                     {IDC_USER, c.user, rig.fields.user_name},
                     {IDC_PASSWORD, c.password, rig.fields.password}};
        bool reached_refused = false;
        for (const auto& box : boxes) {
            SCOPED_TRACE(box.control);
            if (reached_refused) {
                EXPECT_EQ(member(box.bytes), earlier);
                continue;
            }
            expected.push_back(text_length(box.control));
            if (box.control == c.refused) {
                reached_refused = true;
                EXPECT_EQ(member(box.bytes), earlier);
                continue;
            }
            expected.push_back(read_text(box.control, box.text.size() + 1));
            EXPECT_EQ(member(box.bytes), captured(box.text));
        }
        if (c.refused != 0) {
            expected.push_back(set_text(IDC_STATUS, REFUSED));
        }
        EXPECT_EQ(rig.view.calls, expected);
    }
}

// The worker sends the user name as a fixed 16-byte field: all of it must be the name.
TEST(LogonFields, SixteenCharacterNameFillsSixteenBytesAndOneZero) {
    Rig rig("10.0.0.2", "abcdefghijklmnop", "secret");
    ASSERT_TRUE(read_logon_fields(rig.view, rig.fields));
    EXPECT_EQ(std::memchr(rig.fields.user_name, 0, 16), nullptr);
    EXPECT_EQ(rig.fields.user_name[16], 0);
}

TEST(LogonFields, DumpFileChoice) {
    const struct {
        const char* name;
        bool confirms;
        std::string chosen;
        bool expected;
    } cases[] = {
        {"confirmed", true, "/srv/logs/new.txt", true},
        {"cancelled", false, "/srv/logs/new.txt", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeView view;
        view.chooser_confirms = c.confirms;
        view.chosen_path = c.chosen;
        char dump_path[DUMP_PATH_SIZE] = "/srv/logs/previous.txt";

        EXPECT_EQ(choose_dump_file(view, dump_path), c.expected);

        EXPECT_EQ(view.chooser_started_from, "/srv/logs/previous.txt");
        EXPECT_EQ(view.calls, (Calls{save_chooser(DUMP_PATH_SIZE)}));
        EXPECT_STREQ(dump_path, c.expected ? c.chosen.c_str() : "/srv/logs/previous.txt");
    }
}

}  // namespace
}  // namespace tovrin::testing
