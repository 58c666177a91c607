#pragma once
// The name by which other processes find a running server and ask it to stop: an
// abstract local socket named after the program folder, so each installed program
// folder has its own server and a crashed server leaves nothing behind.
//
// Any local user can bind an abstract name first. A client therefore believes only a
// holder of its own user id (or root) that answers in the server's words.

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/unique_fd.h"

namespace kesto::platform {

// Requests: a 32-bit command in host order. Answers: four bytes.
inline constexpr std::int32_t kStopCommand = 1;
inline constexpr std::int32_t kProbeCommand = 2;

// "KESTO FTP Server:" and the 64-bit FNV-1a hash of the canonical folder, 16 hex digits.
[[nodiscard]] std::string endpoint_name(const std::string& program_folder);

// Whether a process of user `peer` is believed by, and may stop the server of, user
// `ours`: the same user, or root.
[[nodiscard]] bool peer_is_trusted(std::uint32_t peer, std::uint32_t ours);

// Who holds the folder's name: nobody; our server; a process of another user (never
// believed); a process of ours or root that does not answer as a server.
enum class Presence { none, server, foreign_user, not_a_server };

[[nodiscard]] Presence probe_server(const std::string& program_folder);

enum class StopOutcome { stopped, refused, not_running, no_answer, foreign_user, not_a_server };

// Probes the holder, then sends the stop command and waits until the server has
// handled it. Only `stopped` means that a server has stopped.
[[nodiscard]] StopOutcome request_stop(const std::string& program_folder);

// The server's side. Several requests are served at once, each within a short time
// limit, so peers that connect and stay silent never delay a stop.
// Thread safety: bind/start/join on one thread; close from any.
class ControlEndpoint {
  public:
    ControlEndpoint() = default;
    ControlEndpoint(const ControlEndpoint&) = delete;
    ControlEndpoint& operator=(const ControlEndpoint&) = delete;
    ~ControlEndpoint();

    // 0 when the name is ours; EADDRINUSE when another process holds it; else errno.
    [[nodiscard]] int bind(const std::string& program_folder);

    // Serves the name on a thread of its own. `on_stop` runs for a stop request from
    // a peer of our own user id (or root) and returns once the stop is handled; only
    // then is the requester answered.
    void start(std::function<void()> on_stop);

    // Removes the name now; the serving thread ends after the request in hand.
    void close();

    // Waits for the serving thread (it ends soon after close).
    void join();

    // A connection in service; known only where the name is served.
    struct Request;

  private:
    void serve();
    bool is_closed();
    bool accept_one(UniqueFd& connection);
    void accept_new(std::vector<Request>& requests);
    bool advance(Request& request);
    void answer(Request& request);

    std::mutex mutex_;
    UniqueFd listener_;
    int listener_number_ = -1;  // for poll outside the lock; `closed_` decides
    UniqueFd wake_;
    bool closed_ = false;
    std::function<void()> on_stop_;
    std::thread thread_;
};

}  // namespace kesto::platform
