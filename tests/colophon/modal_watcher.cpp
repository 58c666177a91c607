#include "modal_watcher.h"

#include <QApplication>
#include <QPushButton>
#include <utility>

namespace kesto::colophon {

namespace {
constexpr int kPollMs = 10;
constexpr int kGiveUpMs = 10000;
}  // namespace

ModalWatcher::ModalWatcher(QString name, std::function<void(QDialog*)> handle)
    : name_(std::move(name)), handle_(std::move(handle)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    running_.start();
    timer_.start(kPollMs);
}

void ModalWatcher::poll() {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr || dialog->objectName() != name_ || !dialog->isVisible()) {
        if (running_.hasExpired(kGiveUpMs)) timer_.stop();
        return;
    }
    timer_.stop();  // before handling: the handler may open another dialog
    seen_ = true;
    handle_(dialog);
}

void click_button(QDialog* dialog, const char* name) {
    if (auto* button = dialog->findChild<QPushButton*>(QLatin1String(name))) {
        button->click();
    } else {
        dialog->done(-1);
    }
}

}  // namespace kesto::colophon
