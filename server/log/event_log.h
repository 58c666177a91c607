#pragma once
// The event log: one appended line per event, written only by the control window's
// thread (and by the start-up thread for the framing lines), each line one write.

#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/file_io.h"
#include "server/config/server_config.h"
#include "server/log/log_writer.h"

namespace kesto::server {

// Control bytes of `text` as visible escapes: CR, LF and TAB as \r, \n and \t, the
// others below 0x20 and DEL as \xNN. Text without control bytes is returned unchanged.
[[nodiscard]] std::string escape_control_bytes(std::string_view text);

// "%c %02i/%02i/%02i  %02i:%02i:%02i  %s\r\n": '!' marks a FATAL line. The text is
// escaped, so client data in it can never start a line of its own.
[[nodiscard]] std::string format_log_line(LogLevel level, const std::tm& t, std::string_view text);

// A line of `level` is written under the configured level.
[[nodiscard]] bool log_level_passes(LogLevel configured, LogLevel level);

// The open log file. Thread safe (the window's thread and the start-up thread).
class EventLog {
  public:
    explicit EventLog(const ServerConfig& config);

    // 0 on success (also for level NONE, which opens nothing); 1 when the file cannot
    // be opened or "Logging started." cannot be written.
    [[nodiscard]] int open();
    // 1 when the line could not be written; 0 otherwise (also when filtered out, and
    // when it was dropped for a full disk).
    [[nodiscard]] int write_line(LogLevel level, std::string_view text);
    // Writes "Logging stopped." once and closes the file; harmless when closed.
    void close();

    LogLevel level() const { return config_.log_level; }

  private:
    int write_locked(LogLevel level, std::string_view text);

    const ServerConfig& config_;
    std::mutex mutex_;
    platform::AppendFile file_;
    LogLineWriter writer_;
};

// The one logging entry point of the server's threads: filters by level, then hands
// the text to the control window and waits until it has been written.
class LogPoster {
  public:
    using Sender = std::function<void(LogLevel, const std::string&)>;
    LogPoster(LogLevel configured, Sender sender)
        : configured_(configured), sender_(std::move(sender)) {}

    void post(LogLevel level, const std::string& text) const {
        if (log_level_passes(configured_, level)) sender_(level, text);
    }
    bool wants(LogLevel level) const { return log_level_passes(configured_, level); }

  private:
    LogLevel configured_;
    Sender sender_;
};

}  // namespace kesto::server
