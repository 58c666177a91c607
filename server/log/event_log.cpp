#include "server/log/event_log.h"

#include <cstdio>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/process.h"

namespace kesto::server {

std::string escape_control_bytes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            out += c;
        } else if (c == '\r' || c == '\n' || c == '\t') {
            out += c == '\r' ? "\\r" : c == '\n' ? "\\n" : "\\t";
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            out += hex;
        }
    }
    return out;
}

std::string format_log_line(LogLevel level, const std::tm& t, std::string_view text) {
    const int year = t.tm_year < 100 ? t.tm_year : t.tm_year - 100;
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%c %02i/%02i/%02i  %02i:%02i:%02i  ",
                  level == LogLevel::fatal ? '!' : ' ', t.tm_mday, t.tm_mon + 1, year % 100,
                  t.tm_hour, t.tm_min, t.tm_sec);
    // Texts of any length are written whole.
    std::string line = stamp;
    line += escape_control_bytes(text);
    line += "\r\n";
    return line;
}

bool log_level_passes(LogLevel configured, LogLevel level) {
    return configured != LogLevel::none && static_cast<int>(level) <= static_cast<int>(configured);
}

EventLog::EventLog(const ServerConfig& config)
    : config_(config),
      writer_([this](std::string_view line) { return file_.write_line(line); },
              [](const std::string& message) {
                  platform::report_to_system_log("KESTO FTP Server", message);
              }) {}

int EventLog::open() {
    if (config_.log_level == LogLevel::none) return 0;
    {
        std::lock_guard lock(mutex_);
        if (config_.log_file_name.empty()) return 1;
        // Configured names arrive upper-cased; find the folders as they are spelled.
        if (file_.open(platform::resolve_any_case(config_.log_file_name)) != 0) return 1;
    }
    return write_line(LogLevel::fatal, "Logging started.");
}

int EventLog::write_line(LogLevel level, std::string_view text) {
    if (!log_level_passes(config_.log_level, level)) return 0;
    std::lock_guard lock(mutex_);
    return write_locked(level, text);
}

int EventLog::write_locked(LogLevel level, std::string_view text) {
    if (!file_.is_open()) return 0;
    return writer_.write(level, platform::local_now(), text);
}

void EventLog::close() {
    if (config_.log_level == LogLevel::none) return;
    std::lock_guard lock(mutex_);
    (void)write_locked(LogLevel::fatal, "Logging stopped.");
    file_.close();
}

}  // namespace kesto::server
