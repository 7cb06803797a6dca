// The command line of tovrin-cli: what to do, with which controller, and how.
#pragma once

#include <cstdint>
#include <string>

#include "worker/worker_control.h"

namespace tovrin {

constexpr std::uint32_t CLI_DEFAULT_TIMEOUT_SECONDS = 10;

enum class CliOperation { LOGON, DUMP, CLEAR };

struct CliOptions {
    CliOperation operation = CliOperation::LOGON;
    std::string address;
    std::string user_name;
    std::string password_file;  // empty: TOVRIN_PASSWORD, else a prompt
    std::string dump_file;      // "-" is standard output
    std::uint32_t logon_seconds = 0;
    std::uint16_t port = RMCP_PORT;
    std::uint32_t pace_ms = IDLE_TICK_MS;
    std::uint32_t timeout_seconds = CLI_DEFAULT_TIMEOUT_SECONDS;  // 0: wait for every reply
    bool quiet = false;
};

enum class CliParse { RUN, HELP, VERSION, USAGE_ERROR };

// On USAGE_ERROR, `error` holds a one-line explanation. May be called more than once.
CliParse parse_cli_options(int argc, const char* const* argv, CliOptions& options,
                           std::string& error);

// The --help text, with the defaults the options really have.
std::string cli_usage();

}  // namespace tovrin
