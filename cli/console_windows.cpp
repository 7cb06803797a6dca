#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "cli/console.h"

namespace tovrin {

namespace {

// The console's input mode as it was before the prompt, where the prompt's handler can reach it,
// and the sign that the handler has run.
HANDLE prompt_input = INVALID_HANDLE_VALUE;
DWORD before_prompt = 0;
HANDLE prompt_ended = nullptr;

// How long a read that Ctrl-C cut short waits for the handler, which Windows runs on a thread of
// its own that may start only after the read has returned.
constexpr DWORD HANDLER_WAIT_MS = 5000;

bool is_console(DWORD standard_handle) {
    DWORD mode = 0;
    // A console, not merely a character device: the NUL device is one too.
    return GetConsoleMode(GetStdHandle(standard_handle), &mode) != 0;
}

void write_text(const char* text) {
    DWORD written = 0;
    // Nothing to do when it cannot be shown: the read that follows still works.
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(std::strlen(text)), &written,
              nullptr);
}

// Ends the process as Windows' own handler does on Ctrl-C; Wine's exits with status 0, which a
// script would take for success.
[[noreturn]] void end_interrupted() {
    ExitProcess(STATUS_CONTROL_C_EXIT);
}

// Any console event at the prompt: echo is put back, then the process ends as it would have
// without us.
BOOL WINAPI on_prompt_event(DWORD) {
    SetConsoleMode(prompt_input, before_prompt);
    SetEvent(prompt_ended);
    end_interrupted();
}

enum class LineRead { LINE, END, CUT_SHORT };

// One line from the console, its line end left out. CUT_SHORT: Ctrl-C or Ctrl-Break ended the read.
LineRead read_line(HANDLE input, std::string& line) {
    line.clear();
    for (;;) {
        char c = 0;
        DWORD n = 0;
        SetLastError(ERROR_SUCCESS);
        const BOOL read = ReadConsoleA(input, &c, 1, &n, nullptr);
        if (GetLastError() == ERROR_OPERATION_ABORTED) {
            return LineRead::CUT_SHORT;
        }
        if (!read || n == 0) {
            return LineRead::END;
        }
        if (c == '\n') {
            return LineRead::LINE;
        }
        line.push_back(c);
    }
}

std::atomic<bool>* interrupt_flag = nullptr;
std::atomic<bool> interrupt_seen{false};

// Windows calls this on a thread of its own. The first event ends the session cleanly; a second
// ends the process at once.
BOOL WINAPI on_console_event(DWORD event) {
    if (interrupt_seen.exchange(true)) {
        end_interrupted();
    }
    *interrupt_flag = true;
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        // Windows ends the process as soon as this returns, or a few seconds after the event:
        // until then the main thread closes the session and exits with its own status.
        Sleep(INFINITE);
    }
    return TRUE;
}

}  // namespace

void prepare_standard_streams() {}  // a write to a closed pipe fails with an error of its own

void set_binary_standard_output() {
    std::fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
}

bool standard_input_is_terminal() {
    return is_console(STD_INPUT_HANDLE);
}

bool standard_error_is_terminal() {
    return is_console(STD_ERROR_HANDLE);
}

PromptResult prompt_without_echo(const char* prompt, std::string& line) {
    prompt_input = GetStdHandle(STD_INPUT_HANDLE);
    if (!GetConsoleMode(prompt_input, &before_prompt)) {
        return PromptResult::NO_ECHO_CONTROL;
    }
    // Whole lines, with Ctrl-C as an event, whatever the console was left in.
    const DWORD while_prompting =
        (before_prompt | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) & ~DWORD{ENABLE_ECHO_INPUT};
    prompt_ended = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    // Ctrl-C reaches the prompt even in a process group of its own, as it reaches the session.
    SetConsoleCtrlHandler(nullptr, FALSE);
    SetConsoleCtrlHandler(on_prompt_event, TRUE);

    PromptResult result = PromptResult::NO_ECHO_CONTROL;
    if (SetConsoleMode(prompt_input, while_prompting)) {
        write_text(prompt);
        const LineRead read = read_line(prompt_input, line);
        if (read == LineRead::CUT_SHORT &&
            WaitForSingleObject(prompt_ended, HANDLER_WAIT_MS) == WAIT_OBJECT_0) {
            Sleep(INFINITE);  // the handler has put echo back and the process is ending
        }
        result = read == LineRead::LINE ? PromptResult::READ : PromptResult::NOTHING_READ;
        SetConsoleMode(prompt_input, before_prompt);
        write_text("\r\n");
    }

    SetConsoleCtrlHandler(on_prompt_event, FALSE);
    CloseHandle(prompt_ended);
    return result;
}

void install_interrupt_handler(std::atomic<bool>& interrupted) {
    interrupt_flag = &interrupted;
    // Started in a process group of its own, a program ignores Ctrl-C until it asks for it.
    SetConsoleCtrlHandler(nullptr, FALSE);
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

}  // namespace tovrin
