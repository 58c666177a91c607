#include "manager/log_viewer.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "base/ascii.h"
#include "common/catalogue.h"
#include "common/message_numbers.h"
#include "common/qt/message_boxes.h"
#include "common/text_helpers.h"
#include "platform/file_io.h"
#include "platform/files.h"
#include "settings/keys.h"

namespace kesto::manager {

namespace {

constexpr int kFollowMilliseconds = 1000;
constexpr std::size_t kValueChars = 255;

// As the server's configuration scanner sees a value: every blank gone, a to z upper-cased.
std::string as_the_server_reads(const std::string& value) {
    std::string out;
    for (const char c : value) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f') continue;
        out += ascii::to_upper(c);
    }
    return out;
}

QString filled(int number, const std::string& path) {
    return QString::fromStdString(common::fill(common::message(number), {path}));
}

}  // namespace

std::string server_log_path(common::ProfileStore& store, const std::string& program_folder) {
    namespace keys = settings;
    const std::string level = store.read_text(keys::kLogLevel.section, keys::kLogLevel.name,
                                              keys::kLogLevelCompletion, kValueChars);
    if (as_the_server_reads(level) == "NONE") return {};
    std::string name =
        as_the_server_reads(store.read_text(keys::kLogFileName.section, keys::kLogFileName.name,
                                            keys::kLogFileCompletion, kValueChars));
    if (!name.starts_with('/')) name = program_folder + "/" + name;
    return platform::resolve_any_case(name);
}

LogViewer::LogViewer(std::string log_path, QWidget* parent)
    : QDialog(parent), log_path_(std::move(log_path)) {
    setObjectName("server_log");
    setWindowTitle(common::catalogue_text(msg::kServerLogCaption));
    setWindowFlags(Qt::Window | Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);
    notice_ = new QLabel(this);
    notice_->setObjectName("log_notice");
    notice_->setWordWrap(true);
    notice_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    view_ = new QPlainTextEdit(this);
    view_->setObjectName("log_text");
    view_->setReadOnly(true);
    view_->setLineWrapMode(QPlainTextEdit::NoWrap);
    view_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(common::catalogue_text(msg::kOk));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(notice_);
    layout->addWidget(view_, 1);
    layout->addWidget(buttons);
    resize(720, 420);
    if (log_path_.empty()) {
        show_notice(common::catalogue_text(msg::kLoggingOff));
        view_->hide();
        return;
    }
    follow_.setInterval(kFollowMilliseconds);
    connect(&follow_, &QTimer::timeout, this, [this] { refresh(); });
    follow_.start();
    refresh();
}

QString LogViewer::text() const {
    return view_->toPlainText();
}

QString LogViewer::notice() const {
    return notice_->text();
}

void LogViewer::refresh() {
    platform::FileTail tail = platform::read_file_tail(log_path_, offset_, kMaxLogBytesShown);
    if (tail.result == platform::ReadResult::missing) {
        show_notice(filled(msg::kLogFileMissing, log_path_));
        show_bytes({}, true, false);
        offset_ = 0;
        return;
    }
    if (tail.result != platform::ReadResult::ok) {
        show_notice(filled(msg::kLogFileUnreadable, log_path_));
        return;
    }
    show_notice(filled(msg::kLogFileShown, log_path_));
    if (tail.start == offset_ && shown_bytes_ + tail.bytes.size() > kMaxLogBytesShown) {
        tail = platform::read_file_tail(log_path_, 0, kMaxLogBytesShown);  // the newest part
        if (tail.result != platform::ReadResult::ok) return;
    }
    const bool afresh = tail.start != offset_;
    offset_ = tail.start + tail.bytes.size();
    if (afresh || !tail.bytes.empty()) show_bytes(tail.bytes, afresh, tail.start > 0);
}

void LogViewer::show_bytes(const std::string& bytes, bool afresh, bool cut_first_line) {
    QScrollBar* scroll = view_->verticalScrollBar();
    const bool at_end = scroll->value() == scroll->maximum();
    if (afresh) decoder_.resetState();
    QString text = decoder_.decode(QByteArray::fromStdString(bytes));
    text.remove('\r');
    if (afresh) {
        // Read from the middle of the file: its first line is only a part of one.
        if (cut_first_line) text.remove(0, text.indexOf('\n') + 1);
        view_->setPlainText(text);
        shown_bytes_ = bytes.size();
    } else {
        QTextCursor end(view_->document());
        end.movePosition(QTextCursor::End);
        end.insertText(text);
        shown_bytes_ += bytes.size();
    }
    if (at_end || afresh) scroll->setValue(scroll->maximum());
}

void LogViewer::show_notice(const QString& text) {
    if (notice_->text() != text) notice_->setText(text);
}

}  // namespace kesto::manager
