#include "ui/logon_fields.h"

#include <cstring>
#include <memory>

namespace tovrin {
namespace {

// One box into one member: the length first, so that a text over the limit is refused rather
// than cut short.
template <std::size_t N>
bool capture(DialogView& view, int control, std::size_t limit, char (&member)[N]) {
    const std::size_t length = view.text_length(control);
    if (length == 0 || length > limit) {
        return false;
    }
    const std::unique_ptr<char[]> text(new char[length + 1]());
    view.read_text(control, text.get(), length + 1);
    // The worker sends user name and password as fixed 16-byte fields: what follows the text
    // must be zero, never a longer earlier entry's tail.
    std::memset(member, 0, N);
    std::memcpy(member, text.get(), std::strlen(text.get()) + 1);
    return true;
}

}  // namespace

bool read_logon_fields(DialogView& view, LogonFields& fields) {
    if (capture(view, IDC_ADDRESS, 15, fields.address_text) &&
        capture(view, IDC_USER, 16, fields.user_name) &&
        capture(view, IDC_PASSWORD, 16, fields.password)) {
        return true;
    }
    view.set_text(IDC_STATUS, "Invalid IP, User Name, or Password");
    return false;
}

bool choose_dump_file(DialogView& view, char (&dump_path)[DUMP_PATH_SIZE]) {
    return view.run_save_chooser(dump_path, DUMP_PATH_SIZE);
}

}  // namespace tovrin
