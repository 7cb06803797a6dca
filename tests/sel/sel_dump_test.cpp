#include "sel/sel_dump.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/support/worker_harness.h"

namespace tovrin::testing {
namespace {

using Codes = std::vector<std::uint32_t>;
using Record = std::array<std::uint8_t, 16>;

// System event records with distinct sensor numbers and time stamps.
std::vector<Record> event_records(int count) {
    std::vector<Record> records;
    for (int i = 0; i < count; ++i) {
        records.push_back({0, 0, 0x02, static_cast<std::uint8_t>(i), 0x2C, 0x3B, 0x4A, 0x20, 0x00,
                           0x04, 0x07, static_cast<std::uint8_t>(i + 1), 0x6F, 0x02, 0xFF, 0xFF});
    }
    return records;
}

// The line's tail: the 16 record bytes in hex, then CR LF.
std::string raw_bytes(const Record& record) {
    std::string text;
    char hex[4];
    for (std::uint8_t byte : record) {
        std::snprintf(hex, sizeof hex, " %02X", byte);
        text += hex;
    }
    return text + "\r\n";
}

// Lines of the file, each with its CR LF; a trailing piece without one is kept as it is.
std::vector<std::string> lines_of(const std::string& content) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        const std::size_t end = content.find("\r\n", start);
        const std::size_t next = end == std::string::npos ? content.size() : end + 2;
        lines.push_back(content.substr(start, next - start));
        start = next;
    }
    return lines;
}

// A session that dumps the fake's log into a file of the test's own.
struct DumpRig {
    DumpRig() { use_path(dir.path("sel.txt").string()); }

    void use_path(const std::string& path) {
        std::strncpy(rig.control.dump_path, path.c_str(), sizeof rig.control.dump_path - 1);
    }

    void set_log(const std::vector<Record>& records) {
        log = sel_chain(records);
        rig.bmc.set_sel(log);
    }

    // Requests a dump before the first pass, so the first pass carries it out.
    void dump() {
        rig.control.dump_requested = 1;
        rig.start();
    }

    // Each line numbered from 1 and carrying the fake's record of the same place in the chain.
    void expect_lines(std::size_t count) {
        const std::vector<std::string> lines = lines_of(read_file(dir.path("sel.txt")));
        ASSERT_EQ(lines.size(), count);
        for (std::size_t i = 0; i < count; ++i) {
            EXPECT_EQ(lines[i].rfind(std::to_string(i + 1) + "=", 0), 0u) << lines[i];
            const std::string tail = raw_bytes(log[i].record);
            EXPECT_EQ(lines[i].substr(lines[i].size() - tail.size()), tail);
        }
    }

    std::vector<Request> sel_requests() const {
        std::vector<Request> out;
        for (const Request& request : rig.bmc.requests()) {
            if (request.command == GET_SEL_ENTRY) {
                out.push_back(request);
            }
        }
        return out;
    }

    TempDir dir;
    WorkerRig rig;
    std::vector<SelEntry> log;
};

TEST(SelDump, OneRecord) {
    DumpRig d;
    d.set_log(event_records(1));
    d.dump();
    ASSERT_TRUE(d.rig.link.wait_for(UM_SEL_SAVED));
    d.expect_lines(1);
    EXPECT_EQ(d.sel_requests().size(), 1u);
    d.rig.finish();
    EXPECT_EQ(d.rig.link.notifications(), (Codes{UM_CONNECTED, UM_SEL_SAVED, UM_DISCONNECTED}));
    const auto events = d.rig.link.events();
    EXPECT_EQ(std::vector<LinkEvent>(events.begin() + 4, events.begin() + 7),
              (std::vector<LinkEvent>{status("Opening file ..."), status("Requesting SEL data"),
                                      note(UM_SEL_SAVED)}));
}

TEST(SelDump, FollowsTheChainAndCountsOneSequenceNumberPerRequest) {
    DumpRig d;
    d.set_log(event_records(3));
    d.log[0].next_record_id = 0x000A;  // IDs need not be consecutive
    d.log[1].record_id = 0x000A;
    d.log[1].next_record_id = 0x0203;
    d.log[2].record_id = 0x0203;
    d.rig.bmc.set_sel(d.log);
    d.dump();
    ASSERT_TRUE(d.rig.link.wait_for(UM_SEL_SAVED));
    ASSERT_TRUE(d.rig.bmc.wait_for_requests(7));  // the dump, then a keep-alive
    d.rig.finish();
    d.expect_lines(3);
    const std::vector<Request> requests = d.sel_requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(
        std::vector<std::uint8_t>(requests[1].bytes.begin() + 38, requests[1].bytes.begin() + 40),
        (std::vector<std::uint8_t>{0x0A, 0x00}));
    EXPECT_EQ(
        std::vector<std::uint8_t>(requests[2].bytes.begin() + 38, requests[2].bytes.begin() + 40),
        (std::vector<std::uint8_t>{0x03, 0x02}));
    const std::vector<std::uint32_t> sequences = d.rig.sequences();
    EXPECT_EQ(std::vector<std::uint32_t>(sequences.begin() + 3, sequences.begin() + 7),
              (std::vector<std::uint32_t>{2, 3, 4, 5}));
    EXPECT_EQ(d.rig.bmc.requests()[6].command, GET_SESSION_INFO);
}

TEST(SelDump, FirstRequestRefusedAsNotPresentIsAnEmptyLog) {
    DumpRig d;
    const std::filesystem::path path = d.dir.path("sel.txt");
    {
        std::FILE* old = std::fopen(path.string().c_str(), "wb");
        std::fputs("what an earlier run wrote\r\n", old);
        std::fclose(old);
    }
    d.dump();  // the fake's log is empty: CBh
    ASSERT_TRUE(d.rig.link.wait_for(UM_SEL_EMPTY));
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
    d.rig.finish();
    EXPECT_EQ(d.rig.link.notifications(), (Codes{UM_CONNECTED, UM_SEL_EMPTY, UM_DISCONNECTED}));
}

TEST(SelDump, FirstRequestRefusedOtherwiseIsAFailureThatSaysWhy) {
    DumpRig d;
    d.set_log(event_records(2));
    d.rig.bmc.script(GET_SEL_ENTRY, Reply{.completion_code = 0xD4});
    d.dump();
    ASSERT_TRUE(d.rig.link.wait_for(UM_SEL_FAILED));
    EXPECT_EQ(d.rig.link.last_status(),
              "Get SEL Entry refused: insufficient privilege level (D4h)");
    d.rig.finish();
    EXPECT_EQ(d.rig.link.notifications(), (Codes{UM_CONNECTED, UM_SEL_FAILED, UM_DISCONNECTED}));
}

TEST(SelDump, BadReplyEndsTheSessionKeepingTheLinesBefore) {
    const struct {
        const char* name;
        int good_replies;
        Reply bad;
    } cases[] = {
        {"bad checksum at record 5", 4, Reply{.bad_checksum = true}},
        {"record 2 cut short", 1, Reply{.data = std::vector<std::uint8_t>{0x03, 0x00, 0x01}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DumpRig d;
        d.set_log(event_records(8));
        for (int i = 0; i < c.good_replies; ++i) {
            d.rig.bmc.script(GET_SEL_ENTRY, Reply{});
        }
        d.rig.bmc.script(GET_SEL_ENTRY, c.bad);
        d.rig.control.dump_requested = 1;
        d.rig.run();
        d.expect_lines(static_cast<std::size_t>(c.good_replies));
        EXPECT_EQ(d.rig.link.notifications(), (Codes{UM_CONNECTED, UM_DISCONNECTED}));
    }
}

TEST(SelDump, DisconnectDuringADumpKeepsTheLinesWritten) {
    DumpRig d;
    d.set_log(event_records(5));
    d.rig.bmc.script(GET_SEL_ENTRY, Reply{});
    d.rig.bmc.script(GET_SEL_ENTRY, Reply{});
    d.rig.bmc.script(GET_SEL_ENTRY, Reply{.silent = true});
    d.dump();
    ASSERT_TRUE(d.rig.bmc.wait_for_requests(6));
    d.rig.control.abort_requested = 1;
    ASSERT_TRUE(d.rig.link.wait_for(UM_DISCONNECTED));
    d.expect_lines(2);  // closed before the front end heard of the end
    d.rig.finish();
    EXPECT_EQ(d.rig.link.notifications(), (Codes{UM_CONNECTED, UM_DISCONNECTED}));
}

TEST(SelDump, SecondDumpTruncatesAndRenumbers) {
    DumpRig d;
    d.set_log(event_records(3));
    d.dump();
    ASSERT_TRUE(d.rig.link.wait_for(UM_SEL_SAVED));
    d.set_log(event_records(2));
    d.rig.control.dump_requested = 1;
    ASSERT_TRUE(d.rig.link.wait_for(UM_SEL_SAVED, 2));
    d.rig.finish();
    d.expect_lines(2);
    EXPECT_EQ(d.rig.link.notifications(),
              (Codes{UM_CONNECTED, UM_SEL_SAVED, UM_SEL_SAVED, UM_DISCONNECTED}));
}

TEST(SelDump, FileThatCannotBeOpenedLeavesTheSessionUp) {
    DumpRig d;
    d.use_path(d.dir.path("no-such-folder/sel.txt").string());
    d.set_log(event_records(2));
    d.dump();
    ASSERT_TRUE(d.rig.link.wait_for(UM_SEL_FAILED));
    EXPECT_EQ(d.rig.link.last_status(), "Error, Unable to open file");
    ASSERT_TRUE(d.rig.bmc.wait_for_requests(4));  // the next request is a keep-alive
    d.rig.finish();
    EXPECT_TRUE(d.sel_requests().empty());
    EXPECT_EQ(d.rig.link.notifications(), (Codes{UM_CONNECTED, UM_SEL_FAILED, UM_DISCONNECTED}));
}

TEST(SelDump, WriteFailureIsNeverReportedAsSaved) {
    if (!std::filesystem::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full here";
    }
    DumpRig d;
    d.use_path("/dev/full");
    d.set_log(event_records(3));
    d.dump();
    ASSERT_TRUE(d.rig.link.wait_for(UM_SEL_FAILED));
    EXPECT_EQ(d.rig.link.last_status(), "Error, Unable to write file");
    EXPECT_EQ(d.sel_requests().size(), 1u) << "the dump stops at the line that failed";
    ASSERT_TRUE(d.rig.bmc.wait_for_requests(5));  // the session goes on: a keep-alive
    d.rig.finish();
    EXPECT_EQ(d.rig.link.notifications(), (Codes{UM_CONNECTED, UM_SEL_FAILED, UM_DISCONNECTED}));
}

TEST(SelDump, ChainThatComesBackEndsTheDumpIncomplete) {
    DumpRig d;
    d.set_log(event_records(3));
    d.log[2].next_record_id = d.log[1].record_id;
    d.rig.bmc.set_sel(d.log);
    d.dump();
    ASSERT_TRUE(d.rig.link.wait_for(UM_SEL_FAILED));
    EXPECT_EQ(d.rig.link.last_status(), "Error, SEL read incomplete");
    d.expect_lines(3);
    EXPECT_EQ(d.sel_requests().size(), 3u);
}

TEST(SelDump, RefusedRecordIsAskedForTwiceMore) {
    const struct {
        int refusals;
        std::uint32_t outcome;
        std::size_t lines;
    } cases[] = {{2, UM_SEL_SAVED, 3}, {3, UM_SEL_FAILED, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.refusals);
        DumpRig d;
        d.set_log(event_records(3));
        d.rig.bmc.script(GET_SEL_ENTRY, Reply{});
        for (int i = 0; i < c.refusals; ++i) {
            d.rig.bmc.script(GET_SEL_ENTRY, Reply{.completion_code = 0xCA});
        }
        d.dump();
        ASSERT_TRUE(d.rig.link.wait_for(c.outcome));
        d.expect_lines(c.lines);
        std::vector<std::uint16_t> asked;
        for (const Request& request : d.sel_requests()) {
            asked.push_back(static_cast<std::uint16_t>(request.bytes[38] | request.bytes[39] << 8));
        }
        // The first record, then the refused second one as often as it was refused (and once more
        // when that try succeeds), then the third.
        std::vector<std::uint16_t> expected = {0};
        expected.insert(expected.end(), std::min(c.refusals, SEL_RECORD_RETRIES + 1),
                        d.log[1].record_id);
        if (c.outcome == UM_SEL_SAVED) {
            expected.push_back(d.log[1].record_id);
            expected.push_back(d.log[2].record_id);
        }
        EXPECT_EQ(asked, expected);
    }
}

TEST(SelDump, DumpAndClearInOnePassRunInThatOrder) {
    DumpRig d;
    d.set_log(event_records(2));
    d.rig.control.clear_requested = 1;
    d.dump();
    ASSERT_TRUE(d.rig.link.wait_for(UM_SEL_CLEARED));
    d.rig.finish();
    d.expect_lines(2);
    EXPECT_EQ(d.rig.link.notifications(),
              (Codes{UM_CONNECTED, UM_SEL_SAVED, UM_SEL_CLEARED, UM_DISCONNECTED}));
}

}  // namespace
}  // namespace tovrin::testing
