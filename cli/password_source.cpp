#include "cli/password_source.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace tovrin {

namespace {

constexpr std::size_t PASSWORD_LIMIT = 16;
constexpr char PROMPT[] = "Password: ";

void drop_line_end(std::string& line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.pop_back();
    }
}

// The terminal's modes as they were before the prompt and as the prompt runs, where the signal
// handlers can reach them.
int prompt_terminal = -1;
termios before_prompt{};
termios while_prompting{};

// Ending signals: echo is put back, then the signal does what it would have done without us, so
// the shell still sees the process killed by it. Ctrl-Z: the shell gets the terminal back with
// echo on, and when the process goes on the prompt starts over (the terminal has thrown away what
// was typed). A signal that was ignored stays ignored (nohup).
constexpr int STOP_SIGNAL = SIGTSTP;
constexpr int PROMPT_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, STOP_SIGNAL};

void write_text(const char* text, std::size_t length) {
    // Nothing to do when it cannot be shown: the read that follows still works.
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, text, length);
}

void write_prompt() {
    write_text(PROMPT, sizeof PROMPT - 1);
}

void set_action(int signal_number, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    // The read of the password goes on after a stop; the handlers never run inside each other.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int handled : PROMPT_SIGNALS) {
        sigaddset(&action.sa_mask, handled);
    }
    ::sigaction(signal_number, &action, nullptr);
}

// Only async-signal-safe calls from here on.
extern "C" void on_prompt_signal(int signal_number) {
    const int saved_errno = errno;
    ::tcsetattr(prompt_terminal, TCSANOW, &before_prompt);
    set_action(signal_number, SIG_DFL);
    // Blocked while this handler runs: an ending signal strikes as the handler returns.
    ::raise(signal_number);
    if (signal_number == STOP_SIGNAL) {
        sigset_t stop;
        sigemptyset(&stop);
        sigaddset(&stop, STOP_SIGNAL);
        ::sigprocmask(SIG_UNBLOCK, &stop, nullptr);  // stopped here until continued
        ::sigprocmask(SIG_BLOCK, &stop, nullptr);
        set_action(STOP_SIGNAL, on_prompt_signal);
        ::tcsetattr(prompt_terminal, TCSANOW, &while_prompting);
        write_prompt();
    }
    errno = saved_errno;
}

// One line from the terminal, its line end left out; false at end of input or on a read error.
bool read_line(int terminal, std::string& line) {
    line.clear();
    for (;;) {
        char c = 0;
        const ssize_t n = ::read(terminal, &c, 1);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        if (c == '\n') {
            return true;
        }
        line.push_back(c);
    }
}

// Echo goes off before the prompt shows, and nothing is flushed: whatever is typed once the prompt
// is visible, however quickly, is read and never shown. Every way out puts echo back.
bool prompt_without_echo(int terminal, std::string& password, std::string& error) {
    error = "cannot turn the terminal's echo off for the password prompt";
    if (::tcgetattr(terminal, &before_prompt) != 0) {
        return false;
    }
    while_prompting = before_prompt;
    while_prompting.c_lflag &= static_cast<tcflag_t>(~(ECHO | ECHONL));
    prompt_terminal = terminal;

    struct sigaction previous[std::size(PROMPT_SIGNALS)];
    for (std::size_t i = 0; i < std::size(PROMPT_SIGNALS); ++i) {
        ::sigaction(PROMPT_SIGNALS[i], nullptr, &previous[i]);
        if (previous[i].sa_handler != SIG_IGN) {
            set_action(PROMPT_SIGNALS[i], on_prompt_signal);
        }
    }

    bool read = false;
    if (::tcsetattr(terminal, TCSANOW, &while_prompting) == 0) {
        write_prompt();
        read = read_line(terminal, password);
        error = "no password was typed";
        ::tcsetattr(terminal, TCSANOW, &before_prompt);
        write_text("\n", 1);
    }

    for (std::size_t i = 0; i < std::size(PROMPT_SIGNALS); ++i) {
        ::sigaction(PROMPT_SIGNALS[i], &previous[i], nullptr);
    }
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
        if (!prompt_without_echo(STDIN_FILENO, password, error)) {
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
