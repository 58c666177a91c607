#pragma once
// The name by which other processes find a running server and ask it to stop: an
// abstract local socket named after the program folder, so each installed program
// folder has its own server and a crashed server leaves nothing behind.

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/net.h"

namespace kesto::platform {

inline constexpr int kStopCommand = 1;

// "KESTO FTP Server:" and the 64-bit FNV-1a hash of the canonical folder, 16 hex digits.
[[nodiscard]] std::string endpoint_name(const std::string& program_folder);

// "Is a server running?": can we connect to the folder's name?
[[nodiscard]] bool is_server_running(const std::string& program_folder);

enum class StopOutcome { stopped, refused, not_running, no_answer };

// Sends the stop command and waits until the server has handled it.
[[nodiscard]] StopOutcome request_stop(const std::string& program_folder);

// The server's side. Thread safety: bind/start/join on one thread; close from any.
class ControlEndpoint {
  public:
    ControlEndpoint() = default;
    ControlEndpoint(const ControlEndpoint&) = delete;
    ControlEndpoint& operator=(const ControlEndpoint&) = delete;
    ~ControlEndpoint();

    // 0 when the name is ours; EADDRINUSE when another server holds it; else errno.
    [[nodiscard]] int bind(const std::string& program_folder);

    // Serves the name on a thread of its own. `on_stop` runs for a stop request from
    // a peer of our own user id (or root) and returns once the stop is handled; only
    // then is the requester answered.
    void start(std::function<void()> on_stop);

    // Removes the name now; the serving thread ends after the request in hand.
    void close();

    // Waits for the serving thread (bounded: each request has a time limit).
    void join();

  private:
    void serve();
    void answer(UniqueFd connection);

    std::unique_ptr<Acceptor> acceptor_;
    std::function<void()> on_stop_;
    std::thread thread_;
};

}  // namespace kesto::platform
