#include "ui/win32/win32_link.h"

#include "ui/dialog_view.h"
#include "ui/win32/notification_messages.h"

namespace tovrin {

void Win32Link::notify(std::uint32_t code) {
    SendMessageA(dialog_, notification_message(code), 0, 0);
}

void Win32Link::set_status(const char* text) {
    SetDlgItemTextA(dialog_, IDC_STATUS, text);
}

}  // namespace tovrin
