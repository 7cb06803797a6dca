// tovrin-cli run as a child process, with its standard output and error captured.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace tovrin::testing {

struct CliResult {
    int exit_status = -1;  // -1 when it did not exit by itself in time
    std::string out;
    std::string err;
};

class CliProcess {
  public:
    // Starts tovrin-cli with `args`; `environment` entries are added to (or, with an empty value,
    // removed from) the test's own environment. Standard input is /dev/null unless `terminal_fd`
    // names the slave side of a pseudo-terminal, which then takes standard error too.
    explicit CliProcess(const std::vector<std::string>& args,
                        const std::map<std::string, std::string>& environment = {},
                        int terminal_fd = -1);
    ~CliProcess();

    void interrupt();  // Ctrl-C
    CliResult wait(std::chrono::seconds limit = std::chrono::seconds(60));

  private:
    TempDir files_;
    pid_t pid_ = -1;
};

// Runs tovrin-cli to the end.
CliResult run_cli(const std::vector<std::string>& args,
                  const std::map<std::string, std::string>& environment = {});

std::vector<std::string> lines(const std::string& text);

}  // namespace tovrin::testing
