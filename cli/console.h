// Where tovrin-cli meets the terminal or console it runs in: the standard streams, the password
// prompt without echo and Ctrl-C. Each platform's calls live in their own source file.
#pragma once

#include <atomic>
#include <string>

namespace tovrin {

// Before anything is written: a closed pipe shows up as a failed write (of the dump, or of the
// prompt while echo is off), not a silent death.
void prepare_standard_streams();

// Standard output takes the dump's bytes as they are: its lines carry their own CR LF.
void set_binary_standard_output();

bool standard_input_is_terminal();
bool standard_error_is_terminal();

enum class PromptResult { READ, NO_ECHO_CONTROL, NOTHING_READ };

// Shows `prompt` on standard error and reads one line from the terminal on standard input without
// echo, its line end left out. Echo is off before the prompt shows, nothing typed is thrown away,
// and every way out puts echo back, an interrupt at the prompt included (which then ends the
// process as it would have without the prompt). NO_ECHO_CONTROL: echo could not be turned off, and
// nothing was shown or read.
PromptResult prompt_without_echo(const char* prompt, std::string& line);

// The first Ctrl-C (or termination request) sets `interrupted`, which the caller polls to end the
// session cleanly; a second one ends the process at once. `interrupted` must outlive the process's
// run.
void install_interrupt_handler(std::atomic<bool>& interrupted);

}  // namespace tovrin
