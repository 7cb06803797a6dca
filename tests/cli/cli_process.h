// tovrin-cli run as a child process, with its standard output and error captured, and what the
// tests around it share: the fake BMC's view of a run, and load for the machine. Starting and
// ending processes is each platform's own, in its own source file.
#pragma once

#include <sys/types.h>  // pid_t, which mingw-w64 has too

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tests/support/fake_bmc.h"
#include "tests/support/temp_dir.h"

namespace tovrin::testing {

// How the program's text lines end (status lines, help): the C library's text mode.
extern const char TEXT_LINE_END[];
// A file that opens for writing and takes no byte: every write fails as on a full disk.
extern const char FULL_DEVICE[];

struct CliResult {
    int exit_status = -1;  // -1 when it did not exit by itself in time
    int end_signal = 0;    // POSIX: the signal that ended it, if one did (SIGKILL when out of time)
    std::string out;
    std::string err;
};

// A child is killed with its test: by the destructor when the test ends or fails, and by the
// system when the test process itself dies (ctest's time-out kills it). On Linux the kernel's
// signal comes when the thread that started the child ends, so children are started from a test's
// own thread; on Windows the child is in a job that ends with the test process.
class CliProcess {
  public:
    // Starts tovrin-cli with `args`; `environment` entries are added to (or, with an empty value,
    // removed from) the test's own environment. Standard input is the null device unless
    // `terminal` names one: on POSIX the slave side of a pseudo-terminal, which then takes
    // standard error too and becomes the child's controlling terminal, so that a Ctrl-C typed on
    // the master reaches it; on Windows a handle to the input of the console the test shares with
    // the child.
    explicit CliProcess(const std::vector<std::string>& args,
                        const std::map<std::string, std::string>& environment = {},
                        std::intptr_t terminal = -1);
    ~CliProcess();
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    pid_t pid() const;
    // Ctrl-C: SIGINT on POSIX; on Windows the console's Ctrl-C event, to the child's own process
    // group on the console the test shares with it.
    void interrupt();
    CliResult wait(std::chrono::seconds limit = std::chrono::seconds(60));

  private:
    TempDir files_;
    std::intptr_t process_ = -1;  // POSIX: the pid; Windows: the process's handle
};

// Runs tovrin-cli to the end.
CliResult run_cli(const std::vector<std::string>& args,
                  const std::map<std::string, std::string>& environment = {});

// The options every run against a fake shares, then `rest`.
std::vector<std::string> bmc_args(const FakeBmc& bmc, const std::vector<std::string>& rest);

// The password as it reached the controller, in Activate Session's authentication code.
std::string password_sent(const FakeBmc& bmc);

std::vector<std::string> lines(const std::string& text);

// Processes that spin until the object goes, so that a test sees the machine as busy as CI's
// (POSIX: the prompt's tests load the machine).
class BusyLoops {
  public:
    explicit BusyLoops(int count);
    ~BusyLoops();
    BusyLoops(const BusyLoops&) = delete;
    BusyLoops& operator=(const BusyLoops&) = delete;

  private:
    std::vector<pid_t> pids_;
};

}  // namespace tovrin::testing
