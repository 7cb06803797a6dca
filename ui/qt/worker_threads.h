// The threads of the session workers. A worker's thread is joined only once the worker has ended,
// so the UI thread never waits for a running one. At the end of the process the running workers are
// asked to end and their reports are carried out until each has left its last call: a thread still
// running at exit would take the process down with it, most of all one blocked in a report.
#pragma once

#include <QObject>
#include <atomic>
#include <list>
#include <thread>

#include "worker/worker_control.h"

namespace tovrin {

class WorkerThreads final : public QObject {
  public:
    WorkerThreads() = default;
    WorkerThreads(const WorkerThreads&) = delete;
    WorkerThreads& operator=(const WorkerThreads&) = delete;
    ~WorkerThreads() override;

    // Runs session_worker(control) on a new thread. False when no thread could be started.
    bool start(WorkerControl* control);

    // Sets abort_requested and serves the UI thread's events until every worker has ended, then
    // joins them. Runs on the UI thread.
    void finish();

  private:
    struct Worker {
        std::thread thread;
        std::atomic<bool> ended{false};
    };

    void join_ended();

    std::list<Worker> workers_;  // a list, so that a running thread's entry never moves
    WorkerControl* control_ = nullptr;
};

}  // namespace tovrin
