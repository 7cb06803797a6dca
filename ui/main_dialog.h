// The main dialog's logic, free of any toolkit: the connection state, the Logon, Dump SEL and
// Clear SEL buttons, and what each of the worker's notifications shows.
#pragma once

#include <cstdint>

#include "ui/dialog_view.h"
#include "worker/worker_control.h"

namespace tovrin {

enum ConnectionState : std::uint32_t {
    STATE_IDLE = 0,
    STATE_LOGGING_ON = 1,
    STATE_CONNECTED = 2,
};

// Lives as long as the window; `control` lives as long as the process. Every call runs on the UI
// thread.
struct MainDialog {
    DialogView& view;
    WorkerControl& control;
    ConnectionState state = STATE_IDLE;
};

// A button press: IDC_LOGON, IDC_DUMP or IDC_CLEAR; every other control is ignored.
void on_command(MainDialog& dialog, int control);

// A notification from the worker (UM_CONNECTED ... UM_SEL_FAILED), carried to the UI thread.
void on_notification(MainDialog& dialog, std::uint32_t code);

}  // namespace tovrin
