#include "worker/session_worker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "tests/support/worker_harness.h"

namespace tovrin::testing {
namespace {

using Codes = std::vector<std::uint32_t>;

TEST(SessionWorker, LogonReportsEachStepAndConnects) {
    WorkerRig rig;
    ASSERT_TRUE(rig.connect());
    rig.finish();
    const auto events = rig.link.events();
    EXPECT_EQ(
        std::vector<LinkEvent>(events.begin(), events.begin() + 4),
        (std::vector<LinkEvent>{status("Get Session Challenge"), status("Activate Session Request"),
                                status("Set Privilege Level"), note(UM_CONNECTED)}));
    std::vector<std::uint8_t> sent = rig.commands();
    sent.resize(3);
    EXPECT_EQ(sent, (std::vector<std::uint8_t>{GET_SESSION_CHALLENGE, ACTIVATE_SESSION,
                                               SET_PRIVILEGE_LEVEL}));
}

TEST(SessionWorker, SequenceNumbersFollowWhatTheControllerGrants) {
    const struct {
        std::uint32_t granted;
        std::vector<std::uint32_t> expected;  // three logon requests, then two keep-alives
    } cases[] = {
        {0, {0, 0, 1, 2, 3}},
        {0x12345678, {0, 0, 0x12345678, 0x12345679, 0x1234567A}},
        {0xFFFFFFFF, {0, 0, 0xFFFFFFFF, 0, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.granted);
        WorkerRig rig;
        rig.bmc.set_granted_sequence(c.granted);
        rig.start();
        ASSERT_TRUE(rig.bmc.wait_for_requests(5));
        rig.finish();
        std::vector<std::uint32_t> seen = rig.sequences();
        seen.resize(5);
        EXPECT_EQ(seen, c.expected);
        EXPECT_EQ(rig.link.notifications(), (Codes{UM_CONNECTED, UM_DISCONNECTED}));
    }
}

TEST(SessionWorker, KeepAlivesReportAroundTheirExchange) {
    WorkerRig rig;
    ASSERT_TRUE(rig.connect());
    // The third keep-alive: the second one's exchange is over, not cut short by the abort.
    ASSERT_TRUE(rig.bmc.wait_for_requests(6));
    rig.finish();
    const std::vector<std::uint8_t> sent = rig.commands();
    EXPECT_TRUE(std::all_of(sent.begin() + 3, sent.end(),
                            [](std::uint8_t command) { return command == GET_SESSION_INFO; }));
    const auto events = rig.link.events();
    const std::vector<LinkEvent> keep_alive = {status("Session Timed Out"), status("Connected")};
    EXPECT_EQ(std::vector<LinkEvent>(events.begin() + 4, events.begin() + 6), keep_alive);
    EXPECT_EQ(std::vector<LinkEvent>(events.begin() + 6, events.begin() + 8), keep_alive);
}

TEST(SessionWorker, KeepAliveComesEverySeventyFivePasses) {
    // A dump into a file that cannot be opened costs no exchange and is reported in the pass that
    // takes it up; asking again at each report makes every pass leave one mark.
    WorkerRig rig;
    std::strcpy(rig.control.dump_path, "/nonexistent-folder/sel.txt");
    rig.control.dump_requested = 1;
    rig.link.on_notify = [&rig](std::uint32_t code) {
        if (code == UM_SEL_FAILED) {
            rig.control.dump_requested = 1;
        }
    };
    rig.start();
    ASSERT_TRUE(rig.bmc.wait_for_requests(5));
    rig.finish();
    std::vector<int> passes_before_keep_alive;
    int passes = 0;
    for (const LinkEvent& event : rig.link.events()) {
        if (event.code == UM_SEL_FAILED) {
            ++passes;
        } else if (event.text == "Session Timed Out") {
            passes_before_keep_alive.push_back(passes);
            passes = 0;
        }
    }
    passes_before_keep_alive.resize(2);
    EXPECT_EQ(passes_before_keep_alive, (std::vector<int>{75, 75}));
}

TEST(SessionWorker, FailedExchangesEndTheWorker) {
    const struct {
        const char* name;
        std::uint8_t command;
        Reply reply;
        Codes notifications;
        std::size_t requests;
    } cases[] = {
        {"activation refused",
         ACTIVATE_SESSION,
         Reply{.completion_code = 0x86},
         {UM_LOGON_ABORTED},
         2},
        {"activation with a bad checksum",
         ACTIVATE_SESSION,
         Reply{.bad_checksum = true},
         {UM_LOGON_ABORTED},
         2},
        {"activation cut short", ACTIVATE_SESSION, Reply{.truncate_to = 44}, {UM_LOGON_ABORTED}, 2},
        {"challenge cut short",
         GET_SESSION_CHALLENGE,
         Reply{.truncate_to = 40},
         {UM_LOGON_ABORTED},
         1},
        {"privilege refused",
         SET_PRIVILEGE_LEVEL,
         Reply{.completion_code = 0x81},
         {UM_LOGON_ABORTED},
         3},
        {"keep-alive refused",
         GET_SESSION_INFO,
         Reply{.completion_code = 0xD4},
         {UM_CONNECTED, UM_DISCONNECTED},
         4},
        {"keep-alive with a bad checksum",
         GET_SESSION_INFO,
         Reply{.bad_checksum = true},
         {UM_CONNECTED, UM_DISCONNECTED},
         4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WorkerRig rig;
        rig.bmc.script(c.command, c.reply);
        rig.run();
        EXPECT_EQ(rig.link.notifications(), c.notifications);
        EXPECT_EQ(rig.bmc.requests().size(), c.requests);
    }
}

TEST(SessionWorker, AbortDuringASilentWait) {
    WorkerRig rig;
    rig.bmc.script(GET_SESSION_CHALLENGE, Reply{.silent = true});
    rig.start();
    ASSERT_TRUE(rig.bmc.wait_for_requests(1));
    rig.control.abort_requested = 1;
    ASSERT_TRUE(rig.link.wait_for(UM_LOGON_ABORTED));
    EXPECT_EQ(rig.link.notifications(), Codes{UM_LOGON_ABORTED});
    EXPECT_EQ(rig.bmc.requests().size(), 1u);
}

TEST(SessionWorker, AbortRightAfterLogonSendsNothingMore) {
    WorkerRig rig;
    rig.control.settings.tick_ms = 60000;  // a sleep would outlast the test's wait
    rig.link.on_notify = [&rig](std::uint32_t code) {
        if (code == UM_CONNECTED) {
            rig.control.abort_requested = 1;  // Disconnect pressed as the session came up
        }
    };
    rig.start();
    ASSERT_TRUE(rig.link.wait_for(UM_DISCONNECTED));
    EXPECT_EQ(rig.link.notifications(), (Codes{UM_CONNECTED, UM_DISCONNECTED}));
    EXPECT_EQ(rig.bmc.requests().size(), 3u);
}

TEST(SessionWorker, IgnoresSpoofedMismatchedAndDuplicatedDatagrams) {
    WorkerRig rig;
    rig.bmc.script(GET_SESSION_CHALLENGE, Reply{.delay = std::chrono::milliseconds(300)});
    rig.bmc.script(ACTIVATE_SESSION, Reply{.copies = 3});
    rig.bmc.script(SET_PRIVILEGE_LEVEL, Reply{.copies = 2});
    rig.start();
    ASSERT_TRUE(rig.bmc.wait_for_requests(1));
    // While the real challenge reply is on its way: a forged one from another port, and an answer
    // to another command from the controller's own port.
    const std::vector<std::uint8_t> challenge = rig.bmc.requests()[0].bytes;
    const std::vector<std::uint8_t> forged_data(20, 0xEE);
    ASSERT_TRUE(rig.bmc.send_unsolicited(reply_datagram(challenge, 0x00, forged_data), true));
    std::vector<std::uint8_t> other_request = challenge;
    other_request[19] = ACTIVATE_SESSION;
    ASSERT_TRUE(rig.bmc.send_unsolicited(reply_datagram(other_request, 0x00, forged_data)));
    ASSERT_TRUE(rig.link.wait_for(UM_CONNECTED));
    ASSERT_TRUE(rig.bmc.wait_for_requests(5));  // two keep-alives after the duplicates
    rig.finish();
    const Request activate = rig.bmc.requests()[1];
    EXPECT_TRUE(std::equal(FakeBmc::TEMPORARY_SESSION_ID.begin(),
                           FakeBmc::TEMPORARY_SESSION_ID.end(), activate.bytes.begin() + 9));
    EXPECT_EQ(rig.link.notifications(), (Codes{UM_CONNECTED, UM_DISCONNECTED}));
}

TEST(SessionWorker, BadAddressSendsNothing) {
    for (const char* address :
         {"127.0.0.1.5", "0.0.0.0", "255.255.255.255", "127.000.0.1", "0x7f.0.0.1", "bmc"}) {
        SCOPED_TRACE(address);
        WorkerRig rig;
        std::strcpy(rig.control.logon.address_text, address);
        rig.run();
        EXPECT_EQ(rig.link.events(), std::vector<LinkEvent>{note(UM_LOGON_ABORTED)});
        EXPECT_TRUE(rig.bmc.requests().empty());
    }
}

}  // namespace
}  // namespace tovrin::testing
