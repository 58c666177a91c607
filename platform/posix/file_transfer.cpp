#include "platform/file_transfer.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace kesto::platform {

static_assert(sizeof(off_t) == 8, "offsets of files past 2 GiB need a 64-bit off_t");

namespace {

// Large enough that one call fills any socket buffer; the socket is non-blocking, so a
// call returns as soon as the buffer is full.
constexpr std::size_t kSendfileRequest = 8u << 20;

FileOpen open_failure(int error) {
    if (error == ENOENT || error == ENOTDIR) return FileOpen::missing;
    // A folder, or a FIFO without a reader, is no regular file.
    if (error == EISDIR || error == ENXIO) return FileOpen::not_regular;
    // A link put in the place of the resolved entry.
    if (error == ELOOP) return FileOpen::not_regular;
    return FileOpen::failed;
}

// O_NONBLOCK keeps the open from waiting for the other end of a FIFO; the check that
// follows refuses anything but a regular file before it is changed in any way.
FileOpen open_regular(const Entry& entry, int flags, UniqueFd& out) {
    if (!entry.folder) return FileOpen::missing;
    UniqueFd fd(retry_eintr([&] {
        return ::openat(entry.folder.get(), entry.name.c_str(),
                        flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW, 0666);
    }));
    if (!fd) return open_failure(errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return FileOpen::failed;
    if (!S_ISREG(st.st_mode)) return FileOpen::not_regular;
    const int status = ::fcntl(fd.get(), F_GETFL);
    if (status < 0 || ::fcntl(fd.get(), F_SETFL, status & ~O_NONBLOCK) != 0) {
        return FileOpen::failed;
    }
    out = std::move(fd);
    return FileOpen::ok;
}

// Measures the time since a transfer last moved a byte.
class IdleClock {
  public:
    explicit IdleClock(int limit_ms) : limit_(limit_ms) { moved(); }

    void moved() {
        if (limit_.count() > 0) last_ = Clock::now();
    }
    // The time left to wait for the next byte; -1 when there is no limit.
    int remaining_ms() const {
        if (limit_.count() <= 0) return -1;
        const auto left = last_ + limit_ - Clock::now();
        return static_cast<int>(
            std::max<long long>(0, std::chrono::ceil<std::chrono::milliseconds>(left).count()));
    }

  private:
    using Clock = std::chrono::steady_clock;
    std::chrono::milliseconds limit_;
    Clock::time_point last_;
};

enum class Wait { ready, timed_out, failed };

// Waits for `events` (POLLIN or POLLOUT) until the idle limit runs out.
Wait wait_for(int socket, short events, const IdleClock& idle) {
    for (;;) {
        pollfd p{socket, events, 0};
        const int r = ::poll(&p, 1, idle.remaining_ms());
        if (r > 0) return Wait::ready;  // POLLERR and POLLHUP too: the next call reports them
        if (r == 0) return Wait::timed_out;
        if (errno != EINTR) return Wait::failed;
    }
}

// sendfile(2) has no per-call MSG_DONTWAIT, so the socket itself is made non-blocking
// for the time of the loop, and gets its own status flags back afterwards.
class NonBlockingScope {
  public:
    explicit NonBlockingScope(int socket) : socket_(socket), saved_(::fcntl(socket, F_GETFL)) {
        if (saved_ >= 0 && (saved_ & O_NONBLOCK) == 0) {
            if (::fcntl(socket_, F_SETFL, saved_ | O_NONBLOCK) != 0) saved_ = -1;
        }
    }
    NonBlockingScope(const NonBlockingScope&) = delete;
    NonBlockingScope& operator=(const NonBlockingScope&) = delete;
    ~NonBlockingScope() {
        if (ok() && (saved_ & O_NONBLOCK) == 0) {
            const int error = errno;
            ::fcntl(socket_, F_SETFL, saved_);
            errno = error;
        }
    }
    bool ok() const { return saved_ >= 0; }

  private:
    int socket_;
    int saved_;
};

}  // namespace

FileOpen open_for_reading(const Entry& entry, UniqueFd& out) {
    return open_regular(entry, O_RDONLY, out);
}

FileOpen open_for_writing(const Entry& entry, WriteMode mode, UniqueFd& out) {
    switch (mode) {
        case WriteMode::overwrite:
            return open_regular(entry, O_WRONLY, out);
        case WriteMode::append:
            return open_regular(entry, O_WRONLY | O_CREAT | O_APPEND, out);
        case WriteMode::replace:
            break;
    }
    // Emptied only once it is known to be a regular file: O_TRUNC would act before.
    // A file that is empty already is left alone: truncating it anyway makes ext4 write
    // the whole new content back at close (its guard for replaced files).
    const FileOpen opened = open_regular(entry, O_WRONLY | O_CREAT, out);
    if (opened != FileOpen::ok) return opened;
    struct stat st {};
    const bool has_content = ::fstat(out.get(), &st) != 0 || st.st_size > 0;
    if (has_content && retry_eintr([&] { return ::ftruncate(out.get(), 0); }) != 0) {
        out.reset();
        return FileOpen::failed;
    }
    return opened;
}

std::int64_t file_size(int file) {
    struct stat st {};
    return ::fstat(file, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
}

int seek_file(int file, std::int64_t offset) {
    return ::lseek(file, static_cast<off_t>(offset), SEEK_SET) < 0 ? errno : 0;
}

long read_file_at(int file, std::int64_t offset, char* buffer, std::size_t size) {
    std::size_t filled = 0;
    while (filled < size) {
        const ssize_t n = retry_eintr([&] {
            return ::pread(file, buffer + filled, size - filled,
                           static_cast<off_t>(offset + static_cast<std::int64_t>(filled)));
        });
        if (n < 0) return -1;
        if (n == 0) break;
        filled += static_cast<std::size_t>(n);
    }
    return static_cast<long>(filled);
}

int write_file(int file, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = retry_eintr([&] { return ::write(file, data, size); });
        if (n < 0) return errno;
        if (n == 0) return ENOSPC;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

StreamStatus send_within(int socket, const char* data, std::size_t size, int idle_timeout_ms,
                         int& error) {
    IdleClock idle(idle_timeout_ms);
    while (size > 0) {
        const ssize_t n = ::send(socket, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            data += n;
            size -= static_cast<std::size_t>(n);
            idle.moved();
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const Wait wait = wait_for(socket, POLLOUT, idle);
            if (wait == Wait::timed_out) return StreamStatus::timed_out;
            if (wait == Wait::ready) continue;
        }
        error = (n == 0) ? EPIPE : errno;
        return StreamStatus::failed;
    }
    return StreamStatus::done;
}

namespace {

// Full segments only while the file streams out; the rest goes when the cork is removed.
class CorkScope {
  public:
    explicit CorkScope(int socket) : socket_(socket) { set(1); }
    ~CorkScope() { set(0); }
    CorkScope(const CorkScope&) = delete;
    CorkScope& operator=(const CorkScope&) = delete;

  private:
    void set(int on) const { (void)::setsockopt(socket_, IPPROTO_TCP, TCP_CORK, &on, sizeof on); }
    int socket_;
};

}  // namespace

StreamStatus sendfile_to_end(int socket, int file, int idle_timeout_ms, SendfileState& state) {
    const CorkScope cork(socket);
    const NonBlockingScope non_blocking(socket);
    if (!non_blocking.ok()) {
        state.error = errno;
        return StreamStatus::failed;
    }
    IdleClock idle(idle_timeout_ms);
    for (;;) {
        off_t offset = static_cast<off_t>(state.offset);
        state.last_request = kSendfileRequest;
        const ssize_t n = ::sendfile(socket, file, &offset, kSendfileRequest);
        if (n == 0) return StreamStatus::done;
        if (n > 0) {
            state.offset = offset;
            idle.moved();
            continue;
        }
        if (errno == EINTR) continue;
        if (errno == EINVAL || errno == ENOSYS) return StreamStatus::refused;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            const Wait wait = wait_for(socket, POLLOUT, idle);
            if (wait == Wait::timed_out) return StreamStatus::timed_out;
            if (wait == Wait::ready) continue;
        }
        state.error = errno;
        return StreamStatus::failed;
    }
}

namespace {

constexpr std::size_t kSplicePipeBytes = 1u << 20;

// Moves `count` bytes from the pipe into the file; false with state set on failure.
bool drain_pipe(int pipe, int file, std::size_t count, SpliceState& state) {
    while (count > 0) {
        const ssize_t m = ::splice(pipe, nullptr, file, nullptr, count, SPLICE_F_MOVE);
        if (m < 0 && errno == EINTR) continue;
        if (m <= 0) {
            state.file_failed = true;
            state.error = m < 0 ? errno : ENOSPC;
            return false;
        }
        count -= static_cast<std::size_t>(m);
        state.moved += m;
    }
    return true;
}

}  // namespace

StreamStatus splice_to_end(int socket, int file, int idle_timeout_ms, SpliceState& state) {
    if ((::fcntl(file, F_GETFL) & O_APPEND) != 0) return StreamStatus::refused;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return StreamStatus::refused;
    const UniqueFd pipe_out(fds[0]);
    const UniqueFd pipe_in(fds[1]);
    (void)::fcntl(pipe_in.get(), F_SETPIPE_SZ, static_cast<int>(kSplicePipeBytes));
    const NonBlockingScope non_blocking(socket);
    if (!non_blocking.ok()) return StreamStatus::refused;
    IdleClock idle(idle_timeout_ms);
    for (;;) {
        const ssize_t n = ::splice(socket, nullptr, pipe_in.get(), nullptr, kSplicePipeBytes,
                                   SPLICE_F_MOVE | SPLICE_F_NONBLOCK);
        if (n == 0) return StreamStatus::done;
        if (n > 0) {
            idle.moved();
            if (!drain_pipe(pipe_out.get(), file, static_cast<std::size_t>(n), state)) {
                return StreamStatus::failed;
            }
            continue;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            const Wait wait = wait_for(socket, POLLIN, idle);
            if (wait == Wait::timed_out) return StreamStatus::timed_out;
            if (wait == Wait::ready) continue;
        }
        if ((errno == EINVAL || errno == ENOSYS) && state.moved == 0) return StreamStatus::refused;
        state.error = errno;
        return StreamStatus::failed;
    }
}

}  // namespace kesto::platform
