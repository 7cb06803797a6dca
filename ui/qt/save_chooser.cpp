#include "ui/qt/save_chooser.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <cstring>

namespace tovrin {
namespace {

class SaveChooser final : public QFileDialog {
  public:
    SaveChooser(QWidget* owner, const QString& start, std::size_t capacity)
        : QFileDialog(owner), capacity_(capacity) {
        setOption(QFileDialog::DontUseNativeDialog);
        setAcceptMode(QFileDialog::AcceptSave);
        setFileMode(QFileDialog::AnyFile);
        setNameFilters({"Text Files (*.txt)", "All Files (*.*)"});
        if (!start.isEmpty()) {
            selectFile(start);
        }
    }

    // The full path that was confirmed.
    const QByteArray& chosen() const { return chosen_; }

    // Every rule is checked here, Qt's own accept left out: it judges the name still in the box,
    // which a typed folder name or an added extension does not change while the box has focus.
    void accept() override {
        const QStringList typed = selectedFiles();
        if (typed.isEmpty()) {
            return;
        }
        const QFileInfo name(typed.first());
        if (name.isDir()) {
            // A folder's name opens the folder, as the platform choosers do.
            setDirectory(name.absoluteFilePath());
            return;
        }
        const QFileInfo file(name.fileName().contains('.') ? name.absoluteFilePath()
                                                           : name.absoluteFilePath() + ".txt");
        if (!file.dir().exists()) {
            refuse(QString("The folder %1 does not exist.")
                       .arg(QDir::toNativeSeparators(file.path())));
            return;
        }
        const QByteArray path = QFile::encodeName(file.absoluteFilePath());
        if (static_cast<std::size_t>(path.size()) >= capacity_) {
            refuse(QString("The path is too long: at most %1 characters fit.").arg(capacity_ - 1));
            return;
        }
        if (file.exists() &&
            QMessageBox::warning(
                this, windowTitle(),
                QString("%1 already exists.\nDo you want to replace it?").arg(file.fileName()),
                QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes) {
            return;
        }
        chosen_ = path;
        QDialog::accept();
    }

  private:
    void refuse(const QString& text) { QMessageBox::warning(this, windowTitle(), text); }

    std::size_t capacity_;
    QByteArray chosen_;
};

}  // namespace

bool run_save_chooser(QWidget* owner, char* path, std::size_t capacity) {
    SaveChooser chooser(owner, QFile::decodeName(path), capacity);
    if (chooser.exec() != QDialog::Accepted) {
        return false;
    }
    std::memcpy(path, chooser.chosen().constData(), chooser.chosen().size() + 1);
    return true;
}

}  // namespace tovrin
