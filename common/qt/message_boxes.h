#pragma once
// The manager's message boxes, captioned with catalogue texts. Each one is modal for the
// whole application, so no other window of the manager takes input while it is open.

#include <QString>

class QWidget;

namespace kesto::common {

// The catalogue text of `number` (UTF-8); empty when the catalogue has none.
[[nodiscard]] QString catalogue_text(int number);

// Error icon, OK, captioned with the error caption (msg::kErrorCaption).
void show_error(QWidget* parent, const QString& text);

// Warning icon, Yes and No, captioned with the question caption; true only for Yes
// (Escape and closing the box answer No).
[[nodiscard]] bool ask_yes_no(QWidget* parent, const QString& text);

// Warning icon, OK, captioned with the question caption.
void show_notice(QWidget* parent, const QString& text);

// Routes present_error (error_report.h) to show_error over the active window. Call on
// the user-interface thread, once the QApplication exists; errors are then presented on
// that thread only.
void install_message_box_presenter();

}  // namespace kesto::common
