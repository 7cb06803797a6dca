#include "cli/cli_options.h"

#include <getopt.h>

#include <cstring>
#include <string_view>
#include <vector>

#include "protocol/datagram_channel.h"

namespace tovrin {

std::string cli_usage() {
    return "Usage:\n"
           "  tovrin-cli [OPTIONS] ADDRESS logon [SECONDS]\n"
           "  tovrin-cli [OPTIONS] ADDRESS dump FILE        (FILE \"-\" writes the dump to "
           "standard output)\n"
           "  tovrin-cli [OPTIONS] ADDRESS clear\n"
           "Options:\n"
           "  -U, --user NAME          user name, 1 to 16 characters (required)\n"
           "      --password-file F    the password is the first line of F\n"
           "                           (otherwise the TOVRIN_PASSWORD environment variable, "
           "otherwise a prompt\n"
           "                           without echo when standard input is a terminal, "
           "otherwise an error)\n"
           "  -p, --port PORT          UDP port of the BMC, default " +
           std::to_string(RMCP_PORT) +
           "\n"
           "      --pace MS            pause after each SEL request, default " +
           std::to_string(IDLE_TICK_MS) +
           "\n"
           "      --timeout SECONDS    longest wait for any one reply, default " +
           std::to_string(CLI_DEFAULT_TIMEOUT_SECONDS) +
           " (0: no limit)\n"
           "  -q, --quiet              no status lines\n"
           "  -h, --help    --version\n"
           "Exit status: 0 success, 1 the operation failed, 2 usage error.\n";
}

namespace {

constexpr std::size_t ADDRESS_LIMIT = 15;
constexpr std::size_t NAME_LIMIT = 16;

// A whole decimal number within [low, high], nothing else.
bool parse_number(const char* text, std::uint64_t low, std::uint64_t high, std::uint64_t& value) {
    if (*text == '\0' || std::strlen(text) > 10) {
        return false;
    }
    value = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') {
            return false;
        }
        value = value * 10 + static_cast<std::uint64_t>(*p - '0');
    }
    return value >= low && value <= high;
}

// Long options answer with codes of their own, so that an error can tell "--user" from "-U".
enum LongOption : int {
    LONG_USER = 0x100,
    LONG_PASSWORD_FILE,
    LONG_PORT,
    LONG_PACE,
    LONG_TIMEOUT,
    LONG_QUIET,
    LONG_HELP,
    LONG_VERSION,
};

constexpr option LONG_OPTIONS[] = {
    {"user", required_argument, nullptr, LONG_USER},
    {"password-file", required_argument, nullptr, LONG_PASSWORD_FILE},
    {"port", required_argument, nullptr, LONG_PORT},
    {"pace", required_argument, nullptr, LONG_PACE},
    {"timeout", required_argument, nullptr, LONG_TIMEOUT},
    {"quiet", no_argument, nullptr, LONG_QUIET},
    {"help", no_argument, nullptr, LONG_HELP},
    {"version", no_argument, nullptr, LONG_VERSION},
    {nullptr, 0, nullptr, 0},
};

// "-": operands come back in order (code 1) wherever they stand among the options, whatever
// POSIXLY_CORRECT says. ":": a missing value is told apart from an unknown option.
constexpr char SHORT_OPTIONS[] = "-:U:p:qh";

const option* long_option(int code) {
    for (const option& o : LONG_OPTIONS) {
        if (o.name != nullptr && o.val == code) {
            return &o;
        }
    }
    return nullptr;
}

// getopt_long takes any unambiguous abbreviation ("--password" for "--password-file"); only the
// whole name is this tool's interface.
bool spelled_out(std::string_view element, const option& o) {
    if (element.substr(0, 2) != "--") {
        return false;
    }
    element.remove_prefix(2);
    return element.substr(0, element.find('=')) == o.name;
}

class Parser {
  public:
    Parser(int argc, const char* const* argv, CliOptions& options, std::string& error)
        : argv_(argv, argv + argc), options_(options), error_(error) {
        // getopt_long may reorder the array it is given: it gets a copy, never the caller's.
        argv_.push_back(nullptr);
    }

    CliParse run() {
        std::vector<const char*> operands;
        bool user_given = false;
        const int argc = static_cast<int>(argv_.size()) - 1;
        char* const* argv = const_cast<char* const*>(argv_.data());
        opterr = 0;  // the errors are said here, in one line
        optind = 0;  // a full fresh start, however getopt was left by an earlier call
        for (;;) {
            const int code = ::getopt_long(argc, argv, SHORT_OPTIONS, LONG_OPTIONS, nullptr);
            if (code == -1) {
                break;
            }
            if (code == 1) {
                operands.push_back(optarg);
                continue;
            }
            if (code == ':') {
                return missing_value();
            }
            if (code == '?') {
                return unknown_option();
            }
            if (code >= LONG_USER && !spelled_out(option_element(code), *long_option(code))) {
                return fail(std::string("unknown option ") + option_element(code));
            }
            switch (code) {
                case 'h':
                case LONG_HELP:
                    return CliParse::HELP;
                case LONG_VERSION:
                    return CliParse::VERSION;
                case 'U':
                case LONG_USER:
                    options_.user_name = optarg;
                    user_given = true;
                    break;
                case LONG_PASSWORD_FILE:
                    options_.password_file = optarg;
                    break;
                case 'p':
                case LONG_PORT:
                    if (!number(optarg, 1, 65535, "--port takes a UDP port, 1 to 65535",
                                options_.port)) {
                        return CliParse::USAGE_ERROR;
                    }
                    break;
                case LONG_PACE:
                    if (!number(optarg, 0, 60000, "--pace takes milliseconds, 0 to 60000",
                                options_.pace_ms)) {
                        return CliParse::USAGE_ERROR;
                    }
                    break;
                case LONG_TIMEOUT:
                    if (!number(optarg, 0, 86400, "--timeout takes seconds, 0 to 86400",
                                options_.timeout_seconds)) {
                        return CliParse::USAGE_ERROR;
                    }
                    break;
                case 'q':
                case LONG_QUIET:
                    options_.quiet = true;
                    break;
            }
        }
        // After "--" everything left is an operand.
        for (int i = optind; i < argc; ++i) {
            operands.push_back(argv_[static_cast<std::size_t>(i)]);
        }
        if (!user_given) {
            return fail("a user name is required (-U NAME)");
        }
        if (options_.user_name.empty() || options_.user_name.size() > NAME_LIMIT) {
            return fail("the user name must be 1 to 16 characters");
        }
        return operands_of(operands);
    }

  private:
    CliParse fail(const std::string& message) {
        error_ = message;
        return CliParse::USAGE_ERROR;
    }

    // The argument that held the option getopt_long just returned: the one before its value when
    // the value came as the next argument.
    const char* option_element(int code) const {
        const char* last = argv_[static_cast<std::size_t>(optind - 1)];
        const bool separate_value =
            long_option(code)->has_arg == required_argument && optarg == last;
        return separate_value ? argv_[static_cast<std::size_t>(optind - 2)] : last;
    }

    // A long option's argument is the last one taken; a short one is named by its letter.
    CliParse missing_value() {
        const option* long_form = long_option(optopt);
        if (long_form == nullptr) {
            return fail(std::string("-") + static_cast<char>(optopt) + " needs a value");
        }
        const char* element = argv_[static_cast<std::size_t>(optind - 1)];
        if (!spelled_out(element, *long_form)) {
            return fail(std::string("unknown option ") + element);
        }
        return fail(std::string(element) + " needs a value");
    }

    // optopt is 0 for an unknown or ambiguous long option, a long option's code when it was given
    // a value it does not take, else the unknown letter.
    CliParse unknown_option() {
        if (optopt == 0 || long_option(optopt) != nullptr) {
            return fail(std::string("unknown option ") +
                        argv_[static_cast<std::size_t>(optind - 1)]);
        }
        return fail(std::string("unknown option -") + static_cast<char>(optopt));
    }

    // An option's number; false, with the error said, when it is out of range.
    template <typename Number>
    bool number(const char* text, std::uint64_t low, std::uint64_t high, const char* message,
                Number& target) {
        std::uint64_t value = 0;
        if (!parse_number(text, low, high, value)) {
            error_ = message;
            return false;
        }
        target = static_cast<Number>(value);
        return true;
    }

    CliParse operands_of(const std::vector<const char*>& operands) {
        if (operands.size() < 2) {
            return fail("give an ADDRESS and an operation: logon, dump or clear");
        }
        options_.address = operands[0];
        std::uint32_t ignored = 0;
        if (options_.address.size() > ADDRESS_LIMIT ||
            !parse_ipv4_address(options_.address.c_str(), ignored)) {
            return fail("'" + options_.address + "' is not an IPv4 address such as 192.168.0.120");
        }
        const std::string operation = operands[1];
        const std::size_t extra = operands.size() - 2;
        if (operation == "logon") {
            options_.operation = CliOperation::LOGON;
            if (extra > 1) {
                return fail("logon takes at most one value, the SECONDS to stay connected");
            }
            std::uint64_t seconds = 0;
            if (extra == 1 && !parse_number(operands[2], 0, 86400, seconds)) {
                return fail("logon SECONDS must be a whole number from 0 to 86400");
            }
            options_.logon_seconds = static_cast<std::uint32_t>(seconds);
        } else if (operation == "dump") {
            options_.operation = CliOperation::DUMP;
            if (extra != 1) {
                return fail("dump takes one FILE (\"-\" for standard output)");
            }
            options_.dump_file = operands[2];
            if (options_.dump_file.empty() || options_.dump_file.size() >= DUMP_PATH_SIZE) {
                return fail("the dump FILE name must be 1 to 259 characters");
            }
        } else if (operation == "clear") {
            options_.operation = CliOperation::CLEAR;
            if (extra != 0) {
                return fail("clear takes no further values");
            }
        } else {
            return fail("unknown operation '" + operation + "': use logon, dump or clear");
        }
        return CliParse::RUN;
    }

    std::vector<const char*> argv_;
    CliOptions& options_;
    std::string& error_;
};

}  // namespace

CliParse parse_cli_options(int argc, const char* const* argv, CliOptions& options,
                           std::string& error) {
    return Parser(argc, argv, options, error).run();
}

}  // namespace tovrin
