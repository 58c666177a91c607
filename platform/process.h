#pragma once
// The process: its program folder, threads, signals, start-up failure reports, exit.

#include <functional>
#include <string>

namespace kesto::platform {

// The folder of the running executable, symbolic links resolved.
[[nodiscard]] std::string program_folder();

// Ignores SIGPIPE and SIGXFSZ and blocks the stop signals (SIGTERM, SIGINT, SIGHUP) in the calling
// thread and every thread it creates later. Call first, before any thread exists.
void prepare_process_signals();

// Starts a thread that waits for a stop signal and then calls `on_signal` once.
void start_stop_signal_thread(std::function<void()> on_signal);

// Starts a detached thread; false when the system cannot create one.
[[nodiscard]] bool start_detached_thread(std::function<void()> body);

// Writes "<caption>: <message>" to standard error and to syslog.
void report_failure(const char* caption, const std::string& message);

// Writes "<caption>: <message>" to syslog only (a serving server's standard error may
// be a pipe that nobody reads any more).
void report_to_system_log(const char* caption, const std::string& message);

// Ends the process at once, without static destructors racing other threads.
[[noreturn]] void exit_process(int status);

}  // namespace kesto::platform
