// How a session ends: Close Session where the front end asks for it, and a status line that says
// why the logon or the session failed, just before the worker's last notification.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "tests/support/closed_port.h"
#include "tests/support/temp_dir.h"
#include "tests/support/worker_harness.h"

namespace tovrin::testing {
namespace {

using Codes = std::vector<std::uint32_t>;

// The last status text before the worker's last notification.
std::string reason_before_the_end(const RecordingLink& link) {
    const std::vector<LinkEvent> events = link.events();
    std::string reason;
    for (std::size_t i = 0; i + 1 < events.size(); ++i) {
        if (events[i].code == 0) {
            reason = events[i].text;
        }
    }
    return reason;
}

TEST(SessionEnd, CloseSessionIsTheLastRequestOfASessionTheWorkerOpened) {
    const struct {
        const char* name;
        bool close_session;
        std::uint8_t scripted_command;
        Reply scripted;
        bool closed;
    } cases[] = {
        {"disconnect", true, 0, Reply{}, true},
        {"the windowed front ends' setting", false, 0, Reply{}, false},
        {"privilege refused after activation", true, SET_PRIVILEGE_LEVEL,
         Reply{.completion_code = 0x81}, true},
        {"activation refused: no session to close", true, ACTIVATE_SESSION,
         Reply{.completion_code = 0x81}, false},
        {"close not answered", true, CLOSE_SESSION, Reply{.silent = true}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WorkerRig rig;
        rig.control.settings.close_session = c.close_session;
        if (c.scripted_command != 0) {
            rig.bmc.script(c.scripted_command, c.scripted);
        }
        rig.link.on_notify = [&rig](std::uint32_t code) {
            if (code == UM_CONNECTED) {
                rig.control.abort_requested = 1;
            }
        };
        rig.run();
        const std::vector<Request> sent = rig.bmc.requests();
        ASSERT_FALSE(sent.empty());
        const Request& last = sent.back();
        EXPECT_EQ(last.command == CLOSE_SESSION, c.closed);
        EXPECT_EQ(std::count_if(sent.begin(), sent.end(),
                                [](const Request& r) { return r.command == CLOSE_SESSION; }),
                  c.closed ? 1 : 0);
        if (c.closed) {
            ASSERT_GE(sent.size(), 2u);
            EXPECT_EQ(last.bytes.size(), 41u);
            EXPECT_EQ(last.bytes[29], 0x0B) << "message length";
            EXPECT_EQ(last.sequence, sent[sent.size() - 2].sequence + 1);
            EXPECT_EQ(last.data, std::vector<std::uint8_t>(FakeBmc::SESSION_ID.begin(),
                                                           FakeBmc::SESSION_ID.end()));
        }
    }
}

TEST(SessionEnd, FailuresSayWhyJustBeforeTheLastNotification) {
    const struct {
        std::uint8_t command;
        Reply reply;
        const char* reason;
        std::uint32_t last;
    } cases[] = {
        {GET_SESSION_CHALLENGE, Reply{.completion_code = 0x81},
         "Get Session Challenge refused: invalid user name (81h)", UM_LOGON_ABORTED},
        {GET_SESSION_CHALLENGE, Reply{.completion_code = 0x82},
         "Get Session Challenge refused: null user name not enabled (82h)", UM_LOGON_ABORTED},
        {ACTIVATE_SESSION, Reply{.completion_code = 0x81},
         "Activate Session refused: no session slot available (81h)", UM_LOGON_ABORTED},
        {ACTIVATE_SESSION, Reply{.completion_code = 0x82},
         "Activate Session refused: no session slot available for this user (82h)",
         UM_LOGON_ABORTED},
        {ACTIVATE_SESSION, Reply{.completion_code = 0x83},
         "Activate Session refused: no session slot available for this user's privilege level "
         "(83h)",
         UM_LOGON_ABORTED},
        {ACTIVATE_SESSION, Reply{.completion_code = 0x84},
         "Activate Session refused: session sequence number out of range (84h)", UM_LOGON_ABORTED},
        {ACTIVATE_SESSION, Reply{.completion_code = 0x85},
         "Activate Session refused: invalid session ID (85h)", UM_LOGON_ABORTED},
        {ACTIVATE_SESSION, Reply{.completion_code = 0x86},
         "Activate Session refused: requested privilege level exceeds the user's or channel's "
         "limit (86h)",
         UM_LOGON_ABORTED},
        {SET_PRIVILEGE_LEVEL, Reply{.completion_code = 0x80},
         "Set Session Privilege Level refused: privilege level not available for this user (80h)",
         UM_LOGON_ABORTED},
        {SET_PRIVILEGE_LEVEL, Reply{.completion_code = 0x81},
         "Set Session Privilege Level refused: privilege level exceeds the user's or channel's "
         "limit (81h)",
         UM_LOGON_ABORTED},
        {ACTIVATE_SESSION, Reply{.completion_code = 0xC1},
         "Activate Session refused: command not supported (C1h)", UM_LOGON_ABORTED},
        {SET_PRIVILEGE_LEVEL, Reply{.completion_code = 0xC4},
         "Set Session Privilege Level refused: out of space (C4h)", UM_LOGON_ABORTED},
        {GET_SESSION_CHALLENGE, Reply{.completion_code = 0xC7},
         "Get Session Challenge refused: request data length invalid (C7h)", UM_LOGON_ABORTED},
        {GET_SESSION_INFO, Reply{.completion_code = 0xCC},
         "Get Session Info refused: invalid data field in request (CCh)", UM_DISCONNECTED},
        {RESERVE_SEL, Reply{.completion_code = 0xD4},
         "Reserve SEL refused: insufficient privilege level (D4h)", UM_DISCONNECTED},
        {CLEAR_SEL, Reply{.completion_code = 0xD5},
         "Clear SEL refused: not supported in the present state (D5h)", UM_DISCONNECTED},
        {ACTIVATE_SESSION, Reply{.completion_code = 0x9E}, "Activate Session refused (9Eh)",
         UM_LOGON_ABORTED},
        {ACTIVATE_SESSION, Reply{.bad_checksum = true},
         "Activate Session reply damaged: checksum does not match", UM_LOGON_ABORTED},
        {GET_SEL_ENTRY, Reply{.bad_checksum = true},
         "Get SEL Entry reply damaged: checksum does not match", UM_DISCONNECTED},
        {GET_SESSION_CHALLENGE, Reply{.truncate_to = 40}, "Get Session Challenge reply too short",
         UM_LOGON_ABORTED},
        {ACTIVATE_SESSION, Reply{.truncate_to = 44},
         "Activate Session reply damaged: checksum does not match", UM_LOGON_ABORTED},
        {SET_PRIVILEGE_LEVEL, Reply{.silent = true}, "No reply within 1 second", UM_LOGON_ABORTED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        const TempDir dir;
        WorkerRig rig;
        rig.control.settings.reply_timeout_ms = 1000;
        rig.bmc.set_sel(sel_chain({{}, {}}));
        rig.bmc.script(c.command, c.reply);
        if (c.command == GET_SEL_ENTRY) {
            rig.control.dump_requested = 1;
            std::strcpy(rig.control.dump_path, dir.path("sel.txt").string().c_str());
        } else if (c.command == RESERVE_SEL || c.command == CLEAR_SEL) {
            rig.control.clear_requested = 1;
        }
        rig.run();
        EXPECT_EQ(reason_before_the_end(rig.link), c.reason);
        EXPECT_EQ(rig.link.notifications().back(), c.last);
    }
}

TEST(SessionEnd, ClosedPortIsSaidToBeUnreachable) {
    WorkerRig rig;
    rig.control.settings.port = closed_loopback_port();
    rig.run();
    EXPECT_EQ(rig.link.events(), (std::vector<LinkEvent>{status("Get Session Challenge"),
                                                         status("The BMC's port is unreachable"),
                                                         note(UM_LOGON_ABORTED)}));
}

TEST(SessionEnd, UserAbortIsNotDressedUpAsAFailure) {
    WorkerRig rig;
    rig.bmc.script(GET_SESSION_CHALLENGE, Reply{.silent = true});
    rig.start();
    ASSERT_TRUE(rig.bmc.wait_for_requests(1));
    rig.finish();
    EXPECT_EQ(rig.link.events(),
              (std::vector<LinkEvent>{status("Get Session Challenge"), note(UM_LOGON_ABORTED)}));
}

TEST(SessionEnd, RequestStoredBeforeTheStartRunsWithoutAnIdleTick) {
    const TempDir dir;
    WorkerRig rig;
    rig.control.settings.tick_ms = 600000;  // an idle tick would outlast the test
    rig.bmc.set_sel(sel_chain({{}}));
    std::strcpy(rig.control.dump_path, dir.path("sel.txt").string().c_str());
    rig.control.dump_requested = 1;
    rig.link.on_notify = [&rig](std::uint32_t code) {
        if (code == UM_SEL_SAVED) {
            rig.control.abort_requested = 1;
        }
    };
    rig.start();
    ASSERT_TRUE(rig.link.wait_for(UM_DISCONNECTED));
    EXPECT_EQ(rig.link.notifications(), (Codes{UM_CONNECTED, UM_SEL_SAVED, UM_DISCONNECTED}));
}

}  // namespace
}  // namespace tovrin::testing
