// The worker's notifications as window messages of the main dialog. The numbers above WM_USER are
// the dialog manager's own in a dialog window (DM_GETDEFID, DM_SETDEFID, DM_REPOSITION), which the
// system may send of its own accord; the notifications travel in the application's range instead.
#pragma once

#include <windows.h>

#include <cstdint>

#include "worker/worker_control.h"

namespace tovrin {

constexpr UINT notification_message(std::uint32_t code) {
    return WM_APP + (code - UM_CONNECTED);
}

constexpr bool is_notification(UINT message) {
    return message >= notification_message(UM_CONNECTED) &&
           message <= notification_message(UM_SEL_FAILED);
}

constexpr std::uint32_t notification_code(UINT message) {
    return UM_CONNECTED + (message - WM_APP);
}

}  // namespace tovrin
