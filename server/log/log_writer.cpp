#include "server/log/log_writer.h"

#include "server/log/event_log.h"

namespace kesto::server {

int LogLineWriter::write(LogLevel level, const std::tm& time, std::string_view text) {
    platform::AppendResult result;
    if (lost_ > 0) {
        std::string report = format_log_line(
            LogLevel::fatal, time,
            std::to_string(lost_) + " log lines were lost while the disk was full.");
        if (cut_) report.insert(0, "\r\n");  // the report starts a line of its own
        if (!write_whole(report, result)) return drop(result);
        lost_ = 0;
        cut_ = false;
    }
    if (write_whole(format_log_line(level, time, text), result)) return 0;
    return drop(result);
}

bool LogLineWriter::write_whole(const std::string& line, platform::AppendResult& result) {
    result = write_(line);
    return result.error == 0 && result.written == line.size();
}

int LogLineWriter::drop(const platform::AppendResult& result) {
    if (!platform::is_disk_full(result.error)) return 1;
    if (lost_ == 0) {
        alert_("The disk of the log file is full; log lines are dropped until it has room.");
    }
    ++lost_;
    cut_ = cut_ || result.written > 0;
    return 0;
}

}  // namespace kesto::server
