#include "ui/qt/worker_threads.h"

#include <QCoreApplication>
#include <system_error>

#include "worker/session_worker.h"

namespace tovrin {

WorkerThreads::~WorkerThreads() {
    finish();
}

bool WorkerThreads::start(WorkerControl* control) {
    control_ = control;
    Worker& worker = workers_.emplace_back();
    try {
        worker.thread = std::thread([this, control, &worker] {
            session_worker(control);
            worker.ended = true;
            QMetaObject::invokeMethod(
                this, [this] { join_ended(); }, Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        workers_.pop_back();
        return false;
    }
    return true;
}

void WorkerThreads::join_ended() {
    for (auto worker = workers_.begin(); worker != workers_.end();) {
        if (worker->ended) {
            worker->thread.join();
            worker = workers_.erase(worker);
        } else {
            ++worker;
        }
    }
}

void WorkerThreads::finish() {
    if (workers_.empty()) {
        return;
    }
    control_->abort_requested = 1;
    while (!workers_.empty()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

}  // namespace tovrin
