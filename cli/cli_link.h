// The command line's link: the worker's reports are carried out on the main thread, one at a time
// and in order, while the worker waits for each to be done.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "worker/worker_control.h"

namespace tovrin {

// A notification (text empty) or a status text (code 0).
struct WorkerReport {
    std::uint32_t code = 0;
    std::string text;
};

class CliLink : public WorkerLink {
  public:
    void notify(std::uint32_t code) override;
    void set_status(const char* text) override;

    // Main thread: the next report, or nothing when none came within `limit`. Each report taken
    // must be followed by carried_out(), which releases the worker.
    std::optional<WorkerReport> take(std::chrono::milliseconds limit);
    void carried_out();

  private:
    void deliver(WorkerReport report);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<WorkerReport> pending_;
    std::uint64_t delivered_ = 0;
    std::uint64_t carried_out_ = 0;
};

}  // namespace tovrin
