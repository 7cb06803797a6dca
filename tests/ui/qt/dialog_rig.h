// The real main window against a fake BMC over loopback, and the waits and modal-window steps the
// Qt tests share. Every wait polls for a condition while the UI thread serves its events.
#pragma once

#include <gtest/gtest.h>

#include <QFileDialog>
#include <QMessageBox>
#include <QString>
#include <functional>

#include "tests/support/fake_bmc.h"
#include "ui/qt/main_window.h"

namespace tovrin::testing {

constexpr int WAIT_LIMIT_MS = 30000;

// True once `condition` holds; false after the limit.
bool wait_until(const std::function<bool()>& condition, int limit_ms = WAIT_LIMIT_MS);

// Runs `act` on the modal chooser once it is the active window (the file list loads in the
// background and can replace a name typed earlier), or on the modal message box once it shows, from
// inside that window's own event loop. Schedule it before the step that opens the
// window. When none comes, the test fails and the modal window that is open, if any, is closed.
void when_active(const std::function<void(QFileDialog&)>& act);
void when_active(const std::function<void(QMessageBox&)>& act);

// Puts a file name into the chooser's name box and presses Return there.
void enter_file_name(QFileDialog& chooser, const QString& name);

// The window, its WorkerControl set to the fake BMC's port with a short tick and no pace, the
// address box at the fake's address. When the rig goes, the window ends its worker and the fake
// must have seen no malformed request.
struct DialogRig {
    DialogRig();
    ~DialogRig();

    QString text(int id) const;
    bool enabled(int id) const;
    void press(int id);

    // Presses Logon and waits for "Connected".
    bool connect();

    FakeBmc bmc;
    WorkerControl control;
    MainWindow window{control};
};

}  // namespace tovrin::testing
