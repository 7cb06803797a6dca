// The password prompt on a Windows console: tovrin-cli reads the input of the console the test
// shares with it, and the test writes keys into that input as a person types them.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <string>
#include <thread>

#include "tests/cli/cli_process.h"
#include "tests/cli/shared_console.h"
#include "tests/support/fake_bmc.h"

namespace tovrin::testing {
namespace {

const std::map<std::string, std::string> NO_PASSWORD_SOURCE = {{"TOVRIN_PASSWORD", ""}};
constexpr std::chrono::seconds PATIENCE{20};  // only a run that hangs waits this long
constexpr int STATUS_CONTROL_C_EXIT_CODE = static_cast<int>(0xC000013A);

class Console {
  public:
    Console() {
        share_console();
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        input_ =
            CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        &inherit, OPEN_EXISTING, 0, nullptr);
        output_ =
            CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, 0, nullptr);
        FlushConsoleInputBuffer(input_);
    }
    ~Console() {
        CloseHandle(input_);
        CloseHandle(output_);
    }
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    bool opened() const {
        return input_ != INVALID_HANDLE_VALUE && output_ != INVALID_HANDLE_VALUE;
    }
    std::intptr_t input() const { return reinterpret_cast<std::intptr_t>(input_); }

    bool echoes() const {
        DWORD mode = 0;
        return GetConsoleMode(input_, &mode) && (mode & ENABLE_ECHO_INPUT) != 0;
    }

    // True once the console's echo is off, as the prompt turns it off before it shows.
    bool wait_for_echo_off() const {
        const auto give_up = std::chrono::steady_clock::now() + PATIENCE;
        while (echoes()) {
            if (std::chrono::steady_clock::now() > give_up) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    // Each key pressed and let go; '\r' is Enter, '\x03' Ctrl-C.
    void type(const std::string& keys) {
        std::vector<INPUT_RECORD> records;
        for (const char key : keys) {
            for (const BOOL down : {TRUE, FALSE}) {
                INPUT_RECORD record{};
                record.EventType = KEY_EVENT;
                record.Event.KeyEvent.bKeyDown = down;
                record.Event.KeyEvent.wRepeatCount = 1;
                record.Event.KeyEvent.wVirtualKeyCode = key == '\r'     ? VK_RETURN
                                                        : key == '\x03' ? 'C'
                                                                        : VkKeyScanA(key) & 0xFF;
                record.Event.KeyEvent.dwControlKeyState = key == '\x03' ? LEFT_CTRL_PRESSED : 0;
                record.Event.KeyEvent.uChar.AsciiChar = key;
                records.push_back(record);
            }
        }
        DWORD written = 0;
        ASSERT_TRUE(WriteConsoleInputA(input_, records.data(), static_cast<DWORD>(records.size()),
                                       &written));
        ASSERT_EQ(written, records.size());
    }

    // Every character the console's screen buffer holds.
    std::string screen() const {
        CONSOLE_SCREEN_BUFFER_INFO info{};
        if (!GetConsoleScreenBufferInfo(output_, &info)) {
            return {};
        }
        std::string text(static_cast<std::size_t>(info.dwSize.X) * info.dwSize.Y, ' ');
        DWORD read = 0;
        ReadConsoleOutputCharacterA(output_, text.data(), static_cast<DWORD>(text.size()), {0, 0},
                                    &read);
        text.resize(read);
        return text;
    }

  private:
    HANDLE input_ = INVALID_HANDLE_VALUE;
    HANDLE output_ = INVALID_HANDLE_VALUE;
};

// Keys typed the moment echo goes off, before the prompt may even show, are read and never shown.
TEST(ConsolePrompt, TypedIsReadAndNeverShown) {
    for (int run = 0; run < 10 && !HasFailure(); ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        FakeBmc bmc;
        Console console;
        ASSERT_TRUE(console.opened());
        ASSERT_TRUE(console.echoes()) << "before the prompt";
        CliProcess cli(bmc_args(bmc, {"127.0.0.1", "logon"}), NO_PASSWORD_SOURCE, console.input());
        ASSERT_TRUE(console.wait_for_echo_off());
        const std::string password = "typed-" + std::to_string(run);
        console.type(password + "\r");
        const CliResult result = cli.wait(PATIENCE);
        EXPECT_EQ(result.exit_status, 0) << result.err;
        EXPECT_EQ(result.err.rfind("Password: " + std::string(TEXT_LINE_END), 0), 0u) << result.err;
        EXPECT_EQ(password_sent(bmc), password);
        EXPECT_TRUE(console.echoes());
        EXPECT_EQ(console.screen().find(password), std::string::npos) << "echoed";
    }
}

TEST(ConsolePrompt, CtrlCAtThePromptPutsEchoBack) {
    FakeBmc bmc;
    Console console;
    ASSERT_TRUE(console.opened());
    CliProcess cli(bmc_args(bmc, {"127.0.0.1", "logon"}), NO_PASSWORD_SOURCE, console.input());
    ASSERT_TRUE(console.wait_for_echo_off());
    console.type("half");
    cli.interrupt();
    const CliResult result = cli.wait(PATIENCE);
    EXPECT_EQ(result.exit_status, STATUS_CONTROL_C_EXIT_CODE) << result.err;
    EXPECT_TRUE(console.echoes());
    EXPECT_TRUE(bmc.requests().empty());
}

}  // namespace
}  // namespace tovrin::testing
