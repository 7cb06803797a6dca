// tovrin-cli: log on to a BMC, dump or clear its System Event Log, from scripts and terminals.
#include <atomic>
#include <cstdio>

#include "cli/cli_options.h"
#include "cli/cli_run.h"
#include "cli/console.h"
#include "cli/password_source.h"

int main(int argc, char** argv) {
    tovrin::prepare_standard_streams();
    tovrin::CliOptions options;
    std::string error;
    switch (tovrin::parse_cli_options(argc, argv, options, error)) {
        case tovrin::CliParse::HELP:
            std::fputs(tovrin::cli_usage().c_str(), stdout);
            return tovrin::CLI_EXIT_SUCCESS;
        case tovrin::CliParse::VERSION:
            std::puts("tovrin-cli " TOVRIN_VERSION);
            return tovrin::CLI_EXIT_SUCCESS;
        case tovrin::CliParse::USAGE_ERROR:
            std::fprintf(stderr, "tovrin-cli: %s (see tovrin-cli --help)\n", error.c_str());
            return tovrin::CLI_EXIT_USAGE;
        case tovrin::CliParse::RUN:
            break;
    }
    std::string password;
    if (!tovrin::read_password(options, password, error)) {
        std::fprintf(stderr, "tovrin-cli: %s\n", error.c_str());
        return tovrin::CLI_EXIT_USAGE;
    }
    if (options.operation == tovrin::CliOperation::DUMP && options.dump_file == "-") {
        tovrin::set_binary_standard_output();
    }
    // Static: a console's handler may still run as the process exits.
    static std::atomic<bool> interrupted{false};
    tovrin::install_interrupt_handler(interrupted);
    return tovrin::run_cli_operation(options, password, interrupted);
}
