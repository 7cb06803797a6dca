#include "cli/cli_options.h"

#include <cstring>
#include <limits>
#include <vector>

#include "protocol/datagram_channel.h"
#include "worker/worker_control.h"

namespace tovrin {

const char* const CLI_USAGE =
    "Usage:\n"
    "  tovrin-cli [OPTIONS] ADDRESS logon [SECONDS]\n"
    "  tovrin-cli [OPTIONS] ADDRESS dump FILE        (FILE \"-\" writes the dump to standard "
    "output)\n"
    "  tovrin-cli [OPTIONS] ADDRESS clear\n"
    "Options:\n"
    "  -U, --user NAME          user name, 1 to 16 characters (required)\n"
    "      --password-file F    the password is the first line of F\n"
    "                           (otherwise the TOVRIN_PASSWORD environment variable, otherwise a "
    "prompt\n"
    "                           without echo when standard input is a terminal, otherwise an "
    "error)\n"
    "  -p, --port PORT          UDP port of the BMC, default 623\n"
    "      --pace MS            pause after each SEL request, default 200\n"
    "      --timeout SECONDS    longest wait for any one reply, default 10 (0: no limit)\n"
    "  -q, --quiet              no status lines\n"
    "  -h, --help    --version\n"
    "Exit status: 0 success, 1 the operation failed, 2 usage error.\n";

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

class Parser {
  public:
    Parser(int argc, const char* const* argv, CliOptions& options, std::string& error)
        : argc_(argc), argv_(argv), options_(options), error_(error) {}

    CliParse run() {
        std::vector<const char*> operands;
        bool user_given = false;
        for (index_ = 1; index_ < argc_; ++index_) {
            const char* arg = argv_[index_];
            if (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0) {
                return CliParse::HELP;
            }
            if (std::strcmp(arg, "--version") == 0) {
                return CliParse::VERSION;
            }
            if (std::strcmp(arg, "--") == 0) {
                for (++index_; index_ < argc_; ++index_) {
                    operands.push_back(argv_[index_]);
                }
                break;
            }
            if (arg[0] != '-' || std::strcmp(arg, "-") == 0) {
                operands.push_back(arg);
                continue;
            }
            const char* value = nullptr;
            if (option(arg, "-U", "--user", value)) {
                if (!value) {
                    return CliParse::USAGE_ERROR;
                }
                options_.user_name = value;
                user_given = true;
            } else if (option(arg, nullptr, "--password-file", value)) {
                if (!value) {
                    return CliParse::USAGE_ERROR;
                }
                options_.password_file = value;
            } else if (option(arg, "-p", "--port", value)) {
                if (!number(value, 1, 65535, "--port takes a UDP port, 1 to 65535",
                            options_.port)) {
                    return CliParse::USAGE_ERROR;
                }
            } else if (option(arg, nullptr, "--pace", value)) {
                if (!number(value, 0, 60000, "--pace takes milliseconds, 0 to 60000",
                            options_.pace_ms)) {
                    return CliParse::USAGE_ERROR;
                }
            } else if (option(arg, nullptr, "--timeout", value)) {
                if (!number(value, 0, 86400, "--timeout takes seconds, 0 to 86400",
                            options_.timeout_seconds)) {
                    return CliParse::USAGE_ERROR;
                }
            } else if (std::strcmp(arg, "-q") == 0 || std::strcmp(arg, "--quiet") == 0) {
                options_.quiet = true;
            } else {
                error_ = std::string("unknown option ") + arg;
                return CliParse::USAGE_ERROR;
            }
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

    // Matches "-X VALUE", "--long VALUE" and "--long=VALUE"; `value` stays null when the value is
    // missing, and the error says so.
    bool option(const char* arg, const char* short_name, const char* long_name, const char*& value) {
        const std::size_t long_length = std::strlen(long_name);
        if (std::strncmp(arg, long_name, long_length) == 0 && arg[long_length] == '=') {
            value = arg + long_length + 1;
            return true;
        }
        if (std::strcmp(arg, long_name) != 0 &&
            (!short_name || std::strcmp(arg, short_name) != 0)) {
            return false;
        }
        if (index_ + 1 < argc_) {
            value = argv_[++index_];
        } else {
            error_ = std::string(arg) + " needs a value";
        }
        return true;
    }

    // An option's number; false, with the error said, when it is missing or out of range.
    template <typename Number>
    bool number(const char* text, std::uint64_t low, std::uint64_t high, const char* message,
                Number& target) {
        std::uint64_t value = 0;
        if (!text) {
            return false;
        }
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

    int argc_;
    const char* const* argv_;
    CliOptions& options_;
    std::string& error_;
    int index_ = 1;
};

}  // namespace

CliParse parse_cli_options(int argc, const char* const* argv, CliOptions& options,
                           std::string& error) {
    return Parser(argc, argv, options, error).run();
}

}  // namespace tovrin
