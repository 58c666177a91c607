#pragma once
// TCP sockets for the protocol engine. Every call retries EINTR, sends loop over
// short writes without raising SIGPIPE, and every descriptor is close-on-exec and
// owned by a UniqueFd.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "platform/unique_fd.h"

namespace kesto::platform {

struct Ipv4Address {
    std::uint8_t octets[4] = {0, 0, 0, 0};
    bool is_any() const { return (octets[0] | octets[1] | octets[2] | octets[3]) == 0; }
};

// An IPv4 or IPv6 address. An IPv4 address converts to it implicitly, so code that
// knows only IPv4 keeps working.
struct IpAddress {
    bool v6 = false;
    std::uint8_t bytes[16] = {};  // IPv4: the first four

    IpAddress() = default;
    IpAddress(const Ipv4Address& a) {  // NOLINT(google-explicit-constructor)
        for (int i = 0; i < 4; ++i) bytes[i] = a.octets[i];
    }
    [[nodiscard]] static IpAddress from_v6(const std::uint8_t (&octets)[16]) {
        IpAddress address;
        address.v6 = true;
        for (int i = 0; i < 16; ++i) address.bytes[i] = octets[i];
        return address;
    }
    [[nodiscard]] static IpAddress any6() {
        IpAddress address;
        address.v6 = true;
        return address;
    }
    [[nodiscard]] Ipv4Address v4() const { return {{bytes[0], bytes[1], bytes[2], bytes[3]}}; }
    [[nodiscard]] bool is_any() const {
        for (std::uint8_t b : bytes) {
            if (b != 0) return false;
        }
        return true;
    }
    friend bool operator==(const IpAddress&, const IpAddress&) = default;
};

struct Endpoint {
    IpAddress address;
    std::uint16_t port = 0;
};

std::string to_text(const Ipv4Address& address);  // "%d.%d.%d.%d"
// IPv4 dotted, IPv6 in its usual short form ("::1", "fe80::1").
std::string to_text(const IpAddress& address);

// An IPv6 address in its text form (no zone); nothing when it does not parse.
[[nodiscard]] std::optional<IpAddress> parse_ipv6_address(const std::string& text);

// A range of ports for passive sockets; low 0: a port of the system's choice.
struct PortRange {
    std::uint16_t low = 0;
    std::uint16_t high = 0;
};

// A dotted address as the system's inet_aton reads it: one to four parts, each decimal,
// octal (leading 0) or hexadecimal (0x), trailing white space and whatever follows it
// ignored. Nothing when it does not parse. inet_addr reads the same and answers
// 255.255.255.255 for a failure, so a caller keeping its rules treats that address as none.
[[nodiscard]] std::optional<Ipv4Address> parse_dotted_address(const std::string& text);

enum class ListenStage { ok, create, bind, listen };

// A listening TCP socket with SO_REUSEADDR (an IPv6 one serves IPv6 only, so an IPv4
// listener on the same port can coexist); `error` receives errno on failure.
[[nodiscard]] ListenStage listen_tcp(const Endpoint& local, int backlog, UniqueFd& out, int& error);

enum class AcceptStatus { accepted, retry, closed, failed };

// Listening sockets (TCP or local; at most kMaxListening, such as an IPv4 and an IPv6
// one) that another thread may close while one thread waits in accept on all of them.
// The sockets must be non-blocking.
class Acceptor {
  public:
    static constexpr std::size_t kMaxListening = 2;

    explicit Acceptor(UniqueFd listening);
    Acceptor(UniqueFd first, UniqueFd second);  // an invalid second: one socket
    Acceptor(const Acceptor&) = delete;
    Acceptor& operator=(const Acceptor&) = delete;

    // Waits for a connection on any of the sockets. `retry` means a failure that
    // concerns one connection only (the caller accepts again); `failed` an error of a
    // listening socket. The listening thread only.
    AcceptStatus accept(UniqueFd& connection, Endpoint* peer, int& error);

    // Any thread: closes the listening sockets now and wakes a waiting accept.
    void close();

  private:
    std::mutex mutex_;
    UniqueFd sockets_[kMaxListening];
    int socket_numbers_[kMaxListening] = {-1, -1};  // for poll outside the lock; `closed_` decides
    std::size_t count_ = 0;
    std::size_t next_ = 0;  // the socket served first next time, so none is starved
    UniqueFd wake_;
    bool closed_ = false;
};

// Sends all of `data`; 0 or errno. On a socket with a send limit, ETIMEDOUT when no
// byte could be sent within it.
[[nodiscard]] int send_all(int socket, const void* data, std::size_t size);

// Gives `socket` a send limit: a time in which not one byte moves, for send_all and
// any blocking send (kept as SO_SNDTIMEO); 0 or less: none.
void set_send_limit(int socket, int timeout_ms);

// Ends sending on `socket`; later sends fail at once instead of waiting.
void stop_sending(int socket);

// One receive; the count, 0 when the peer closed, -1 with errno set on failure.
[[nodiscard]] long receive_some(int socket, void* buffer, std::size_t size);

enum class WaitResult { ready, timed_out, failed };
// Waits until `socket` can be read; a negative timeout waits for ever.
[[nodiscard]] WaitResult wait_readable(int socket, int timeout_ms);

// Control-connection options: urgent data inline, no Nagle delay, short keepalive timers.
void configure_control_socket(int socket);

// A blocking TCP connection with a time limit (tests and clients of the server).
[[nodiscard]] int connect_tcp(const Endpoint& remote, int timeout_ms, UniqueFd& out);

}  // namespace kesto::platform

namespace kesto::platform {

// Where a data-connection set-up failed, for its log line.
enum class DataStage { ok, create, bind, connect, sockname, listen, timed_out };

struct DataResult {
    DataStage stage = DataStage::ok;
    int error = 0;
};

// Connects to `remote` from `local` (SO_REUSEADDR) within `timeout_ms`. Where the bind
// or the connect from that port is refused (no privilege, port busy, an earlier
// connection in TIME_WAIT), it tries once more from a port of the system's choice.
[[nodiscard]] DataResult connect_data(const Endpoint& local, const Endpoint& remote, int timeout_ms,
                                      UniqueFd& out);

// A non-blocking listening socket on `local` (all zero: every local address of its
// family) and a port from `ports` (backlog 1); `port` receives the port. The range is
// tried from a different place each time, so concurrent sessions rarely meet, and each
// port of it once: a range with no free port gives DataStage::bind with EADDRINUSE.
[[nodiscard]] DataResult listen_passive(const IpAddress& local, PortRange ports, UniqueFd& out,
                                        std::uint16_t& port);

// Accepts one connection from `client` within `timeout_ms`; connections from other
// addresses are closed and the wait goes on.
[[nodiscard]] DataResult accept_from(int listener, const IpAddress& client, int timeout_ms,
                                     UniqueFd& out);

// The local address of a connected socket (all zero when it cannot be read).
[[nodiscard]] IpAddress local_address(int socket);

}  // namespace kesto::platform
