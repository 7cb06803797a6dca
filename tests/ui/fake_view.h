// A view with no windows behind it: it records every call of the dialog logic in order, answers
// box reads and the file chooser from a script, and starts no thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/recording_link.h"
#include "ui/dialog_view.h"

namespace tovrin::testing {

struct ViewCall {
    enum Kind { SET_TEXT, ENABLE, TEXT_LENGTH, READ_TEXT, SAVE_CHOOSER, START_WORKER };
    Kind kind = SET_TEXT;
    int control = 0;
    std::string text;
    bool enabled = false;
    std::size_t capacity = 0;
    bool operator==(const ViewCall&) const = default;
};

inline ViewCall set_text(int control, std::string text) {
    return {ViewCall::SET_TEXT, control, std::move(text), false, 0};
}
inline ViewCall enable(int control, bool enabled) {
    return {ViewCall::ENABLE, control, {}, enabled, 0};
}
inline ViewCall text_length(int control) {
    return {ViewCall::TEXT_LENGTH, control, {}, false, 0};
}
inline ViewCall read_text(int control, std::size_t capacity) {
    return {ViewCall::READ_TEXT, control, {}, false, capacity};
}
inline ViewCall save_chooser(std::size_t capacity) {
    return {ViewCall::SAVE_CHOOSER, 0, {}, false, capacity};
}
inline ViewCall start_worker() {
    return {ViewCall::START_WORKER, 0, {}, false, 0};
}

void PrintTo(const ViewCall& call, std::ostream* out);

// WorkerControl as start_worker found it: what a new worker would see from its first instruction.
struct StartedWith {
    WorkerControl* control = nullptr;
    WorkerLink* dialog = nullptr;
    std::uint32_t abort_requested = 0;
    std::uint32_t dump_requested = 0;
    std::uint32_t clear_requested = 0;
};

class FakeView : public DialogView {
  public:
    void set_text(int control, const char* text) override;
    void enable(int control, bool enabled) override;
    std::size_t text_length(int control) override;
    void read_text(int control, char* buffer, std::size_t capacity) override;
    bool run_save_chooser(char* path, std::size_t capacity) override;
    WorkerLink* worker_link() override { return &link; }
    bool start_worker(WorkerControl* control) override;

    // Every call but the box reads: what the user would see, and the chooser and worker starts.
    std::vector<ViewCall> actions() const;

    std::map<int, std::string> boxes;  // a box missing here is empty

    bool chooser_confirms = true;
    std::string chosen_path = "/srv/logs/sel.txt";
    std::function<void()> while_choosing;  // what the UI thread carries out while the chooser waits
    std::string chooser_started_from;

    bool start_succeeds = true;
    std::optional<StartedWith> started;

    RecordingLink link;
    std::vector<ViewCall> calls;
};

}  // namespace tovrin::testing
