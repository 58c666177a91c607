#include "manager/labelled_edit.h"

#include <QEvent>
#include <QLabel>

#include "manager/labelled_control.h"

namespace kesto::manager {

void LabelledEdit::set_label(int message, bool strip_ampersands) {
    QLabel* label = preceding_label(this);
    if (apply_label(label, this, message, strip_ampersands)) label_ = label;
}

void LabelledEdit::set_text_if_changed(const QString& text) {
    if (this->text() != text) setText(text);
}

void LabelledEdit::setVisible(bool visible) {
    QLineEdit::setVisible(visible);
    if (label_) label_->setVisible(visible);
}

void LabelledEdit::changeEvent(QEvent* event) {
    QLineEdit::changeEvent(event);
    // Only the field's own setting is passed on: a disabled parent disables both anyway.
    if (event->type() == QEvent::EnabledChange && label_) {
        label_->setEnabled(!testAttribute(Qt::WA_ForceDisabled));
    }
}

}  // namespace kesto::manager
