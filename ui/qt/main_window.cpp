#include "ui/qt/main_window.h"

#include <QAbstractButton>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <cstring>

#include "ui/qt/dialog_template.h"
#include "ui/qt/save_chooser.h"

namespace tovrin {
namespace {

QIcon window_icon() {
    QIcon icon;
    icon.addFile(":/icons/tovrin-32.png");
    icon.addFile(":/icons/tovrin-16.png");
    return icon;
}

// The box's text as the dialog logic counts it: one byte per character.
QByteArray box_text(QWidget* box) {
    const auto* edit = qobject_cast<QLineEdit*>(box);
    return edit != nullptr ? edit->text().toLatin1() : QByteArray();
}

}  // namespace

MainWindow::MainWindow(WorkerControl& control)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      dialog_{*this, control},
      link_(*this, dialog_) {
    setWindowTitle("Tovrin V" TOVRIN_VERSION);
    setWindowIcon(window_icon());
    for (int index = 0; index < static_cast<int>(controls_.size()); ++index) {
        controls_[index] = create_control(index);
    }
    setFixedSize(to_pixels(fontMetrics(), DIALOG_UNITS));
    move(0, 0);
}

MainWindow::~MainWindow() {
    workers_.finish();
}

QWidget* MainWindow::create_control(int index) {
    const ControlTemplate& table = MAIN_DIALOG_CONTROLS[index];
    QRect place = to_pixels(fontMetrics(), table.units);
    const QString text = QString::fromLatin1(table.text);
    QWidget* widget = nullptr;
    switch (table.kind) {
        case ControlKind::EDIT:
        case ControlKind::PASSWORD:
        case ControlKind::STATUS: {
            auto* edit = new QLineEdit(text, this);
            if (table.kind == ControlKind::PASSWORD) {
                edit->setEchoMode(QLineEdit::Password);
            }
            if (table.kind == ControlKind::STATUS) {
                edit->setReadOnly(true);
                // Reachable with the mouse to copy from, but Tab passes it by.
                edit->setFocusPolicy(Qt::ClickFocus);
            }
            widget = edit;
            break;
        }
        case ControlKind::BUTTON: {
            auto* button = new QPushButton(text, this);
            button->setAutoDefault(false);
            const int id = table.id;
            connect(button, &QPushButton::clicked, this, [this, id] { on_command(dialog_, id); });
            widget = button;
            break;
        }
        case ControlKind::LABEL: {
            auto* label = new QLabel(text, this);
            // The template's widths were measured for another font; the label grows to its text,
            // into the gap before the boxes.
            place.setWidth(std::max(place.width(), label->sizeHint().width()));
            widget = label;
            break;
        }
    }
    widget->setGeometry(place);
    widget->setEnabled(table.enabled);
    return widget;
}

QWidget* MainWindow::control(int id) const {
    for (std::size_t index = 0; index < controls_.size(); ++index) {
        if (id != -1 && MAIN_DIALOG_CONTROLS[index].id == id) {
            return controls_[index];
        }
    }
    return nullptr;
}

void MainWindow::set_text(int id, const char* text) {
    QWidget* widget = control(id);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(QString::fromLatin1(text));
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(QString::fromLatin1(text));
    }
}

void MainWindow::enable(int id, bool enabled) {
    if (QWidget* widget = control(id)) {
        widget->setEnabled(enabled);
    }
}

std::size_t MainWindow::text_length(int id) {
    return static_cast<std::size_t>(box_text(control(id)).size());
}

void MainWindow::read_text(int id, char* buffer, std::size_t capacity) {
    if (capacity == 0) {
        return;
    }
    const QByteArray text = box_text(control(id));
    const std::size_t length = std::min(static_cast<std::size_t>(text.size()), capacity - 1);
    std::memcpy(buffer, text.constData(), length);
    buffer[length] = '\0';
}

bool MainWindow::run_save_chooser(char* path, std::size_t capacity) {
    return tovrin::run_save_chooser(this, path, capacity);
}

WorkerLink* MainWindow::worker_link() {
    return &link_;
}

bool MainWindow::start_worker(WorkerControl* control) {
    return workers_.start(control);
}

}  // namespace tovrin
