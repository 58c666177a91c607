#pragma once
// What LabelledEdit and LabelledComboBox share: a control's label is the QLabel created
// just before it in the same parent (the order a dialog lays its controls out in), so
// a dialog names each field by creating its label first.

#include <QString>

class QLabel;
class QWidget;

namespace kesto::manager {

// The sibling created just before `control`, when it is a label; else nullptr.
[[nodiscard]] QLabel* preceding_label(const QWidget* control);

// Sets the label's text to catalogue text `message` (every '&' removed with
// `strip_ampersands`) and makes `control` its buddy, so that the label's mnemonic
// focuses the control and a screen reader names the control by it. False, and
// nothing changed, without a label or without a catalogue text.
bool apply_label(QLabel* label, QWidget* control, int message, bool strip_ampersands);

}  // namespace kesto::manager
