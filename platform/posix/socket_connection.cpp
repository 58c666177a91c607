#include <poll.h>

#include <cerrno>

#include "base/deadline.h"
#include "platform/connection.h"

namespace kesto::platform {

namespace {

// Polls for the peer's close only (POLLRDHUP: its FIN, also behind unread data; hang-up
// and errors are always reported), never for data, so pending lines stay unread.
// Without POLLRDHUP the wait just lasts its time.
bool poll_for_close(int socket, int timeout_ms) {
#ifdef POLLRDHUP
    const short watched = POLLRDHUP;
#else
    const short watched = 0;
#endif
    const Deadline deadline(timeout_ms);
    for (;;) {
        pollfd fd{socket, watched, 0};
        const int r = ::poll(&fd, 1, deadline.remaining_ms());
        if (r == 0) return false;
        // A poll that fails counts as a failed connection: a wait cut short must never
        // pass for one that lasted.
        if (r > 0 || errno != EINTR) return true;
    }
}

}  // namespace

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

bool SocketConnection::wait_for_close(int timeout_ms) {
    return poll_for_close(socket_.get(), timeout_ms);
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
