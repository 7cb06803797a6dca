// One run of tovrin-cli: a session worker carries out the operation while the main thread serves
// its reports, prints the status lines and decides the exit status.
#pragma once

#include <atomic>
#include <string>

#include "cli/cli_options.h"

namespace tovrin {

constexpr int CLI_EXIT_SUCCESS = 0;
constexpr int CLI_EXIT_FAILED = 1;
constexpr int CLI_EXIT_USAGE = 2;

// `interrupted` is set from outside (Ctrl-C); the session then ends cleanly and the run fails.
int run_cli_operation(const CliOptions& options, const std::string& password,
                      const std::atomic<bool>& interrupted);

}  // namespace tovrin
