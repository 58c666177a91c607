#include <cerrno>

#include "platform/connection.h"

namespace kesto::platform {

SocketConnection::SocketConnection(UniqueFd socket) : socket_(std::move(socket)) {}

IoResult SocketConnection::send_all(const char* data, std::size_t size) {
    const int error = platform::send_all(socket_.get(), data, size);
    if (error == 0) return {};
    return {error == ETIMEDOUT ? IoStatus::timed_out : IoStatus::failed, error, 0};
}

IoResult SocketConnection::receive(char* buffer, std::size_t size) {
    const long n = receive_some(socket_.get(), buffer, size);
    if (n < 0) return {IoStatus::failed, errno, 0};
    if (n == 0) return {IoStatus::closed, 0, 0};
    return {IoStatus::ok, 0, static_cast<std::size_t>(n)};
}

WaitResult SocketConnection::wait_readable(int timeout_ms) {
    return platform::wait_readable(socket_.get(), timeout_ms);
}

void SocketConnection::set_send_limit(int timeout_ms) {
    platform::set_send_limit(socket_.get(), timeout_ms);
}

void SocketConnection::stop_sending() {
    platform::stop_sending(socket_.get());
}

IpAddress SocketConnection::local_address() const {
    return platform::local_address(socket_.get());
}

}  // namespace kesto::platform
