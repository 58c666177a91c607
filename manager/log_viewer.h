#pragma once
// LogViewer: the server's event log, read-only, following the file while the server
// writes to it. Operators see who connected and what failed without a terminal.

#include <QDialog>
#include <QStringDecoder>
#include <QTimer>
#include <cstdint>
#include <string>

#include "common/profile_store.h"

class QLabel;
class QPlainTextEdit;

namespace kesto::manager {

// Where the server of `program_folder` writes its event log: the configured LOG_FILENAME
// as the server reads it (blanks removed, upper-cased, relative to the program folder,
// which is the server's working folder, each component found up to case). Empty when
// the log level is NONE.
[[nodiscard]] std::string server_log_path(common::ProfileStore& store,
                                          const std::string& program_folder);

// The newest part of the log that is shown; older lines are dropped.
inline constexpr std::size_t kMaxLogBytesShown = 1024 * 1024;

class LogViewer : public QDialog {
  public:
    // `log_path` empty: logging is off, which the window says instead of a text.
    explicit LogViewer(std::string log_path, QWidget* parent = nullptr);

    [[nodiscard]] QString text() const;
    [[nodiscard]] QString notice() const;

  private:
    void refresh();
    void show_bytes(const std::string& bytes, bool afresh, bool cut_first_line);
    void show_notice(const QString& text);

    std::string log_path_;
    QLabel* notice_ = nullptr;
    QPlainTextEdit* view_ = nullptr;
    QTimer follow_;
    QStringDecoder decoder_{QStringDecoder::Utf8};
    std::uint64_t offset_ = 0;  // the file's bytes up to here are shown
    std::size_t shown_bytes_ = 0;
};

}  // namespace kesto::manager
