#pragma once
// Qt's folder dialog as the chooser shows it.

#include <QString>
#include <optional>

class QWidget;

namespace kesto::wayfinder {

// `start` when it is an existing folder given by an absolute path, else the user's home
// folder: a relative path would depend on the manager's working folder.
[[nodiscard]] QString start_folder(const QString& start);

// Shows the dialog modal to `parent` (none: application modal) and waits for the user.
// The chosen folder as an absolute path with '/' separators; none when cancelled.
[[nodiscard]] std::optional<QString> choose_folder(QWidget* parent, const QString& caption,
                                                   const QString& start);

}  // namespace kesto::wayfinder
