// The client's side of the control endpoint: the name, the probe and the stop request.
#include "platform/control_endpoint.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/deadline.h"
#include "platform/files.h"
#include "platform/net.h"
#include "platform/posix/endpoint_socket.h"

namespace kesto::platform {

namespace {

// A server answers a probe at once from a thread of its own.
constexpr int kProbeTimeoutMs = 2000;
// The server closes its sockets and its log before it answers; allow for a slow disk.
constexpr int kStopAnswerTimeoutMs = 15000;

std::uint64_t fnv1a64(const std::string& text) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

std::string canonical(const std::string& folder) {
    std::string real = canonical_path(folder);
    return real.empty() ? folder : real;
}

enum class Holder { none, trusted, foreign };

// Connects to the folder's name and tells whether its holder is to be believed.
Holder connect_holder(const std::string& program_folder, UniqueFd& fd) {
    fd.reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd) return Holder::none;
    sockaddr_un sa;
    const socklen_t len = endpoint::make_address(endpoint_name(program_folder), sa);
    if (retry_eintr([&] { return ::connect(fd.get(), reinterpret_cast<sockaddr*>(&sa), len); }) !=
        0) {
        return Holder::none;
    }
    std::uint32_t uid = 0;
    if (!endpoint::peer_uid(fd.get(), uid)) return Holder::foreign;
    return peer_is_trusted(uid, endpoint::own_uid()) ? Holder::trusted : Holder::foreign;
}

enum class Reply { answered, closed, silent };

// Sends `command` and reads the whole answer before the deadline; a holder that
// trickles bytes gains no time.
Reply exchange(int fd, std::int32_t command, int timeout_ms, std::string& answer) {
    if (send_all(fd, &command, sizeof command) != 0) return Reply::closed;
    const Deadline deadline(timeout_ms);
    char buf[endpoint::kAnswerSize];
    answer.clear();
    while (answer.size() < sizeof buf) {
        if (deadline.passed()) return Reply::silent;
        const WaitResult wait = wait_readable(fd, deadline.remaining_ms());
        if (wait == WaitResult::timed_out) return Reply::silent;
        if (wait == WaitResult::failed) return Reply::closed;
        const long n = receive_some(fd, buf, sizeof buf - answer.size());
        if (n <= 0) return answer.empty() ? Reply::closed : Reply::answered;
        answer.append(buf, static_cast<std::size_t>(n));
    }
    return Reply::answered;
}

}  // namespace

std::string endpoint_name(const std::string& program_folder) {
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx",
                  static_cast<unsigned long long>(fnv1a64(canonical(program_folder))));
    return std::string("KESTO FTP Server:") + hex;
}

bool peer_is_trusted(std::uint32_t peer, std::uint32_t ours) {
    return peer == ours || peer == 0;
}

Presence probe_server(const std::string& program_folder) {
    UniqueFd fd;
    switch (connect_holder(program_folder, fd)) {
        case Holder::none:
            return Presence::none;
        case Holder::foreign:
            return Presence::foreign_user;
        case Holder::trusted:
            break;
    }
    std::string answer;
    switch (exchange(fd.get(), kProbeCommand, kProbeTimeoutMs, answer)) {
        case Reply::closed:  // a server that is stopping closes without an answer
            return Presence::none;
        case Reply::silent:
            return Presence::not_a_server;
        case Reply::answered:
            break;
    }
    return answer == endpoint::kPresent ? Presence::server : Presence::not_a_server;
}

StopOutcome request_stop(const std::string& program_folder) {
    switch (probe_server(program_folder)) {
        case Presence::none:
            return StopOutcome::not_running;
        case Presence::foreign_user:
            return StopOutcome::foreign_user;
        case Presence::not_a_server:
            return StopOutcome::not_a_server;
        case Presence::server:
            break;
    }
    // The holder may have changed since the probe: check it again.
    UniqueFd fd;
    switch (connect_holder(program_folder, fd)) {
        case Holder::none:
            return StopOutcome::not_running;
        case Holder::foreign:
            return StopOutcome::foreign_user;
        case Holder::trusted:
            break;
    }
    std::string answer;
    if (exchange(fd.get(), kStopCommand, kStopAnswerTimeoutMs, answer) != Reply::answered) {
        return StopOutcome::no_answer;
    }
    if (answer == endpoint::kStopped) return StopOutcome::stopped;
    if (answer == endpoint::kRefused) return StopOutcome::refused;
    return StopOutcome::not_a_server;
}

}  // namespace kesto::platform

namespace kesto::platform::endpoint {

socklen_t make_address(const std::string& name, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    // Abstract name: a leading zero byte, then the name without a terminator.
    const std::size_t n = std::min(name.size(), sizeof address.sun_path - 1);
    std::memcpy(address.sun_path + 1, name.data(), n);
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + n);
}

bool peer_uid(int socket, std::uint32_t& uid) {
    ucred cred{};
    socklen_t len = sizeof cred;
    if (::getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0) return false;
    uid = cred.uid;
    return true;
}

std::uint32_t own_uid() {
    return ::geteuid();
}

}  // namespace kesto::platform::endpoint
