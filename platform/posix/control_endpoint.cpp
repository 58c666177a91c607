#include "platform/control_endpoint.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kesto::platform {

namespace {

constexpr int kRequestTimeoutMs = 2000;
// The server closes its sockets and its log before it answers; allow for a slow disk.
constexpr int kStopAnswerTimeoutMs = 15000;
constexpr char kAllowed = 1;
constexpr char kRefused = 0;

std::uint64_t fnv1a64(const std::string& text) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

std::string canonical(const std::string& folder) {
    char buf[PATH_MAX];
    return ::realpath(folder.c_str(), buf) != nullptr ? std::string(buf) : folder;
}

socklen_t make_address(const std::string& name, sockaddr_un& sa) {
    sa = {};
    sa.sun_family = AF_UNIX;
    // Abstract name: a leading zero byte, then the name without a terminator.
    const std::size_t n = std::min(name.size(), sizeof sa.sun_path - 1);
    std::memcpy(sa.sun_path + 1, name.data(), n);
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + n);
}

void set_timeouts(int fd, int ms) {
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

UniqueFd connect_endpoint(const std::string& program_folder) {
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd) return fd;
    sockaddr_un sa;
    const socklen_t len = make_address(endpoint_name(program_folder), sa);
    if (retry_eintr([&] { return ::connect(fd.get(), reinterpret_cast<sockaddr*>(&sa), len); }) !=
        0) {
        fd.reset();
    }
    return fd;
}

bool peer_may_stop(int fd) {
    ucred cred{};
    socklen_t len = sizeof cred;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0) return false;
    return cred.uid == 0 || cred.uid == ::geteuid();
}

bool read_exact(int fd, void* buffer, std::size_t size) {
    char* p = static_cast<char*>(buffer);
    while (size > 0) {
        long n = receive_some(fd, p, size);
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::string endpoint_name(const std::string& program_folder) {
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx",
                  static_cast<unsigned long long>(fnv1a64(canonical(program_folder))));
    return std::string("KESTO FTP Server:") + hex;
}

bool is_server_running(const std::string& program_folder) {
    return static_cast<bool>(connect_endpoint(program_folder));
}

StopOutcome request_stop(const std::string& program_folder) {
    UniqueFd fd = connect_endpoint(program_folder);
    if (!fd) return StopOutcome::not_running;
    set_timeouts(fd.get(), kStopAnswerTimeoutMs);
    const std::int32_t command = kStopCommand;
    if (send_all(fd.get(), &command, sizeof command) != 0) return StopOutcome::no_answer;
    char answer = 0;
    if (!read_exact(fd.get(), &answer, 1)) return StopOutcome::no_answer;
    return answer == kAllowed ? StopOutcome::stopped : StopOutcome::refused;
}

ControlEndpoint::~ControlEndpoint() {
    close();
    join();
}

int ControlEndpoint::bind(const std::string& program_folder) {
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd) return errno;
    sockaddr_un sa;
    const socklen_t len = make_address(endpoint_name(program_folder), sa);
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&sa), len) != 0) return errno;
    if (::listen(fd.get(), 8) != 0) return errno;
    acceptor_ = std::make_unique<Acceptor>(std::move(fd));
    return 0;
}

void ControlEndpoint::start(std::function<void()> on_stop) {
    on_stop_ = std::move(on_stop);
    thread_ = std::thread([this] { serve(); });
}

void ControlEndpoint::close() {
    if (acceptor_) acceptor_->close();
}

void ControlEndpoint::join() {
    if (thread_.joinable()) thread_.join();
}

void ControlEndpoint::serve() {
    for (;;) {
        UniqueFd connection;
        int error = 0;
        const AcceptStatus status = acceptor_->accept(connection, nullptr, error);
        if (status == AcceptStatus::closed || status == AcceptStatus::failed) return;
        if (status == AcceptStatus::accepted) answer(std::move(connection));
    }
}

void ControlEndpoint::answer(UniqueFd connection) {
    set_timeouts(connection.get(), kRequestTimeoutMs);
    std::int32_t command = 0;
    if (!read_exact(connection.get(), &command, sizeof command)) return;  // a probe
    if (command != kStopCommand || !peer_may_stop(connection.get())) {
        (void)send_all(connection.get(), &kRefused, 1);
        return;
    }
    on_stop_();
    (void)send_all(connection.get(), &kAllowed, 1);
}

}  // namespace kesto::platform
