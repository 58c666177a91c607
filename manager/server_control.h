#pragma once
// ServerControl: starts the server of this program folder detached and stops it with
// `kftpd -s`, each watched for a moment without blocking the window, so that a server
// that cannot start, or a stop it refused, is reported in the server's own words.

#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/process.h"

class QWidget;

namespace kesto::manager {

// How a start or a stop ended, for the window's caption.
enum class ControlOutcome {
    started,    // the server still runs after the start-up watch
    stopped,    // `kftpd -s` succeeded
    failed,     // the program could not run, or said why it failed (shown to the user)
    cancelled,  // the user answered No to the stop question
};

class ServerControl {
  public:
    // `on_done` runs when a start or stop is over and its message, if any, was shown.
    // `log_path` tells where the server will log (empty: nowhere), so that a failed
    // start can show the reasons the server wrote only to its log.
    ServerControl(std::string program_folder, QWidget* window,
                  std::function<std::string()> log_path,
                  std::function<void(ControlOutcome)> on_done);
    ServerControl(const ServerControl&) = delete;
    ServerControl& operator=(const ServerControl&) = delete;

    // Runs "<folder>/kftpd <folder>/cfg/KestoFTP.ini" and watches it for a moment.
    void start();
    // Asks first; on Yes runs "<folder>/kftpd -s" and waits a bounded time for it.
    void stop();
    // A start or stop is being watched.
    [[nodiscard]] bool busy() const { return watched_.pid > 0; }
    // Collects every started program that has ended since (no zombie stays behind).
    void reap_ended();
    // How many times `kftpd -s` was run.
    [[nodiscard]] int stop_runs() const { return stop_runs_; }

  private:
    void run(const std::vector<std::string>& args, bool stopping);
    void watch();
    void finish(std::optional<int> status);

    std::string program_folder_;
    QWidget* window_;
    std::function<std::string()> log_path_of_start_;
    std::function<void(ControlOutcome)> on_done_;
    std::string log_path_;
    std::uint64_t log_offset_ = 0;
    QTimer poll_;
    platform::DetachedProcess watched_;
    bool stopping_ = false;
    std::string error_text_;
    std::chrono::steady_clock::time_point deadline_;
    std::vector<int> left_running_;  // started by us, reaped once they end
    int stop_runs_ = 0;
};

// The failures the server logged (lines marked '!', their time stamps cut off) in `log`,
// the opening and closing lines left out.
[[nodiscard]] std::string logged_failures(const std::string& log);

// The server's start-up and stop messages ("KESTO FTP Server: <words>" lines) as one
// text without that prefix.
[[nodiscard]] std::string server_words(const std::string& error_output);

}  // namespace kesto::manager
