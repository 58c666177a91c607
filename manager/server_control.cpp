#include "manager/server_control.h"

#include <QWidget>
#include <algorithm>
#include <string_view>

#include "common/catalogue.h"
#include "common/message_numbers.h"
#include "common/qt/message_boxes.h"
#include "common/text_helpers.h"
#include "platform/file_attributes.h"
#include "platform/file_io.h"

namespace kesto::manager {

namespace {

// A server that fails at its start does so while it reads its configuration and binds
// its port: well within this time. A longer watch would only delay the caption.
constexpr auto kStartWatch = std::chrono::milliseconds(2000);
// `kftpd -s` waits for the server's answer, which comes once its sessions are cut off.
constexpr auto kStopWatch = std::chrono::milliseconds(5000);
constexpr int kPollMilliseconds = 50;
constexpr std::size_t kMaxErrorBytes = 4096;
constexpr std::string_view kServerCaption = "KESTO FTP Server: ";

}  // namespace

std::string server_words(const std::string& error_output) {
    std::string words;
    std::size_t begin = 0;
    while (begin < error_output.size()) {
        std::size_t end = error_output.find('\n', begin);
        if (end == std::string::npos) end = error_output.size();
        std::string_view line(error_output.data() + begin, end - begin);
        begin = end + 1;
        if (line.starts_with(kServerCaption)) line.remove_prefix(kServerCaption.size());
        if (line.empty()) continue;
        if (!words.empty()) words += '\n';
        words += line;
    }
    return words;
}

std::string logged_failures(const std::string& log) {
    // "! dd/mm/yy  hh:mm:ss  <text>\r\n"
    constexpr std::size_t kStampChars = 22;
    std::string lines;
    std::size_t begin = 0;
    while (begin < log.size()) {
        std::size_t end = std::min(log.find('\n', begin), log.size());
        std::string_view line(log.data() + begin, end - begin);
        begin = end + 1;
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (!line.starts_with('!') || line.size() <= kStampChars) continue;
        line.remove_prefix(kStampChars);
        if (line == "Logging started." || line == "Logging stopped.") continue;
        if (!lines.empty()) lines += '\n';
        lines += line;
    }
    return lines;
}

ServerControl::ServerControl(std::string program_folder, QWidget* window,
                             std::function<std::string()> log_path,
                             std::function<void(ControlOutcome)> on_done)
    : program_folder_(std::move(program_folder)),
      window_(window),
      log_path_of_start_(std::move(log_path)),
      on_done_(std::move(on_done)) {
    poll_.setInterval(kPollMilliseconds);
    QObject::connect(&poll_, &QTimer::timeout, [this] { watch(); });
}

void ServerControl::start() {
    if (busy()) return;
    run({program_folder_ + "/cfg/KestoFTP.ini"}, false);
}

void ServerControl::stop() {
    if (busy()) return;
    if (!common::ask_yes_no(window_, common::catalogue_text(msg::kStopQuestion))) {
        on_done_(ControlOutcome::cancelled);
        return;
    }
    ++stop_runs_;
    run({"-s"}, true);
}

void ServerControl::run(const std::vector<std::string>& args, bool stopping) {
    const std::string program = program_folder_ + "/kftpd";
    stopping_ = stopping;
    error_text_.clear();
    log_path_ = stopping ? std::string() : log_path_of_start_();
    const platform::PathStatus log = platform::path_status(log_path_);
    log_offset_ = log.error == 0 ? static_cast<std::uint64_t>(log.size) : 0;
    watched_ = platform::start_detached(program, args, program_folder_);
    if (watched_.pid <= 0) {
        common::show_error(window_, QString::fromStdString(common::fill(
                                        common::message(msg::kProgramNotStarted), {program})));
        on_done_(ControlOutcome::failed);
        return;
    }
    deadline_ = std::chrono::steady_clock::now() + (stopping ? kStopWatch : kStartWatch);
    poll_.start();
}

void ServerControl::watch() {
    if (watched_.error_output &&
        platform::read_available(watched_.error_output.get(), error_text_, kMaxErrorBytes) ==
            platform::PipeRead::end) {
        watched_.error_output.reset();
    }
    const std::optional<int> status = platform::reap_child(watched_.pid);
    if (status || std::chrono::steady_clock::now() >= deadline_) finish(status);
}

void ServerControl::finish(std::optional<int> status) {
    poll_.stop();
    if (status && watched_.error_output) {
        // The last words may still be in the pipe: the writer has ended, so this is all.
        (void)platform::read_available(watched_.error_output.get(), error_text_, kMaxErrorBytes);
    }
    if (!status) left_running_.push_back(watched_.pid);
    // A running server's later complaints go to the system log, not to this pipe.
    watched_ = {};
    if (status && *status != 0) {
        std::string words = server_words(error_text_);
        if (words.empty()) {
            words = common::fill(common::message(msg::kProgramNotStarted),
                                 {program_folder_ + "/kftpd"});
        }
        if (!log_path_.empty()) {
            // "Consult the log file": what the log says of this start is shown with it.
            const std::string logged = logged_failures(
                platform::read_file_tail(log_path_, log_offset_, kMaxErrorBytes).bytes);
            if (!logged.empty()) words += "\n\n" + logged;
        }
        common::show_error(window_, QString::fromStdString(words));
        on_done_(ControlOutcome::failed);
        return;
    }
    if (stopping_ && !status) {
        on_done_(ControlOutcome::failed);  // no answer yet: the window shows what it finds
        return;
    }
    on_done_(stopping_ ? ControlOutcome::stopped : ControlOutcome::started);
}

void ServerControl::reap_ended() {
    std::erase_if(left_running_, [](int pid) { return platform::reap_child(pid).has_value(); });
}

}  // namespace kesto::manager
