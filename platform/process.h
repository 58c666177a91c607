#pragma once
// The process: its program folder, threads, signals, start-up failure reports, exit.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/unique_fd.h"

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

// A program started by start_detached: its process id (-1: not started) and the read end
// of its standard error (non-blocking, closed on exec).
struct DetachedProcess {
    int pid = -1;
    UniqueFd error_output;
};

// Starts `program` with `args` (one argument each, no shell) in a session of its own,
// standard input and output on /dev/null, standard error on a pipe, in `working_folder`,
// with no signal blocked. The caller reaps it with reap_child.
[[nodiscard]] DetachedProcess start_detached(const std::string& program,
                                             const std::vector<std::string>& args,
                                             const std::string& working_folder);

// The exit status of child `pid` once it has ended (128 + signal for a killed one),
// collected without waiting; nothing while it runs. A pid that is no child of ours
// counts as ended with status -1.
[[nodiscard]] std::optional<int> reap_child(int pid);

enum class PipeRead { more, end };

// Appends what `fd` (non-blocking) holds now to `out`, at most `max_bytes` in all;
// `end` once the writer has closed its end or reading failed.
[[nodiscard]] PipeRead read_available(int fd, std::string& out, std::size_t max_bytes);

// Ends the process at once, without static destructors racing other threads.
[[noreturn]] void exit_process(int status);

}  // namespace kesto::platform
