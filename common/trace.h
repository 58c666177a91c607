#pragma once
// The diagnostic trace: a text file of stamped lines for finding out why the manager or
// one of its libraries fails, above all at start-up, before any window could say so.
// Separate from the server's event log.
//
// The trace is off while its file path is empty. At first use the path comes from the
// environment variable KESTO_TRACE, so a user can switch the trace on for one start
// without touching any configuration. Callers test tracing_on() before they build
// arguments. Thread safe: loaded libraries may trace from threads of their own.

#include <cstddef>
#include <string>

namespace kesto::common {

// The longest line written, its line end included; longer messages are cut.
inline constexpr std::size_t kMaxTraceLine = 4064;

[[nodiscard]] bool tracing_on();

// Appends "<ms since boot, %08lld> [<locale date> HH:MM:SS] <message>\n" to the trace
// file. A file that cannot be opened loses the line: tracing never disturbs the caller.
[[gnu::format(printf, 1, 2)]] void trace(const char* format, ...);

// An empty path switches the trace off. Replaces the path taken from the environment.
void set_trace_path(std::string path);

// Takes the path from KESTO_TRACE again (empty when the variable is not set).
void reload_trace_path_from_environment();

}  // namespace kesto::common
