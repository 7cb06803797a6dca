#include "tests/ui/win32/dialog_process.h"

#include <thread>

namespace tovrin::testing {
namespace {}  // namespace

// The build names the program by its path on the build machine; under Wine the Unix root is Z:.
std::string program_path() {
    std::string path = TOVRIN_PATH;
    if (!path.empty() && path.front() == '/') {
        path = "Z:" + path;
    }
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

namespace {

// The process's top-level window of `class_name` with `owner` (nullptr: none), if there is one.
HWND find_window(DWORD process_id, const char* class_name, HWND owner) {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, class_name, nullptr)) != nullptr) {
        DWORD id = 0;
        GetWindowThreadProcessId(window, &id);
        if (id == process_id && GetWindow(window, GW_OWNER) == owner && IsWindowVisible(window)) {
            return window;
        }
    }
    return nullptr;
}

}  // namespace

bool wait_until(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

DialogProcess::DialogProcess() {
    std::string command_line = "\"" + program_path() + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process_)) {
        process_ = {};
        return;
    }
    wait_until([this] {
        window_ = find_window(process_.dwProcessId, "Tovrin", nullptr);
        return window_ != nullptr;
    });
}

DialogProcess::~DialogProcess() {
    if (process_.hProcess == nullptr) {
        return;
    }
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.hProcess, 1);
        WaitForSingleObject(process_.hProcess, INFINITE);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

std::string DialogProcess::text(int control) const {
    char buffer[512] = {};
    GetDlgItemTextA(window_, control, buffer, sizeof buffer);
    return buffer;
}

bool DialogProcess::enabled(int control) const {
    return IsWindowEnabled(GetDlgItem(window_, control)) != FALSE;
}

void DialogProcess::type(int control, const std::string& text) const {
    SetDlgItemTextA(window_, control, text.c_str());
}

void DialogProcess::click(int control) const {
    SendMessageA(GetDlgItem(window_, control), BM_CLICK, 0, 0);
}

void DialogProcess::post_click(int control) const {
    PostMessageA(GetDlgItem(window_, control), BM_CLICK, 0, 0);
}

bool DialogProcess::wait_for_text(int control, const std::string& expected) const {
    return wait_until([&] { return text(control) == expected; });
}

HWND DialogProcess::wait_for_chooser() const {
    HWND chooser = nullptr;
    wait_until([&] {
        chooser = find_window(process_.dwProcessId, "#32770", window_);
        return chooser != nullptr;
    });
    return chooser;
}

DWORD DialogProcess::close() {
    PostMessageA(window_, WM_SYSCOMMAND, SC_CLOSE, 0);
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process_.hProcess, 30000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process_.hProcess, &code);
    }
    return code;
}

}  // namespace tovrin::testing
