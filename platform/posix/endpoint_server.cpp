// The server's side of the control endpoint: one thread serves every request with
// poll, each connection within a time limit of its own.
#include <poll.h>
#include <sys/eventfd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "platform/control_endpoint.h"
#include "platform/posix/endpoint_socket.h"

namespace kesto::platform {

namespace {

using Clock = std::chrono::steady_clock;

// A request is four bytes sent at once; a peer silent for this long is dropped.
constexpr auto kRequestTime = std::chrono::milliseconds(2000);
// Connections served at once; when all are taken the oldest makes room, so a crowd of
// silent peers delays a real request by one round of the loop at most.
constexpr std::size_t kMaxConnections = 16;
// Accepted in one round, so the loop also gets to the connections it holds.
constexpr int kAcceptsPerRound = 32;

}  // namespace

struct ControlEndpoint::Request {
    UniqueFd socket;
    Clock::time_point deadline;
    char bytes[sizeof(std::int32_t)] = {};
    std::size_t got = 0;
};

namespace {

using Request = ControlEndpoint::Request;

enum class ReadState { incomplete, complete, gone };

ReadState read_request(Request& r) {
    for (;;) {
        const ssize_t n = ::recv(r.socket.get(), r.bytes + r.got, sizeof r.bytes - r.got, 0);
        if (n > 0) {
            r.got += static_cast<std::size_t>(n);
            if (r.got == sizeof r.bytes) return ReadState::complete;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return ReadState::incomplete;
        return ReadState::gone;  // closed without a request (an old-style probe) or failed
    }
}

void send_answer(int socket, std::string_view answer) {
    // Four bytes always fit an empty local socket's buffer: never blocks.
    (void)::send(socket, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

int poll_timeout_ms(const std::vector<Request>& requests) {
    if (requests.empty()) return -1;
    auto first = requests.front().deadline;
    for (const Request& r : requests) first = std::min(first, r.deadline);
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(first - Clock::now());
    return static_cast<int>(std::max<long long>(0, left.count()));
}

}  // namespace

ControlEndpoint::~ControlEndpoint() {
    close();
    join();
}

int ControlEndpoint::bind(const std::string& program_folder) {
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd) return errno;
    sockaddr_un sa;
    const socklen_t len = endpoint::make_address(endpoint_name(program_folder), sa);
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&sa), len) != 0) return errno;
    if (::listen(fd.get(), 64) != 0) return errno;
    UniqueFd wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake) return errno;
    std::lock_guard lock(mutex_);
    listener_number_ = fd.get();
    listener_ = std::move(fd);
    wake_ = std::move(wake);
    return 0;
}

void ControlEndpoint::start(std::function<void()> on_stop) {
    on_stop_ = std::move(on_stop);
    thread_ = std::thread([this] { serve(); });
}

void ControlEndpoint::close() {
    std::lock_guard lock(mutex_);
    if (closed_) return;
    closed_ = true;
    listener_.reset();
    if (wake_) {
        const std::uint64_t one = 1;
        (void)!::write(wake_.get(), &one, sizeof one);
    }
}

void ControlEndpoint::join() {
    if (thread_.joinable()) thread_.join();
}

bool ControlEndpoint::is_closed() {
    std::lock_guard lock(mutex_);
    return closed_;
}

bool ControlEndpoint::accept_one(UniqueFd& connection) {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    connection.reset(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
    return static_cast<bool>(connection);
}

void ControlEndpoint::answer(Request& r) {
    std::int32_t command = 0;
    std::memcpy(&command, r.bytes, sizeof command);
    if (command == kProbeCommand) {
        send_answer(r.socket.get(), endpoint::kPresent);
    } else if (command == kStopCommand) {
        std::uint32_t uid = 0;
        const bool allowed =
            endpoint::peer_uid(r.socket.get(), uid) && peer_is_trusted(uid, endpoint::own_uid());
        if (allowed) on_stop_();
        send_answer(r.socket.get(), allowed ? endpoint::kStopped : endpoint::kRefused);
    }
    r.socket.reset();  // unknown commands get no answer
}

// Reads what a connection has sent; answers it once complete. False once it is done.
bool ControlEndpoint::advance(Request& r) {
    switch (read_request(r)) {
        case ReadState::incomplete:
            return Clock::now() < r.deadline;
        case ReadState::complete:
            answer(r);
            return false;
        case ReadState::gone:
            return false;
    }
    return false;
}

void ControlEndpoint::accept_new(std::vector<Request>& requests) {
    for (int i = 0; i < kAcceptsPerRound; ++i) {
        Request r;
        if (!accept_one(r.socket)) return;
        r.deadline = Clock::now() + kRequestTime;
        // A real client has sent its request with the connection: serve it at once.
        if (!advance(r)) continue;
        if (requests.size() == kMaxConnections) requests.erase(requests.begin());
        requests.push_back(std::move(r));
    }
}

void ControlEndpoint::serve() {
    std::vector<Request> requests;
    std::vector<pollfd> fds;
    while (!is_closed()) {
        fds.assign({{wake_.get(), POLLIN, 0}, {listener_number_, POLLIN, 0}});
        for (const Request& r : requests) fds.push_back({r.socket.get(), POLLIN, 0});
        if (::poll(fds.data(), fds.size(), poll_timeout_ms(requests)) < 0 && errno != EINTR) return;
        if (is_closed()) return;
        for (std::size_t i = 0; i < requests.size(); ++i) {
            if (!advance(requests[i])) requests[i].socket.reset();
        }
        std::erase_if(requests, [](const Request& r) { return !r.socket; });
        if ((fds[1].revents & POLLIN) != 0) accept_new(requests);
    }
}

}  // namespace kesto::platform
