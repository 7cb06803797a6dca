#include "cli/password_source.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>

namespace tovrin {

namespace {

constexpr std::size_t PASSWORD_LIMIT = 16;

void drop_line_end(std::string& line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.pop_back();
    }
}

bool prompt_without_echo(std::string& password) {
    termios saved{};
    if (::tcgetattr(STDIN_FILENO, &saved) != 0) {
        return false;
    }
    termios quiet = saved;
    quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
    std::fputs("Password: ", stderr);
    std::fflush(stderr);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    const bool read = static_cast<bool>(std::getline(std::cin, password));
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::fputs("\n", stderr);
    return read;
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
    } else if (::isatty(STDIN_FILENO)) {
        if (!prompt_without_echo(password)) {
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
