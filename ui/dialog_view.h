// What the dialog logic needs of a windowing layer: the controls of the main window, the file
// chooser and the worker's start. The logic in main_dialog and logon_fields holds every decision;
// a windowing layer only carries these operations out.
#pragma once

#include <cstddef>

#include "worker/worker_control.h"

namespace tovrin {

// The main window's controls, by id.
enum ControlId : int {
    IDC_ADDRESS = 1000,
    IDC_USER = 1001,
    IDC_PASSWORD = 1002,
    IDC_LOGON = 1009,
    IDC_STATUS = 1010,
    IDC_DUMP = 1012,
    IDC_CLEAR = 1013,
};

class DialogView {
  public:
    virtual void set_text(int control, const char* text) = 0;
    virtual void enable(int control, bool enabled) = 0;

    // The length of a box's text in characters, and the text itself: at most capacity - 1
    // characters and a terminating zero.
    virtual std::size_t text_length(int control) = 0;
    virtual void read_text(int control, char* buffer, std::size_t capacity) = 0;

    // The modal Save As chooser, starting from the file name in `path`. True when the user confirmed
    // a file, whose full path (shorter than `capacity`) is then in `path`; false when the user
    // cancelled or the chooser failed, with `path` unchanged.
    virtual bool run_save_chooser(char* path, std::size_t capacity) = 0;

    // The link the worker reports through: its notifications reach the dialog logic's
    // on_notification, its status texts the status line, on the UI thread.
    virtual WorkerLink* worker_link() = 0;

    // Runs session_worker(control) on a new thread that the UI thread never waits for. False when
    // no thread could be started.
    virtual bool start_worker(WorkerControl* control) = 0;

  protected:
    ~DialogView() = default;
};

}  // namespace tovrin
