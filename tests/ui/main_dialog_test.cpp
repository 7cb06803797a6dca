#include "ui/main_dialog.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "tests/ui/fake_view.h"

namespace tovrin::testing {
namespace {

using Calls = std::vector<ViewCall>;

constexpr ConnectionState ALL_STATES[] = {STATE_IDLE, STATE_LOGGING_ON, STATE_CONNECTED};

const char* const OLD_ADDRESS = "10.0.0.1";
const char* const OLD_PATH = "/srv/logs/previous.txt";

// What a row expects of one request flag.
enum Flag { KEPT, ZERO, ONE };

struct Event {
    bool command;  // a button press; otherwise a notification from the worker
    std::uint32_t id;
};
constexpr Event press(int control) {
    return {true, static_cast<std::uint32_t>(control)};
}
constexpr Event notice(std::uint32_t code) {
    return {false, code};
}

struct Script {
    bool boxes_valid = true;
    bool chooser_confirms = true;
    bool start_succeeds = true;
};

struct Row {
    const char* name;
    std::vector<ConnectionState> states;
    Event event;
    Script script;
    std::optional<ConnectionState> new_state;  // empty: the state stays
    Calls calls;
    Flag abort_requested = KEPT;
    Flag dump_requested = KEPT;
    Flag clear_requested = KEPT;
    bool captured = false;  // the boxes went into LogonFields and `dialog` became the view's link
};

const std::vector<ConnectionState> any_state(ALL_STATES, ALL_STATES + 3);

const Calls requests_enabled = {enable(IDC_DUMP, true), enable(IDC_CLEAR, true)};
const Calls requests_disabled = {enable(IDC_DUMP, false), enable(IDC_CLEAR, false)};

Calls then(Calls first, const Calls& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

const std::vector<Row> rows = {
    {"LogonAccepted",
     {STATE_IDLE},
     press(IDC_LOGON),
     {},
     STATE_LOGGING_ON,
     {start_worker(), set_text(IDC_STATUS, "Connecting"),
      set_text(IDC_LOGON, "Logging on (Abort)")},
     ZERO,
     ZERO,
     ZERO,
     true},
    {"LogonAcceptedWorkerNotStarted",
     {STATE_IDLE},
     press(IDC_LOGON),
     {.start_succeeds = false},
     STATE_IDLE,
     {start_worker(), set_text(IDC_STATUS, "Logon Aborted"), set_text(IDC_LOGON, "Logon")},
     ZERO,
     ZERO,
     ZERO,
     true},
    {"LogonRefused",
     {STATE_IDLE},
     press(IDC_LOGON),
     {.boxes_valid = false},
     std::nullopt,
     {set_text(IDC_STATUS, "Invalid IP, User Name, or Password")}},
    {"LogonAsksToAbortOrDisconnect",
     {STATE_LOGGING_ON, STATE_CONNECTED},
     press(IDC_LOGON),
     {},
     std::nullopt,
     {},
     ONE},
    {"DumpFileChosen",
     any_state,
     press(IDC_DUMP),
     {},
     std::nullopt,
     then({save_chooser(DUMP_PATH_SIZE)}, requests_disabled),
     KEPT,
     ONE},
    {"DumpFileCancelled",
     any_state,
     press(IDC_DUMP),
     {.chooser_confirms = false},
     std::nullopt,
     {save_chooser(DUMP_PATH_SIZE)}},
    {"Clear", any_state, press(IDC_CLEAR), {}, std::nullopt, requests_disabled, KEPT, KEPT, ONE},
    {"EditBoxNotice", any_state, press(IDC_ADDRESS), {}, std::nullopt, {}},
    {"StatusLineNotice", any_state, press(IDC_STATUS), {}, std::nullopt, {}},
    {"UnknownCommand", any_state, press(0), {}, std::nullopt, {}},
    {"Connected",
     any_state,
     notice(UM_CONNECTED),
     {},
     STATE_CONNECTED,
     then({set_text(IDC_STATUS, "Connected"), set_text(IDC_LOGON, "Disconnect")},
          requests_enabled)},
    {"LogonAborted",
     any_state,
     notice(UM_LOGON_ABORTED),
     {},
     STATE_IDLE,
     {set_text(IDC_STATUS, "Logon Aborted"), set_text(IDC_LOGON, "Logon")}},
    {"Disconnected",
     any_state,
     notice(UM_DISCONNECTED),
     {},
     STATE_IDLE,
     then({set_text(IDC_STATUS, "Disconnected"), set_text(IDC_LOGON, "Logon")}, requests_disabled)},
    {"SelSaved",
     any_state,
     notice(UM_SEL_SAVED),
     {},
     std::nullopt,
     then({set_text(IDC_STATUS, "SEL Save Complete")}, requests_enabled)},
    {"SelEmpty",
     any_state,
     notice(UM_SEL_EMPTY),
     {},
     std::nullopt,
     then({set_text(IDC_STATUS, "SEL is Empty")}, requests_enabled)},
    {"SelCleared",
     any_state,
     notice(UM_SEL_CLEARED),
     {},
     std::nullopt,
     then({set_text(IDC_STATUS, "SEL Cleared")}, requests_enabled)},
    {"SelFailedKeepsTheWorkersText",
     any_state,
     notice(UM_SEL_FAILED),
     {},
     std::nullopt,
     requests_enabled},
    {"UnknownNotification", any_state, notice(UM_SEL_FAILED + 1), {}, std::nullopt, {}},
    {"NotificationZero", any_state, notice(0), {}, std::nullopt, {}},
};

// One dialog over a fake view, with shared storage that already holds an earlier session's
// logon fields, file choice and link.
struct DialogRig {
    FakeView view;
    WorkerControl control;
    MainDialog dialog{view, control};
    RecordingLink earlier_link;

    DialogRig() {
        std::strcpy(control.logon.address_text, OLD_ADDRESS);
        std::strcpy(control.logon.user_name, "olduser");
        std::strcpy(control.logon.password, "oldpass");
        std::strcpy(control.dump_path, OLD_PATH);
        control.dialog = &earlier_link;
        view.boxes = {{IDC_ADDRESS, "127.0.0.1"}, {IDC_USER, "admin"}, {IDC_PASSWORD, "secret"}};
    }

    void set_flags(std::uint32_t value) {
        control.abort_requested = value;
        control.dump_requested = value;
        control.clear_requested = value;
    }

    void dispatch(Event event) {
        if (event.command) {
            on_command(dialog, static_cast<int>(event.id));
        } else {
            on_notification(dialog, event.id);
        }
    }
};

void expect_flag(const char* name, std::uint32_t seen, Flag expected, std::uint32_t before) {
    const std::uint32_t want = expected == KEPT ? before : expected == ONE ? 1u : 0u;
    EXPECT_EQ(seen, want) << name;
}

TEST(MainDialog, StateTable) {
    for (const Row& row : rows) {
        for (ConnectionState state : row.states) {
            // Each row runs with every flag 0 and again with every flag 1, so that a flag the row
            // must leave alone shows any store into it.
            for (std::uint32_t before : {0u, 1u}) {
                SCOPED_TRACE(::testing::Message()
                             << row.name << " in state " << state << ", flags before " << before);
                DialogRig rig;
                rig.dialog.state = state;
                rig.set_flags(before);
                if (!row.script.boxes_valid) {
                    rig.view.boxes[IDC_ADDRESS] = "";
                }
                rig.view.chooser_confirms = row.script.chooser_confirms;
                rig.view.start_succeeds = row.script.start_succeeds;

                rig.dispatch(row.event);

                EXPECT_EQ(rig.dialog.state, row.new_state.value_or(state));
                EXPECT_EQ(rig.view.actions(), row.calls);
                expect_flag("abort_requested", rig.control.abort_requested, row.abort_requested,
                            before);
                expect_flag("dump_requested", rig.control.dump_requested, row.dump_requested,
                            before);
                expect_flag("clear_requested", rig.control.clear_requested, row.clear_requested,
                            before);
                if (row.captured) {
                    EXPECT_STREQ(rig.control.logon.address_text, "127.0.0.1");
                    EXPECT_EQ(rig.control.dialog, rig.view.worker_link());
                } else {
                    EXPECT_STREQ(rig.control.logon.address_text, OLD_ADDRESS);
                    EXPECT_EQ(rig.control.dialog, &rig.earlier_link);
                }
                const bool chosen =
                    row.event.command && row.event.id == IDC_DUMP && row.script.chooser_confirms;
                EXPECT_STREQ(rig.control.dump_path,
                             chosen ? rig.view.chosen_path.c_str() : OLD_PATH);
            }
        }
    }
}

// A new worker must find from its first instruction where to report, no abort, and no request
// left over from an earlier session, which could erase another controller's log.
TEST(MainDialog, AcceptedLogonPreparesTheControlBeforeTheWorkerStarts) {
    DialogRig rig;
    rig.set_flags(1);
    on_command(rig.dialog, IDC_LOGON);
    ASSERT_TRUE(rig.view.started.has_value());
    EXPECT_EQ(rig.view.started->control, &rig.control);
    EXPECT_EQ(rig.view.started->dialog, rig.view.worker_link());
    EXPECT_EQ(rig.view.started->abort_requested, 0u);
    EXPECT_EQ(rig.view.started->dump_requested, 0u);
    EXPECT_EQ(rig.view.started->clear_requested, 0u);
    EXPECT_STREQ(rig.control.logon.user_name, "admin");
}

TEST(MainDialog, RequestsLeftFromAnEndedSessionNeverReachTheNext) {
    DialogRig rig;
    on_command(rig.dialog, IDC_LOGON);
    on_notification(rig.dialog, UM_CONNECTED);
    // The session ends while the chooser is open; the user still confirms a file afterwards.
    rig.view.while_choosing = [&] { on_notification(rig.dialog, UM_DISCONNECTED); };
    on_command(rig.dialog, IDC_DUMP);
    EXPECT_EQ(rig.dialog.state, STATE_IDLE);
    EXPECT_EQ(rig.view.actions().back(), enable(IDC_CLEAR, false));
    EXPECT_EQ(rig.control.dump_requested, 1u);

    rig.view.while_choosing = nullptr;
    on_command(rig.dialog, IDC_LOGON);
    ASSERT_TRUE(rig.view.started.has_value());
    EXPECT_EQ(rig.view.started->dump_requested, 0u);
    EXPECT_EQ(rig.dialog.state, STATE_LOGGING_ON);
}

}  // namespace
}  // namespace tovrin::testing
