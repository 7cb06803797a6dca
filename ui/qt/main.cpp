// tovrin: the dialog for Linux. It takes no options; the command line is not even shown to Qt.
#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "ui/qt/app_main.h"

namespace {

// Qt ends the process with a fatal message when it finds no display or no platform plugin to open
// the window with; the program says so and exits with 0 instead.
void report_start_failure(QtMsgType type, const QMessageLogContext&, const QString& message) {
    std::fprintf(stderr, "%s\n", qPrintable(message));
    if (type == QtFatalMsg) {
        std::fputs("tovrin: the window cannot be opened\n", stderr);
        std::_Exit(0);
    }
}

}  // namespace

int main(int, char** argv) {
    int qt_argc = 1;
    const QtMessageHandler previous = qInstallMessageHandler(report_start_failure);
    QApplication application(qt_argc, argv);
    qInstallMessageHandler(previous);
    tovrin::WorkerControl control;
    return tovrin::app_main(control);
}
