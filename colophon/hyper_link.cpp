#include "colophon/hyper_link.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

#include "colophon/hyperlink_errors.h"
#include "colophon/link_opener.h"

namespace kesto::colophon {

HyperLink::HyperLink(const QString& text, const QString& target, QWidget* parent)
    : QLabel(text.isEmpty() ? target : text, parent) {
    setTextFormat(Qt::PlainText);
    setAutoFillBackground(false);  // the dialog's background shows through
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);  // reachable with Tab, opened with Enter or Space
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);  // as large as its text
    set_target(target);
    apply_colour();
}

void HyperLink::set_target(const QString& target) {
    target_ = target;
    setToolTip(target);
    setAccessibleDescription(target);
    adjustSize();
    updateGeometry();
}

QColor HyperLink::text_colour() const {
    if (pointer_over_) return palette().color(QPalette::Highlight);
    return QColor(visited_ ? kVisitedLinkColour : kLinkColour);
}

bool HyperLink::open() {
    const int result = open_link(target_);
    if (link_opened(result)) {
        visited_ = true;
        apply_colour();
        return true;
    }
    show_failure(result);
    return false;
}

void HyperLink::show_failure(int code) {
    QApplication::beep();
    const QString text = QStringLiteral("Unable to open hyperlink:\n\n") +
                         QString::fromStdString(hyperlink_error_text(code));
    QMessageBox::warning(window(), window()->windowTitle(), text);
}

void HyperLink::apply_colour() {
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, text_colour());
    setPalette(colours);
}

void HyperLink::enterEvent(QEnterEvent* event) {
    pointer_over_ = true;
    apply_colour();
    QLabel::enterEvent(event);
}

void HyperLink::leaveEvent(QEvent* event) {
    pointer_over_ = false;
    apply_colour();
    QLabel::leaveEvent(event);
}

void HyperLink::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        event->accept();  // so that the release comes here as well
        return;
    }
    QLabel::mousePressEvent(event);
}

// A click is a press and a release over the link: moving off before releasing cancels it.
void HyperLink::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        event->accept();
        open();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

void HyperLink::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            event->accept();
            open();
            return;
        default:
            QLabel::keyPressEvent(event);
    }
}

void HyperLink::focusInEvent(QFocusEvent* event) {
    QLabel::focusInEvent(event);
    update();  // draws the focus frame
}

void HyperLink::focusOutEvent(QFocusEvent* event) {
    QLabel::focusOutEvent(event);
    update();
}

void HyperLink::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (!hasFocus()) return;
    QStylePainter painter(this);
    QStyleOptionFocusRect frame;
    frame.initFrom(this);
    frame.backgroundColor = palette().color(backgroundRole());
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, frame);
}

}  // namespace kesto::colophon
