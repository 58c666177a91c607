#include "platform/net.h"

#include "base/deadline.h"
#include "platform/file_transfer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>

namespace kesto::platform {

namespace {

// A socket address of either family with its length.
struct SocketAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;
    const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&storage); }
    int family() const { return storage.ss_family; }
};

SocketAddress to_sockaddr(const Endpoint& e) {
    SocketAddress sa;
    if (e.address.v6) {
        sockaddr_in6 in6{};
        in6.sin6_family = AF_INET6;
        in6.sin6_port = htons(e.port);
        std::memcpy(in6.sin6_addr.s6_addr, e.address.bytes, 16);
        std::memcpy(&sa.storage, &in6, sizeof in6);
        sa.length = sizeof in6;
    } else {
        sockaddr_in in{};
        in.sin_family = AF_INET;
        in.sin_port = htons(e.port);
        std::memcpy(&in.sin_addr.s_addr, e.address.bytes, 4);
        std::memcpy(&sa.storage, &in, sizeof in);
        sa.length = sizeof in;
    }
    return sa;
}

// An IPv4 peer reaching an IPv6 socket (a mapped address) is read as IPv4.
Endpoint from_sockaddr(const sockaddr_storage& storage) {
    Endpoint e;
    if (storage.ss_family == AF_INET6) {
        sockaddr_in6 in6{};
        std::memcpy(&in6, &storage, sizeof in6);
        e.port = ntohs(in6.sin6_port);
        if (IN6_IS_ADDR_V4MAPPED(&in6.sin6_addr)) {
            std::memcpy(e.address.bytes, in6.sin6_addr.s6_addr + 12, 4);
        } else {
            e.address.v6 = true;
            std::memcpy(e.address.bytes, in6.sin6_addr.s6_addr, 16);
        }
    } else if (storage.ss_family == AF_INET) {
        sockaddr_in in{};
        std::memcpy(&in, &storage, sizeof in);
        e.port = ntohs(in.sin_port);
        std::memcpy(e.address.bytes, &in.sin_addr.s_addr, 4);
    }
    return e;
}

int family_of(const IpAddress& address) {
    return address.v6 ? AF_INET6 : AF_INET;
}

void set_int_option(int socket, int level, int name, int value) {
    (void)::setsockopt(socket, level, name, &value, sizeof value);
}

// Errors that concern the one connection being accepted, not the listening socket.
bool is_per_connection_error(int error) {
    switch (error) {
        case ECONNABORTED:
        case EPROTO:
        case ENOBUFS:
        case ENOMEM:
        case EMFILE:
        case ENFILE:
        case ENETDOWN:
        case ENOPROTOOPT:
        case EHOSTDOWN:
        case ENONET:
        case EHOSTUNREACH:
        case EOPNOTSUPP:
        case ENETUNREACH:
        case EPERM:
            return true;
        default:
            return false;
    }
}

// The limit set_send_limit keeps in the socket; 0: none.
int send_limit_ms(int socket) {
    timeval limit{};
    socklen_t len = sizeof limit;
    if (::getsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &limit, &len) != 0) return 0;
    return static_cast<int>(limit.tv_sec * 1000 + limit.tv_usec / 1000);
}

}  // namespace

std::string to_text(const Ipv4Address& a) {
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", a.octets[0], a.octets[1], a.octets[2],
                  a.octets[3]);
    return text;
}

std::string to_text(const IpAddress& address) {
    if (!address.v6) return to_text(address.v4());
    char text[INET6_ADDRSTRLEN] = {};
    if (::inet_ntop(AF_INET6, address.bytes, text, sizeof text) == nullptr) return "::";
    return text;
}

std::optional<IpAddress> parse_ipv6_address(const std::string& text) {
    std::uint8_t octets[16] = {};
    if (::inet_pton(AF_INET6, text.c_str(), octets) != 1) return std::nullopt;
    return IpAddress::from_v6(octets);
}

std::optional<Ipv4Address> parse_dotted_address(const std::string& text) {
    in_addr parsed{};
    if (::inet_aton(text.c_str(), &parsed) == 0) return std::nullopt;
    Ipv4Address address;
    std::memcpy(address.octets, &parsed.s_addr, sizeof address.octets);  // network order
    return address;
}

ListenStage listen_tcp(const Endpoint& local, int backlog, UniqueFd& out, int& error) {
    UniqueFd fd(::socket(family_of(local.address), SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd) return error = errno, ListenStage::create;
    set_int_option(fd.get(), SOL_SOCKET, SO_REUSEADDR, 1);
    if (local.address.v6) set_int_option(fd.get(), IPPROTO_IPV6, IPV6_V6ONLY, 1);
    const SocketAddress sa = to_sockaddr(local);
    if (::bind(fd.get(), sa.get(), sa.length) != 0) {
        return error = errno, ListenStage::bind;
    }
    if (::listen(fd.get(), backlog) != 0) return error = errno, ListenStage::listen;
    out = std::move(fd);
    return ListenStage::ok;
}

Acceptor::Acceptor(UniqueFd listening) : Acceptor(std::move(listening), UniqueFd()) {}

Acceptor::Acceptor(UniqueFd first, UniqueFd second)
    : wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    for (UniqueFd* socket : {&first, &second}) {
        if (!*socket) continue;
        socket_numbers_[count_] = socket->get();
        sockets_[count_++] = std::move(*socket);
    }
}

AcceptStatus Acceptor::accept(UniqueFd& connection, Endpoint* peer, int& error) {
    for (;;) {
        pollfd fds[kMaxListening + 1] = {};
        fds[0] = {wake_.get(), POLLIN, 0};
        for (std::size_t i = 0; i < count_; ++i) fds[i + 1] = {socket_numbers_[i], POLLIN, 0};
        if (::poll(fds, static_cast<nfds_t>(count_ + 1), -1) < 0 && errno != EINTR) {
            return error = errno, AcceptStatus::failed;
        }
        std::lock_guard lock(mutex_);
        if (closed_) return AcceptStatus::closed;
        for (std::size_t n = 0; n < count_; ++n) {
            const std::size_t i = (next_ + n) % count_;
            if ((fds[i + 1].revents & (POLLIN | POLLERR | POLLHUP)) == 0) continue;
            next_ = (i + 1) % count_;
            sockaddr_storage sa{};
            socklen_t len = sizeof sa;
            const int fd =
                ::accept4(sockets_[i].get(), reinterpret_cast<sockaddr*>(&sa), &len, SOCK_CLOEXEC);
            if (fd >= 0) {
                connection.reset(fd);
                if (peer != nullptr) *peer = from_sockaddr(sa);
                return AcceptStatus::accepted;
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
            error = errno;
            return is_per_connection_error(error) ? AcceptStatus::retry : AcceptStatus::failed;
        }
    }
}

void Acceptor::close() {
    std::lock_guard lock(mutex_);
    if (closed_) return;
    closed_ = true;
    for (UniqueFd& socket : sockets_) socket.reset();
    const std::uint64_t one = 1;
    (void)!::write(wake_.get(), &one, sizeof one);
}

int send_all(int socket, const void* data, std::size_t size) {
    // Room is awaited with poll, as transfers await it: a blocking send under SO_SNDTIMEO
    // takes a few more bytes into a full buffer now and then, and each time its limit
    // starts again, so a peer that never reads would be held for several limits.
    int error = 0;
    switch (
        send_within(socket, static_cast<const char*>(data), size, send_limit_ms(socket), error)) {
        case StreamStatus::done:
            return 0;
        case StreamStatus::timed_out:
            return ETIMEDOUT;
        default:
            return error;
    }
}

void set_send_limit(int socket, int timeout_ms) {
    timeval limit{};
    if (timeout_ms > 0) {
        limit.tv_sec = timeout_ms / 1000;
        limit.tv_usec = (timeout_ms % 1000) * 1000;
    }
    (void)::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

void stop_sending(int socket) {
    (void)::shutdown(socket, SHUT_WR);
}

long receive_some(int socket, void* buffer, std::size_t size) {
    return retry_eintr([&] { return ::recv(socket, buffer, size, 0); });
}

WaitResult wait_readable(int socket, int timeout_ms) {
    pollfd fd{socket, POLLIN, 0};
    int r = retry_eintr([&] { return ::poll(&fd, 1, timeout_ms); });
    if (r < 0) return WaitResult::failed;
    return r == 0 ? WaitResult::timed_out : WaitResult::ready;
}

void configure_control_socket(int socket) {
    set_int_option(socket, SOL_SOCKET, SO_OOBINLINE, 1);
    // Replies of several lines go out line by line; do not hold a line back for an ACK.
    set_int_option(socket, IPPROTO_TCP, TCP_NODELAY, 1);
    set_int_option(socket, SOL_SOCKET, SO_KEEPALIVE, 1);
    set_int_option(socket, IPPROTO_TCP, TCP_KEEPIDLE, 60);
    set_int_option(socket, IPPROTO_TCP, TCP_KEEPINTVL, 10);
    set_int_option(socket, IPPROTO_TCP, TCP_KEEPCNT, 6);
}

int connect_tcp(const Endpoint& remote, int timeout_ms, UniqueFd& out) {
    UniqueFd fd(::socket(family_of(remote.address), SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd) return errno;
    const SocketAddress sa = to_sockaddr(remote);
    if (::connect(fd.get(), sa.get(), sa.length) != 0) {
        if (errno != EINPROGRESS) return errno;
        pollfd p{fd.get(), POLLOUT, 0};
        int r = retry_eintr([&] { return ::poll(&p, 1, timeout_ms); });
        if (r == 0) return ETIMEDOUT;
        if (r < 0) return errno;
        int err = 0;
        socklen_t len = sizeof err;
        ::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &err, &len);
        if (err != 0) return err;
    }
    const int flags = ::fcntl(fd.get(), F_GETFL);
    ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    out = std::move(fd);
    return 0;
}

}  // namespace kesto::platform

namespace kesto::platform {

namespace {

DataResult connect_once(const Endpoint& local, const Endpoint& remote, int timeout_ms,
                        UniqueFd& out) {
    UniqueFd fd(::socket(family_of(remote.address), SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd) return {DataStage::create, errno};
    set_int_option(fd.get(), SOL_SOCKET, SO_REUSEADDR, 1);
    const SocketAddress from = to_sockaddr(local);
    if (::bind(fd.get(), from.get(), from.length) != 0) return {DataStage::bind, errno};
    const SocketAddress to = to_sockaddr(remote);
    if (::connect(fd.get(), to.get(), to.length) != 0) {
        if (errno != EINPROGRESS) return {DataStage::connect, errno};
        pollfd p{fd.get(), POLLOUT, 0};
        const int r = retry_eintr([&] { return ::poll(&p, 1, timeout_ms); });
        if (r == 0) return {DataStage::timed_out, ETIMEDOUT};
        int err = 0;
        socklen_t len = sizeof err;
        ::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &err, &len);
        if (r < 0 || err != 0) return {DataStage::connect, r < 0 ? errno : err};
    }
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    out = std::move(fd);
    return {};
}

}  // namespace

DataResult connect_data(const Endpoint& local, const Endpoint& remote, int timeout_ms,
                        UniqueFd& out) {
    const Deadline deadline(timeout_ms);
    DataResult result = connect_once(local, remote, timeout_ms, out);
    const bool port_refused =
        result.stage == DataStage::bind ||
        (result.stage == DataStage::connect &&
         (result.error == EADDRNOTAVAIL || result.error == EADDRINUSE || result.error == EACCES));
    if (!port_refused || local.port == 0) return result;
    Endpoint any_port = local;
    any_port.port = 0;
    return connect_once(any_port, remote, deadline.remaining_ms(), out);
}

namespace {

DataResult listen_on(const IpAddress& local, std::uint16_t port, UniqueFd& out,
                     std::uint16_t& bound) {
    UniqueFd fd(::socket(family_of(local), SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd) return {DataStage::create, errno};
    SocketAddress sa = to_sockaddr(Endpoint{local, port});
    if (::bind(fd.get(), sa.get(), sa.length) != 0) return {DataStage::bind, errno};
    socklen_t len = sizeof sa.storage;
    if (::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&sa.storage), &len) != 0) {
        return {DataStage::sockname, errno};
    }
    if (::listen(fd.get(), 1) != 0) return {DataStage::listen, errno};
    bound = from_sockaddr(sa.storage).port;
    out = std::move(fd);
    return {};
}

// Where the next search of a passive range starts: spread over the range, so two
// sessions asking at once rarely try the same port first.
std::atomic<std::uint32_t> next_passive_start{0};

}  // namespace

DataResult listen_passive(const IpAddress& local, PortRange ports, UniqueFd& out,
                          std::uint16_t& port) {
    if (ports.low == 0) return listen_on(local, 0, out, port);
    const std::uint32_t count = static_cast<std::uint32_t>(ports.high) - ports.low + 1;
    const std::uint32_t start = next_passive_start.fetch_add(1, std::memory_order_relaxed);
    DataResult result{DataStage::bind, EADDRINUSE};
    for (std::uint32_t i = 0; i < count; ++i) {
        const auto candidate = static_cast<std::uint16_t>(ports.low + (start + i) % count);
        result = listen_on(local, candidate, out, port);
        if (result.stage == DataStage::ok) return result;
        // Only a busy port lets the search go on; any other failure would repeat.
        if (result.stage != DataStage::bind || result.error != EADDRINUSE) return result;
    }
    return result;
}

DataResult accept_from(int listener, const IpAddress& client, int timeout_ms, UniqueFd& out) {
    const Deadline deadline(timeout_ms);
    for (;;) {
        pollfd p{listener, POLLIN, 0};
        const int r = retry_eintr([&] { return ::poll(&p, 1, deadline.remaining_ms()); });
        if (r < 0) return {DataStage::connect, errno};
        if (r == 0) return {DataStage::timed_out, ETIMEDOUT};
        sockaddr_storage sa{};
        socklen_t len = sizeof sa;
        UniqueFd fd(::accept4(listener, reinterpret_cast<sockaddr*>(&sa), &len, SOCK_CLOEXEC));
        if (!fd) {
            if (errno == EAGAIN || errno == EINTR || errno == ECONNABORTED) continue;
            return {DataStage::connect, errno};
        }
        // Only the client itself may take the data connection (no hijacking).
        if (!(from_sockaddr(sa).address == client)) continue;
        out = std::move(fd);
        return {};
    }
}

IpAddress local_address(int socket) {
    sockaddr_storage sa{};
    socklen_t len = sizeof sa;
    if (::getsockname(socket, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return {};
    return from_sockaddr(sa).address;
}

}  // namespace kesto::platform
