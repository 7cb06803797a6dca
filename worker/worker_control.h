// What a front end shares with its session worker: the request flags, the logon fields, the dump
// path, the worker's settings and the link that carries the worker's reports back to the front end.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace tovrin {

// Notifications from the worker; each worker ends with exactly one of UM_LOGON_ABORTED and
// UM_DISCONNECTED.
enum WorkerNotification : std::uint32_t {
    UM_CONNECTED = 0x400,
    UM_LOGON_ABORTED = 0x401,
    UM_DISCONNECTED = 0x402,
    UM_SEL_SAVED = 0x403,
    UM_SEL_EMPTY = 0x404,
    UM_SEL_CLEARED = 0x405,
    UM_SEL_FAILED = 0x406,  // the dump could not be completed; the session goes on
};

constexpr std::uint16_t RMCP_PORT = 623;
constexpr std::uint32_t IDLE_TICK_MS = 200;
constexpr std::uint32_t KEEPALIVE_TICKS = 75;
constexpr std::uint32_t NO_REPLY_TIMEOUT = 0;

// The worker's way back to the front end. Both calls are synchronous: each returns only after the
// front end has carried it out, in the order sent.
class WorkerLink {
  public:
    virtual void notify(std::uint32_t code) = 0;
    virtual void set_status(const char* text) = 0;

  protected:
    ~WorkerLink() = default;
};

// Each text followed by zero bytes up to the 17th byte.
struct LogonFields {
    char address_text[17] = {};
    char user_name[17] = {};
    char password[17] = {};
};

constexpr std::size_t DUMP_PATH_SIZE = 260;

// The windowed front ends keep the defaults; the command line and the tests may change them.
struct WorkerSettings {
    std::uint16_t port = RMCP_PORT;
    std::uint32_t tick_ms = IDLE_TICK_MS;               // the connected loop's sleep per pass
    std::uint32_t pace_ms = IDLE_TICK_MS;               // the pause after each SEL exchange
    std::uint32_t reply_timeout_ms = NO_REPLY_TIMEOUT;  // 0: wait until the user aborts
    // Close Session when a session the worker opened ends, so that its slot in the controller's
    // small session table is free at once instead of when the controller times it out.
    bool close_session = false;
};

// The front end stores 1 into the flags; the worker only reads abort_requested, resets the two
// request flags when it takes a request up, and counts the lines of a running dump.
struct WorkerControl {
    WorkerLink* dialog = nullptr;
    std::atomic<std::uint32_t> abort_requested{0};
    std::atomic<std::uint32_t> dump_requested{0};
    std::atomic<std::uint32_t> clear_requested{0};
    std::atomic<std::uint32_t> records_written{
        0};  // lines of the running dump, for progress displays
    LogonFields logon;
    char dump_path[DUMP_PATH_SIZE] = {};  // "-" is standard output
    WorkerSettings settings;
};

}  // namespace tovrin
