#include "common/trace.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <utility>

#include "platform/clock.h"
#include "platform/file_io.h"

namespace kesto::common {

namespace {

struct TraceState {
    std::mutex mutex;
    std::string path;
    bool path_known = false;  // false until the environment was read or a path was set
};

TraceState& state() {
    static TraceState the_state;
    return the_state;
}

std::string path_from_environment() {
    const char* path = std::getenv("KESTO_TRACE");
    return path != nullptr ? path : "";
}

// The caller holds the state's mutex.
const std::string& current_path(TraceState& s) {
    if (!s.path_known) {
        s.path = path_from_environment();
        s.path_known = true;
    }
    return s.path;
}

std::string line_stamp() {
    char tick[32];
    std::snprintf(tick, sizeof tick, "%08lld ",
                  static_cast<long long>(platform::milliseconds_since_boot()));
    const std::tm now = platform::local_now();
    char when[128];
    // The locale's short date, as the user reads dates; a two-digit year is acceptable in
    // a trace whose lines also carry the tick count.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-y2k"
    const std::size_t length = std::strftime(when, sizeof when, "[%x %H:%M:%S] ", &now);
#pragma GCC diagnostic pop
    return std::string(tick) + std::string(when, length);
}

// Appends the message, cut so that the line with its line end fits kMaxTraceLine.
[[gnu::format(printf, 2, 0)]] void append_message(std::string& line, const char* format,
                                                  std::va_list args) {
    if (line.size() + 1 >= kMaxTraceLine) return;
    std::string message(kMaxTraceLine - line.size(), '\0');  // room for the terminating zero
    const int length = std::vsnprintf(message.data(), message.size(), format, args);
    if (length <= 0) return;
    message.resize(std::min(static_cast<std::size_t>(length), message.size() - 1));
    line += message;
}

}  // namespace

bool tracing_on() {
    TraceState& s = state();
    const std::lock_guard lock(s.mutex);
    return !current_path(s).empty();
}

void trace(const char* format, ...) {
    TraceState& s = state();
    const std::lock_guard lock(s.mutex);  // held while writing, so lines keep their order
    const std::string& path = current_path(s);
    if (path.empty()) return;
    std::string line = line_stamp();
    std::va_list args;
    va_start(args, format);
    append_message(line, format, args);
    va_end(args);
    line += '\n';
    platform::AppendFile file;
    if (file.open(path) != 0) return;
    (void)file.write_line(line);
}

void set_trace_path(std::string path) {
    TraceState& s = state();
    const std::lock_guard lock(s.mutex);
    s.path = std::move(path);
    s.path_known = true;
}

void reload_trace_path_from_environment() {
    set_trace_path(path_from_environment());
}

}  // namespace kesto::common
