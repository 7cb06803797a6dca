#include "sel/sel_clear.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/worker_harness.h"

namespace tovrin::testing {
namespace {

using Codes = std::vector<std::uint32_t>;
using Bytes = std::vector<std::uint8_t>;

// The requests after the three of the logon.
std::vector<Request> after_logon(const WorkerRig& rig) {
    const std::vector<Request> all = rig.bmc.requests();
    return std::vector<Request>(all.begin() + 3, all.end());
}

Bytes clear_data(const Request& request) {
    return Bytes(request.bytes.begin() + 36, request.bytes.begin() + 42);
}

TEST(SelClear, CompletedAtOnce) {
    WorkerRig rig;
    rig.control.clear_requested = 1;
    rig.start();
    ASSERT_TRUE(rig.link.wait_for(UM_SEL_CLEARED));
    rig.finish();
    const std::vector<Request> sent = after_logon(rig);
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[0].command, RESERVE_SEL);
    EXPECT_EQ(sent[1].command, CLEAR_SEL);
    EXPECT_EQ(clear_data(sent[1]), (Bytes{0x01, 0x00, 'C', 'L', 'R', 0xAA}));
    EXPECT_TRUE(sent.size() == 2 || sent[2].command != CLEAR_SEL) << "no status request";
    const auto events = rig.link.events();
    EXPECT_EQ(std::vector<LinkEvent>(events.begin() + 4, events.begin() + 6),
              (std::vector<LinkEvent>{status("Sending Clear SEL Request"), note(UM_SEL_CLEARED)}));
}

TEST(SelClear, PollsUntilTheEraseIsDone) {
    WorkerRig rig;
    rig.bmc.set_erase_in_progress_polls(4);  // the initiating reply and three status replies
    rig.link.on_notify = [&rig](std::uint32_t code) {
        if (code == UM_SEL_CLEARED) {
            rig.control.abort_requested = 1;
        }
    };
    rig.control.clear_requested = 1;
    rig.run();
    const std::vector<Request> sent = after_logon(rig);
    ASSERT_EQ(sent.size(), 6u);
    EXPECT_EQ(sent[0].command, RESERVE_SEL);
    for (std::size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i].sequence, i + 2);
        if (i > 0) {
            EXPECT_EQ(clear_data(sent[i]),
                      (Bytes{0x01, 0x00, 'C', 'L', 'R',
                             static_cast<std::uint8_t>(i == 1 ? 0xAA : 0x00)}));
        }
    }
    EXPECT_EQ(rig.link.notifications(), (Codes{UM_CONNECTED, UM_SEL_CLEARED, UM_DISCONNECTED}));
}

TEST(SelClear, StatusRepliesEndTheWaitOnlyWhenTheyProveTheEraseDone) {
    const struct {
        const char* name;
        Reply status_reply;
        std::size_t status_requests;  // status requests until the erase counts as done
    } cases[] = {
        {"completion code C5h", Reply{.completion_code = 0xC5}, 1},
        {"progress 11h", Reply{.data = Bytes{0x11}}, 1},
        {"progress 02h", Reply{.data = Bytes{0x02}}, 2},
        {"bad checksum", Reply{.data = Bytes{0x01}, .bad_checksum = true}, 2},
        {"completion code C0h", Reply{.completion_code = 0xC0, .data = Bytes{0x01}}, 2},
        {"no progress byte", Reply{.data = Bytes{}}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WorkerRig rig;
        rig.bmc.set_erase_in_progress_polls(1);  // the initiating reply says "in progress"
        rig.bmc.script(CLEAR_SEL, Reply{});
        rig.bmc.script(CLEAR_SEL, c.status_reply);
        rig.link.on_notify = [&rig](std::uint32_t code) {
            if (code == UM_SEL_CLEARED) {
                rig.control.abort_requested = 1;
            }
        };
        rig.control.clear_requested = 1;
        rig.run();
        EXPECT_EQ(after_logon(rig).size(), 2 + c.status_requests);
        EXPECT_EQ(rig.link.notifications(), (Codes{UM_CONNECTED, UM_SEL_CLEARED, UM_DISCONNECTED}));
    }
}

TEST(SelClear, RefusedReservationOrInitiationEndsTheSession) {
    const struct {
        const char* name;
        std::uint8_t command;
        Reply reply;
        std::size_t requests;
    } cases[] = {
        {"Reserve SEL refused", RESERVE_SEL, Reply{.completion_code = 0xC1}, 1},
        {"Reserve SEL with a bad checksum", RESERVE_SEL, Reply{.bad_checksum = true}, 1},
        {"initiation answered C5h", CLEAR_SEL, Reply{.completion_code = 0xC5}, 2},
        {"initiation with a bad checksum", CLEAR_SEL, Reply{.bad_checksum = true}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WorkerRig rig;
        rig.bmc.script(c.command, c.reply);
        rig.control.clear_requested = 1;
        rig.run();
        EXPECT_EQ(after_logon(rig).size(), c.requests);
        EXPECT_EQ(rig.link.notifications(), (Codes{UM_CONNECTED, UM_DISCONNECTED}));
    }
}

TEST(SelClear, DisconnectWhileTheEraseRunsSendsNothingMore) {
    WorkerRig rig;
    rig.control.settings.pace_ms = 50;
    rig.bmc.set_erase_in_progress_polls(1000);
    rig.control.clear_requested = 1;
    rig.start();
    ASSERT_TRUE(rig.bmc.wait_for_requests(6));  // the first status request has been answered
    rig.control.abort_requested = 1;
    rig.finish();
    EXPECT_EQ(rig.bmc.requests().size(), 6u);
    EXPECT_EQ(rig.link.notifications(), (Codes{UM_CONNECTED, UM_DISCONNECTED}));
}

TEST(SelClear, SecondClearReservesAgain) {
    WorkerRig rig;
    rig.control.clear_requested = 1;
    rig.start();
    ASSERT_TRUE(rig.link.wait_for(UM_SEL_CLEARED));
    rig.control.clear_requested = 1;
    ASSERT_TRUE(rig.link.wait_for(UM_SEL_CLEARED, 2));
    rig.finish();
    std::vector<Bytes> initiations;
    for (const Request& request : after_logon(rig)) {
        if (request.command == CLEAR_SEL) {
            initiations.push_back(clear_data(request));
        }
    }
    EXPECT_EQ(initiations, (std::vector<Bytes>{{0x01, 0x00, 'C', 'L', 'R', 0xAA},
                                               {0x02, 0x00, 'C', 'L', 'R', 0xAA}}));
}

}  // namespace
}  // namespace tovrin::testing
