#include "tests/ui/qt/dialog_rig.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

namespace tovrin::testing {

bool wait_until(const std::function<bool()>& condition, int limit_ms) {
    return QTest::qWaitFor(condition, limit_ms);
}

namespace {

// A window that takes typing must be the active one; a message box only needs to be showing.
template <typename T>
void when_active_modal(const std::function<void(T&)>& act, bool typed_into) {
    QTimer::singleShot(0, [act, typed_into] {
        T* window = nullptr;
        const bool opened = wait_until([&window, typed_into] {
            window = qobject_cast<T*>(QApplication::activeModalWidget());
            return window != nullptr && window->isVisible() &&
                   (!typed_into || window->isActiveWindow());
        });
        if (!opened) {
            ADD_FAILURE() << "no " << T::staticMetaObject.className() << " became active";
            if (QWidget* modal = QApplication::activeModalWidget()) {
                modal->close();
            }
            return;
        }
        act(*window);
    });
}

}  // namespace

void when_active(const std::function<void(QFileDialog&)>& act) {
    when_active_modal(act, true);
}

void when_active(const std::function<void(QMessageBox&)>& act) {
    when_active_modal(act, false);
}

void enter_file_name(QFileDialog& chooser, const QString& name) {
    auto* edit = chooser.findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(edit, nullptr);
    // Set rather than typed key by key: typing brings up completions from the file list, which
    // load in the background and can take the Return meant for the chooser.
    edit->setText(name);
    QTest::keyClick(edit, Qt::Key_Return);
}

DialogRig::DialogRig() {
    control.settings.port = bmc.port();
    control.settings.tick_ms = 1;
    control.settings.pace_ms = 0;
    qobject_cast<QLineEdit*>(window.control(IDC_ADDRESS))->setText("127.0.0.1");
    window.show();
}

DialogRig::~DialogRig() {
    for (const Request& request : bmc.requests()) {
        EXPECT_EQ(request.problem, "") << "command " << int(request.command);
    }
}

QString DialogRig::text(int id) const {
    QWidget* control = window.control(id);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        return edit->text();
    }
    return qobject_cast<QAbstractButton*>(control)->text();
}

bool DialogRig::enabled(int id) const {
    return window.control(id)->isEnabled();
}

void DialogRig::press(int id) {
    QTest::mouseClick(window.control(id), Qt::LeftButton);
}

bool DialogRig::connect() {
    press(IDC_LOGON);
    return wait_until([this] { return text(IDC_STATUS) == "Connected"; });
}

}  // namespace tovrin::testing
