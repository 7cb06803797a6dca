// tovrin-cli run as a child process, with its standard output and error captured, and what the
// tests around it share: the fake BMC's view of a run, and load for the machine.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "tests/support/fake_bmc.h"
#include "tests/support/temp_dir.h"

namespace tovrin::testing {

struct CliResult {
    int exit_status = -1;  // -1 when it did not exit by itself in time
    int end_signal = 0;    // the signal that ended it, if one did (SIGKILL when out of time)
    std::string out;
    std::string err;
};

// A child is killed with its test: by the destructor when the test ends or fails, and by the
// kernel when the test process itself dies (ctest's time-out kills it). The kernel's signal comes
// when the thread that started the child ends, so children are started from a test's own thread.
class CliProcess {
  public:
    // Starts tovrin-cli with `args`; `environment` entries are added to (or, with an empty value,
    // removed from) the test's own environment. Standard input is /dev/null unless `terminal_fd`
    // names the slave side of a pseudo-terminal, which then takes standard error too and becomes
    // the child's controlling terminal, so that a Ctrl-C typed on the master reaches it.
    explicit CliProcess(const std::vector<std::string>& args,
                        const std::map<std::string, std::string>& environment = {},
                        int terminal_fd = -1);
    ~CliProcess();
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    pid_t pid() const { return pid_; }
    void interrupt();  // Ctrl-C
    CliResult wait(std::chrono::seconds limit = std::chrono::seconds(60));

  private:
    TempDir files_;
    pid_t pid_ = -1;
};

// Runs tovrin-cli to the end.
CliResult run_cli(const std::vector<std::string>& args,
                  const std::map<std::string, std::string>& environment = {});

// The options every run against a fake shares, then `rest`.
std::vector<std::string> bmc_args(const FakeBmc& bmc, const std::vector<std::string>& rest);

// The password as it reached the controller, in Activate Session's authentication code.
std::string password_sent(const FakeBmc& bmc);

std::vector<std::string> lines(const std::string& text);

// Processes that spin until the object goes, so that a test sees the machine as busy as CI's.
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
