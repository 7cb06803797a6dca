#include "ui/main_dialog.h"

#include "ui/logon_fields.h"

namespace tovrin {
namespace {

void enable_requests(DialogView& view, bool enabled) {
    view.enable(IDC_DUMP, enabled);
    view.enable(IDC_CLEAR, enabled);
}

void on_logon(MainDialog& dialog) {
    if (dialog.state != STATE_IDLE) {
        // The caption and the status line stay until the worker's last notification says how
        // the session ended.
        dialog.control.abort_requested = 1;
        return;
    }
    if (!read_logon_fields(dialog.view, dialog.control.logon)) {
        return;
    }
    dialog.state = STATE_LOGGING_ON;
    WorkerControl& control = dialog.control;
    control.dialog = dialog.view.worker_link();
    control.abort_requested = 0;
    // A request left over from an earlier session must never run against this one's controller.
    control.dump_requested = 0;
    control.clear_requested = 0;
    if (!dialog.view.start_worker(&control)) {
        // Nobody would ever report the end of this logon.
        dialog.state = STATE_IDLE;
        dialog.view.set_text(IDC_STATUS, "Logon Aborted");
        dialog.view.set_text(IDC_LOGON, "Logon");
        return;
    }
    // Written after the start: the worker's reports are carried out only between handlers, so
    // these two still come before anything the new worker says.
    dialog.view.set_text(IDC_STATUS, "Connecting");
    dialog.view.set_text(IDC_LOGON, "Logging on (Abort)");
}

// Both request buttons stay disabled until the worker reports the request's outcome or the
// session ends; their enabled state is the only guard the request handlers need.
void on_dump(MainDialog& dialog) {
    if (!choose_dump_file(dialog.view, dialog.control.dump_path)) {
        return;
    }
    enable_requests(dialog.view, false);
    dialog.control.dump_requested = 1;
}

void on_clear(MainDialog& dialog) {
    enable_requests(dialog.view, false);
    dialog.control.clear_requested = 1;
}

void show_request_outcome(MainDialog& dialog, const char* text) {
    dialog.view.set_text(IDC_STATUS, text);
    enable_requests(dialog.view, true);
}

}  // namespace

void on_command(MainDialog& dialog, int control) {
    switch (control) {
        case IDC_LOGON:
            on_logon(dialog);
            break;
        case IDC_DUMP:
            on_dump(dialog);
            break;
        case IDC_CLEAR:
            on_clear(dialog);
            break;
        default:
            break;
    }
}

void on_notification(MainDialog& dialog, std::uint32_t code) {
    DialogView& view = dialog.view;
    switch (code) {
        case UM_CONNECTED:
            dialog.state = STATE_CONNECTED;
            view.set_text(IDC_STATUS, "Connected");
            view.set_text(IDC_LOGON, "Disconnect");
            enable_requests(view, true);
            break;
        case UM_LOGON_ABORTED:
            dialog.state = STATE_IDLE;
            view.set_text(IDC_STATUS, "Logon Aborted");
            view.set_text(IDC_LOGON, "Logon");
            break;
        case UM_DISCONNECTED:
            dialog.state = STATE_IDLE;
            view.set_text(IDC_STATUS, "Disconnected");
            view.set_text(IDC_LOGON, "Logon");
            enable_requests(view, false);
            break;
        case UM_SEL_SAVED:
            show_request_outcome(dialog, "SEL Save Complete");
            break;
        case UM_SEL_EMPTY:
            show_request_outcome(dialog, "SEL is Empty");
            break;
        case UM_SEL_CLEARED:
            show_request_outcome(dialog, "SEL Cleared");
            break;
        case UM_SEL_FAILED:
            // The worker has already written why the dump stopped; the session goes on.
            enable_requests(view, true);
            break;
        default:
            break;
    }
}

}  // namespace tovrin
