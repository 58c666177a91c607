#pragma once
// LabelledEdit: a one-line edit field that carries its label along. Once its label is
// set, enabling, disabling, showing or hiding the field does the same to the label, so
// a dialog never shows a label for a field that is gone or greyed out.

#include <QLabel>
#include <QLineEdit>
#include <QPointer>

namespace kesto::manager {

class LabelledEdit : public QLineEdit {
    Q_OBJECT

  public:
    explicit LabelledEdit(QWidget* parent = nullptr) : QLineEdit(parent) {}

    // Gives the label created just before this field catalogue text `message` (every
    // '&' removed with `strip_ampersands`) and makes this field its buddy. Nothing
    // happens without a catalogue text or without such a label.
    void set_label(int message, bool strip_ampersands);
    // The label set through set_label; nullptr before.
    [[nodiscard]] QLabel* label() const { return label_; }

    // Replaces the text only when it differs, so that an unchanged field keeps its
    // cursor, selection and undo history.
    void set_text_if_changed(const QString& text);

    void setVisible(bool visible) override;

  protected:
    void changeEvent(QEvent* event) override;

  private:
    QPointer<QLabel> label_;
};

}  // namespace kesto::manager
