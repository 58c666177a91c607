#include "common/qt/message_boxes.h"

#include <QApplication>
#include <QMessageBox>

#include "common/catalogue.h"
#include "common/error_report.h"
#include "common/message_numbers.h"

namespace kesto::common {

namespace {

int run_box(QWidget* parent, QMessageBox::Icon icon, int caption, const QString& text,
            QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, catalogue_text(caption), text, buttons, parent);
    box.setWindowModality(Qt::ApplicationModal);
    return box.exec();
}

void present_in_message_box(const std::string& text) {
    show_error(QApplication::activeWindow(), QString::fromStdString(text));
}

}  // namespace

QString catalogue_text(int number) {
    return QString::fromUtf8(message(number));
}

void show_error(QWidget* parent, const QString& text) {
    run_box(parent, QMessageBox::Critical, msg::kErrorCaption, text, QMessageBox::Ok);
}

bool ask_yes_no(QWidget* parent, const QString& text) {
    return run_box(parent, QMessageBox::Warning, msg::kQuestionCaption, text,
                   QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void show_notice(QWidget* parent, const QString& text) {
    run_box(parent, QMessageBox::Warning, msg::kQuestionCaption, text, QMessageBox::Ok);
}

void install_message_box_presenter() {
    set_error_presenter(&present_in_message_box);
}

}  // namespace kesto::common
