#pragma once
// The server process: the control window's loop on the main thread, and the
// start-up thread that checks for another server, loads the configuration, opens
// the event log and runs the listener.

#include <atomic>
#include <memory>
#include <string>

#include "platform/control_endpoint.h"
#include "platform/message_loop.h"
#include "server/protocol/listener.h"
#include "server/protocol/server_context.h"
#include "server/runtime/command_line.h"
#include "server/runtime/event_log.h"
#include "server/runtime/server_config.h"

namespace kesto::server {

// Commands of the control window.
enum WindowCommand : int {
    kCmdStop = 1,
    kCmdLogFatal = 12,
    kCmdLogInformational = 13,
    kCmdLogExtreme = 14,
};

class ServerProcess {
  public:
    ServerProcess(CommandLine command_line, std::string program_folder);

    // Runs the control window on the calling (main) thread until the server stops,
    // then ends the process with its exit status. Never returns.
    [[noreturn]] void run();

  private:
    std::intptr_t handle_command(int command, void* param);
    void handle_stop();
    void handle_log(int command, const std::string& text);
    void startup_thread();
    void stop_running_server();
    // Binds the folder's name; when it is held, says by whom and returns false.
    bool claim_endpoint();
    void serve();
    void fail(const char* message);

    CommandLine command_line_;
    std::string program_folder_;
    ServerConfig config_;
    EventLog event_log_{config_};
    std::unique_ptr<LogPoster> poster_;
    platform::MessageLoop loop_;
    platform::ControlEndpoint endpoint_;
    ListenerStop listener_stop_;
    ClientSlots slots_;
    std::unique_ptr<ServerContext> context_;
    std::atomic<int> exit_status_{0};
};

}  // namespace kesto::server
