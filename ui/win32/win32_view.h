// The dialog logic's view operations on the controls of the Win32 dialog, and the Save As chooser.
// Every decision lives in main_dialog; this only carries the operations out.
#pragma once

#include <windows.h>

#include <cstddef>

#include "ui/dialog_view.h"
#include "ui/win32/win32_link.h"

namespace tovrin {

class Win32View final : public DialogView {
  public:
    // Set once the dialog exists, before any of the operations runs.
    void attach(HWND dialog);

    void set_text(int control, const char* text) override;
    void enable(int control, bool enabled) override;
    std::size_t text_length(int control) override;
    void read_text(int control, char* buffer, std::size_t capacity) override;
    bool run_save_chooser(char* path, std::size_t capacity) override;
    WorkerLink* worker_link() override;
    bool start_worker(WorkerControl* control) override;

  private:
    HWND dialog_ = nullptr;
    Win32Link link_;
};

}  // namespace tovrin
