#include "manager/labelled_control.h"

#include <QLabel>
#include <QWidget>

#include "common/qt/message_boxes.h"

namespace kesto::manager {

QLabel* preceding_label(const QWidget* control) {
    const QWidget* parent = control->parentWidget();
    if (parent == nullptr) return nullptr;
    QWidget* previous = nullptr;
    for (QObject* child : parent->children()) {
        if (child == control) return qobject_cast<QLabel*>(previous);
        if (child->isWidgetType()) previous = static_cast<QWidget*>(child);
    }
    return nullptr;
}

bool apply_label(QLabel* label, QWidget* control, int message, bool strip_ampersands) {
    if (label == nullptr) return false;
    QString text = common::catalogue_text(message);
    if (text.isEmpty()) return false;
    if (strip_ampersands) text.remove(QLatin1Char('&'));
    label->setText(text);
    label->setBuddy(control);
    return true;
}

}  // namespace kesto::manager
