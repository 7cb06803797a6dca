// The main window of the Qt front end: the nine controls of the dialog template, carrying out the
// dialog logic's view operations. Every decision lives in main_dialog; the window only turns button
// presses into on_command and carries the worker's reports to on_notification.
#pragma once

#include <QWidget>
#include <array>
#include <cstddef>

#include "ui/dialog_view.h"
#include "ui/main_dialog.h"
#include "ui/qt/qt_link.h"
#include "ui/qt/worker_threads.h"

namespace tovrin {

class MainWindow final : public QWidget, public DialogView {
  public:
    // `control` outlives the window.
    explicit MainWindow(WorkerControl& control);
    // Ends the workers still running first, serving their last reports.
    ~MainWindow() override;

    // The control with this id, nullptr for none.
    QWidget* control(int id) const;

    void set_text(int control, const char* text) override;
    void enable(int control, bool enabled) override;
    std::size_t text_length(int control) override;
    void read_text(int control, char* buffer, std::size_t capacity) override;
    bool run_save_chooser(char* path, std::size_t capacity) override;
    WorkerLink* worker_link() override;
    bool start_worker(WorkerControl* control) override;

  private:
    QWidget* create_control(int index);

    MainDialog dialog_;
    QtLink link_;
    WorkerThreads workers_;
    std::array<QWidget*, 9> controls_{};  // in the order of the dialog template
};

}  // namespace tovrin
