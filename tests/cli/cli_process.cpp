#include "tests/cli/cli_process.h"

#include <string_view>

namespace tovrin::testing {

CliResult run_cli(const std::vector<std::string>& args,
                  const std::map<std::string, std::string>& environment) {
    return CliProcess(args, environment).wait();
}

std::vector<std::string> bmc_args(const FakeBmc& bmc, const std::vector<std::string>& rest) {
    std::vector<std::string> args = {"-U",     "USERID", "-p", std::to_string(bmc.port()),
                                     "--pace", "0"};
    args.insert(args.end(), rest.begin(), rest.end());
    return args;
}

std::string password_sent(const FakeBmc& bmc) {
    for (const Request& request : bmc.requests()) {
        if (request.command == ACTIVATE_SESSION) {
            const std::string field(request.bytes.begin() + 13, request.bytes.begin() + 29);
            return field.substr(0, field.find('\0'));
        }
    }
    return {};
}

std::vector<std::string> lines(const std::string& text) {
    const std::string_view line_end = TEXT_LINE_END;
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(line_end, start);
        if (end == std::string::npos) {
            end = text.size();
        }
        out.push_back(text.substr(start, end - start));
        start = end + line_end.size();
    }
    return out;
}

}  // namespace tovrin::testing
