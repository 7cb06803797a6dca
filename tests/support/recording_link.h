// A link that records what a worker reports, in order, and lets a test wait for it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "worker/worker_control.h"

namespace tovrin::testing {

// One report from the worker: a notification (text empty) or a status text (code 0).
struct LinkEvent {
    std::uint32_t code = 0;
    std::string text;
    bool operator==(const LinkEvent&) const = default;
};

inline LinkEvent note(std::uint32_t code) {
    return {code, {}};
}
inline LinkEvent status(std::string text) {
    return {0, std::move(text)};
}

class RecordingLink : public WorkerLink {
  public:
    void notify(std::uint32_t code) override;
    void set_status(const char* text) override;

    // Runs on the worker's thread after each notification is recorded, before the worker goes on:
    // what a front end does while it handles the notification (press Disconnect, answer slowly).
    std::function<void(std::uint32_t)> on_notify;

    std::vector<LinkEvent> events() const;
    std::vector<std::uint32_t> notifications() const;
    std::string last_status() const;

    // Waits until `code` has been notified `times` times; false after `limit`.
    bool wait_for(std::uint32_t code, std::size_t times = 1,
                  std::chrono::milliseconds limit = std::chrono::seconds(30)) const;

  private:
    void record(LinkEvent event);

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<LinkEvent> events_;
};

}  // namespace tovrin::testing
