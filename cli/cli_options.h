// The command line of tovrin-cli: what to do, with which controller, and how.
#pragma once

#include <cstdint>
#include <string>

namespace tovrin {

enum class CliOperation { LOGON, DUMP, CLEAR };

struct CliOptions {
    CliOperation operation = CliOperation::LOGON;
    std::string address;
    std::string user_name;
    std::string password_file;  // empty: TOVRIN_PASSWORD, else a prompt
    std::string dump_file;      // "-" is standard output
    std::uint32_t logon_seconds = 0;
    std::uint16_t port = 623;
    std::uint32_t pace_ms = 200;
    std::uint32_t timeout_seconds = 10;  // 0: wait for every reply until interrupted
    bool quiet = false;
};

enum class CliParse { RUN, HELP, VERSION, USAGE_ERROR };

// On USAGE_ERROR, `error` holds a one-line explanation.
CliParse parse_cli_options(int argc, const char* const* argv, CliOptions& options,
                           std::string& error);

extern const char* const CLI_USAGE;

}  // namespace tovrin
