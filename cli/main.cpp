// tovrin-cli: log on to a BMC, dump or clear its System Event Log, from scripts and terminals.
#include <csignal>
#include <cstdio>

#include "cli/cli_options.h"
#include "cli/cli_run.h"
#include "cli/password_source.h"

namespace {

std::atomic<bool> interrupted{false};

// The first Ctrl-C ends the session cleanly; the handler then steps aside so that a second one
// ends the process at once.
extern "C" void on_interrupt(int) {
    interrupted = true;
}

void install_interrupt_handler() {
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    // A closed pipe shows up as a failed write (of the dump, or of the prompt while echo is off),
    // not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
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
    install_interrupt_handler();
    return tovrin::run_cli_operation(options, password, interrupted);
}
