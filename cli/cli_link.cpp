#include "cli/cli_link.h"

namespace tovrin {

void CliLink::notify(std::uint32_t code) {
    deliver({code, {}});
}

void CliLink::set_status(const char* text) {
    deliver({0, text});
}

void CliLink::deliver(WorkerReport report) {
    std::unique_lock lock(mutex_);
    pending_ = std::move(report);
    const std::uint64_t mine = ++delivered_;
    changed_.notify_all();
    changed_.wait(lock, [&] { return carried_out_ >= mine; });
}

std::optional<WorkerReport> CliLink::take(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, limit, [&] { return pending_.has_value(); })) {
        return std::nullopt;
    }
    std::optional<WorkerReport> report = std::move(pending_);
    pending_.reset();
    return report;
}

void CliLink::carried_out() {
    std::lock_guard lock(mutex_);
    ++carried_out_;
    changed_.notify_all();
}

}  // namespace tovrin
