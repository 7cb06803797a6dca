// tovrin-cli as a script sees it: arguments, password sources, exit statuses and outputs, against
// the fake BMC over loopback.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "tests/cli/cli_process.h"
#include "tests/support/fake_bmc.h"
#include "tests/support/temp_dir.h"

namespace tovrin::testing {
namespace {

using Args = std::vector<std::string>;
using Lines = std::vector<std::string>;

const std::map<std::string, std::string> PASSWORD = {{"TOVRIN_PASSWORD", "CH4NGEME"}};

std::vector<std::array<std::uint8_t, 16>> records(int count) {
    std::vector<std::array<std::uint8_t, 16>> out;
    for (int i = 0; i < count; ++i) {
        out.push_back({0, 0, 0x02, 0x1D, 0x2C, 0x3B, 0x4A, 0x20, 0x00, 0x04, 0x07,
                       static_cast<std::uint8_t>(i), 0x6F, 0x02, 0xFF, 0xFF});
    }
    return out;
}

class CliTest : public ::testing::Test {
  protected:
    Args with_bmc(const Args& rest) const { return bmc_args(bmc, rest); }

    FakeBmc bmc;
    TempDir dir;
};

TEST(CliArguments, EachMistakeIsOneLineAndExitStatusTwo) {
    const struct {
        Args args;
        const char* says;
    } cases[] = {
        {{}, "user name is required"},
        {{"127.0.0.1", "logon"}, "user name is required"},
        {{"-U", "", "127.0.0.1", "logon"}, "1 to 16"},
        {{"-U", "ABCDEFGHIJKLMNOPQ", "127.0.0.1", "logon"}, "1 to 16"},
        {{"-U", "u"}, "ADDRESS"},
        {{"-U", "u", "127.0.0.1"}, "ADDRESS"},
        {{"-U", "u", "300.1.1.1", "logon"}, "not an IPv4 address"},
        {{"-U", "u", "127.000.000.001", "logon"}, "not an IPv4 address"},
        {{"-U", "u", "127.0.0.1", "reboot"}, "unknown operation"},
        {{"-U", "u", "127.0.0.1", "dump"}, "dump takes one FILE"},
        {{"-U", "u", "127.0.0.1", "dump", "a", "b"}, "dump takes one FILE"},
        {{"-U", "u", "127.0.0.1", "dump", std::string(260, 'x')}, "1 to 259"},
        {{"-U", "u", "127.0.0.1", "clear", "now"}, "clear takes no"},
        {{"-U", "u", "127.0.0.1", "logon", "soon"}, "SECONDS"},
        {{"-U", "u", "127.0.0.1", "logon", "1", "2"}, "at most one"},
        {{"-U", "u", "-p", "0", "127.0.0.1", "logon"}, "--port"},
        {{"-U", "u", "--port=65536", "127.0.0.1", "logon"}, "--port"},
        {{"-U", "u", "--pace", "-1", "127.0.0.1", "logon"}, "--pace"},
        {{"-U", "u", "--timeout", "ten", "127.0.0.1", "logon"}, "--timeout"},
        {{"-U", "u", "--password", "x", "127.0.0.1", "logon"}, "unknown option --password"},
        {{"127.0.0.1", "logon", "-U"}, "-U needs a value"},
        // getopt_long would take these abbreviations for --user and --password-file
        {{"--us", "u", "127.0.0.1", "logon"}, "unknown option --us"},
        {{"-U", "u", "127.0.0.1", "logon", "--pass"}, "unknown option --pass"},
        {{"-U", "u", "--port=", "127.0.0.1", "logon"}, "--port"},
        {{"-U", "u", "--", "127.0.0.1", "logon", "-q"}, "SECONDS"},
    };
    for (const auto& c : cases) {
        const CliResult result = run_cli(c.args, PASSWORD);
        SCOPED_TRACE(result.err);
        EXPECT_EQ(result.exit_status, 2);
        ASSERT_EQ(lines(result.err).size(), 1u);
        EXPECT_NE(result.err.find(c.says), std::string::npos);
        EXPECT_EQ(result.err.rfind("tovrin-cli: ", 0), 0u);
    }
}

TEST(CliArguments, HelpAndVersion) {
    const CliResult help = run_cli({"--help"});
    EXPECT_EQ(help.exit_status, 0);
    EXPECT_NE(help.out.find("tovrin-cli [OPTIONS] ADDRESS dump FILE"), std::string::npos);
    const CliResult version = run_cli({"--version"});
    EXPECT_EQ(version.exit_status, 0);
    EXPECT_EQ(version.out, std::string("tovrin-cli 1.12") + TEXT_LINE_END);
}

TEST_F(CliTest, PasswordSources) {
    const std::string file = dir.path("password").string();
    std::ofstream(file) << "from-file\nsecond line\n";
    const std::string crlf_file = dir.path("password-crlf").string();
    std::ofstream(crlf_file) << "dos-file\r\n";
    const struct {
        const char* name;
        Args options;
        std::map<std::string, std::string> environment;
        std::string sent;
    } cases[] = {
        {"first line of the file",
         {"--password-file", file},
         {{"TOVRIN_PASSWORD", ""}},
         "from-file"},
        {"file line with CR LF", {"--password-file", crlf_file}, {}, "dos-file"},
        {"the file wins over the environment",
         {"--password-file", file},
         {{"TOVRIN_PASSWORD", "env"}},
         "from-file"},
        {"environment", {}, {{"TOVRIN_PASSWORD", "0123456789abcdef"}}, "0123456789abcdef"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeBmc controller;
        Args args = bmc_args(controller, c.options);
        args.insert(args.end(), {"127.0.0.1", "logon"});
        const CliResult result = run_cli(args, c.environment);
        EXPECT_EQ(result.exit_status, 0) << result.err;
        EXPECT_EQ(password_sent(controller), c.sent);
    }
}

TEST_F(CliTest, PasswordProblemsStopBeforeAnythingIsSent) {
    const std::string long_one = dir.path("long").string();
    std::ofstream(long_one) << "0123456789abcdefg\n";
    const struct {
        const char* name;
        Args options;
        std::map<std::string, std::string> environment;
    } cases[] = {
        {"no source and no terminal", {}, {{"TOVRIN_PASSWORD", ""}}},
        {"unreadable file", {"--password-file", dir.path("missing").string()}, {}},
        {"17 characters", {"--password-file", long_one}, {}},
        {"empty", {}, {{"TOVRIN_PASSWORD", "\n"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Args args = with_bmc(c.options);
        args.insert(args.end(), {"127.0.0.1", "logon"});
        const CliResult result = run_cli(args, c.environment);
        EXPECT_EQ(result.exit_status, 2);
        EXPECT_EQ(lines(result.err).size(), 1u) << result.err;
    }
    EXPECT_TRUE(bmc.requests().empty());
}

TEST_F(CliTest, LogonReportsEveryStep) {
    const CliResult result = run_cli(with_bmc({"127.0.0.1", "logon"}), PASSWORD);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(lines(result.err),
              (Lines{"Connecting", "Get Session Challenge", "Activate Session Request",
                     "Set Privilege Level", "Connected", "Disconnected"}));
    EXPECT_TRUE(result.out.empty());
}

TEST_F(CliTest, OperationsAndTheirExitStatuses) {
    const std::string file = dir.path("sel.txt").string();
    const struct {
        const char* name;
        std::vector<std::array<std::uint8_t, 16>> log;
        std::uint8_t scripted_command;
        Reply scripted;
        Args operation;
        int exit_status;
        const char* outcome;  // the status line before "Disconnected" or "Logon Aborted"
        std::size_t file_lines;
    } cases[] = {
        {"dump", records(3), 0, Reply{}, {"dump", file}, 0, "SEL Save Complete", 3},
        {"empty log", {}, 0, Reply{}, {"dump", file}, 0, "SEL is Empty", 0},
        {"clear", records(3), 0, Reply{}, {"clear"}, 0, "SEL Cleared", 0},
        {"logon refused",
         records(1),
         ACTIVATE_SESSION,
         Reply{.completion_code = 0x81},
         {"logon"},
         1,
         "Activate Session refused: no session slot available (81h)",
         0},
        {"session lost in a dump",
         records(3),
         GET_SEL_ENTRY,
         Reply{.bad_checksum = true},
         {"dump", file},
         1,
         "Get SEL Entry reply damaged: checksum does not match",
         0},
        {"dump that cannot be written",
         records(3),
         0,
         Reply{},
         {"dump", FULL_DEVICE},
         1,
         "Error, Unable to write file",
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(file);
        FakeBmc controller;
        controller.set_sel(sel_chain(c.log));
        if (c.scripted_command != 0) {
            controller.script(c.scripted_command, c.scripted);
        }
        Args args = bmc_args(controller, {"127.0.0.1"});
        args.insert(args.end(), c.operation.begin(), c.operation.end());
        const CliResult result = run_cli(args, PASSWORD);
        EXPECT_EQ(result.exit_status, c.exit_status);
        const Lines said = lines(result.err);
        ASSERT_GE(said.size(), 2u);
        EXPECT_EQ(said[said.size() - 2], c.outcome) << result.err;
        if (c.operation[0] == "dump" && c.operation[1] == file) {
            EXPECT_EQ(lines(read_file(file)).size(), c.file_lines);
        }
    }
}

// The lines carry their own CR LF, which standard output passes on as they are, on every platform.
TEST_F(CliTest, DumpToStandardOutput) {
    bmc.set_sel(sel_chain(records(2)));
    const CliResult result = run_cli(with_bmc({"-q", "127.0.0.1", "dump", "-"}), PASSWORD);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.err, "") << "quiet";
    const std::string& out = result.out;
    EXPECT_EQ(out.rfind("1=   Fri Jun 19 06:11:41 2009, #0   svc", 0), 0u) << out;
    // Two lines, each ended by one CR LF and nothing more (no CR CR LF).
    EXPECT_EQ(std::count(out.begin(), out.end(), '\r'), 2) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2) << out;
    EXPECT_EQ(out.find("\r\n2="), out.find('\r')) << out;
    EXPECT_TRUE(out.ends_with("\r\n")) << out;
}

TEST_F(CliTest, SilentControllerTimesOut) {
    bmc.script(GET_SESSION_CHALLENGE, Reply{.silent = true});
    const CliResult result = run_cli(with_bmc({"--timeout", "1", "127.0.0.1", "logon"}), PASSWORD);
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(lines(result.err), (Lines{"Connecting", "Get Session Challenge",
                                        "No reply within 1 second", "Logon Aborted"}));
}

TEST_F(CliTest, InterruptDuringADumpKeepsTheLinesWritten) {
    const std::string file = dir.path("sel.txt").string();
    bmc.set_sel(sel_chain(records(5)));
    bmc.script(GET_SEL_ENTRY, Reply{});
    bmc.script(GET_SEL_ENTRY, Reply{});
    bmc.script(GET_SEL_ENTRY, Reply{.silent = true});
    CliProcess cli(with_bmc({"--timeout", "0", "127.0.0.1", "dump", file}), PASSWORD);
    ASSERT_TRUE(bmc.wait_for_requests(6));  // the logon and three Get SEL Entry requests
    cli.interrupt();
    const CliResult result = cli.wait();
    EXPECT_EQ(result.exit_status, 1);
    const Lines said = lines(result.err);
    ASSERT_GE(said.size(), 2u);
    EXPECT_EQ(said[said.size() - 2], "Interrupted");
    EXPECT_EQ(said.back(), "Disconnected");
    EXPECT_EQ(lines(read_file(file)).size(), 2u);
}

TEST_F(CliTest, LogonStaysConnectedForTheSecondsAsked) {
    const CliResult result = run_cli(with_bmc({"127.0.0.1", "logon", "1"}), PASSWORD);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(lines(result.err).back(), "Disconnected");
}

TEST_F(CliTest, EveryRunEndsWithCloseSession) {
    const std::string file = dir.path("sel.txt").string();
    const struct {
        const char* name;
        Args operation;
        bool interrupt;
        int exit_status;
    } cases[] = {
        {"logon", {"logon"}, false, 0},
        {"dump", {"dump", file}, false, 0},
        {"clear", {"clear"}, false, 0},
        {"Ctrl-C", {"logon", "600"}, true, 1},
        {"dump that cannot be written", {"dump", FULL_DEVICE}, false, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeBmc controller;
        controller.set_sel(sel_chain(records(2)));
        Args args = bmc_args(controller, {"127.0.0.1"});
        args.insert(args.end(), c.operation.begin(), c.operation.end());
        CliProcess cli(args, PASSWORD);
        if (c.interrupt) {
            ASSERT_TRUE(controller.wait_for_requests(3));
            cli.interrupt();
        }
        const CliResult result = cli.wait();
        EXPECT_EQ(result.exit_status, c.exit_status) << result.err;
        EXPECT_EQ(lines(result.err).back(), "Disconnected");
        const std::vector<Request> sent = controller.requests();
        ASSERT_GE(sent.size(), 4u);
        const Request& last = sent.back();
        EXPECT_EQ(last.command, CLOSE_SESSION);
        EXPECT_EQ(last.bytes.size(), 41u);
        EXPECT_EQ(last.sequence, sent[sent.size() - 2].sequence + 1);
        EXPECT_EQ(last.data, std::vector<std::uint8_t>(FakeBmc::SESSION_ID.begin(),
                                                       FakeBmc::SESSION_ID.end()));
        for (const Request& request : sent) {
            EXPECT_EQ(request.problem, "") << "command " << int(request.command);
        }
    }
}

}  // namespace
}  // namespace tovrin::testing
