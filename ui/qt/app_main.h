// The program's window from start to close, once the QApplication exists.
#pragma once

#include "worker/worker_control.h"

namespace tovrin {

// Shows the main window, its workers reporting through `control`, and runs the event loop until the
// window is closed; a worker still running is ended first. Returns the exit status: always 0.
int app_main(WorkerControl& control);

}  // namespace tovrin
