#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include "tests/support/fake_bmc.h"
#include "tests/ui/qt/dialog_rig.h"
#include "ui/qt/app_main.h"
#include "ui/qt/main_window.h"

namespace tovrin::testing {
namespace {

MainWindow* main_window() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = dynamic_cast<MainWindow*>(widget)) {
            return window;
        }
    }
    return nullptr;
}

enum class CloseWhen {
    BLOCKED_IN_CONNECTED,  // from inside the handling of UM_CONNECTED: the worker waits for it
    LOGGING_ON_SILENT,     // while the worker waits for a reply that never comes
};

// The whole program's run in this process, the window closed by the user at the given moment;
// returns app_main's exit status.
int run_and_close(CloseWhen when) {
    FakeBmc bmc;
    if (when == CloseWhen::LOGGING_ON_SILENT) {
        bmc.script(GET_SESSION_CHALLENGE, {.silent = true});
    }
    WorkerControl control;
    control.settings.port = bmc.port();
    control.settings.tick_ms = 1;
    QTimer::singleShot(0, [&bmc, when] {
        MainWindow* window = main_window();
        qobject_cast<QLineEdit*>(window->control(IDC_ADDRESS))->setText("127.0.0.1");
        auto* logon = qobject_cast<QPushButton*>(window->control(IDC_LOGON));
        if (when == CloseWhen::BLOCKED_IN_CONNECTED) {
            // "Connected" is first written while UM_CONNECTED is handled.
            auto* status = qobject_cast<QLineEdit*>(window->control(IDC_STATUS));
            QObject::connect(status, &QLineEdit::textChanged, window,
                             [window](const QString& text) {
                                 if (text == "Connected") {
                                     window->close();
                                 }
                             });
        }
        logon->click();
        if (when == CloseWhen::LOGGING_ON_SILENT) {
            EXPECT_TRUE(wait_until([&bmc] { return !bmc.requests().empty(); }));
            window->close();
        }
    });
    return app_main(control);
}

TEST(AppMainDeathTest, ClosingTheWindowEndsTheProcessWithZero) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (CloseWhen when : {CloseWhen::BLOCKED_IN_CONNECTED, CloseWhen::LOGGING_ON_SILENT}) {
        SCOPED_TRACE(static_cast<int>(when));
        // As in main, the application goes before the process ends, and LeakSanitizer looks at
        // what is left when it does.
        EXPECT_EXIT(
            {
                const int status = run_and_close(when);
                delete qApp;
                std::exit(status);
            },
            ::testing::ExitedWithCode(0), "");
    }
}

TEST(TovrinProgram, WithoutADisplaySaysSoAndExitsWithZeroIgnoringItsCommandLine) {
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.insert("QT_QPA_PLATFORM", "xcb");
    program.setProcessEnvironment(environment);
    // Were the command line read, Qt would take the offscreen platform from it and the window would
    // open and stay.
    program.start(TOVRIN_PATH, {"-platform", "offscreen", "--help"});
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(program.readAllStandardError().contains("the window cannot be opened"));
}

}  // namespace
}  // namespace tovrin::testing
