#include "manager/labelled_combo_box.h"

#include <QEvent>
#include <QLabel>

#include "manager/labelled_control.h"

namespace kesto::manager {

void LabelledComboBox::set_label(int message, bool strip_ampersands) {
    apply_label(label(), this, message, strip_ampersands);
}

QLabel* LabelledComboBox::label() const {
    return preceding_label(this);
}

void LabelledComboBox::setVisible(bool visible) {
    QComboBox::setVisible(visible);
    if (QLabel* label = this->label()) label->setVisible(visible);
}

void LabelledComboBox::changeEvent(QEvent* event) {
    QComboBox::changeEvent(event);
    // Only the box's own setting is passed on: a disabled parent disables both anyway.
    if (event->type() == QEvent::EnabledChange) {
        if (QLabel* label = this->label()) label->setEnabled(!testAttribute(Qt::WA_ForceDisabled));
    }
}

}  // namespace kesto::manager
