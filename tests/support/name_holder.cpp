#include "name_holder.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "platform/control_endpoint.h"

namespace kesto::test {

namespace {

using platform::UniqueFd;

socklen_t name_address(const std::string& folder, sockaddr_un& sa) {
    const std::string name = platform::endpoint_name(folder);
    sa = {};
    sa.sun_family = AF_UNIX;
    std::memcpy(sa.sun_path + 1, name.data(), name.size());  // abstract: a leading zero
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
}

// Reads the request and answers as a server does. Async-signal-safe (used after fork).
void answer_like_a_server(int connection) {
    std::int32_t command = 0;
    if (::read(connection, &command, sizeof command) != sizeof command) return;
    if (command == platform::kProbeCommand) (void)!::write(connection, "KFTP", 4);
    if (command == platform::kStopCommand) (void)!::write(connection, "STOP", 4);
}

}  // namespace

UniqueFd bind_name(const std::string& folder) {
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un sa;
    const socklen_t len = name_address(folder, sa);
    if (!fd || ::bind(fd.get(), reinterpret_cast<sockaddr*>(&sa), len) != 0 ||
        ::listen(fd.get(), 64) != 0) {
        fd.reset();
    }
    return fd;
}

UniqueFd silent_connection(const std::string& folder) {
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    sockaddr_un sa;
    const socklen_t len = name_address(folder, sa);
    if (!fd || ::connect(fd.get(), reinterpret_cast<sockaddr*>(&sa), len) != 0) fd.reset();
    return fd;
}

NameHolder::NameHolder(const std::string& folder, std::string answer)
    : listener_(bind_name(folder)), wake_(::eventfd(0, EFD_CLOEXEC)), answer_(std::move(answer)) {
    if (holding() && !answer_.empty()) thread_ = std::thread([this] { serve(); });
}

NameHolder::~NameHolder() {
    const std::uint64_t one = 1;
    (void)!::write(wake_.get(), &one, sizeof one);
    if (thread_.joinable()) thread_.join();
}

void NameHolder::serve() {
    for (;;) {
        pollfd fds[2] = {{listener_.get(), POLLIN, 0}, {wake_.get(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN) != 0) return;
        UniqueFd connection(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!connection) continue;
        char request[4];
        (void)::recv(connection.get(), request, sizeof request, MSG_WAITALL);
        (void)::send(connection.get(), answer_.data(), answer_.size(), MSG_NOSIGNAL);
    }
}

ForeignHolder::ForeignHolder(const std::string& folder, uid_t uid) {
    sockaddr_un sa;
    const socklen_t len = name_address(folder, sa);
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
        // Only async-signal-safe calls in the child of a threaded process.
        ::close(ready[0]);
        if (::setgid(uid) != 0 || ::setuid(uid) != 0) ::_exit(1);
        // The new user creates the listening socket: that is the owner peers see.
        const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::bind(listener, reinterpret_cast<sockaddr*>(&sa), len) != 0) ::_exit(1);
        if (::listen(listener, 64) != 0) ::_exit(1);
        (void)!::write(ready[1], "r", 1);
        for (;;) {
            const int connection = ::accept(listener, nullptr, nullptr);
            if (connection < 0) continue;
            answer_like_a_server(connection);
            ::close(connection);
        }
    }
    ::close(ready[1]);
    pollfd p{ready[0], POLLIN, 0};
    char byte = 0;
    holding_ = pid_ > 0 && ::poll(&p, 1, 10'000) == 1 && ::read(ready[0], &byte, 1) == 1;
    ::close(ready[0]);
}

ForeignHolder::~ForeignHolder() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
}

}  // namespace kesto::test
