// The password prompt as a person or a password manager meets it: tovrin-cli on a real
// pseudo-terminal, the foreground of its own session, logging on to the fake BMC.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "tests/cli/cli_process.h"
#include "tests/support/fake_bmc.h"

namespace tovrin::testing {
namespace {

const std::map<std::string, std::string> NO_PASSWORD_SOURCE = {{"TOVRIN_PASSWORD", ""}};
constexpr int PATIENCE_MS = 20000;  // only a run that hangs waits this long
constexpr std::chrono::seconds RUN_LIMIT{30};

// The test holds the master side; the slave side is the child's terminal.
class PseudoTerminal {
  public:
    PseudoTerminal() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0) {
            ::fcntl(master_, F_SETFD, FD_CLOEXEC);
            slave_ = ::open(::ptsname(master_), O_RDWR | O_NOCTTY | O_CLOEXEC);
        }
    }
    ~PseudoTerminal() {
        close_slave();
        if (master_ >= 0) {
            ::close(master_);
        }
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool opened() const { return slave_ >= 0; }
    int slave() const { return slave_; }
    // Once the child alone holds the slave, the master reads to an end when the child has gone.
    void close_slave() {
        if (slave_ >= 0) {
            ::close(slave_);
            slave_ = -1;
        }
    }

    // What the program writes, up to and including the next `text`; false if it never comes.
    bool read_until(const std::string& text) {
        std::size_t found;
        while ((found = seen_.find(text, consumed_)) == std::string::npos) {
            if (!read_some()) {
                return false;
            }
        }
        consumed_ = found + text.size();
        return true;
    }
    // Everything the program wrote, once it has ended and the slave side is closed.
    const std::string& read_to_end() {
        while (read_some()) {
        }
        return seen_;
    }
    const std::string& seen() const { return seen_; }

    void type(const std::string& keys) {
        ASSERT_EQ(::write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }

    // The terminal's echo flag, read through the slave side.
    bool echoes() const {
        termios modes{};
        return ::tcgetattr(slave_, &modes) == 0 && (modes.c_lflag & ECHO) != 0;
    }

  private:
    bool read_some() {
        pollfd readable{master_, POLLIN, 0};
        if (::poll(&readable, 1, PATIENCE_MS) != 1) {
            return false;
        }
        char buffer[256];
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0) {
            return false;  // EIO: the slave side is closed and all it wrote has been read
        }
        seen_.append(buffer, static_cast<std::size_t>(n));
        return true;
    }

    int master_ = -1;
    int slave_ = -1;
    std::string seen_;
    std::size_t consumed_ = 0;
};

// A password manager types the moment the prompt shows; a loaded machine makes the moment land
// anywhere in the program's prompt code.
TEST(PasswordPrompt, TypedTheInstantItShowsIsNeitherLostNorEchoed) {
    const BusyLoops load(2);
    for (int run = 0; run < 50 && !HasFailure(); ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        FakeBmc bmc;
        PseudoTerminal terminal;
        ASSERT_TRUE(terminal.opened());
        CliProcess cli(bmc_args(bmc, {"127.0.0.1", "logon"}), NO_PASSWORD_SOURCE, terminal.slave());
        terminal.close_slave();
        const std::string password = "typed-" + std::to_string(run);
        ASSERT_TRUE(terminal.read_until("Password: ")) << terminal.seen();
        terminal.type(password + "\n");
        const CliResult result = cli.wait(RUN_LIMIT);
        const std::string& seen = terminal.read_to_end();
        EXPECT_EQ(result.exit_status, 0) << seen;
        EXPECT_EQ(password_sent(bmc), password);
        EXPECT_EQ(seen.find(password), std::string::npos) << "echoed: " << seen;
    }
}

TEST(PasswordPrompt, EndedAtThePromptLeavesEchoOn) {
    const struct {
        const char* name;
        const char* keys;
        int signal_sent;  // 0: the keys alone end it
        int ended_by;
    } cases[] = {
        {"Ctrl-C", "half\x03", 0, SIGINT},
        {"terminated", "half", SIGTERM, SIGTERM},
        {"hung up", "half", SIGHUP, SIGHUP},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeBmc bmc;
        PseudoTerminal terminal;
        ASSERT_TRUE(terminal.opened());
        CliProcess cli(bmc_args(bmc, {"127.0.0.1", "logon"}), NO_PASSWORD_SOURCE, terminal.slave());
        ASSERT_TRUE(terminal.read_until("Password: ")) << terminal.seen();
        EXPECT_FALSE(terminal.echoes()) << "while the prompt waits";
        terminal.type(c.keys);
        if (c.signal_sent != 0) {
            ::kill(cli.pid(), c.signal_sent);
        }
        const CliResult result = cli.wait(RUN_LIMIT);
        EXPECT_EQ(result.end_signal, c.ended_by) << "the signal's own outcome, for the shell";
        EXPECT_TRUE(terminal.echoes());
        EXPECT_TRUE(bmc.requests().empty());
    }
}

// The child leads a session of its own, so the kernel does not stop it (an orphaned process group
// is never stopped by Ctrl-Z): what shows is the program's side, the prompt starting over with
// echo off again.
TEST(PasswordPrompt, CtrlZStartsThePromptOverWithoutEcho) {
    FakeBmc bmc;
    PseudoTerminal terminal;
    ASSERT_TRUE(terminal.opened());
    CliProcess cli(bmc_args(bmc, {"127.0.0.1", "logon"}), NO_PASSWORD_SOURCE, terminal.slave());
    ASSERT_TRUE(terminal.read_until("Password: ")) << terminal.seen();
    terminal.type("lost\x1a");
    ASSERT_TRUE(terminal.read_until("Password: ")) << terminal.seen();
    EXPECT_FALSE(terminal.echoes());
    terminal.type("after-stop\n");
    const CliResult result = cli.wait(RUN_LIMIT);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(password_sent(bmc), "after-stop");
    EXPECT_TRUE(terminal.echoes());
    terminal.close_slave();
    EXPECT_EQ(terminal.read_to_end().find("after-stop"), std::string::npos) << terminal.seen();
}

}  // namespace
}  // namespace tovrin::testing
