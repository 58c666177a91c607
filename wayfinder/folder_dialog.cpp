#include "wayfinder/folder_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace kesto::wayfinder {

QString start_folder(const QString& start) {
    const QFileInfo folder(start);
    return folder.isAbsolute() && folder.isDir() ? start : QDir::homePath();
}

std::optional<QString> choose_folder(QWidget* parent, const QString& caption,
                                     const QString& start) {
    QFileDialog dialog(parent, caption, start_folder(start));
    dialog.setFileMode(QFileDialog::Directory);
    // Qt's own dialog rather than the desktop's: the same window on every desktop, and
    // one that the tests can drive.
    dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return QDir::fromNativeSeparators(chosen.first());
}

}  // namespace kesto::wayfinder
