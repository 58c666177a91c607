#pragma once
// Answers a modal dialog from inside its own event loop: the dialog named `name` is
// handed to `handle` once it is the active modal widget. Polls every 10 ms and gives up
// after 10 s, so a dialog that never opens fails its test instead of hanging it.

#include <QDialog>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <functional>

namespace kesto::colophon {

class ModalWatcher {
  public:
    ModalWatcher(QString name, std::function<void(QDialog*)> handle);

    // Whether the dialog was seen (and handled).
    [[nodiscard]] bool seen() const { return seen_; }

  private:
    void poll();

    QString name_;
    std::function<void(QDialog*)> handle_;
    QTimer timer_;
    QElapsedTimer running_;
    bool seen_ = false;
};

// Clicks the dialog's button named `name`; closes the dialog with -1 when it has none.
void click_button(QDialog* dialog, const char* name);

}  // namespace kesto::colophon
