#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/ui/qt/dialog_rig.h"

namespace tovrin::testing {
namespace {

QLineEdit* box(const DialogRig& rig, int id) {
    return qobject_cast<QLineEdit*>(rig.window.control(id));
}

QLabel* label(const MainWindow& window, const QString& text) {
    for (QLabel* found : window.findChildren<QLabel*>()) {
        if (found->text() == text) {
            return found;
        }
    }
    return nullptr;
}

// Every text the status line shows, in order.
struct StatusRecorder {
    explicit StatusRecorder(QLineEdit* status)
        : connection(QObject::connect(status, &QLineEdit::textChanged, [this](const QString& text) {
              texts.push_back(text.toStdString());
          })) {}
    // The window goes after the recorder and still shows its worker's last report.
    ~StatusRecorder() { QObject::disconnect(connection); }

    QMetaObject::Connection connection;
    std::vector<std::string> texts;
};

TEST(MainWindow, StartsAsTheTemplateSaysWithTitleIconAndFixedSize) {
    DialogRig rig;
    const MainWindow& window = rig.window;
    EXPECT_EQ(window.windowTitle(), "Tovrin V1.12");
    const QList<QSize> sizes = window.windowIcon().availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(32, 32)) && sizes.contains(QSize(16, 16)));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window.windowFlags() & Qt::WindowMinimizeButtonHint);

    // A fresh window, not the rig's, whose address box still holds its default.
    WorkerControl control;
    const MainWindow fresh(control);
    const auto* address = qobject_cast<QLineEdit*>(fresh.control(IDC_ADDRESS));
    EXPECT_TRUE(QRegularExpression(R"(^\d{1,3}(\.\d{1,3}){3}$)").match(address->text()).hasMatch())
        << address->text().toStdString();

    EXPECT_EQ(rig.text(IDC_USER), "USERID");
    EXPECT_EQ(rig.text(IDC_PASSWORD), "CH4NGEME");
    EXPECT_EQ(box(rig, IDC_PASSWORD)->echoMode(), QLineEdit::Password);
    EXPECT_EQ(box(rig, IDC_USER)->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(rig.text(IDC_STATUS), "");
    EXPECT_TRUE(box(rig, IDC_STATUS)->isReadOnly());
    EXPECT_FALSE(box(rig, IDC_USER)->isReadOnly());
    EXPECT_EQ(rig.text(IDC_LOGON), "Logon");
    EXPECT_TRUE(rig.enabled(IDC_LOGON));
    EXPECT_EQ(rig.text(IDC_DUMP), "Dump SEL");
    EXPECT_FALSE(rig.enabled(IDC_DUMP));
    EXPECT_EQ(rig.text(IDC_CLEAR), "Clear SEL");
    EXPECT_FALSE(rig.enabled(IDC_CLEAR));
    EXPECT_FALSE(qobject_cast<QPushButton*>(window.control(IDC_LOGON))->isDefault());
}

TEST(MainWindow, LabelsShowTheirWholeTextLeftOfTheirBoxes) {
    DialogRig rig;
    for (const auto& [text, id] :
         {std::pair{"User Name:", IDC_USER}, {"Password:", IDC_PASSWORD}}) {
        SCOPED_TRACE(text);
        const QLabel* found = label(rig.window, text);
        ASSERT_NE(found, nullptr);
        EXPECT_GE(found->width(), found->fontMetrics().horizontalAdvance(text));
        const QRect box_place = rig.window.control(id)->geometry();
        EXPECT_LT(found->geometry().right(), box_place.left());
    }
    // The controls lie inside the window, one below the other as the template places them.
    const QRect client = rig.window.rect();
    for (int id :
         {IDC_ADDRESS, IDC_USER, IDC_PASSWORD, IDC_LOGON, IDC_DUMP, IDC_CLEAR, IDC_STATUS}) {
        EXPECT_TRUE(client.contains(rig.window.control(id)->geometry())) << id;
    }
    EXPECT_LT(rig.window.control(IDC_ADDRESS)->geometry().bottom(),
              rig.window.control(IDC_USER)->geometry().top());
    EXPECT_LT(rig.window.control(IDC_LOGON)->geometry().bottom(),
              rig.window.control(IDC_DUMP)->geometry().top());
    EXPECT_LT(rig.window.control(IDC_DUMP)->geometry().right(),
              rig.window.control(IDC_CLEAR)->geometry().left());
    EXPECT_LT(rig.window.control(IDC_DUMP)->geometry().bottom(),
              rig.window.control(IDC_STATUS)->geometry().top());
}

TEST(MainWindow, TabMovesThroughTheControlsInOrder) {
    DialogRig rig;
    rig.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&rig.window));
    ASSERT_TRUE(rig.connect());  // Dump SEL and Clear SEL enabled, so that Tab reaches them
    rig.window.control(IDC_ADDRESS)->setFocus();
    const std::vector<int> order{IDC_USER, IDC_PASSWORD, IDC_LOGON,
                                 IDC_DUMP, IDC_CLEAR,    IDC_ADDRESS};
    for (int id : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), rig.window.control(id)) << "expected " << id;
    }
}

TEST(MainWindow, LogonShowsEveryStepInOrderThenConnected) {
    DialogRig rig;
    StatusRecorder status(box(rig, IDC_STATUS));
    ASSERT_TRUE(rig.connect());
    // "Connecting" is written after the worker starts, yet comes before anything it reports.
    EXPECT_EQ(status.texts, (std::vector<std::string>{"Connecting", "Get Session Challenge",
                                                      "Activate Session Request",
                                                      "Set Privilege Level", "Connected"}));
    EXPECT_EQ(rig.text(IDC_LOGON), "Disconnect");
    EXPECT_TRUE(rig.enabled(IDC_DUMP));
    EXPECT_TRUE(rig.enabled(IDC_CLEAR));
}

TEST(MainWindow, DisconnectEndsTheSession) {
    DialogRig rig;
    ASSERT_TRUE(rig.connect());
    rig.press(IDC_LOGON);
    EXPECT_TRUE(wait_until([&] { return rig.text(IDC_STATUS) == "Disconnected"; }));
    EXPECT_EQ(rig.text(IDC_LOGON), "Logon");
    EXPECT_FALSE(rig.enabled(IDC_DUMP));
    EXPECT_FALSE(rig.enabled(IDC_CLEAR));
}

TEST(MainWindow, AbortWhileLoggingOnToASilentBmc) {
    DialogRig rig;
    rig.bmc.script(GET_SESSION_CHALLENGE, {.silent = true});
    rig.press(IDC_LOGON);
    EXPECT_EQ(rig.text(IDC_LOGON), "Logging on (Abort)");
    // The press lands while the worker waits for the silent reply.
    ASSERT_TRUE(wait_until([&] { return !rig.bmc.requests().empty(); }));
    rig.press(IDC_LOGON);
    EXPECT_TRUE(wait_until([&] { return rig.text(IDC_STATUS) == "Logon Aborted"; }));
    EXPECT_EQ(rig.text(IDC_LOGON), "Logon");
    EXPECT_FALSE(rig.enabled(IDC_DUMP));
    EXPECT_FALSE(rig.enabled(IDC_CLEAR));
}

TEST(MainWindow, DumpIntoAFileChosenInTheChooser) {
    DialogRig rig;
    TempDir dir;
    rig.bmc.set_sel(sel_chain({{}, {}, {}}));
    ASSERT_TRUE(rig.connect());
    const std::string folder = dir.path("").string();
    when_active([&](QFileDialog& chooser) {
        chooser.setDirectory(QString::fromStdString(folder));
        enter_file_name(chooser, "sel");
    });
    rig.press(IDC_DUMP);
    EXPECT_TRUE(wait_until([&] { return rig.text(IDC_STATUS) == "SEL Save Complete"; }));
    EXPECT_TRUE(rig.enabled(IDC_DUMP));
    EXPECT_TRUE(rig.enabled(IDC_CLEAR));
    const std::string content = read_file(dir.path("sel.txt"));
    EXPECT_EQ(std::count(content.begin(), content.end(), '\n'), 3) << content;
    EXPECT_EQ(std::string(rig.control.dump_path), dir.path("sel.txt").string());
}

TEST(MainWindow, ClearSel) {
    DialogRig rig;
    rig.bmc.set_sel(sel_chain({{}, {}}));
    ASSERT_TRUE(rig.connect());
    rig.press(IDC_CLEAR);
    EXPECT_FALSE(rig.enabled(IDC_DUMP));
    EXPECT_FALSE(rig.enabled(IDC_CLEAR));
    EXPECT_TRUE(wait_until([&] { return rig.text(IDC_STATUS) == "SEL Cleared"; }));
    EXPECT_TRUE(rig.enabled(IDC_DUMP));
    EXPECT_TRUE(rig.enabled(IDC_CLEAR));
    EXPECT_TRUE(rig.bmc.sel().empty());
}

TEST(MainWindow, ADumpThatCannotBeWrittenEnablesBothButtonsAgain) {
    if (!std::filesystem::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full here";
    }
    DialogRig rig;
    TempDir dir;
    // A name with the extension, so that none is added, for a file that takes no bytes.
    std::filesystem::create_symlink("/dev/full", dir.path("full.txt"));
    rig.bmc.set_sel(sel_chain({{}, {}}));
    ASSERT_TRUE(rig.connect());
    when_active([&](QFileDialog& chooser) {
        when_active([](QMessageBox& question) { question.button(QMessageBox::Yes)->click(); });
        enter_file_name(chooser, QString::fromStdString(dir.path("full.txt").string()));
    });
    rig.press(IDC_DUMP);
    EXPECT_TRUE(wait_until([&] { return rig.text(IDC_STATUS) == "Error, Unable to write file"; }));
    EXPECT_TRUE(wait_until([&] { return rig.enabled(IDC_DUMP) && rig.enabled(IDC_CLEAR); }));
    EXPECT_EQ(rig.text(IDC_LOGON), "Disconnect");
}

TEST(MainWindow, ASessionEndingWhileTheChooserIsOpenShowsAtOnce) {
    DialogRig rig;
    ASSERT_TRUE(rig.connect());
    bool shown_while_open = false;
    when_active([&](QFileDialog& chooser) {
        // The next keep-alive fails and ends the session.
        rig.bmc.script(GET_SESSION_INFO, {.completion_code = 0xC1});
        shown_while_open = wait_until([&] { return rig.text(IDC_STATUS) == "Disconnected"; });
        EXPECT_TRUE(chooser.isVisible());
        EXPECT_EQ(rig.text(IDC_LOGON), "Logon");
        EXPECT_FALSE(rig.enabled(IDC_DUMP));
        EXPECT_FALSE(rig.enabled(IDC_CLEAR));
        chooser.reject();
    });
    rig.press(IDC_DUMP);
    EXPECT_TRUE(shown_while_open);
    // Back in the idle state: Logon starts a new session.
    EXPECT_TRUE(rig.connect());
}

}  // namespace
}  // namespace tovrin::testing
