#pragma once
// The event log's way through a full disk. A broken log stops the server, but a full
// disk passes once files are removed, and stopping the server for it would cost every
// user the service for want of a log line. So while the disk is full, lines are
// dropped and counted, the first loss is reported once to the system log, and when a
// write succeeds again a line saying how many were lost goes first.

#include <ctime>
#include <functional>
#include <string>
#include <string_view>

#include "platform/file_io.h"
#include "server/config/server_config.h"

namespace kesto::server {

class LogLineWriter {
  public:
    // `write` appends one whole formatted line; `alert` reports to the system log.
    using Write = std::function<platform::AppendResult(std::string_view line)>;
    using Alert = std::function<void(const std::string& message)>;
    LogLineWriter(Write write, Alert alert) : write_(std::move(write)), alert_(std::move(alert)) {}

    // 0 when the line was written, or dropped for a full disk; 1 when the log is broken.
    [[nodiscard]] int write(LogLevel level, const std::tm& time, std::string_view text);

  private:
    bool write_whole(const std::string& line, platform::AppendResult& result);
    int drop(const platform::AppendResult& result);

    Write write_;
    Alert alert_;
    long lost_ = 0;
    bool cut_ = false;  // a dropped line left a piece without its line end
};

}  // namespace kesto::server
