#pragma once
// A connection a session speaks over: its control connection or one data connection.
// It owns what carries the bytes (a TCP socket today; a TLS session over one is a
// second kind of the same type), bounds every send by its send limit, and reports
// errors typed. One thread uses a connection at a time.

#include <cstddef>

#include "platform/net.h"
#include "platform/unique_fd.h"

namespace kesto::platform {

enum class IoStatus {
    ok,
    closed,     // the peer closed (a receive of 0 bytes)
    timed_out,  // not one byte moved within the send limit
    failed,     // `error` holds the system's error number
};

struct IoResult {
    IoStatus status = IoStatus::ok;
    int error = 0;          // with failed; ETIMEDOUT with timed_out
    std::size_t count = 0;  // bytes received
};

class Connection {
  public:
    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    virtual ~Connection() = default;

    // Sends all of `data`; a wait for room that sees nothing move for the send limit
    // ends it as timed_out.
    [[nodiscard]] virtual IoResult send_all(const char* data, std::size_t size) = 0;
    // One receive of up to `size` bytes.
    [[nodiscard]] virtual IoResult receive(char* buffer, std::size_t size) = 0;
    // Waits until something can be received; a negative timeout waits for ever.
    [[nodiscard]] virtual WaitResult wait_readable(int timeout_ms) = 0;
    // Waits up to `timeout_ms` (>= 0) for the peer to close or the connection to fail;
    // true when it did. Data arriving neither ends the wait nor is taken, so the lines
    // a client sends meanwhile are still read afterwards.
    [[nodiscard]] virtual bool wait_for_close(int timeout_ms) = 0;
    // The send limit in milliseconds; <= 0: none.
    virtual void set_send_limit(int timeout_ms) = 0;
    // Sends nothing more: after a timed-out send part of a line may have gone, and the
    // replies that close a session must then fail at once instead of waiting again.
    virtual void stop_sending() = 0;
    // The socket the zero-copy paths (sendfile, splice) may use; -1 where every byte
    // must pass through this object.
    [[nodiscard]] virtual int zero_copy_socket() const = 0;
    // The local address the peer reached (all zero when it cannot be read).
    [[nodiscard]] virtual IpAddress local_address() const = 0;
};

// A plain TCP (or local) socket.
class SocketConnection final : public Connection {
  public:
    explicit SocketConnection(UniqueFd socket);

    IoResult send_all(const char* data, std::size_t size) override;
    IoResult receive(char* buffer, std::size_t size) override;
    WaitResult wait_readable(int timeout_ms) override;
    bool wait_for_close(int timeout_ms) override;
    void set_send_limit(int timeout_ms) override;
    void stop_sending() override;
    int zero_copy_socket() const override { return socket_.get(); }
    IpAddress local_address() const override;

  private:
    UniqueFd socket_;
};

}  // namespace kesto::platform
