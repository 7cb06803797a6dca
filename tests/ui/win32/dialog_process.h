// tovrin.exe started for one test, with its dialog found and driven from outside, the way a user
// and the system reach it: texts typed into the boxes, buttons clicked, and the Save As dialog it
// opens. The process is ended when the rig goes, so a failed test leaves nothing running.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>

namespace tovrin::testing {

// tovrin.exe's path, as Windows names it.
std::string program_path();

// Polls `condition` until it holds; false once `limit` has passed without it.
bool wait_until(const std::function<bool()>& condition,
                std::chrono::milliseconds limit = std::chrono::seconds(30));

class DialogProcess {
  public:
    // Starts tovrin.exe and waits for its dialog; window() is nullptr when none came.
    DialogProcess();
    ~DialogProcess();
    DialogProcess(const DialogProcess&) = delete;
    DialogProcess& operator=(const DialogProcess&) = delete;

    HWND window() const { return window_; }
    HANDLE process() const { return process_.hProcess; }
    DWORD thread_id() const { return process_.dwThreadId; }

    std::string text(int control) const;
    bool enabled(int control) const;
    void type(int control, const std::string& text) const;
    // Returns once the dialog has handled the click.
    void click(int control) const;
    // Returns at once: for a click whose handler runs a modal dialog.
    void post_click(int control) const;
    bool wait_for_text(int control, const std::string& text) const;

    // The Save As dialog that the window owns, once it shows; nullptr when none came.
    HWND wait_for_chooser() const;

    // Closes the window as its close box does; the exit code once the process has ended, or
    // STILL_ACTIVE when it did not end.
    DWORD close();

  private:
    PROCESS_INFORMATION process_{};
    HWND window_ = nullptr;
};

}  // namespace tovrin::testing
