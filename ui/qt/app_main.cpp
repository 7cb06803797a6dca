#include "ui/qt/app_main.h"

#include <QApplication>

#include "ui/qt/main_window.h"

namespace tovrin {

int app_main(WorkerControl& control) {
    MainWindow window(control);
    window.show();
    QApplication::exec();
    return 0;
}

}  // namespace tovrin
