#include "ui/qt/qt_link.h"

namespace tovrin {

void QtLink::notify(std::uint32_t code) {
    QMetaObject::invokeMethod(
        &ui_object_, [this, code] { on_notification(dialog_, code); },
        Qt::BlockingQueuedConnection);
}

void QtLink::set_status(const char* text) {
    // The text stays valid: the worker is blocked until the call has been carried out.
    QMetaObject::invokeMethod(
        &ui_object_, [this, text] { dialog_.view.set_text(IDC_STATUS, text); },
        Qt::BlockingQueuedConnection);
}

}  // namespace tovrin
