#pragma once
// HyperLink: a label that behaves as a link. Blue until visited, purple after, the
// palette's highlight colour while the pointer is over it; underlined, on a transparent
// background, with the pointing-hand cursor and a tooltip that shows the target. A click,
// or Enter or Space while it has the keyboard focus, opens the target (link_opener.h).
// A target that cannot be opened beeps and shows "Unable to open hyperlink:" with the
// error's text in a warning box, and the link stays not visited.
//
// No Q_OBJECT: the library that shows it is unloaded after each about box, so none of
// its classes is entered into Qt's meta-type registry.

#include <QColor>
#include <QLabel>

namespace kesto::colophon {

inline constexpr QRgb kLinkColour = qRgb(0, 0, 238);
inline constexpr QRgb kVisitedLinkColour = qRgb(85, 26, 139);

class HyperLink : public QLabel {
  public:
    // Shows `text`, or the target when `text` is empty.
    HyperLink(const QString& text, const QString& target, QWidget* parent = nullptr);

    // Also the tooltip; the size follows the text.
    void set_target(const QString& target);
    [[nodiscard]] const QString& target() const { return target_; }
    [[nodiscard]] bool visited() const { return visited_; }
    [[nodiscard]] bool pointer_over() const { return pointer_over_; }
    // The colour the text is drawn in now.
    [[nodiscard]] QColor text_colour() const;

    // Opens the target: true when it opened (the link is then visited); otherwise the
    // beep and the warning box.
    bool open();

  protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void apply_colour();
    void show_failure(int code);

    QString target_;
    bool pointer_over_ = false;
    bool visited_ = false;
};

}  // namespace kesto::colophon
