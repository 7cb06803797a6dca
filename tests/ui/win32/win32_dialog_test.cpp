// tovrin.exe under test as a whole: its dialog driven from outside against a fake BMC on port 623
// of a loopback address, the way the user drives it.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "tests/support/fake_bmc.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/win32/dialog_process.h"
#include "ui/dialog_view.h"

namespace tovrin::testing {
namespace {

// The dialog has no port box: the fake listens on the controller's port. At 127.0.0.1: Wine sends a
// socket's datagrams from there whatever 127.0.0.x it is bound to, and the worker takes replies
// only from the address it sent to.
constexpr char BMC_ADDRESS[] = "127.0.0.1";

constexpr int CHOOSER_FILE_NAME = 0x47C;

struct DialogState {
    std::string status;
    std::string caption;
    bool dump_enabled;
    bool clear_enabled;

    bool operator==(const DialogState&) const = default;
};

std::ostream& operator<<(std::ostream& out, const DialogState& state) {
    return out << '"' << state.status << "\" \"" << state.caption << "\" dump "
               << state.dump_enabled << " clear " << state.clear_enabled;
}

DialogState state_of(const DialogProcess& dialog) {
    return {dialog.text(IDC_STATUS), dialog.text(IDC_LOGON), dialog.enabled(IDC_DUMP),
            dialog.enabled(IDC_CLEAR)};
}

const DialogState IDLE{"", "Logon", false, false};
const DialogState CONNECTED{"Connected", "Disconnect", true, true};

void log_on(DialogProcess& dialog) {
    dialog.type(IDC_ADDRESS, BMC_ADDRESS);
    dialog.click(IDC_LOGON);
    ASSERT_TRUE(dialog.wait_for_text(IDC_STATUS, "Connected")) << state_of(dialog);
    EXPECT_EQ(state_of(dialog), CONNECTED);
}

// Input as the user gives it: into the desktop's queue, for the window in the foreground.
void send_input(INPUT input) {
    SendInput(1, &input, sizeof input);
}

void press_key(WORD key) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    send_input(input);
    input.ki.dwFlags = KEYEVENTF_KEYUP;
    send_input(input);
}

void mouse(POINT at, DWORD button) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(at.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(at.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | button;
    send_input(input);
}

POINT centre(HWND window) {
    RECT place{};
    GetWindowRect(window, &place);
    return {(place.left + place.right) / 2, (place.top + place.bottom) / 2};
}

void click_with_mouse(HWND target) {
    mouse(centre(target), MOUSEEVENTF_LEFTDOWN);
    mouse(centre(target), MOUSEEVENTF_LEFTUP);
}

// Presses the mouse on `target` and lets go of it elsewhere: the control takes the focus if it
// can, and a button is not clicked.
void press_and_slide_off(HWND dialog, HWND target) {
    POINT empty{4, 4};  // a corner of the client area clear of every control
    ClientToScreen(dialog, &empty);
    mouse(centre(target), MOUSEEVENTF_LEFTDOWN);
    mouse(empty, 0);
    mouse(empty, MOUSEEVENTF_LEFTUP);
}

HWND focus_of(const DialogProcess& dialog) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(dialog.thread_id(), &info);
    return info.hwndFocus;
}

// Types a letter at the end of the user name box and waits until it shows there: the input before
// it has been handled by then, and whatever that sent or posted on the way.
bool settle(const DialogProcess& dialog) {
    const HWND user = GetDlgItem(dialog.window(), IDC_USER);
    click_with_mouse(user);
    if (!wait_until([&] { return focus_of(dialog) == user; })) {
        return false;
    }
    press_key(VK_END);
    press_key('X');
    const bool seen = wait_until([&] {
        const std::string text = dialog.text(IDC_USER);
        return !text.empty() && text.back() == 'x';
    });
    dialog.type(IDC_USER, "USERID");
    return seen;
}

// Focus on every control in turn, by the mouse, then Tab and Enter. The dialog does no keyboard
// navigation, and nothing the system sends on the way may pass for a worker's notification.
void expect_keys_change_nothing(const DialogProcess& dialog) {
    const HWND window = dialog.window();
    SetForegroundWindow(window);
    ASSERT_TRUE(wait_until([&] { return GetForegroundWindow() == window; }));
    const DialogState before = state_of(dialog);
    const std::string address = dialog.text(IDC_ADDRESS);
    const HWND label = FindWindowExA(window, nullptr, "Static", "User Name:");
    ASSERT_NE(label, nullptr);
    const struct {
        const char* name;
        HWND target;
    } targets[] = {
        {"wherever the focus is", nullptr},
        {"address", GetDlgItem(window, IDC_ADDRESS)},
        {"user name", GetDlgItem(window, IDC_USER)},
        {"password", GetDlgItem(window, IDC_PASSWORD)},
        {"label", label},
        {"status line", GetDlgItem(window, IDC_STATUS)},
        {"logon", GetDlgItem(window, IDC_LOGON)},
        {"dump", GetDlgItem(window, IDC_DUMP)},
        {"clear", GetDlgItem(window, IDC_CLEAR)},
    };
    for (const auto& target : targets) {
        SCOPED_TRACE(target.name);
        if (target.target != nullptr) {
            press_and_slide_off(window, target.target);
        }
        press_key(VK_TAB);
        press_key(VK_RETURN);
        press_key(VK_TAB);
        ASSERT_TRUE(settle(dialog));
        // The keep-alive writes the status line of a session for a moment.
        EXPECT_TRUE(wait_until([&] { return state_of(dialog) == before; }, std::chrono::seconds(2)))
            << state_of(dialog) << " after " << before;
        dialog.type(IDC_ADDRESS, address);
        dialog.type(IDC_PASSWORD, "CH4NGEME");
    }
    // Wine's controls send none of the dialog manager's own messages here, but tools that look
    // for a dialog's default button do.
    SendMessageA(window, DM_GETDEFID, 0, 0);
    SendMessageA(window, DM_SETDEFID, IDC_LOGON, 0);
    SendMessageA(window, DM_REPOSITION, 0, 0);
    EXPECT_TRUE(wait_until([&] { return state_of(dialog) == before; }, std::chrono::seconds(2)))
        << state_of(dialog) << " after " << before;
}

TEST(Win32Dialog, OpensWithTheTemplatesControlsAndTheProgramsClass) {
    DialogProcess dialog;
    ASSERT_NE(dialog.window(), nullptr);
    char class_name[32] = {};
    GetClassNameA(dialog.window(), class_name, sizeof class_name);
    EXPECT_STREQ(class_name, "Tovrin");
    RECT place{};
    GetWindowRect(dialog.window(), &place);
    EXPECT_EQ(place.left, 0);
    EXPECT_EQ(place.top, 0);

    const struct {
        int id;
        const char* text;
        bool enabled;
        LONG styles;  // of those below that the control has
    } controls[] = {
        {IDC_ADDRESS, "192.168.0.120", true, ES_AUTOHSCROLL},
        {IDC_USER, "USERID", true, ES_AUTOHSCROLL | WS_TABSTOP},
        {IDC_PASSWORD, "CH4NGEME", true, ES_AUTOHSCROLL | WS_TABSTOP | ES_PASSWORD},
        {IDC_LOGON, "Logon", true, WS_TABSTOP},
        {IDC_STATUS, "", true, ES_AUTOHSCROLL | ES_READONLY},
        {IDC_DUMP, "Dump SEL", false, WS_TABSTOP},
        {IDC_CLEAR, "Clear SEL", false, WS_TABSTOP},
    };
    constexpr LONG LOOKED_AT =
        ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | ES_PASSWORD | ES_READONLY | BS_DEFPUSHBUTTON;
    for (const auto& control : controls) {
        SCOPED_TRACE(control.text);
        const HWND window = GetDlgItem(dialog.window(), control.id);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(dialog.text(control.id), control.text);
        EXPECT_EQ(dialog.enabled(control.id), control.enabled);
        // Edit and button styles share bits, so each is judged by its own class's.
        char kind[16] = {};
        GetClassNameA(window, kind, sizeof kind);
        const LONG own = std::string(kind) == "Button"
                             ? LOOKED_AT & ~(ES_AUTOHSCROLL | ES_PASSWORD | ES_READONLY)
                             : LOOKED_AT & ~BS_DEFPUSHBUTTON;
        EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & own, control.styles & own);
    }
}

// The icon group that the class loads by the name "Tovrin": a 32 x 32 and a 16 x 16 image, 16
// colours.
TEST(Win32Dialog, IconHoldsTwoSixteenColourImages) {
    const HMODULE program = LoadLibraryExA(
        program_path().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(program, nullptr);
    const HRSRC found = FindResourceA(program, "Tovrin", RT_GROUP_ICON);
    ASSERT_NE(found, nullptr);
    const auto* group =
        static_cast<const std::uint8_t*>(LockResource(LoadResource(program, found)));
    // The group's header (reserved, type, count), then 14 bytes per image: width, height,
    // colours, reserved, planes, bits per pixel, size, id.
    ASSERT_EQ(group[4], 2);
    for (int image = 0; image < 2; ++image) {
        const std::uint8_t* entry = group + 6 + 14 * image;
        SCOPED_TRACE(image);
        EXPECT_EQ(entry[0], image == 0 ? 32 : 16);
        EXPECT_EQ(entry[1], image == 0 ? 32 : 16);
        EXPECT_EQ(entry[2], 16);
        EXPECT_EQ(entry[6], 4);
    }
    EXPECT_NE(LoadIconA(program, "Tovrin"), nullptr);
    FreeLibrary(program);
}

TEST(Win32Dialog, LogsOnDumpsClearsAndDisconnects) {
    FakeBmc bmc(BMC_ADDRESS, 623);
    using Record = std::array<std::uint8_t, 16>;
    bmc.set_sel(sel_chain({
        Record{0, 0, 0x02, 0x1D, 0x2C, 0x3B, 0x4A, 0x20, 0x00, 0x04, 0x07, 0x0C, 0x6F, 0x02, 0xFF,
               0xFF},
        Record{0, 0, 0xE0, 0x0B, 0xA5, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A,
               0x0B},
    }));
    TempDir folder;
    const std::string dump_file = folder.path("sel.txt").string();
    DialogProcess dialog;
    ASSERT_NE(dialog.window(), nullptr);
    dialog.type(IDC_USER, "operator");
    dialog.type(IDC_PASSWORD, "secret16chars!!!");
    ASSERT_NO_FATAL_FAILURE(log_on(dialog));
    // The boxes' texts, as the worker sent them: the user name zero-padded to 16 bytes.
    const std::vector<Request> requests = bmc.requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests[0].command, GET_SESSION_CHALLENGE);
    EXPECT_EQ(std::string(requests[0].data.begin() + 1, requests[0].data.end()),
              std::string("operator\0\0\0\0\0\0\0\0", 16));

    dialog.post_click(IDC_DUMP);
    HWND chooser = dialog.wait_for_chooser();
    ASSERT_NE(chooser, nullptr);
    EXPECT_FALSE(IsWindowEnabled(dialog.window()));  // modal to the dialog
    SetDlgItemTextA(chooser, CHOOSER_FILE_NAME, dump_file.c_str());
    PostMessageA(chooser, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(dialog.wait_for_text(IDC_STATUS, "SEL Save Complete")) << state_of(dialog);
    EXPECT_EQ(state_of(dialog), (DialogState{"SEL Save Complete", "Disconnect", true, true}));
    EXPECT_EQ(read_file(dump_file),
              "1=   Fri Jun 19 06:11:41 2009, #12  svc02026F07a"
              " 01 00 02 1D 2C 3B 4A 20 00 04 07 0C 6F 02 FF FF\r\n"
              "2=   " +
                  std::string(24, ' ') +
                  ", #0   svcE00BA5   "
                  " 02 00 E0 0B A5 01 02 03 04 05 06 07 08 09 0A 0B\r\n");

    // The next chooser starts from the last choice: its folder open, its name offered. Cancelling
    // asks for nothing.
    dialog.post_click(IDC_DUMP);
    chooser = dialog.wait_for_chooser();
    ASSERT_NE(chooser, nullptr);
    char offered[MAX_PATH] = {};
    GetDlgItemTextA(chooser, CHOOSER_FILE_NAME, offered, sizeof offered);
    EXPECT_STREQ(offered, "sel.txt");
    PostMessageA(chooser, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(wait_until([&] { return IsWindowEnabled(dialog.window()) != FALSE; }));
    EXPECT_EQ(state_of(dialog), (DialogState{"SEL Save Complete", "Disconnect", true, true}));

    dialog.click(IDC_CLEAR);
    ASSERT_TRUE(dialog.wait_for_text(IDC_STATUS, "SEL Cleared")) << state_of(dialog);
    EXPECT_EQ(state_of(dialog), (DialogState{"SEL Cleared", "Disconnect", true, true}));
    EXPECT_TRUE(bmc.sel().empty());

    dialog.click(IDC_LOGON);
    ASSERT_TRUE(dialog.wait_for_text(IDC_STATUS, "Disconnected")) << state_of(dialog);
    EXPECT_EQ(state_of(dialog), (DialogState{"Disconnected", "Logon", false, false}));
    for (const Request& request : bmc.requests()) {
        EXPECT_EQ(request.problem, "") << int{request.command};
    }
}

TEST(Win32Dialog, RefusesEmptyAndOverlongFieldsWithoutStarting) {
    const struct {
        const char* name;
        const char* address;
        const char* user;
        const char* password;
    } cases[] = {
        {"empty address", "", "USERID", "CH4NGEME"},
        {"16-character address", "127.000.000.0022", "USERID", "CH4NGEME"},
        {"empty user name", BMC_ADDRESS, "", "CH4NGEME"},
        {"17-character user name", BMC_ADDRESS, "ABCDEFGHIJKLMNOPQ", "CH4NGEME"},
        {"empty password", BMC_ADDRESS, "USERID", ""},
        {"17-character password", BMC_ADDRESS, "USERID", "ABCDEFGHIJKLMNOPQ"},
    };
    FakeBmc bmc(BMC_ADDRESS, 623);
    DialogProcess dialog;
    ASSERT_NE(dialog.window(), nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dialog.type(IDC_STATUS, "");
        dialog.type(IDC_ADDRESS, c.address);
        dialog.type(IDC_USER, c.user);
        dialog.type(IDC_PASSWORD, c.password);
        dialog.click(IDC_LOGON);
        EXPECT_EQ(state_of(dialog),
                  (DialogState{"Invalid IP, User Name, or Password", "Logon", false, false}));
    }
    EXPECT_TRUE(bmc.requests().empty());
}

TEST(Win32Dialog, KeysAndClicksBesideTheButtonsChangeNothingInAnyState) {
    FakeBmc bmc(BMC_ADDRESS, 623);
    bmc.script(GET_SESSION_CHALLENGE, Reply{.silent = true});
    DialogProcess dialog;
    ASSERT_NE(dialog.window(), nullptr);
    const HWND logon = GetDlgItem(dialog.window(), IDC_LOGON);
    {
        SCOPED_TRACE("idle");
        ASSERT_NO_FATAL_FAILURE(expect_keys_change_nothing(dialog));
    }
    // The Logon button clicked with the mouse too: in Wine a BM_CLICK leaves the dialog deaf to
    // the mouse's next clicks.
    dialog.type(IDC_ADDRESS, BMC_ADDRESS);
    click_with_mouse(logon);
    ASSERT_TRUE(bmc.wait_for_requests(1));
    {
        SCOPED_TRACE("logging on, unanswered");
        ASSERT_NO_FATAL_FAILURE(expect_keys_change_nothing(dialog));
    }
    click_with_mouse(logon);
    ASSERT_TRUE(dialog.wait_for_text(IDC_STATUS, "Logon Aborted")) << state_of(dialog);
    EXPECT_EQ(state_of(dialog), (DialogState{"Logon Aborted", "Logon", false, false}));
    click_with_mouse(logon);
    ASSERT_TRUE(dialog.wait_for_text(IDC_STATUS, "Connected")) << state_of(dialog);
    {
        SCOPED_TRACE("connected");
        ASSERT_NO_FATAL_FAILURE(expect_keys_change_nothing(dialog));
    }
}

TEST(Win32Dialog, ClosingEndsTheProcessWithZeroInEveryState) {
    enum class Before { NOTHING, LOGON_UNANSWERED, LOGON };
    for (Before before : {Before::NOTHING, Before::LOGON_UNANSWERED, Before::LOGON}) {
        SCOPED_TRACE(static_cast<int>(before));
        FakeBmc bmc(BMC_ADDRESS, 623);
        DialogProcess dialog;
        ASSERT_NE(dialog.window(), nullptr);
        if (before == Before::LOGON_UNANSWERED) {
            bmc.script(GET_SESSION_CHALLENGE, Reply{.silent = true});
            dialog.type(IDC_ADDRESS, BMC_ADDRESS);
            dialog.click(IDC_LOGON);
            ASSERT_TRUE(bmc.wait_for_requests(1));
            // The worker has its own word on the status line by now.
            EXPECT_EQ(dialog.text(IDC_LOGON), "Logging on (Abort)");
        } else if (before == Before::LOGON) {
            ASSERT_NO_FATAL_FAILURE(log_on(dialog));
        }
        EXPECT_EQ(dialog.close(), 0u);
    }
}

}  // namespace
}  // namespace tovrin::testing
