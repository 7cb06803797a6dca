#include "tests/ui/fake_view.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace tovrin::testing {

void PrintTo(const ViewCall& call, std::ostream* out) {
    switch (call.kind) {
        case ViewCall::SET_TEXT:
            *out << "set_text(" << call.control << ", \"" << call.text << "\")";
            break;
        case ViewCall::ENABLE:
            *out << "enable(" << call.control << ", " << std::boolalpha << call.enabled << ")";
            break;
        case ViewCall::TEXT_LENGTH:
            *out << "text_length(" << call.control << ")";
            break;
        case ViewCall::READ_TEXT:
            *out << "read_text(" << call.control << ", " << call.capacity << ")";
            break;
        case ViewCall::SAVE_CHOOSER:
            *out << "run_save_chooser(" << call.capacity << ")";
            break;
        case ViewCall::START_WORKER:
            *out << "start_worker()";
            break;
    }
}

void FakeView::set_text(int control, const char* text) {
    calls.push_back(testing::set_text(control, text));
}

void FakeView::enable(int control, bool enabled) {
    calls.push_back(testing::enable(control, enabled));
}

std::size_t FakeView::text_length(int control) {
    calls.push_back(testing::text_length(control));
    return boxes[control].size();
}

void FakeView::read_text(int control, char* buffer, std::size_t capacity) {
    calls.push_back(testing::read_text(control, capacity));
    const std::string& text = boxes[control];
    const std::size_t length = std::min(text.size(), capacity - 1);
    // Writing the whole capacity lets the sanitizer catch a buffer smaller than the capacity
    // claimed for it.
    std::memset(buffer, 0, capacity);
    std::memcpy(buffer, text.data(), length);
}

bool FakeView::run_save_chooser(char* path, std::size_t capacity) {
    calls.push_back(save_chooser(capacity));
    chooser_started_from = path;
    if (while_choosing) {
        while_choosing();
    }
    if (!chooser_confirms || chosen_path.size() >= capacity) {
        return false;
    }
    std::memcpy(path, chosen_path.c_str(), chosen_path.size() + 1);
    return true;
}

bool FakeView::start_worker(WorkerControl* control) {
    calls.push_back(testing::start_worker());
    started = StartedWith{control, control->dialog, control->abort_requested.load(),
                          control->dump_requested.load(), control->clear_requested.load()};
    return start_succeeds;
}

std::vector<ViewCall> FakeView::actions() const {
    std::vector<ViewCall> shown;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(shown), [](const ViewCall& call) {
        return call.kind != ViewCall::TEXT_LENGTH && call.kind != ViewCall::READ_TEXT;
    });
    return shown;
}

}  // namespace tovrin::testing
