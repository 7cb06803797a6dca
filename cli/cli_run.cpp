#include "cli/cli_run.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "cli/cli_link.h"
#include "cli/console.h"
#include "worker/session_worker.h"

namespace tovrin {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto REPORT_WAIT = std::chrono::milliseconds(100);

// Status lines on standard error; on a terminal a running dump also shows its record count, on a
// line of its own that is rewritten as the count grows.
class StatusPrinter {
  public:
    StatusPrinter(bool quiet, bool show_progress) : quiet_(quiet), show_progress_(show_progress) {}

    void line(const char* text) {
        if (quiet_) {
            return;
        }
        end_progress_line();
        std::fprintf(stderr, "%s\n", text);
    }

    void progress(std::uint32_t records) {
        if (quiet_ || !show_progress_ || records == shown_) {
            return;
        }
        shown_ = records;
        std::fprintf(stderr, "\rRecords written: %u", records);
        progress_showing_ = true;
    }

  private:
    void end_progress_line() {
        if (progress_showing_) {
            std::fputs("\n", stderr);
            progress_showing_ = false;
        }
    }

    bool quiet_;
    bool show_progress_;
    bool progress_showing_ = false;
    std::uint32_t shown_ = 0;
};

void copy_field(char (&field)[17], const std::string& text) {
    std::memset(field, 0, sizeof field);
    std::memcpy(field, text.data(), std::min(text.size(), sizeof field - 1));
}

}  // namespace

int run_cli_operation(const CliOptions& options, const std::string& password,
                      const std::atomic<bool>& interrupted) {
    CliLink link;
    WorkerControl control;
    control.dialog = &link;
    copy_field(control.logon.address_text, options.address);
    copy_field(control.logon.user_name, options.user_name);
    copy_field(control.logon.password, password);
    control.settings.port = options.port;
    control.settings.pace_ms = options.pace_ms;
    control.settings.reply_timeout_ms = options.timeout_seconds * 1000;
    // Scripts log on again and again; each run gives its slot in the session table back.
    control.settings.close_session = true;
    // Requests stored before the worker starts are carried out as soon as the logon is done.
    if (options.operation == CliOperation::DUMP) {
        std::strcpy(control.dump_path, options.dump_file.c_str());
        control.dump_requested = 1;
    } else if (options.operation == CliOperation::CLEAR) {
        control.clear_requested = 1;
    }

    StatusPrinter printer(options.quiet,
                          options.operation == CliOperation::DUMP && standard_error_is_terminal());
    printer.line("Connecting");
    // This thread waits for the worker only after its last notification, when nothing is left
    // for the worker but closing its socket.
    std::thread worker(session_worker, &control);

    bool succeeded = false;
    bool ended = false;
    Clock::time_point stay_until = Clock::time_point::max();
    auto disconnect = [&] { control.abort_requested = 1; };
    while (!ended) {
        if (interrupted && control.abort_requested == 0) {
            printer.line("Interrupted");
            disconnect();
        }
        if (Clock::now() >= stay_until && control.abort_requested == 0) {
            succeeded = true;  // stayed connected as long as asked
            disconnect();
        }
        const std::optional<WorkerReport> report = link.take(REPORT_WAIT);
        printer.progress(control.records_written.load());
        if (!report) {
            continue;
        }
        switch (report->code) {
            case 0:
                printer.line(report->text.c_str());
                break;
            case UM_CONNECTED:
                printer.line("Connected");
                if (options.operation == CliOperation::LOGON) {
                    stay_until = Clock::now() + std::chrono::seconds(options.logon_seconds);
                }
                break;
            case UM_LOGON_ABORTED:
                printer.line("Logon Aborted");
                ended = true;
                break;
            case UM_DISCONNECTED:
                printer.line("Disconnected");
                ended = true;
                break;
            case UM_SEL_SAVED:
            case UM_SEL_EMPTY:
            case UM_SEL_CLEARED:
                printer.line(report->code == UM_SEL_SAVED   ? "SEL Save Complete"
                             : report->code == UM_SEL_EMPTY ? "SEL is Empty"
                                                            : "SEL Cleared");
                succeeded = control.abort_requested == 0;
                disconnect();
                break;
            case UM_SEL_FAILED:  // the worker has said why on the status line
                disconnect();
                break;
        }
        link.carried_out();
    }
    worker.join();
    return succeeded ? CLI_EXIT_SUCCESS : CLI_EXIT_FAILED;
}

}  // namespace tovrin
