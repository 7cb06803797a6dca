#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <iterator>

#include "cli/console.h"

namespace tovrin {

namespace {

// The terminal's modes as they were before the prompt and as the prompt runs, and the prompt
// itself, where the signal handlers can reach them.
int prompt_terminal = -1;
termios before_prompt{};
termios while_prompting{};
const char* prompt_text = "";

// Ending signals: echo is put back, then the signal does what it would have done without us, so
// the shell still sees the process killed by it. Ctrl-Z: the shell gets the terminal back with
// echo on, and when the process goes on the prompt starts over (the terminal has thrown away what
// was typed). A signal that was ignored stays ignored (nohup).
constexpr int STOP_SIGNAL = SIGTSTP;
constexpr int PROMPT_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, STOP_SIGNAL};

void write_text(const char* text) {
    // Nothing to do when it cannot be shown: the read that follows still works.
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, text, std::strlen(text));
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
        write_text(prompt_text);
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

std::atomic<bool>* interrupt_flag = nullptr;

// The first Ctrl-C ends the session cleanly; the handler then steps aside so that a second one
// ends the process at once.
extern "C" void on_interrupt(int) {
    *interrupt_flag = true;
}

}  // namespace

void prepare_standard_streams() {
    std::signal(SIGPIPE, SIG_IGN);
}

void set_binary_standard_output() {}  // POSIX streams write the bytes as they are

bool standard_input_is_terminal() {
    return ::isatty(STDIN_FILENO);
}

bool standard_error_is_terminal() {
    return ::isatty(STDERR_FILENO);
}

PromptResult prompt_without_echo(const char* prompt, std::string& line) {
    const int terminal = STDIN_FILENO;
    if (::tcgetattr(terminal, &before_prompt) != 0) {
        return PromptResult::NO_ECHO_CONTROL;
    }
    while_prompting = before_prompt;
    while_prompting.c_lflag &= static_cast<tcflag_t>(~(ECHO | ECHONL));
    prompt_terminal = terminal;
    prompt_text = prompt;

    struct sigaction previous[std::size(PROMPT_SIGNALS)];
    for (std::size_t i = 0; i < std::size(PROMPT_SIGNALS); ++i) {
        ::sigaction(PROMPT_SIGNALS[i], nullptr, &previous[i]);
        if (previous[i].sa_handler != SIG_IGN) {
            set_action(PROMPT_SIGNALS[i], on_prompt_signal);
        }
    }

    PromptResult result = PromptResult::NO_ECHO_CONTROL;
    if (::tcsetattr(terminal, TCSANOW, &while_prompting) == 0) {
        write_text(prompt);
        result = read_line(terminal, line) ? PromptResult::READ : PromptResult::NOTHING_READ;
        ::tcsetattr(terminal, TCSANOW, &before_prompt);
        write_text("\n");
    }

    for (std::size_t i = 0; i < std::size(PROMPT_SIGNALS); ++i) {
        ::sigaction(PROMPT_SIGNALS[i], &previous[i], nullptr);
    }
    return result;
}

void install_interrupt_handler(std::atomic<bool>& interrupted) {
    interrupt_flag = &interrupted;
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

}  // namespace tovrin
