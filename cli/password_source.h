// Where the command line takes the password from: never an argument, so it stays out of process
// listings and shell histories.
#pragma once

#include <string>

#include "cli/cli_options.h"

namespace tovrin {

// From --password-file (its first line), else TOVRIN_PASSWORD, else a prompt without echo when
// standard input is a terminal. On failure `error` holds a one-line explanation.
bool read_password(const CliOptions& options, std::string& password, std::string& error);

}  // namespace tovrin
