#include "cli/password_source.h"

#include <cstdlib>
#include <fstream>

#include "cli/console.h"

namespace tovrin {

namespace {

constexpr std::size_t PASSWORD_LIMIT = 16;
constexpr char PROMPT[] = "Password: ";

void drop_line_end(std::string& line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.pop_back();
    }
}

}  // namespace

bool read_password(const CliOptions& options, std::string& password, std::string& error) {
    if (!options.password_file.empty()) {
        std::ifstream file(options.password_file);
        if (!file || !std::getline(file, password)) {
            error = "cannot read a password from " + options.password_file;
            return false;
        }
    } else if (const char* from_environment = std::getenv("TOVRIN_PASSWORD")) {
        password = from_environment;
    } else if (standard_input_is_terminal()) {
        switch (prompt_without_echo(PROMPT, password)) {
            case PromptResult::READ:
                break;
            case PromptResult::NO_ECHO_CONTROL:
                error = "cannot turn the terminal's echo off for the password prompt";
                return false;
            case PromptResult::NOTHING_READ:
                error = "no password was typed";
                return false;
        }
    } else {
        error = "no password: use --password-file F or the TOVRIN_PASSWORD environment variable";
        return false;
    }
    drop_line_end(password);
    if (password.empty() || password.size() > PASSWORD_LIMIT) {
        error = "the password must be 1 to 16 characters";
        return false;
    }
    return true;
}

}  // namespace tovrin
