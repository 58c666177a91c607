#pragma once
// A connection in memory: what the server sends is kept (up to a bound), what it
// receives is given in advance. No zero-copy socket, so every byte passes through
// send_all and receive, as it will over TLS.

#include <algorithm>
#include <cerrno>
#include <string>

#include "platform/connection.h"

namespace kesto::test {

class MemoryConnection final : public platform::Connection {
  public:
    explicit MemoryConnection(std::string incoming = {}, std::size_t sent_limit = 1 << 20)
        : incoming_(std::move(incoming)), sent_limit_(sent_limit) {}

    platform::IoResult send_all(const char* data, std::size_t size) override {
        if (stopped_ || sent_.size() + size > sent_limit_) {
            return {platform::IoStatus::failed, EPIPE, 0};
        }
        sent_.append(data, size);
        return {};
    }
    platform::IoResult receive(char* buffer, std::size_t size) override {
        const std::size_t n = std::min(size, incoming_.size() - read_);
        if (n == 0) return {platform::IoStatus::closed, 0, 0};
        incoming_.copy(buffer, n, read_);
        read_ += n;
        return {platform::IoStatus::ok, 0, n};
    }
    platform::WaitResult wait_readable(int) override { return platform::WaitResult::ready; }
    // Time does not pass in memory: the peer never closes during a wait.
    bool wait_for_close(int) override { return false; }
    void set_send_limit(int) override {}
    void stop_sending() override { stopped_ = true; }
    int zero_copy_socket() const override { return -1; }
    platform::IpAddress local_address() const override {
        return platform::Ipv4Address{{127, 0, 0, 1}};
    }

    const std::string& sent() const { return sent_; }
    void clear_sent() { sent_.clear(); }

  private:
    std::string incoming_;
    std::size_t read_ = 0;
    std::string sent_;
    std::size_t sent_limit_;
    bool stopped_ = false;
};

}  // namespace kesto::test
