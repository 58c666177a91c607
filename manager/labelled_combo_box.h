#pragma once
// LabelledComboBox: a combo box that carries its label along. Enabling, disabling,
// showing or hiding it does the same to the label created just before it.

#include <QComboBox>

class QLabel;

namespace kesto::manager {

class LabelledComboBox : public QComboBox {
    Q_OBJECT

  public:
    explicit LabelledComboBox(QWidget* parent = nullptr) : QComboBox(parent) {}

    // Gives the label created just before this box catalogue text `message` (every '&'
    // removed with `strip_ampersands`) and makes this box its buddy. Nothing happens
    // without a catalogue text or without such a label.
    void set_label(int message, bool strip_ampersands);
    // The label created just before this box; nullptr when there is none.
    [[nodiscard]] QLabel* label() const;

    void setVisible(bool visible) override;

  protected:
    void changeEvent(QEvent* event) override;
};

}  // namespace kesto::manager
