// The session worker: logs on, keeps the session alive, carries out the front end's dump and clear
// requests, and reports through the link in WorkerControl until its last notification.
#pragma once

#include "worker/worker_control.h"

namespace tovrin {

// The thread entry. Returns after the worker's last notification (UM_LOGON_ABORTED or
// UM_DISCONNECTED) and after it has released its socket and file.
void session_worker(WorkerControl* control);

// Runs session_worker on a new thread that nobody waits for. False when no thread could be started.
bool start_session_worker(WorkerControl* control);

}  // namespace tovrin
