#include <system_error>
#include <thread>

#include "worker/session_worker.h"

namespace tovrin {

bool start_session_worker(WorkerControl* control) {
    try {
        std::thread(session_worker, control).detach();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

}  // namespace tovrin
