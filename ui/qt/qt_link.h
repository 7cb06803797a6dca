// The worker's link into the Qt window. Each notification and status text is a blocking queued call
// into the UI thread: the worker waits until it has been carried out, so reports arrive in the
// order sent, and the UI thread carries them out only between handlers or inside a modal loop such
// as the file chooser's, never in the middle of one of the dialog's own handlers.
#pragma once

#include <QObject>
#include <cstdint>

#include "ui/main_dialog.h"
#include "worker/worker_control.h"

namespace tovrin {

class QtLink final : public WorkerLink {
  public:
    // `ui_object` lives on the UI thread; the calls run there.
    QtLink(QObject& ui_object, MainDialog& dialog) : ui_object_(ui_object), dialog_(dialog) {}

    void notify(std::uint32_t code) override;
    void set_status(const char* text) override;

  private:
    QObject& ui_object_;
    MainDialog& dialog_;
};

}  // namespace tovrin
