#pragma once
// The server process: the mailbox on the main thread, and the
// start-up thread that checks for another server, loads the configuration, opens
// the event log and runs the listener.

#include <atomic>
#include <memory>
#include <string>

#include "platform/control_endpoint.h"
#include "platform/main_thread_queue.h"
#include "server/config/server_config.h"
#include "server/log/event_log.h"
#include "server/process/command_line.h"
#include "server/protocol/listener.h"
#include "server/protocol/server_context.h"

namespace kesto::server {

class ServerProcess {
  public:
    ServerProcess(CommandLine command_line, std::string program_folder);

    // Runs the control window on the calling (main) thread until the server stops,
    // then ends the process with its exit status. Never returns.
    [[noreturn]] void run();

  private:
    void handle_stop();
    void handle_log(LogLevel level, const std::string& text);
    void startup_thread();
    void stop_running_server();
    // Binds the folder's name; when it is held, says by whom and returns false.
    bool claim_endpoint();
    void serve();
    void fail(const std::string& message);

    CommandLine command_line_;
    std::string program_folder_;
    ServerConfig config_;
    EventLog event_log_{config_};
    std::unique_ptr<LogPoster> poster_;
    platform::MainThreadQueue main_queue_;
    platform::ControlEndpoint endpoint_;
    ListenerStop listener_stop_;
    ClientSlots slots_;
    std::unique_ptr<ServerContext> context_;
    std::atomic<int> exit_status_{0};
};

}  // namespace kesto::server
