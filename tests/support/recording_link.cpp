#include "tests/support/recording_link.h"

#include <algorithm>

namespace tovrin::testing {

void RecordingLink::notify(std::uint32_t code) {
    record({code, {}});
    if (on_notify) {
        on_notify(code);
    }
}

void RecordingLink::set_status(const char* text) {
    record({0, text});
}

void RecordingLink::record(LinkEvent event) {
    std::lock_guard lock(mutex_);
    events_.push_back(std::move(event));
    changed_.notify_all();
}

std::vector<LinkEvent> RecordingLink::events() const {
    std::lock_guard lock(mutex_);
    return events_;
}

std::vector<std::uint32_t> RecordingLink::notifications() const {
    std::vector<std::uint32_t> codes;
    for (const LinkEvent& event : events()) {
        if (event.code != 0) {
            codes.push_back(event.code);
        }
    }
    return codes;
}

std::string RecordingLink::last_status() const {
    const auto all = events();
    const auto last = std::find_if(all.rbegin(), all.rend(),
                                   [](const LinkEvent& event) { return event.code == 0; });
    return last == all.rend() ? std::string() : last->text;
}

bool RecordingLink::wait_for(std::uint32_t code, std::size_t times,
                             std::chrono::milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] {
        return static_cast<std::size_t>(std::count_if(
                   events_.begin(), events_.end(),
                   [&](const LinkEvent& event) { return event.code == code; })) >= times;
    });
}

}  // namespace tovrin::testing
