// The worker's link into the Win32 dialog. SendMessageA and SetDlgItemTextA, called from the worker
// thread, wait until the UI thread has carried them out, which it does only while it waits for
// messages: in the message loop or a modal loop such as the Save As dialog's, never in the middle
// of one of the dialog's handlers. So reports arrive in the order sent.
#pragma once

#include <windows.h>

#include <cstdint>

#include "worker/worker_control.h"

namespace tovrin {

class Win32Link final : public WorkerLink {
  public:
    // Set once the dialog exists, before any worker starts.
    void attach(HWND dialog) { dialog_ = dialog; }

    void notify(std::uint32_t code) override;
    void set_status(const char* text) override;

  private:
    HWND dialog_ = nullptr;
};

}  // namespace tovrin
